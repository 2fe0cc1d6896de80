#include "emulator/peripheral.h"

#include <algorithm>

#include "emulator/answer.h"
#include "platform/trace.h"

namespace qm::emu {
namespace {

enum class Access { Control, Read, Write };
// Where a command's bytes live. Defaults: the code each key produces by default, which 0x07
// reads whatever 0x09 assigned since; the host finds its keys by these codes on every attach.
enum class Region { None, Info, Frame, Memory, Defaults };

struct CommandHandler {
    std::uint8_t command;
    Access access;
    Region region;
    Area area;           // for Region::Memory
    bool configuration;  // a write that belongs between begin and end
};

// clang-format off
constexpr CommandHandler kHandlers[] = {
    {report::kBeginConfig,         Access::Control, Region::None,     Area::Params,         false},
    {report::kEndConfig,           Access::Control, Region::None,     Area::Params,         false},
    {report::kReadDeviceInfo,      Access::Read,    Region::Info,     Area::Params,         false},
    {report::kReadParams,          Access::Read,    Region::Memory,   Area::Params,         false},
    {report::kWriteParams,         Access::Write,   Region::Memory,   Area::Params,         true},
    {report::kReadKeyCodeTable,    Access::Read,    Region::Defaults, Area::KeyCodes,       false},
    {report::kWriteKeyCodeTable,   Access::Write,   Region::Memory,   Area::KeyCodes,       true},
    {report::kWriteCustomLighting, Access::Write,   Region::Memory,   Area::CustomLighting, true},
    {report::kSendLightFrame,      Access::Write,   Region::Frame,    Area::Params,         false},
    {report::kWriteMacroData,      Access::Write,   Region::Memory,   Area::Macro,          true},
    {report::kWriteShootData,      Access::Write,   Region::Memory,   Area::ShootData,      true},
    {report::kReadStatus,          Access::Read,    Region::Memory,   Area::Status,         false},
    {report::kReadKeyByteTable,    Access::Read,    Region::Memory,   Area::KeyBytes,       false},
    {report::kStartHostLighting,   Access::Control, Region::None,     Area::Params,         false},
};
// clang-format on

const CommandHandler* findHandler(std::uint8_t command) {
    for (const CommandHandler& handler : kHandlers)
        if (handler.command == command)
            return &handler;
    return nullptr;
}

}  // namespace

Peripheral::Peripheral(FirmwareSpec spec, Clock& clock)
    : m_Spec(std::move(spec)),
      m_Clock(clock),
      m_Info(m_Spec.info),
      m_Memory(m_Spec.factory),
      m_KeyDefaults(m_Spec.factory[Area::KeyCodes]),
      m_FrameAssembly(
          m_Spec.lightingOutputReports || m_Spec.frameLength == 0 ? 0 : kFrameBufferSize, 0),
      m_LastFrame(m_Spec.frameLength, 0) {}

report::Report Peripheral::handle(const report::Report& request) {
    std::lock_guard lock(m_Lock);
    ++m_Counters.requests;
    report::Report answer = answerFor(request, report::kStatusError);
    answer[report::kStatus] = process(request, answer);
    seal(answer);
    return answer;
}

std::uint8_t Peripheral::process(const report::Report& request, report::Report& answer) {
    const report::Header header = report::decodeHeader(request);
    if (!report::checksumValid(request)) {
        ++m_Counters.badChecksums;
        tracef("%s: command 0x%02x refused: checksum 0x%04x, expected 0x%04x", name().c_str(),
               header.command, header.checksum, report::checksum(request));
        return report::kStatusError;
    }
    const CommandHandler* handler = findHandler(header.command);
    std::span<std::uint8_t> region;
    if (handler != nullptr) {
        switch (handler->region) {
            case Region::None:
                break;
            case Region::Info:
                region = m_Info;
                break;
            case Region::Frame:
                region = m_FrameAssembly;
                break;
            case Region::Memory:
                region = m_Memory[handler->area];
                break;
            case Region::Defaults:
                region = m_KeyDefaults;
                break;
        }
    }
    // A command for memory this model does not have is as unknown as any other.
    if (handler == nullptr || (handler->access != Access::Control && region.empty())) {
        tracef("%s: unknown command 0x%02x", name().c_str(), header.command);
        return report::kStatusError;
    }

    if (handler->access == Access::Control) {
        if (header.command == report::kBeginConfig) {
            ++m_Counters.begins;
            m_Counters.configOpen = true;
        } else if (header.command == report::kEndConfig) {
            ++m_Counters.ends;
            m_Counters.configOpen = false;
        } else {
            ++m_Counters.hostLightingStarts;
        }
        return kStatusOk;
    }

    const std::size_t offset = header.offset;
    const std::size_t length = header.length;
    if (length > report::kMaxData || offset + length > region.size()) {
        tracef("%s: command 0x%02x refused: offset %zu + length %zu beyond %zu bytes",
               name().c_str(), header.command, offset, length, region.size());
        return report::kStatusError;
    }
    if (handler->access == Access::Read) {
        std::copy_n(region.begin() + offset, length, answer.begin() + report::kData);
        return kStatusOk;
    }
    if (handler->configuration && !m_Counters.configOpen)
        ++m_Counters.writesOutsideConfig;
    std::copy_n(request.begin() + report::kData, length, region.begin() + offset);
    // Hosts send the device's own length or a whole 170-LED frame; either way the frame is
    // complete with the chunk that covers its last byte.
    if (handler->region == Region::Frame && offset < m_Spec.frameLength &&
        offset + length >= m_Spec.frameLength)
        completeFrame(std::span(m_FrameAssembly).first(m_Spec.frameLength));
    return kStatusOk;
}

report::Report Peripheral::refuse(const report::Report& request, std::uint8_t status) {
    std::lock_guard lock(m_Lock);
    ++m_Counters.requests;
    report::Report answer = answerFor(request, status);
    seal(answer);
    return answer;
}

bool Peripheral::takeLightingReport(std::span<const std::uint8_t> report) {
    std::lock_guard lock(m_Lock);
    if (!m_Spec.lightingOutputReports)
        return false;
    bool last = false;
    if (!applyHeadsetLightingReport(report, m_HeadsetFrame, last))
        return false;
    if (last)
        completeFrame(m_HeadsetFrame);
    return true;
}

void Peripheral::completeFrame(std::span<const std::uint8_t> frame) {
    m_LastFrame.assign(frame.begin(), frame.end());
    ++m_FrameCount;
    m_FrameTimes.push_back(m_Clock.now());
    if (m_FrameTimes.size() > kFrameTimesKept)
        m_FrameTimes.pop_front();
}

std::vector<std::uint8_t> Peripheral::area(Area area) const {
    std::lock_guard lock(m_Lock);
    return m_Memory[area];
}

bool Peripheral::setArea(Area area, std::size_t offset, std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(m_Lock);
    std::vector<std::uint8_t>& memory = m_Memory[area];
    if (offset > memory.size() || bytes.size() > memory.size() - offset)
        return false;
    std::copy(bytes.begin(), bytes.end(), memory.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

std::size_t Peripheral::profileCount() const {
    return m_Spec.info[kInfoProfileCount];
}

std::uint8_t Peripheral::activeProfile() const {
    return setting(0, 0);
}

bool Peripheral::setActiveProfile(std::uint8_t profile) {
    if (profile >= profileCount() || !writeSetting(0, 0, profile))
        return false;
    sendEvent(m_Spec.slotEvents ? static_cast<std::uint16_t>(kEventSlotSwitched | (profile & 0x0F))
                                : kEventSettingsChanged);
    return true;
}

bool Peripheral::setSetting(std::size_t profile, std::size_t byte, std::uint8_t value) {
    if (!writeSetting(profile, byte, value))
        return false;
    sendEvent(kEventSettingsChanged);
    return true;
}

void Peripheral::factoryReset() {
    restoreFactory();
    sendEvent(kEventFactoryReset);
}

void Peripheral::setEventSink(EventSink sink) {
    std::lock_guard lock(m_SinkLock);
    m_EventSink = std::move(sink);
}

void Peripheral::sendEvent(std::uint16_t code) {
    std::lock_guard lock(m_SinkLock);
    if (m_EventSink)
        m_EventSink(code);
}

bool Peripheral::writeSetting(std::size_t profile, std::size_t byte, std::uint8_t value) {
    if (profile >= profileCount() || byte >= m_Spec.profileStride)
        return false;
    const std::uint8_t bytes[] = {value};
    return setArea(Area::Params, profile * m_Spec.profileStride + byte, bytes);
}

std::uint8_t Peripheral::setting(std::size_t profile, std::size_t byte) const {
    if (profile >= profileCount() || byte >= m_Spec.profileStride)
        return 0;
    std::lock_guard lock(m_Lock);
    const std::vector<std::uint8_t>& params = m_Memory[Area::Params];
    const std::size_t at = profile * m_Spec.profileStride + byte;
    return at < params.size() ? params[at] : 0;
}

Peripheral::Counters Peripheral::counters() const {
    std::lock_guard lock(m_Lock);
    return m_Counters;
}

std::vector<std::uint8_t> Peripheral::lastFrame() const {
    std::lock_guard lock(m_Lock);
    return m_LastFrame;
}

std::uint64_t Peripheral::frameCount() const {
    std::lock_guard lock(m_Lock);
    return m_FrameCount;
}

std::vector<Clock::time_point> Peripheral::frameTimes() const {
    std::lock_guard lock(m_Lock);
    return {m_FrameTimes.begin(), m_FrameTimes.end()};
}

FirmwareMemory Peripheral::memory() const {
    std::lock_guard lock(m_Lock);
    return m_Memory;
}

bool Peripheral::restoreMemory(const FirmwareMemory& memory) {
    for (Area area : kAreas)
        if (memory[area].size() != m_Spec.factory[area].size())
            return false;
    std::lock_guard lock(m_Lock);
    m_Memory = memory;
    return true;
}

void Peripheral::restoreFactory() {
    std::lock_guard lock(m_Lock);
    m_Memory = m_Spec.factory;
}

}  // namespace qm::emu
