// Reading pressed usages and values out of a report, over the fields of a parsed collection.
#include <algorithm>

#include "device/hid/report_descriptor.h"

namespace qm::hid {

bool Collection::ownsInputReport(std::uint8_t reportId) const {
    return std::find(inputReportIds.begin(), inputReportIds.end(), reportId) !=
           inputReportIds.end();
}

namespace {

// The report id byte comes before every field, also in collections without report ids.
constexpr std::uint64_t kFirstFieldBit = 8;

struct Bounds {
    std::int64_t min = 0;
    std::int64_t max = 0;
};

// A maximum below a non-negative minimum was written as an unsigned 32-bit value.
Bounds widen(std::int32_t min, std::int32_t max) {
    std::int64_t high = max;
    if (min >= 0 && max < 0) {
        high += std::int64_t{1} << 32;
    }
    return {min, high};
}

// The low (at most 32) bits of the element at bitPos. Bytes beyond the report read as 0.
std::uint32_t readBits(std::span<const std::uint8_t> report, std::uint64_t bitPos,
                       std::uint32_t size) {
    size = std::min<std::uint32_t>(size, 32);
    std::uint64_t value = 0;
    for (std::uint32_t got = 0; got < size;) {
        const std::uint64_t byte = bitPos / 8;
        if (byte >= report.size()) {
            break;
        }
        const auto shift = static_cast<std::uint32_t>(bitPos % 8);
        const std::uint32_t take = std::min(8 - shift, size - got);
        const std::uint32_t bits = (std::uint32_t{report[byte]} >> shift) & ((1u << take) - 1);
        value |= std::uint64_t{bits} << got;
        got += take;
        bitPos += take;
    }
    return static_cast<std::uint32_t>(value);
}

// An element as a number: signed when the logical range goes below zero.
std::int64_t elementValue(const ReportField& field, std::uint32_t raw) {
    if (field.logicalMin >= 0) {
        return raw;
    }
    if (field.bitSize >= 32) {
        return static_cast<std::int32_t>(raw);
    }
    const std::uint32_t sign = 1u << (field.bitSize - 1);
    return static_cast<std::int64_t>(raw ^ sign) - sign;
}

std::uint32_t rangeLength(const UsageRange& range) {
    return std::uint32_t{range.max} - range.min + 1;
}

bool hasPage(const ReportField& field, std::uint16_t page) {
    return std::any_of(field.usages.begin(), field.usages.end(),
                       [page](const UsageRange& range) { return range.page == page; });
}

// Looks up the usage that an array element's index selects, in time logarithmic in the number
// of usage ranges (a hostile descriptor may give an array thousands of them).
class ArrayUsages {
public:
    explicit ArrayUsages(const std::vector<UsageRange>& ranges) : m_Ranges(ranges) {
        m_Starts.reserve(ranges.size());
        std::uint64_t start = 0;
        for (const UsageRange& range : ranges) {
            m_Starts.push_back(start);
            start += rangeLength(range);
        }
        m_End = start;
    }

    // False when the index lies beyond the last usage.
    bool find(std::uint64_t index, std::uint16_t& page, std::uint16_t& usage) const {
        if (index >= m_End) {
            return false;
        }
        const auto next = std::upper_bound(m_Starts.begin(), m_Starts.end(), index);
        const auto i = static_cast<std::size_t>(next - m_Starts.begin()) - 1;
        page = m_Ranges[i].page;
        usage = static_cast<std::uint16_t>(m_Ranges[i].min + (index - m_Starts[i]));
        return true;
    }

private:
    const std::vector<UsageRange>& m_Ranges;
    std::vector<std::uint64_t> m_Starts;
    std::uint64_t m_End = 0;
};

// Hands out the usages of a variable item's controls in order; the last one repeats.
class ControlUsages {
public:
    explicit ControlUsages(const std::vector<UsageRange>& ranges) : m_Ranges(ranges) {}

