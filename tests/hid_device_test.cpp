// CHidDevice over a backend whose reports the test hands in.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "device/hid/hid_device.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A keyboard's second interface: keyboard (id 1), system control (id 2), consumer control events
// (id 3, one 16-bit array) and the vendor command collection (id 4, 63 bytes in and out).
const Bytes kKeyboardInterface = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15,
    0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00,
    0x26, 0xFF, 0x00, 0x05, 0x07, 0x19, 0x00, 0x2A, 0xFF, 0x00, 0x81, 0x00, 0xC0,  //
    0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x02, 0x19, 0x81, 0x29, 0x83, 0x15, 0x00, 0x25,
    0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01, 0xC0,  //
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x19, 0x00, 0x2A, 0xFF, 0xFF, 0x15, 0x00,
    0x27, 0xFF, 0xFF, 0x00, 0x00, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,  //
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75,
    0x08, 0x95, 0x3F, 0x09, 0x01, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0};

// Delivers the reports pushed by the test; a read waits for one until aborted.
class QueueBackend final : public qm::hid::HidBackend {
public:
    struct Shared {
        std::mutex lock;
        std::condition_variable changed;
        std::deque<Bytes> reports;
        bool aborted = false;
        bool closedWhileReading = false;
        int reading = 0;
    };

    void push(Bytes report) {
        std::lock_guard lock(m_Shared->lock);
        m_Shared->reports.push_back(std::move(report));
        m_Shared->changed.notify_all();
    }
    Shared& shared() { return *m_Shared; }
    int openError = 0;

    bool enumerate(std::vector<std::string>& paths) override {
        paths = {"q:kb#vid_320f&pid_5055&mi_01&col03", "q:kb#vid_320f&pid_5055&mi_01&col04"};
        return true;
    }
    int open(const std::string& path, bool, bool, std::unique_ptr<qm::hid::HidConnection>& c,
             qm::hid::InterfaceInfo& info) override {
        if (openError != 0)
            return openError;
        c = std::make_unique<Connection>(m_Shared);
        info.vendorId = 0x320F;
        info.productId = 0x5055;
        info.reportDescriptor = kKeyboardInterface;
        info.collection = path.back() - '0';
        return 0;
    }
    bool exists(const std::string&) override { return true; }

private:
    class Connection final : public qm::hid::HidConnection {
    public:
        explicit Connection(std::shared_ptr<Shared> s) : m_Shared(std::move(s)) {}
        ~Connection() override {
            std::lock_guard lock(m_Shared->lock);
            if (m_Shared->reading > 0)
                m_Shared->closedWhileReading = true;
        }
        qm::hid::IoStatus read(std::span<std::uint8_t> buffer, int timeoutMs,
                               std::size_t& got) override {
            std::unique_lock lock(m_Shared->lock);
            ++m_Shared->reading;
            m_Shared->changed.notify_all();
            auto ready = [this] { return m_Shared->aborted || !m_Shared->reports.empty(); };
            if (timeoutMs < 0)
                m_Shared->changed.wait(lock, ready);
            else
                m_Shared->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
            qm::hid::IoStatus status = qm::hid::IoStatus::Timeout;
            if (m_Shared->aborted) {
                status = qm::hid::IoStatus::Aborted;
            } else if (!m_Shared->reports.empty()) {
                const Bytes r = std::move(m_Shared->reports.front());
                m_Shared->reports.pop_front();
                got = std::min(r.size(), buffer.size());
                std::copy_n(r.begin(), got, buffer.begin());
                status = qm::hid::IoStatus::Ok;
            }
            --m_Shared->reading;
            return status;
        }
        qm::hid::IoStatus write(std::span<const std::uint8_t> r, int, std::size_t& n) override {
            n = r.size();
            return qm::hid::IoStatus::Ok;
        }
        void abort() override {
            std::lock_guard lock(m_Shared->lock);
            m_Shared->aborted = true;
            m_Shared->changed.notify_all();
        }

    private:
        std::shared_ptr<Shared> m_Shared;
    };

    std::shared_ptr<Shared> m_Shared = std::make_shared<Shared>();
};

