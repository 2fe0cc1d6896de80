// How the device manager tells the rest of the program (the desktop window, quillmark-cli watch)
// what happened. Every notification arrives on the UI thread, from inside the manager's own
// handling: an observer may read the manager's state but should not change it from there.
#pragma once

#include "device/model/power_status.h"

namespace qm {

class CTessarinUSBDevice;

enum class ManagerEvent {
    FirstPassComplete,  // the first scan pass is done: the window may show
    RaiseWindow,        // a peripheral arrived: restore and raise the window
    ScanFailed,         // the scan has ended; nothing is added or removed any more
    EntryShown,
    EntryHidden,
    EntrySelected,
    EntryClosing,  // the selected entry is about to hide: close its child windows, end recording
    Arrived,       // the command interface was opened on slot
    OpenFailed,    // the command interface of slot could not be opened; the device stays closed
    Attached,      // read back from the peripheral (OnAttached ran)
    Departed,      // the peripheral left; the device is closed
    Switched,      // the device now talks through the other connection, on slot
    Online,        // the peripheral behind the receiver answers
    Offline,       // the peripheral behind the receiver does not answer
    PowerStatus,   // a status block was read
};

const char* managerEventName(ManagerEvent event);

struct ManagerChange {
    ManagerEvent event = ManagerEvent::FirstPassComplete;
    int entry = -1;                        // the selector entry, or -1
    CTessarinUSBDevice* device = nullptr;  // the entry's device, or null
    int slot = -1;                         // the slot concerned, or -1
    bool receiver = false;                 // the connection concerned is the receiver
    PowerStatus power;                     // PowerStatus only
};

class DeviceManagerObserver {
public:
    virtual ~DeviceManagerObserver() = default;
    virtual void OnManagerChange(const ManagerChange& change) = 0;
};

}  // namespace qm
