#include "platform/termination_signals.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/local_socket.h"
#include "platform/trace.h"

namespace qm {

struct TerminationSignals::State {
    std::function<void(int)> onSignal;
    sigset_t previous{};
    int signalFd = -1;
    net::WakeEvent stop;
    std::thread watcher;

    void watch() {
        for (;;) {
            pollfd fds[2] = {{signalFd, POLLIN, 0}, {stop.fd(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                tracef("signals: poll failed (%s)", std::strerror(errno));
                return;
            }
            if (fds[1].revents != 0)
                return;
            signalfd_siginfo info{};
            if (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
                onSignal(static_cast<int>(info.ssi_signo));
        }
    }
};

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal)
    : m_State(std::make_unique<State>()) {
    m_State->onSignal = std::move(onSignal);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    if (!m_State->stop.valid() || pthread_sigmask(SIG_BLOCK, &set, &m_State->previous) != 0)
        return;
    m_State->signalFd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_State->signalFd < 0) {
        tracef("signals: no signalfd (%s)", std::strerror(errno));
        pthread_sigmask(SIG_SETMASK, &m_State->previous, nullptr);
        return;
    }
    m_State->watcher = std::thread([state = m_State.get()] { state->watch(); });
}

TerminationSignals::~TerminationSignals() {
    if (m_State->watcher.joinable()) {
        m_State->stop.set();
        m_State->watcher.join();
    }
    if (m_State->signalFd >= 0)
        ::close(m_State->signalFd);
}

bool TerminationSignals::active() const {
    return m_State->signalFd >= 0;
}

}  // namespace qm
