#include "device/transport/command_report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace qm::report {
namespace {

// A report that starts with head and is filled with fill to 64 bytes.
Report reportOf(std::initializer_list<std::uint8_t> head, std::uint8_t fill = 0) {
    Report r;
    r.fill(fill);
    std::copy(head.begin(), head.end(), r.begin());
    return r;
}

struct GoldenCase {
    const char* name;
    std::uint8_t command;
    std::uint8_t length;
    std::uint16_t offset;
    std::vector<std::uint8_t> data;
    Report expected;
};

TEST(CommandReport, EncodesGoldenBytes) {
    const GoldenCase cases[] = {
        {"begin config: the sum of bytes 3..63 is 1",
         kBeginConfig,
         0,
         0,
         {},
         reportOf({0x04, 0x01, 0x00, 0x01})},
        {"second device info chunk through a receiver",
         kReadDeviceInfo,
         10,
         24,
         {},
         reportOf({0x04, 0x25, 0x00, 0x03, 0x0A, 0x18, 0x00, 0x00})},
        {"settings write at profile 5 x 64",
         kWriteParams,
         3,
         0x0140,
         {1, 2, 3},
         reportOf({0x04, 0x50, 0x00, 0x06, 0x03, 0x40, 0x01, 0x00, 0x01, 0x02, 0x03})},
        {"largest sum uses the high checksum byte", kIsPeripheralOnline, 56, 0xFFFF,
         std::vector<std::uint8_t>(56, 0xFF),
         reportOf({0x04, 0xA8, 0x3A, 0xAA, 0x38, 0xFF, 0xFF, 0x00}, 0xFF)},
        {"data beyond 56 bytes is cut", kSendLightFrame, 56, 0, std::vector<std::uint8_t>(60, 1),
         reportOf({0x04, 0x82, 0x00, 0x12, 0x38, 0x00, 0x00, 0x00}, 0x01)},
    };
    for (const GoldenCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Report r = encodeRequest(c.command, c.length, c.offset, c.data);
        EXPECT_EQ(r, c.expected);

        const Header h = decodeHeader(r);
        EXPECT_EQ(h.reportId, kReportId);
        EXPECT_EQ(h.command, c.command);
        EXPECT_EQ(h.length, c.length);
        EXPECT_EQ(h.offset, c.offset);
        EXPECT_EQ(h.status, 0);
        EXPECT_EQ(h.checksum, checksum(r));
        EXPECT_TRUE(checksumValid(r));
    }
}

TEST(CommandReport, ChecksumCoversBytes3To63Only) {
    Report r = encodeRequest(kWriteMacroData, 2, 0x10, std::vector<std::uint8_t>{0x7F, 0x80});
    r[0] = 0x05;  // the report id lies outside the sum
    EXPECT_TRUE(checksumValid(r));
    r[63] = 0x01;
    EXPECT_FALSE(checksumValid(r));
    r[63] = 0x00;
    r[3] = kReadParams;
    EXPECT_FALSE(checksumValid(r));
}

}  // namespace
}  // namespace qm::report
