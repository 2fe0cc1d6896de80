#include "device/transport/usb_transport.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "fake_hid.h"
#include "platform/clock.h"
#include "platform/trace.h"

namespace qm {
namespace {

using qm::testing::Bytes;
using qm::testing::echoAnswer;
using qm::testing::FakeHid;
using qm::testing::WrittenReport;

constexpr const char* kCablePath = "fake:kb#vid_320f&pid_5055&mi_01&col04";
constexpr const char* kReceiverPath = "fake:rx#vid_320f&pid_5056&mi_01&col04";
constexpr int kNoMode = 0;  // device creation that sets no connection mode (mousepad, headset)

// A transport with both interfaces open, attached the way device creation attaches it.
struct Rig {
    explicit Rig(int mode, bool open = true) {
        EXPECT_TRUE(transport.CableInterface().Open(kCablePath, true, true, true, false));
        EXPECT_TRUE(transport.ReceiverInterface().Open(kReceiverPath, true, true, true, false));
        if (mode != kNoMode)
            transport.SetConnectionMode(mode);
        transport.SetOpen(open);
    }
    // Every written report answered with the echo, status on the report at index failAt.
    void answerStatusAt(std::size_t failAt, std::uint8_t status) {
        hid.setAnswerer([=](const WrittenReport& r, std::size_t i) {
            return std::vector<Bytes>{echoAnswer(r.bytes, i == failAt ? status : 0)};
        });
    }

