// A device object of quillmark-cli, set up as the app's device manager sets one up, and the
// keyboard attached and read back as the app does when it arrives.
#pragma once

#include <memory>
#include <string>

#include "cli_context.h"
#include "device/model/peripheral_devices.h"
#include "platform/data_paths.h"

namespace qm::cli {

// A device object for a peripheral kind, set up from the tables as the device manager does; its
// profile list is loaded. Null for an unknown kind.
std::unique_ptr<CTessarinUSBDevice> makeDevice(const DeviceTables& tables, std::uint16_t kind,
                                               DeviceContext& context);

// The keyboard present, with its layout, profile and settings block read back. Detached when the
// session ends.
class KeyboardSession {
public:
    explicit KeyboardSession(Context& context);
    ~KeyboardSession();
    KeyboardSession(const KeyboardSession&) = delete;
    KeyboardSession& operator=(const KeyboardSession&) = delete;

    // Finds the keyboard (its cable first, then its receiver), opens it, checks that it answers
    // and reads it back. False, with one line on stderr, when there is none, it cannot be opened,
    // it is switched off behind its receiver or it does not answer.
    bool attach();
    CTessarinKeyboardDevice& keyboard() { return *m_Keyboard; }

private:
    Context& m_Context;
    LoopDispatcher m_Dispatcher;
    DeviceContext m_DeviceContext;
    std::unique_ptr<CTessarinUSBDevice> m_Device;
    CTessarinKeyboardDevice* m_Keyboard = nullptr;
};

}  // namespace qm::cli
