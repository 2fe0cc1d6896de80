// A client of a virtual bus (quillmark-virtual serve): connect, say hello in a role, send requests
// and wait for their answers; and the control requests as typed calls.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/hid/bus_protocol.h"
#include "platform/local_socket.h"

namespace qm::bus {

// The one-line message for a bus that cannot be reached at path, naming how to start one.
std::string noBusMessage(const std::string& path);

// One connection to the bus, used by one thread at a time.
class Client {
public:
    // Connects and says hello in role. Returns 0 or an errno value: ENOENT or ECONNREFUSED when
    // no bus serves at path, EPROTO when the other end does not answer (in time) as a bus; why
    // says more.
    int connect(const std::string& path, std::string_view role, std::string& why);
    bool connected() const { return m_Socket != nullptr; }
    void close() { m_Socket.reset(); }
    // An event that, once set, cuts every later wait of connect and request short (they fail).
    void setWake(const net::WakeEvent* wake) { m_Wake = wake; }

    // Sends request with an id of this connection and waits up to timeoutMs for its answer;
    // events that come meanwhile are passed over. False, with why, when the bus went away, did
    // not answer in time or answered with something unreadable; the connection is then closed.
    // A refusal is an answer: look at answer["ok"].
    bool request(Json::Value request, Json::Value& answer, std::string& why,
                 int timeoutMs = kRequestTimeoutMs);

    // Hands the connection over, with the lines it already received; the client is closed.
    std::unique_ptr<net::LineSocket> release() { return std::move(m_Socket); }

private:
    std::unique_ptr<net::LineSocket> m_Socket;
    std::uint32_t m_NextId = 1;
    const net::WakeEvent* m_Wake = nullptr;
};

// One connection on the bus, as status lists it.
struct BusEntry {
    std::string name;
    bool plugged = false;
    bool external = false;  // announced by a device program
    bool receiver = false;
    bool powered = true;  // receivers: the peripheral behind it is on
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// The control requests. Each returns false with why: the bus's refusal ("keyboard is already
// plugged in") or why the bus could not be asked.
class ControlClient {
public:
    // As Client::connect, in the control role.
    int connect(const std::string& path, std::string& why);

    bool plug(std::string_view name, std::string& why);
    bool unplug(std::string_view name, std::string& why);
    // name: a receiver ("keyboard-receiver") or the peripheral behind one ("keyboard").
    bool power(std::string_view name, bool on, std::string& why);
    // kind: a fault name as parseFaultKind takes it ("no-answer", "unplug", ...).
    bool fault(std::string_view name, std::string_view kind, std::uint32_t nth, std::string& why);
    bool emit(std::string_view name, std::uint16_t code, std::string& why);
    // Changes made on a built-in peripheral, as its own keys would make them; it reports each on
    // its event interface. profile: the active slot (0x10nn from the keyboard and mouse, 0x401
    // from the others). set: one byte of a slot's settings block, of the active slot when slot
    // is empty (0x401). reset: the device's factory reset (0x402).
    bool profile(std::string_view name, std::uint8_t slot, std::string& why);
    bool set(std::string_view name, std::optional<std::uint8_t> slot, std::uint32_t byte,
             std::uint8_t value, std::string& why);
    bool reset(std::string_view name, std::string& why);
    bool status(std::vector<BusEntry>& entries, std::string& why);

private:
    bool call(Json::Value request, Json::Value& answer, std::string& why);

    Client m_Client;
};

}  // namespace qm::bus
