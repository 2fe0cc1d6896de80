// The virtual peripherals, as a USB bus in this process: the device side of the protocol for the
// keyboard, the mouse (each on its cable and behind its receiver), the mousepad and the headset.
// The bus is a HID backend, so the host reaches it through the same calls as real hardware.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "device/hid/hid_backend.h"
#include "platform/clock.h"

namespace qm::emu {

class Peripheral;

// Names on the bus: "keyboard", "keyboard-receiver", "mouse", "mouse-receiver", "mousepad",
// "headset". A peripheral and its receiver are two connections of one firmware: settings written
// through either are the same settings.
extern const char* const kPeripheralNames[6];
bool isPeripheralName(std::string_view name);
// Parses a comma list of names; "" means the default set keyboard,mouse,mousepad,headset.
// False, with a message naming the bad entry, when a name is unknown.
bool parsePeripheralList(std::string_view list, std::vector<std::string>& names,
                         std::string& error);

// What one report exchange costs: by default 1 ms out and 1 ms back, a full-speed interrupt
// endpoint. Tests set both to 0.
struct TimingModel {
    std::chrono::microseconds out{1000};
    std::chrono::microseconds back{1000};
};

enum class FaultKind {
    NoAnswer,   // the request is taken, no answer comes
    WrongEcho,  // the answer carries another command code
    StatusFE,   // the answer carries status 0xFE
    StatusFF,   // the answer carries status 0xFF
    Unplug,     // the peripheral leaves the bus on that report, mid-transfer
    PowerOff,   // the peripheral behind a receiver switches off on that report
};
bool parseFaultKind(std::string_view text, FaultKind& kind);

class VirtualBus final : public hid::HidBackend {
public:
    struct Options {
        // Folder of the persisted firmware memory; empty keeps memory for this run only.
        std::string stateDir;
        TimingModel timing;
        // The system clock when null. With a FakeClock nothing waits in real time: the report
        // timing and the time-outs of reads on an empty queue advance the fake clock instead.
        Clock* clock = nullptr;
    };

    explicit VirtualBus(Options options);
    ~VirtualBus() override;

    // The default state folder: $XDG_STATE_HOME/Quillmark/virtual
    static std::string defaultStateDir();

    // The path of a connection's command collection, and of its event collection, as enumerate
    // lists them while it is plugged in (for example
    // "virtual:keyboard#vid_320f&pid_5055&mi_01&col04"); empty for an unknown name and for the
    // event path of the headset, which has no event collection.
    static std::string commandPath(std::string_view name);
    static std::string eventPath(std::string_view name);

    // Plugs a connection in; false for an unknown name or one already plugged.
    bool plug(std::string_view name);
    // Pulls it out: its open interfaces fail from now on. False when it was not plugged.
    bool unplug(std::string_view name);
    bool isPlugged(std::string_view name) const;
    // Switches the peripheral behind a receiver ("keyboard-receiver", "mouse-receiver") on or off.
    bool setPower(std::string_view name, bool on);
    // Whether the peripheral behind a receiver is on (true for a cable connection, false for an
    // unknown name).
    bool isPowered(std::string_view name) const;
    // Arms a fault on the nth command report (1 = the next) that the named connection receives.
    // False for an unknown name, nth < 1, or PowerOff on a connection that is not a receiver.
    bool injectFault(std::string_view name, FaultKind kind, int nth = 1);
    // Sends an event code on the connection's event interface: the input report
    // [3, code low, code high]. False when it is not plugged, has no event collection (the
    // headset) or is a receiver whose peripheral is off.
    bool emitEvent(std::string_view name, std::uint16_t code);

    // The firmware behind a connection ("keyboard" and "keyboard-receiver" give the same one),
    // for tests and tools that look at or change the device side; nullptr when unknown.
    Peripheral* firmware(std::string_view name);

    // Writes every peripheral's memory to the state folder; true when there is no state folder.
    // Destruction writes the memory that changed. The bus loads the files at construction; a
    // file that cannot be parsed is kept aside and that peripheral starts from factory memory.
    bool save();
    // Restores factory memory for every peripheral and removes the saved files.
    bool resetState();

    // HidBackend.
    bool enumerate(std::vector<std::string>& paths) override;
    int open(const std::string& path, bool forRead, bool forWrite,
             std::unique_ptr<hid::HidConnection>& connection, hid::InterfaceInfo& info) override;
    bool exists(const std::string& path) override;
    // Fires after a plug, an unplug (also by a fault) and a switch of a receiver's peripheral.
    void setChangeListener(std::function<void()> listener) override;

private:
    struct State;
    std::unique_ptr<State> m_State;
};

}  // namespace qm::emu
