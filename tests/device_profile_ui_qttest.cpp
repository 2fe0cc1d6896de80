// The profile control of a device page, driven through its control names as a user would: the
// list operations and their messages, the delayed combo selection on a fake clock, and the
// function tabs by device kind. Data lives in a temporary folder; no modal window opens.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <json/json.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "app/event_routes.h"
#include "device/hid/usb_interface_record.h"
#include "device/model/dispatcher.h"
#include "device/model/peripheral_devices.h"
#include "device_profile_ui.h"
#include "emulator/virtual_bus.h"
#include "notifications.h"
#include "platform/data_paths.h"
#include "skin.h"

using qm::shell::CDeviceProfileUI;

namespace {

Json::Value readJson(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    if (!Json::parseFromStream(builder, in, &value, &errors))
        return Json::Value();
    return value;
}

void writeText(const QString& path, const std::string& text) {
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out << text;
}

// Counts the profile loads the device reports.
class LoadCounter final : public qm::DeviceObserver {
public:
    void OnDeviceChange(qm::CTessarinUSBDevice&, qm::DeviceChange change) override {
        if (change == qm::DeviceChange::ProfileLoaded)
            ++loads;
    }
    int loads = 0;
};

}  // namespace

class DeviceProfileUiTest : public QObject {
    Q_OBJECT

private:
    struct DevicePage {
        std::unique_ptr<qm::CTessarinUSBDevice> device;
        std::unique_ptr<QWidget> page;
        std::unique_ptr<CDeviceProfileUI> profiles;
    };

    std::unique_ptr<QTemporaryDir> m_Data;
    qm::FakeClock m_Clock;
    qm::LoopDispatcher m_Loop{m_Clock};
    qm::emu::VirtualBus m_Bus{qm::emu::VirtualBus::Options{{}, {{}, {}}, &m_Clock}};
    std::unique_ptr<qm::DeviceContext> m_Context;
    std::vector<std::string> m_Asked;  // every message shown
    int m_Answer = 1;                  // what the user answers
    QString m_OpenFile;                // what the open dialog returns
    QString m_SaveFile;                // what the save dialog returns
    QString m_Suggested;               // the name the save dialog was offered

    // A page of the kind's layout with its profile control, wired as the main window does.
    DevicePage makePage(int kind, const char* deviceName, const char* layout) {
        DevicePage made;
        made.device = qm::createDevice(static_cast<std::uint16_t>(kind), *m_Context);
        made.device->SetDeviceName(deviceName);
        qm::UsbInterfaceRecord record;
        record.Kind = static_cast<std::uint16_t>(kind);
        made.device->BindSlot(record);
        made.device->SetLightConfigName("velto_light");
        made.device->InitPage();
        made.page.reset(qm::shell::loadLayout(QString::fromLatin1(layout), nullptr));
        Q_ASSERT(made.page != nullptr);
        CDeviceProfileUI::Services services;
        services.ask = [this](const std::string& key, int) {
            m_Asked.push_back(key);
            return m_Answer;
        };
        services.files.openFile = [this] { return m_OpenFile; };
        services.files.saveFile = [this](const QString& suggested) {
            m_Suggested = suggested;
            return m_SaveFile;
        };
        made.profiles = std::make_unique<CDeviceProfileUI>(
            made.page->findChild<QWidget*>(QStringLiteral("DeviceProfileItem")), *made.device,
            m_Loop, services);
        CDeviceProfileUI* control = made.profiles.get();
        qm::shell::connectNotifications(
            made.page.get(), [control](const QString& type, QObject* sender) {
                const qm::app::RoutedEvent routed =
                    qm::app::routeEvent(type.toStdString(), sender->objectName().toStdString());
                if (routed.found)
                    control->RunRoute(routed.target, sender);
            });
        made.profiles->LoadProfileList();
        made.profiles->ShowFunctionPage(1);
        return made;
    }
    DevicePage keyboard() { return makePage(qm::DEVICE_KEYBOARD, "keyboard", "keyboarddevice.ui"); }

