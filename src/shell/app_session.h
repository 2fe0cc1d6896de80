// The desktop app's start-up and shut-down: the single-instance check through the control
// socket, the HID backend, the device manager and its scan, the languages and the main window.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace qm::emu {
class VirtualBus;
}

namespace qm::shell {

class CMainWnd;

struct AppOptions {
    std::optional<std::string> virtualList;  // --virtual[=LIST]
    std::string controlPath;                 // --control PATH; empty: the default socket
};

class AppSession {
public:
    enum class Start { Running, RaisedOther, Failed };

    AppSession();
    // Stops the scan and the control server before the window and the devices go.
    ~AppSession();
    AppSession(const AppSession&) = delete;
    AppSession& operator=(const AppSession&) = delete;

    // Needs a QApplication. RaisedOther: another app serves the control socket and was asked to
    // raise its window (this one has nothing running). Failed: error() says why.
    Start start(const AppOptions& options);
    const std::string& error() const { return m_Error; }
    // Null unless start returned Running.
    CMainWnd* window() const;
    // The system's suspend (false) and resume (true); the resume rescans the peripherals, since
    // arrivals and departures while asleep were ignored.
    void setAwake(bool awake);
    // The in-process virtual peripherals, when they are in use.
    emu::VirtualBus* virtualBus() const;
    // Whether the first scan pass is done and every visible entry's device has been read back.
    bool settled() const;

private:
    struct State;
    std::unique_ptr<State> m_State;
    std::string m_Error;
};

}  // namespace qm::shell
