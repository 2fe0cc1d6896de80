// The command transport answered by a peripheral that says anything: every read returns bytes of
// the fuzz input. Commands must return one of their result codes and never touch memory outside
// their buffers, whatever comes back.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/hid/hid_backend.h"
#include "device/transport/command_report.h"
#include "device/transport/usb_transport.h"
#include "platform/clock.h"

namespace {

using qm::hid::IoStatus;

// A command interface: one vendor collection with report 4, 63 bytes each way.
const std::vector<std::uint8_t> kCommandInterface = {
    0x06, 0x1C, 0xFF,              // Usage Page (Vendor 0xFF1C)
    0x09, 0x92,                    // Usage (0x92)
    0xA1, 0x01,                    // Collection (Application)
    0x85, 0x04,                    //   Report ID (4)
    0x09, 0x93,                    //   Usage (0x93)
    0x15, 0x00, 0x26, 0xFF, 0x00,  //   Logical Minimum (0), Maximum (255)
    0x75, 0x08, 0x95, 0x3F,        //   Report Size (8), Count (63)
    0x81, 0x02,                    //   Input (Data, Variable)
    0x09, 0x94,                    //   Usage (0x94)
    0x91, 0x02,                    //   Output (Data, Variable)
    0xC0,                          // End Collection
};

// Control bytes that start each answer.
constexpr std::uint8_t kTimeout = 0xFF;
constexpr std::uint8_t kFailure = 0xFE;
constexpr std::uint8_t kWellFormed = 0x80;  // an answer to the last request; else raw bytes

class FuzzInput {
public:
    explicit FuzzInput(std::span<const std::uint8_t> data) : m_Data(data) {}
    bool empty() const { return m_Position >= m_Data.size(); }
    // The next byte; 0 once the input is used up.
    std::uint8_t next() { return empty() ? 0 : m_Data[m_Position++]; }

private:
    std::span<const std::uint8_t> m_Data;
    std::size_t m_Position = 0;
};

class FuzzConnection final : public qm::hid::HidConnection {
public:
    explicit FuzzConnection(FuzzInput& input) : m_Input(input) {}

    IoStatus read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& got) override {
        got = 0;
        if (m_Input.empty()) {
            // Nothing more will come: an endless wait ends the way Close ends it.
            return timeoutMs < 0 ? IoStatus::Aborted : IoStatus::Timeout;
        }
        const std::uint8_t control = m_Input.next();
        if (control == kTimeout) {
            return IoStatus::Timeout;
        }
        if (control == kFailure) {
            return IoStatus::Failed;
        }
        qm::report::Report answer{};
        std::size_t length = qm::report::kSize;
        if ((control & kWellFormed) != 0) {
            // The request's header with a status and data from the input: what a peripheral sends.
            answer = m_LastRequest;
            answer[qm::report::kStatus] = m_Input.next();
            for (std::size_t i = qm::report::kData; i < answer.size(); ++i) {
                answer[i] = m_Input.next();
            }
            const std::uint16_t sum = qm::report::checksum(answer);
            answer[qm::report::kChecksumLow] = static_cast<std::uint8_t>(sum);
            answer[qm::report::kChecksumHigh] = static_cast<std::uint8_t>(sum >> 8);
        } else {
            length = 1 + (control & 0x3F);
            for (std::size_t i = 0; i < length; ++i) {
                answer[i] = m_Input.next();
            }
        }
        got = std::min(length, buffer.size());
        std::copy_n(answer.begin(), got, buffer.begin());
        return IoStatus::Ok;
    }

    IoStatus write(std::span<const std::uint8_t> report, int, std::size_t& written) override {
        m_LastRequest.fill(0);
        std::copy_n(report.begin(), std::min(report.size(), m_LastRequest.size()),
                    m_LastRequest.begin());
        written = report.size();
        return IoStatus::Ok;
    }

    void abort() override {}

private:
    FuzzInput& m_Input;
    qm::report::Report m_LastRequest{};
};

class FuzzBackend final : public qm::hid::HidBackend {
public:
    explicit FuzzBackend(FuzzInput& input) : m_Input(input) {}

    bool enumerate(std::vector<std::string>& paths) override {
        paths = {"fuzz"};
        return true;
    }

    int open(const std::string&, bool, bool, std::unique_ptr<qm::hid::HidConnection>& connection,
             qm::hid::InterfaceInfo& info) override {
        connection = std::make_unique<FuzzConnection>(m_Input);
        info.vendorId = 0x320F;
        info.productId = 0x5055;
        info.reportDescriptor = kCommandInterface;
        info.collection = 0;
        return 0;
    }

    bool exists(const std::string&) override { return true; }

private:
    FuzzInput& m_Input;
};

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool knownResult(int result) {
    switch (result) {
        case qm::kResultOk:
        case qm::kResultNoAnswer:
        case qm::kResultWriteFailed:
        case qm::kResultUnreachable:
        case qm::kResultStatusError:
        case qm::kResultStatusBusy:
        case qm::kResultInvalidParam:
            return true;
        default:
            return false;
    }
}

}  // namespace

// Input: one flags byte (bit 0: receiver mode), then the answers, each led by a control byte.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    FuzzInput input({data + 1, size - 1});
    FuzzBackend backend(input);
    qm::FakeClock clock;
    qm::CUsbTransport transport(backend, clock);
    check(transport.CableInterface().Open("fuzz", true, true, true, false));
    check(transport.ReceiverInterface().Open("fuzz", true, true, true, false));
    transport.SetOpen(true);
    transport.SetConnectionMode((data[0] & 1) != 0 ? qm::kModeReceiver : qm::kModeCable);

    std::array<std::uint8_t, qm::report::kDeviceInfoSize> info{};
    std::array<std::uint8_t, qm::kMaxTableLength> table{};
    std::array<std::uint8_t, 200> params{};
    std::array<std::uint8_t, 8> status{};
    std::array<std::uint8_t, qm::report::kSize> response{};
    const qm::report::Report request = qm::report::encodeRequest(qm::report::kReadParams, 8, 0);
    std::size_t got = 0;

    check(knownResult(transport.BeginConfig()));
    check(knownResult(transport.ReadDeviceInfo(info)));
    check(knownResult(transport.ReadParams(0x10, params)));
    check(knownResult(transport.WriteParams(0x20, params)));
    check(knownResult(transport.ReadKeyCodeTable(table)));
    check(knownResult(transport.ReadKeyByteTable(table)));
    check(knownResult(transport.ReadStatus(0, status)));
    check(knownResult(transport.SendLightFrame(params)));
    check(knownResult(transport.Exchange(request.data(), request.size(), response.data(),
                                         response.size(), &got)));
    check(got <= response.size());
    transport.IsPeripheralOnline();
    check(knownResult(transport.EndConfig()));
    return 0;
}