TEST(HidDevice, OpenLoadsTheCollectionThePathNames) {
    QueueBackend backend;
    qm::CHidDevice hid(backend);
    ASSERT_TRUE(hid.EnumerateInterfaces());
    std::vector<std::string> listed;
    while (const char* p = hid.NextInterfacePath())
        listed.push_back(p);
    EXPECT_EQ(listed.size(), 2u);

    // Opened for reading only, as the scan probes, capabilities load all the same.
    ASSERT_TRUE(hid.Open(listed[1], true, false, true, false));
    EXPECT_EQ(hid.GetCaps().UsagePage, 0xFF1C);
    EXPECT_EQ(hid.GetCaps().Usage, 0x92);
    EXPECT_EQ(hid.GetCaps().InputReportByteLength, 64);
    EXPECT_EQ(hid.GetAttributes().ProductID, 0x5055);
    EXPECT_EQ(hid.GetInterfaceNumber(), 1);
    EXPECT_EQ(hid.GetCollectionNumber(), 4);

    ASSERT_TRUE(hid.Open(listed[0], true, false, true, false));
    EXPECT_EQ(hid.GetCaps().UsagePage, 0x0C);
    EXPECT_EQ(hid.GetCollectionNumber(), 3);

    backend.openError = EACCES;
    EXPECT_FALSE(hid.Open(listed[1], true, true, true, false));
    EXPECT_FALSE(hid.IsOpen());
    EXPECT_EQ(hid.OpenError(), EACCES);
}

TEST(HidDevice, ReadsOnlyTheReportsOfItsCollectionWithinTheBuffer) {
    QueueBackend backend;
    qm::CHidDevice hid(backend);
    ASSERT_TRUE(hid.Open("q:kb#vid_320f&pid_5055&mi_01&col04", true, true, true, false));

    Bytes command(64, 0xAB);
    command[0] = 4;
    backend.push({3, 0x01, 0x04});  // an event of the neighbouring collection
    backend.push(command);
    std::uint8_t buffer[64] = {};
    std::size_t got = 0;
    ASSERT_TRUE(hid.ReadReport(buffer, sizeof buffer, &got, 1000));
    EXPECT_EQ(got, 64u);
    EXPECT_EQ(buffer[0], 4);

    // A longer report is cut to the buffer; a shorter one reports its own length.
    Bytes longer(200, 0x55);
    longer[0] = 4;
    backend.push(longer);
    std::uint8_t small[16] = {};
    ASSERT_TRUE(hid.ReadReport(small, sizeof small, &got, 1000));
    EXPECT_EQ(got, sizeof small);
    backend.push({4, 1, 2});
    ASSERT_TRUE(hid.ReadReport(buffer, sizeof buffer, &got, 1000));
    EXPECT_EQ(got, 3u);

    // Nothing of ours arrives: failure, nothing delivered.
    backend.push({3, 0x02, 0x04});
    EXPECT_FALSE(hid.ReadReport(buffer, sizeof buffer, &got, 0));
    EXPECT_EQ(got, 0u);
}

TEST(HidDevice, CloseFromAnotherThreadReleasesAnEndlessReadBeforeClosing) {
    QueueBackend backend;
    qm::CHidDevice hid(backend);
    ASSERT_TRUE(hid.Open("q:kb#vid_320f&pid_5055&mi_01&col03", true, true, true, false));
    std::atomic<int> result{-1};
    std::thread reader([&] {
        std::uint8_t buffer[8];
        std::size_t got = 0;
        result = hid.ReadReport(buffer, sizeof buffer, &got, qm::INFINITE);
    });
    {
        // Let the reader reach its wait.
        std::unique_lock lock(backend.shared().lock);
        backend.shared().changed.wait_for(lock, std::chrono::seconds(5),
                                          [&] { return backend.shared().reading > 0; });
    }
    hid.Close();
    reader.join();
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(backend.shared().closedWhileReading);
    EXPECT_FALSE(hid.IsOpen());
}

TEST(HidDevice, UnpackGivesTheEventCodeAndLeavesOtherReportsAlone) {
    QueueBackend backend;
    qm::CHidDevice hid(backend);
    ASSERT_TRUE(hid.Open("q:kb#vid_320f&pid_5055&mi_01&col03", true, true, true, false));
    auto items = hid.GetInputItems();
    ASSERT_FALSE(items.empty());
    ASSERT_TRUE(items[0].IsButtonData);

    const std::uint8_t other[] = {2, 0x01};
    EXPECT_TRUE(
        qm::CHidDevice::UnpackInputReport(other, sizeof other, items, hid.GetPreparsedData()));
    EXPECT_FALSE(items[0].IsDataSet);

    const std::uint8_t event[] = {3, 0x01, 0x04};
    ASSERT_TRUE(
        qm::CHidDevice::UnpackInputReport(event, sizeof event, items, hid.GetPreparsedData()));
    EXPECT_TRUE(items[0].IsDataSet);
    EXPECT_EQ(items[0].Usages[0], 0x0401);

    // A report cut short reads as zero-filled: no usage, and no read past its end.
    const std::uint8_t cut[] = {3};
    ASSERT_TRUE(qm::CHidDevice::UnpackInputReport(cut, sizeof cut, items, hid.GetPreparsedData()));
    EXPECT_EQ(items[0].Usages[0], 0);
}

}  // namespace
