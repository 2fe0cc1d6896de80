// The keyboard's page on the in-process virtual keyboard, driven through its control names as a
// user would: remapping a key and writing it, cancelling, capturing a key in the key edit, the
// system options, the captions in English. Data lives in a temporary folder; no modal window
// opens (messages are recorded).
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <json/json.h>

#include <fstream>
#include <memory>

#include "app/event_routes.h"
#include "app/languages.h"
#include "device/hid/supported_interfaces.h"
#include "device/model/dispatcher.h"
#include "device/model/keyboard_device.h"
#include "device_profile_ui.h"
#include "emulator/firmware_memory.h"
#include "emulator/peripheral.h"
#include "emulator/virtual_bus.h"
#include "notifications.h"
#include "platform/data_paths.h"
#include "skin.h"
#include "ui/device_page.h"
#include "ui/keyboard_page.h"

using qm::PositionKeyCode;

namespace {

Json::Value readJson(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    if (!Json::parseFromStream(builder, in, &value, &errors))
        return Json::Value();
    return value;
}

constexpr int kEsc = 0;
constexpr int kF1 = 1;
constexpr int kF2 = 2;
constexpr int kFn = 110;

}  // namespace

class KeyboardPageTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_Home;
    std::unique_ptr<QTemporaryDir> m_Data;
    std::unique_ptr<qm::app::Languages> m_Languages;
    qm::FakeClock m_Clock;
    qm::LoopDispatcher m_Loop{m_Clock};
    std::unique_ptr<qm::emu::VirtualBus> m_Bus;
    std::unique_ptr<qm::DeviceContext> m_Context;
    std::unique_ptr<qm::CTessarinKeyboardDevice> m_Keyboard;
    std::unique_ptr<QWidget> m_Page;
    std::unique_ptr<qm::shell::CDeviceProfileUI> m_Profiles;
    std::unique_ptr<qm::ui::DevicePage> m_Controller;
    std::vector<std::string> m_Asked;  // every message shown

    qm::ui::KeyboardPage& page() { return static_cast<qm::ui::KeyboardPage&>(*m_Controller); }
    qm::emu::Peripheral& firmware() { return *m_Bus->firmware("keyboard"); }

    template <typename T = QWidget>
    T* named(const char* name) {
        T* found = m_Page->findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr)
            qWarning("no control %s", name);
        return found;
    }
    QAbstractButton* key(int position) {
        return named<QAbstractButton>(("key_" + std::to_string(position)).c_str());
    }
    void click(const char* name) {
        named<QAbstractButton>(name)->click();
        m_Loop.runDue();  // the device's notifications
    }
    // A pick in a combo, as the user makes it.
    void pick(const char* name, int index) {
        auto* combo = named<QComboBox>(name);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        m_Loop.runDue();
    }
    void pickCategory(int category) {
        auto* combo = named<QComboBox>("keyset_function_combo");
        pick("keyset_function_combo", combo->findData(category));
    }
    PositionKeyCode deviceKeyAt(int position) {
        const std::vector<std::uint8_t> codes = firmware().area(qm::emu::Area::KeyCodes);
        const std::size_t at = std::size_t{m_Keyboard->KeyPositionMap()[position]} * 3;
        return {codes[at], codes[at + 1], codes[at + 2]};
    }
    PositionKeyCode assignment(int position) {
        const qm::KeyAssignment& current = m_Keyboard->KeyAssignments()[position].current;
        return {current.type, current.b1, current.b2};
    }
    Json::Value activeProfile() {
        return readJson(m_Keyboard->ProfileData().GetProfilePath())["Device"][0];
    }

