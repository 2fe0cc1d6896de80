// The device scan: a background thread that claims a slot for every supported interface that
// arrives and releases the slot of every one that leaves, and hands each change to the UI thread,
// which has handled it before the scan goes on. Only this thread writes the slots while it runs.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "device/hid/device_slots.h"
#include "device/hid/hid_backend.h"
#include "device/hid/hid_device.h"
#include "device/model/dispatcher.h"

namespace qm {

class HotplugMonitor;

// Who hears of the scan's changes; every call runs on the UI thread.
class ScanListener {
public:
    virtual ~ScanListener() = default;
    // A slot was claimed (released); the scan waits until the call returns, so the handler may
    // read the slots.
    virtual void OnSlotClaimed(int slot) = 0;
    virtual void OnSlotReleased(int slot) = 0;
    // The first pass is complete (posted, once).
    virtual void OnFirstPassComplete() = 0;
    // Listing the interfaces failed and the scan has ended: no peripheral will be added or
    // removed until the scan is started again (posted).
    virtual void OnScanFailed() = 0;
};

class ScanThread {
public:
    struct Options {
        // Between passes when nothing announces changes.
        std::chrono::milliseconds pollInterval{100};
        // Between passes while udev or the backend announces changes: only a safety net.
        std::chrono::milliseconds announcedPollInterval{1000};
        // Wake on udev's hidraw add and remove events (real hardware only).
        bool udevMonitor = true;
        // The backend calls its change listener on every arrival and departure.
        bool backendAnnounces = false;
    };

    // backend, slots, dispatcher and listener must outlive the scan.
    ScanThread(hid::HidBackend& backend, DeviceSlots& slots, Dispatcher& dispatcher,
               ScanListener& listener, Options options);
    // Stops the scan.
    ~ScanThread();
    ScanThread(const ScanThread&) = delete;
    ScanThread& operator=(const ScanThread&) = delete;

    // Starts the thread; it makes its first pass at once. No effect while it runs.
    void start();
    // Stops and joins the thread. Never hangs: a change waiting for the UI thread is dropped,
    // so stop may be called on the UI thread itself, and before or after the UI loop stops.
    void stop();
    // Thread-safe: makes the next pass happen now.
    void wake();
    // Thread-safe: at the next pass, releases every claimed slot and claims again what is
    // present, so that changes the UI thread ignored (while the system was suspended) are seen.
    void rescan();

private:
    void run(std::stop_token stop);
    // One pass; false when the listing failed.
    bool pass(const std::stop_token& stop, CHidDevice& probe, bool& firstPass);
    // Posts a call of the listener that is dropped once this scan is gone.
    void post(void (*call)(ScanListener&));
    // Runs task on the UI thread and waits until it has run. False, without running it, when the
    // scan is stopping or the UI loop dropped it.
    bool handOff(const std::stop_token& stop, Dispatcher::Task task);
    std::chrono::milliseconds interval() const;

    hid::HidBackend& m_Backend;
    DeviceSlots& m_Slots;
    Dispatcher& m_Dispatcher;
    ScanListener& m_Listener;
    Options m_Options;
    std::shared_ptr<HotplugMonitor> m_Monitor;  // shared with the backend's change listener
    std::atomic<bool> m_Rescan{false};
    std::shared_ptr<const bool> m_Alive = std::make_shared<const bool>(true);  // reset when gone
    std::jthread m_Thread;
};

}  // namespace qm
