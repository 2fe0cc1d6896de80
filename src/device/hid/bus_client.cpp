#include "device/hid/bus_client.h"

#include <cerrno>
#include <cstring>

namespace qm::bus {

std::string noBusMessage(const std::string& path) {
    return "no virtual bus at " + path + "; start one with: quillmark-virtual serve --socket " +
           path;
}

int Client::connect(const std::string& path, std::string_view role, std::string& why) {
    m_Socket.reset();
    if (const int error = net::LineSocket::connect(path, kMaxLine, m_Socket); error != 0) {
        why = error == ENOENT || error == ECONNREFUSED ? noBusMessage(path)
                                                       : path + ": " + std::strerror(error);
        return error;
    }
    Json::Value hello = makeRequest(op::kHello);
    hello["version"] = kVersion;
    hello["role"] = std::string(role);
    Json::Value answer;
    if (!request(std::move(hello), answer, why)) {
        why = path + ": " + why;
        return EPROTO;
    }
    if (!succeeded(answer)) {
        why = "the bus at " + path + " refused: " + textOf(answer, "message");
        m_Socket.reset();
        return EPROTO;
    }
    return 0;
}

bool Client::request(Json::Value request, Json::Value& answer, std::string& why, int timeoutMs) {
    answer = Json::Value();
    if (!m_Socket) {
        why = "not connected to the bus";
        return false;
    }
    const std::uint32_t id = m_NextId++;
    request["id"] = id;
    const net::Deadline deadline = net::deadlineAfter(timeoutMs);
    auto fail = [&](std::string text) {
        why = std::move(text);
        m_Socket.reset();
        return false;
    };
    switch (m_Socket->send(toLine(request), deadline, m_Wake)) {
        case net::NetStatus::Ok:
            break;
        case net::NetStatus::Timeout:
            return fail("the bus took no request in time");
        case net::NetStatus::Woken:
            return fail("stopped");
        default:
            return fail("the bus went away");
    }
    for (;;) {
        net::Line line;
        switch (m_Socket->receiveLine(line, deadline, m_Wake)) {
            case net::NetStatus::Ok:
                break;
            case net::NetStatus::Timeout:
                return fail("the bus did not answer in time");
            case net::NetStatus::Woken:
                return fail("stopped");
            default:
                return fail("the bus went away");
        }
        Json::Value message;
        std::string error;
        if (line.tooLong || !parseLine(line.text, message, error))
            return fail("the bus answered with something that is not a message");
        if (message.isMember("event"))
            continue;
        if (!message["ok"].isBool())
            return fail("the bus answered without \"ok\"");
        if (message["id"].isUInt() && message["id"].asUInt() == id) {
            answer = std::move(message);
            return true;
        }
        // An answer that names no request of ours: the bus could not read the request.
        if (!message["id"].isUInt() && !succeeded(message))
            return fail("the bus could not read a request: " + textOf(message, "message"));
    }
}

// --- ControlClient ---------------------------------------------------------------------------

int ControlClient::connect(const std::string& path, std::string& why) {
    return m_Client.connect(path, kRoleControl, why);
}

bool ControlClient::call(Json::Value request, Json::Value& answer, std::string& why) {
    if (!m_Client.request(std::move(request), answer, why))
        return false;
    if (succeeded(answer))
        return true;
    why = answer["message"].isString() ? textOf(answer, "message") : textOf(answer, "error");
    return false;
}

bool ControlClient::plug(std::string_view name, std::string& why) {
    Json::Value request = makeRequest(op::kPlug), answer;
    request["name"] = std::string(name);
    return call(std::move(request), answer, why);
}

bool ControlClient::unplug(std::string_view name, std::string& why) {
    Json::Value request = makeRequest(op::kUnplug), answer;
    request["name"] = std::string(name);
    return call(std::move(request), answer, why);
}

bool ControlClient::power(std::string_view name, bool on, std::string& why) {
    Json::Value request = makeRequest(op::kPower), answer;
    request["name"] = std::string(name);
    request["on"] = on;
    return call(std::move(request), answer, why);
}

bool ControlClient::fault(std::string_view name, std::string_view kind, std::uint32_t nth,
                          std::string& why) {
    Json::Value request = makeRequest(op::kFault), answer;
    request["name"] = std::string(name);
    request["kind"] = std::string(kind);
    request["nth"] = nth;
    return call(std::move(request), answer, why);
}

bool ControlClient::emit(std::string_view name, std::uint16_t code, std::string& why) {
    Json::Value request = makeRequest(op::kEmit), answer;
    request["name"] = std::string(name);
    request["code"] = code;
    return call(std::move(request), answer, why);
}

bool ControlClient::profile(std::string_view name, std::uint8_t slot, std::string& why) {
    Json::Value request = makeRequest(op::kProfile), answer;
    request["name"] = std::string(name);
    request["slot"] = slot;
    return call(std::move(request), answer, why);
}

bool ControlClient::set(std::string_view name, std::optional<std::uint8_t> slot, std::uint32_t byte,
                        std::uint8_t value, std::string& why) {
    Json::Value request = makeRequest(op::kSet), answer;
    request["name"] = std::string(name);
    if (slot)
        request["slot"] = *slot;
    request["byte"] = byte;
    request["value"] = value;
    return call(std::move(request), answer, why);
}

bool ControlClient::reset(std::string_view name, std::string& why) {
    Json::Value request = makeRequest(op::kReset), answer;
    request["name"] = std::string(name);
    return call(std::move(request), answer, why);
}

bool ControlClient::status(std::vector<BusEntry>& entries, std::string& why) {
    entries.clear();
    Json::Value answer;
    if (!call(makeRequest(op::kStatus), answer, why))
        return false;
    const Json::Value& list = answer["devices"];
    if (!list.isArray()) {
        why = "the bus answered status without \"devices\"";
        return false;
    }
    for (const Json::Value& item : list) {
        if (!item.isObject())
            continue;
        Fields fields(item);
        BusEntry entry;
        entry.name = fields.text("name", kMaxName);
        entry.plugged = fields.flag("plugged");
        entry.external = fields.flag("external", false);
        entry.receiver = fields.flag("receiver", false);
        entry.powered = fields.flag("powered", true);
        entry.vendorId = static_cast<std::uint16_t>(fields.number("vendorId", 0xFFFF));
        entry.productId = static_cast<std::uint16_t>(fields.number("productId", 0xFFFF));
        if (!fields.ok()) {
            why = "the bus answered status with a bad entry: " + fields.error();
            return false;
        }
        entries.push_back(std::move(entry));
    }
    return true;
}

}  // namespace qm::bus
