// Report descriptor parsing and report unpacking, on descriptors of the peripherals' interfaces
// and on small descriptors that isolate one rule each.
#include "device/hid/report_descriptor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace qm::hid {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Bytes = std::vector<std::uint8_t>;

// The keyboard's second interface: four top-level collections, each with its report id.
const Bytes kKeyboardInterface2 = {
    0x05, 0x01,                    // Usage Page (Generic Desktop)
    0x09, 0x06,                    // Usage (Keyboard)
    0xA1, 0x01,                    // Collection (Application)
    0x85, 0x01,                    //   Report ID (1)
    0x05, 0x07,                    //   Usage Page (Keyboard)
    0x19, 0xE0, 0x29, 0xE7,        //   Usage Minimum (Left Control), Maximum (Right GUI)
    0x15, 0x00, 0x25, 0x01,        //   Logical Minimum (0), Maximum (1)
    0x75, 0x01, 0x95, 0x08,        //   Report Size (1), Count (8)
    0x81, 0x02,                    //   Input (Data, Variable): modifiers
    0x75, 0x08, 0x95, 0x01,        //   Report Size (8), Count (1)
    0x81, 0x01,                    //   Input (Constant): reserved byte
    0x05, 0x08,                    //   Usage Page (LEDs)
    0x19, 0x01, 0x29, 0x05,        //   Usage Minimum (1), Maximum (5)
    0x75, 0x01, 0x95, 0x05,        //   Report Size (1), Count (5)
    0x91, 0x02,                    //   Output (Data, Variable)
    0x95, 0x03, 0x91, 0x01,        //   Report Count (3), Output (Constant)
    0x05, 0x07,                    //   Usage Page (Keyboard)
    0x19, 0x00, 0x2A, 0xFF, 0x00,  // Usage Minimum (0), Maximum (255)
    0x15, 0x00, 0x26, 0xFF, 0x00,  // Logical Minimum (0), Maximum (255)
    0x75, 0x08, 0x95, 0x06,        // Report Size (8), Count (6)
    0x81, 0x00,                    // Input (Data, Array): keys
    0xC0,                          // End Collection
    0x05, 0x01,                    // Usage Page (Generic Desktop)
    0x09, 0x80,                    // Usage (System Control)
    0xA1, 0x01,                    // Collection (Application)
    0x85, 0x02,                    //   Report ID (2)
    0x19, 0x81, 0x29, 0x83,        //   Usage Minimum (Power Down), Maximum (Wake Up)
    0x15, 0x00, 0x25, 0x01,        //   Logical Minimum (0), Maximum (1)
    0x75, 0x01, 0x95, 0x03,        //   Report Size (1), Count (3)
    0x81, 0x02,                    //   Input (Data, Variable)
    0x95, 0x05, 0x81, 0x01,        //   Report Count (5), Input (Constant)
    0xC0,                          // End Collection
    0x05, 0x0C,                    // Usage Page (Consumer)
    0x09, 0x01,                    // Usage (Consumer Control)
    0xA1, 0x01,                    // Collection (Application)
    0x85, 0x03,                    //   Report ID (3)
    0x19, 0x00, 0x2A, 0xFF, 0xFF,  //   Usage Minimum (0), Maximum (0xFFFF)
    0x15, 0x00, 0x26, 0xFF, 0xFF,  //   Logical Minimum (0), Maximum (written as -1)
    0x75, 0x10, 0x95, 0x01,        //   Report Size (16), Count (1)
    0x81, 0x00,                    //   Input (Data, Array): event codes
    0xC0,                          // End Collection
    0x06, 0x1C, 0xFF,              // Usage Page (Vendor 0xFF1C)
    0x09, 0x92,                    // Usage (0x92)
    0xA1, 0x01,                    // Collection (Application)
    0x85, 0x04,                    //   Report ID (4)
    0x09, 0x93,                    //   Usage (0x93)
    0x15, 0x00, 0x26, 0xFF, 0x00,  //   Logical Minimum (0), Maximum (255)
    0x75, 0x08, 0x95, 0x3F,        //   Report Size (8), Count (63)
    0x81, 0x02,                    //   Input (Data, Variable)
    0x09, 0x94,                    //   Usage (0x94)
    0x91, 0x02,                    //   Output (Data, Variable)
    0xC0,                          // End Collection
};

