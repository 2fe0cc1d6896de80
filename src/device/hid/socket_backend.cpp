#include "device/hid/socket_backend.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "device/hid/bus_client.h"
#include "device/hid/bus_protocol.h"
#include "platform/local_socket.h"
#include "platform/trace.h"

namespace qm::hid {
namespace {

// How often a watcher tries to reach a bus that is not there.
constexpr int kReconnectMs = 250;
// Lines a reading thread takes from the socket before handing them out.
constexpr std::size_t kBatch = 256;

// One open handle on the bus, over a socket of its own. Input reports come as events; a write is
// a request whose answer says whether the bus took the report. Whichever of a reading and a
// writing thread needs the socket reads it and hands the other what belongs to it.
class SocketConnection final : public HidConnection {
public:
    SocketConnection(std::unique_ptr<net::LineSocket> socket, std::uint32_t handle, bool canRead,
                     bool canWrite)
        : m_Socket(std::move(socket)), m_Handle(handle), m_CanRead(canRead), m_CanWrite(canWrite) {}

    // Without its wake-up event an abort could not end a wait.
    bool valid() const { return m_Abort.valid(); }

    IoStatus read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& got) override {
        got = 0;
        if (m_Aborted.load())
            return IoStatus::Aborted;
        if (!m_CanRead)
            return IoStatus::Failed;
        const net::Deadline deadline = net::deadlineAfter(timeoutMs);
        std::unique_lock lock(m_Lock);
        const IoStatus status = waitLocked(lock, deadline, [this] { return !m_Input.empty(); });
        if (status != IoStatus::Ok)
            return status;
        const std::vector<std::uint8_t>& report = m_Input.front();
        got = std::min(buffer.size(), report.size());
        std::copy_n(report.begin(), got, buffer.begin());
        m_Input.pop_front();
        return IoStatus::Ok;
    }

    IoStatus write(std::span<const std::uint8_t> report, int timeoutMs,
                   std::size_t& written) override {
        written = 0;
        if (m_Aborted.load())
            return IoStatus::Aborted;
        if (!m_CanWrite || report.empty() || report.size() > bus::kMaxReport)
            return IoStatus::Failed;
        const net::Deadline deadline = net::deadlineAfter(timeoutMs);
        std::uint32_t id;
        {
            std::lock_guard lock(m_Lock);
            if (m_Closed)
                return IoStatus::Failed;
            id = m_NextId++;
            m_Waiting.insert(id);
        }
        Json::Value request = bus::makeRequest(bus::op::kWrite);
        request["id"] = id;
        request["handle"] = m_Handle;
        request["data"] = bus::toHex(report);
        net::NetStatus sent;
        {
            std::lock_guard sending(m_SendLock);
            sent = m_Socket->send(bus::toLine(request), deadline, &m_Abort);
        }

        std::unique_lock lock(m_Lock);
        IoStatus status = IoStatus::Failed;
        switch (sent) {
            case net::NetStatus::Ok:
                status = waitLocked(lock, deadline, [&] { return m_Answers.contains(id); });
                break;
            case net::NetStatus::Woken:
                status = IoStatus::Aborted;
                break;
            case net::NetStatus::Timeout:
                // Part of the line may have gone: the stream cannot be trusted any more.
                trace("socket: the bus took no report in time; connection given up");
                m_Closed = true;
                status = IoStatus::Timeout;
                break;
            default:
                m_Closed = true;
                break;
        }
        Json::Value answer = std::move(m_Answers[id]);
        m_Answers.erase(id);
        m_Waiting.erase(id);
        if (status != IoStatus::Ok)
            return status;
        if (bus::succeeded(answer)) {
            written = report.size();
            return IoStatus::Ok;
        }
        const std::string code = bus::textOf(answer, "error");
        tracef("socket: write of %zu bytes refused (%s: %s)", report.size(), code.c_str(),
               bus::textOf(answer, "message").c_str());
        return code == bus::error::kBusy ? IoStatus::Timeout : IoStatus::Failed;
    }

