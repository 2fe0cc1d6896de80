// One virtual peripheral's firmware: its memory areas and the table of command handlers that
// answer the 64-byte command reports as the device would. A peripheral and its receiver share one
// Peripheral. Every member is thread-safe.
//
// Besides answering the host, it lets tests, tools and benchmarks look at the device side and
// change it "on the device" (a profile switched with a key combination, a setting changed on the
// pad), so that the host's read-back can be exercised.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/transport/command_report.h"
#include "emulator/firmware_memory.h"
#include "emulator/headset_lighting.h"
#include "platform/clock.h"

namespace qm::emu {

// The event code of a factory reset made on the device itself: the host resets its profile and
// reads the settings back.
inline constexpr std::uint16_t kEventFactoryReset = 0x0402;

class Peripheral {
public:
    // How many frame arrival times are kept (the oldest are dropped).
    static constexpr std::size_t kFrameTimesKept = 4096;
    // Command 0x12 writes anywhere in a buffer of 170 LEDs; the frame is its first frameLength().
    static constexpr std::size_t kFrameBufferSize = 512;

    struct Counters {
        std::uint64_t requests = 0;      // command reports received
        std::uint64_t badChecksums = 0;  // of those, refused for their checksum
        std::uint64_t begins = 0;        // 0x01
        std::uint64_t ends = 0;          // 0x02
        // Configuration writes received while no begin was open: accepted, as hardware does.
        std::uint64_t writesOutsideConfig = 0;
        std::uint64_t hostLightingStarts = 0;  // 0x1C
        bool configOpen = false;               // a begin came and its end has not
    };

    Peripheral(FirmwareSpec spec, Clock& clock);
    Peripheral(const Peripheral&) = delete;
    Peripheral& operator=(const Peripheral&) = delete;

    // "keyboard", "mouse", "mousepad" or "headset".
    const std::string& name() const { return m_Spec.name; }

    // The device side of one command report. Always answers: status 0xFF, with nothing changed,
    // for a bad checksum, an unknown command, a length above 56 or a range beyond the area.
    report::Report handle(const report::Report& request);
    // Counts the request and answers it with the given status without acting on it (a device
    // that is busy or refuses).
    report::Report refuse(const report::Report& request, std::uint8_t status);
    // A lighting output report (report id first). False when this firmware takes none or the
    // report is malformed.
    bool takeLightingReport(std::span<const std::uint8_t> report);

    InfoBlock info() const { return m_Spec.info; }
    DeviceInfo deviceInfo() const { return decodeDeviceInfo(m_Spec.info); }
    // A copy of one memory area (empty when the firmware has no such memory).
    std::vector<std::uint8_t> area(Area area) const;
    // Changes memory on the device. False, with nothing changed, when the bytes do not fit.
    bool setArea(Area area, std::size_t offset, std::span<const std::uint8_t> bytes);

    std::size_t profileStride() const { return m_Spec.profileStride; }
    std::size_t profileCount() const;
    std::uint8_t activeProfile() const;
    // Switches the active profile as the device's own keys would, and reports it as the firmware
    // does: 0x10nn (keyboard, mouse) or 0x401. False beyond the profile count.
    bool setActiveProfile(std::uint8_t profile);
    // One byte of a profile's block in parameter memory, changed on the device and reported as
    // 0x401; false (or 0) outside the block. Byte 0 of profile 0 is the active profile index.
    bool setSetting(std::size_t profile, std::size_t byte, std::uint8_t value);
    // The device's own factory reset (a key combination held on the keyboard): every memory area
    // back to its factory content, then kEventFactoryReset.
    void factoryReset();

    // Where the firmware's event codes go (the bus sends them on the event interface). Called
    // outside the firmware's lock.
    using EventSink = std::function<void(std::uint16_t code)>;
    void setEventSink(EventSink sink);
    std::uint8_t setting(std::size_t profile, std::size_t byte) const;

    Counters counters() const;

    // Host lighting frames: the last complete one (zeros before the first), how many completed,
    // and when (by the bus clock). A frame of command 0x12 is complete with the chunk that covers
    // byte frameLength() - 1; a headset frame with the last of its twelve output reports.
    std::size_t frameLength() const { return m_Spec.frameLength; }
    std::vector<std::uint8_t> lastFrame() const;
    std::uint64_t frameCount() const;
    std::vector<Clock::time_point> frameTimes() const;

    // The whole memory, for persistence.
    FirmwareMemory memory() const;
    // Replaces the memory; false (nothing changed) unless every area has its factory size.
    bool restoreMemory(const FirmwareMemory& memory);
    void restoreFactory();
    const FirmwareMemory& factoryMemory() const { return m_Spec.factory; }

private:
    // The status of one request; a read puts its data into answer. Called under m_Lock.
    std::uint8_t process(const report::Report& request, report::Report& answer);
    void completeFrame(std::span<const std::uint8_t> frame);
    bool writeSetting(std::size_t profile, std::size_t byte, std::uint8_t value);
    void sendEvent(std::uint16_t code);

    const FirmwareSpec m_Spec;
    Clock& m_Clock;
    mutable std::mutex m_Lock;
    InfoBlock m_Info;  // read through 0x03; never written
    FirmwareMemory m_Memory;
    std::vector<std::uint8_t> m_KeyDefaults;  // read through 0x07; never written
    Counters m_Counters;
    std::vector<std::uint8_t> m_FrameAssembly;
    std::vector<std::uint8_t> m_LastFrame;
    HeadsetFrame m_HeadsetFrame{};
    std::uint64_t m_FrameCount = 0;
    std::deque<Clock::time_point> m_FrameTimes;
    std::mutex m_SinkLock;
    EventSink m_EventSink;
};

}  // namespace qm::emu
