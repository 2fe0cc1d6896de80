#include "emulator/bus_server.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "device/hid/bus_protocol.h"
#include "emulator/bus_server_state.h"
#include "platform/trace.h"

namespace qm::emu {
namespace {

// Output queued for one connection beyond which its events are dropped and its requests wait.
constexpr std::size_t kMaxQueuedOutput = 1 << 20;
// Input reports of built-in interfaces waiting for the loop.
constexpr std::size_t kMaxForwarded = 4096;

bool full(const BusConnection& connection) {
    return connection.socket->queued() > kMaxQueuedOutput;
}

}  // namespace

// --- BusHandle, BusInbox ---------------------------------------------------------------------

BusHandle::~BusHandle() {
    if (builtin)
        builtin->abort();
    if (reader.joinable())
        reader.join();
}

void BusInbox::push(ForwardedReport item) {
    {
        std::lock_guard lock(m_Lock);
        if (!item.closed && m_Items.size() >= kMaxForwarded)
            return;
        m_Items.push_back(std::move(item));
    }
    m_Wake.set();
}

std::deque<ForwardedReport> BusInbox::take() {
    std::lock_guard lock(m_Lock);
    return std::exchange(m_Items, {});
}

// --- The loop --------------------------------------------------------------------------------

BusServerState::BusServerState(BusServer::Options options)
    : options(std::move(options)), bus(this->options.bus) {}

void BusServerState::serve() {
    bus.setChangeListener([this] {
        busChanged = true;
        wake.set();
    });
    std::vector<net::PollEntry> entries;
    std::vector<BusConnection*> polled;
    while (!stopping) {
        entries.clear();
        polled.clear();
        entries.push_back({wake.fd(), true, false});
        entries.push_back({listener->fd(), !acceptPaused, false});
        for (auto& [id, connection] : connections) {
            BusConnection& c = *connection;
            // A connection whose output is full is not read: its requests wait in the socket.
            entries.push_back({c.socket->fd(), !c.closing && !full(c), c.socket->queued() > 0});
            polled.push_back(&c);
        }
        // After a failed accept the listener rests for one round of at most a second.
        if (!net::pollFds(entries, acceptPaused ? 1000 : -1)) {
            tracef("bus: poll failed (%s); stopping", std::strerror(errno));
            break;
        }
        acceptPaused = false;
        if (entries[0].readable)
            wake.clear();
        deliverForwarded();
        if (busChanged.exchange(false))
            broadcastChanged();
        if (entries[1].readable)
            acceptWaiting();
        for (std::size_t i = 0; i < polled.size(); ++i) {
            BusConnection& c = *polled[i];
            if (!entries[i + 2].readable || !entries[i + 2].read)
                continue;
            const net::NetStatus status = c.socket->readAvailable();
            net::Line line;
            while (c.socket->takeLine(line))
                handleLine(c, line);
            if (status != net::NetStatus::Ok)
                c.ended = true;
        }
        std::vector<BusConnection*> leaving;
        for (auto& [id, connection] : connections) {
            BusConnection& c = *connection;
            if (c.socket->queued() > 0 && c.socket->flush() != net::NetStatus::Ok)
                c.ended = true;
            if (c.ended || (c.closing && c.socket->queued() == 0))
                leaving.push_back(&c);
        }
        for (BusConnection* c : leaving)
            drop(*c);
    }
    bus.setChangeListener({});
    // Handles first: their readers may still push into the inbox.
    for (auto& [id, connection] : connections)
        connection->handles.clear();
    connections.clear();
}

void BusServerState::acceptWaiting() {
    for (;;) {
        std::unique_ptr<net::LineSocket> socket;
        const int error = listener->accept(bus::kMaxLine, socket);
        if (error == EAGAIN)
            return;
        if (error != 0) {
            // Out of descriptors, most likely: the waiting client is taken when one is freed.
            tracef("bus: cannot accept a connection (%s)", std::strerror(error));
            acceptPaused = true;
            return;
        }
        auto connection = std::make_unique<BusConnection>();
        connection->id = nextConnection++;
        connection->socket = std::move(socket);
        if (connections.size() >= bus::kMaxConnections) {
            connection->socket->queue(bus::toLine(
                bus::errorAnswer(Json::Value(), bus::error::kTooMany,
                                 "the bus takes at most " + std::to_string(bus::kMaxConnections) +
                                     " connections at once")));
            connection->closing = true;
        }
        tracef("bus: connection %llu opened", static_cast<unsigned long long>(connection->id));
        connections.emplace(connection->id, std::move(connection));
    }
}

void BusServerState::drop(BusConnection& connection) {
    const std::uint64_t id = connection.id;
    tracef("bus: connection %llu closed", static_cast<unsigned long long>(id));
    if (connection.device) {
        const bool wasPlugged = connection.device->plugged;
        tracef("bus: %s left with its program", connection.device->name.c_str());
        closeHandlesOn(id);
        connection.device.reset();
        if (wasPlugged)
            broadcastChanged();
    }
    if (connection.droppedEvents > 0)
        tracef("bus: connection %llu did not read %llu events in time",
               static_cast<unsigned long long>(id),
               static_cast<unsigned long long>(connection.droppedEvents));
    connections.erase(id);
}

void BusServerState::deliverForwarded() {
    for (ForwardedReport& item : inbox.take()) {
        auto connection = connections.find(item.connection);
        if (connection == connections.end())
            continue;
        BusConnection& c = *connection->second;
        auto handle = c.handles.find(item.handle);
        if (handle == c.handles.end())
            continue;
        if (item.closed) {
            Json::Value event = bus::event(bus::ev::kClosed);
            event["handle"] = item.handle;
            answer(c, event);
            c.handles.erase(handle);
            continue;
        }
        if (!handle->second->canRead)
            continue;
        Json::Value event = bus::event(bus::ev::kInput);
        event["handle"] = item.handle;
        event["data"] = bus::toHex(item.report);
        notify(c, event);
    }
}

void BusServerState::answer(BusConnection& connection, const Json::Value& message) {
    connection.socket->queue(bus::toLine(message));
}

bool BusServerState::notify(BusConnection& connection, const Json::Value& message) {
    // As the kernel drops reports for a reader that falls behind.
    if (full(connection)) {
        ++connection.droppedEvents;
        return false;
    }
    connection.socket->queue(bus::toLine(message));
    return true;
}

void BusServerState::broadcastChanged() {
    const Json::Value event = bus::event(bus::ev::kChanged);
    for (auto& [id, connection] : connections)
        if (connection->watching)
            notify(*connection, event);
}

void BusServerState::closeHandlesOn(std::uint64_t device) {
    for (auto& [id, connection] : connections) {
        auto& handles = connection->handles;
        for (auto it = handles.begin(); it != handles.end();) {
            if (it->second->device != device) {
                ++it;
                continue;
            }
            Json::Value event = bus::event(bus::ev::kClosed);
            event["handle"] = it->first;
            answer(*connection, event);
            it = handles.erase(it);
        }
    }
}

BusConnection* BusServerState::deviceNamed(std::string_view name) {
    for (auto& [id, connection] : connections)
        if (connection->device && connection->device->name == name)
            return connection.get();
    return nullptr;
}

// --- BusServer -------------------------------------------------------------------------------

BusServer::BusServer(Options options)
    : m_State(std::make_unique<BusServerState>(std::move(options))) {}

BusServer::~BusServer() = default;

bool BusServer::start(std::string& error) {
    const std::string& path = m_State->options.socketPath;
    if (!m_State->wake.valid()) {
        error = "cannot make a wake-up event for the bus";
        return false;
    }
    switch (const int code = net::ListeningSocket::listen(path, m_State->listener)) {
        case 0:
            return true;
        case EADDRINUSE:
            error = "a virtual bus already runs at " + path;
            return false;
        case EEXIST:
            error = path + " exists and is not a socket; remove it or choose another --socket";
            return false;
        case EPERM:
            error = "the folder of " + path +
                    " belongs to another user or others may write to it; choose another --socket";
            return false;
        case ENAMETOOLONG:
            error = path + " is too long for a socket (at most 107 bytes)";
            return false;
        default:
            error = "cannot listen at " + path + ": " + std::strerror(code);
            return false;
    }
}

bool BusServer::run() {
    if (!m_State->listener)
        return false;
    m_State->serve();
    m_State->listener.reset();
    return m_State->bus.save();
}

void BusServer::stop() {
    m_State->stopping = true;
    m_State->wake.set();
}

VirtualBus& BusServer::bus() {
    return m_State->bus;
}

}  // namespace qm::emu