    void abort() override {
        m_Aborted.store(true);
        m_Abort.set();
        { std::lock_guard lock(m_Lock); }
        m_Changed.notify_all();
    }

private:
    // Waits until ready() holds, reading the socket when no other thread does. A deadline that
    // has passed still takes in what has arrived.
    template <class Ready>
    IoStatus waitLocked(std::unique_lock<std::mutex>& lock, const net::Deadline& deadline,
                        Ready ready) {
        bool received = false;
        for (;;) {
            if (m_Aborted.load())
                return IoStatus::Aborted;
            if (m_Closed)
                return IoStatus::Failed;
            if (ready())
                return IoStatus::Ok;
            const bool expired = deadline && std::chrono::steady_clock::now() >= *deadline;
            if (m_Receiving) {
                if (expired)
                    return IoStatus::Timeout;
                if (deadline) {
                    m_Changed.wait_until(lock, *deadline);
                } else {
                    m_Changed.wait(lock);
                }
                continue;
            }
            if (expired && received)
                return IoStatus::Timeout;
            m_Receiving = true;
            lock.unlock();
            net::Line line;
            std::vector<net::Line> lines;
            net::NetStatus status = m_Socket->receiveLine(line, deadline, &m_Abort);
            while (status == net::NetStatus::Ok) {
                lines.push_back(std::move(line));
                // Take what else is already here without waiting (a bounded batch, so that a
                // flood of reports cannot pile up here).
                if (lines.size() == kBatch)
                    break;
                status = m_Socket->receiveLine(line, std::chrono::steady_clock::now(), nullptr);
            }
            lock.lock();
            m_Receiving = false;
            received = true;
            for (const net::Line& each : lines)
                dispatchLocked(each);
            if (status == net::NetStatus::Closed || status == net::NetStatus::Failed) {
                if (!m_Closed)
                    trace("socket: the bus closed the connection");
                m_Closed = true;
            }
            m_Changed.notify_all();
        }
    }

    void dispatchLocked(const net::Line& line) {
        Json::Value message;
        std::string why;
        if (line.tooLong || !bus::parseLine(line.text, message, why)) {
            trace("socket: the bus sent something that is not a message; connection given up");
            m_Closed = true;
            return;
        }
        if (const Json::Value& name = message["event"]; name.isString()) {
            bus::Fields fields(message);
            const std::uint32_t handle = fields.number("handle", UINT32_MAX);
            if (!fields.ok() || handle != m_Handle)
                return;
            if (name.asString() == bus::ev::kClosed) {
                m_Closed = true;
            } else if (name.asString() == bus::ev::kInput && m_CanRead) {
                std::vector<std::uint8_t> report = fields.bytes("data", 1, bus::kMaxReport);
                if (!fields.ok())
                    return;
                // As the kernel keeps an open file's reports: the oldest go first.
                if (m_Input.size() == bus::kInputQueue)
                    m_Input.pop_front();
                m_Input.push_back(std::move(report));
            }
            return;
        }
        if (const Json::Value& id = message["id"]; id.isUInt() && m_Waiting.contains(id.asUInt()))
            m_Answers[id.asUInt()] = std::move(message);
    }

    std::unique_ptr<net::LineSocket> m_Socket;
    const std::uint32_t m_Handle;
    const bool m_CanRead;
    const bool m_CanWrite;
    net::WakeEvent m_Abort;
    std::atomic<bool> m_Aborted{false};
    std::mutex m_SendLock;  // one line at a time on the socket

    std::mutex m_Lock;  // guards what follows
    std::condition_variable m_Changed;
    bool m_Receiving = false;  // a thread reads the socket
    bool m_Closed = false;     // the bus went away or closed the handle
    std::deque<std::vector<std::uint8_t>> m_Input;
    std::uint32_t m_NextId = 1;
    std::set<std::uint32_t> m_Waiting;  // writes waiting for their answer
    std::map<std::uint32_t, Json::Value> m_Answers;
};

// Listens to the bus's change events on a connection of its own and calls the listener: once
// watching starts, on every change event, and when the bus goes away (then it tries again every
// kReconnectMs).
class Watcher {
public:
    Watcher(std::string path, std::function<void()> listener)
        : m_Path(std::move(path)), m_Listener(std::move(listener)), m_Thread([this] { run(); }) {}
    ~Watcher() {
        m_Stop.set();
        m_Thread.join();
    }
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

private:
    void run() {
        do {
            bus::Client client;
            client.setWake(&m_Stop);
            std::string why;
            Json::Value answer;
            if (client.connect(m_Path, bus::kRoleHost, why) == 0 &&
                client.request(bus::makeRequest(bus::op::kWatch), answer, why) &&
                bus::succeeded(answer)) {
                // Whatever is on the bus may be news to a scan that could not see it before.
                m_Listener();
                if (!follow(client.release()))
                    return;
                tracef("socket: the bus at %s went away", m_Path.c_str());
                m_Listener();
            }
        } while (!m_Stop.wait(kReconnectMs));
    }

    // Calls the listener for each change event until the bus goes away (true) or stop (false).
    bool follow(std::unique_ptr<net::LineSocket> socket) {
        for (;;) {
            net::Line line;
            switch (socket->receiveLine(line, std::nullopt, &m_Stop)) {
                case net::NetStatus::Ok:
                    break;
                case net::NetStatus::Woken:
                    return false;
                default:
                    return true;
            }
            Json::Value message;
            std::string why;
            if (line.tooLong || !bus::parseLine(line.text, message, why))
                return true;
            if (message["event"].isString() && message["event"].asString() == bus::ev::kChanged)
                m_Listener();
        }
    }

