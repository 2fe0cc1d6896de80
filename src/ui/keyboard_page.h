// The keyboard's page controller: the key picture, the key settings page and the system
// settings, bound to the keyboard device object. It shows the device's key assignments and
// settings, turns the page's routed events into the device's operations, and follows the device
// through its observer.
#pragma once

#include <QObject>
#include <QPointer>

#include <memory>
#include <string>

#include "device/model/device_observer.h"
#include "device/model/keyboard_settings_block.h"
#include "device_page.h"
#include "keys/key_assignment_model.h"
#include "keys/key_caption.h"

class QAbstractButton;
class QWidget;

namespace qm {
class CTessarinKeyboardDevice;
}

namespace qm::ui {

class CKeyPictureUI;
class CKeySetControlUI;
class KeyCapture;

class KeyboardPage final : public DevicePage, public DeviceObserver {
public:
    // Builds the key settings page into the page's "KeySetControlItem"; construct it before the
    // page's notifications are connected. page and device must outlive the controller.
    KeyboardPage(QWidget* page, CTessarinKeyboardDevice& device, PageServices services);
    ~KeyboardPage() override;
    KeyboardPage(const KeyboardPage&) = delete;
    KeyboardPage& operator=(const KeyboardPage&) = delete;

    bool RunRoute(app::Route route, int index, QObject* sender) override;
    void Refresh() override;
    void OnDeviceChange(CTessarinUSBDevice& device, DeviceChange change) override;

    // The key settings page's state (selected key, records, controls).
    const keys::KeyAssignmentModel& model() const { return m_Model; }

private:
    // ---- picture ----
    QString ownCaption(int position) const;
    void showCaptions();
    void showCaption(int position);
    // Which keys can be clicked: the keys the keyboard has (once its layout is read), and FN only
    // while the picture edits lighting.
    void showKeysEnabled();

    // ---- key settings page ----
    bool runKeyRoute(app::Route route, int index);
    bool selectKey(int position);
    // The controls as the user left them, built into the selected key's assignment.
    void applyControls();
    // The model's current record of the selected key goes to the device and its profile.
    void storeSelectedKey();
    void onCapturedKey(int row);
    void writeKeyTable();
    // Takes the device's key list and macro names when they changed underneath the page.
    void syncAssignments();
    void showKeyPage();

    // ---- system settings ----
    bool runSystemRoute(app::Route route, int index, QObject* sender);
    void setSetting(KeyboardSetting setting, int value);
    // clearTryOut: the repeat try-out box is emptied too (when the device's state is shown anew).
    void showSystem(bool clearTryOut);

    void applyTexts();
    QString text(std::string_view key) const;
    // Shows a message; a language key or a plain text.
    void tell(const std::string& text) const;
    template <typename T>
    T* control(const char* name) const;

    QPointer<QWidget> m_Page;
    CTessarinKeyboardDevice& m_Device;
    PageServices m_Services;
    keys::TranslateFn m_Translate;
    keys::KeyAssignmentModel m_Model;
    std::unique_ptr<CKeyPictureUI> m_Picture;
    std::unique_ptr<CKeySetControlUI> m_KeySet;
    std::unique_ptr<KeyCapture> m_Capture;
    QObject m_Connections;  // context of the page's signal connections
};

}  // namespace qm::ui
