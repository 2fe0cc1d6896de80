#include "platform/local_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

#include "platform/paths.h"
#include "platform/trace.h"

namespace qm::net {
namespace {

using SteadyClock = std::chrono::steady_clock;

// What one non-blocking read takes at most.
constexpr std::size_t kChunk = 65536;
// Sent output is dropped from the buffer's front once this much has gone.
constexpr std::size_t kCompactAfter = 65536;

int pollTimeout(const Deadline& deadline) {
    if (!deadline)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - SteadyClock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, INT_MAX));
}

// Waits until fd is ready for events (or hung up: the next call finds out), the deadline passes
// or wake is set.
NetStatus waitFd(int fd, short events, const Deadline& deadline, const WakeEvent* wake) {
    for (;;) {
        pollfd fds[2] = {{fd, events, 0}, {wake != nullptr ? wake->fd() : -1, POLLIN, 0}};
        const int ready = ::poll(fds, 2, pollTimeout(deadline));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            tracef("socket: poll failed (%s)", std::strerror(errno));
            return NetStatus::Failed;
        }
        if (fds[1].revents != 0)
            return NetStatus::Woken;
        if (fds[0].revents != 0)
            return NetStatus::Ok;
        if (ready == 0)
            return NetStatus::Timeout;
    }
}

bool fillAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

Deadline deadlineAfter(int timeoutMs) {
    if (timeoutMs < 0)
        return std::nullopt;
    return SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
}

// --- WakeEvent -------------------------------------------------------------------------------

WakeEvent::WakeEvent() : m_Fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (m_Fd < 0)
        tracef("socket: no wake-up event (%s)", std::strerror(errno));
}

WakeEvent::~WakeEvent() {
    if (m_Fd >= 0)
        ::close(m_Fd);
}