private slots:
    void initTestCase() {
        QVERIFY(m_Home.isValid());
        for (const char* variable : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME"})
            qputenv(variable, m_Home.filePath(variable).toUtf8());
        m_Languages = std::make_unique<qm::app::Languages>(qm::app::Languages::Installed());
        for (std::size_t i = 0; i < m_Languages->list().size(); ++i) {
            if (m_Languages->list()[i].name == "en_US")
                QVERIFY(m_Languages->SetLanguage(static_cast<int>(i)));
        }
    }

    // The virtual keyboard, attached, with its page wired as the main window wires it.
    void init() {
        m_Data = std::make_unique<QTemporaryDir>();
        QVERIFY(m_Data->isValid());
        m_Asked.clear();
        m_Bus = std::make_unique<qm::emu::VirtualBus>(
            qm::emu::VirtualBus::Options{{}, {{}, {}}, &m_Clock});
        QVERIFY(m_Bus->plug("keyboard"));
        m_Context = std::make_unique<qm::DeviceContext>(qm::DeviceContext{
            *m_Bus, m_Loop, m_Clock, qm::defaultDataFolder(), m_Data->path().toStdString() + "/"});
        m_Keyboard = std::make_unique<qm::CTessarinKeyboardDevice>(*m_Context);
        m_Keyboard->SetPageLayout("XML\\DeviceXml\\keyboarddevice.xml");
        m_Keyboard->SetKeyCount(170);
        m_Keyboard->SetLedCount(170);
        m_Keyboard->SetDeviceName("keyboard");
        m_Keyboard->BindSlot(qm::g_SupportedInterfaces[0]);
        m_Keyboard->SetLightConfigName("velto_light");
        m_Keyboard->InitPage();
        QCOMPARE(m_Keyboard->Transport().OpenCommandInterface(
                     qm::emu::VirtualBus::commandPath("keyboard"), qm::kModeCable),
                 0);
        m_Keyboard->OnAttached();
        QVERIFY(m_Keyboard->LayoutValid());

        m_Page.reset(qm::shell::loadLayout(QStringLiteral("keyboarddevice.ui"), nullptr));
        QVERIFY(m_Page != nullptr);
        qm::shell::CDeviceProfileUI::Services profileServices;
        m_Profiles = std::make_unique<qm::shell::CDeviceProfileUI>(
            named("DeviceProfileItem"), *m_Keyboard, m_Loop, profileServices);
        qm::ui::PageServices services;
        services.translate = [this](const std::string& k) { return m_Languages->TranslateKey(k); };
        services.ask = [this](const std::string& text, int) {
            m_Asked.push_back(text);
            return 1;
        };
        services.timers = &m_Loop;
        m_Controller = qm::ui::createDevicePage(m_Page.get(), *m_Keyboard, services);
        QVERIFY(m_Controller != nullptr);
        qm::shell::connectNotifications(m_Page.get(), [this](const QString& type, QObject* sender) {
            const qm::app::RoutedEvent routed =
                qm::app::routeEvent(type.toStdString(), sender->objectName().toStdString());
            if (routed.found && m_Controller && !m_Profiles->RunRoute(routed.target, sender))
                m_Controller->RunRoute(routed.target, routed.index, sender);
        });
        m_Profiles->LoadProfileList();
        m_Profiles->ShowFunctionPage(1);
        m_Loop.runDue();  // the attach's notifications reach the page
    }
    void cleanup() {
        m_Page->hide();  // a focused edit reports its focus loss while the page still runs
        m_Controller.reset();
        m_Profiles.reset();
        m_Page.reset();
        m_Keyboard.reset();
        m_Loop.runDue();
        m_Context.reset();
        m_Bus.reset();
        m_Data.reset();
    }

    void captionsAndTheFnKey() {
        const struct {
            int position;
            const char* caption;
        } captions[] = {{kEsc, "Esc"}, {17, "Lighting"}, {108, "Space"},
                        {kFn, "FN"},   {120, "M1"},      {34, "Backspace"}};
        for (const auto& expected : captions) {
            QCOMPARE(key(expected.position)->property("caption").toString(),
                     QString::fromLatin1(expected.caption));
            QVERIFY(!key(expected.position)->property("remapped").toBool());
        }
        QVERIFY(key(kEsc)->toolTip().endsWith(QStringLiteral("Esc")));
        QCOMPARE(key(kEsc)->property("userdata").toString(), QStringLiteral("light_0"));
        QVERIFY(m_Page->findChild<QAbstractButton*>("key_18") == nullptr);  // an empty position

        // On the lighting tab FN can be clicked but selects no key to remap.
        QVERIFY(key(kFn)->isEnabled());
        click("key_5");
        QCOMPARE(page().model().selectedPosition(), -1);
        QVERIFY(named("keyset_layout")->isHidden());
        click("key_Op_tab");
        QVERIFY(!key(kFn)->isEnabled());
        QVERIFY(key(kEsc)->isEnabled());
        click("deng_Op_tab");
        QVERIFY(key(kFn)->isEnabled());
    }

    void remapWriteAndCancel() {
        click("key_Op_tab");
        click("key_0");
        QCOMPARE(page().model().selectedPosition(), kEsc);
        QVERIFY(!named("keyset_layout")->isHidden());
        QCOMPARE(named<QLineEdit>("keyset_keyboard_text_edit")->text(), QStringLiteral("Esc"));
        QVERIFY(!named("key_butt_keysave")->isEnabled());

        // Esc becomes Play/Pause: the media category, then its row.
        pickCategory(7);
        pick("keyset_media_combo", 1);
        QCOMPARE(named<QComboBox>("keyset_media_combo")->currentText(),
                 QStringLiteral("Play/Pause"));
        click("key_butt_keysave");
        const PositionKeyCode playPause{0x30, 0xCD, 0x00};
        QCOMPARE(assignment(kEsc), playPause);
        QVERIFY(key(kEsc)->property("remapped").toBool());
        QVERIFY(key(kEsc)->toolTip().endsWith(QStringLiteral("Play/Pause")));
        QCOMPARE(deviceKeyAt(kEsc), (PositionKeyCode{0x20, 0x00, 0x29}));  // not written yet

        click("key_butt_prosave");
        QVERIFY(m_Asked.empty());
        QCOMPARE(deviceKeyAt(kEsc), playPause);
        QCOMPARE(activeProfile()["KeyList"][kEsc]["Assignment"].asInt(), 0x30CD00);
        QVERIFY(!named("key_butt_keysave")->isEnabled());

        // F1 to Sleep, then cancelled: F1 again, on the page, in the device and never written.
        click("key_1");
        pickCategory(8);
        pick("keyset_system_combo", 1);
        QCOMPARE(assignment(kF1), (PositionKeyCode{0x40, 0x02, 0x00}));
        QVERIFY(key(kF1)->property("remapped").toBool());
        click("key_butt_keycancel");
        QCOMPARE(assignment(kF1), (PositionKeyCode{0x20, 0x00, 0x3A}));
        QVERIFY(!key(kF1)->property("remapped").toBool());
        QCOMPARE(named<QComboBox>("keyset_function_combo")->currentData().toInt(), 6);
        QCOMPARE(named<QLineEdit>("keyset_keyboard_text_edit")->text(), QStringLiteral("F1"));
        QVERIFY(!named("key_butt_keycancel")->isEnabled());
        QCOMPARE(deviceKeyAt(kF1), (PositionKeyCode{0x20, 0x00, 0x3A}));
        QVERIFY(key(kEsc)->property("remapped").toBool());  // the written key stays remapped

        // A write that does not reach the keyboard is reported, and can be tried again.
        pickCategory(8);
        pick("keyset_system_combo", 0);
        m_Keyboard->Detach();
        click("key_butt_prosave");
        QCOMPARE(m_Asked, std::vector<std::string>{"key_table_write_failed_text"});
        QVERIFY(named("key_butt_prosave")->isEnabled());
    }

    void keyCapture() {
        click("key_Op_tab");
        click("key_2");
        QCOMPARE(page().model().selectedPosition(), kF2);
        auto* edit = named<QLineEdit>("keyset_keyboard_text_edit");
        m_Page->show();
        m_Page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_Page.get()));
        edit->setFocus();
        QVERIFY(edit->hasFocus());

        // Focus and leave without a key: nothing changes.
        emit edit->editingFinished();
        m_Loop.runDue();
        QCOMPARE(assignment(kF2), (PositionKeyCode{0x20, 0x00, 0x3B}));
        QVERIFY(!key(kF2)->property("remapped").toBool());

        // Tab is captured, not used to move the focus.
        QTest::keyClick(edit, Qt::Key_Tab);
        m_Loop.runDue();
        QVERIFY(edit->hasFocus());
        QCOMPARE(edit->text(), QStringLiteral("Tab"));
        QCOMPARE(assignment(kF2), (PositionKeyCode{0x20, 0x00, 0x2B}));
        QVERIFY(key(kF2)->property("remapped").toBool());

        // With the Ctrl option, a keypad key keeps the modifier; a modifier key alone sets it.
        click("key_ComBox_check_1");
        QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(assignment(kF2), (PositionKeyCode{0x20, 0x01, 0x58}));
        QCOMPARE(edit->text(), QStringLiteral("Num Enter"));
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(assignment(kF2), (PositionKeyCode{0x20, 0x01, 0x29}));
        QTest::keyClick(edit, Qt::Key_Shift);
        QCOMPARE(assignment(kF2), (PositionKeyCode{0x20, 0x02, 0x00}));
        QVERIFY(named<QAbstractButton>("key_ComBox_check_2")->isChecked());
        QVERIFY(edit->text().isEmpty());
    }

    // A count typed for one key and left by clicking another key (the key buttons take no
    // focus) belongs to the key it was typed for.
    void editLeftBySelectingAnotherKey() {
        click("key_Op_tab");
        click("key_3");
        pickCategory(2);  // mouse swing
        auto* count = named<QLineEdit>("keyset_mouseswing_num_edit");
        m_Page->show();
        m_Page->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_Page.get()));
        count->setFocus();
        QVERIFY(count->hasFocus());
        count->setText(QStringLiteral("50"));
        const PositionKeyCode f4 = assignment(kF1 + 3);
        click("key_4");
        QCOMPARE(page().model().selectedPosition(), kF1 + 3);
        QCOMPARE(assignment(kF1 + 2).b2 & 0x7F, 50);
        QCOMPARE(assignment(kF1 + 3), f4);
    }

    void systemOptions() {
        click("system_Op_tab");
        QVERIFY(!named<QAbstractButton>("winlockflag_option")->isChecked());
        click("winlockflag_option");
        QCOMPARE(m_Keyboard->GetSystemStages().WinFlag, 1);
        QCOMPARE(firmware().setting(0, qm::KeyboardBlock::kWinFlag), 1);
        QCOMPARE(activeProfile()["SystemStages"]["WinFlag"].asInt(), 1);

        // The repeat delay lives in the profile only; its label follows.
        const std::uint8_t pollingByte = firmware().setting(0, qm::KeyboardBlock::kPollingRate);
        click("repeat_delay_check_2");
        QCOMPARE(m_Keyboard->GetSystemStages().RepeatDelay, 2);
        QCOMPARE(activeProfile()["SystemStages"]["RepeatDelay"].asInt(), 2);
        QVERIFY(
            named<QLabel>("repeat_delay_time_label1")->text().endsWith(QStringLiteral("750ms")));
        const int polling = (pollingByte + 1) % 4;
        click(("polling_rate_option_" + std::to_string(polling)).c_str());
        QCOMPARE(int{firmware().setting(0, qm::KeyboardBlock::kPollingRate)}, polling);
        QVERIFY(m_Asked.empty());

        // A keyboard that cannot be reached: the user is told, the option shows the device's copy.
        m_Keyboard->Detach();
        click("6flag_option");
        QCOMPARE(m_Asked, std::vector<std::string>{"setting_write_failed_text"});
        QCOMPARE(named<QAbstractButton>("6flag_option")->isChecked(),
                 m_Keyboard->GetSystemStages().Key6Flag != 0);
    }
};

QTEST_MAIN(KeyboardPageTest)
#include "keyboard_page_qttest.moc"
