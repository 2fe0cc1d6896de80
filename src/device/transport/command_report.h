// The 64-byte command report, the same layout in both directions, and its codec. Used by the host
// transport and by the virtual peripherals.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace qm::report {

inline constexpr std::size_t kSize = 64;
inline constexpr std::uint8_t kReportId = 0x04;
inline constexpr std::size_t kChecksumLow = 1;
inline constexpr std::size_t kChecksumHigh = 2;
inline constexpr std::size_t kCommand = 3;
inline constexpr std::size_t kLength = 4;
inline constexpr std::size_t kOffsetLow = 5;
inline constexpr std::size_t kOffsetHigh = 6;
inline constexpr std::size_t kStatus = 7;
inline constexpr std::size_t kData = 8;
inline constexpr std::size_t kMaxData = kSize - kData;  // 56

using Report = std::array<std::uint8_t, kSize>;
static_assert(kData + kMaxData == kSize);

// Device status bytes that mean failure; every other value is success.
inline constexpr std::uint8_t kStatusError = 0xFF;
inline constexpr std::uint8_t kStatusBusy = 0xFE;

// Command codes.
inline constexpr std::uint8_t kBeginConfig = 0x01;
inline constexpr std::uint8_t kEndConfig = 0x02;
inline constexpr std::uint8_t kReadDeviceInfo = 0x03;
inline constexpr std::uint8_t kReadParams = 0x05;
inline constexpr std::uint8_t kWriteParams = 0x06;
inline constexpr std::uint8_t kReadKeyCodeTable = 0x07;
inline constexpr std::uint8_t kWriteKeyCodeTable = 0x09;
inline constexpr std::uint8_t kWriteCustomLighting = 0x0B;
inline constexpr std::uint8_t kSendLightFrame = 0x12;
inline constexpr std::uint8_t kWriteMacroData = 0x15;
inline constexpr std::uint8_t kWriteShootData = 0x17;
inline constexpr std::uint8_t kReadStatus = 0x1A;
inline constexpr std::uint8_t kReadKeyByteTable = 0x1B;
inline constexpr std::uint8_t kStartHostLighting = 0x1C;
inline constexpr std::uint8_t kIsPeripheralOnline = 0xAA;

// Size of the device information block.
inline constexpr std::size_t kDeviceInfoSize = 34;

// Sum of bytes 3..63 (at most 61 x 255, so it fits in 16 bits).
std::uint16_t checksum(std::span<const std::uint8_t, kSize> report);

// A request: id, command, length, offset, status 0, data (at most 56 bytes, the rest zero) and
// the checksum over all of it.
Report encodeRequest(std::uint8_t command, std::uint8_t length, std::uint16_t offset,
                     std::span<const std::uint8_t> data = {});

struct Header {
    std::uint8_t reportId = 0;
    std::uint16_t checksum = 0;
    std::uint8_t command = 0;
    std::uint8_t length = 0;
    std::uint16_t offset = 0;
    std::uint8_t status = 0;
};
Header decodeHeader(std::span<const std::uint8_t, kSize> report);

// True when bytes 1-2 hold the checksum of bytes 3..63.
bool checksumValid(std::span<const std::uint8_t, kSize> report);

}  // namespace qm::report
