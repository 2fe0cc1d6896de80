#include "device/hid/hidraw_backend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "device/hid/hid_path.h"
#include "device/hid/report_descriptor.h"
#include "platform/atomic_file.h"
#include "platform/trace.h"

namespace qm::hid {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// hidraw never delivers a report longer than this (the kernel's HID_MAX_BUFFER_SIZE).
constexpr std::size_t kMaxReportBytes = 16384;

// The number N of a node named "hidrawN", or -1 for any other name.
long nodeNumber(std::string_view name) {
    constexpr std::string_view prefix = "hidraw";
    if (!name.starts_with(prefix))
        return -1;
    std::string_view digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 9)
        return -1;
    long number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

std::string_view trim(std::string_view text) {
    constexpr std::string_view space = " \t\r\n";
    std::size_t first = text.find_first_not_of(space);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

// A whole field of 1 to 8 hexadecimal digits.
bool parseHex(std::string_view text, std::uint32_t& value) {
    if (text.empty() || text.size() > 8)
        return false;
    value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return true;
}

// The value of "KEY=value" in a uevent file; nullopt when the key is absent.
std::optional<std::string_view> ueventValue(std::string_view uevent, std::string_view key) {
    while (!uevent.empty()) {
        std::size_t end = uevent.find('\n');
        std::string_view line = uevent.substr(0, end);
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=')
            return trim(line.substr(key.size() + 1));
        if (end == std::string_view::npos)
            break;
        uevent.remove_prefix(end + 1);
    }
    return std::nullopt;
}

// HID_ID=bus:vendor:product, each field hexadecimal.
bool parseHidId(std::string_view id, std::uint16_t& vendorId, std::uint16_t& productId) {
    std::size_t first = id.find(':');
    std::size_t second = first == std::string_view::npos ? first : id.find(':', first + 1);
    if (second == std::string_view::npos)
        return false;
    std::uint32_t bus, vendor, product;
    if (!parseHex(id.substr(0, first), bus) ||
        !parseHex(id.substr(first + 1, second - first - 1), vendor) ||
        !parseHex(id.substr(second + 1), product))
        return false;
    vendorId = static_cast<std::uint16_t>(vendor);
    productId = static_cast<std::uint16_t>(product);
    return true;
}

// The interface number in a physical path such as "usb-0000:00:14.0-1/input3" (decimal); devices
// created through /dev/uhid carry only this. 0 when there is no such suffix.
int interfaceFromPhys(std::string_view phys) {
    constexpr std::string_view token = "/input";
    std::size_t at = phys.rfind(token);
    if (at == std::string_view::npos)
        return 0;
    std::string_view digits = phys.substr(at + token.size());
    if (digits.empty() || digits.size() > 3)
        return 0;
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + (c - '0');
    }
    return number <= 0xFF ? number : 0;  // USB interface numbers are one byte
}

bool readHexFile(const fs::path& file, std::uint32_t& value) {
    std::string text;
    return readFile(file.string(), text) && parseHex(trim(text), value);
}

bool isBelow(const fs::path& path, const fs::path& root) {
    auto [r, p] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return r == root.end() && p != path.end();
}

// What sysfs says about one hidraw node.
struct NodeInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
    int interfaceNumber = 0;
    std::vector<std::uint8_t> descriptor;
    std::vector<Collection> collections;
};

class HidrawConnection final : public HidConnection {
public:
    HidrawConnection(int fd, int abortFd, bool canRead, bool canWrite, bool prependReportId)
        : m_Fd(fd),
          m_AbortFd(abortFd),
          m_CanRead(canRead),
          m_CanWrite(canWrite),
          m_PrependReportId(prependReportId),
          m_Scratch(canRead ? kMaxReportBytes + 1 : 0) {}

    ~HidrawConnection() override {
        ::close(m_Fd);
        ::close(m_AbortFd);
    }

