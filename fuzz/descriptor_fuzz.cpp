// Arbitrary report descriptors and reports through the parser and every unpack function. Besides
// the sanitizers, it checks what callers rely on: a failed parse leaves no collections, caps
// counts match the caps, and a usage list sized by maxUsageListLength never overflows.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "device/hid/report_descriptor.h"

namespace {

using namespace qm::hid;

// Enough to reach every kind of field without making one input slow.
constexpr std::size_t kMaxCapsChecked = 32;
constexpr std::uint32_t kMaxUsagesChecked = 16;
constexpr std::size_t kMaxCollectionsUnpacked = 16;
constexpr std::size_t kMaxIdsPerCollection = 8;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool knownStatus(std::uint32_t status) {
    switch (status) {
        case HIDP_STATUS_SUCCESS:
        case HIDP_STATUS_NULL:
        case HIDP_STATUS_INVALID_REPORT_LENGTH:
        case HIDP_STATUS_USAGE_NOT_FOUND:
        case HIDP_STATUS_BAD_LOG_PHY_VALUES:
        case HIDP_STATUS_BUFFER_TOO_SMALL:
        case HIDP_STATUS_INCOMPATIBLE_REPORT_ID:
            return true;
        default:
            return false;
    }
}

void checkCaps(const Collection& collection) {
    const Caps& caps = collection.caps;
    check(caps.NumberInputButtonCaps == collection.buttonCaps[0].size());
    check(caps.NumberOutputButtonCaps == collection.buttonCaps[1].size());
    check(caps.NumberFeatureButtonCaps == collection.buttonCaps[2].size());
    check(caps.NumberInputValueCaps == collection.valueCaps[0].size());
    check(caps.NumberOutputValueCaps == collection.valueCaps[1].size());
    check(caps.NumberFeatureValueCaps == collection.valueCaps[2].size());
    for (std::uint8_t id : collection.inputReportIds) {
        check(collection.ownsInputReport(id));
    }
}

void unpack(const Collection& collection, ReportType type, std::span<const std::uint8_t> report) {
    const auto t = static_cast<std::size_t>(type);
    std::vector<std::uint16_t> usages;
    const auto& buttons = collection.buttonCaps[t];
    for (std::size_t i = 0; i < std::min(buttons.size(), kMaxCapsChecked); ++i) {
        const std::uint16_t page = buttons[i].UsagePage;
        const std::size_t capacity = maxUsageListLength(collection, type, page);
        const std::uint32_t status = getUsages(collection, type, page, report, capacity, usages);
        check(knownStatus(status));
        check(status != HIDP_STATUS_BUFFER_TOO_SMALL);
        check(usages.size() <= capacity);
    }
    const auto& values = collection.valueCaps[t];
    for (std::size_t i = 0; i < std::min(values.size(), kMaxCapsChecked); ++i) {
        const ValueCaps& caps = values[i];
        const std::uint32_t last =
            std::min<std::uint32_t>(caps.UsageMax, caps.UsageMin + kMaxUsagesChecked);
        for (std::uint32_t usage = caps.UsageMin; usage <= last; ++usage) {
            std::uint32_t raw = 0;
            std::int32_t scaled = 0;
            const auto u = static_cast<std::uint16_t>(usage);
            check(knownStatus(getUsageValue(collection, type, caps.UsagePage, u, report, raw)));
            check(knownStatus(
                getScaledUsageValue(collection, type, caps.UsagePage, u, report, scaled)));
        }
    }
}

}  // namespace

// Input: two bytes giving the descriptor length, the descriptor, then one report.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::span<const std::uint8_t> rest(data + 2, size - 2);
    const std::size_t length = std::min<std::size_t>(data[0] | (data[1] << 8), rest.size());
    const std::span<const std::uint8_t> descriptor = rest.first(length);
    const std::span<const std::uint8_t> report = rest.subspan(length);

    std::vector<Collection> collections;
    if (!parseReportDescriptor(descriptor, collections)) {
        check(collections.empty());
        return 0;
    }
    check(collections.size() <= 255);
    // The report as given, and again under each id of the collection so that fields are read.
    std::vector<std::uint8_t> withId(report.begin(), report.end());
    if (withId.empty()) {
        withId.push_back(0);
    }
    for (std::size_t c = 0; c < collections.size(); ++c) {
        const Collection& collection = collections[c];
        checkCaps(collection);
        if (c >= kMaxCollectionsUnpacked) {
            continue;
        }
        const std::size_t ids = std::min(collection.allReportIds.size(), kMaxIdsPerCollection);
        for (ReportType type : {ReportType::Input, ReportType::Output, ReportType::Feature}) {
            unpack(collection, type, report);
            for (std::size_t i = 0; i < ids; ++i) {
                withId[0] = collection.allReportIds[i];
                unpack(collection, type, withId);
            }
        }
    }
    return 0;
}
