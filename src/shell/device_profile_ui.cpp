#include "device_profile_ui.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QStackedWidget>

#include <array>
#include <initializer_list>

#include "app/function_page.h"
#include "device/hid/usb_interface_record.h"
#include "device/model/tessarin_usb_device.h"
#include "platform/trace.h"
#include "skin.h"

namespace qm::shell {
namespace {

// The function tab options by tab type 1-8.
constexpr std::array<const char*, 8> kTabNames = {
    "deng_Op_tab",   "key_Op_tab",        "macro_Op_tab", "system_Op_tab",
    "cursor_Op_tab", "6533_voice_Op_tab", "magic_Op_tab", "Virtual7.1_Op_tab",
};

// Shown when the active profile could not be written to the peripheral.
constexpr const char* kMessageWriteFailed = "profile_write_failed_text";

// A peripheral's type code: the kind of its cable connection.
int typeCode(int kind) {
    if (kind == DEVICE_KEYBOARD_24G)
        return DEVICE_KEYBOARD;
    if (kind == DEVICE_MOUSE_24G)
        return DEVICE_MOUSE;
    return kind;
}

// "*.json" in any letter case: profile files come as ".json" and ".Json" (the program's own).
constexpr const char* kProfilePattern = "*.[jJ][sS][oO][nN]";

QString fileFilter(const QString& label) {
    // The label's own pattern ("Profile files (*.json)") is replaced by the case-blind one.
    QString name = label;
    if (const qsizetype open = name.lastIndexOf('('); open > 0)
        name = name.left(open).trimmed();
    return QStringLiteral("%1 (%2)").arg(name, QLatin1String(kProfilePattern));
}

}  // namespace

CDeviceProfileUI::CDeviceProfileUI(QWidget* placeholder, CTessarinUSBDevice& device,
                                   Dispatcher& timers, Services services)
    : m_Device(device),
      m_Timers(timers),
      m_Services(std::move(services)),
      m_Placeholder(placeholder) {
    if (placeholder == nullptr)
        return;
    m_Root = loadLayout(QStringLiteral("DeviceProfile.ui"), placeholder);
    if (m_Root == nullptr)
        return;
    auto* box = qobject_cast<QBoxLayout*>(placeholder->layout());
    if (box == nullptr && placeholder->layout() == nullptr) {
        box = new QHBoxLayout(placeholder);
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(0);
    }
    if (box != nullptr)
        box->addWidget(m_Root);
    m_Combo = m_Root->findChild<QComboBox*>(QStringLiteral("device_profile_combo"));
    m_NameEdit = m_Root->findChild<QLineEdit*>(QStringLiteral("device_profile_name_edit"));
    m_Menu = m_Root->findChild<QWidget*>(QStringLiteral("profile_menu_layout"));
}

CDeviceProfileUI::~CDeviceProfileUI() {
    if (m_SelectTimer != 0)
        m_Timers.cancel(m_SelectTimer);
}

void CDeviceProfileUI::LoadProfileList() {
    ProfileList& profiles = m_Device.Profiles();
    // The device loads its list when it is created; a list it could not load is tried again.
    if (profiles.GetSelectedIndex() < 0)
        report(profiles.LoadProfileList(), "load");
    hideTabsForKind();
    refresh(true);
}

void CDeviceProfileUI::hideTabsForKind() {
    const auto setVisible = [this](std::initializer_list<int> types, bool visible) {
        for (int type : types) {
            if (QAbstractButton* option = tab(type))
                option->setVisible(visible);
        }
    };
    using namespace app;
    switch (typeCode(m_Device.Kind())) {
        case DEVICE_KEYBOARD:
            setVisible({kTabCursor}, false);
            break;
        case DEVICE_MOUSEPAD:
        case 5:
            setVisible({kTabCursor, kTabMacros, kTabSystem, kTabKeys}, false);
            break;
        case 4:
            setVisible({kTabCursor, kTabMacros, kTabKeys}, false);
            break;
        case DEVICE_HEADSET:
            setVisible({kTabCursor, kTabMacros, kTabSystem, kTabKeys}, false);
            setVisible({kTabVoice, kTabMagic, kTabVirtual71}, true);
            break;
        default:
            break;
    }
}

void CDeviceProfileUI::Refresh() {
    refresh(false);
}

void CDeviceProfileUI::refresh(bool nameEdit) {
    const ProfileList& profiles = m_Device.Profiles();
    const int selected = profiles.GetSelectedIndex();
    if (m_Combo != nullptr) {
        QStringList names;
        for (const ProfileEntry& entry : profiles.Profiles())
            names.append(QString::fromStdString(entry.name));
        QStringList shown;
        for (int i = 0; i < m_Combo->count(); ++i)
            shown.append(m_Combo->itemText(i));
        if (shown != names) {
            m_Combo->clear();
            for (const QString& name : names)
                m_Combo->addItem(name, name);
        }
        // A pick waiting for its delay stays on show until it is loaded.
        if (m_SelectTimer == 0)
            m_Combo->setCurrentIndex(selected);
    }
    const std::string name =
        selected >= 0 ? profiles.Profiles()[static_cast<std::size_t>(selected)].name : "";
    // The name edit follows the selection, but text the user is typing survives other refreshes.
    if (nameEdit || selected != m_ShownIndex || name != m_ShownName) {
        SetNameEditText(QString::fromStdString(name));
        m_ShownIndex = selected;
        m_ShownName = name;
    }
}

void CDeviceProfileUI::SelectProfile(int index) {
    if (report(m_Device.Profiles().SelectProfile(index), "select"))
        activeProfileShown();
    refresh(true);
}

int CDeviceProfileUI::GetSelectedIndex() const {
    return m_Combo != nullptr ? m_Combo->currentIndex() : -1;
}

QString CDeviceProfileUI::GetNameEditText() const {
    return m_NameEdit != nullptr ? m_NameEdit->text() : QString();
}

void CDeviceProfileUI::SetNameEditText(const QString& text) {
    if (m_NameEdit != nullptr)
        m_NameEdit->setText(text);
}

void CDeviceProfileUI::ShowProfileMenu(bool visible) {
    if (m_Menu != nullptr)
        m_Menu->setVisible(visible);
}

bool CDeviceProfileUI::IsProfileMenuVisible() const {
    return m_Menu != nullptr && !m_Menu->isHidden();
}

QAbstractButton* CDeviceProfileUI::tab(int type) const {
    if (m_Root == nullptr || type < 1 || type > static_cast<int>(kTabNames.size()))
        return nullptr;
    return m_Root->findChild<QAbstractButton*>(QLatin1String(kTabNames[type - 1]));
}

void CDeviceProfileUI::SelectFunctionTab(int type) {
    for (int t = 1; t <= static_cast<int>(kTabNames.size()); ++t) {
        QAbstractButton* option = tab(t);
        if (option == nullptr)
            continue;
        // An exclusive option cannot be cleared while exclusive; setChecked raises no
        // notification (those follow clicks).
        const bool exclusive = option->autoExclusive();
        option->setAutoExclusive(false);
        option->setChecked(t == type);
        option->setAutoExclusive(exclusive);
    }
}

void CDeviceProfileUI::ShowFunctionPage(int type) {
    SelectFunctionTab(type);
    m_Device.SetFunctionPage(type);
    const app::FunctionPageTabs tabs = app::functionPageTabs(type, m_Device.Kind());
    // The page is the nearest container of the placeholder that holds the sub-page stacks.
    QWidget* page = m_Placeholder != nullptr ? m_Placeholder->parentWidget() : nullptr;
    for (; page != nullptr; page = page->parentWidget()) {
        if (page->findChild<QStackedWidget*>(QStringLiteral("device_function_switch")) != nullptr)
            break;
    }
    if (page == nullptr)
        return;
    if (auto* functions =
            page->findChild<QStackedWidget*>(QStringLiteral("device_function_switch")))
        functions->setCurrentIndex(tabs.function);
    auto* keyFunctions =
        page->findChild<QStackedWidget*>(QStringLiteral("device_key_function_switch"));
    if (keyFunctions != nullptr && tabs.keyFunction >= 0)
        keyFunctions->setCurrentIndex(tabs.keyFunction);
}

bool CDeviceProfileUI::RunRoute(app::Route route, QObject* sender) {
    using app::Route;
    switch (route) {
        case Route::ProfileSelect:
            itemSelected();
            return true;
        case Route::SetFunctionPage:
            if (sender != nullptr && sender->property("page").isValid())
                ShowFunctionPage(sender->property("page").toInt());
            return true;
        case Route::ProfileMenuToggle:
            toggleProfileMenu();
            return true;
        default:
            break;
    }
    // The other operations act on the profile the combo shows.
    switch (route) {
        case Route::ProfileAdd:
            flushSelection();
            addProfile();
            return true;
        case Route::ProfileDelete:
            flushSelection();
            deleteProfile();
            return true;
        case Route::ProfileCopy:
            flushSelection();
            copyProfile();
            return true;
        case Route::ProfileImport:
            flushSelection();
            importProfile();
            return true;
        case Route::ProfileExport:
            flushSelection();
            exportProfile();
            return true;
        case Route::ProfileRename:
            flushSelection();
            renameProfile();
            return true;
        case Route::ProfileReset:
            flushSelection();
            resetProfile();
            return true;
        case Route::RestoreDefaults:
            flushSelection();
            restoreDefaults();
            return true;
        default:
            return false;
    }
}

void CDeviceProfileUI::addProfile() {
    report(m_Device.Profiles().AddProfile(), "add");
    refresh(true);
}

void CDeviceProfileUI::deleteProfile() {
    // The list makes the neighbour the active profile, and the device loads it at once.
    if (report(m_Device.Profiles().DeleteProfile(), "delete"))
        activeProfileShown();
    refresh(true);
}

void CDeviceProfileUI::copyProfile() {
    report(m_Device.Profiles().CopyProfile(), "copy");
    refresh(true);
}

void CDeviceProfileUI::importProfile() {
    if (m_Device.Profiles().GetSelectedIndex() < 0)
        return;
    const QString path = openFileDialog();
    if (path.isEmpty())
        return;
    // A file that is no profile is refused with a message, not ignored.
    report(m_Device.Profiles().ImportProfile(path.toStdString()), "import");
    refresh(true);
}

void CDeviceProfileUI::exportProfile() {
    const ProfileList& profiles = m_Device.Profiles();
    const int selected = profiles.GetSelectedIndex();
    if (selected < 0)
        return;
    QString suggested =
        QString::fromStdString(profiles.Profiles()[static_cast<std::size_t>(selected)].name);
    suggested.replace('/', '_');
    const QString path = saveFileDialog(suggested + QStringLiteral(".json"));
    if (path.isEmpty())
        return;
    report(m_Device.Profiles().ExportProfile(path.toStdString()), "export");
}

void CDeviceProfileUI::renameProfile() {
    const QString name = GetNameEditText();
    if (name.isEmpty())
        return;
    report(m_Device.Profiles().RenameProfile(name.toStdString()), "rename");
    refresh(true);
}

void CDeviceProfileUI::resetProfile() {
    if (m_Device.Profiles().GetSelectedIndex() < 0)
        return;
    if (ask(kMessageResetQuestion, 1) != 1)
        return;
    // The list replaces the profile's file and the device reloads and writes it.
    if (report(m_Device.Profiles().ResetProfile(), "reset")) {
        activeProfileShown();
        // The device wrote the whole profile as it loaded it. The music lighting settings return
        // to their defaults here once music lighting exists.
    }
    refresh(true);
}

void CDeviceProfileUI::restoreDefaults() {
    if (ask(kMessageResetQuestion, 1) != 1)
        return;
    // The factory settings become the active profile's content; its name and id stay.
    m_Device.ReloadProfile();
    // The key table first (keyboard and mouse; the others have none), then the settings.
    const int keys = m_Device.WriteKeyTable(0);
    const int parameters = m_Device.WriteParameters();
    const int written = keys < 0 ? keys : parameters;
    m_Device.ApplyToPage();
    if (written < 0) {
        tracef("%s: writing the factory settings failed (%d)", m_Device.DeviceName().c_str(),
               written);
        ask(kMessageWriteFailed, 0);
    }
    refresh(true);
}

void CDeviceProfileUI::toggleProfileMenu() {
    const bool show = !IsProfileMenuVisible();
    ShowProfileMenu(show);
    if (show)
        refresh(true);
}

void CDeviceProfileUI::itemSelected() {
    // Quick picks restart the delay, so only the last one is loaded.
    if (m_SelectTimer != 0)
        m_Timers.cancel(m_SelectTimer);
    m_SelectTimer = m_Timers.postAfter(kSelectDelay, [this] {
        m_SelectTimer = 0;
        runSelection();
    });
}

void CDeviceProfileUI::flushSelection() {
    if (m_SelectTimer == 0)
        return;
    m_Timers.cancel(m_SelectTimer);
    m_SelectTimer = 0;
    runSelection();
}

void CDeviceProfileUI::runSelection() {
    const int index = GetSelectedIndex();
    if (index < 0)
        return;
    // The device writes the whole profile (settings, macros, key table) when it loads it.
    SelectProfile(index);
}

void CDeviceProfileUI::activeProfileShown() {
    m_Device.ApplyToPage();
    const int written = m_Device.LastProfileWrite();
    if (written < 0)
        ask(kMessageWriteFailed, 0);
}

bool CDeviceProfileUI::report(const ProfileOutcome& outcome, const char* operation) {
    if (outcome.ok())
        return true;
    tracef("%s: profile %s: %s", m_Device.DeviceName().c_str(), operation, outcome.detail.c_str());
    if (!outcome.messageKey.empty())
        ask(outcome.messageKey, 0);
    else if (outcome.result == ProfileResult::Refused ||
             outcome.result == ProfileResult::WriteFailed)
        ask(outcome.detail, 0);
    return false;
}

int CDeviceProfileUI::ask(const std::string& textKey, int buttonMode) const {
    if (!m_Services.ask) {
        tracef("%s: no message box for %s", m_Device.DeviceName().c_str(), textKey.c_str());
        return 0;
    }
    return m_Services.ask(textKey, buttonMode);
}

QString CDeviceProfileUI::translate(const char* key) const {
    return QString::fromStdString(m_Services.translate ? m_Services.translate(key)
                                                       : std::string(key));
}

QString CDeviceProfileUI::openFileDialog() const {
    if (m_Services.files.openFile)
        return m_Services.files.openFile();
    QFileDialog dialog(m_Root != nullptr ? m_Root->window() : nullptr,
                       translate("profile_import_title_text"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(fileFilter(translate("profile_file_filter_text")));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString CDeviceProfileUI::saveFileDialog(const QString& suggestedName) const {
    if (m_Services.files.saveFile)
        return m_Services.files.saveFile(suggestedName);
    QFileDialog dialog(m_Root != nullptr ? m_Root->window() : nullptr,
                       translate("profile_export_title_text"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(fileFilter(translate("profile_file_filter_text")));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace qm::shell