    FakeHid hid;
    FakeClock clock;
    CUsbTransport transport{hid, clock};
};

// Switches traces on and collects what they write to stderr.
class TraceCapture {
public:
    TraceCapture() {
        setTraceEnabled(true);
        ::testing::internal::CaptureStderr();
    }
    ~TraceCapture() {
        if (m_Capturing)
            stop();
    }
    std::string stop() {
        m_Capturing = false;
        setTraceEnabled(false);
        return ::testing::internal::GetCapturedStderr();
    }

private:
    bool m_Capturing = true;
};

std::size_t countOf(const std::string& text, const std::string& word) {
    std::size_t n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

// Data that the write commands send: each byte differs from its neighbours.
const std::vector<std::uint8_t> kPayload = [] {
    std::vector<std::uint8_t> bytes(600);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return bytes;
}();
std::span<const std::uint8_t> payload(std::size_t n) {
    return {kPayload.data(), n};
}

using Call = std::function<int(CUsbTransport&)>;

// --- Report framing and chunking ----------------------------------------------------------------

struct Chunk {
    std::uint8_t length;
    std::uint16_t offset;
};

struct ChunkCase {
    const char* name;
    int mode;
    Call call;
    std::uint8_t command;
    bool writesPayload;  // request data comes from kPayload at the chunk's position
    std::vector<Chunk> chunks;
};

TEST(UsbTransport, SplitsTransfersIntoChunksWithOffsets) {
    const ChunkCase cases[] = {
        {"device info on cable: one report",
         kModeCable,
         [](CUsbTransport& t) {
             std::array<std::uint8_t, 34> info{};
             return t.ReadDeviceInfo(info);
         },
         report::kReadDeviceInfo,
         false,
         {{34, 0}}},
        {"device info through a receiver: 24 + 10",
         kModeReceiver,
         [](CUsbTransport& t) {
             std::array<std::uint8_t, 34> info{};
             return t.ReadDeviceInfo(info);
         },
         report::kReadDeviceInfo,
         false,
         {{24, 0}, {10, 24}}},
        {"params read at a base, receiver",
         kModeReceiver,
         [](CUsbTransport& t) {
             std::vector<std::uint8_t> block(55);
             return t.ReadParams(64, block);
         },
         report::kReadParams,
         false,
         {{24, 64}, {24, 88}, {7, 112}}},
        {"params write at a base, cable",
         kModeCable,
         [](CUsbTransport& t) { return t.WriteParams(128, payload(66)); },
         report::kWriteParams,
         true,
         {{56, 128}, {10, 184}}},
        {"params write ending at the last 16-bit offset",
         kModeCable,
         [](CUsbTransport& t) { return t.WriteParams(0xFFF0, payload(16)); },
         report::kWriteParams,
         true,
         {{16, 0xFFF0}}},
        {"key code table follows the table length",
         kModeCable,
         [](CUsbTransport& t) {
             t.SetTableLength(60);
             std::vector<std::uint8_t> table(60);
             return t.ReadKeyCodeTable(table);
         },
         report::kReadKeyCodeTable,
         false,
         {{56, 0}, {4, 56}}},
        {"key code table write, bank 0, receiver",
         kModeReceiver,
         [](CUsbTransport& t) {
             t.SetTableLength(60);
             return t.WriteKeyCodeTable(0, payload(60));
         },
         report::kWriteKeyCodeTable,
         true,
         {{24, 0}, {24, 24}, {12, 48}}},
        {"key byte table is a third of a 312-byte table",
         kModeCable,
         [](CUsbTransport& t) {
             t.SetTableLength(312);
             std::vector<std::uint8_t> table(104);
             return t.ReadKeyByteTable(table);
         },
         report::kReadKeyByteTable,
         false,
         {{56, 0}, {48, 56}}},
        {"custom lighting at page x 512",
         kModeReceiver,
         [](CUsbTransport& t) { return t.WriteCustomLighting(1, payload(30)); },
         report::kWriteCustomLighting,
         true,
         {{24, 512}, {6, 536}}},
        {"light frame through a receiver",
         kModeReceiver,
         [](CUsbTransport& t) { return t.SendLightFrame(payload(30)); },
         report::kSendLightFrame,
         true,
         {{24, 0}, {6, 24}}},
        {"macro data on cable",
         kModeCable,
         [](CUsbTransport& t) { return t.WriteMacroData(payload(100)); },
         report::kWriteMacroData,
         true,
         {{56, 0}, {44, 56}}},
        {"no connection mode set: cable with 24-byte chunks",
         kNoMode,
         [](CUsbTransport& t) { return t.WriteMacroData(payload(30)); },
         report::kWriteMacroData,
         true,
         {{24, 0}, {6, 24}}},
        {"shoot data is always in 56-byte chunks",
         kModeReceiver,
         [](CUsbTransport& t) { return t.WriteShootData(payload(100)); },
         report::kWriteShootData,
         true,
         {{56, 0}, {44, 56}}},
        {"an empty write sends nothing",
         kModeCable,
         [](CUsbTransport& t) { return t.WriteMacroData({}); },
         report::kWriteMacroData,
         true,
         {}},
    };
    for (const ChunkCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.mode);
        EXPECT_EQ(c.call(rig.transport), kResultOk);

        const std::vector<WrittenReport> writes = rig.hid.writes();
        ASSERT_EQ(writes.size(), c.chunks.size());
        std::size_t position = 0;
        for (std::size_t i = 0; i < writes.size(); ++i) {
            const Chunk& chunk = c.chunks[i];
            std::span<const std::uint8_t> data;
            if (c.writesPayload)
                data = std::span(kPayload).subspan(position, chunk.length);
            const report::Report expected =
                report::encodeRequest(c.command, chunk.length, chunk.offset, data);
            EXPECT_EQ(writes[i].bytes, Bytes(expected.begin(), expected.end())) << "report " << i;
            EXPECT_EQ(writes[i].path, c.mode == kModeReceiver ? kReceiverPath : kCablePath);
            position += chunk.length;
        }
    }
}

TEST(UsbTransport, SingleReportCommandsSendOneReport) {
    struct Case {
        const char* name;
        Call call;
        report::Report expected;
    };
    const Case cases[] = {
        {"begin config", [](CUsbTransport& t) { return t.BeginConfig(); },
         report::encodeRequest(0x01, 0, 0)},
        {"end config", [](CUsbTransport& t) { return t.EndConfig(); },
         report::encodeRequest(0x02, 0, 0)},
        {"start host lighting", [](CUsbTransport& t) { return t.StartHostLighting(); },
         report::encodeRequest(0x1C, 0, 0)},
        {"status read names its length and offset",
         [](CUsbTransport& t) {
             std::array<std::uint8_t, 6> status{};
             return t.ReadStatus(0x0102, status);
         },
         report::encodeRequest(0x1A, 6, 0x0102)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(kModeReceiver);
        EXPECT_EQ(c.call(rig.transport), kResultOk);
        const std::vector<WrittenReport> writes = rig.hid.writes();
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].bytes, Bytes(c.expected.begin(), c.expected.end()));
    }

