// The running app's control socket: other programs of the same user raise the window, switch the
// host lighting control, send game lighting events, read the device report, follow the host
// lighting state and read or switch the interface language. The server runs its own thread and
// hands every valid request to a handler.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/control_protocol.h"

namespace qm::control {

// What the app does for the control socket. Called on the server's thread, one call at a time;
// while one runs, the server answers nobody, so an app posts the work to its UI thread and
// answers from state it can read on any thread. No call may wait for the server (stop, start).
class ControlHandler {
public:
    virtual ~ControlHandler() = default;
    // Restore the main window and bring it to the front (a second start of the app).
    virtual void onRaise() = 0;
    // Switch the host lighting control; returns the state now in force. The app publishes
    // every change of the state, whoever made it, through ControlServer::publishHostLighting.
    virtual bool onHostLighting(bool on) = 0;
    // A game lighting event, already validated (name, wparam 0..2, lparam a mode index).
    virtual void onGameEvent(const GameEvent& event) = 0;
    // The rows of the device kinds table in use (deviceReportRows helps).
    virtual std::vector<DeviceReportRow> deviceReport() = 0;
    // The interface languages and the current one.
    virtual LanguageState languages() = 0;
    // Switch the interface language to index, already checked against languages(); returns the
    // state now in force.
    virtual LanguageState onLanguage(int index) = 0;
};

struct ControlServerOptions {
    std::string path = defaultSocketPath();
    // The user allowed to connect; others are refused (kNotAllowed) and disconnected.
    uid_t peerUid = static_cast<uid_t>(-1);  // -1: the user running the server
};

class ControlServer {
public:
    using Options = ControlServerOptions;

    ControlServer();
    // Stops serving.
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens at options.path and serves on a thread of its own; handler must outlive the
    // server. Returns 0 or an errno value: EADDRINUSE when another app serves there (a second
    // start then sends raise instead), EALREADY when this server is running; see
    // net::ListeningSocket::listen for the others.
    int start(ControlHandler& handler, Options options = {});
    // Closes every connection and waits for the thread. Not from inside a handler call.
    void stop();

    // Thread-safe (but not while start or stop runs) and never blocks: queues a
    // host-lighting-changed event for every subscriber.
    // A subscriber that does not read its events is disconnected once its queue is full.
    void publishHostLighting(bool on);

private:
    struct State;
    std::unique_ptr<State> m_State;
};

}  // namespace qm::control
