// The state the virtual bus and its open connections share: which connections are plugged in,
// the firmware behind each, armed faults, receiver power, and the readers of every interface.
// Connections hold it by shared_ptr, so one used after the bus is gone fails cleanly.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/transport/command_report.h"
#include "emulator/identity.h"
#include "emulator/peripheral.h"
#include "emulator/report_queue.h"
#include "emulator/virtual_bus.h"

namespace qm::emu {

// One plugging-in of a connection. Its open interfaces die with it: plugging the same name in
// again makes a new Plug, as a real device comes back on new nodes.
struct Plug {
    explicit Plug(const Identity& identity)
        : identity(identity), readers(identity.interfaces.size()) {}

    const Identity& identity;
    bool present = true;                                           // guarded by the core's lock
    std::vector<std::vector<std::weak_ptr<ReportQueue>>> readers;  // per interface index
};

class BusCore {
public:
    enum class Outcome { Answered, Silent, Gone };

    BusCore(Clock& clock, TimingModel timing);

    Clock& clock() { return m_Clock; }
    const TimingModel& timing() const { return m_Timing; }

    // The firmware by its own name ("keyboard", "mouse", "mousepad", "headset").
    Peripheral* firmware(std::string_view firmwareName);
    std::vector<Peripheral*> firmwares();

    bool plug(std::string_view name);
    bool unplug(std::string_view name);
    // Every plug still present, in the order of kPeripheralNames.
    std::vector<std::shared_ptr<Plug>> plugged();
    std::shared_ptr<Plug> plugOf(std::string_view name);
    bool present(const Plug& plug);
    bool setPower(std::string_view name, bool on);
    bool peripheralOn(std::string_view name);
    bool arm(std::string_view name, FaultKind kind, int nth);
    bool emitEvent(std::string_view name, std::uint16_t code);

    // Makes queue receive the input reports of one interface; false when the plug is gone.
    bool addReader(Plug& plug, std::size_t interfaceIndex, std::shared_ptr<ReportQueue> queue);
    // One command report written to an interface: faults, receiver and firmware; the answer is
    // queued for the interface's readers. Gone when the peripheral left the bus.
    Outcome command(Plug& plug, std::size_t interfaceIndex, const report::Report& request);
    // A lighting output report; false when the plug is gone.
    bool lighting(Plug& plug, std::span<const std::uint8_t> report);
    // The bus is going away: every plug leaves (without telling the change listener).
    void unplugAll();

    // Called after a connection was plugged in or pulled out (also by a fault) and after the
    // peripheral behind a receiver was switched on or off; on the thread that made the change,
    // outside the core's lock. The listener must not call setChangeListener.
    void setChangeListener(std::function<void()> listener);

private:
    struct Slot {
        std::shared_ptr<Plug> plug;
        bool peripheralOn = true;  // receivers: the peripheral behind it
        struct Armed {
            FaultKind kind;
            int remaining;
        };
        std::vector<Armed> faults;
    };

    Slot* slotLocked(std::string_view name);
    void unplugLocked(Slot& slot);
    void deliverLocked(Plug& plug, std::size_t interfaceIndex, std::vector<std::uint8_t> report,
                       Clock::time_point readyAt);
    void notifyChanged();

    Clock& m_Clock;
    const TimingModel m_Timing;
    std::mutex m_Lock;
    std::map<std::string, Slot, std::less<>> m_Slots;
    std::map<std::string, std::unique_ptr<Peripheral>, std::less<>> m_Firmwares;
    // Held while the listener runs, so that it is not called once setChangeListener returned.
    std::mutex m_ListenerLock;
    std::function<void()> m_Listener;
};

}  // namespace qm::emu