    // The documented bytes of begin config.
    Rig rig(kModeCable);
    ASSERT_EQ(rig.transport.BeginConfig(), kResultOk);
    Bytes begin(64, 0);
    begin[0] = 0x04;
    begin[1] = 0x01;
    begin[3] = 0x01;
    EXPECT_EQ(rig.hid.writes().at(0).bytes, begin);
}

// --- Reads --------------------------------------------------------------------------------------

TEST(UsbTransport, ReadsAssembleTheAnsweredChunks) {
    struct Case {
        const char* name;
        std::function<int(CUsbTransport&, std::vector<std::uint8_t>&)> read;
        std::size_t length;
        std::uint16_t base;
    };
    const Case cases[] = {
        {"device info",
         [](CUsbTransport& t, std::vector<std::uint8_t>& out) {
             std::array<std::uint8_t, 34> info{};
             const int result = t.ReadDeviceInfo(info);
             out.assign(info.begin(), info.end());
             return result;
         },
         34, 0},
        {"params",
         [](CUsbTransport& t, std::vector<std::uint8_t>& out) { return t.ReadParams(200, out); },
         71, 200},
        {"key code table",
         [](CUsbTransport& t, std::vector<std::uint8_t>& out) {
             t.SetTableLength(90);
             return t.ReadKeyCodeTable(out);
         },
         90, 0},
        {"key byte table",
         [](CUsbTransport& t, std::vector<std::uint8_t>& out) {
             t.SetTableLength(90);
             return t.ReadKeyByteTable(out);
         },
         30, 0},
    };
    for (int mode : {kModeCable, kModeReceiver}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (mode == kModeCable ? " on cable" : " on receiver"));
            Rig rig(mode);
            // The device answers each byte with its own offset.
            rig.hid.setAnswerer([](const WrittenReport& r, std::size_t) {
                const report::Header h =
                    report::decodeHeader(std::span<const std::uint8_t, 64>(r.bytes));
                Bytes data(h.length);
                for (std::size_t i = 0; i < data.size(); ++i)
                    data[i] = static_cast<std::uint8_t>(h.offset + i);
                return std::vector<Bytes>{echoAnswer(r.bytes, 0, data)};
            });
            std::vector<std::uint8_t> out(c.length, 0xEE);
            ASSERT_EQ(c.read(rig.transport, out), kResultOk);
            ASSERT_EQ(out.size(), c.length);
            for (std::size_t i = 0; i < out.size(); ++i)
                ASSERT_EQ(out[i], static_cast<std::uint8_t>(c.base + i)) << "byte " << i;
        }
    }
}

TEST(UsbTransport, ShortAnswerIsUsedOnlyAsFarAsItWasRead) {
    Rig rig(kModeCable);
    const Bytes shortAnswer = {0x04, 0x00, 0x00, 0x1A, 0x06, 0x00, 0x00, 0x00, 0xAB, 0xCD};
    // A full answer of another exchange comes first; none of its bytes may show through.
    const Bytes otherAnswer(64, 0x77);
    rig.hid.setAnswerer([&](const WrittenReport&, std::size_t) {
        return std::vector<Bytes>{otherAnswer, shortAnswer};
    });

    const std::uint8_t request[] = {0x04, 0x21, 0x00, 0x1A, 0x06};
    std::array<std::uint8_t, 64> response;
    response.fill(0xEE);
    std::size_t got = 99;
    EXPECT_EQ(
        rig.transport.Exchange(request, sizeof request, response.data(), response.size(), &got),
        kResultOk);
    EXPECT_EQ(got, shortAnswer.size());
    Bytes expected(64, 0);
    std::copy(shortAnswer.begin(), shortAnswer.end(), expected.begin());
    EXPECT_EQ(Bytes(response.begin(), response.end()), expected);
    // The request went out padded to 64 bytes.
    Bytes padded(64, 0);
    std::copy(std::begin(request), std::end(request), padded.begin());
    EXPECT_EQ(rig.hid.writes().at(0).bytes, padded);

    std::array<std::uint8_t, 6> status;
    status.fill(0xEE);
    EXPECT_EQ(rig.transport.ReadStatus(0, status), kResultOk);
    EXPECT_EQ(status, (std::array<std::uint8_t, 6>{0xAB, 0xCD, 0, 0, 0, 0}));
}

