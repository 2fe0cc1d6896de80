// CMainWnd: the main window. It draws the device manager's model (selector entries, power
// displays, pages, "No_device_Link"), turns every user action on a named control into one
// notification routed through the event routing table, and lives in the tray when closed.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/event_routes.h"
#include "app/languages.h"
#include "app/skin_change.h"
#include "device/model/device_manager.h"
#include "device_profile_ui.h"
#include "ui/device_page.h"

class QLabel;
class QMenu;
class QStackedWidget;
class QSystemTrayIcon;

namespace qm::shell {

class CMainWnd final : public QWidget, public DeviceManagerObserver {
public:
    // manager, languages and timers (the dispatcher the devices use) must outlive the window.
    CMainWnd(DeviceManager& manager, app::Languages& languages, Dispatcher& timers);
    ~CMainWnd() override;

    // Every user action on a named control: routes {type, sender name} and runs its target.
    void Notify(const QString& type, QObject* sender);
    // Shows, restores and brings the window to the front (a second start, a peripheral arrival).
    void RaiseWindow();
    // Hides to the tray (quits when there is no tray): the "closebtn" behaviour.
    void CloseToTray();
    // The host lighting control state shown by "control_light_status".
    bool HostLightControl() const { return m_HostLightControl; }
    void SetHostLightControl(bool on);
    // Called with every change of the host lighting state.
    void SetHostLightListener(std::function<void(bool)> listener) {
        m_HostLightListener = std::move(listener);
    }
    // Reloads every text from the current language.
    void ApplyTexts();
    // Switches the language (an index of "Language.config") and reloads every text of the main
    // window, its pages and its open child windows at once. False when nothing changed.
    bool SetLanguage(int index);
    // Suspend (false) and resume (true): while asleep the device messages and game events are
    // ignored and the devices are told that the host does not drive their lighting.
    void SetAwake(bool awake);
    bool IsAwake() const { return m_Awake; }
    // A game lighting event from another program; ignored while asleep.
    void OnGameEvent(const std::string& name, std::uint32_t wparam, std::uint32_t lparam);
    bool HasTray() const { return m_Tray != nullptr; }
    // How many times the window was raised (for tests and traces).
    int RaiseCount() const { return m_RaiseCount; }
    // Shows the message of a language key (or a plain text) in the message box; buttonMode 0:
    // confirm only, 1: confirm and cancel. 1 when the user confirmed, else 0.
    int Ask(const std::string& textKey, int buttonMode);
    // Called when the window closes for good (the tray's "exit", or a close without a tray).
    void SetQuitFunction(std::function<void()> quit) { m_OnQuit = std::move(quit); }

    void OnManagerChange(const ManagerChange& change) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct EntryWidgets {
        QWidget* entry = nullptr;                    // the "DeviceOption" layout
        QWidget* page = nullptr;                     // the device page in "device_switch"
        QWidget* power = nullptr;                    // the power display in "device_power_switch"
        std::unique_ptr<CDeviceProfileUI> profiles;  // the page's profile control
        std::unique_ptr<ui::DevicePage> controller;  // the page's own controls, when it has any
    };

    void buildLayout();
    void createTray();
    // Creates the widgets of entries the manager added since the last call.
    void addNewEntries();
    // Draws the manager's model state.
    void refresh();
    void updatePower(int entry, const PowerStatus& power);
    int entryOf(QObject* control) const;
    void runRoute(const app::RoutedEvent& routed, const QString& name, QObject* sender);
    // The entry of the current device, or -1.
    int currentEntry() const;
    void openSkinPicker();
    void openAbout();
    void pausePowerReads(bool pause);
    template <typename T>
    T* control(const char* name) const {
        return findChild<T*>(QString::fromLatin1(name));
    }

    DeviceManager& m_Manager;
    app::Languages& m_Languages;
    Dispatcher& m_Timers;
    QWidget* m_Root = nullptr;
    QWidget* m_SelectorLayout = nullptr;
    QStackedWidget* m_DeviceSwitch = nullptr;
    QStackedWidget* m_PowerSwitch = nullptr;
    QWidget* m_NoDeviceLink = nullptr;
    std::vector<EntryWidgets> m_Entries;
    QSystemTrayIcon* m_Tray = nullptr;
    QMenu* m_TrayMenu = nullptr;
    bool m_HostLightControl = true;
    bool m_Awake = true;
    bool m_BuildingEntries = false;
    std::function<void(bool)> m_HostLightListener;
    int m_RaiseCount = 0;
    bool m_Quitting = false;
    std::function<void()> m_OnQuit;
    app::SkinChangeObserver m_SkinChanges;
    // Cleared first when the window goes: widgets torn down after this object (an edit losing
    // its focus) must not notify it.
    std::shared_ptr<bool> m_Notifying = std::make_shared<bool>(true);
};

}  // namespace qm::shell
