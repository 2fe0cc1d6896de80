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
// empty list) for a malformed descriptor: truncated items, unbalanced collections or push/pop,
// more than 255 top-level collections, report id 0, a usage minimum above its maximum, reports
// longer than 65535 bytes, report sizes or counts above 65535, or a variable item that gives more
// than 4096 controls usages of their own.
bool parseReportDescriptor(std::span<const std::uint8_t> descriptor, std::vector<Collection>& out);

// The pressed usages of one usage page in a report of the given type (the first byte is the
// report id). Usages of every matching button field are collected in field order, at most
// maxCount; usage 0 is never listed. Bits beyond the end of a short report read as 0. Returns an
// HIDP_STATUS_* value (INVALID_REPORT_LENGTH for an empty report),
// INCOMPATIBLE_REPORT_ID when no button field of that page lives in this report id,
// USAGE_NOT_FOUND when the page has no button field at all, BUFFER_TOO_SMALL when more usages
// were pressed than fit (the list then holds the first maxCount).
std::uint32_t getUsages(const Collection& collection, ReportType type, std::uint16_t usagePage,
                        std::span<const std::uint8_t> report, std::size_t maxCount,
                        std::vector<std::uint16_t>& usages);

// The raw value of one value usage in a report: its bits as they lie, not sign-extended (the low
// 32 when the field is wider); for a usage that repeats over several controls, the first. Same
// status values as getUsages; value is 0 unless the status is HIDP_STATUS_SUCCESS.
std::uint32_t getUsageValue(const Collection& collection, ReportType type, std::uint16_t usagePage,
                            std::uint16_t usage, std::span<const std::uint8_t> report,
                            std::uint32_t& value);

// The value scaled from the logical to the physical range (the physical range is the logical one
// when both its ends are 0); BAD_LOG_PHY_VALUES when the ranges do not allow it, NULL when the
// raw value lies outside the logical range. value is 0 unless the status is HIDP_STATUS_SUCCESS.
std::uint32_t getScaledUsageValue(const Collection& collection, ReportType type,
                                  std::uint16_t usagePage, std::uint16_t usage,
                                  std::span<const std::uint8_t> report, std::int32_t& value);

// How many usages of a page (0: of every page) can be pressed at once in reports of one type.
std::size_t maxUsageListLength(const Collection& collection, ReportType type,
                               std::uint16_t usagePage);

}  // namespace qm::hid
