#include "platform/control_client.h"

#include <cstdlib>
#include <utility>

#include "device/hid/bus_protocol.h"

namespace qm::control {
namespace {

// Events kept while a call waits for its answer; older ones are dropped.
constexpr std::size_t kMaxHeldEvents = 64;

Request requestOf(RequestKind kind) {
    Request request;
    request.kind = kind;
    return request;
}

}  // namespace

std::string socketPathFromEnvironment() {
    if (const char* path = std::getenv("QUILLMARK_CONTROL"); path != nullptr && *path != '\0')
        return path;
    return defaultSocketPath();
}

int ControlClient::connect(const std::string& path) {
    m_Events.clear();
    return net::LineSocket::connect(path, kMaxLine, m_Socket);
}

bool ControlClient::call(Json::Value request, Json::Value& answer, std::string& why) {
    answer = Json::Value();
    if (!m_Socket) {
        why = "not connected to the app";
        return false;
    }
    const std::uint32_t id = m_NextId++;
    request["id"] = id;
    const net::Deadline deadline = net::deadlineAfter(kRequestTimeoutMs);
    if (m_Socket->send(bus::toLine(request), deadline, nullptr) != net::NetStatus::Ok) {
        why = "the app closed the connection";
        close();
        return false;
    }
    for (;;) {
        net::Line line;
        const net::NetStatus status = m_Socket->receiveLine(line, deadline, nullptr);
        if (status != net::NetStatus::Ok) {
            why = status == net::NetStatus::Timeout ? "the app did not answer in time"
                                                    : "the app closed the connection";
            close();
            return false;
        }
        Json::Value message;
        if (line.tooLong || !bus::parseLine(line.text, message, why)) {
            why = "the app answered with something unreadable";
            close();
            return false;
        }
        if (message.isMember("event")) {
            if (m_Events.size() >= kMaxHeldEvents)
                m_Events.erase(m_Events.begin());
            m_Events.push_back(std::move(message));
            continue;
        }
        const Json::Value& answerId = message["id"];
        // An answer without an id is the server refusing the connection itself.
        if (answerId.isNull() || (answerId.isUInt() && answerId.asUInt() == id)) {
            answer = std::move(message);
            return true;
        }
    }
}

bool ControlClient::callOk(const Request& request, Json::Value& answer, std::string& why) {
    if (!call(encodeRequest(request), answer, why))
        return false;
    if (!bus::succeeded(answer)) {
        why = bus::textOf(answer, "message");
        if (why.empty())
            why = "the app refused the request";
        return false;
    }
    return true;
}

bool ControlClient::raise(std::string& why) {
    Json::Value answer;
    return callOk(requestOf(RequestKind::Raise), answer, why);
}

bool ControlClient::setHostLighting(bool on, bool& state, std::string& why) {
    Request request = requestOf(RequestKind::HostLighting);
    request.on = on;
    Json::Value answer;
    if (!callOk(request, answer, why))
        return false;
    const std::optional<bool> now = hostLightingOf(answer);
    if (!now) {
        why = "the app's answer carries no state";
        return false;
    }
    state = *now;
    return true;
}

bool ControlClient::sendGameEvent(const GameEvent& event, std::string& why) {
    Request request = requestOf(RequestKind::GameEvent);
    request.game = event;
    Json::Value answer;
    return callOk(request, answer, why);
}

bool ControlClient::deviceReport(std::vector<DeviceReportRow>& rows, std::string& why) {
    rows.clear();
    Json::Value answer;
    return callOk(requestOf(RequestKind::DeviceReport), answer, why) &&
           decodeDeviceReport(answer, rows, why);
}

bool ControlClient::languages(LanguageState& state, std::string& why) {
    return setLanguage(LanguageChoice(), state, why);
}

bool ControlClient::setLanguage(const LanguageChoice& choice, LanguageState& state,
                                std::string& why) {
    state = LanguageState();
    Request request = requestOf(RequestKind::Language);
    request.language = choice;
    Json::Value answer;
    return callOk(request, answer, why) && decodeLanguageState(answer, state, why);
}

bool ControlClient::subscribe(std::string& why) {
    Json::Value answer;
    return callOk(requestOf(RequestKind::Subscribe), answer, why);
}

bool ControlClient::nextHostLighting(bool& on, int timeoutMs, std::string& why) {
    const net::Deadline deadline = net::deadlineAfter(timeoutMs);
    for (;;) {
        while (!m_Events.empty()) {
            const Json::Value message = std::move(m_Events.front());
            m_Events.erase(m_Events.begin());
            const std::optional<bool> state = hostLightingOf(message);
            if (bus::textOf(message, "event") == ev::kHostLightingChanged && state) {
                on = *state;
                return true;
            }
        }
        if (!m_Socket) {
            why = "not connected to the app";
            return false;
        }
        net::Line line;
        const net::NetStatus status = m_Socket->receiveLine(line, deadline, nullptr);
        if (status == net::NetStatus::Timeout) {
            why = "no event came";
            return false;
        }
        if (status != net::NetStatus::Ok) {
            why = "the app closed the connection";
            close();
            return false;
        }
        Json::Value message;
        std::string parseWhy;
        if (!line.tooLong && bus::parseLine(line.text, message, parseWhy) &&
            message.isMember("event"))
            m_Events.push_back(std::move(message));
    }
}

bool raiseRunningApp(const std::string& path) {
    ControlClient client;
    std::string why;
    return client.connect(path) == 0 && client.raise(why);
}

}  // namespace qm::control
