// What the device scan waits on between passes: udev's news of hidraw interfaces coming and
// going, an explicit wake (the HID backend's change listener, a stop), or a time-out. The scan
// thread blocks on this one object.
#pragma once

#include <atomic>
#include <chrono>

struct udev;
struct udev_monitor;

namespace qm {

class HotplugMonitor {
public:
    // watchUdev: also listen to udev for hidraw add and remove events. When udev does not run on
    // this machine (a container, for one) the monitor says so once in the traces and only wakes
    // and time-outs end a wait.
    explicit HotplugMonitor(bool watchUdev);
    ~HotplugMonitor();
    HotplugMonitor(const HotplugMonitor&) = delete;
    HotplugMonitor& operator=(const HotplugMonitor&) = delete;

    // Whether udev events reach this monitor.
    bool watchingUdev() const { return m_Monitor != nullptr; }

    // Thread-safe: ends the wait in progress, or else the next one, at once.
    void wake();
    // Blocks until a hidraw interface is added or removed, wake() is called or timeout passes.
    // True when woken by an event or a wake, false on time-out.
    bool wait(std::chrono::milliseconds timeout);

private:
    bool openUdev();
    // Reads every pending udev event; true when one of them added or removed an interface.
    bool drainUdev();
    bool takeWake();

    int m_WakeFd = -1;                 // eventfd; -1 when none could be made
    std::atomic<bool> m_Woken{false};  // the wake itself when there is no eventfd
    udev* m_Udev = nullptr;
    udev_monitor* m_Monitor = nullptr;
};

}  // namespace qm
