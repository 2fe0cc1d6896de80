// The inside of BusServer, shared by its loop (bus_server.cpp) and its request handlers
// (bus_requests.cpp). Everything here belongs to the loop's thread, except the inbox.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <json/json.h>

#include "device/hid/hid_backend.h"
#include "emulator/bus_server.h"
#include "emulator/external_device.h"
#include "platform/local_socket.h"

namespace qm::emu {

enum class BusRole { None, Host, Device, Control };

// An interface a host opened: of a built-in peripheral, with the thread that forwards its input
// reports, or of an external device, whose program's connection receives the writes.
struct BusHandle {
    std::uint32_t id = 0;
    std::string path;
    bool canRead = false;
    bool canWrite = false;
    std::unique_ptr<hid::HidConnection> builtin;
    std::thread reader;
    std::uint64_t device = 0;  // the device program's connection; 0 for a built-in
    std::size_t interfaceIndex = 0;

    BusHandle() = default;
    BusHandle(const BusHandle&) = delete;
    BusHandle& operator=(const BusHandle&) = delete;
    // Aborts the built-in connection and waits for its reader.
    ~BusHandle();
};

struct BusConnection {
    std::uint64_t id = 0;
    std::unique_ptr<net::LineSocket> socket;
    BusRole role = BusRole::None;
    bool watching = false;
    bool closing = false;  // dropped once its output is sent
    bool ended = false;    // the other end closed or failed: dropped now
    std::map<std::uint32_t, std::unique_ptr<BusHandle>> handles;
    std::unique_ptr<ExternalDevice> device;  // a device program's, once announced
    std::uint64_t droppedEvents = 0;
};

// An input report of a built-in interface (or the end of it), on its way from the reader thread
// to the loop.
struct ForwardedReport {
    std::uint64_t connection = 0;
    std::uint32_t handle = 0;
    std::vector<std::uint8_t> report;
    bool closed = false;
};

class BusInbox {
public:
    explicit BusInbox(net::WakeEvent& wake) : m_Wake(wake) {}
    // Thread-safe. Reports beyond a bound are dropped (the loop is behind); the end never is.
    void push(ForwardedReport item);
    std::deque<ForwardedReport> take();

private:
    net::WakeEvent& m_Wake;
    std::mutex m_Lock;
    std::deque<ForwardedReport> m_Items;
};

struct BusServerState {
    explicit BusServerState(BusServer::Options options);

    const BusServer::Options options;
    VirtualBus bus;
    net::WakeEvent wake;
    std::atomic<bool> stopping{false};
    std::atomic<bool> busChanged{false};
    std::unique_ptr<net::ListeningSocket> listener;
    BusInbox inbox{wake};  // before the connections: their readers push into it
    std::map<std::uint64_t, std::unique_ptr<BusConnection>> connections;
    std::uint64_t nextConnection = 1;
    bool acceptPaused = false;  // the last accept failed (out of descriptors, most likely)
    std::uint32_t nextHandle = 1;

    // bus_server.cpp: the loop and the connections.
    void serve();
    void acceptWaiting();
    void drop(BusConnection& connection);
    void deliverForwarded();
    // An answer is always queued; an event is dropped while the connection's output is full.
    void answer(BusConnection& connection, const Json::Value& message);
    bool notify(BusConnection& connection, const Json::Value& message);
    void broadcastChanged();
    // An external device left: every host handle on it is closed, and its host told.
    void closeHandlesOn(std::uint64_t device);
    BusConnection* deviceNamed(std::string_view name);

    // bus_requests.cpp: one line from a connection, and its answer.
    void handleLine(BusConnection& connection, const net::Line& line);
    Json::Value hello(BusConnection& connection, const Json::Value& request);
    Json::Value enumerate(BusConnection& connection, const Json::Value& request);
    Json::Value exists(BusConnection& connection, const Json::Value& request);
    Json::Value open(BusConnection& connection, const Json::Value& request);
    Json::Value write(BusConnection& connection, const Json::Value& request);
    Json::Value close(BusConnection& connection, const Json::Value& request);
    Json::Value watch(BusConnection& connection, const Json::Value& request);
    Json::Value announce(BusConnection& connection, const Json::Value& request);
    Json::Value input(BusConnection& connection, const Json::Value& request);
    Json::Value plug(BusConnection& connection, const Json::Value& request);
    Json::Value unplug(BusConnection& connection, const Json::Value& request);
    Json::Value power(BusConnection& connection, const Json::Value& request);
    Json::Value fault(BusConnection& connection, const Json::Value& request);
    Json::Value emit(BusConnection& connection, const Json::Value& request);
    Json::Value status(BusConnection& connection, const Json::Value& request);
    // Changes made on a built-in peripheral itself (profile, set, reset).
    Json::Value switchProfile(BusConnection& connection, const Json::Value& request);
    Json::Value setByte(BusConnection& connection, const Json::Value& request);
    Json::Value factoryReset(BusConnection& connection, const Json::Value& request);
};

}  // namespace qm::emu