    HidrawConnection(const HidrawConnection&) = delete;
    HidrawConnection& operator=(const HidrawConnection&) = delete;

    IoStatus read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& got) override {
        got = 0;
        if (m_Aborted.load())
            return IoStatus::Aborted;
        if (!m_CanRead)
            return IoStatus::Failed;
        const auto deadline = deadlineAfter(timeoutMs);
        // Reports of devices without report ids arrive without the id byte; callers always see
        // the id first, so those get a 0 in front. The scratch buffer holds any report whole,
        // whatever the caller's buffer size.
        const std::size_t offset = m_PrependReportId ? 1 : 0;
        for (;;) {
            IoStatus ready = waitFor(POLLIN, deadline);
            if (ready != IoStatus::Ok)
                return ready;
            ssize_t n = ::read(m_Fd, m_Scratch.data() + offset, m_Scratch.size() - offset);
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;
                tracef("hidraw: read failed (%s)", std::strerror(errno));
                return IoStatus::Failed;
            }
            if (n == 0) {
                trace("hidraw: read reached the end of the node");
                return IoStatus::Failed;
            }
            if (m_PrependReportId)
                m_Scratch[0] = 0;
            got = std::min(offset + static_cast<std::size_t>(n), buffer.size());
            std::copy_n(m_Scratch.begin(), got, buffer.begin());
            return IoStatus::Ok;
        }
    }

    IoStatus write(std::span<const std::uint8_t> report, int timeoutMs,
                   std::size_t& written) override {
        written = 0;
        if (m_Aborted.load())
            return IoStatus::Aborted;
        if (!m_CanWrite || report.empty())
            return IoStatus::Failed;
        const auto deadline = deadlineAfter(timeoutMs);
        for (;;) {
            IoStatus ready = waitFor(POLLOUT, deadline);
            if (ready != IoStatus::Ok)
                return ready;
            ssize_t n = ::write(m_Fd, report.data(), report.size());
            if (n < 0) {
                if (errno == EINTR || errno == EAGAIN)
                    continue;
                tracef("hidraw: write of %zu bytes failed (%s)", report.size(),
                       std::strerror(errno));
                return IoStatus::Failed;
            }
            written = static_cast<std::size_t>(n);
            if (written != report.size()) {
                tracef("hidraw: write took %zu of %zu bytes", written, report.size());
                return IoStatus::Failed;
            }
            return IoStatus::Ok;
        }
    }

    void abort() override {
        m_Aborted.store(true);
        // The event is never drained, so every later wait sees it at once.
        const std::uint64_t one = 1;
        while (::write(m_AbortFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
    }

private:
    static std::optional<Clock::time_point> deadlineAfter(int timeoutMs) {
        if (timeoutMs < 0)
            return std::nullopt;
        return Clock::now() + std::chrono::milliseconds(timeoutMs);
    }

    // Ok when the node is ready for events; otherwise why the transfer must end.
    IoStatus waitFor(short events, const std::optional<Clock::time_point>& deadline) {
        for (;;) {
            int waitMs = -1;
            if (deadline) {
                auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
                waitMs = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, INT_MAX));
            }
            pollfd fds[2] = {{m_AbortFd, POLLIN, 0}, {m_Fd, events, 0}};
            int ready = ::poll(fds, 2, waitMs);
            if (ready < 0) {
                if (errno == EINTR)
                    continue;
                tracef("hidraw: poll failed (%s)", std::strerror(errno));
                return IoStatus::Failed;
            }
            if (fds[0].revents != 0)
                return IoStatus::Aborted;
            if (ready == 0)
                return IoStatus::Timeout;
            if (fds[1].revents & events)
                return IoStatus::Ok;
            // POLLHUP, POLLERR or POLLNVAL without data: the device is gone.
            trace("hidraw: node hung up");
            return IoStatus::Failed;
        }
    }

    const int m_Fd;
    const int m_AbortFd;
    const bool m_CanRead;
    const bool m_CanWrite;
    const bool m_PrependReportId;
    std::atomic<bool> m_Aborted{false};
    std::vector<std::uint8_t> m_Scratch;
};

