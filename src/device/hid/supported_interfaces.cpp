// The supported-interface table: every HID interface the system talks to, one row each.
// Slot n corresponds to row n for the whole run.
#include "device/hid/supported_interfaces.h"

namespace qm {

// clang-format off
const UsbInterfaceRecord g_SupportedInterfaces[11] = {
    // VID     PID     MI COL kind                 role         conn page    usage   partner
    {0x320F, 0x5055, 1, 4, DEVICE_KEYBOARD,     ROLE_COMMAND, 0, 0xFF1C, 0x0092, 1, 2, {}},
    {0x320F, 0x5055, 1, 3, DEVICE_KEYBOARD,     ROLE_EVENT,   0, 0x000C, 0x0001, 1, 3, {}},
    {0x320F, 0x5088, 1, 4, DEVICE_KEYBOARD_24G, ROLE_COMMAND, 0, 0xFF1C, 0x0092, 1, 0, {}},
    {0x320F, 0x5088, 1, 3, DEVICE_KEYBOARD_24G, ROLE_EVENT,   0, 0x000C, 0x0001, 1, 1, {}},
    {0x320F, 0x0000, 1, 4, DEVICE_MOUSE,        ROLE_COMMAND, 0, 0xFF1C, 0x0092, 1, 6, {}},
    {0x320F, 0x0000, 1, 3, DEVICE_MOUSE,        ROLE_EVENT,   0, 0x000C, 0x0001, 1, 7, {}},
    {0x320F, 0x0000, 1, 4, DEVICE_MOUSE_24G,    ROLE_COMMAND, 0, 0xFF1C, 0x0092, 1, 4, {}},
    {0x320F, 0x0000, 1, 3, DEVICE_MOUSE_24G,    ROLE_EVENT,   0, 0x000C, 0x0001, 1, 5, {}},
    {0x320F, 0x0000, 1, 4, DEVICE_MOUSEPAD,     ROLE_COMMAND, 0, 0xFF1C, 0x0092, 0, 0, {}},
    {0x320F, 0x0000, 1, 3, DEVICE_MOUSEPAD,     ROLE_EVENT,   0, 0x000C, 0x0001, 0, 0, {}},
    {0x0C76, 0x0000, 3, 0, DEVICE_HEADSET,      ROLE_COMMAND, 0, 0x000C, 0x0001, 0, 0, {}},
};
// clang-format on

}  // namespace qm
