// Report descriptor parsing: the item walk, global and local state, and the caps and fields that
// each main item adds to its top-level collection.
#include "device/hid/report_descriptor.h"

#include <algorithm>
#include <bitset>

namespace qm::hid {

namespace {

constexpr std::size_t kMaxCollections = 255;
constexpr std::size_t kMaxPushDepth = 64;
// Usages that a variable item may give its controls one by one; arrays index ranges unexpanded.
constexpr std::uint32_t kMaxUsagesPerItem = 4096;
// Report byte length, report id byte included, as the 16-bit caps fields hold it.
constexpr std::uint64_t kMaxReportBytes = 0xFFFF;

enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };

enum MainTag : std::uint8_t {
    kInput = 0x8,
    kOutput = 0x9,
    kCollection = 0xA,
    kFeature = 0xB,
    kEndCollection = 0xC
};

enum GlobalTag : std::uint8_t {
    kUsagePage = 0x0,
    kLogicalMin = 0x1,
    kLogicalMax = 0x2,
    kPhysicalMin = 0x3,
    kPhysicalMax = 0x4,
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB
};

enum LocalTag : std::uint8_t { kUsage = 0x0, kUsageMin = 0x1, kUsageMax = 0x2 };

// Main item data bits.
constexpr std::uint32_t kConstantBit = 0x01;
constexpr std::uint32_t kVariableBit = 0x02;
constexpr std::uint32_t kNullStateBit = 0x40;

constexpr std::uint8_t kLongItemPrefix = 0xFE;

// An item's data as it lies in the descriptor; its meaning (signed or not) depends on the item.
struct ItemData {
    std::uint32_t raw = 0;
    std::uint8_t size = 0;

    std::int64_t asSigned() const {
        switch (size) {
            case 1:
                return static_cast<std::int8_t>(raw);
            case 2:
                return static_cast<std::int16_t>(raw);
            case 4:
                return static_cast<std::int32_t>(raw);
            default:
                return 0;
        }
    }
};

// A minimum and maximum pair; the maximum reads as unsigned when the minimum is not negative,
// since descriptors commonly write 255 as FF in one byte.
struct Limits {
    std::int32_t min = 0;
    std::int32_t max = 0;
};

Limits resolveLimits(ItemData min, ItemData max) {
    const std::int64_t low = min.asSigned();
    std::int64_t high = max.asSigned();
    if (low >= 0 && high < 0) {
        high = max.raw;
    }
    // A 32-bit unsigned maximum keeps its bits; readers widen it again by the same rule.
    return {static_cast<std::int32_t>(low), static_cast<std::int32_t>(high)};
}

struct Globals {
    std::uint16_t usagePage = 0;
    ItemData logicalMin, logicalMax, physicalMin, physicalMax;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

struct LocalUsage {
    UsageRange range;
    bool isRange = false;
    bool extended = false;  // a 32-bit usage that names its own page
};

struct PendingUsage {
    std::uint16_t page = 0;
    std::uint16_t usage = 0;
    bool extended = false;
    bool present = false;
};

class Parser {
public:
    bool run(std::span<const std::uint8_t> descriptor);
    std::vector<Collection> takeCollections() { return std::move(m_Collections); }

private:
    bool mainItem(std::uint8_t tag, ItemData data);
    bool globalItem(std::uint8_t tag, ItemData data);
    bool localItem(std::uint8_t tag, ItemData data);
    bool dataItem(ReportType type, std::uint32_t flags);
    bool beginCollection();
    void applyLatePage();
    PendingUsage usageFrom(ItemData data) const;
    bool finish();

    Globals m_Globals;
    std::vector<Globals> m_Stack;
    std::vector<LocalUsage> m_Usages;
    PendingUsage m_UsageMin, m_UsageMax;
    int m_Depth = 0;