void WakeEvent::set() {
    if (m_Fd < 0)
        return;
    const std::uint64_t one = 1;
    // Only a full counter refuses the write, and then the event is set anyway.
    while (::write(m_Fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void WakeEvent::clear() {
    if (m_Fd < 0)
        return;
    std::uint64_t count = 0;
    while (::read(m_Fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

bool WakeEvent::wait(int timeoutMs) const {
    if (m_Fd < 0)
        return false;
    const Deadline deadline = deadlineAfter(timeoutMs);
    for (;;) {
        pollfd fd = {m_Fd, POLLIN, 0};
        const int ready = ::poll(&fd, 1, pollTimeout(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0;
    }
}

// --- LineSocket ------------------------------------------------------------------------------

int LineSocket::connect(const std::string& path, std::size_t maxLine,
                        std::unique_ptr<LineSocket>& socket) {
    socket.reset();
    sockaddr_un address;
    if (!fillAddress(path, address))
        return ENAMETOOLONG;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return errno;
    // A local connect completes at once or fails (EAGAIN when the server's backlog is full).
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    socket = std::make_unique<LineSocket>(fd, maxLine);
    return 0;
}

LineSocket::LineSocket(int fd, std::size_t maxLine) : m_Fd(fd), m_MaxLine(maxLine) {}

LineSocket::~LineSocket() {
    ::close(m_Fd);
}

NetStatus LineSocket::send(std::string_view line, const Deadline& deadline, const WakeEvent* wake) {
    std::string whole;
    whole.reserve(line.size() + 1);
    whole.append(line);
    whole.push_back('\n');
    std::size_t sent = 0;
    while (sent < whole.size()) {
        const ssize_t n =
            ::send(m_Fd, whole.data() + sent, whole.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EPIPE || errno == ECONNRESET)
            return NetStatus::Closed;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            tracef("socket: send failed (%s)", std::strerror(errno));
            return NetStatus::Failed;
        }
        if (const NetStatus ready = waitFd(m_Fd, POLLOUT, deadline, wake); ready != NetStatus::Ok)
            return ready;
    }
    return NetStatus::Ok;
}

NetStatus LineSocket::receiveLine(Line& line, const Deadline& deadline, const WakeEvent* wake) {
    for (;;) {
        if (takeLine(line))
            return NetStatus::Ok;
        if (m_Ended)
            return NetStatus::Closed;
        if (readAvailable() == NetStatus::Failed)
            return NetStatus::Failed;
        if (takeLine(line))
            return NetStatus::Ok;
        if (m_Ended)
            return NetStatus::Closed;
        if (const NetStatus ready = waitFd(m_Fd, POLLIN, deadline, wake); ready != NetStatus::Ok)
            return ready;
    }
}

NetStatus LineSocket::readAvailable() {
    if (m_Ended)
        return NetStatus::Closed;
    const std::size_t old = m_In.size();
    m_In.resize(old + kChunk);
    ssize_t n;
    do {
        n = ::recv(m_Fd, m_In.data() + old, kChunk, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    const int error = errno;
    m_In.resize(old + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    if (n > 0) {
        splitLines();
        return NetStatus::Ok;
    }
    if (n == 0 || error == ECONNRESET) {
        m_Ended = true;
        return NetStatus::Closed;
    }
    if (error == EAGAIN || error == EWOULDBLOCK)
        return NetStatus::Ok;
    tracef("socket: receive failed (%s)", std::strerror(error));
    return NetStatus::Failed;
}

void LineSocket::splitLines() {
    std::size_t start = 0;
    while (start < m_In.size()) {
        const std::size_t end = m_In.find('\n', start);
        if (m_Skipping) {
            if (end == std::string::npos) {
                start = m_In.size();
                break;
            }
            m_Skipping = false;
            start = end + 1;
            continue;
        }
        if (end == std::string::npos) {
            // A line that already passed the limit is reported now, not when (if ever) it ends.
            if (m_In.size() - start > m_MaxLine) {
                m_Lines.push_back({{}, true});
                m_Skipping = true;
                start = m_In.size();
            }
            break;
        }
        std::size_t length = end - start;
        if (length > 0 && m_In[end - 1] == '\r')
            --length;
        if (length > m_MaxLine) {
            m_Lines.push_back({{}, true});
        } else if (length > 0) {
            m_Lines.push_back({m_In.substr(start, length), false});
        }
        start = end + 1;
    }
    m_In.erase(0, start);
}

bool LineSocket::takeLine(Line& line) {
    if (m_Lines.empty())
        return false;
    line = std::move(m_Lines.front());
    m_Lines.pop_front();
    return true;
}

void LineSocket::queue(std::string_view line) {
    m_Out.append(line);
    m_Out.push_back('\n');
}

NetStatus LineSocket::flush() {
    while (m_OutSent < m_Out.size()) {
        const ssize_t n = ::send(m_Fd, m_Out.data() + m_OutSent, m_Out.size() - m_OutSent,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            m_OutSent += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            break;
        return errno == EPIPE || errno == ECONNRESET ? NetStatus::Closed : NetStatus::Failed;
    }
    if (m_OutSent == m_Out.size()) {
        m_Out.clear();
        m_OutSent = 0;
    } else if (m_OutSent >= kCompactAfter) {
        m_Out.erase(0, m_OutSent);
        m_OutSent = 0;
    }
    return NetStatus::Ok;
}

// --- ListeningSocket -------------------------------------------------------------------------

int ListeningSocket::listen(const std::string& path, std::unique_ptr<ListeningSocket>& socket) {
    socket.reset();
    sockaddr_un address;
    if (!fillAddress(path, address))
        return ENAMETOOLONG;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (slash != std::string::npos && slash > 0 && !makeDirs(path.substr(0, slash), 0700))
        return errno != 0 ? errno : EACCES;
    // In a folder that someone else controls, they could swap the socket under the clients.
    struct stat where {};
    if (::stat(folder.c_str(), &where) != 0)
        return errno;
    const bool trustedOwner = where.st_uid == ::geteuid() || where.st_uid == 0;
    const bool openToOthers =
        (where.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (where.st_mode & S_ISVTX) == 0;
    if (!trustedOwner || openToOthers)
        return EPERM;

    // The lock says "served" without a race between two servers starting at once.
    const std::string lockPath = path + ".lock";
    const int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0)
        return errno;
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(lockFd);
        return error == EWOULDBLOCK ? EADDRINUSE : error;
    }
    auto fail = [lockFd](int error) {
        ::close(lockFd);
        return error;
    };

    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode))
            return fail(EEXIST);
        // A server without the lock (its lock file was removed) may still answer there.
        std::unique_ptr<LineSocket> probe;
        if (LineSocket::connect(path, 1, probe) == 0)
            return fail(EADDRINUSE);
        tracef("socket: replacing the stale socket %s", path.c_str());
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            return fail(errno);
    }

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return fail(errno);
    struct stat made {};
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 16) != 0 ||
        ::stat(path.c_str(), &made) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(error);
    }
    socket.reset(new ListeningSocket(path, fd, lockFd, made.st_dev, made.st_ino));
    return 0;
}

ListeningSocket::ListeningSocket(std::string path, int fd, int lockFd, unsigned long long device,
                                 unsigned long long inode)
    : m_Path(std::move(path)), m_Fd(fd), m_LockFd(lockFd), m_Device(device), m_Inode(inode) {}

ListeningSocket::~ListeningSocket() {
    // Another server may have replaced a socket that someone deleted: leave that one alone.
    struct stat now {};
    if (::stat(m_Path.c_str(), &now) == 0 && now.st_dev == m_Device && now.st_ino == m_Inode)
        ::unlink(m_Path.c_str());
    ::close(m_Fd);
    ::close(m_LockFd);
}

int ListeningSocket::accept(std::size_t maxLine, std::unique_ptr<LineSocket>& socket) {
    socket.reset();
    int fd;
    do {
        fd = ::accept4(m_Fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return errno == EWOULDBLOCK ? EAGAIN : errno;
    socket = std::make_unique<LineSocket>(fd, maxLine);
    return 0;
}

// --- pollFds ---------------------------------------------------------------------------------

bool pollFds(std::vector<PollEntry>& entries, int timeoutMs) {
    std::vector<pollfd> fds;
    fds.reserve(entries.size());
    for (PollEntry& entry : entries) {
        entry.readable = entry.writable = false;
        const short events =
            static_cast<short>((entry.read ? POLLIN : 0) | (entry.write ? POLLOUT : 0));
        fds.push_back({entry.fd, events, 0});
    }
    const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
    if (ready < 0)
        return errno == EINTR;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const short got = fds[i].revents;
        entries[i].readable = (got & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
        entries[i].writable = (got & POLLOUT) != 0;
    }
    return true;
}

}  // namespace qm::net