class HidrawBackend final : public HidBackend {
public:
    HidrawBackend(std::string sysfsRoot, std::string devRoot)
        : m_SysfsRoot(std::move(sysfsRoot)), m_DevRoot(std::move(devRoot)) {}

    bool enumerate(std::vector<std::string>& paths) override {
        paths.clear();
        const fs::path classFolder = classFolderPath();
        std::error_code ec;
        fs::directory_iterator it(classFolder, ec);
        // A machine without any hidraw device has no class folder at all.
        if (ec == std::errc::no_such_file_or_directory)
            return true;
        std::vector<std::pair<long, std::string>> nodes;
        for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (long number = nodeNumber(name); number >= 0)
                nodes.emplace_back(number, name);
        }
        if (ec) {
            tracef("hidraw: cannot list %s (%s)", classFolder.c_str(), ec.message().c_str());
            return false;
        }
        std::sort(nodes.begin(), nodes.end());
        for (const auto& [number, name] : nodes) {
            NodeInfo info;
            if (readNode(name, true, info) != 0)
                continue;  // traced there; the node is skipped
            const std::string node = nodePath(name);
            const int count = static_cast<int>(info.collections.size());
            if (count == 1) {
                paths.push_back(makeInterfacePath(node, info.vendorId, info.productId,
                                                  info.interfaceNumber, 0));
                continue;
            }
            for (int k = 1; k <= count; ++k)
                paths.push_back(makeInterfacePath(node, info.vendorId, info.productId,
                                                  info.interfaceNumber, k));
        }
        return true;
    }

    int open(const std::string& path, bool forRead, bool forWrite,
             std::unique_ptr<HidConnection>& connection, InterfaceInfo& info) override {
        connection.reset();
        std::string name;
        if (!nodeName(path, name))
            return ENOENT;
        NodeInfo node;
        if (int error = readNode(name, true, node); error != 0)
            return error;
        // hidraw numbers are reused: a node that now belongs to another device is not this path.
        if (!matches(path, node, true)) {
            tracef("hidraw: %s now names another interface", name.c_str());
            return ENOENT;
        }

        // Without either direction the node is only held (as a probe); that needs no rights.
        int flags = O_PATH;
        if (forRead && forWrite) {
            flags = O_RDWR | O_NONBLOCK;
        } else if (forRead) {
            flags = O_RDONLY | O_NONBLOCK;
        } else if (forWrite) {
            flags = O_WRONLY | O_NONBLOCK;
        }
        const std::string nodeFile = nodePath(name);
        int fd = ::open(nodeFile.c_str(), flags | O_CLOEXEC);
        if (fd < 0) {
            int error = errno;
            tracef("hidraw: cannot open %s (%s)", nodeFile.c_str(), std::strerror(error));
            return error;
        }
        int abortFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (abortFd < 0) {
            int error = errno;
            tracef("hidraw: no abort event for %s (%s)", nodeFile.c_str(), std::strerror(error));
            ::close(fd);
            return error;
        }
        const bool numbered = std::any_of(node.collections.begin(), node.collections.end(),
                                          [](const Collection& c) { return c.usesReportIds; });
        connection = std::make_unique<HidrawConnection>(fd, abortFd, forRead, forWrite, !numbered);

        info.vendorId = node.vendorId;
        info.productId = node.productId;
        info.versionNumber = node.versionNumber;
        info.reportDescriptor = std::move(node.descriptor);
        info.collection = ParseCol(path);
        return 0;
    }

    bool exists(const std::string& path) override {
        std::string name;
        NodeInfo node;
        struct stat st {};
        return nodeName(path, name) && ::stat(nodePath(name).c_str(), &st) == 0 &&
               readNode(name, false, node) == 0 && matches(path, node, false);
    }

