#include "platform/control_server.h"

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "device/hid/bus_protocol.h"
#include "platform/local_socket.h"
#include "platform/trace.h"

namespace qm::control {
namespace {

// Output queued for one connection beyond which the connection is dropped: a client that does
// not read its answers or events must not make the app hold ever more for it.
constexpr std::size_t kMaxQueuedOutput = 256 * 1024;
// Published states waiting for the server thread; the oldest go first when it falls behind.
constexpr std::size_t kMaxPending = 1024;

struct Connection {
    std::unique_ptr<net::LineSocket> socket;
    bool subscribed = false;
    bool closing = false;  // send what is queued, then close
    bool ended = false;    // close now
};

// The uid of the process at the other end, or -1 when the kernel does not tell.
uid_t peerUid(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials)
        return static_cast<uid_t>(-1);
    return credentials.uid;
}

}  // namespace

struct ControlServer::State {
    ControlHandler* handler = nullptr;
    uid_t allowedUid = 0;
    std::unique_ptr<net::ListeningSocket> listener;
    net::WakeEvent wake;
    std::atomic<bool> stopping{false};
    std::mutex pendingLock;
    std::deque<bool> pending;  // host lighting states to publish
    std::vector<std::unique_ptr<Connection>> connections;
    bool acceptPaused = false;
    std::thread thread;

    void serve();
    void acceptWaiting();
    void deliverPending();
    void handleLine(Connection& c, const net::Line& line);
    void handleLanguage(Connection& c, const Json::Value& message, const LanguageChoice& choice);
    void answer(Connection& c, const Json::Value& message);
};

void ControlServer::State::serve() {
    std::vector<net::PollEntry> entries;
    while (!stopping) {
        entries.clear();
        entries.push_back({wake.fd(), true, false});
        entries.push_back({listener->fd(), !acceptPaused, false});
        for (const auto& c : connections)
            entries.push_back({c->socket->fd(), !c->closing, c->socket->queued() > 0});
        // After a failed accept the listener rests for one round of at most a second.
        if (!net::pollFds(entries, acceptPaused ? 1000 : -1)) {
            tracef("control: poll failed (%s); stopping", std::strerror(errno));
            break;
        }
        acceptPaused = false;
        if (entries[0].readable)
            wake.clear();
        if (stopping)
            break;
        // Before any request of this round, so that an answer follows every event published
        // before its request was sent.
        deliverPending();
        if (entries[1].readable)
            acceptWaiting();
        for (std::size_t i = 0; i + 2 < entries.size(); ++i) {
            Connection& c = *connections[i];
            if (!entries[i + 2].read || !entries[i + 2].readable || c.ended)
                continue;
            const net::NetStatus status = c.socket->readAvailable();
            net::Line line;
            while (!c.ended && !c.closing && c.socket->takeLine(line))
                handleLine(c, line);
            if (status != net::NetStatus::Ok)
                c.ended = true;
        }
        std::erase_if(connections, [](const std::unique_ptr<Connection>& c) {
            if (!c->ended && c->socket->queued() > 0 && c->socket->flush() != net::NetStatus::Ok)
                c->ended = true;
            return c->ended || (c->closing && c->socket->queued() == 0);
        });
    }
    connections.clear();
}

void ControlServer::State::acceptWaiting() {
    for (;;) {
        std::unique_ptr<net::LineSocket> socket;
        const int error = listener->accept(kMaxLine, socket);
        if (error == EAGAIN)
            return;
        if (error != 0) {
            // Out of descriptors, most likely: the waiting client is taken when one is freed.
            tracef("control: cannot accept a connection (%s)", std::strerror(error));
            acceptPaused = true;
            return;
        }
        auto c = std::make_unique<Connection>();
        c->socket = std::move(socket);
        const uid_t uid = peerUid(c->socket->fd());
        if (uid != allowedUid) {
            tracef("control: refused a connection of uid %d", static_cast<int>(uid));
            answer(*c, bus::errorAnswer(Json::Value(), error::kNotAllowed,
                                        "only the user running the app may control it"));
            c->closing = true;
        } else if (connections.size() >= kMaxConnections) {
            answer(*c, bus::errorAnswer(Json::Value(), error::kTooMany,
                                        "the app takes at most " + std::to_string(kMaxConnections) +
                                            " control connections at once"));
            c->closing = true;
        }
        connections.push_back(std::move(c));
    }
}

