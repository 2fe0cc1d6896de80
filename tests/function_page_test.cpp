// The sub-pages each function tab shows, by tab type and device kind.
#include "app/function_page.h"

#include <gtest/gtest.h>

#include "device/hid/usb_interface_record.h"

namespace qm::app {
namespace {

struct FunctionPageCase {
    int type;
    int kind;
    FunctionPageTabs tabs;
};

void PrintTo(const FunctionPageCase& c, std::ostream* os) {
    *os << "type " << c.type << " kind " << c.kind;
}

class FunctionPageTest : public testing::TestWithParam<FunctionPageCase> {};

TEST_P(FunctionPageTest, ShowsItsSubPages) {
    const FunctionPageCase& c = GetParam();
    EXPECT_EQ(functionPageTabs(c.type, c.kind), c.tabs);
}

INSTANTIATE_TEST_SUITE_P(
    Tabs, FunctionPageTest,
    testing::Values(FunctionPageCase{kTabLighting, DEVICE_KEYBOARD, {0, 0}},
                    FunctionPageCase{kTabKeys, DEVICE_KEYBOARD, {0, 1}},
                    FunctionPageCase{kTabVoice, DEVICE_HEADSET, {0, 1}},
                    FunctionPageCase{kTabMacros, DEVICE_MOUSE, {1, -1}},
                    FunctionPageCase{kTabVirtual71, DEVICE_HEADSET, {1, -1}},
                    FunctionPageCase{kTabCursor, DEVICE_MOUSE, {2, -1}},
                    FunctionPageCase{kTabMagic, DEVICE_HEADSET, {0, 2}},
                    // The system sub-page of keyboards and mice, through the receiver too.
                    FunctionPageCase{kTabSystem, DEVICE_KEYBOARD, {3, -1}},
                    FunctionPageCase{kTabSystem, DEVICE_MOUSE, {3, -1}},
                    FunctionPageCase{kTabSystem, DEVICE_KEYBOARD_24G, {3, -1}},
                    FunctionPageCase{kTabSystem, DEVICE_MOUSE_24G, {3, -1}},
                    FunctionPageCase{kTabSystem, DEVICE_HEADSET, {0, 2}},
                    // Anything else shows the first sub-pages.
                    FunctionPageCase{0, DEVICE_MOUSEPAD, {0, 0}},
                    FunctionPageCase{9, DEVICE_KEYBOARD, {0, 0}}));

}  // namespace
}  // namespace qm::app