private:
    fs::path classFolderPath() const { return fs::path(m_SysfsRoot) / "class" / "hidraw"; }
    std::string nodePath(const std::string& name) const { return m_DevRoot + "/" + name; }

    // The node name of a path of this backend ("hidrawN" under devRoot).
    bool nodeName(const std::string& path, std::string& name) const {
        std::string_view node = pathNode(path);
        std::size_t slash = node.rfind('/');
        if (slash == std::string_view::npos)
            return false;
        name = std::string(node.substr(slash + 1));
        return nodeNumber(name) >= 0 && node == nodePath(name);
    }

    // Whether path is one that enumerate lists for this node. The collection can only be
    // checked when the descriptor was read.
    static bool matches(const std::string& path, const NodeInfo& node, bool checkCollection) {
        if (ParseVid(path) != node.vendorId || ParsePid(path) != node.productId ||
            ParseMi(path) != static_cast<std::uint16_t>(node.interfaceNumber))
            return false;
        if (!checkCollection)
            return true;
        const std::size_t col = ParseCol(path);
        const std::size_t count = node.collections.size();
        return count == 1 ? col == 0 : col >= 1 && col <= count;
    }

    // Reads a node's identity and, when asked, its report descriptor. Returns 0, ENOENT when the
    // node is not (or no longer) in sysfs, EIO when its descriptor cannot be read and EPROTO
    // when the descriptor is malformed.
    int readNode(const std::string& name, bool withDescriptor, NodeInfo& info) const {
        std::error_code ec;
        const fs::path device = fs::canonical(classFolderPath() / name / "device", ec);
        if (ec) {
            tracef("hidraw: %s has no device in sysfs (%s)", name.c_str(), ec.message().c_str());
            return ENOENT;
        }
        std::string uevent;
        std::optional<std::string_view> id;
        if (!readFile((device / "uevent").string(), uevent) ||
            !(id = ueventValue(uevent, "HID_ID")) ||
            !parseHidId(*id, info.vendorId, info.productId)) {
            tracef("hidraw: %s: no HID_ID in its uevent", name.c_str());
            return ENOENT;
        }

        // A USB interface folder above the HID device gives the interface number (and its USB
        // device the version); devices without one (uhid, Bluetooth) only have their phys.
        info.interfaceNumber = interfaceFromPhys(ueventValue(uevent, "HID_PHYS").value_or(""));
        const fs::path root = fs::canonical(m_SysfsRoot, ec);
        for (fs::path up = device.parent_path(); !ec && isBelow(up, root); up = up.parent_path()) {
            std::uint32_t number;
            if (!fs::exists(up / "bInterfaceNumber", ec))
                continue;
            if (readHexFile(up / "bInterfaceNumber", number) && number <= 0xFF)
                info.interfaceNumber = static_cast<int>(number);
            std::uint32_t version;
            if (readHexFile(up.parent_path() / "bcdDevice", version))
                info.versionNumber = static_cast<std::uint16_t>(version);
            break;
        }
        if (!withDescriptor)
            return 0;

        std::string bytes;
        if (!readFile((device / "report_descriptor").string(), bytes)) {
            tracef("hidraw: %s: report descriptor unreadable", name.c_str());
            return EIO;
        }
        info.descriptor.assign(bytes.begin(), bytes.end());
        if (!parseReportDescriptor(info.descriptor, info.collections) || info.collections.empty()) {
            tracef("hidraw: %s: report descriptor malformed (%zu bytes)", name.c_str(),
                   info.descriptor.size());
            return EPROTO;
        }
        return 0;
    }

    const std::string m_SysfsRoot;
    const std::string m_DevRoot;
};

}  // namespace

std::unique_ptr<HidBackend> makeHidrawBackend(std::string sysfsRoot, std::string devRoot) {
    return std::make_unique<HidrawBackend>(std::move(sysfsRoot), std::move(devRoot));
}

}  // namespace qm::hid
