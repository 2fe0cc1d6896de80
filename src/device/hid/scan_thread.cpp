#include "device/hid/scan_thread.h"

#include <condition_variable>
#include <mutex>

#include "device/hid/scan_pass.h"
#include "platform/hotplug_monitor.h"
#include "platform/trace.h"

namespace qm {
namespace {

// One change on its way to the UI thread.
struct HandOffState {
    enum class Stage { Waiting, Running, Ran, Dropped, Cancelled };
    std::mutex lock;
    std::condition_variable_any changed;
    Stage stage = Stage::Waiting;

    void set(Stage next) {
        {
            std::lock_guard guard(lock);
            stage = next;
        }
        changed.notify_all();
    }
};

// Destroyed with the task's last copy: tells the scan when the UI loop dropped the task unrun.
struct DropSignal {
    explicit DropSignal(std::shared_ptr<HandOffState> handOff) : state(std::move(handOff)) {}
    DropSignal(const DropSignal&) = delete;
    DropSignal& operator=(const DropSignal&) = delete;
    ~DropSignal() {
        {
            std::lock_guard guard(state->lock);
            if (state->stage == HandOffState::Stage::Waiting)
                state->stage = HandOffState::Stage::Dropped;
        }
        state->changed.notify_all();
    }
    std::shared_ptr<HandOffState> state;
};

}  // namespace

ScanThread::ScanThread(hid::HidBackend& backend, DeviceSlots& slots, Dispatcher& dispatcher,
                       ScanListener& listener, Options options)
    : m_Backend(backend),
      m_Slots(slots),
      m_Dispatcher(dispatcher),
      m_Listener(listener),
      m_Options(options) {}

ScanThread::~ScanThread() {
    stop();
    m_Alive.reset();
}

void ScanThread::start() {
    if (m_Thread.joinable())
        return;
    if (!m_Monitor)
        m_Monitor = std::make_shared<HotplugMonitor>(m_Options.udevMonitor);
    std::weak_ptr<HotplugMonitor> monitor = m_Monitor;
    m_Backend.setChangeListener([monitor] {
        if (auto live = monitor.lock())
            live->wake();
    });
    m_Thread = std::jthread([this](std::stop_token stop) { run(stop); });
}

void ScanThread::stop() {
    if (!m_Thread.joinable())
        return;
    m_Thread.request_stop();
    m_Monitor->wake();
    m_Thread.join();
    m_Thread = std::jthread();
    m_Backend.setChangeListener({});
}

void ScanThread::wake() {
    if (m_Monitor)
        m_Monitor->wake();
}

void ScanThread::rescan() {
    m_Rescan = true;
    wake();
}

std::chrono::milliseconds ScanThread::interval() const {
    return m_Monitor->watchingUdev() || m_Options.backendAnnounces ? m_Options.announcedPollInterval
                                                                   : m_Options.pollInterval;
}

void ScanThread::run(std::stop_token stop) {
    CHidDevice probe(m_Backend);  // private to this thread, kept for its life
    bool firstPass = true;
    while (!stop.stop_requested()) {
        if (!pass(stop, probe, firstPass)) {
            trace(
                "scan: listing the HID interfaces failed; the device scan has ended and no "
                "peripheral will be added or removed until it starts again");
            post([](ScanListener& listener) { listener.OnScanFailed(); });
            return;
        }
        if (stop.stop_requested())
            break;
        m_Monitor->wait(interval());
    }
    trace("抓取设备线程设定退出");
}

bool ScanThread::pass(const std::stop_token& stop, CHidDevice& probe, bool& firstPass) {
    const auto released = [&](int slot) {
        if (!stop.stop_requested())
            handOff(stop, [this, slot] { m_Listener.OnSlotReleased(slot); });
    };
    if (m_Rescan.exchange(false)) {
        for (std::size_t i = 0; i < m_Slots.size(); ++i) {
            if (!m_Slots[i].Connected)
                continue;
            m_Slots.ReleaseSlot(static_cast<int>(i));
            released(static_cast<int>(i));
        }
    }
    if (!m_Slots.AllSlotsBusy()) {
        const bool listed = claimPresentInterfaces(probe, m_Slots, [&](int slot) {
            if (!stop.stop_requested())
                handOff(stop, [this, slot] { m_Listener.OnSlotClaimed(slot); });
        });
        if (!listed)
            return false;
    }
    if (firstPass) {
        firstPass = false;
        post([](ScanListener& listener) { listener.OnFirstPassComplete(); });
    }
    releaseMissingInterfaces(m_Backend, m_Slots, released);
    return true;
}

void ScanThread::post(void (*call)(ScanListener&)) {
    std::weak_ptr<const bool> alive = m_Alive;
    ScanListener* listener = &m_Listener;
    m_Dispatcher.post([alive, listener, call] {
        if (alive.lock())
            call(*listener);
    });
}

bool ScanThread::handOff(const std::stop_token& stop, Dispatcher::Task task) {
    using Stage = HandOffState::Stage;
    auto state = std::make_shared<HandOffState>();
    auto dropSignal = std::make_shared<DropSignal>(state);
    m_Dispatcher.post([state, dropSignal, task = std::move(task)] {
        {
            std::lock_guard guard(state->lock);
            if (state->stage != Stage::Waiting)
                return;
            state->stage = Stage::Running;
        }
        task();
        state->set(Stage::Ran);
    });
    dropSignal.reset();

    std::unique_lock guard(state->lock);
    const auto settled = [&] {
        return state->stage == Stage::Ran || state->stage == Stage::Dropped;
    };
    if (state->changed.wait(guard, stop, settled))
        return state->stage == Stage::Ran;
    // Stopping: drop the change unless the UI thread is handling it already.
    if (state->stage == Stage::Waiting) {
        state->stage = Stage::Cancelled;
        return false;
    }
    state->changed.wait(guard, settled);
    return state->stage == Stage::Ran;
}

}  // namespace qm
