// The key settings page: codes built from and shown in its controls, and its model.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "keys/key_assignment_model.h"
#include "keys/key_function_tables.h"
#include "keys/key_page.h"
#include "keys/keyboard_key_table.h"

namespace qm::keys {
namespace {

constexpr KeyCode kUnrelated{0x40, 0x01, 0x00};  // a current record the build must not keep
constexpr KeyCode kDefault{0x20, 0x00, 0x29};
const KeyPageContext kKeyboard{kKeyboardDeviceType, 3};
const KeyPageContext kMouse{kMouseDeviceType, 3};

KeyPageControls inCategory(int category) {
    KeyPageControls controls;
    controls.category = category;
    return controls;
}

KeyCode build(const KeyPageControls& controls, KeyCode current = kUnrelated) {
    return BuildCode(controls, current, kDefault, kKeyboard);
}

TEST(BuildCode, MovementAndWheelCountsStayInTheirFields) {
    KeyPageControls swing = inCategory(KeyCategory::MouseSwing);
    swing.swingDelay = 3;
    swing.swingSpeed = 20;  // only the low four bits count
    swing.swingCount = 5;
    swing.swingDirection = 1;
    EXPECT_EQ(build(swing), (KeyCode{0x11, 0x34, 0x85}));
    swing.swingCount = 200;  // would wrap to 72 and lose its direction bit
    EXPECT_EQ(build(swing).b2, 0xFF);
    swing.swingDirection = 0;
    EXPECT_EQ(build(swing).b2, 0x7F);
    swing.swingCount = -4;
    EXPECT_EQ(build(swing).b2, 0x00);

    struct WheelCase {
        int direction;
        int count;
        std::uint8_t b2;
    };
    const WheelCase wheels[] = {
        {1, 10, 0xF6},  {0, 10, 0x0A},  {0, 500, 0x7F}, {0, -1, 0x00},
        {1, 128, 0x80}, {1, 500, 0x80}, {1, 0, 0x00},  // a downward 0 would be 0x80, 128 steps down
    };
    KeyPageControls wheel = inCategory(KeyCategory::Wheel);
    wheel.wheelDelay = 2;
    wheel.wheelSpeed = 1;
    for (const WheelCase& c : wheels) {
        SCOPED_TRACE(c.count);
        wheel.wheelDirection = c.direction;
        wheel.wheelCount = c.count;
        EXPECT_EQ(build(wheel), (KeyCode{0x12, 0x21, c.b2}));
    }
}

TEST(BuildCode, OtherNumbersAreClampedToAByte) {
    KeyPageControls fire = inCategory(KeyCategory::Fire);
    fire.fireInterval = 300;
    fire.fireShots = -2;
    EXPECT_EQ(build(fire), (KeyCode{0x14, 0xFF, 0x00}));

    KeyPageControls macro = inCategory(KeyCategory::Macro);
    macro.macroRow = 2;
    macro.macroPlayMode = kRepeatPlayMode;
    macro.macroRepeat = 3;
    EXPECT_EQ(build(macro), (KeyCode{0x71, 0x02, 0x03}));
    macro.macroRepeat = 999;
    EXPECT_EQ(build(macro), (KeyCode{0x71, 0x02, 0xFF}));
    macro.macroPlayMode = 2;
    EXPECT_EQ(build(macro), (KeyCode{0x70, 0x02, 0x02}));
}

TEST(BuildCode, KeyboardKeyTakesOptionAndCapturedKey) {
    KeyPageControls keys = inCategory(KeyCategory::KeyboardKey);
    keys.modifierOption = ModifierOption::Ctrl;
    EXPECT_EQ(build(keys), (KeyCode{0x20, 0x01, 0x00}));  // Ctrl alone
    ASSERT_TRUE(CaptureKeyRow(keys, 8));                  // A
    keys.modifierOption = ModifierOption::Shift;
    EXPECT_EQ(build(keys), (KeyCode{0x20, 0x02, 0x04}));
    keys.modifierOption = ModifierOption::Win;
    EXPECT_EQ(build(keys), (KeyCode{0x20, 0x08, 0x04}));
    keys.modifierOption = ModifierOption::None;
    EXPECT_EQ(build(keys), (KeyCode{0x20, 0x00, 0x04}));
    keys.modifierOption = 9;  // no such option
    EXPECT_EQ(build(keys), (KeyCode{0x20, 0x00, 0x04}));
}

TEST(BuildCode, RowsPickTheirTableCodes) {
    KeyPageControls controls = inCategory(KeyCategory::MouseKey);
    controls.mouseKeyRow = 2;
    EXPECT_EQ(build(controls), kMouseKeys[2].code);
    controls = inCategory(KeyCategory::Media);
    controls.mediaRow = 1;
    EXPECT_EQ(build(controls), (KeyCode{0x30, 0xCD, 0x00}));
    controls = inCategory(KeyCategory::System);
    controls.systemRow = 1;
    EXPECT_EQ(build(controls), (KeyCode{0x40, 0x02, 0x00}));
    controls = inCategory(KeyCategory::CombinationKey);
    controls.combinationRow = 4;
    EXPECT_EQ(build(controls), (KeyCode{0x20, 0x01, 0x06}));
    controls = inCategory(KeyCategory::GunKey);
    controls.gunKeyRow = 3;
    EXPECT_EQ(build(controls), (KeyCode{0x72, 0x03, 0x00}));
}

TEST(BuildCode, MissingRowKeepsTheCurrentRecord) {
    struct Case {
        const char* name;
        KeyPageControls controls;
    };
    KeyPageControls noMacro = inCategory(KeyCategory::Macro);
    KeyPageControls macroGone = inCategory(KeyCategory::Macro);
    macroGone.macroRow = 3;  // the context knows 3 macros: 0-2
    KeyPageControls badMode = inCategory(KeyCategory::Macro);
    badMode.macroRow = 0;
    badMode.macroPlayMode = -1;
    KeyPageControls noCombination = inCategory(KeyCategory::CombinationKey);
    KeyPageControls mouseRowOut = inCategory(KeyCategory::MouseKey);
    mouseRowOut.mouseKeyRow = 5;
    KeyPageControls mediaRowOut = inCategory(KeyCategory::Media);
    mediaRowOut.mediaRow = 18;
    const Case cases[] = {
        {"no macro", noMacro},
        {"macro beyond the list", macroGone},
        {"no play mode", badMode},
        {"no combination", noCombination},
        {"mouse row beyond", mouseRowOut},
        {"media row beyond", mediaRowOut},
        {"no category", inCategory(KeyCategory::None)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(build(c.controls), kUnrelated);
    }
    EXPECT_EQ(BuildCode(noMacro, kUnrelated, kDefault, {kKeyboardDeviceType, 0}), kUnrelated);
    EXPECT_EQ(build(inCategory(42)), kDefault);  // a category the page does not know
}

// A shown code builds back into itself, so leaving an edit or the capture edit untouched never
// rewrites a key.
class ShowThenBuild : public ::testing::TestWithParam<KeyCode> {};

TEST_P(ShowThenBuild, GivesTheSameCode) {
    const KeyCode code = GetParam();
    const KeyPageControls shown = ShowCode(KeyPageControls{}, code, kKeyboard);
    EXPECT_EQ(BuildCode(shown, code, kDefault, kKeyboard), code);
    // Whatever the previous key left in the controls.
    KeyPageControls stale = ShowCode(KeyPageControls{}, {0x20, 0x01, 0x06}, kKeyboard);
    stale.macroRow = 1;
    EXPECT_EQ(BuildCode(ShowCode(stale, code, kKeyboard), code, kDefault, kKeyboard), code);
}

INSTANTIATE_TEST_SUITE_P(Codes, ShowThenBuild,
                         ::testing::Values(KeyCode{0x10, 0x04, 0x00}, KeyCode{0x11, 0x34, 0x85},
                                           KeyCode{0x12, 0x21, 0xF6}, KeyCode{0x12, 0x21, 0x80},
                                           KeyCode{0x14, 0x10, 0x05}, KeyCode{0x20, 0x00, 0x29},
                                           KeyCode{0x20, 0x01, 0x00}, KeyCode{0x20, 0x20, 0x04},
                                           KeyCode{0x20, 0x03, 0x06}, KeyCode{0x20, 0x81, 0x06},
                                           KeyCode{0x20, 0x00, 0x68}, KeyCode{0x30, 0xCD, 0x00},
                                           KeyCode{0x40, 0x02, 0x00}, KeyCode{0x70, 0x01, 0x02},
                                           KeyCode{0x70, 0x07, 0x00}, KeyCode{0x71, 0x01, 0x03},
                                           KeyCode{0x13, 0x01, 0x00}, KeyCode{0xA0, 0x01, 0x00},
                                           KeyCode{0xD0, 0xA2, 0x02}, KeyCode{0x23, 0x00, 0x00}));

TEST(ShowCode, SetsTheControlsOfTheCode) {
    KeyPageControls c = ShowCode({}, {0x12, 0x21, 0xF6}, kKeyboard);
    EXPECT_EQ(c.category, KeyCategory::Wheel);
    EXPECT_EQ(c.wheelDirection, 1);
    EXPECT_EQ(c.wheelCount, 10);
    EXPECT_EQ(c.wheelDelay, 2);
    EXPECT_EQ(c.wheelSpeed, 1);

    // Right-hand modifiers select the option of the left-hand one.
    c = ShowCode({}, {0x20, 0x20, 0x04}, kKeyboard);
    EXPECT_EQ(c.category, KeyCategory::KeyboardKey);
    EXPECT_EQ(c.modifierOption, ModifierOption::Shift);
    EXPECT_EQ(c.keyUsage, 0x04);
    EXPECT_EQ(ShowCode({}, {0x20, 0x03, 0x06}, kKeyboard).modifierOption,
              ModifierOption::Unselected);
    EXPECT_EQ(ShowCode({}, {0x20, 0x00, 0x06}, kKeyboard).modifierOption, ModifierOption::None);
    // Several modifiers with right Win: no combination row has them, so a keyboard key.
    EXPECT_EQ(ShowCode({}, {0x20, 0x81, 0x06}, kKeyboard).category, KeyCategory::KeyboardKey);

    c = ShowCode({}, {0x71, 0x01, 0x09}, kKeyboard);
    EXPECT_EQ(c.category, KeyCategory::Macro);
    EXPECT_EQ(c.macroRow, 1);
    EXPECT_TRUE(MacroRepeatVisible(c));
    EXPECT_EQ(c.macroRepeat, 9);
    c = ShowCode(c, {0x70, 0x05, 0x01}, kKeyboard);  // macro 5 of 3
    EXPECT_EQ(c.macroRow, -1);
    EXPECT_EQ(c.macroPlayMode, 1);
    EXPECT_FALSE(MacroRepeatVisible(c));

    EXPECT_EQ(ShowCode({}, {0x30, 0xE9, 0x00}, kKeyboard).mediaRow, 6);
    EXPECT_EQ(ShowCode({}, {0x30, 0x99, 0x00}, kKeyboard).mediaRow, -1);
}

TEST(ShowCode, CategoriesTheDeviceLacksSelectNone) {
    const KeyPageControls previous = inCategory(KeyCategory::Media);
    KeyPageControls dpi = ShowCode(previous, {0x13, 0x01, 0x00}, kKeyboard);
    EXPECT_EQ(dpi.category, KeyCategory::None);
    dpi = ShowCode(previous, {0x13, 0x01, 0x00}, kMouse);
    EXPECT_EQ(dpi.category, KeyCategory::Dpi);
    EXPECT_EQ(dpi.dpiRow, 0);
    EXPECT_EQ(ShowCode(previous, {0x72, 0x01, 0x00}, kKeyboard).category, KeyCategory::None);
    EXPECT_EQ(ShowCode(previous, {0xA0, 0x01, 0x00}, kMouse).category, KeyCategory::None);

    EXPECT_FALSE(IsCategoryVisible(kKeyboardDeviceType, KeyCategory::Dpi));
    EXPECT_FALSE(IsCategoryVisible(kKeyboardDeviceType, KeyCategory::GunKey));
    EXPECT_TRUE(IsCategoryVisible(kKeyboardDeviceType, KeyCategory::CombinationKey));
    EXPECT_TRUE(IsCategoryVisible(kMouseDeviceType, KeyCategory::GunKey));
    EXPECT_FALSE(IsCategoryVisible(kMouseDeviceType, 12));
}

TEST(KeyPageControls, CaptureAndCategoryChange) {
    KeyPageControls c = ShowCode({}, {0x20, 0x20, 0x04}, kKeyboard);
    c = ChangeCategory(c, KeyCategory::KeyboardKey);
    EXPECT_EQ(c.keyUsage, 0);
    EXPECT_EQ(c.modifierOption, ModifierOption::Unselected);
    EXPECT_EQ(build(c), (KeyCode{0x20, 0x00, 0x00}));

    ASSERT_TRUE(CaptureKeyRow(c, 4));  // right Ctrl alone
    EXPECT_EQ(c.modifierOption, ModifierOption::Ctrl);
    EXPECT_EQ(build(c), (KeyCode{0x20, 0x10, 0x00}));
    ASSERT_TRUE(CaptureKeyRow(c, 45));  // then Esc keeps it
    EXPECT_EQ(build(c), (KeyCode{0x20, 0x10, 0x29}));
    EXPECT_FALSE(CaptureKeyRow(c, 119));  // volume up is no keyboard key
    EXPECT_FALSE(CaptureKeyRow(c, -1));
    EXPECT_FALSE(CaptureKeyRow(c, 500));
    EXPECT_EQ(build(c), (KeyCode{0x20, 0x10, 0x29}));

    const TranslateFn translate = [](std::string_view key) { return "<" + std::string(key) + ">"; };
    EXPECT_EQ(KeyEditCaption(c, translate), "<keyboard_key_Esc>");
    c.keyUsage = 0x68;
    EXPECT_EQ(KeyEditCaption(c, translate), "200068");
    c.keyUsage = 0;
    EXPECT_EQ(KeyEditCaption(c, translate), "");
}

TEST(KeyPageControls, EditTextsReadAsNumbers) {
    const std::pair<const char*, int> cases[] = {
        {"12", 12},
        {"  7", 7},
        {"-3", -3},
        {"+4", 4},
        {"abc", 0},
        {"", 0},
        {"12ab", 12},
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ReadEditNumber(text), value) << text;
}

// The model, on a small list whose positions hold distinct codes.
class KeyAssignmentModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        const KeyCode codes[][2] = {
            {{0x20, 0x00, 0x29}, {0x20, 0x00, 0x29}},  // 0: Esc
            {{0x20, 0x20, 0x04}, {0x20, 0x00, 0x04}},  // 1: right Shift + A, by default A
            {{0x30, 0xCD, 0x00}, {0xA0, 0x01, 0x00}},  // 2: play, by default FN
        };
        std::vector<KeyAssignmentRecord> list;
        for (std::uint16_t p = 0; p < 3; ++p)
            list.push_back({MakeAssignment(p, codes[p][0]), MakeAssignment(p, codes[p][1])});
        model.SetAssignments(list);
        model.SetMacroNames({"Walk", "Reload"});
    }

