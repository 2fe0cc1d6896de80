#include "device/hid/hid_device.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "device/hid/hid_path.h"
#include "device/hid/report_descriptor.h"
#include "device/hid/report_log.h"
#include "platform/trace.h"

namespace qm {
namespace {

using hid::ReportType;

// Milliseconds left until deadline (0 when past), or -1 for an endless wait.
int remainingMs(int timeoutMs, std::chrono::steady_clock::time_point deadline) {
    if (timeoutMs < 0)
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

std::uint16_t reportLength(const hid::Caps& caps, ReportType type) {
    switch (type) {
        case ReportType::Input:
            return caps.InputReportByteLength;
        case ReportType::Output:
            return caps.OutputReportByteLength;
        case ReportType::Feature:
            return caps.FeatureReportByteLength;
    }
    return 0;
}

}  // namespace

CHidDevice::CHidDevice() : CHidDevice(hid::defaultBackend()) {}

CHidDevice::CHidDevice(hid::HidBackend& backend) : m_Backend(backend) {}

CHidDevice::~CHidDevice() {
    Close();
}

bool CHidDevice::EnumerateInterfaces() {
    FreeInterfaceList();
    std::vector<std::string> paths;
    if (!m_Backend.enumerate(paths))
        return false;
    m_Paths = std::move(paths);
    m_HaveList = true;
    return true;
}

const char* CHidDevice::NextInterfacePath() {
    if (!m_HaveList || m_Cursor >= m_Paths.size())
        return nullptr;
    const std::string& path = m_Paths[m_Cursor++];
    return path.empty() ? nullptr : path.c_str();
}

void CHidDevice::FreeInterfaceList() {
    m_Paths.clear();
    m_Cursor = 0;
    m_HaveList = false;
}

bool CHidDevice::Open(const std::string& path, bool forRead, bool forWrite, bool overlapped,
                      bool shareReadOnly) {
    Close();
    m_OpenRead = forRead;
    m_OpenWrite = forWrite;
    m_Overlapped = overlapped;
    m_ShareReadOnly = shareReadOnly;
    // Linux paths have no length limit: the path is kept whole, never cut.
    m_DevicePath = path;
    m_OpenError = 0;

    std::unique_ptr<hid::HidConnection> connection;
    hid::InterfaceInfo info;
    const int error = m_Backend.open(path, forRead, forWrite, connection, info);
    if (error != 0 || connection == nullptr) {
        m_OpenError = error != 0 ? error : EIO;
        return false;
    }

    std::vector<hid::Collection> collections;
    if (!hid::parseReportDescriptor(info.reportDescriptor, collections) || collections.empty()) {
        tracef("hid: unusable report descriptor on %s", path.c_str());
        m_OpenError = EPROTO;
        return false;
    }
    const std::size_t index =
        info.collection > 0 ? static_cast<std::size_t>(info.collection - 1) : 0;
    if (index >= collections.size()) {
        tracef("hid: %s names collection %d of %zu", path.c_str(), info.collection,
               collections.size());
        m_OpenError = ENOENT;
        return false;
    }

    std::lock_guard lock(m_Lock);
    m_Preparsed = std::move(collections[index]);
    m_Caps = m_Preparsed.caps;
    m_Attributes = {info.vendorId, info.productId, info.versionNumber};
    buildItems();
    m_InterfaceNumber = ParseMi(path);
    m_CollectionNumber = ParseCol(path);
    m_Connection = std::move(connection);
    return true;
}

void CHidDevice::buildItems() {
    for (int t = 0; t < hid::kReportTypeCount; ++t) {
        const auto type = static_cast<ReportType>(t);
        m_ReportBuffers[t].assign(reportLength(m_Caps, type), 0);
        std::vector<HidReportItem>& items = m_Items[t];
        items.clear();
        for (const hid::ButtonCaps& caps : m_Preparsed.buttonCaps[t]) {
            HidReportItem item;
            item.IsButtonData = true;
            item.UsagePage = caps.UsagePage;
            item.ReportID = caps.ReportID;
            item.UsageMin = caps.UsageMin;
            item.UsageMax = caps.IsRange ? caps.UsageMax : caps.UsageMin;
            item.Usages.assign(hid::maxUsageListLength(m_Preparsed, type, caps.UsagePage), 0);
            items.push_back(std::move(item));
        }
        for (const hid::ValueCaps& caps : m_Preparsed.valueCaps[t]) {
            const std::uint32_t last = caps.IsRange ? caps.UsageMax : caps.UsageMin;
            for (std::uint32_t usage = caps.UsageMin; usage <= last; ++usage) {
                HidReportItem item;
                item.UsagePage = caps.UsagePage;
                item.ReportID = caps.ReportID;
                item.Usage = static_cast<std::uint16_t>(usage);
                items.push_back(std::move(item));
            }
        }
    }
}

void CHidDevice::Close() {
    std::unique_lock lock(m_Lock);
    if (m_Connection == nullptr)
        return;
    // Wake a transfer running on another thread and let it leave before the descriptor goes.
    m_Connection->abort();
    m_Idle.wait(lock, [this] { return m_Active == 0; });
    m_Connection.reset();
    m_Preparsed = {};
    m_Caps = {};
    m_Attributes = {};
    for (auto& buffer : m_ReportBuffers)
        buffer.clear();
    for (auto& items : m_Items)
        items.clear();
    m_InterfaceNumber = 0;
    m_CollectionNumber = 0;
}

hid::HidConnection* CHidDevice::beginTransfer() {
    std::lock_guard lock(m_Lock);
    if (m_Connection == nullptr)
        return nullptr;
    ++m_Active;
    return m_Connection.get();
}

void CHidDevice::endTransfer() {
    std::lock_guard lock(m_Lock);
    --m_Active;
    m_Idle.notify_all();
}

void CHidDevice::CancelIo() {
    std::lock_guard lock(m_Lock);
    if (m_Connection != nullptr)
        m_Connection->abort();
}

bool CHidDevice::IsOpen() const {
    std::lock_guard lock(m_Lock);
    return m_Connection != nullptr;
}

int CHidDevice::ReadReport(std::uint8_t* buffer, std::size_t length, std::size_t* got,
                           int timeoutMs) {
    if (got != nullptr)
        *got = 0;
    if (buffer == nullptr || length == 0)
        return 0;
    std::size_t scratchSize = 0;
    bool filter = false;
    {
        std::lock_guard lock(m_Lock);
        filter = m_Preparsed.usesReportIds;
        scratchSize = std::max<std::size_t>({length, m_Caps.InputReportByteLength, 64});
    }
    hid::HidConnection* const connection = beginTransfer();
    if (connection == nullptr)
        return 0;

    std::vector<std::uint8_t> scratch(scratchSize);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int result = 0;
    for (;;) {
        std::size_t n = 0;
        const hid::IoStatus status = connection->read(scratch, remainingMs(timeoutMs, deadline), n);
        // An empty report carries nothing, not even an id: treat it as a failed read.
        if (status != hid::IoStatus::Ok || n == 0)
            break;
        // Reports of the interface's other collections are not ours.
        if (filter && !m_Preparsed.ownsInputReport(scratch[0])) {
            if (remainingMs(timeoutMs, deadline) == 0)
                break;
            continue;
        }
        const std::size_t delivered = std::min(n, length);
        std::copy_n(scratch.begin(), delivered, buffer);
        if (got != nullptr)
            *got = delivered;
        hid::logReport(false, {buffer, delivered});
        result = 1;
        break;
    }
    endTransfer();
    return result;
}

int CHidDevice::WriteReport(const std::uint8_t* buffer, std::size_t length, std::size_t* written,
                            int timeoutMs) {
    if (written != nullptr)
        *written = 0;
    if (buffer == nullptr || length == 0)
        return 0;
    hid::HidConnection* const connection = beginTransfer();
    if (connection == nullptr)
        return 0;
    std::size_t n = 0;
    const hid::IoStatus status = connection->write({buffer, length}, timeoutMs, n);
    const int result = status == hid::IoStatus::Ok ? 1 : 0;
    if (result) {
        if (written != nullptr)
            *written = n;
        hid::logReport(true, {buffer, length});
    }

    endTransfer();
    return result;
}

bool CHidDevice::UnpackInputReport(const std::uint8_t* report, std::size_t reportLength,
                                   std::span<HidReportItem> items,
                                   const HidPreparsedData& preparsed) {
    if (report == nullptr || reportLength == 0)
        return false;
    const std::span<const std::uint8_t> data(report, reportLength);
    const std::uint32_t reportId = report[0];
    std::vector<std::uint16_t> pressed;
    for (HidReportItem& item : items) {
        if (item.ReportID != reportId)
            continue;
        if (item.IsButtonData) {
            pressed.clear();
            item.Status = hid::getUsages(preparsed, ReportType::Input, item.UsagePage, data,
                                         item.Usages.size(), pressed);
            // Keep only the usages of this item's range, packed to the front.
            std::size_t kept = 0;
            for (std::uint16_t usage : pressed) {
                if (usage >= item.UsageMin && usage <= item.UsageMax && kept < item.Usages.size())
                    item.Usages[kept++] = usage;
            }
            std::fill(item.Usages.begin() + static_cast<std::ptrdiff_t>(kept), item.Usages.end(),
                      0);
        } else {
            item.Status = hid::getUsageValue(preparsed, ReportType::Input, item.UsagePage,
                                             item.Usage, data, item.Value);
            if (item.Status != hid::HIDP_STATUS_SUCCESS)
                return false;
            item.Status = hid::getScaledUsageValue(preparsed, ReportType::Input, item.UsagePage,
                                                   item.Usage, data, item.ScaledValue);
        }
        item.IsDataSet = true;
    }
    return true;
}

}  // namespace qm