// A vendor interface with one collection and no report ids.
const Bytes kVendorInterface = {
    0x06, 0x00, 0xFF,              // Usage Page (Vendor 0xFF00)
    0x09, 0x01,                    // Usage (1)
    0xA1, 0x01,                    // Collection (Application)
    0x09, 0x02,                    //   Usage (2)
    0x15, 0x00, 0x26, 0xFF, 0x00,  //   Logical Minimum (0), Maximum (255)
    0x75, 0x08, 0x95, 0x40,        //   Report Size (8), Count (64)
    0x81, 0x02,                    //   Input (Data, Variable)
    0x09, 0x03,                    //   Usage (3)
    0x91, 0x02,                    //   Output (Data, Variable)
    0xC0,                          // End Collection
};

// The headset's interface: a consumer control collection holding the vendor command report
// (id 4) and the lighting output report (id 0xFF, 16 data bytes).
const Bytes kHeadsetInterface = {
    0x05, 0x0C,                    // Usage Page (Consumer)
    0x09, 0x01,                    // Usage (Consumer Control)
    0xA1, 0x01,                    // Collection (Application)
    0x85, 0x04,                    //   Report ID (4)
    0x06, 0x00, 0xFF,              //   Usage Page (Vendor 0xFF00)
    0x09, 0x01,                    //   Usage (1)
    0x15, 0x00, 0x26, 0xFF, 0x00,  //   Logical Minimum (0), Maximum (255)
    0x75, 0x08, 0x95, 0x3F,        //   Report Size (8), Count (63)
    0x81, 0x02,                    //   Input (Data, Variable)
    0x09, 0x02,                    //   Usage (2)
    0x91, 0x02,                    //   Output (Data, Variable)
    0x85, 0xFF,                    //   Report ID (0xFF)
    0x09, 0x03,                    //   Usage (3)
    0x95, 0x10,                    //   Report Count (16)
    0x91, 0x02,                    //   Output (Data, Variable)
    0xC0,                          // End Collection
};

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// One vendor application collection around the given items.
Bytes vendorCollection(const Bytes& items) {
    return concat({{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01}, items, {0xC0}});
}