// --- Answers and results ------------------------------------------------------------------------

TEST(UsbTransport, MatchesTheEchoWithinTwoReads) {
    const Bytes echo = echoAnswer(report::encodeRequest(0x01, 0, 0));
    const Bytes other = echoAnswer(report::encodeRequest(0x06, 0, 0));
    const Bytes otherBusy = echoAnswer(report::encodeRequest(0x06, 0, 0), 0xFE);
    const Bytes unreachable = echoAnswer(report::encodeRequest(0xAA, 0, 0));
    const Bytes noCommandByte = {0x04, 0x00, 0x00};

    struct Case {
        const char* name;
        int mode;
        std::vector<Bytes> answers;
        int result;
        std::size_t reads;
        bool writeFails = false;
    };
    const Case cases[] = {
        {"echo at once", kModeCable, {echo}, kResultOk, 1},
        {"another command's answer is skipped", kModeReceiver, {other, echo}, kResultOk, 2},
        {"wrong echo twice: the second answer and its status",
         kModeCable,
         {other, otherBusy},
         kResultStatusBusy,
         2},
        {"no third read", kModeCable, {other, other, echo}, kResultOk, 2},
        {"an answer too short for a command byte is skipped",
         kModeCable,
         {noCommandByte, echo},
         kResultOk,
         2},
        {"no answer", kModeReceiver, {}, kResultNoAnswer, 2},
        {"a wrong answer, then none", kModeCable, {other}, kResultNoAnswer, 2},
        {"0xAA through a receiver: unreachable",
         kModeReceiver,
         {unreachable, echo},
         kResultUnreachable,
         1},
        {"0xAA on cable is skipped", kModeCable, {unreachable, echo}, kResultOk, 2},
        {"write fails", kModeCable, {echo}, kResultWriteFailed, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.mode);
        rig.hid.failWrites(c.writeFails);
        rig.hid.setAnswerer([&](const WrittenReport&, std::size_t) { return c.answers; });
        EXPECT_EQ(rig.transport.BeginConfig(), c.result);
        EXPECT_EQ(rig.hid.readTimeouts().size(), c.reads);
    }
}

TEST(UsbTransport, MapsStatusAndAbortsAtTheFailingChunk) {
    struct Case {
        const char* name;
        int mode;
        Call call;
        std::size_t failAt;  // index of the report answered with the status
        std::uint8_t status;
        int result;
        std::size_t reports;
    };
    const Case cases[] = {
        {"status 0xFF", kModeCable, [](CUsbTransport& t) { return t.BeginConfig(); }, 0, 0xFF,
         kResultStatusError, 1},
        {"status 0xFE", kModeCable, [](CUsbTransport& t) { return t.StartHostLighting(); }, 0, 0xFE,
         kResultStatusBusy, 1},
        {"other status values are success", kModeCable,
         [](CUsbTransport& t) { return t.EndConfig(); }, 0, 0xFD, kResultOk, 1},
        {"0xFE on the second macro chunk", kModeCable,
         [](CUsbTransport& t) { return t.WriteMacroData(payload(100)); }, 1, 0xFE,
         kResultStatusBusy, 2},
        {"0xFF stops a longer transfer", kModeCable,
         [](CUsbTransport& t) { return t.WriteMacroData(payload(200)); }, 1, 0xFF,
         kResultStatusError, 2},
        {"0xFE on the third params chunk", kModeReceiver,
         [](CUsbTransport& t) {
             std::vector<std::uint8_t> block(71);
             return t.ReadParams(0, block);
         },
         2, 0xFE, kResultStatusBusy, 3},
        {"light frame", kModeReceiver,
         [](CUsbTransport& t) { return t.SendLightFrame(payload(60)); }, 0, 0xFF,
         kResultStatusError, 1},
        {"shoot data", kModeCable, [](CUsbTransport& t) { return t.WriteShootData(payload(100)); },
         0, 0xFE, kResultStatusBusy, 1},
        {"status read", kModeCable,
         [](CUsbTransport& t) {
             std::array<std::uint8_t, 6> status{};
             return t.ReadStatus(0, status);
         },
         0, 0xFF, kResultStatusError, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.mode);
        rig.answerStatusAt(c.failAt, c.status);
        EXPECT_EQ(c.call(rig.transport), c.result);
        EXPECT_EQ(rig.hid.writes().size(), c.reports);
    }
}

