#include "device/transport/usb_transport.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <optional>

#include "platform/trace.h"

namespace qm {
namespace {

constexpr int kCableTimeoutMs = 1000;
constexpr int kReceiverTimeoutMs = 5000;
constexpr int kQuietReceiverTimeoutMs = 500;
// The second read skips one answer that belongs to an interleaved exchange.
constexpr int kMaxReads = 2;
constexpr std::uint8_t kCableChunk = 56;
constexpr std::uint8_t kReceiverChunk = 24;
constexpr std::uint8_t kShootChunk = 56;
constexpr std::uint64_t kKeyTableBankSize = 512;
// Offsets are 16-bit: every byte a transfer addresses must lie below this.
constexpr std::uint64_t kOffsetLimit = 0x10000;
constexpr auto kEndConfigDelay = std::chrono::milliseconds(10);

static_assert(kCableChunk <= report::kMaxData && kShootChunk <= report::kMaxData);

// Half a report as one trace line: 32 bytes in groups of four, three spaces between the first
// four groups and two between the later ones.
void traceHalf(const std::uint8_t* bytes) {
    char line[128];
    int used = 0;
    for (int i = 0; i < 32; ++i) {
        const char* gap = i == 0 ? "" : i % 4 != 0 ? " " : i <= 12 ? "   " : "  ";
        used += std::snprintf(line + used, sizeof line - static_cast<std::size_t>(used), "%s%02x",
                              gap, bytes[i]);
    }
    trace(line);
}

void traceReport(const char* title, const report::Report& r) {
    if (!traceEnabled())
        return;
    trace(title);
    traceHalf(r.data());
    traceHalf(r.data() + 32);
}

int statusResult(std::uint8_t status) {
    if (status == report::kStatusError)
        return kResultStatusError;
    if (status == report::kStatusBusy)
        return kResultStatusBusy;
    return kResultOk;
}

void traceFailure(std::uint8_t command, std::optional<std::uint16_t> offset, int result) {
    if (offset)
        tracef("transport: command 0x%02X failed at offset %u (%d)", command, unsigned{*offset},
               result);
    else
        tracef("transport: command 0x%02X failed (%d)", command, result);
}

}  // namespace

CUsbTransport::CUsbTransport() : CUsbTransport(hid::defaultBackend()) {}

CUsbTransport::CUsbTransport(hid::HidBackend& backend, Clock& clock)
    : m_Cable(backend), m_Receiver(backend), m_Clock(clock) {}

CUsbTransport::~CUsbTransport() = default;

int CUsbTransport::OpenCommandInterface(const std::string& path, int mode) {
    std::lock_guard lock(m_IoLock);
    CHidDevice& hid = mode == kModeReceiver ? m_Receiver : m_Cable;
    if (!hid.Open(path, true, true, true, false))
        return hid.OpenError();
    m_Open = true;
    SetConnectionMode(mode);
    return 0;
}

void CUsbTransport::SetConnectionMode(int mode) {
    const bool receiver = mode == kModeReceiver;
    m_ReceiverMode = receiver;
    m_ChunkSize = receiver ? kReceiverChunk : kCableChunk;
}

bool CUsbTransport::SetTableLength(std::uint16_t length) {
    if (length > kMaxTableLength)
        return false;
    m_TableLength = length;
    return true;
}

int CUsbTransport::Exchange(const std::uint8_t* request, std::size_t requestLength,
                            std::uint8_t* response, std::size_t responseLength, std::size_t* got) {
    return exchange(request, requestLength, response, responseLength, got, false);
}

int CUsbTransport::ExchangeQuiet(const std::uint8_t* request, std::size_t requestLength,
                                 std::uint8_t* response, std::size_t responseLength,
                                 std::size_t* got) {
    return exchange(request, requestLength, response, responseLength, got, true);
}

int CUsbTransport::exchange(const std::uint8_t* request, std::size_t requestLength,
                            std::uint8_t* response, std::size_t responseLength, std::size_t* got,
                            bool quiet) {
    if (quiet)
        return transfer(request, requestLength, response, responseLength, got, true);
    ++m_Busy;
    const int result = transfer(request, requestLength, response, responseLength, got, false);
    --m_Busy;
    return result;
}

int CUsbTransport::transfer(const std::uint8_t* request, std::size_t requestLength,
                            std::uint8_t* response, std::size_t responseLength, std::size_t* got,
                            bool quiet) {
    if (got != nullptr)
        *got = 0;
    if (requestLength > report::kSize || (request == nullptr && requestLength > 0) ||
        (response == nullptr && responseLength > 0))
        return kResultInvalidParam;
    if (!m_Open)
        return kResultNoAnswer;

    report::Report out{};
    std::copy_n(request, requestLength, out.begin());
    if (!quiet)
        traceReport("命令", out);

    const bool receiver = m_ReceiverMode;
    CHidDevice& device = receiver ? m_Receiver : m_Cable;
    const int timeoutMs = !receiver ? kCableTimeoutMs
                          : quiet   ? kQuietReceiverTimeoutMs
                                    : kReceiverTimeoutMs;
    {
        std::lock_guard io(m_IoLock);
        if (device.WriteReport(out.data(), out.size(), nullptr, timeoutMs) == 0)
            return kResultWriteFailed;
    }

    const std::size_t readLength = std::min(responseLength, report::kSize);
    report::Report in{};
    std::size_t inCount = 0;
    int result = kResultNoAnswer;
    {
        std::lock_guard io(m_IoLock);
        for (int i = 0; i < kMaxReads; ++i) {
            // Each answer is used only as far as it was read; the rest reads as 0.
            in.fill(0);
            inCount = 0;
            const bool delivered =
                device.ReadReport(in.data(), readLength, &inCount, timeoutMs) != 0;
            inCount = delivered ? std::min(inCount, readLength) : 0;
            result = delivered ? kResultOk : kResultNoAnswer;
            if (inCount <= report::kCommand)
                continue;
            if (in[report::kCommand] == out[report::kCommand])
                break;
            if (receiver && in[report::kCommand] == report::kIsPeripheralOnline) {
                result = kResultUnreachable;
                break;
            }
        }
    }

    if (responseLength > 0) {
        std::fill_n(response, responseLength, std::uint8_t{0});
        std::copy_n(in.begin(), inCount, response);
    }
    if (got != nullptr)
        *got = inCount;
    if (!quiet)
        traceReport("返回", in);
    return result;
}

int CUsbTransport::exchangeReport(Lock lock, bool quiet, const report::Report& request,
                                  report::Report& response) {
    std::mutex* mutex = lock == Lock::Command    ? &m_CommandLock
                        : lock == Lock::Lighting ? &m_LightingLock
                                                 : nullptr;
    std::unique_lock<std::mutex> guard;
    if (mutex != nullptr)
        guard = std::unique_lock(*mutex);
    const int result =
        exchange(request.data(), request.size(), response.data(), response.size(), nullptr, quiet);
    return result == kResultOk ? statusResult(response[report::kStatus]) : result;
}

int CUsbTransport::singleCommand(std::uint8_t command, std::uint8_t length, std::uint16_t offset,
                                 std::span<std::uint8_t> readInto) {
    const report::Report request = report::encodeRequest(command, length, offset);
    report::Report response{};
    const int result = exchangeReport(Lock::Command, false, request, response);
    if (result != kResultOk) {
        if (m_Open)
            traceFailure(command, std::nullopt, result);
        return result;
    }
    std::copy_n(response.begin() + report::kData, std::min(readInto.size(), report::kMaxData),
                readInto.begin());
    return kResultOk;
}

int CUsbTransport::chunked(std::uint8_t command, std::size_t total, std::uint64_t base,
                           std::uint8_t chunk, Lock lock, const std::uint8_t* writeFrom,
                           std::uint8_t* readInto) {
    if (base >= kOffsetLimit || total > kOffsetLimit - base)
        return kResultInvalidParam;
    if (!m_Open)
        return kResultNoAnswer;
    // Lighting frames yield to configuration traffic: they go quietly and are dropped, not
    // queued, while a traced exchange is in progress.
    const bool lightFrame = command == report::kSendLightFrame;

    for (std::size_t position = 0; position < total; position += chunk) {
        const auto length =
            static_cast<std::uint8_t>(std::min<std::size_t>(chunk, total - position));
        const auto offset = static_cast<std::uint16_t>(base + position);
        if (lightFrame && IsBusy()) {
            trace("放弃灯光数据");
            continue;
        }
        std::span<const std::uint8_t> data;
        if (writeFrom != nullptr)
            data = {writeFrom + position, length};
        const report::Report request = report::encodeRequest(command, length, offset, data);
        report::Report response{};
        const int result = exchangeReport(lock, lightFrame, request, response);
        if (result != kResultOk) {
            traceFailure(command, offset, result);
            return result;
        }
        if (readInto != nullptr)
            std::copy_n(response.begin() + report::kData, length, readInto + position);
    }
    return kResultOk;
}

int CUsbTransport::BeginConfig() {
    return singleCommand(report::kBeginConfig, 0, 0, {});
}

int CUsbTransport::EndConfig() {
    m_Clock.sleepFor(kEndConfigDelay);
    return singleCommand(report::kEndConfig, 0, 0, {});
}

int CUsbTransport::ReadDeviceInfo(std::span<std::uint8_t, report::kDeviceInfoSize> info) {
    // Collected whole first, so that a failed read leaves the caller's block as it was.
    std::array<std::uint8_t, report::kDeviceInfoSize> block{};
    const int result = chunked(report::kReadDeviceInfo, block.size(), 0, m_ChunkSize, Lock::Command,
                               nullptr, block.data());
    if (result == kResultOk)
        std::copy(block.begin(), block.end(), info.begin());
    return result;
}

int CUsbTransport::ReadParams(std::uint16_t base, std::span<std::uint8_t> data) {
    return chunked(report::kReadParams, data.size(), base, m_ChunkSize, Lock::Command, nullptr,
                   data.data());
}

int CUsbTransport::WriteParams(std::uint16_t base, std::span<const std::uint8_t> data) {
    return chunked(report::kWriteParams, data.size(), base, m_ChunkSize, Lock::Command, data.data(),
                   nullptr);
}

int CUsbTransport::ReadKeyCodeTable(std::span<std::uint8_t> table) {
    const std::size_t total = m_TableLength;
    if (table.size() < total)
        return kResultInvalidParam;
    return chunked(report::kReadKeyCodeTable, total, 0, m_ChunkSize, Lock::Command, nullptr,
                   table.data());
}

int CUsbTransport::WriteKeyCodeTable(int bank, std::span<const std::uint8_t> table) {
    const std::size_t total = m_TableLength;
    if (bank != 0 || table.size() < total)
        return kResultInvalidParam;
    return chunked(report::kWriteKeyCodeTable, total, std::uint64_t(bank) * kKeyTableBankSize,
                   m_ChunkSize, Lock::Command, table.data(), nullptr);
}

int CUsbTransport::WriteCustomLighting(int page, std::span<const std::uint8_t> colours) {
    if (page < 0)
        return kResultInvalidParam;
    return chunked(report::kWriteCustomLighting, colours.size(),
                   std::uint64_t(page) * kCustomLightingPageSize, m_ChunkSize, Lock::Lighting,
                   colours.data(), nullptr);
}

int CUsbTransport::SendLightFrame(std::span<const std::uint8_t> frame) {
    return chunked(report::kSendLightFrame, frame.size(), 0, m_ChunkSize, Lock::Lighting,
                   frame.data(), nullptr);
}

int CUsbTransport::WriteMacroData(std::span<const std::uint8_t> data) {
    return chunked(report::kWriteMacroData, data.size(), 0, m_ChunkSize, Lock::Command, data.data(),
                   nullptr);
}

int CUsbTransport::WriteShootData(std::span<const std::uint8_t> data) {
    return chunked(report::kWriteShootData, data.size(), 0, kShootChunk, Lock::None, data.data(),
                   nullptr);
}

int CUsbTransport::ReadStatus(std::uint16_t offset, std::span<std::uint8_t> status) {
    if (status.size() > report::kMaxData)
        return kResultInvalidParam;
    return singleCommand(report::kReadStatus, static_cast<std::uint8_t>(status.size()), offset,
                         status);
}

int CUsbTransport::ReadKeyByteTable(std::span<std::uint8_t> table) {
    const std::size_t total = m_TableLength / 3;
    if (table.size() < total)
        return kResultInvalidParam;
    return chunked(report::kReadKeyByteTable, total, 0, m_ChunkSize, Lock::Command, nullptr,
                   table.data());
}

int CUsbTransport::StartHostLighting() {
    return singleCommand(report::kStartHostLighting, 0, 0, {});
}

bool CUsbTransport::IsPeripheralOnline() {
    if (!m_ReceiverMode)
        return true;
    std::uint8_t reachable = 0;
    return singleCommand(report::kIsPeripheralOnline, 0, 0, {&reachable, 1}) == kResultOk &&
           reachable == 0xFF;
}

}  // namespace qm