Bytes repeat(const Bytes& part, int times) {
    Bytes all;
    for (int i = 0; i < times; ++i) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::vector<Collection> parse(const Bytes& descriptor) {
    std::vector<Collection> collections;
    EXPECT_TRUE(parseReportDescriptor(descriptor, collections));
    return collections;
}

const ReportField& onlyDataField(const Collection& collection, ReportType type) {
    const ReportField* found = nullptr;
    for (const ReportField& field : collection.fields) {
        if (field.type == type && !field.isConstant) {
            EXPECT_EQ(found, nullptr) << "more than one data field";
            found = &field;
        }
    }
    EXPECT_NE(found, nullptr);
    static const ReportField none;
    return found != nullptr ? *found : none;
}

TEST(ReportDescriptor, SplitsAnInterfaceIntoItsTopLevelCollections) {
    struct Expected {
        std::uint16_t usagePage, usage;
        std::vector<std::uint8_t> reportIds;
        std::uint16_t input, output, feature;
    };
    const struct {
        const char* name;
        const Bytes& descriptor;
        std::vector<Expected> collections;
    } cases[] = {
        {"keyboard interface 2",
         kKeyboardInterface2,
         {{0x01, 0x06, {1}, 9, 2, 0},
          {0x01, 0x80, {2}, 2, 0, 0},
          {0x0C, 0x01, {3}, 3, 0, 0},
          {0xFF1C, 0x92, {4}, 64, 64, 0}}},
        // Without report ids the byte lengths still count the leading 0 byte.
        {"vendor interface", kVendorInterface, {{0xFF00, 0x01, {0}, 65, 65, 0}}},
        // The longer of the two output reports sets the output length.
        {"headset interface", kHeadsetInterface, {{0x0C, 0x01, {4, 0xFF}, 64, 64, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Collection> collections = parse(c.descriptor);
        ASSERT_EQ(collections.size(), c.collections.size());
        for (std::size_t i = 0; i < collections.size(); ++i) {
            SCOPED_TRACE(i);
            const Collection& got = collections[i];
            const Expected& want = c.collections[i];
            EXPECT_EQ(got.caps.UsagePage, want.usagePage);
            EXPECT_EQ(got.caps.Usage, want.usage);
            EXPECT_EQ(got.usagePage, want.usagePage);
            EXPECT_EQ(got.usage, want.usage);
            EXPECT_EQ(got.usesReportIds, want.reportIds != std::vector<std::uint8_t>{0});
            EXPECT_EQ(got.allReportIds, want.reportIds);
            EXPECT_EQ(got.caps.InputReportByteLength, want.input);
            EXPECT_EQ(got.caps.OutputReportByteLength, want.output);
            EXPECT_EQ(got.caps.FeatureReportByteLength, want.feature);
        }
    }
}

TEST(ReportDescriptor, InputReportsBelongToTheCollectionsThatDeclareThem) {
    const std::vector<Collection> keyboard = parse(kKeyboardInterface2);
    EXPECT_TRUE(keyboard[2].ownsInputReport(3));
    EXPECT_FALSE(keyboard[2].ownsInputReport(4));
    EXPECT_FALSE(keyboard[2].ownsInputReport(0));

    const std::vector<Collection> headset = parse(kHeadsetInterface);
    EXPECT_THAT(headset[0].inputReportIds, ElementsAre(4));
    EXPECT_FALSE(headset[0].ownsInputReport(0xFF));  // an output report only

    const std::vector<Collection> vendor = parse(kVendorInterface);
    EXPECT_TRUE(vendor[0].ownsInputReport(0));
    EXPECT_FALSE(vendor[0].ownsInputReport(4));
}

TEST(ReportDescriptor, ButtonAndValueCapsFollowTheItemKinds) {
    const std::vector<Collection> keyboard = parse(kKeyboardInterface2);
    const Collection& keys = keyboard[0];
    // Modifiers (1-bit variables) and keys (an array) are buttons; padding makes no caps.
    EXPECT_EQ(keys.caps.NumberInputButtonCaps, 2);
    EXPECT_EQ(keys.caps.NumberInputValueCaps, 0);
    EXPECT_EQ(keys.caps.NumberOutputButtonCaps, 1);
    const ButtonCaps& modifiers = keys.buttonCaps[0][0];
    EXPECT_EQ(modifiers.UsagePage, 0x07);
    EXPECT_EQ(modifiers.ReportID, 1);
    EXPECT_TRUE(modifiers.IsRange);
    EXPECT_EQ(modifiers.UsageMin, 0xE0);
    EXPECT_EQ(modifiers.UsageMax, 0xE7);
    const ButtonCaps& leds = keys.buttonCaps[1][0];
    EXPECT_EQ(leds.UsagePage, 0x08);
    EXPECT_EQ(leds.UsageMax, 0x05);

    const ButtonCaps& events = keyboard[2].buttonCaps[0].at(0);
    EXPECT_EQ(events.UsagePage, 0x0C);
    EXPECT_TRUE(events.IsRange);
    EXPECT_EQ(events.UsageMin, 0x0000);
    EXPECT_EQ(events.UsageMax, 0xFFFF);

    const Collection& vendor = keyboard[3];
    EXPECT_EQ(vendor.caps.NumberInputButtonCaps, 0);
    EXPECT_EQ(vendor.caps.NumberInputValueCaps, 1);
    EXPECT_EQ(vendor.caps.NumberOutputValueCaps, 1);
    const ValueCaps& command = vendor.valueCaps[0][0];
    EXPECT_EQ(command.UsagePage, 0xFF1C);
    EXPECT_EQ(command.ReportID, 4);
    EXPECT_FALSE(command.IsRange);
    EXPECT_EQ(command.UsageMin, 0x93);
    EXPECT_EQ(command.BitSize, 8);
    EXPECT_EQ(command.ReportCount, 63);
    EXPECT_EQ(command.LogicalMax, 255);
}

TEST(ReportDescriptor, FieldsLieWherePaddingAndReportIdsPutThem) {
    const std::vector<Collection> keyboard = parse(kKeyboardInterface2);
    const ReportField& keys = keyboard[0].fields.back();
    EXPECT_EQ(keys.bitOffset, 16u);  // after the modifiers and the reserved byte
    EXPECT_TRUE(keys.isArray);
    EXPECT_TRUE(keys.isButton);

    const std::vector<Collection> headset = parse(kHeadsetInterface);
    const ReportField& lighting = headset[0].fields.back();
    EXPECT_EQ(lighting.type, ReportType::Output);
    EXPECT_EQ(lighting.reportId, 0xFF);
    EXPECT_EQ(lighting.bitOffset, 0u);
    EXPECT_EQ(lighting.bitSize * lighting.count, 16 * 8);  // a 17-byte report with its id

    // Bits of one report id add up across collections; both see the whole report.
    const Bytes item = {0x85, 0x05, 0x75, 0x08, 0x95, 0x01, 0x09, 0x01, 0x81, 0x02};
    const std::vector<Collection> split =
        parse(concat({vendorCollection(item), vendorCollection(item)}));
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(split[1].fields[0].bitOffset, 8u);
    EXPECT_EQ(split[0].caps.InputReportByteLength, 3);
    EXPECT_EQ(split[1].caps.InputReportByteLength, 3);

    // An item outside every collection belongs to none but still takes its bits.
    const std::vector<Collection> stray = parse(concat({item, vendorCollection(item)}));
    ASSERT_EQ(stray.size(), 1u);
    EXPECT_EQ(stray[0].fields[0].bitOffset, 8u);
}

TEST(ReportDescriptor, LogicalLimitsReadSignedByItemSize) {
    const struct {
        const char* name;
        Bytes globals;
        std::int32_t min, max;
    } cases[] = {
        {"1-byte signed", {0x15, 0x81, 0x25, 0x7F}, -127, 127},
        {"1-byte maximum read unsigned", {0x15, 0x00, 0x25, 0xFF}, 0, 255},
        {"2-byte maximum read unsigned", {0x15, 0x00, 0x26, 0xFF, 0xFF}, 0, 65535},
        {"negative minimum keeps the maximum signed", {0x15, 0x80, 0x25, 0xFF}, -128, -1},
        {"2-byte signed", {0x16, 0x00, 0x80, 0x26, 0xFF, 0x7F}, -32768, 32767},
        {"4-byte signed",
         {0x17, 0x00, 0x00, 0x00, 0x80, 0x27, 0xFF, 0xFF, 0xFF, 0x7F},
         INT_MIN,
         INT_MAX},
        {"maximum before minimum", {0x25, 0xFF, 0x15, 0x00}, 0, 255},
        {"empty item is 0", {0x14, 0x25, 0x01}, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes items = concat({c.globals, {0x09, 0x30, 0x75, 0x10, 0x95, 0x01, 0x81, 0x02}});
        const std::vector<Collection> collections = parse(vendorCollection(items));
        ASSERT_EQ(collections.size(), 1u);
        const ReportField& field = onlyDataField(collections[0], ReportType::Input);
        EXPECT_EQ(field.logicalMin, c.min);
        EXPECT_EQ(field.logicalMax, c.max);
        EXPECT_EQ(collections[0].valueCaps[0].at(0).LogicalMax, c.max);
    }
}

TEST(ReportDescriptor, UsagesTakeThePageTheyWereGivenOn) {
    // An extended usage names its page; the collection takes it.
    const std::vector<Collection> extended =
        parse({0x0B, 0x01, 0x00, 0x0C, 0x00, 0xA1, 0x01, 0xC0});
    EXPECT_EQ(extended[0].usagePage, 0x0C);
    EXPECT_EQ(extended[0].usage, 0x01);

    // A Usage Page written after its usage still applies to it.
    const std::vector<Collection> late = parse({0x09, 0x01, 0x05, 0x0C, 0xA1, 0x01, 0xC0});
    EXPECT_EQ(late[0].usagePage, 0x0C);

    // Mixed pages in one array: each usage keeps its own page.
    const std::vector<Collection> mixed = parse(vendorCollection({
        0x05, 0x0C, 0x09, 0xE9,              // Usage Page (Consumer), Usage (Volume Up)
        0x0B, 0x81, 0x00, 0x01, 0x00,        // Usage (Generic Desktop: Power Down)
        0x15, 0x01, 0x25, 0x02,              // Logical Minimum (1), Maximum (2)
        0x75, 0x08, 0x95, 0x01, 0x81, 0x00,  // Input (Data, Array)
    }));
    const std::vector<std::uint8_t> report = {0x00, 0x02};
    std::vector<std::uint16_t> usages;
    EXPECT_EQ(getUsages(mixed[0], ReportType::Input, 0x01, report, 4, usages), HIDP_STATUS_SUCCESS);
    EXPECT_THAT(usages, ElementsAre(0x81));
    EXPECT_EQ(getUsages(mixed[0], ReportType::Input, 0x0C, report, 4, usages), HIDP_STATUS_SUCCESS);
    EXPECT_TRUE(usages.empty());
}

TEST(ReportDescriptor, GlobalsComeBackOnPop) {
    const std::vector<Collection> collections = parse(vendorCollection({
        0x75, 0x08, 0x95, 0x01,  // Report Size (8), Count (1)
        0xA4, 0x75, 0x10, 0xB4,  // Push, Report Size (16), Pop
        0x09, 0x01, 0x81, 0x02,  // Usage (1), Input (Data, Variable)
    }));
    EXPECT_EQ(onlyDataField(collections[0], ReportType::Input).bitSize, 8);
}

TEST(ReportDescriptor, VariableItemsRepeatTheirLastUsage) {
    const std::vector<Collection> values = parse(vendorCollection({
        0x09, 0x30, 0x09, 0x31,              // Usage (0x30), Usage (0x31)
        0x75, 0x08, 0x95, 0x04, 0x81, 0x02,  // Report Size (8), Count (4), Input
    }));
    const auto& caps = values[0].valueCaps[0];
    ASSERT_EQ(caps.size(), 2u);
    EXPECT_EQ(caps[0].ReportCount, 1);
    EXPECT_EQ(caps[1].ReportCount, 3);
    std::uint32_t value = 0;
    EXPECT_EQ(
        getUsageValue(values[0], ReportType::Input, 0xFF00, 0x31, Bytes{0, 1, 2, 3, 4}, value),
        HIDP_STATUS_SUCCESS);
    EXPECT_EQ(value, 2u);

    // A usage range longer than the item is cut to the controls it has.
    const std::vector<Collection> buttons = parse(vendorCollection({
        0x05, 0x09, 0x19, 0x01, 0x29, 0x10,  // Usage Page (Button), Usage Minimum (1), Maximum (16)
        0x75, 0x01, 0x95, 0x04, 0x81, 0x02,  // Report Size (1), Count (4), Input
    }));
    EXPECT_EQ(buttons[0].buttonCaps[0].at(0).UsageMax, 4);
    EXPECT_EQ(maxUsageListLength(buttons[0], ReportType::Input, 0x09), 4u);
    std::vector<std::uint16_t> usages;
    EXPECT_EQ(getUsages(buttons[0], ReportType::Input, 0x09, Bytes{0x00, 0xFF}, 16, usages),
              HIDP_STATUS_SUCCESS);
    EXPECT_THAT(usages, ElementsAre(1, 2, 3, 4));
}

TEST(ReportUnpack, PressedUsagesOfAPage) {
    const std::vector<Collection> keyboard = parse(kKeyboardInterface2);
    const struct {
        const char* name;
        int collection;
        std::uint16_t page;
        Bytes report;
        std::size_t maxCount;
        std::uint32_t status;
        std::vector<std::uint16_t> usages;
    } cases[] = {
        {"consumer event code", 2, 0x0C, {0x03, 0x01, 0x04}, 1, HIDP_STATUS_SUCCESS, {0x0401}},
        {"consumer release", 2, 0x0C, {0x03, 0x00, 0x00}, 1, HIDP_STATUS_SUCCESS, {}},
        {"short report reads as zero-filled", 2, 0x0C, {0x03, 0x01}, 1, HIDP_STATUS_SUCCESS, {1}},
        {"modifier and keys in field order",
         0,
         0x07,
         {0x01, 0x02, 0x00, 0x04, 0x05, 0x00, 0x00, 0x00, 0x00},
         14,
         HIDP_STATUS_SUCCESS,
         {0xE1, 0x04, 0x05}},
        {"more pressed than fit",
         0,
         0x07,
         {0x01, 0x02, 0x00, 0x04, 0x05},
         2,
         HIDP_STATUS_BUFFER_TOO_SMALL,
         {0xE1, 0x04}},
        {"system control bits", 1, 0x01, {0x02, 0x05}, 3, HIDP_STATUS_SUCCESS, {0x81, 0x83}},
        {"report id of no field",
         0,
         0x07,
         {0x05, 0xFF, 0x00, 0x04},
         14,
         HIDP_STATUS_INCOMPATIBLE_REPORT_ID,
         {}},
        {"page without buttons", 2, 0x07, {0x03, 0x01, 0x04}, 1, HIDP_STATUS_USAGE_NOT_FOUND, {}},
        {"empty report", 0, 0x07, {}, 14, HIDP_STATUS_INVALID_REPORT_LENGTH, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::uint16_t> usages = {0xDEAD};
        EXPECT_EQ(getUsages(keyboard[c.collection], ReportType::Input, c.page, c.report, c.maxCount,
                            usages),
                  c.status);
        EXPECT_THAT(usages, ElementsAreArray(c.usages));
    }
}

TEST(ReportUnpack, ArraySlotsHoldingZeroOrOutOfRangeValuesAreEmpty) {
    const std::vector<Collection> collections = parse(vendorCollection({
        0x05, 0x09, 0x19, 0x01, 0x29, 0x03,  // Usage Page (Button), Usage Minimum (1), Maximum (3)
        0x15, 0x00, 0x25, 0x01,              // Logical Minimum (0), Maximum (1)
        0x75, 0x08, 0x95, 0x04, 0x81, 0x00,  // Report Size (8), Count (4), Input (Data, Array)
    }));
    std::vector<std::uint16_t> usages;
    EXPECT_EQ(
        getUsages(collections[0], ReportType::Input, 0x09, Bytes{0x00, 0, 1, 2, 3}, 4, usages),
        HIDP_STATUS_SUCCESS);
    EXPECT_THAT(usages, ElementsAre(2));
}

TEST(ReportUnpack, UsageListLengthCountsWhatCanBePressedAtOnce) {
    const std::vector<Collection> keyboard = parse(kKeyboardInterface2);
    EXPECT_EQ(maxUsageListLength(keyboard[0], ReportType::Input, 0x07), 8u + 6u);
    EXPECT_EQ(maxUsageListLength(keyboard[0], ReportType::Input, 0), 8u + 6u);
    EXPECT_EQ(maxUsageListLength(keyboard[0], ReportType::Output, 0x08), 5u);
    EXPECT_EQ(maxUsageListLength(keyboard[0], ReportType::Output, 0x07), 0u);
    EXPECT_EQ(maxUsageListLength(keyboard[1], ReportType::Input, 0x01), 3u);
    EXPECT_EQ(maxUsageListLength(keyboard[2], ReportType::Input, 0x0C), 1u);
    EXPECT_EQ(maxUsageListLength(keyboard[3], ReportType::Input, 0xFF1C), 0u);  // values only
}

TEST(ReportUnpack, RawValues) {
    const std::vector<Collection> keyboard = parse(kKeyboardInterface2);
    const std::vector<Collection> vendor = parse(kVendorInterface);
    const std::vector<Collection> headset = parse(kHeadsetInterface);
    const struct {
        const char* name;
        const Collection& collection;
        ReportType type;
        std::uint16_t page, usage;
        Bytes report;
        std::uint32_t status, value;
    } cases[] = {
        {"command answer",
         keyboard[3],
         ReportType::Input,
         0xFF1C,
         0x93,
         {0x04, 0x7F},
         HIDP_STATUS_SUCCESS,
         0x7F},
        {"command request",
         keyboard[3],
         ReportType::Output,
         0xFF1C,
         0x94,
         {0x04, 0x55},
         HIDP_STATUS_SUCCESS,
         0x55},
        {"no report ids",
         vendor[0],
         ReportType::Input,
         0xFF00,
         0x02,
         {0x00, 0xAA},
         HIDP_STATUS_SUCCESS,
         0xAA},
        {"lighting report",
         headset[0],
         ReportType::Output,
         0xFF00,
         0x03,
         {0xFF, 0x11},
         HIDP_STATUS_SUCCESS,
         0x11},
        {"report id of no field",
         headset[0],
         ReportType::Input,
         0xFF00,
         0x01,
         {0x09, 0x11},
         HIDP_STATUS_INCOMPATIBLE_REPORT_ID,
         0},
        {"unknown usage",
         headset[0],
         ReportType::Input,
         0xFF00,
         0x99,
         {0x04, 0x11},
         HIDP_STATUS_USAGE_NOT_FOUND,
         0},
        {"a button is no value",
         keyboard[0],
         ReportType::Input,
         0x07,
         0xE0,
         {0x01, 0x01},
         HIDP_STATUS_USAGE_NOT_FOUND,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint32_t value = 0xDEAD;
        EXPECT_EQ(getUsageValue(c.collection, c.type, c.page, c.usage, c.report, value), c.status);
        EXPECT_EQ(value, c.value);
    }
}

TEST(ReportUnpack, ScaledValues) {
    const Bytes logicalByte = {0x15, 0x00, 0x26, 0xFF, 0x00};  // 0..255
    const struct {
        const char* name;
        Bytes globals;  // limits and report size
        Bytes data;     // the field's bytes, after the 0 report id byte
        std::uint32_t status;
        std::int32_t value;
    } cases[] = {
        {"signed, physical defaults to logical",
         {0x15, 0x81, 0x25, 0x7F, 0x75, 0x08},
         {0x81},
         HIDP_STATUS_SUCCESS,
         -127},
        {"12-bit signed",
         {0x16, 0x00, 0xF8, 0x26, 0xFF, 0x07, 0x75, 0x0C},
         {0x00, 0x08},
         HIDP_STATUS_SUCCESS,
         -2048},
        {"scaled to the physical range",
         concat({logicalByte, {0x35, 0x00, 0x46, 0xE8, 0x03, 0x75, 0x08}}),
         {0xFF},
         HIDP_STATUS_SUCCESS,
         1000},
        {"scaled value truncates",
         concat({logicalByte, {0x35, 0x00, 0x46, 0xE8, 0x03, 0x75, 0x08}}),
         {0x80},
         HIDP_STATUS_SUCCESS,
         501},
        {"full 32-bit range onto a signed one",
         {0x15, 0x00, 0x27, 0xFF, 0xFF, 0xFF, 0xFF, 0x36, 0x18, 0xFC, 0x46, 0xE8, 0x03, 0x75, 0x20},
         {0xFF, 0xFF, 0xFF, 0xFF},
         HIDP_STATUS_SUCCESS,
         1000},
        {"unsigned 32-bit result does not fit",
         {0x15, 0x00, 0x27, 0xFF, 0xFF, 0xFF, 0xFF, 0x75, 0x20},
         {0x01},
         HIDP_STATUS_BAD_LOG_PHY_VALUES,
         0},
        {"empty logical range",
         {0x15, 0x05, 0x25, 0x05, 0x75, 0x08},
         {0x05},
         HIDP_STATUS_BAD_LOG_PHY_VALUES,
         0},
        {"raw value outside the logical range",
         {0x15, 0x0A, 0x25, 0x14, 0x75, 0x08},
         {0x05},
         HIDP_STATUS_NULL,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes items = concat({c.globals, {0x09, 0x30, 0x95, 0x01, 0x81, 0x02}});
        const std::vector<Collection> collections = parse(vendorCollection(items));
        ASSERT_EQ(collections.size(), 1u);
        const Bytes report = concat({{0x00}, c.data});
        std::int32_t value = 0x7EAD;
        EXPECT_EQ(
            getScaledUsageValue(collections[0], ReportType::Input, 0xFF00, 0x30, report, value),
            c.status);
        EXPECT_EQ(value, c.value);
    }
}

TEST(ReportDescriptor, AcceptsDescriptorsAtTheLimits) {
    const struct {
        const char* name;
        Bytes descriptor;
        std::size_t collections;
    } cases[] = {
        {"255 top-level collections", repeat({0xA1, 0x01, 0xC0}, 255), 255},
        {"long item skipped", vendorCollection({0xFE, 0x02, 0x10, 0xAA, 0xBB}), 1},
        {"reserved item type skipped", vendorCollection({0x0D, 0x01}), 1},
        {"64 pushes and pops", vendorCollection(concat({repeat({0xA4}, 64), repeat({0xB4}, 64)})),
         1},
        {"4096 usages in one variable item",
         vendorCollection({0x19, 0x00, 0x2A, 0xFF, 0x0F, 0x75, 0x01, 0x96, 0x00, 0x10, 0x81, 0x02}),
         1},
        {"65534 data bytes in one report",
         vendorCollection({0x75, 0x08, 0x96, 0xFE, 0xFF, 0x81, 0x02}), 1},
        {"nested collections", {0xA1, 0x01, 0xA1, 0x00, 0xA1, 0x02, 0xC0, 0xC0, 0xC0}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parse(c.descriptor).size(), c.collections);
    }
}

TEST(ReportDescriptor, RejectsMalformedDescriptors) {
    const struct {
        const char* name;
        Bytes descriptor;
    } cases[] = {
        {"truncated item", {0x05}},
        {"truncated 2-byte item", {0x06, 0x00}},
        {"truncated long item", {0xFE, 0x04, 0x00, 0x01}},
        {"pop without push", {0xB4}},
        {"end collection without collection", {0xC0}},
        {"unclosed collection", {0xA1, 0x01, 0xA1, 0x00, 0xC0}},
        {"256 top-level collections", repeat({0xA1, 0x01, 0xC0}, 256)},
        {"65 nested pushes", repeat({0xA4}, 65)},
        {"report id 0", {0x85, 0x00}},
        {"usage minimum above maximum", {0x19, 0x05, 0x29, 0x01}},
        {"report of 65535 data bytes",
         vendorCollection({0x75, 0x08, 0x96, 0xFF, 0xFF, 0x81, 0x02})},
        {"report growing past the limit over two items",
         vendorCollection(repeat({0x75, 0x08, 0x96, 0x00, 0x80, 0x81, 0x02}, 2))},
        {"report count above 65535",
         vendorCollection({0x75, 0x01, 0x97, 0x00, 0x00, 0x01, 0x00, 0x81, 0x02})},
        {"report size above 65535",
         vendorCollection({0x77, 0x00, 0x00, 0x01, 0x00, 0x95, 0x01, 0x81, 0x02})},
        {"4097 usages in one variable item",
         vendorCollection(
             {0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x75, 0x01, 0x96, 0x01, 0x10, 0x81, 0x02})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Collection> collections(1);
        EXPECT_FALSE(parseReportDescriptor(c.descriptor, collections));
        EXPECT_TRUE(collections.empty());
    }
}

}  // namespace
}  // namespace qm::hid
