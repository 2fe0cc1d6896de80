#include "app/font_faces.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

namespace qm::app {
namespace {

struct FaceCase {
    const char* what;
    int previous;
    int next;
    std::set<std::string, std::less<>> installed;
    std::optional<std::string> face;  // nullopt: kept; "": the system default
};

class FontFaceTest : public testing::TestWithParam<FaceCase> {};

TEST_P(FontFaceTest, ChoosesTheFaceOfTheSwitch) {
    const FaceCase& c = GetParam();
    const auto installed = [&c](std::string_view family) { return c.installed.contains(family); };
    EXPECT_EQ(FontFaceFor(c.previous, c.next, installed), c.face) << c.what;
}

const std::set<std::string, std::less<>> kDebian = {"DejaVu Sans", "WenQuanYi Micro Hei",
                                                    "Noto Sans Thai"};

INSTANTIATE_TEST_SUITE_P(
    Switches, FontFaceTest,
    testing::Values(FaceCase{"first start, Simplified Chinese", -1, 0, kDebian,
                             "WenQuanYi Micro Hei"},
                    FaceCase{"preferred Chinese face first",
                             -1,
                             0,
                             {"Droid Sans Fallback", "Noto Sans CJK SC"},
                             "Noto Sans CJK SC"},
                    FaceCase{"no Chinese face installed", -1, 0, {}, ""},
                    FaceCase{"Thai", 0, 15, kDebian, "Noto Sans Thai"},
                    FaceCase{"leaving Thai", 15, 5, kDebian, ""},
                    FaceCase{"between plain languages", 5, 6, kDebian, std::nullopt},
                    FaceCase{"leaving Traditional Chinese", 2, 1, kDebian, ""},
                    FaceCase{"leaving Simplified Chinese", 0, 1, kDebian, ""},
                    FaceCase{"first start, plain language", -1, 3, kDebian, ""},
                    FaceCase{"Traditional Chinese", 1, 2, kDebian, "Noto Sans CJK TC"}),
    [](const testing::TestParamInfo<FaceCase>& info) { return std::to_string(info.index); });

}  // namespace
}  // namespace qm::app
