// One HID interface (one top-level collection): listing the paths present, opening one, its
// capabilities, report reads and writes under a time-out that another thread can cut short, and
// unpacking an input report into usage values.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/hid/hid_backend.h"
#include "device/hid/hid_caps.h"

namespace qm {

// Read and write time-out that waits until completion or abort.
inline constexpr int INFINITE = -1;

// One element of an item array: a button item (pressed usages) or a value item (one usage).
struct HidReportItem {
    bool IsButtonData = false;
    std::uint16_t UsagePage = 0;
    std::uint32_t Status = hid::HIDP_STATUS_SUCCESS;
    std::uint32_t ReportID = 0;
    bool IsDataSet = false;
    // Button data: lowest and highest usage and the usage list (a 0 after the last valid usage).
    std::uint32_t UsageMin = 0;
    std::uint32_t UsageMax = 0;
    std::vector<std::uint16_t> Usages;
    // Value data.
    std::uint16_t Usage = 0;
    std::uint32_t Value = 0;
    std::int32_t ScaledValue = 0;
};

// The preparsed data of an open interface: its collection, as parsed from the descriptor.
using HidPreparsedData = hid::Collection;

struct HidAttributes {
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};

class CHidDevice {
public:
    // Uses the backend chosen at start-up.
    CHidDevice();
    explicit CHidDevice(hid::HidBackend& backend);
    ~CHidDevice();
    CHidDevice(const CHidDevice&) = delete;
    CHidDevice& operator=(const CHidDevice&) = delete;

    // Builds the path list and sets the cursor to 0; false (and an empty list) on failure.
    bool EnumerateInterfaces();
    // The path at the cursor, advancing it; nullptr at the end or without a list.
    const char* NextInterfacePath();
    void FreeInterfaceList();
    std::size_t InterfaceCount() const { return m_Paths.size(); }

    // Closes any open interface, then opens path and loads its capabilities. False when the path
    // cannot be opened or its descriptor is unusable; the instance is then closed. OpenError()
    // tells why (an errno value; EACCES for missing permission).
    bool Open(const std::string& path, bool forRead, bool forWrite, bool overlapped,
              bool shareReadOnly);
    // Thread-safe against a read or write in progress on another thread: wakes it (it returns
    // failure), waits for it to leave, then releases the interface. No effect when closed.
    void Close();
    bool IsOpen() const;
    // Thread-safe: makes a read or write in progress, and every later one, fail at once, while
    // the interface and its capabilities stay as they are until Close.
    void CancelIo();

    // Reads one input report of this collection (reports of other collections of the interface
    // are skipped). A report longer than length is cut; got receives the bytes delivered (0 on
    // failure). Returns nonzero on success, 0 on failure, time-out or abort.
    int ReadReport(std::uint8_t* buffer, std::size_t length, std::size_t* got, int timeoutMs);
    int WriteReport(const std::uint8_t* buffer, std::size_t length, std::size_t* written,
                    int timeoutMs);

    // Fills the items whose report id equals report[0]. A report shorter than its collection's
    // length reads as if zero-filled. False when a value item cannot be read.
    static bool UnpackInputReport(const std::uint8_t* report, std::size_t reportLength,
                                  std::span<HidReportItem> items,
                                  const HidPreparsedData& preparsed);

    // Accessors; meaningful while open.
    const hid::Caps& GetCaps() const { return m_Caps; }
    const HidAttributes& GetAttributes() const { return m_Attributes; }
    const HidPreparsedData& GetPreparsedData() const { return m_Preparsed; }
    std::span<HidReportItem> GetInputItems() { return m_Items[0]; }
    std::span<std::uint8_t> GetInputReportBuffer() { return m_ReportBuffers[0]; }
    const std::string& GetDevicePath() const { return m_DevicePath; }
    std::uint16_t GetInterfaceNumber() const { return m_InterfaceNumber; }
    std::uint16_t GetCollectionNumber() const { return m_CollectionNumber; }
    int OpenError() const { return m_OpenError; }

private:
    void buildItems();
    // A transfer holds the connection until it ends, so that Close waits for it. Null when closed.
    hid::HidConnection* beginTransfer();
    void endTransfer();

    hid::HidBackend& m_Backend;

    std::vector<std::string> m_Paths;
    std::size_t m_Cursor = 0;
    bool m_HaveList = false;

    bool m_OpenRead = false;
    bool m_OpenWrite = false;
    bool m_Overlapped = false;
    bool m_ShareReadOnly = false;

    std::unique_ptr<hid::HidConnection> m_Connection;
    std::string m_DevicePath;
    HidPreparsedData m_Preparsed;
    hid::Caps m_Caps;
    HidAttributes m_Attributes;
    std::array<std::vector<std::uint8_t>, hid::kReportTypeCount> m_ReportBuffers;
    std::array<std::vector<HidReportItem>, hid::kReportTypeCount> m_Items;
    std::uint16_t m_InterfaceNumber = 0;
    std::uint16_t m_CollectionNumber = 0;
    int m_OpenError = 0;

    // Guards the connection against Close while a transfer runs; m_Active counts transfers.
    mutable std::mutex m_Lock;
    std::condition_variable m_Idle;
    int m_Active = 0;
};

}  // namespace qm
