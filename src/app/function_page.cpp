#include "app/function_page.h"

#include "device/hid/usb_interface_record.h"

namespace qm::app {

FunctionPageTabs functionPageTabs(int type, int kind) {
    switch (type) {
        case kTabKeys:
        case kTabVoice:
            return {0, 1};
        case kTabMacros:
        case kTabVirtual71:
            return {1, -1};
        case kTabSystem:
            // Keyboards and mice have a system sub-page of their own, on the cable and through
            // their receiver alike; other kinds show it beside the picture.
            if (kind == DEVICE_KEYBOARD || kind == DEVICE_KEYBOARD_24G || kind == DEVICE_MOUSE ||
                kind == DEVICE_MOUSE_24G)
                return {3, -1};
            return {0, 2};
        case kTabMagic:
            return {0, 2};
        case kTabCursor:
            return {2, -1};
        default:
            return {0, 0};
    }
}

}  // namespace qm::app