TEST(UsbTransport, DeviceInfoIsHandedOverOnlyWhenComplete) {
    Rig rig(kModeReceiver);
    rig.answerStatusAt(1, 0xFE);
    std::array<std::uint8_t, 34> info;
    info.fill(0xEE);
    EXPECT_EQ(rig.transport.ReadDeviceInfo(info), kResultStatusBusy);
    for (std::uint8_t b : info)
        ASSERT_EQ(b, 0xEE);
}

TEST(UsbTransport, RefusesInvalidParametersBeforeSending) {
    struct Case {
        const char* name;
        Call call;
    };
    const Case cases[] = {
        {"key table bank 1", [](CUsbTransport& t) { return t.WriteKeyCodeTable(1, payload(512)); }},
        {"key table bank -1",
         [](CUsbTransport& t) { return t.WriteKeyCodeTable(-1, payload(512)); }},
        {"key table write buffer shorter than the table",
         [](CUsbTransport& t) { return t.WriteKeyCodeTable(0, payload(511)); }},
        {"key table read buffer shorter than the table",
         [](CUsbTransport& t) {
             std::vector<std::uint8_t> table(511);
             return t.ReadKeyCodeTable(table);
         }},
        {"key byte table buffer shorter than a third of the table",
         [](CUsbTransport& t) {
             std::vector<std::uint8_t> table(169);
             return t.ReadKeyByteTable(table);
         }},
        {"status read longer than one report",
         [](CUsbTransport& t) {
             std::vector<std::uint8_t> status(57);
             return t.ReadStatus(0, status);
         }},
        {"negative lighting page",
         [](CUsbTransport& t) { return t.WriteCustomLighting(-1, payload(3)); }},
        {"lighting page beyond 16-bit offsets",
         [](CUsbTransport& t) { return t.WriteCustomLighting(128, payload(3)); }},
        {"lighting data running past 16-bit offsets",
         [](CUsbTransport& t) { return t.WriteCustomLighting(127, payload(513)); }},
        {"params read running past 16-bit offsets",
         [](CUsbTransport& t) {
             std::vector<std::uint8_t> block(17);
             return t.ReadParams(0xFFF0, block);
         }},
        {"exchange of a request longer than a report",
         [](CUsbTransport& t) {
             std::array<std::uint8_t, 65> request{};
             std::array<std::uint8_t, 64> response{};
             return t.Exchange(request.data(), request.size(), response.data(), response.size(),
                               nullptr);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(kModeCable);
        EXPECT_EQ(c.call(rig.transport), kResultInvalidParam);
        EXPECT_TRUE(rig.hid.writes().empty());
    }
}

TEST(UsbTransport, ClosedTransportTouchesNoHardware) {
    const Call calls[] = {
        [](CUsbTransport& t) { return t.BeginConfig(); },
        [](CUsbTransport& t) { return t.EndConfig(); },
        [](CUsbTransport& t) {
            std::array<std::uint8_t, 34> info{};
            return t.ReadDeviceInfo(info);
        },
        [](CUsbTransport& t) {
            std::vector<std::uint8_t> block(55);
            return t.ReadParams(0, block);
        },
        [](CUsbTransport& t) { return t.WriteParams(0, payload(55)); },
        [](CUsbTransport& t) {
            std::vector<std::uint8_t> table(512);
            return t.ReadKeyCodeTable(table);
        },
        [](CUsbTransport& t) { return t.WriteKeyCodeTable(0, payload(512)); },
        [](CUsbTransport& t) { return t.WriteCustomLighting(0, payload(30)); },
        [](CUsbTransport& t) { return t.SendLightFrame(payload(30)); },
        [](CUsbTransport& t) { return t.WriteMacroData(payload(30)); },
        [](CUsbTransport& t) { return t.WriteShootData(payload(30)); },
        [](CUsbTransport& t) {
            std::array<std::uint8_t, 6> status{};
            return t.ReadStatus(0, status);
        },
        [](CUsbTransport& t) {
            std::vector<std::uint8_t> table(170);
            return t.ReadKeyByteTable(table);
        },
        [](CUsbTransport& t) { return t.StartHostLighting(); },
        [](CUsbTransport& t) {
            std::array<std::uint8_t, 64> request{}, response{};
            return t.Exchange(request.data(), 64, response.data(), 64, nullptr);
        },
        [](CUsbTransport& t) {
            std::array<std::uint8_t, 64> request{}, response{};
            return t.ExchangeQuiet(request.data(), 64, response.data(), 64, nullptr);
        },
    };
    for (int mode : {kModeCable, kModeReceiver}) {
        Rig rig(mode, /*open=*/false);
        for (std::size_t i = 0; i < std::size(calls); ++i)
            EXPECT_EQ(calls[i](rig.transport), kResultNoAnswer) << "call " << i << " mode " << mode;
        EXPECT_EQ(rig.transport.IsPeripheralOnline(), mode == kModeCable);
        EXPECT_TRUE(rig.hid.writes().empty());
        EXPECT_TRUE(rig.hid.readTimeouts().empty());
    }
}

// --- Peripheral presence ------------------------------------------------------------------------

TEST(UsbTransport, PeripheralOnlineThroughReceiverNeedsByte8Is0xFF) {
    struct Case {
        const char* name;
        bool answers;
        std::uint8_t byte8;
        std::uint8_t status;
        bool online;
    };
    const Case cases[] = {
        {"reachable", true, 0xFF, 0x00, true},
        {"reachable, other success status", true, 0xFF, 0x01, true},
        {"not reachable", true, 0x00, 0x00, false},
        {"status 0xFE", true, 0xFF, 0xFE, false},
        {"status 0xFF", true, 0xFF, 0xFF, false},
        {"no answer", false, 0xFF, 0x00, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(kModeReceiver);
        rig.hid.setAnswerer([&](const WrittenReport& r, std::size_t) {
            if (!c.answers)
                return std::vector<Bytes>{};
            const std::uint8_t data[] = {c.byte8};
            return std::vector<Bytes>{echoAnswer(r.bytes, c.status, data)};
        });
        EXPECT_EQ(rig.transport.IsPeripheralOnline(), c.online);
        const report::Report query = report::encodeRequest(0xAA, 0, 0);
        ASSERT_EQ(rig.hid.writes().size(), 1u);
        EXPECT_EQ(rig.hid.writes()[0].bytes, Bytes(query.begin(), query.end()));
    }

    Rig cable(kModeCable);
    EXPECT_TRUE(cable.transport.IsPeripheralOnline());
    EXPECT_TRUE(cable.hid.writes().empty());
}

// --- Modes, time-outs and settings --------------------------------------------------------------

TEST(UsbTransport, ConnectionModeChoosesInterfaceChunkAndTimeOut) {
    struct Case {
        const char* name;
        int mode;
        Call call;
        const char* path;
        int timeoutMs;
    };
    const Case cases[] = {
        {"traced on cable", kModeCable, [](CUsbTransport& t) { return t.BeginConfig(); },
         kCablePath, 1000},
        {"traced through a receiver", kModeReceiver,
         [](CUsbTransport& t) { return t.BeginConfig(); }, kReceiverPath, 5000},
        {"quiet on cable", kModeCable,
         [](CUsbTransport& t) { return t.SendLightFrame(payload(3)); }, kCablePath, 1000},
        {"quiet through a receiver", kModeReceiver,
         [](CUsbTransport& t) { return t.SendLightFrame(payload(3)); }, kReceiverPath, 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.mode);
        ASSERT_EQ(c.call(rig.transport), kResultOk);
        const std::vector<WrittenReport> writes = rig.hid.writes();
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].path, c.path);
        EXPECT_EQ(writes[0].timeoutMs, c.timeoutMs);
        // The read counts down from the same time-out.
        const std::vector<int> reads = rig.hid.readTimeouts();
        ASSERT_EQ(reads.size(), 1u);
        EXPECT_LE(reads[0], c.timeoutMs);
    }

    FakeHid hid;
    CUsbTransport fresh{hid};
    EXPECT_FALSE(fresh.IsReceiverMode());
    EXPECT_EQ(fresh.ChunkSize(), 24);
    const struct {
        int mode;
        bool receiver;
        std::uint8_t chunk;
    } modes[] = {{2, true, 24}, {1, false, 56}, {2, true, 24}, {0, false, 56}, {3, false, 56}};
    for (const auto& m : modes) {
        fresh.SetConnectionMode(m.mode);
        EXPECT_EQ(fresh.IsReceiverMode(), m.receiver) << "mode " << m.mode;
        EXPECT_EQ(fresh.ChunkSize(), m.chunk) << "mode " << m.mode;
    }
}

TEST(UsbTransport, TableLengthIsAtMost512) {
    FakeHid hid;
    CUsbTransport transport{hid};
    EXPECT_EQ(transport.TableLength(), 512);
    EXPECT_TRUE(transport.SetTableLength(312));
    EXPECT_FALSE(transport.SetTableLength(513));
    EXPECT_EQ(transport.TableLength(), 312);
    EXPECT_TRUE(transport.SetTableLength(512));
    EXPECT_EQ(transport.TableLength(), 512);
}

TEST(UsbTransport, EndConfigWaitsTenMillisecondsBeforeSending) {
    Rig rig(kModeCable);
    std::vector<Clock::time_point> sentAt;
    rig.hid.setAnswerer([&](const WrittenReport& r, std::size_t) {
        sentAt.push_back(rig.clock.now());
        return std::vector<Bytes>{echoAnswer(r.bytes)};
    });
    const Clock::time_point start = rig.clock.now();
    ASSERT_EQ(rig.transport.BeginConfig(), kResultOk);
    ASSERT_EQ(rig.transport.EndConfig(), kResultOk);
    EXPECT_EQ(sentAt,
              (std::vector<Clock::time_point>{start, start + std::chrono::milliseconds(10)}));
}

// --- Lighting frames and configuration traffic -------------------------------------------------

TEST(UsbTransport, LightFrameYieldsToATracedExchange) {
    Rig rig(kModeReceiver);
    rig.hid.holdWrites();
    int configResult = 0;
    std::thread config([&] { configResult = rig.transport.BeginConfig(); });
    rig.hid.waitForHeldWrite();
    EXPECT_TRUE(rig.transport.IsBusy());

    TraceCapture capture;
    EXPECT_EQ(rig.transport.SendLightFrame(payload(60)), kResultOk);
    const std::string traced = capture.stop();
    rig.hid.releaseWrites();
    config.join();

    EXPECT_EQ(configResult, kResultOk);
    EXPECT_EQ(countOf(traced, "放弃灯光数据"), 3u);  // 24 + 24 + 12, all dropped
    ASSERT_EQ(rig.hid.writes().size(), 1u);
    EXPECT_EQ(rig.hid.writes()[0].bytes[report::kCommand], report::kBeginConfig);

    EXPECT_FALSE(rig.transport.IsBusy());
    EXPECT_EQ(rig.transport.SendLightFrame(payload(60)), kResultOk);
    EXPECT_EQ(rig.hid.writes().size(), 4u);
}

// --- Traces -------------------------------------------------------------------------------------

TEST(UsbTransport, TracesReportsOfTracedExchangesAndFailuresWithContext) {
    Rig rig(kModeCable);
    TraceCapture capture;
    ASSERT_EQ(rig.transport.BeginConfig(), kResultOk);
    ASSERT_EQ(rig.transport.SendLightFrame(payload(3)), kResultOk);  // quiet: no trace
    rig.answerStatusAt(3, 0xFE);
    ASSERT_EQ(rig.transport.WriteMacroData(payload(100)), kResultStatusBusy);
    const std::string traced = capture.stop();

    const std::string zeros =
        "00 00 00 00   00 00 00 00   00 00 00 00   00 00 00 00  "
        "00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00";
    const std::string begin =
        "quillmark: 命令\n"
        "quillmark: 04 01 00 01   00 00 00 00   00 00 00 00   00 00 00 00  "
        "00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00\n"
        "quillmark: " +
        zeros +
        "\n"
        "quillmark: 返回\n"
        "quillmark: 04 00 00 01   00 00 00 00   00 00 00 00   00 00 00 00  "
        "00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00\n"
        "quillmark: " +
        zeros + "\n";
    EXPECT_EQ(traced.rfind(begin, 0), 0u) << traced;
    EXPECT_EQ(countOf(traced, "命令"), 3u);  // begin config and two macro chunks
    EXPECT_NE(traced.find("transport: command 0x15 failed at offset 56 (-103)"), std::string::npos)
        << traced;
}

}  // namespace
}  // namespace qm
