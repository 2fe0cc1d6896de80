// A client of the running app's control socket (quillmark-cli, a second start of the app): the
// control requests as typed calls.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/control_protocol.h"
#include "platform/local_socket.h"

namespace qm::control {

// The one line that says no app serves, and how to start one.
inline constexpr const char* kNoAppMessage =
    "no Quillmark app is running (start it with: quillmark)";

// The socket path to use: $QUILLMARK_CONTROL when set and not empty, else defaultSocketPath().
std::string socketPathFromEnvironment();

// One connection to the app, used by one thread at a time. Each call returns false with why:
// the app's refusal or why it could not be asked; a failure other than a refusal closes the
// connection.
class ControlClient {
public:
    // Returns 0 or an errno value; ENOENT or ECONNREFUSED mean that no app serves at path.
    int connect(const std::string& path);
    bool connected() const { return m_Socket != nullptr; }
    void close() { m_Socket.reset(); }

    bool raise(std::string& why);
    // state: the host lighting control state in force afterwards.
    bool setHostLighting(bool on, bool& state, std::string& why);
    bool sendGameEvent(const GameEvent& event, std::string& why);
    bool deviceReport(std::vector<DeviceReportRow>& rows, std::string& why);
    // The app's interface languages and the current one.
    bool languages(LanguageState& state, std::string& why);
    // Switches the app's interface language; state: the languages afterwards.
    bool setLanguage(const LanguageChoice& choice, LanguageState& state, std::string& why);
    // Asks for host-lighting-changed events; read them with nextHostLighting.
    bool subscribe(std::string& why);
    // Waits up to timeoutMs (< 0: no limit) for the next host-lighting-changed event.
    bool nextHostLighting(bool& on, int timeoutMs, std::string& why);

    // Sends request with an id of this connection and waits for its answer, passing over events.
    // A refusal is an answer: look at answer["ok"].
    bool call(Json::Value request, Json::Value& answer, std::string& why);

private:
    bool callOk(const Request& request, Json::Value& answer, std::string& why);

    std::unique_ptr<net::LineSocket> m_Socket;
    std::uint32_t m_NextId = 1;
    std::vector<Json::Value> m_Events;  // events that came while waiting for an answer
};

// A second start of the app: asks the one at path to raise its window. True when it did.
bool raiseRunningApp(const std::string& path);

}  // namespace qm::control