    void next(std::uint16_t& page, std::uint16_t& usage) {
        const UsageRange& range = m_Ranges[m_Range];
        page = range.page;
        usage = static_cast<std::uint16_t>(range.min + m_Step);
        if (std::uint32_t{range.min} + m_Step < range.max) {
            ++m_Step;
        } else if (m_Range + 1 < m_Ranges.size()) {
            ++m_Range;
            m_Step = 0;
        }
    }

private:
    const std::vector<UsageRange>& m_Ranges;
    std::size_t m_Range = 0;
    std::uint32_t m_Step = 0;
};

// Finds where the first control with a value usage lies in this report.
std::uint32_t findValue(const Collection& collection, ReportType type, std::uint16_t usagePage,
                        std::uint16_t usage, std::span<const std::uint8_t> report,
                        const ReportField*& found, std::uint64_t& bitPos) {
    if (report.empty()) {
        return HIDP_STATUS_INVALID_REPORT_LENGTH;
    }
    bool inOtherReport = false;
    for (const ReportField& field : collection.fields) {
        if (field.type != type || field.isButton || field.isConstant) {
            continue;
        }
        std::uint64_t control = 0;
        bool has = false;
        for (const UsageRange& range : field.usages) {
            if (range.page == usagePage && usage >= range.min && usage <= range.max) {
                control += usage - range.min;
                has = true;
                break;
            }
            control += rangeLength(range);
        }
        if (!has || control >= field.count) {
            continue;
        }
        if (field.reportId != report[0]) {
            inOtherReport = true;
            continue;
        }
        found = &field;
        bitPos = kFirstFieldBit + field.bitOffset + control * field.bitSize;
        return HIDP_STATUS_SUCCESS;
    }
    return inOtherReport ? HIDP_STATUS_INCOMPATIBLE_REPORT_ID : HIDP_STATUS_USAGE_NOT_FOUND;
}

}  // namespace

std::uint32_t getUsages(const Collection& collection, ReportType type, std::uint16_t usagePage,
                        std::span<const std::uint8_t> report, std::size_t maxCount,
                        std::vector<std::uint16_t>& usages) {
    usages.clear();
    if (report.empty()) {
        return HIDP_STATUS_INVALID_REPORT_LENGTH;
    }
    bool pageFound = false;
    bool idFound = false;
    bool overflow = false;
    const auto add = [&](std::uint16_t page, std::uint16_t usage) {
        // Usage 0 is undefined on every page; callers read a 0 as the end of the list.
        if (page != usagePage || usage == 0) {
            return;
        }
        if (usages.size() < maxCount) {
            usages.push_back(usage);
        } else {
            overflow = true;
        }
    };
    for (const ReportField& field : collection.fields) {
        if (field.type != type || !field.isButton || field.isConstant ||
            !hasPage(field, usagePage)) {
            continue;
        }
        pageFound = true;
        if (field.reportId != report[0]) {
            continue;
        }
        idFound = true;
        const std::uint64_t base = kFirstFieldBit + field.bitOffset;
        if (field.isArray) {
            const Bounds logical = widen(field.logicalMin, field.logicalMax);
            const ArrayUsages lookup(field.usages);
            for (std::uint32_t i = 0; i < field.count; ++i) {
                const std::uint32_t raw =
                    readBits(report, base + std::uint64_t{i} * field.bitSize, field.bitSize);
                const std::int64_t value = elementValue(field, raw);
                std::uint16_t page = 0;
                std::uint16_t usage = 0;
                // 0 and values outside the logical range mean no control in this slot.
                if (value == 0 || value < logical.min || value > logical.max ||
                    !lookup.find(static_cast<std::uint64_t>(value - logical.min), page, usage)) {
                    continue;
                }
                add(page, usage);
            }
        } else {
            ControlUsages controls(field.usages);
            for (std::uint32_t i = 0; i < field.count; ++i) {
                std::uint16_t page = 0;
                std::uint16_t usage = 0;
                controls.next(page, usage);
                if (readBits(report, base + i, 1) != 0) {
                    add(page, usage);
                }
            }
        }
    }
    if (!pageFound) {
        return HIDP_STATUS_USAGE_NOT_FOUND;
    }
    if (!idFound) {
        return HIDP_STATUS_INCOMPATIBLE_REPORT_ID;
    }
    return overflow ? HIDP_STATUS_BUFFER_TOO_SMALL : HIDP_STATUS_SUCCESS;
}

std::uint32_t getUsageValue(const Collection& collection, ReportType type, std::uint16_t usagePage,
                            std::uint16_t usage, std::span<const std::uint8_t> report,
                            std::uint32_t& value) {
    value = 0;
    const ReportField* field = nullptr;
    std::uint64_t bitPos = 0;
    const std::uint32_t status =
        findValue(collection, type, usagePage, usage, report, field, bitPos);
    if (status == HIDP_STATUS_SUCCESS) {
        value = readBits(report, bitPos, field->bitSize);
    }
    return status;
}

std::uint32_t getScaledUsageValue(const Collection& collection, ReportType type,
                                  std::uint16_t usagePage, std::uint16_t usage,
                                  std::span<const std::uint8_t> report, std::int32_t& value) {
    value = 0;
    const ReportField* field = nullptr;
    std::uint64_t bitPos = 0;
    const std::uint32_t status =
        findValue(collection, type, usagePage, usage, report, field, bitPos);
    if (status != HIDP_STATUS_SUCCESS) {
        return status;
    }
    const Bounds logical = widen(field->logicalMin, field->logicalMax);
    Bounds physical = logical;
    if (field->physicalMin != 0 || field->physicalMax != 0) {
        physical = widen(field->physicalMin, field->physicalMax);
    }
    // An unsigned 32-bit physical maximum does not fit the signed result.
    if (logical.min >= logical.max || physical.max > INT32_MAX) {
        return HIDP_STATUS_BAD_LOG_PHY_VALUES;
    }
    const std::int64_t raw = elementValue(*field, readBits(report, bitPos, field->bitSize));
    if (raw < logical.min || raw > logical.max) {
        return HIDP_STATUS_NULL;
    }
    // Up to 2^32 x 2^32: needs more than 64 bits.
    const __int128 scaled =
        __int128{raw - logical.min} * (physical.max - physical.min) / (logical.max - logical.min);
    value = static_cast<std::int32_t>(physical.min + static_cast<std::int64_t>(scaled));
    return HIDP_STATUS_SUCCESS;
}

std::size_t maxUsageListLength(const Collection& collection, ReportType type,
                               std::uint16_t usagePage) {
    std::size_t total = 0;
    for (const ReportField& field : collection.fields) {
        if (field.type != type || !field.isButton || field.isConstant || field.usages.empty()) {
            continue;
        }
        if (field.isArray) {
            if (usagePage == 0 || hasPage(field, usagePage)) {
                total += field.count;
            }
            continue;
        }
        std::size_t assigned = 0;
        for (std::size_t i = 0; i < field.usages.size(); ++i) {
            const UsageRange& range = field.usages[i];
            std::size_t controls = rangeLength(range);
            if (i + 1 == field.usages.size() && assigned + controls < field.count) {
                controls = field.count - assigned;  // the last usage repeats
            }
            assigned += controls;
            if (usagePage == 0 || range.page == usagePage) {
                total += controls;
            }
        }
    }
    return total;
}

}  // namespace qm::hid
