#include "keyboard_page.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTimer>
#include <QWidget>

#include <array>

#include "app/function_page.h"
#include "app/languages.h"
#include "device/model/key_position_table.h"
#include "device/model/keyboard_device.h"
#include "key_capture.h"
#include "key_picture.h"
#include "key_set_control.h"
#include "keys/key_code.h"
#include "keys/keyboard_key_table.h"
#include "platform/trace.h"

namespace qm::ui {
namespace {

using app::Route;

// The FN key's layout position: it takes no other function, so the key page cannot select it.
constexpr int kFnPosition = 110;
constexpr int kRepeatDelays = 4;       // "repeat_delay_check_" 0-3
constexpr int kPollingRates = 4;       // "polling_rate_option_" 0-3
constexpr int kRepeatDelayStep = 250;  // ms per delay index, the first being 250 ms

// Messages of the key and system settings (language keys).
constexpr const char* kKeyTableWriteFailed = "key_table_write_failed_text";
constexpr const char* kKeysNotSaved = "key_profile_save_failed_text";
constexpr const char* kSettingWriteFailed = "setting_write_failed_text";
constexpr const char* kSettingNotSaved = "setting_save_failed_text";
constexpr const char* kSettingRefused = "setting_refused_text";
constexpr const char* kRepeatResetFailed = "repeat_reset_failed_text";

keys::KeyCode codeOf(const KeyAssignment& assignment) {
    return keys::KeyCodeOf(assignment);
}

bool isChecked(QObject* sender) {
    const auto* button = qobject_cast<QAbstractButton*>(sender);
    return button != nullptr && button->isChecked();
}

// The option of an indexed group that shows value; values outside the group select option 0.
void checkOption(QWidget* page, const char* prefix, int count, int value) {
    if (page == nullptr)
        return;
    const int shown = value >= 0 && value < count ? value : 0;
    for (int i = 0; i < count; ++i) {
        const QString name = QString::fromLatin1(prefix) + QString::number(i);
        if (auto* option = page->findChild<QAbstractButton*>(name)) {
            const QSignalBlocker block(option);
            option->setChecked(i == shown);
        }
    }
}

}  // namespace

KeyboardPage::KeyboardPage(QWidget* page, CTessarinKeyboardDevice& device, PageServices services)
    : m_Page(page),
      m_Device(device),
      m_Services(std::move(services)),
      m_Model(keys::kKeyboardDeviceType) {
    m_Translate = [this](std::string_view key) {
        return m_Services.translate ? m_Services.translate(std::string(key)) : std::string(key);
    };
    m_Picture = std::make_unique<CKeyPictureUI>(page, static_cast<int>(kLayoutPositions));
    m_KeySet = std::make_unique<CKeySetControlUI>(
        page != nullptr ? page->findChild<QWidget*>(QStringLiteral("KeySetControlItem")) : nullptr,
        keys::kKeyboardDeviceType);
    m_Capture =
        std::make_unique<KeyCapture>(m_KeySet->keyEdit(), [this](int row) { onCapturedKey(row); });
    // The function tabs switch these stacks; FN is clickable only while the picture edits
    // lighting.
    for (const char* name : {"device_function_switch", "device_key_function_switch"}) {
        if (auto* stack = control<QStackedWidget>(name))
            QObject::connect(stack, &QStackedWidget::currentChanged, &m_Connections,
                             [this] { showKeysEnabled(); });
    }
    // The slider's release is routed; keys, the wheel and clicks on the groove change it too.
    if (auto* slider = control<QAbstractSlider>("repeat_rate_slider")) {
        QObject::connect(slider, &QAbstractSlider::actionTriggered, &m_Connections, [this, slider] {
            // The value follows the action; store it once the event is done.
            QTimer::singleShot(0, &m_Connections, [this, slider = QPointer(slider)] {
                if (slider && !slider->isSliderDown() &&
                    slider->value() != m_Device.GetSetting(KeyboardSetting::Repeat))
                    setSetting(KeyboardSetting::Repeat, slider->value());
            });
        });
    }
    m_Device.AddObserver(this);
    Refresh();
    showSystem(true);
}

KeyboardPage::~KeyboardPage() {
    m_Device.RemoveObserver(this);
}

template <typename T>
T* KeyboardPage::control(const char* name) const {
    return m_Page != nullptr ? m_Page->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

QString KeyboardPage::text(std::string_view key) const {
    return QString::fromStdString(m_Translate(key));
}

void KeyboardPage::tell(const std::string& message) const {
    if (m_Services.ask)
        m_Services.ask(message, 0);
    else
        tracef("keyboard page: %s", message.c_str());
}

void KeyboardPage::Refresh() {
    applyTexts();
    syncAssignments();
    showCaptions();
    showKeysEnabled();
    showKeyPage();
    showSystem(false);
}

void KeyboardPage::OnDeviceChange(CTessarinUSBDevice& /*device*/, DeviceChange change) {
    switch (change) {
        case DeviceChange::LayoutRead:
            showKeysEnabled();
            break;
        case DeviceChange::KeyAssignments:
            syncAssignments();
            showCaptions();
            showKeyPage();
            break;
        case DeviceChange::Attached:
        case DeviceChange::ProfileLoaded:
        case DeviceChange::PageRefresh:
        case DeviceChange::SettingsRead:
            syncAssignments();
            showCaptions();
            showKeysEnabled();
            showKeyPage();
            showSystem(true);
            break;
        default:
            break;
    }
}

bool KeyboardPage::RunRoute(Route route, int index, QObject* sender) {
    if (runKeyRoute(route, index))
        return true;
    return runSystemRoute(route, index, sender);
}

void KeyboardPage::applyTexts() {
    m_KeySet->ApplyTexts(m_Translate);
    // The system sub-page's own texts; the main window sets them too, with the same keys.
    if (auto* system = control<QWidget>("system_frame")) {
        for (QWidget* widget : system->findChildren<QWidget*>()) {
            const QString key = widget->property("textkey").toString();
            if (key.isEmpty())
                continue;
            if (auto* label = qobject_cast<QLabel*>(widget))
                label->setText(text(key.toStdString()));
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                button->setText(text(key.toStdString()));
        }
    }
}

// ---- picture ----

QString KeyboardPage::ownCaption(int position) const {
    const PositionKeyCode at = keyPositionTable()[static_cast<std::size_t>(position)];
    const keys::KeyCode code{at.type, at.b1, at.b2};
    if (const int row = keys::KeyboardRowForCode(code); row >= 0)
        return text(keys::kKeyboardKeys[static_cast<std::size_t>(row)].textId);
    // The special key beside GM (A0 24 00) has no row of its own; it is the lighting key.
    if (code.type == keys::KeyType::Special)
        return text(keys::kColorKeyTextId);
    return QString::fromStdString(keys::KeyCaption(code, m_Translate, m_Device.MacroNames()));
}

void KeyboardPage::showCaption(int position) {
    const std::vector<KeyAssignmentRecord>& list = m_Device.KeyAssignments();
    if (m_Picture->button(position) == nullptr)
        return;
    QString assigned = ownCaption(position);
    bool remapped = false;
    if (static_cast<std::size_t>(position) < list.size()) {
        const KeyAssignmentRecord& record = list[static_cast<std::size_t>(position)];
        assigned = QString::fromStdString(
            keys::KeyCaption(codeOf(record.current), m_Translate, m_Device.MacroNames()));
        remapped = codeOf(record.current) != codeOf(record.defaults);
    }
    m_Picture->ShowKey(position, ownCaption(position), text("Key_Set") + assigned, remapped);
}

void KeyboardPage::showCaptions() {
    for (int p = 0; p < m_Picture->positionCount(); ++p)
        showCaption(p);
}

void KeyboardPage::showKeysEnabled() {
    const bool editingKeys = m_Device.GetFunctionPage() == app::kTabKeys;
    const bool layoutKnown = m_Device.LayoutValid();
    for (int p = 0; p < m_Picture->positionCount(); ++p) {
        const bool onKeyboard =
            !layoutKnown || m_Device.KeyPositionMap()[static_cast<std::size_t>(p)] != kNoPosition;
        m_Picture->SetKeyEnabled(p, onKeyboard && !(p == kFnPosition && editingKeys));
    }
}

// ---- key settings page ----

bool KeyboardPage::runKeyRoute(Route route, int index) {
    switch (route) {
        case Route::SelectKey:
            // While the picture edits lighting a click colours the key instead (lighting page).
            if (m_Device.GetFunctionPage() != app::kTabKeys)
                return false;
            selectKey(index);
            return true;
        case Route::KeyTableSave:
            writeKeyTable();
            return true;
        case Route::KeyTextFocus:
            return true;  // the capture runs whenever the edit has the focus
        case Route::KeySave:
        case Route::KeyDefault:
        case Route::KeyCancel:
        case Route::KeyComboCheck:
        case Route::KeyFunctionType:
        case Route::KeyMacroRepeatMode:
        case Route::KeyMouseButton:
        case Route::KeyMouseSwing:
        case Route::KeyMouseWheel:
        case Route::KeyMouseDpi:
        case Route::KeyMedia:
        case Route::KeySystem:
        case Route::KeyMacro:
        case Route::KeyGunKey:
        case Route::KeyComboKey:
        case Route::KeyText:
        case Route::KeySwingCount:
        case Route::KeySwingDelay:
        case Route::KeySwingSpeed:
        case Route::KeyWheelCount:
        case Route::KeyWheelDelay:
        case Route::KeyWheelSpeed:
        case Route::KeyFireInterval:
        case Route::KeyFireCount:
        case Route::KeyMacroCycles:
            break;
        default:
            return false;
    }
    if (m_Model.selectedPosition() < 0)
        return true;  // the controls are hidden until a key is selected
    switch (route) {
        case Route::KeyDefault:
            m_Model.ShowDefault();
            break;
        case Route::KeyCancel:
            if (m_Model.Cancel())
                storeSelectedKey();
            break;
        case Route::KeyFunctionType: {
            const keys::KeyPageControls read = m_KeySet->ReadControls(m_Model.controls());
            m_Model.SetControls(read);
            if (m_Model.ChangeCategory(read.category))
                storeSelectedKey();
            break;
        }
        default:
            applyControls();
            break;
    }
    showKeyPage();
    return true;
}

bool KeyboardPage::selectKey(int position) {
    // The key buttons take no focus: an edit of the key page still being typed in is finished
    // for the key it belongs to before another key is selected.
    if (QWidget* focused = QApplication::focusWidget(); focused != nullptr &&
                                                        m_KeySet->widget() != nullptr &&
                                                        m_KeySet->widget()->isAncestorOf(focused))
        focused->clearFocus();
    if (!m_Model.SelectKey(position))
        return false;  // a position the key list does not hold
    m_Device.SetSelectedKey(position);
    showKeyPage();
    return true;
}

void KeyboardPage::applyControls() {
    m_Model.SetControls(m_KeySet->ReadControls(m_Model.controls()));
    if (m_Model.ApplySelection())
        storeSelectedKey();
}

void KeyboardPage::storeSelectedKey() {
    const int position = m_Model.selectedPosition();
    const keys::KeyCode code = m_Model.current();
    if (position < 0)
        return;
    // Device and model hold the same list, so the device's notification finds nothing to take.
    if (m_Device.SetKeyAssignment(position, {code.type, code.b1, code.b2}) != 1)
        tracef("keyboard page: key %d cannot take an assignment", position);
    showCaption(position);
}

void KeyboardPage::onCapturedKey(int row) {
    if (m_Model.selectedPosition() < 0)
        return;
    // The modifier option chosen beside the edit counts with the key.
    m_Model.SetControls(m_KeySet->ReadControls(m_Model.controls()));
    if (m_Model.CaptureKey(row))
        storeSelectedKey();
    showKeyPage();
}

void KeyboardPage::writeKeyTable() {
    const KeyTableSave save = m_Device.SaveKeyAssignments();
    bool written = true;
    if (const std::string_view key = keys::MacroWriteMessage(save.macroResult); !key.empty()) {
        // The overflow message says how many macro steps to remove.
        tell(save.macroResult > 0 ? app::FormatCount(m_Translate(key), save.macroResult)
                                  : std::string(key));
        written = false;
    }
    // A macro block that does not fit keeps the key table from being sent: that message says so.
    if (save.macroResult <= 0 && save.keyTableResult != 1) {
        tracef("keyboard page: key table write failed (%d)", save.keyTableResult);
        tell(kKeyTableWriteFailed);
        written = false;
    }
    if (!save.profileSaved) {
        tell(kKeysNotSaved);
        written = false;
    }
    // Only what reached the keyboard and the profile becomes what "cancel" returns to; after a
    // failure the actions stay enabled, so the user can write again.
    if (written)
        m_Model.MarkWritten();
    showKeyPage();
}

void KeyboardPage::syncAssignments() {
    const std::vector<std::string>& names = m_Device.MacroNames();
    const bool macrosChanged = names != m_Model.macroNames();
    if (macrosChanged) {
        m_Model.SetMacroNames(names);
        m_KeySet->FillMacroList(names);
    }
    const std::vector<KeyAssignmentRecord>& list = m_Device.KeyAssignments();
    if (list != m_Model.assignments()) {
        // Another profile, a reset or a lost macro: the selected key shows what it holds now.
        const int selected = m_Model.selectedPosition();
        m_Model.SetAssignments(list);
        if (selected >= 0 && !m_Model.SelectKey(selected))
            m_Device.SetSelectedKey(-1);
    } else if (macrosChanged && m_Model.selectedPosition() >= 0) {
        m_Model.ShowCurrent();
    }
}

void KeyboardPage::showKeyPage() {
    const int position = m_Model.selectedPosition();
    m_KeySet->ShowPage(position >= 0);
    m_Picture->ShowSelected(position);
    if (position >= 0) {
        const std::string assigned =
            keys::KeyCaption(m_Model.current(), m_Translate, m_Device.MacroNames());
        m_KeySet->ShowKeyTitle(ownCaption(position) + QStringLiteral("  →  ") +
                               QString::fromStdString(assigned));
    }
    m_KeySet->ShowControls(m_Model.controls(), m_Translate);
    m_KeySet->EnableActions(m_Model.actionsEnabled());
}

// ---- system settings ----

bool KeyboardPage::runSystemRoute(Route route, int index, QObject* sender) {
    switch (route) {
        case Route::WinLock:
            setSetting(KeyboardSetting::WinFlag, isChecked(sender) ? 1 : 0);
            return true;
        case Route::WFlag:
            setSetting(KeyboardSetting::WFlag, isChecked(sender) ? 1 : 0);
            return true;
        case Route::Key6Flag:
            setSetting(KeyboardSetting::Key6Flag, isChecked(sender) ? 1 : 0);
            return true;
        case Route::PollingRate:
            setSetting(KeyboardSetting::PollingRate, index);
            return true;
        case Route::RepeatDelay:
            setSetting(KeyboardSetting::RepeatDelay, index);
            return true;
        case Route::RepeatRate:
            if (const auto* slider = qobject_cast<QAbstractSlider*>(sender))
                setSetting(KeyboardSetting::Repeat, slider->value());
            return true;
        case Route::ResetKeyRepeat: {
            const int result = m_Device.ResetRepeatSettings();
            if (result == kResultProfileNotSaved)
                tell(kSettingNotSaved);
            else if (result != 1)
                tell(kRepeatResetFailed);
            showSystem(false);
            return true;
        }
        default:
            return false;
    }
}

void KeyboardPage::setSetting(KeyboardSetting setting, int value) {
    const int result = m_Device.SetSetting(setting, value);
    if (result == kResultProfileNotSaved)
        tell(kSettingNotSaved);
    else if (result == kResultInvalidParam)
        tell(kSettingRefused);
    else if (result != 1)
        tell(kSettingWriteFailed);
    // The controls show what the device holds, whatever the outcome.
    showSystem(false);
}

void KeyboardPage::showSystem(bool clearTryOut) {
    const KeyboardSystemStages& stages = m_Device.GetSystemStages();
    const std::array<std::pair<const char*, int>, 3> flags = {{
        {"winlockflag_option", stages.WinFlag},
        {"wflag_option", stages.WFlag},
        {"6flag_option", stages.Key6Flag},
    }};
    for (const auto& [name, value] : flags) {
        if (auto* option = control<QAbstractButton>(name)) {
            const QSignalBlocker block(option);
            option->setChecked(value != 0);
        }
    }
    if (auto* slider = control<QAbstractSlider>("repeat_rate_slider")) {
        const QSignalBlocker block(slider);
        slider->setValue(stages.Repeat);
    }
    checkOption(m_Page, "polling_rate_option_", kPollingRates, stages.PollingRate);
    checkOption(m_Page, "repeat_delay_check_", kRepeatDelays, stages.RepeatDelay);
    const int delay = stages.RepeatDelay < kRepeatDelays ? stages.RepeatDelay : 0;
    if (auto* label = control<QLabel>("repeat_delay_time_label1"))
        label->setText(text("Repeat_Delay_Time") +
                       QString::number(delay * kRepeatDelayStep + kRepeatDelayStep) +
                       QStringLiteral("ms"));
    if (auto* tryOut = control<QPlainTextEdit>("repeat_input_richedit")) {
        const QSignalBlocker block(tryOut);
        if (clearTryOut)
            tryOut->clear();
        tryOut->setPlaceholderText(text("Repeat_input_text"));
    }
}

}  // namespace qm::ui
