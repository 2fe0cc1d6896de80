// The command transport: frames every exchange with a peripheral as checksummed 64-byte reports
// over its cable or receiver command interface, maps answers to result codes, splits long
// transfers into chunks and serialises the threads that share one peripheral.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "device/hid/hid_device.h"
#include "device/transport/command_report.h"
#include "platform/clock.h"

namespace qm {

// Results of transport operations.
inline constexpr int kResultOk = 1;
inline constexpr int kResultNoAnswer = 0;  // not open, or no answer read
inline constexpr int kResultWriteFailed = -1;
inline constexpr int kResultUnreachable = -101;  // receiver: peripheral not reachable
inline constexpr int kResultStatusError = -102;  // device status 0xFF
inline constexpr int kResultStatusBusy = -103;   // device status 0xFE
inline constexpr int kResultInvalidParam = -201;

// Connection modes.
inline constexpr int kModeCable = 1;
inline constexpr int kModeReceiver = 2;

inline constexpr std::uint16_t kMaxTableLength = 512;
inline constexpr std::uint16_t kCustomLightingPageSize = 512;

class CUsbTransport {
public:
    CUsbTransport();
    explicit CUsbTransport(hid::HidBackend& backend, Clock& clock = systemClock());
    ~CUsbTransport();
    CUsbTransport(const CUsbTransport&) = delete;
    CUsbTransport& operator=(const CUsbTransport&) = delete;

    // Mode 2 = receiver (24-byte chunks); anything else = cable (56-byte chunks).
    void SetConnectionMode(int mode);
    // Opens the command interface at path on the interface of that mode (the receiver's for
    // mode 2, else the cable's) under the I/O lock, then sets the open flag and the mode.
    // Returns 0, or the errno value of the failed open (the transport then stays closed).
    int OpenCommandInterface(const std::string& path, int mode);
    // Refuses a length above 512 (false, the old length stays).
    bool SetTableLength(std::uint16_t length);

    // Traced exchange: writes the request (padded to 64 bytes), reads up to two answers until one
    // echoes the command. Returns 1, 0, -1 or -101; the status byte is left to the caller. At most
    // 64 bytes are read; the response is zero-filled beyond what was read. A request longer than
    // 64 bytes, or a null buffer with a nonzero length, gives -201 and sends nothing.
    int Exchange(const std::uint8_t* request, std::size_t requestLength, std::uint8_t* response,
                 std::size_t responseLength, std::size_t* got);
    // The same without traces or the busy flag, and a 500 ms receiver time-out (lighting frames).
    int ExchangeQuiet(const std::uint8_t* request, std::size_t requestLength,
                      std::uint8_t* response, std::size_t responseLength, std::size_t* got);

    // Commands. Buffers shorter than the transfer they name give -201 and send nothing.
    int BeginConfig();
    int EndConfig();
    int ReadDeviceInfo(std::span<std::uint8_t, report::kDeviceInfoSize> info);
    int ReadParams(std::uint16_t base, std::span<std::uint8_t> data);
    int WriteParams(std::uint16_t base, std::span<const std::uint8_t> data);
    int ReadKeyCodeTable(std::span<std::uint8_t> table);
    int WriteKeyCodeTable(int bank, std::span<const std::uint8_t> table);
    int WriteCustomLighting(int page, std::span<const std::uint8_t> colours);
    int SendLightFrame(std::span<const std::uint8_t> frame);
    int WriteMacroData(std::span<const std::uint8_t> data);
    int WriteShootData(std::span<const std::uint8_t> data);
    int ReadStatus(std::uint16_t offset, std::span<std::uint8_t> status);
    int ReadKeyByteTable(std::span<std::uint8_t> table);
    int StartHostLighting();
    bool IsPeripheralOnline();

    // State.
    bool IsOpen() const { return m_Open; }
    void SetOpen(bool open) { m_Open = open; }
    bool IsReceiverMode() const { return m_ReceiverMode; }
    std::uint8_t ChunkSize() const { return m_ChunkSize; }
    std::uint16_t TableLength() const { return m_TableLength; }
    bool IsBusy() const { return m_Busy > 0; }
    bool IsSyncMember() const { return m_SyncMember; }
    void SetSyncMember(bool member) { m_SyncMember = member; }

    CHidDevice& CableInterface() { return m_Cable; }
    CHidDevice& ReceiverInterface() { return m_Receiver; }
    // Held while an interface is opened or closed, and around each write and each series of reads.
    std::mutex& IoLock() { return m_IoLock; }
    // Taken by none of the commands; the holder of the event interfaces uses it.
    std::mutex& SecondLock() { return m_SecondLock; }

private:
    int exchange(const std::uint8_t* request, std::size_t requestLength, std::uint8_t* response,
                 std::size_t responseLength, std::size_t* got, bool quiet);
    int transfer(const std::uint8_t* request, std::size_t requestLength, std::uint8_t* response,
                 std::size_t responseLength, std::size_t* got, bool quiet);
    enum class Lock { Command, Lighting, None };
    // One report under its lock; the answer's status mapped to a result.
    int exchangeReport(Lock lock, bool quiet, const report::Report& request,
                       report::Report& response);
    int singleCommand(std::uint8_t command, std::uint8_t length, std::uint16_t offset,
                      std::span<std::uint8_t> readInto);
    int chunked(std::uint8_t command, std::size_t total, std::uint64_t base, std::uint8_t chunk,
                Lock lock, const std::uint8_t* writeFrom, std::uint8_t* readInto);

    std::atomic<std::uint16_t> m_TableLength{kMaxTableLength};
    // Counts the traced exchanges in progress, so that the flag stays up until the last ends.
    std::atomic<int> m_Busy{0};
    std::atomic<bool> m_Open{false};
    std::atomic<bool> m_SyncMember{false};
    CHidDevice m_Cable;
    CHidDevice m_Receiver;
    std::mutex m_IoLock;
    std::mutex m_SecondLock;
    std::mutex m_CommandLock;
    std::mutex m_LightingLock;
    std::atomic<bool> m_ReceiverMode{false};
    std::atomic<std::uint8_t> m_ChunkSize{24};
    Clock& m_Clock;
};

}  // namespace qm
