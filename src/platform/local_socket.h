// Unix-domain stream sockets that carry newline-terminated text lines between the processes of one
// user (the virtual bus and its clients), with waits that a deadline or a wake-up event cut short.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::net {

// When a wait gives up; nullopt waits without limit.
using Deadline = std::optional<std::chrono::steady_clock::time_point>;
// nullopt for timeoutMs < 0.
Deadline deadlineAfter(int timeoutMs);

enum class NetStatus {
    Ok,
    Timeout,
    Woken,   // the wake-up event was set
    Closed,  // the other end closed the connection
    Failed,
};

// An event that one thread sets and that ends every wait given it until it is cleared (an
// eventfd, so that it wakes poll as well).
class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    // False when the event could not be created; set and waits then do nothing.
    bool valid() const { return m_Fd >= 0; }
    // Thread-safe.
    void set();
    void clear();
    // Waits until the event is set or timeoutMs passes (< 0: no limit). True when it is set.
    bool wait(int timeoutMs) const;
    int fd() const { return m_Fd; }

private:
    int m_Fd;
};

// One text line received. A line longer than the socket's limit is not kept: it shows as one
// Line with tooLong set (as soon as the limit is passed), and the rest of it is skipped.
struct Line {
    std::string text;  // without the line end ("\n", or "\r\n")
    bool tooLong = false;
};

// One connected stream socket. Receiving (receive, readAvailable, takeLine) is for one thread at
// a time; sending (send) may run on another thread at the same time. queue and flush belong to
// the receiving thread (a server loop).
class LineSocket {
public:
    // Connects to the socket at path. Returns 0 or an errno value: ENOENT when there is no such
    // file, ECONNREFUSED when nobody listens on it, ENAMETOOLONG for a path too long for a socket.
    static int connect(const std::string& path, std::size_t maxLine,
                       std::unique_ptr<LineSocket>& socket);
    // Takes ownership of a connected socket descriptor.
    LineSocket(int fd, std::size_t maxLine);
    ~LineSocket();
    LineSocket(const LineSocket&) = delete;
    LineSocket& operator=(const LineSocket&) = delete;

    int fd() const { return m_Fd; }

    // Sends line and its "\n" whole, waiting for room until the deadline. Woken when wake (may be
    // null) is set first; a line cut short by a time-out or wake-up leaves the stream unusable.
    NetStatus send(std::string_view line, const Deadline& deadline, const WakeEvent* wake);
    // Takes the next line, waiting for it until the deadline (a deadline already passed still
    // takes what has arrived). Closed once the other end closed and every line was taken.
    NetStatus receiveLine(Line& line, const Deadline& deadline, const WakeEvent* wake);

    // Non-blocking: reads what has arrived (up to one chunk) into the received lines. Closed at
    // the end of the stream, Failed on an error.
    NetStatus readAvailable();
    // The oldest received line; false when none is waiting.
    bool takeLine(Line& line);

    // Non-blocking output: queue adds a line to the output buffer, flush writes what the socket
    // takes now (Ok, possibly leaving some queued, or Failed).
    void queue(std::string_view line);
    std::size_t queued() const { return m_Out.size() - m_OutSent; }
    NetStatus flush();

private:
    void splitLines();

    const int m_Fd;
    const std::size_t m_MaxLine;
    std::string m_In;
    bool m_Skipping = false;  // inside a line too long to keep
    bool m_Ended = false;     // the other end closed
    std::deque<Line> m_Lines;
    std::string m_Out;
    std::size_t m_OutSent = 0;
};

// The listening end of a server socket, with a lock file beside it (PATH.lock) that marks the
// path as taken while this process serves.
class ListeningSocket {
public:
    // Creates the folder of path (mode 0700) when missing and listens on path (mode 0600). A
    // socket file nobody serves on any more is replaced. Returns 0 or an errno value:
    // EADDRINUSE when another server holds or answers at the path, EEXIST when the path is a
    // file that is not a socket, ENAMETOOLONG when it is too long for a socket, EPERM when the
    // folder belongs to another user or others may write to it (without the sticky bit).
    static int listen(const std::string& path, std::unique_ptr<ListeningSocket>& socket);
    // Closes, and removes the socket file when it is still the one made here.
    ~ListeningSocket();
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;

    int fd() const { return m_Fd; }
    // Takes one waiting connection without blocking. 0, EAGAIN when none waits, or an errno value.
    int accept(std::size_t maxLine, std::unique_ptr<LineSocket>& socket);

private:
    ListeningSocket(std::string path, int fd, int lockFd, unsigned long long device,
                    unsigned long long inode);

    const std::string m_Path;
    const int m_Fd;
    const int m_LockFd;
    const unsigned long long m_Device;
    const unsigned long long m_Inode;
};

// One descriptor watched by pollFds.
struct PollEntry {
    int fd = -1;
    bool read = false;
    bool write = false;
    // Results.
    bool readable = false;  // also set on hang-up and error, so that a read finds out
    bool writable = false;
};
// Waits until one entry is ready or timeoutMs passes (< 0: no limit). False when poll failed.
bool pollFds(std::vector<PollEntry>& entries, int timeoutMs);

}  // namespace qm::net