    const std::string m_Path;
    const std::function<void()> m_Listener;
    net::WakeEvent m_Stop;
    std::thread m_Thread;  // last: starts once the rest is built
};

class SocketBackend final : public HidBackend {
public:
    explicit SocketBackend(std::string path) : m_Path(std::move(path)) {}
    ~SocketBackend() override { setChangeListener({}); }

    bool enumerate(std::vector<std::string>& paths) override {
        paths.clear();
        Json::Value answer;
        if (!ask(bus::makeRequest(bus::op::kEnumerate), answer) || !bus::succeeded(answer))
            return false;
        const Json::Value& list = answer["paths"];
        if (!list.isArray() || list.size() > bus::kMaxPaths)
            return false;
        for (const Json::Value& path : list) {
            if (!path.isString() || path.asString().size() > bus::kMaxPath) {
                paths.clear();
                return false;
            }
            paths.push_back(path.asString());
        }
        return true;
    }

    int open(const std::string& path, bool forRead, bool forWrite,
             std::unique_ptr<HidConnection>& connection, InterfaceInfo& info) override {
        connection.reset();
        if (path.size() > bus::kMaxPath)
            return ENOENT;
        bus::Client client;
        std::string why;
        if (const int error = client.connect(m_Path, bus::kRoleHost, why); error != 0) {
            trace("socket: " + why);
            // Whatever was on a bus that is gone is gone.
            return error == ENOENT || error == ECONNREFUSED ? ENOENT : EIO;
        }
        Json::Value request = bus::makeRequest(bus::op::kOpen);
        request["path"] = path;
        request["read"] = forRead;
        request["write"] = forWrite;
        Json::Value answer;
        if (!client.request(std::move(request), answer, why)) {
            trace("socket: open " + path + ": " + why);
            return EIO;
        }
        if (!bus::succeeded(answer)) {
            const std::string code = bus::textOf(answer, "error");
            if (code == bus::error::kNotFound || code == bus::error::kGone)
                return ENOENT;
            trace("socket: open " + path + " refused: " + bus::textOf(answer, "message"));
            return code == bus::error::kTooMany ? EMFILE : EIO;
        }
        bus::Fields fields(answer);
        const std::uint32_t handle = fields.number("handle", UINT32_MAX);
        InterfaceInfo opened;
        opened.vendorId = static_cast<std::uint16_t>(fields.number("vendorId", 0xFFFF));
        opened.productId = static_cast<std::uint16_t>(fields.number("productId", 0xFFFF));
        opened.versionNumber = static_cast<std::uint16_t>(fields.number("versionNumber", 0xFFFF));
        opened.reportDescriptor = fields.bytes("descriptor", 1, bus::kMaxDescriptor);
        opened.collection = static_cast<int>(fields.number("collection", 255));
        if (!fields.ok()) {
            trace("socket: open " + path + ": bad answer (" + fields.error() + ")");
            return EIO;
        }
        auto opening =
            std::make_unique<SocketConnection>(client.release(), handle, forRead, forWrite);
        if (!opening->valid())
            return EMFILE;
        info = std::move(opened);
        connection = std::move(opening);
        return 0;
    }

    bool exists(const std::string& path) override {
        if (path.size() > bus::kMaxPath)
            return false;
        Json::Value request = bus::makeRequest(bus::op::kExists);
        request["path"] = path;
        Json::Value answer;
        return ask(std::move(request), answer) && bus::succeeded(answer) &&
               answer["exists"].isBool() && answer["exists"].asBool();
    }

    void setChangeListener(std::function<void()> listener) override {
        std::lock_guard lock(m_WatchLock);
        m_Watcher.reset();
        if (listener)
            m_Watcher = std::make_unique<Watcher>(m_Path, std::move(listener));
    }

private:
    // Asks on the backend's own connection, connecting when needed. A connection made before
    // the bus restarted fails once; then a fresh one is tried. False when the bus cannot be
    // reached or did not answer.
    bool ask(Json::Value request, Json::Value& answer) {
        std::lock_guard lock(m_Lock);
        std::string why;
        for (;;) {
            const bool fresh = !m_Client.connected();
            if (fresh && m_Client.connect(m_Path, bus::kRoleHost, why) != 0)
                break;
            if (m_Client.request(request, answer, why))
                return true;
            if (fresh)
                break;
        }
        trace("socket: " + why);
        return false;
    }

    const std::string m_Path;
    std::mutex m_Lock;
    bus::Client m_Client;
    std::mutex m_WatchLock;
    std::unique_ptr<Watcher> m_Watcher;
};

}  // namespace

std::unique_ptr<HidBackend> makeSocketBackend(std::string socketPath) {
    return std::make_unique<SocketBackend>(std::move(socketPath));
}

}  // namespace qm::hid