    static void click(const DevicePage& page, const char* name) {
        auto* button = page.page->findChild<QAbstractButton*>(QString::fromLatin1(name));
        QVERIFY2(button != nullptr, name);
        button->click();
    }
    static QComboBox* combo(const DevicePage& page) {
        return page.page->findChild<QComboBox*>(QStringLiteral("device_profile_combo"));
    }
    static QLineEdit* nameEdit(const DevicePage& page) {
        return page.page->findChild<QLineEdit*>(QStringLiteral("device_profile_name_edit"));
    }
    // A pick in the combo, as the user makes it.
    static void pick(const DevicePage& page, int index) {
        combo(page)->setCurrentIndex(index);
        emit combo(page)->activated(index);
    }
    static QStringList shownNames(const DevicePage& page) {
        QStringList names;
        for (int i = 0; i < combo(page)->count(); ++i)
            names.append(combo(page)->itemText(i));
        return names;
    }
    // The combo and the name edit show exactly what the list holds.
    static void expectShowsList(const DevicePage& page) {
        const qm::ProfileList& list = page.device->Profiles();
        QStringList names;
        for (const qm::ProfileEntry& entry : list.Profiles())
            names.append(QString::fromStdString(entry.name));
        QCOMPARE(shownNames(page), names);
        QCOMPARE(combo(page)->currentIndex(), list.GetSelectedIndex());
        QCOMPARE(nameEdit(page)->text(), names.value(list.GetSelectedIndex()));
    }
    QString profileFile(const DevicePage& page, int index) const {
        return QString::fromStdString(page.device->Profiles().GetProfileFilePath(index));
    }

private slots:
    void init() {
        m_Data = std::make_unique<QTemporaryDir>();
        QVERIFY(m_Data->isValid());
        m_Context = std::make_unique<qm::DeviceContext>(qm::DeviceContext{
            m_Bus, m_Loop, m_Clock, qm::defaultDataFolder(), m_Data->path().toStdString() + "/"});
        m_Asked.clear();
        m_Answer = 1;
        m_OpenFile.clear();
        m_SaveFile.clear();
        m_Suggested.clear();
    }
    void cleanup() {
        m_Loop.runDue();
        m_Context.reset();
        m_Data.reset();
    }

    void addCopyDelete() {
        DevicePage page = keyboard();
        expectShowsList(page);
        QCOMPARE(shownNames(page), QStringList{"profile1"});

        click(page, "device_add_btn");
        click(page, "device_copy_btn");
        // Adding and copying keep the active profile.
        QCOMPARE(shownNames(page), (QStringList{"profile1", "profile2", "profile1 copy"}));
        expectShowsList(page);

        // Deleting the active profile makes its neighbour active on the device at once.
        page.profiles->SelectProfile(2);
        const QString deleted = profileFile(page, 2);
        click(page, "device_sub_btn");
        QCOMPARE(shownNames(page), (QStringList{"profile1", "profile2"}));
        QCOMPARE(page.device->Profiles().GetSelectedIndex(), 1);
        QCOMPARE(QString::fromStdString(page.device->ProfileData().GetProfilePath()),
                 profileFile(page, 1));
        QVERIFY(!QFile::exists(deleted));
        expectShowsList(page);

        // The last profile stays.
        click(page, "device_sub_btn");
        click(page, "device_sub_btn");
        QCOMPARE(shownNames(page), QStringList{"profile1"});
        QVERIFY(m_Asked.empty());
    }