void ControlServer::State::deliverPending() {
    std::deque<bool> states;
    {
        std::lock_guard lock(pendingLock);
        states.swap(pending);
    }
    for (bool on : states) {
        const Json::Value message = hostLightingEvent(on);
        for (const auto& c : connections) {
            if (c->subscribed && !c->closing && !c->ended)
                answer(*c, message);
        }
    }
}

void ControlServer::State::answer(Connection& c, const Json::Value& message) {
    if (c.ended)
        return;
    c.socket->queue(bus::toLine(message));
    if (c.socket->queued() > kMaxQueuedOutput) {
        tracef("control: a client does not read its answers; disconnecting it");
        c.ended = true;
    }
}

void ControlServer::State::handleLine(Connection& c, const net::Line& line) {
    if (line.tooLong) {
        answer(c, bus::errorAnswer(
                      Json::Value(), error::kTooLong,
                      "a request may be at most " + std::to_string(kMaxLine) + " bytes long"));
        return;
    }
    Json::Value message;
    std::string why;
    if (!bus::parseLine(line.text, message, why)) {
        answer(c, bus::errorAnswer(Json::Value(), error::kMalformed, why));
        return;
    }
    Request request;
    const char* code = nullptr;
    if (!decodeRequest(message, request, code, why)) {
        tracef("control: refused a request (%s)", why.c_str());
        answer(c, bus::errorAnswer(message, code, why));
        return;
    }
    switch (request.kind) {
        case RequestKind::Raise:
            handler->onRaise();
            answer(c, bus::okAnswer(message));
            break;
        case RequestKind::HostLighting:
            answer(c, hostLightingAnswer(message, handler->onHostLighting(request.on)));
            break;
        case RequestKind::GameEvent:
            tracef("control: %s wparam %u lparam %u", request.game.name.c_str(),
                   request.game.wparam, request.game.lparam);
            handler->onGameEvent(request.game);
            answer(c, bus::okAnswer(message));
            break;
        case RequestKind::DeviceReport: {
            const std::vector<DeviceReportRow> rows = handler->deviceReport();
            answer(c, deviceReportAnswer(message, rows));
            break;
        }
        case RequestKind::Subscribe:
            c.subscribed = true;
            answer(c, bus::okAnswer(message));
            break;
        case RequestKind::Language:
            handleLanguage(c, message, request.language);
            break;
    }
}

void ControlServer::State::handleLanguage(Connection& c, const Json::Value& message,
                                          const LanguageChoice& choice) {
    LanguageState state = handler->languages();
    if (!choice.switches()) {
        answer(c, languageAnswer(message, state));
        return;
    }
    int index = -1;
    if (choice.index && *choice.index < state.names.size())
        index = static_cast<int>(*choice.index);
    if (choice.name)
        index = matchLanguage(state.names, *choice.name);
    if (index < 0) {
        const std::string wanted =
            choice.name ? "\"" + *choice.name + "\"" : std::to_string(*choice.index);
        answer(c, bus::errorAnswer(message, error::kUnknownLanguage,
                                   "the app has no language " + wanted));
        return;
    }
    tracef("control: language %d (%s)", index,
           state.names[static_cast<std::size_t>(index)].c_str());
    answer(c, languageAnswer(message, handler->onLanguage(index)));
}

// --- ControlServer ----------------------------------------------------------------------------

ControlServer::ControlServer() = default;

ControlServer::~ControlServer() {
    stop();
}

int ControlServer::start(ControlHandler& handler, Options options) {
    if (m_State)
        return EALREADY;
    auto state = std::make_unique<State>();
    if (!state->wake.valid())
        return EMFILE;
    if (const int error = net::ListeningSocket::listen(options.path, state->listener); error != 0)
        return error;
    state->handler = &handler;
    state->allowedUid = options.peerUid == static_cast<uid_t>(-1) ? ::geteuid() : options.peerUid;
    State* s = state.get();
    state->thread = std::thread([s] { s->serve(); });
    m_State = std::move(state);
    return 0;
}

void ControlServer::stop() {
    if (!m_State)
        return;
    m_State->stopping = true;
    m_State->wake.set();
    m_State->thread.join();
    m_State.reset();
}

void ControlServer::publishHostLighting(bool on) {
    State* s = m_State.get();
    if (s == nullptr)
        return;
    {
        std::lock_guard lock(s->pendingLock);
        if (s->pending.size() >= kMaxPending)
            s->pending.pop_front();
        s->pending.push_back(on);
    }
    s->wake.set();
}

}  // namespace qm::control