    KeyCode assigned(int position) const {
        return KeyCodeOf(model.assignments()[static_cast<std::size_t>(position)].current);
    }

    KeyAssignmentModel model;
};

TEST_F(KeyAssignmentModelTest, PositionsOutsideTheListAreIgnored) {
    EXPECT_FALSE(model.ApplySelection());  // nothing selected yet
    EXPECT_FALSE(model.Cancel());
    EXPECT_FALSE(model.SelectKey(3));
    EXPECT_FALSE(model.SelectKey(-1));
    EXPECT_EQ(model.selectedPosition(), -1);
    EXPECT_TRUE(model.SelectKey(1));
    EXPECT_FALSE(model.SelectKey(170));
    EXPECT_EQ(model.selectedPosition(), 1);
    EXPECT_FALSE(model.actionsEnabled());
}

TEST_F(KeyAssignmentModelTest, ApplyStoresTheBuiltCodeAtThePosition) {
    ASSERT_TRUE(model.SelectKey(2));
    EXPECT_EQ(model.controls().category, KeyCategory::Media);
    KeyPageControls controls = model.controls();
    controls.mediaRow = 7;  // mute
    model.SetControls(controls);
    ASSERT_TRUE(model.ApplySelection());
    EXPECT_EQ(model.assignments()[2].current, MakeAssignment(2, {0x30, 0xE2, 0x00}));
    EXPECT_EQ(model.current(), (KeyCode{0x30, 0xE2, 0x00}));
    EXPECT_TRUE(model.actionsEnabled());
    EXPECT_EQ(assigned(0), (KeyCode{0x20, 0x00, 0x29}));

    ASSERT_TRUE(model.ChangeCategory(KeyCategory::KeyboardKey));
    ASSERT_TRUE(model.CaptureKey(9));  // B
    EXPECT_EQ(assigned(2), (KeyCode{0x20, 0x00, 0x05}));
    EXPECT_FALSE(model.CaptureKey(135));  // M1 is no capturable key
    EXPECT_EQ(assigned(2), (KeyCode{0x20, 0x00, 0x05}));
}

TEST_F(KeyAssignmentModelTest, LeavingTheCaptureEditKeepsTheModifiers) {
    ASSERT_TRUE(model.SelectKey(1));
    // Focus in and out of the capture edit applies the selection unchanged.
    ASSERT_TRUE(model.ApplySelection());
    EXPECT_EQ(assigned(1), (KeyCode{0x20, 0x20, 0x04}));

    KeyPageControls controls = model.controls();
    controls.modifierOption = ModifierOption::Alt;
    model.SetControls(controls);
    ASSERT_TRUE(model.ApplySelection());
    EXPECT_EQ(assigned(1), (KeyCode{0x20, 0x04, 0x04}));
}

TEST_F(KeyAssignmentModelTest, CancelRestoresTheAssignmentFromSelection) {
    ASSERT_TRUE(model.SelectKey(1));
    ASSERT_TRUE(model.ChangeCategory(KeyCategory::Media));
    KeyPageControls controls = model.controls();
    controls.mediaRow = 1;
    model.SetControls(controls);
    ASSERT_TRUE(model.ApplySelection());
    ASSERT_TRUE(model.ChangeCategory(KeyCategory::System));
    EXPECT_NE(assigned(1), (KeyCode{0x20, 0x20, 0x04}));

    ASSERT_TRUE(model.Cancel());
    EXPECT_EQ(model.assignments()[1].current, MakeAssignment(1, {0x20, 0x20, 0x04}));
    EXPECT_EQ(model.current(), (KeyCode{0x20, 0x20, 0x04}));
    EXPECT_EQ(model.controls().category, KeyCategory::KeyboardKey);
    EXPECT_EQ(model.controls().keyUsage, 0x04);
    EXPECT_FALSE(model.actionsEnabled());
}

TEST_F(KeyAssignmentModelTest, CancelAfterWritingKeepsWhatWasWritten) {
    ASSERT_TRUE(model.SelectKey(0));
    ASSERT_TRUE(model.CaptureKey(10));  // C
    model.MarkWritten();
    EXPECT_FALSE(model.actionsEnabled());
    ASSERT_TRUE(model.CaptureKey(11));  // D
    ASSERT_TRUE(model.Cancel());
    EXPECT_EQ(assigned(0), (KeyCode{0x20, 0x00, 0x06}));
}

TEST_F(KeyAssignmentModelTest, DefaultIsStoredOnlyBySave) {
    ASSERT_TRUE(model.SelectKey(2));
    model.ShowDefault();  // FN: no category builds it
    EXPECT_TRUE(model.actionsEnabled());
    EXPECT_EQ(model.controls().category, KeyCategory::None);
    EXPECT_EQ(assigned(2), (KeyCode{0x30, 0xCD, 0x00}));
    ASSERT_TRUE(model.ApplySelection());  // "key_butt_keysave"
    EXPECT_EQ(assigned(2), (KeyCode{0xA0, 0x01, 0x00}));

    ASSERT_TRUE(model.SelectKey(1));
    model.ShowDefault();
    ASSERT_TRUE(model.ApplySelection());
    EXPECT_EQ(assigned(1), (KeyCode{0x20, 0x00, 0x04}));
    ASSERT_TRUE(model.Cancel());
    EXPECT_EQ(assigned(1), (KeyCode{0x20, 0x20, 0x04}));
}

TEST_F(KeyAssignmentModelTest, MacroListChangesDropTheMacroSelection) {
    ASSERT_TRUE(model.SelectKey(0));
    ASSERT_TRUE(model.ChangeCategory(KeyCategory::Macro));
    EXPECT_EQ(assigned(0), (KeyCode{0x20, 0x00, 0x29}));  // no macro chosen yet
    KeyPageControls controls = model.controls();
    controls.macroRow = 1;
    controls.macroPlayMode = 0;
    model.SetControls(controls);
    ASSERT_TRUE(model.ApplySelection());
    EXPECT_EQ(assigned(0), (KeyCode{0x70, 0x01, 0x00}));

    model.SetMacroNames({"Walk"});
    EXPECT_EQ(model.controls().macroRow, -1);
    ASSERT_TRUE(model.ApplySelection());
    EXPECT_EQ(assigned(0), (KeyCode{0x70, 0x01, 0x00}));
}

TEST(MacroWriteMessage, NamesTheMessageOfAResult) {
    EXPECT_EQ(MacroWriteMessage(14), "message_text_16");
    EXPECT_EQ(MacroWriteMessage(-1), "message_text_7");
    EXPECT_EQ(MacroWriteMessage(0), "");
    EXPECT_EQ(MacroWriteMessage(-2), "");
}

}  // namespace
}  // namespace qm::keys