    void rename_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shownName");
        QTest::newRow("new name") << "Main"
                                  << ""
                                  << "Main";
        QTest::newRow("own name, other case") << "PROFILE1"
                                              << ""
                                              << "PROFILE1";
        QTest::newRow("another's name, other case") << "Profile2"
                                                    << "message_text_5"
                                                    << "profile1";
        QTest::newRow("blank") << "   "
                               << "message_text_25"
                               << "profile1";
        QTest::newRow("empty does nothing") << ""
                                            << ""
                                            << "";
    }
    void rename() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QFETCH(QString, shownName);
        DevicePage page = keyboard();
        click(page, "device_add_btn");
        nameEdit(page)->setText(name);
        click(page, "device_profile_edit_save_btn");
        QCOMPARE(m_Asked.size(), std::size_t(message.isEmpty() ? 0 : 1));
        if (!message.isEmpty())
            QCOMPARE(QString::fromStdString(m_Asked[0]), message);
        if (name.isEmpty())
            return;
        // Refused names leave list and file as they were; the edit shows the list again.
        QCOMPARE(shownNames(page).value(0), shownName);
        QCOMPARE(readJson(profileFile(page, 0))["profilename"].asString(), shownName.toStdString());
        expectShowsList(page);
    }

    void importAndExport() {
        DevicePage page = keyboard();
        // An upper-case extension is a profile file too; the name comes from the file name.
        const QString imported = m_Data->filePath("Pad.JSON");
        writeText(imported, R"({"Device": [{"LightInfo": {"Light": 1}}],
                                "profilename": "X", "profileUUID": "2020_01_01_00_00_00_000"})");
        m_OpenFile = imported;
        click(page, "device_import_btn");
        QCOMPARE(shownNames(page), (QStringList{"profile1", "Pad"}));
        QVERIFY(m_Asked.empty());
        QCOMPARE(readJson(profileFile(page, 1))["Device"][0]["LightInfo"]["Light"].asInt(), 1);

        // A file that is no profile is refused, and the user is told.
        const QString garbage = m_Data->filePath("notes.json");
        writeText(garbage, "not json {");
        m_OpenFile = garbage;
        click(page, "device_import_btn");
        QCOMPARE(shownNames(page), (QStringList{"profile1", "Pad"}));
        QCOMPARE(m_Asked.size(), std::size_t(1));
        QVERIFY(m_Asked[0].find("notes.json") != std::string::npos);

        // Cancelled dialogs do nothing.
        m_OpenFile.clear();
        click(page, "device_import_btn");
        click(page, "device_export_btn");
        QCOMPARE(shownNames(page).size(), 2);
        QCOMPARE(m_Asked.size(), std::size_t(1));

        // Export writes the selected profile's file unchanged.
        m_SaveFile = m_Data->filePath("out.json");
        click(page, "device_export_btn");
        QCOMPARE(m_Suggested, QStringLiteral("profile1.json"));
        QCOMPARE(readJson(m_SaveFile), readJson(profileFile(page, 0)));
        QCOMPARE(m_Asked.size(), std::size_t(1));
    }

    void reset_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("confirmed") << 1;
        QTest::newRow("declined") << 0;
    }
    void reset() {
        QFETCH(int, answer);
        DevicePage page = keyboard();
        click(page, "device_add_btn");
        page.profiles->SelectProfile(1);
        const QString file = profileFile(page, 1);
        Json::Value changed = readJson(file);
        changed["Device"][0]["LightInfo"]["Light"] = 77;
        std::ostringstream text;
        text << changed;
        writeText(file, text.str());

        m_Answer = answer;
        click(page, "device_reset_btn");
        QCOMPARE(m_Asked, std::vector<std::string>{"message_text_22"});
        const Json::Value after = readJson(file);
        const Json::Value factory = readJson(QString::fromStdString(
            page.device->DefaultProfileFile()))["Device"][0]["LightInfo"]["Light"];
        QCOMPARE(after["Device"][0]["LightInfo"]["Light"], answer == 1 ? factory : Json::Value(77));
        // The profile keeps its name and id either way.
        QCOMPARE(after["profilename"].asString(), std::string("profile2"));
        QCOMPARE(QString::fromStdString(after["profileUUID"].asString()) + ".Json",
                 QFileInfo(file).fileName());
        expectShowsList(page);
    }

    void quickSelectionsLoadTheLastOnly() {
        DevicePage page = keyboard();
        for (int i = 0; i < 3; ++i)
            QVERIFY(page.device->Profiles().AddProfile().ok());
        page.profiles->Refresh();
        m_Loop.runDue();  // the loads of the set-up
        LoadCounter counter;
        page.device->AddObserver(&counter);

        for (int index : {1, 2, 3}) {
            pick(page, index);
            m_Clock.advance(std::chrono::milliseconds(300));
            m_Loop.runDue();
            // A refresh meanwhile (the device reporting something) keeps the pick on show.
            page.profiles->Refresh();
        }
        QCOMPARE(counter.loads, 0);
        QCOMPARE(combo(page)->currentIndex(), 3);
        m_Clock.advance(CDeviceProfileUI::kSelectDelay);
        m_Loop.runDue();
        QCOMPARE(counter.loads, 1);
        QCOMPARE(page.device->Profiles().GetSelectedIndex(), 3);
        QCOMPARE(QString::fromStdString(page.device->ProfileData().GetProfilePath()),
                 profileFile(page, 3));
        expectShowsList(page);

        // An operation right after a pick acts on the picked profile.
        pick(page, 1);
        click(page, "device_copy_btn");
        QCOMPARE(shownNames(page).last(), QStringLiteral("profile2 copy"));
        QCOMPARE(page.device->Profiles().GetSelectedIndex(), 1);
        QVERIFY(!page.profiles->SelectionPending());
        page.device->RemoveObserver(&counter);
    }

    void menuToggles() {
        DevicePage page = keyboard();
        QVERIFY(!page.profiles->IsProfileMenuVisible());
        click(page, "profile_fun_spread_btn");
        QVERIFY(page.profiles->IsProfileMenuVisible());
        click(page, "profile_fun_spread_btn");
        QVERIFY(!page.profiles->IsProfileMenuVisible());
    }

    void tabsByKind_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("deviceName");
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QStringList>("shownTabs");
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("keyFunction");
        const QStringList keyboardTabs{"deng_Op_tab", "key_Op_tab", "macro_Op_tab",
                                       "system_Op_tab"};
        const QStringList mouseTabs = keyboardTabs + QStringList{"cursor_Op_tab"};
        QTest::newRow("keyboard") << 1 << "keyboard"
                                  << "keyboarddevice.ui" << keyboardTabs << "key_Op_tab" << 0 << 1;
        QTest::newRow("keyboard receiver")
            << 9 << "keyboard"
            << "keyboarddevice.ui" << keyboardTabs << "system_Op_tab" << 3 << 0;
        QTest::newRow("mouse") << 2 << "mouse"
                               << "mousedevice.ui" << mouseTabs << "cursor_Op_tab" << 2 << 0;
        QTest::newRow("mouse receiver")
            << 6 << "mouse"
            << "mousedevice.ui" << mouseTabs << "macro_Op_tab" << 1 << 0;
        QTest::newRow("mousepad") << 3 << "MousePad"
                                  << "mousepaddevice.ui" << QStringList{"deng_Op_tab"}
                                  << "deng_Op_tab" << 0 << -1;
        QTest::newRow("headset") << 7 << "HD"
                                 << "hs6533device.ui"
                                 << QStringList{"deng_Op_tab", "6533_voice_Op_tab", "magic_Op_tab",
                                                "Virtual7.1_Op_tab"}
                                 << "magic_Op_tab" << 0 << 2;
    }
    void tabsByKind() {
        QFETCH(int, kind);
        QFETCH(QString, deviceName);
        QFETCH(QString, layout);
        QFETCH(QStringList, shownTabs);
        QFETCH(QString, clicked);
        QFETCH(int, function);
        QFETCH(int, keyFunction);
        DevicePage page =
            makePage(kind, deviceName.toLatin1().constData(), layout.toLatin1().constData());
        QStringList shown;
        QStringList checked;
        const auto tabs = page.page->findChildren<QAbstractButton*>();
        for (QAbstractButton* tab : tabs) {
            if (!tab->objectName().endsWith("_Op_tab"))
                continue;
            if (!tab->isHidden())
                shown.append(tab->objectName());
        }
        QCOMPARE(shown, shownTabs);

        click(page, clicked.toLatin1().constData());
        for (QAbstractButton* tab : tabs) {
            if (tab->objectName().endsWith("_Op_tab") && tab->isChecked())
                checked.append(tab->objectName());
        }
        QCOMPARE(checked, QStringList{clicked});
        const auto* functions =
            page.page->findChild<QStackedWidget*>(QStringLiteral("device_function_switch"));
        QVERIFY(functions != nullptr);
        QCOMPARE(functions->currentIndex(), function);
        QVERIFY(functions->currentIndex() < functions->count());
        const auto* keyFunctions =
            page.page->findChild<QStackedWidget*>(QStringLiteral("device_key_function_switch"));
        QCOMPARE(keyFunctions != nullptr ? keyFunctions->currentIndex() : -1, keyFunction);

        // Selecting by program clears every other tab and raises no notification.
        page.profiles->SelectFunctionTab(0);
        for (QAbstractButton* tab : tabs)
            QVERIFY(!tab->objectName().endsWith("_Op_tab") || !tab->isChecked());
    }
};

QTEST_MAIN(DeviceProfileUiTest)
#include "device_profile_ui_qttest.moc"
