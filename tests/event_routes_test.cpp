#include "app/event_routes.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <utility>

namespace qm::app {
namespace {

struct RouteCase {
    const char* type;
    const char* name;
    bool found;
    Route target;
    int index;
    bool actsOnDevice;
};

void PrintTo(const RouteCase& c, std::ostream* os) {
    *os << c.type << " " << c.name;
}

class RouteEventTest : public testing::TestWithParam<RouteCase> {};

TEST_P(RouteEventTest, GoesToItsTarget) {
    const RouteCase& c = GetParam();
    const RoutedEvent routed = routeEvent(c.type, c.name);
    ASSERT_EQ(routed.found, c.found);
    if (!c.found)
        return;
    EXPECT_EQ(routed.target, c.target);
    EXPECT_EQ(routed.index, c.index);
    EXPECT_EQ(routed.actsOnDevice, c.actsOnDevice);
}

constexpr bool kDevice = true;
constexpr bool kWindow = false;
constexpr Route kNone = Route::CloseToTray;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rows, RouteEventTest, testing::Values(
    // Indexed prefixes carry the name's index; prefixes ignore case.
    RouteCase{"click", "key_12", true, Route::SelectKey, 12, kDevice},
    RouteCase{"click", "KEY_0", true, Route::SelectKey, 0, kDevice},
    RouteCase{"click", "windowdeviceset_1", true, Route::OpenSystemDeviceSettings, 1, kWindow},
    RouteCase{"click", "dpi_color_option_4", true, Route::DpiStageColour, 4, kDevice},
    RouteCase{"valuechanged", "DPI_slider_3", true, Route::DpiSlider, 3, kDevice},
    RouteCase{"movevaluechanged", "DPI_slider_3", true, Route::DpiSliderDrag, 3, kDevice},
    RouteCase{"movevaluechanged", "velto_DPI_slider_2", true, Route::VeltoDpiSliderDrag, 2, kDevice},
    RouteCase{"killfocus", "velto_DPI_edit_5", true, Route::VeltoDpiEdit, 5, kDevice},
    RouteCase{"selectchanged", "6533_eq_option_9", true, Route::EqPreset, 9, kDevice},
    RouteCase{"selectchanged", "polling_rate_option_07", true, Route::PollingRate, 7, kDevice},
    // Fixed names ignore case, except the four "macro_inset_" buttons.
    RouteCase{"click", "closebtn", true, Route::CloseToTray, 0, kWindow},
    RouteCase{"click", "CloseBtn", true, Route::CloseToTray, 0, kWindow},
    RouteCase{"click", "device_add_btn", true, Route::ProfileAdd, 0, kDevice},
    RouteCase{"click", "default_btn", true, Route::RestoreDefaults, 0, kDevice},
    RouteCase{"click", "music_setting_btn", true, Route::OpenMusicLighting, 0, kWindow},
    RouteCase{"click", "Close_bkColor_btn", true, Route::OpenMusicLighting, 0, kWindow},
    RouteCase{"click", "macro_inset_moveupkey_btn", true, Route::MacroInsertMoveUp, 0, kDevice},
    RouteCase{"click", "Macro_Inset_MoveUpKey_Btn", false, kNone, 0, false},
    RouteCase{"click", "MACRO_BTN_SAVE", true, Route::MacroSave, 0, kDevice},
    // Fixed routes with an argument: the tab type, the colour channel.
    RouteCase{"selectchanged", "deng_Op_tab", true, Route::SetFunctionPage, 1, kDevice},
    RouteCase{"selectchanged", "Virtual7.1_Op_tab", true, Route::SetFunctionPage, 8, kDevice},
    RouteCase{"killfocus", "deng_edit_B", true, Route::ColourChannelEdit, 2, kDevice},
    RouteCase{"valuechanged", "G_light_slider", true, Route::AudioColourSlider, 1, kWindow},
    RouteCase{"selectchanged", "device_select", true, Route::SelectorEntrySelected, 0, kWindow},
    RouteCase{"itemselect", "device_profile_combo", true, Route::ProfileSelect, 0, kDevice},
    RouteCase{"colorchanged", "deng_audioColor_Pallet", true, Route::AudioPaletteColour, 0, kDevice},
    RouteCase{"setfocus", "keyset_keyboard_text_edit", true, Route::KeyTextFocus, 0, kDevice},
    RouteCase{"click_select_end", "mouse_device_key_light", true, Route::RubberBandSelect, 0, kDevice},
    // A name routes only under its own event type.
    RouteCase{"click", "DPI_slider_3", false, kNone, 0, false},
    RouteCase{"valuechanged", "closebtn", false, kNone, 0, false},
    RouteCase{"textchanged", "keyset_keyboard_text_edit", false, kNone, 0, false},
    RouteCase{"Click", "closebtn", false, kNone, 0, false},
    // Names that split badly or name nothing.
    RouteCase{"click", "key_", false, kNone, 0, false},
    RouteCase{"click", "key_x1", false, kNone, 0, false},
    RouteCase{"click", "key_99999999999", false, kNone, 0, false},
    RouteCase{"click", "key_Op_tab", false, kNone, 0, false},
    RouteCase{"click", "mykey_1", false, kNone, 0, false},
    RouteCase{"click", "closebtn_1", false, kNone, 0, false},
    RouteCase{"click", "", false, kNone, 0, false}));
// clang-format on

struct SplitCase {
    const char* name;
    bool ok;
    const char* prefix;
    int index;
};

class SplitControlNameTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitControlNameTest, SplitsAtTheLastUnderscore) {
    const SplitCase& c = GetParam();
    const auto split = splitControlName(c.name);
    ASSERT_EQ(split.has_value(), c.ok) << c.name;
    if (c.ok) {
        EXPECT_EQ(split->prefix, c.prefix);
        EXPECT_EQ(split->index, c.index);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Names, SplitControlNameTest, testing::Values(
    SplitCase{"key_12", true, "key_", 12},
    SplitCase{"DPI_slider_3", true, "DPI_slider_", 3},
    SplitCase{"_0", true, "_", 0},
    SplitCase{"key_2147483647", true, "key_", 2147483647},
    SplitCase{"key_2147483648", false, "", 0},
    SplitCase{"key_", false, "", 0},
    SplitCase{"key", false, "", 0},
    SplitCase{"", false, "", 0},
    SplitCase{"key_-1", false, "", 0},
    SplitCase{"key_+1", false, "", 0},
    SplitCase{"key_1 ", false, "", 0},
    SplitCase{"key_1a", false, "", 0}));
// clang-format on

TEST(EventRoutesTable, PrefixesEndInUnderscoreAndNoRowShadowsAnother) {
    std::set<std::pair<std::string, std::string>> seen;
    for (const EventRoute& route : eventRoutes()) {
        if (route.match == RouteMatch::Indexed)
            EXPECT_TRUE(route.name.ends_with('_')) << route.name;
        else
            EXPECT_FALSE(splitControlName(route.name).has_value()) << route.name;
        std::string lowered(route.name);
        for (char& c : lowered)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(seen.emplace(std::string(route.type), lowered).second)
            << route.type << " " << route.name;
    }
}

}  // namespace
}  // namespace qm::app
