// The small interface over which CHidDevice reaches HID interfaces. Two implementations live in
// one binary and are chosen at start-up: the Linux hidraw backend and the virtual peripherals.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qm::hid {

enum class IoStatus { Ok, Timeout, Aborted, Failed };

// What an opened path is: the device's attributes, its whole report descriptor, and which of its
// top-level collections the path names (1-based; 0 when the interface has a single collection).
struct InterfaceInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
    std::vector<std::uint8_t> reportDescriptor;
    int collection = 0;
};

// An open interface. read and write may run on one thread while abort is called from another.
class HidConnection {
public:
    virtual ~HidConnection() = default;
    // Reads one input report of the interface (any collection) with the report id first (0 when
    // the interface uses no report ids). A report longer than buffer is cut to it. timeoutMs < 0
    // waits until a report arrives or abort is called.
    virtual IoStatus read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& got) = 0;
    // Writes one output report, report id first.
    virtual IoStatus write(std::span<const std::uint8_t> report, int timeoutMs,
                           std::size_t& written) = 0;
    // Thread-safe: makes a read or write in progress, and every later one, return Aborted.
    virtual void abort() = 0;
};

class HidBackend {
public:
    virtual ~HidBackend() = default;
    // Lists one path per top-level collection of every HID interface present. False when the
    // listing itself failed.
    virtual bool enumerate(std::vector<std::string>& paths) = 0;
    // Opens a path listed by enumerate. Returns 0 on success, else an errno value (EACCES when
    // the node exists but the user may not open it, ENOENT when it is gone).
    virtual int open(const std::string& path, bool forRead, bool forWrite,
                     std::unique_ptr<HidConnection>& connection, InterfaceInfo& info) = 0;
    // Whether the interface behind a path is still present (no access rights needed).
    virtual bool exists(const std::string& path) = 0;
    // Called (on any thread) whenever interfaces may have arrived or left, so that a scan can
    // look at once instead of at its next poll. Backends without such news never call it.
    virtual void setChangeListener(std::function<void()> listener) { (void)listener; }
};

// The backend chosen at start-up; the hidraw backend until another is set. The backend set must
// outlive every CHidDevice that uses it.
HidBackend& defaultBackend();
void setDefaultBackend(HidBackend* backend);

}  // namespace qm::hid
