// What a parsed report descriptor says about one top-level collection: the capability records that
// callers read (usage page, usage, report lengths, button and value caps) and the report fields
// that unpacking reads values from.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace qm::hid {

enum class ReportType : std::uint8_t { Input = 0, Output = 1, Feature = 2 };
inline constexpr int kReportTypeCount = 3;

// Results of unpacking, with the values callers compare against.
inline constexpr std::uint32_t HIDP_STATUS_SUCCESS = 0x00110000;
inline constexpr std::uint32_t HIDP_STATUS_NULL = 0x80110001;
inline constexpr std::uint32_t HIDP_STATUS_INVALID_REPORT_LENGTH = 0xC0110003;
inline constexpr std::uint32_t HIDP_STATUS_USAGE_NOT_FOUND = 0xC0110004;
inline constexpr std::uint32_t HIDP_STATUS_BAD_LOG_PHY_VALUES = 0xC0110006;
inline constexpr std::uint32_t HIDP_STATUS_BUFFER_TOO_SMALL = 0xC0110007;
inline constexpr std::uint32_t HIDP_STATUS_INCOMPATIBLE_REPORT_ID = 0xC011000A;

struct ButtonCaps {
    std::uint16_t UsagePage = 0;
    std::uint8_t ReportID = 0;
    bool IsRange = false;
    std::uint16_t UsageMin = 0;  // the single usage when not a range
    std::uint16_t UsageMax = 0;
};

struct ValueCaps {
    std::uint16_t UsagePage = 0;
    std::uint8_t ReportID = 0;
    bool IsRange = false;
    std::uint16_t UsageMin = 0;  // the single usage when not a range
    std::uint16_t UsageMax = 0;
    std::uint16_t BitSize = 0;
    std::uint16_t ReportCount = 0;
    bool HasNull = false;
    std::int32_t LogicalMin = 0;
    std::int32_t LogicalMax = 0;
    std::int32_t PhysicalMin = 0;
    std::int32_t PhysicalMax = 0;
};

struct Caps {
    std::uint16_t Usage = 0;
    std::uint16_t UsagePage = 0;
    // Byte lengths include the report id byte (0 when the collection uses no report ids), and are 0
    // when the collection has no report of that type.
    std::uint16_t InputReportByteLength = 0;
    std::uint16_t OutputReportByteLength = 0;
    std::uint16_t FeatureReportByteLength = 0;
    std::uint16_t NumberInputButtonCaps = 0;
    std::uint16_t NumberInputValueCaps = 0;
    std::uint16_t NumberOutputButtonCaps = 0;
    std::uint16_t NumberOutputValueCaps = 0;
    std::uint16_t NumberFeatureButtonCaps = 0;
    std::uint16_t NumberFeatureValueCaps = 0;
};

// A run of usages min..max on one page; a single usage has min == max.
struct UsageRange {
    std::uint16_t page = 0;
    std::uint16_t min = 0;
    std::uint16_t max = 0;
};

// One main item (Input, Output or Feature) as it lies in its report; constant items (padding)
// carry no usages and make no caps.
struct ReportField {
    ReportType type = ReportType::Input;
    std::uint8_t reportId = 0;
    std::uint32_t bitOffset = 0;  // from the first bit after the report id byte
    std::uint16_t bitSize = 0;
    std::uint16_t count = 0;
    bool isConstant = false;
    bool isArray = false;   // array items carry usage indexes; variable items one value per usage
    bool isButton = false;  // listed among the button caps
    bool hasNull = false;
    std::uint16_t usagePage = 0;  // page of the first usage
    // Usages in declaration order, ranges kept whole (an array may index 65536 usages); extended
    // usages already carry their own page. In a variable item control i has the i-th usage and
    // controls beyond the last usage repeat it; its ranges are cut to the controls it has.
    std::vector<UsageRange> usages;
    // A maximum below a non-negative minimum holds an unsigned 32-bit value.
    std::int32_t logicalMin = 0;
    std::int32_t logicalMax = 0;
    std::int32_t physicalMin = 0;
    std::int32_t physicalMax = 0;
};

// One top-level collection, the unit that the system treats as an interface of its own.
struct Collection {
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    bool usesReportIds = false;
    std::vector<std::uint8_t> inputReportIds;  // ids of the input reports that belong here
    std::vector<std::uint8_t> allReportIds;    // ids of every report of this collection
    Caps caps;
    std::array<std::vector<ButtonCaps>, kReportTypeCount> buttonCaps;
    std::array<std::vector<ValueCaps>, kReportTypeCount> valueCaps;
    std::vector<ReportField> fields;

    // True when an input report that starts with this id belongs to the collection.
    bool ownsInputReport(std::uint8_t reportId) const;
};

}  // namespace qm::hid