    std::vector<Collection> m_Collections;
    // Per collection, which (type, report id) pairs have items in it.
    std::vector<std::array<std::bitset<256>, kReportTypeCount>> m_Reports;
    // Bits used so far by each (type, report id), over the whole descriptor.
    std::array<std::array<std::uint32_t, 256>, kReportTypeCount> m_Bits{};
};

bool Parser::run(std::span<const std::uint8_t> descriptor) {
    std::size_t pos = 0;
    while (pos < descriptor.size()) {
        const std::uint8_t prefix = descriptor[pos];
        if (prefix == kLongItemPrefix) {
            // Long items: size byte, tag byte, data. No tags are defined for them.
            if (descriptor.size() - pos < 3) {
                return false;
            }
            const std::size_t length = 3 + std::size_t{descriptor[pos + 1]};
            if (descriptor.size() - pos < length) {
                return false;
            }
            pos += length;
            continue;
        }
        const std::size_t size = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
        if (descriptor.size() - pos - 1 < size) {
            return false;
        }
        ItemData data;
        data.size = static_cast<std::uint8_t>(size);
        for (std::size_t i = 0; i < size; ++i) {
            data.raw |= std::uint32_t{descriptor[pos + 1 + i]} << (8 * i);
        }
        pos += 1 + size;

        const std::uint8_t type = (prefix >> 2) & 0x3;
        const std::uint8_t tag = prefix >> 4;
        bool ok = true;
        switch (type) {
            case kMain:
                ok = mainItem(tag, data);
                break;
            case kGlobal:
                ok = globalItem(tag, data);
                break;
            case kLocal:
                ok = localItem(tag, data);
                break;
            default:
                break;  // reserved item type
        }
        if (!ok) {
            return false;
        }
    }
    return finish();
}

bool Parser::mainItem(std::uint8_t tag, ItemData data) {
    applyLatePage();
    bool ok = true;
    switch (tag) {
        case kInput:
            ok = dataItem(ReportType::Input, data.raw);
            break;
        case kOutput:
            ok = dataItem(ReportType::Output, data.raw);
            break;
        case kFeature:
            ok = dataItem(ReportType::Feature, data.raw);
            break;
        case kCollection:
            ok = beginCollection();
            break;
        case kEndCollection:
            if (m_Depth == 0) {
                ok = false;
            } else {
                --m_Depth;
            }
            break;
        default:
            break;
    }
    // Local items apply to the next main item only.
    m_Usages.clear();
    m_UsageMin = {};
    m_UsageMax = {};
    return ok;
}

bool Parser::globalItem(std::uint8_t tag, ItemData data) {
    switch (tag) {
        case kUsagePage:
            m_Globals.usagePage = static_cast<std::uint16_t>(data.raw);
            break;
        case kLogicalMin:
            m_Globals.logicalMin = data;
            break;
        case kLogicalMax:
            m_Globals.logicalMax = data;
            break;
        case kPhysicalMin:
            m_Globals.physicalMin = data;
            break;
        case kPhysicalMax:
            m_Globals.physicalMax = data;
            break;
        case kReportSize:
            m_Globals.reportSize = data.raw;
            break;
        case kReportCount:
            m_Globals.reportCount = data.raw;
            break;
        case kReportId:
            // Id 0 is reserved for reports without ids.
            if (data.raw == 0 || data.raw > 0xFF) {
                return false;
            }
            m_Globals.reportId = static_cast<std::uint8_t>(data.raw);
            break;
        case kPush:
            if (m_Stack.size() == kMaxPushDepth) {
                return false;
            }
            m_Stack.push_back(m_Globals);
            break;
        case kPop:
            if (m_Stack.empty()) {
                return false;
            }
            m_Globals = m_Stack.back();
            m_Stack.pop_back();
            break;
        default:
            break;  // units and exponents do not matter here
    }
    return true;
}

PendingUsage Parser::usageFrom(ItemData data) const {
    if (data.size == 4) {
        return {static_cast<std::uint16_t>(data.raw >> 16), static_cast<std::uint16_t>(data.raw),
                true, true};
    }
    return {m_Globals.usagePage, static_cast<std::uint16_t>(data.raw), false, true};
}

bool Parser::localItem(std::uint8_t tag, ItemData data) {
    switch (tag) {
        case kUsage: {
            const PendingUsage usage = usageFrom(data);
            m_Usages.push_back({{usage.page, usage.usage, usage.usage}, false, usage.extended});
            return true;
        }
        case kUsageMin:
            m_UsageMin = usageFrom(data);
            break;
        case kUsageMax:
            m_UsageMax = usageFrom(data);
            break;
        default:
            return true;  // designators, strings and delimiters do not matter here
    }
    if (m_UsageMin.present && m_UsageMax.present) {
        if (m_UsageMin.usage > m_UsageMax.usage) {
            return false;
        }
        m_Usages.push_back(
            {{m_UsageMin.page, m_UsageMin.usage, m_UsageMax.usage}, true, m_UsageMin.extended});
        m_UsageMin = {};
        m_UsageMax = {};
    }
    return true;
}

// A Usage Page written after the usages it is meant for (seen in the field) still applies to
// them: trailing short usages take the page in force at the main item.
void Parser::applyLatePage() {
    for (auto it = m_Usages.rbegin(); it != m_Usages.rend(); ++it) {
        if (it->extended) {
            continue;
        }
        if (it->range.page == m_Globals.usagePage) {
            break;
        }
        it->range.page = m_Globals.usagePage;
    }
}

bool Parser::beginCollection() {
    if (m_Depth == 0) {
        if (m_Collections.size() == kMaxCollections) {
            return false;
        }
        Collection collection;
        if (m_Usages.empty()) {
            collection.usagePage = m_Globals.usagePage;
        } else {
            collection.usagePage = m_Usages.front().range.page;
            collection.usage = m_Usages.front().range.min;
        }
        m_Collections.push_back(std::move(collection));
        m_Reports.emplace_back();
    }
    ++m_Depth;
    return true;
}

bool Parser::dataItem(ReportType type, std::uint32_t flags) {
    const std::uint64_t size = m_Globals.reportSize;
    const std::uint64_t count = m_Globals.reportCount;
    if (size == 0 || count == 0) {
        return true;  // takes no bits
    }
    if (size > 0xFFFF || count > 0xFFFF) {
        return false;
    }
    const std::uint8_t id = m_Globals.reportId;
    const auto typeIndex = static_cast<std::size_t>(type);
    std::uint32_t& bits = m_Bits[typeIndex][id];
    const std::uint64_t end = bits + size * count;
    if ((end + 7) / 8 + 1 > kMaxReportBytes) {
        return false;
    }
    ReportField field;
    field.type = type;
    field.reportId = id;
    field.bitOffset = bits;
    field.bitSize = static_cast<std::uint16_t>(size);
    field.count = static_cast<std::uint16_t>(count);
    bits = static_cast<std::uint32_t>(end);

    // An item outside every collection belongs to none, but its bits still move the offsets.
    if (m_Depth == 0) {
        return true;
    }
    Collection& collection = m_Collections.back();
    m_Reports.back()[typeIndex].set(id);
    collection.usesReportIds = collection.usesReportIds || id != 0;

    field.isConstant = (flags & kConstantBit) != 0;
    if (field.isConstant) {
        collection.fields.push_back(std::move(field));
        return true;
    }
    field.isArray = (flags & kVariableBit) == 0;
    field.isButton = field.isArray || size == 1;
    field.hasNull = (flags & kNullStateBit) != 0;
    const Limits logical = resolveLimits(m_Globals.logicalMin, m_Globals.logicalMax);
    const Limits physical = resolveLimits(m_Globals.physicalMin, m_Globals.physicalMax);
    field.logicalMin = logical.min;
    field.logicalMax = logical.max;
    field.physicalMin = physical.min;
    field.physicalMax = physical.max;

    std::vector<LocalUsage> usages = std::move(m_Usages);
    m_Usages.clear();
    if (usages.empty()) {
        usages.push_back({{m_Globals.usagePage, 0, 0}, false, false});
    }
    // Controls each usage entry covers; in a variable item the last entry takes the rest.
    std::vector<std::uint32_t> covers;
    if (field.isArray) {
        covers.assign(usages.size(), static_cast<std::uint32_t>(count));
    } else {
        std::uint32_t assigned = 0;
        std::size_t kept = 0;
        for (; kept < usages.size() && assigned < count; ++kept) {
            UsageRange& range = usages[kept].range;
            const std::uint32_t left = static_cast<std::uint32_t>(count) - assigned;
            std::uint32_t n = std::uint32_t{range.max} - range.min + 1;
            if (n > left) {
                n = left;
                range.max = static_cast<std::uint16_t>(range.min + n - 1);
            }
            covers.push_back(n);
            assigned += n;
        }
        if (assigned > kMaxUsagesPerItem) {
            return false;
        }
        usages.resize(kept);
        covers.back() += static_cast<std::uint32_t>(count) - assigned;
    }

    field.usagePage = usages.front().range.page;
    for (std::size_t i = 0; i < usages.size(); ++i) {
        const LocalUsage& usage = usages[i];
        field.usages.push_back(usage.range);
        if (field.isButton) {
            collection.buttonCaps[typeIndex].push_back(
                {usage.range.page, id, usage.isRange, usage.range.min, usage.range.max});
            continue;
        }
        ValueCaps caps;
        caps.UsagePage = usage.range.page;
        caps.ReportID = id;
        caps.IsRange = usage.isRange;
        caps.UsageMin = usage.range.min;
        caps.UsageMax = usage.range.max;
        caps.BitSize = field.bitSize;
        caps.ReportCount = static_cast<std::uint16_t>(covers[i]);
        caps.HasNull = field.hasNull;
        caps.LogicalMin = field.logicalMin;
        caps.LogicalMax = field.logicalMax;
        caps.PhysicalMin = field.physicalMin;
        caps.PhysicalMax = field.physicalMax;
        collection.valueCaps[typeIndex].push_back(caps);
    }
    collection.fields.push_back(std::move(field));
    return true;
}

bool Parser::finish() {
    if (m_Depth != 0) {
        return false;
    }
    for (std::size_t c = 0; c < m_Collections.size(); ++c) {
        Collection& collection = m_Collections[c];
        const auto& reports = m_Reports[c];
        std::array<std::uint16_t, kReportTypeCount> lengths{};
        std::bitset<256> all;
        for (int type = 0; type < kReportTypeCount; ++type) {
            for (int id = 0; id < 256; ++id) {
                if (!reports[type].test(id)) {
                    continue;
                }
                // Reports always start with their id byte, 0 when the collection uses no ids.
                const auto bytes = static_cast<std::uint16_t>((m_Bits[type][id] + 7) / 8 + 1);
                lengths[type] = std::max(lengths[type], bytes);
                all.set(id);
                if (type == static_cast<int>(ReportType::Input)) {
                    collection.inputReportIds.push_back(static_cast<std::uint8_t>(id));
                }
            }
            if (collection.buttonCaps[type].size() > 0xFFFF ||
                collection.valueCaps[type].size() > 0xFFFF) {
                return false;
            }
        }
        for (int id = 0; id < 256; ++id) {
            if (all.test(id)) {
                collection.allReportIds.push_back(static_cast<std::uint8_t>(id));
            }
        }
        Caps& caps = collection.caps;
        caps.InputReportByteLength = lengths[0];
        caps.OutputReportByteLength = lengths[1];
        caps.FeatureReportByteLength = lengths[2];
        caps.NumberInputButtonCaps = static_cast<std::uint16_t>(collection.buttonCaps[0].size());
        caps.NumberInputValueCaps = static_cast<std::uint16_t>(collection.valueCaps[0].size());
        caps.NumberOutputButtonCaps = static_cast<std::uint16_t>(collection.buttonCaps[1].size());
        caps.NumberOutputValueCaps = static_cast<std::uint16_t>(collection.valueCaps[1].size());
        caps.NumberFeatureButtonCaps = static_cast<std::uint16_t>(collection.buttonCaps[2].size());
        caps.NumberFeatureValueCaps = static_cast<std::uint16_t>(collection.valueCaps[2].size());
        caps.UsagePage = collection.usagePage;
        caps.Usage = collection.usage;
    }
    return true;
}

}  // namespace

bool parseReportDescriptor(std::span<const std::uint8_t> descriptor, std::vector<Collection>& out) {
    out.clear();
    Parser parser;
    if (!parser.run(descriptor)) {
        return false;
    }
    out = parser.takeCollections();
    return true;
}

}  // namespace qm::hid
