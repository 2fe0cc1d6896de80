// HID report descriptor parsing and input report unpacking: what the system needs of a device's
// preparsed data, computed from the raw descriptor (from sysfs, or from a virtual peripheral).
// Descriptors and reports come from devices and are untrusted: nothing here reads or writes out
// of bounds, whatever the input.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "device/hid/hid_caps.h"

namespace qm::hid {

// Splits a descriptor into its top-level collections, in descriptor order. Returns false (and an
// empty list) for a malformed descriptor: truncated items, unbalanced collections, more than 255
// collections, reports longer than 65535 bytes or absurd counts.
bool parseReportDescriptor(std::span<const std::uint8_t> descriptor, std::vector<Collection>& out);

// The pressed usages of one usage page in a report of the given type (the first byte is the
// report id). Usages of every matching button field are collected in field order, at most
// maxCount. Bits beyond the end of a short report read as 0. Returns an HIDP_STATUS_* value:
// INCOMPATIBLE_REPORT_ID when no button field of that page lives in this report id,
// USAGE_NOT_FOUND when the page has no button field at all, BUFFER_TOO_SMALL when more usages
// were pressed than fit (the list then holds the first maxCount).
std::uint32_t getUsages(const Collection& collection, ReportType type, std::uint16_t usagePage,
                        std::span<const std::uint8_t> report, std::size_t maxCount,
                        std::vector<std::uint16_t>& usages);

// The raw value of one value usage in a report. Same status values as getUsages.
std::uint32_t getUsageValue(const Collection& collection, ReportType type,
                            std::uint16_t usagePage, std::uint16_t usage,
                            std::span<const std::uint8_t> report, std::uint32_t& value);

// The value scaled from the logical to the physical range; BAD_LOG_PHY_VALUES when the ranges
// do not allow it, NULL when the raw value lies outside the logical range.
std::uint32_t getScaledUsageValue(const Collection& collection, ReportType type,
                                  std::uint16_t usagePage, std::uint16_t usage,
                                  std::span<const std::uint8_t> report, std::int32_t& value);

// How many usages of a page can be pressed at once in reports of one type.
std::size_t maxUsageListLength(const Collection& collection, ReportType type,
                               std::uint16_t usagePage);

}  // namespace qm::hid
