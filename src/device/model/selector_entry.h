// One entry of the device selector, as model state (the desktop app draws it), and the timers
// that each entry runs.
#pragma once

#include <chrono>
#include <memory>

#include "device/hid/usb_interface_record.h"
#include "device/model/tessarin_usb_device.h"

namespace qm {

// Timers of a selector entry: one-shot dispatcher timers; a handler re-arms its own timer.
inline constexpr int kTimerLighting = 1000;     // host lighting frames
inline constexpr int kTimerAttach = 1001;       // read the device back after it arrived
inline constexpr int kTimerPowerStatus = 1005;  // battery and charging state
inline constexpr int kTimerPresence = 1007;     // is the peripheral behind the receiver on?
inline constexpr int kTimerLinkProbe = 1100;    // link queries after a switch to the receiver

// Their periods.
inline constexpr std::chrono::milliseconds kAttachDelay{500};
inline constexpr std::chrono::milliseconds kAttachRetry{3000};
inline constexpr std::chrono::milliseconds kFirstFrame{5};
inline constexpr std::chrono::milliseconds kCableFrame{10};
inline constexpr std::chrono::milliseconds kReceiverFrame{100};
inline constexpr std::chrono::milliseconds kFirstPowerRead{50};
inline constexpr std::chrono::milliseconds kPowerReadPeriod{5000};
inline constexpr std::chrono::milliseconds kFirstPresenceCheck{2000};
inline constexpr std::chrono::milliseconds kPresencePeriod{3000};
inline constexpr std::chrono::milliseconds kLinkProbeGap{50};
inline constexpr int kLinkProbes = 26;

struct SelectorEntry {
    std::unique_ptr<CTessarinUSBDevice> device;  // the entry owns its device object
    int optionRow = -1;                          // row of the DeviceOptionInfo table
    int kind = 0;
    int variant = 0;
    bool visible = true;  // creation hides it until the peripheral arrives
    bool syncChecked = false;
    int powerDisplayIndex = -1;
    UsbInterfaceRecord record;  // the slot record the entry was created for (the cable slot)
};

// What the power display of an entry shows.
struct PowerDisplay {
    int kind = 0;
    int variant = 0;
};

}  // namespace qm
