#include "platform/hotplug_monitor.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/trace.h"

namespace qm {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Without an eventfd a wait looks at the wake flag this often.
constexpr std::chrono::milliseconds kWakeCheck{10};

void traceNoUdevOnce(const char* why) {
    static std::once_flag once;
    std::call_once(once, [why] { tracef("hot-plug: %s; the device scan polls instead", why); });
}

int pollTimeout(SteadyClock::duration left, bool haveWakeFd) {
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    if (!haveWakeFd)
        ms = std::min<decltype(ms)>(ms, kWakeCheck.count());
    return static_cast<int>(std::clamp<decltype(ms)>(ms, 0, INT_MAX));
}

}  // namespace

HotplugMonitor::HotplugMonitor(bool watchUdev) {
    m_WakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_WakeFd < 0)
        tracef("hot-plug: no eventfd (%s); wakes are looked at every %lld ms", std::strerror(errno),
               static_cast<long long>(kWakeCheck.count()));
    if (watchUdev)
        openUdev();
}

HotplugMonitor::~HotplugMonitor() {
    if (m_Monitor != nullptr)
        udev_monitor_unref(m_Monitor);
    if (m_Udev != nullptr)
        udev_unref(m_Udev);
    if (m_WakeFd >= 0)
        close(m_WakeFd);
}

bool HotplugMonitor::openUdev() {
    m_Udev = udev_new();
    if (m_Udev == nullptr) {
        traceNoUdevOnce("udev is not available");
        return false;
    }
    // Without the udev daemon a monitor would never hear of anything.
    udev_queue* queue = udev_queue_new(m_Udev);
    const bool running = queue != nullptr && udev_queue_get_udev_is_active(queue) != 0;
    udev_queue_unref(queue);
    if (running) {
        // "udev" events come after the rules have run, so the node's permissions are set.
        m_Monitor = udev_monitor_new_from_netlink(m_Udev, "udev");
        if (m_Monitor != nullptr &&
            (udev_monitor_filter_add_match_subsystem_devtype(m_Monitor, "hidraw", nullptr) < 0 ||
             udev_monitor_enable_receiving(m_Monitor) < 0)) {
            udev_monitor_unref(m_Monitor);
            m_Monitor = nullptr;
        }
    }
    if (m_Monitor == nullptr) {
        traceNoUdevOnce(running ? "cannot listen to udev" : "udev does not run on this machine");
        m_Udev = udev_unref(m_Udev);
        return false;
    }
    trace("hot-plug: listening to udev for hidraw interfaces");
    return true;
}

void HotplugMonitor::wake() {
    m_Woken = true;
    if (m_WakeFd >= 0) {
        const std::uint64_t one = 1;
        // Only a counter overflow fails, and the counter is then set already.
        [[maybe_unused]] const ssize_t n = write(m_WakeFd, &one, sizeof one);
    }
}

bool HotplugMonitor::takeWake() {
    bool woken = m_Woken.exchange(false);
    if (m_WakeFd >= 0) {
        std::uint64_t count = 0;
        woken = read(m_WakeFd, &count, sizeof count) == static_cast<ssize_t>(sizeof count) || woken;
    }
    return woken;
}

bool HotplugMonitor::drainUdev() {
    bool changed = false;
    while (udev_device* device = udev_monitor_receive_device(m_Monitor)) {
        const char* action = udev_device_get_action(device);
        if (action != nullptr &&
            (std::strcmp(action, "add") == 0 || std::strcmp(action, "remove") == 0))
            changed = true;
        udev_device_unref(device);
    }
    return changed;
}

bool HotplugMonitor::wait(std::chrono::milliseconds timeout) {
    const SteadyClock::time_point deadline = SteadyClock::now() + timeout;
    for (;;) {
        if (takeWake())
            return true;
        const SteadyClock::duration left = deadline - SteadyClock::now();
        if (left <= SteadyClock::duration::zero())
            return false;
        pollfd fds[2];
        nfds_t count = 0;
        if (m_WakeFd >= 0)
            fds[count++] = {m_WakeFd, POLLIN, 0};
        const nfds_t udevAt = count;
        if (m_Monitor != nullptr)
            fds[count++] = {udev_monitor_get_fd(m_Monitor), POLLIN, 0};
        const int ready = poll(fds, count, pollTimeout(left, m_WakeFd >= 0));
        if (ready < 0 && errno != EINTR) {
            // Never spin: wait out a short while as a poll would have.
            tracef("hot-plug: poll failed (%s)", std::strerror(errno));
            std::this_thread::sleep_for(std::min<SteadyClock::duration>(left, kWakeCheck));
            continue;
        }
        if (ready <= 0 || m_Monitor == nullptr)
            continue;
        const short events = fds[udevAt].revents;
        if ((events & POLLIN) != 0 && drainUdev())
            return true;
        if ((events & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (events & POLLIN) == 0) {
            // A broken udev socket would make every poll return at once: poll the bus instead.
            trace("hot-plug: the udev monitor failed; the device scan polls instead");
            m_Monitor = udev_monitor_unref(m_Monitor);
            m_Udev = udev_unref(m_Udev);
            return true;
        }
    }
}

}  // namespace qm
