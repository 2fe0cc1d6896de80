// CDeviceProfileUI: the profile control of one device page ("DeviceProfileItem"): the profile
// combo, the profile menu (name edit and the add, delete, copy, import, export, reset and rename
// buttons) and the eight function tabs. It shows the device's profile list (ProfileList, the
// source of truth) and runs the list operations on it; the list tells the device, which loads and
// writes the active profile. Messages and file dialogs are injected, so nothing here needs a
// modal window in tests.
#pragma once

#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>
#include <string>

#include "app/event_routes.h"
#include "device/model/dispatcher.h"
#include "profile/profile_list.h"

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QObject;
class QWidget;

namespace qm {
class CTessarinUSBDevice;
}

namespace qm::shell {

class CDeviceProfileUI {
public:
    // Shows the message textKey and returns 1 when the user confirmed, else 0. buttonMode 0: a
    // confirm button only; 1: confirm and cancel. A text that is no language key (the detail of a
    // failed operation) is shown as it is.
    using AskFunction = std::function<int(const std::string& textKey, int buttonMode)>;
    // The text of a language key.
    using TranslateFunction = std::function<std::string(const std::string& key)>;
    // Each returns the chosen file, or an empty text when the user cancelled.
    struct FileDialogs {
        std::function<QString()> openFile;
        std::function<QString(const QString& suggestedName)> saveFile;
    };
    struct Services {
        AskFunction ask;              // without it nothing is confirmed and failures only trace
        TranslateFunction translate;  // dialog titles and filters; without it the keys show
        FileDialogs files;            // empty members: the system's file dialogs
    };

    // How long "itemselect" waits for further picks before the profile is loaded.
    static constexpr std::chrono::milliseconds kSelectDelay{400};

    // Builds "DeviceProfile.ui" into placeholder (the page's "DeviceProfileItem"). Call it after
    // the page is built and before its notifications are connected. placeholder may be null (the
    // control then does nothing visible); device and timers must outlive the control.
    CDeviceProfileUI(QWidget* placeholder, CTessarinUSBDevice& device, Dispatcher& timers,
                     Services services = {});
    ~CDeviceProfileUI();
    CDeviceProfileUI(const CDeviceProfileUI&) = delete;
    CDeviceProfileUI& operator=(const CDeviceProfileUI&) = delete;

    // Page set-up: loads the list when the device has not, fills the combo from it and hides the
    // function tabs the device kind has no page for.
    void LoadProfileList();
    // Shows the list again (combo and, when the selection or its name changed, the name edit).
    // Call it when the device reports a change. A pick still waiting for its delay is kept.
    void Refresh();

    // Selects profile index in the list (the device loads and writes it) and shows the result.
    void SelectProfile(int index);
    // The combo's current index, -1 without combo or selection.
    int GetSelectedIndex() const;
    QString GetNameEditText() const;
    void SetNameEditText(const QString& text);
    void ShowProfileMenu(bool visible);
    bool IsProfileMenuVisible() const;
    // Checks the tab of type 1-8 and clears the other seven; any other type clears all eight.
    // Raises no notification.
    void SelectFunctionTab(int type);
    // Tab type 1-8 chosen: checks its tab, records it in the device and shows the page's sub-pages
    // for it ("device_function_switch", "device_key_function_switch").
    void ShowFunctionPage(int type);

    // Runs a routed event of this page: the profile routes, "default_btn" and the function tabs
    // (the tab type is the sender's "page"). False for any other route.
    bool RunRoute(app::Route route, QObject* sender);

    // Whether a pick of the combo waits for its delay (for tests and the main window).
    bool SelectionPending() const { return m_SelectTimer != 0; }
    // The built profile control (the root of "DeviceProfile.ui"), or null.
    QWidget* widget() const { return m_Root; }

private:
    void addProfile();
    void deleteProfile();
    void copyProfile();
    void importProfile();
    void exportProfile();
    void renameProfile();
    void resetProfile();
    void restoreDefaults();
    void toggleProfileMenu();
    void itemSelected();
    // Loads the combo's pick now when it still waits for its delay.
    void flushSelection();
    void runSelection();
    // After the active profile changed: the page shows it and a failed write to the peripheral
    // is reported.
    void activeProfileShown();
    void hideTabsForKind();
    // Shows what went wrong, when anything did. Returns outcome.ok().
    bool report(const ProfileOutcome& outcome, const char* operation);
    void refresh(bool nameEdit);
    int ask(const std::string& textKey, int buttonMode) const;
    QString translate(const char* key) const;
    QString openFileDialog() const;
    QString saveFileDialog(const QString& suggestedName) const;
    QAbstractButton* tab(int type) const;

    CTessarinUSBDevice& m_Device;
    Dispatcher& m_Timers;
    Services m_Services;
    QPointer<QWidget> m_Placeholder;
    QPointer<QWidget> m_Root;
    QPointer<QComboBox> m_Combo;
    QPointer<QLineEdit> m_NameEdit;
    QPointer<QWidget> m_Menu;
    Dispatcher::TimerId m_SelectTimer = 0;
    // The selection the name edit last showed: index and name.
    int m_ShownIndex = -1;
    std::string m_ShownName;
};

}  // namespace qm::shell
