// The hidraw backend against a fake sysfs and /dev tree built in a temporary folder. The /dev
// nodes are FIFOs, so the test can feed reports to a connection and take what it writes.
#include "device/hid/hidraw_backend.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "device/hid/hid_path.h"

namespace qm::hid {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Four top-level collections with report ids 1..4: keyboard (8-byte input), system control,
// consumer (16-bit array input), vendor 0xFF1C/0x92 (63-byte input and output).
const Bytes kFourCollections = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0x00, 0x29, 0xFF,
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x08, 0x81, 0x00, 0xC0,  //
    0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x02, 0x19, 0x81, 0x29, 0x83, 0x15, 0x00,
    0x25, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01, 0xC0,  //
    0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x19, 0x00, 0x2A, 0xFF, 0x03, 0x15,
    0x00, 0x26, 0xFF, 0x03, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,  //
    0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x09, 0x01, 0x15, 0x00, 0x26,
    0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0,
};

// One vendor collection without report ids: 8-byte input and output.
const Bytes kSingleUnnumbered = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x01, 0x15, 0x00, 0x26, 0xFF,
    0x00, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0,
};

// A collection that is never closed.
const Bytes kUnbalanced = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01};

struct FakeNode {
    int number = 3;
    std::string hidId = "0003:0000320F:00005055";
    std::string phys = "usb-0000:00:14.0-1/input1";
    std::optional<int> usbInterface = 1;  // nullopt: no USB parent, as made through /dev/uhid
    std::optional<Bytes> descriptor = kFourCollections;  // nullopt: no descriptor file
};

void writeFile(const fs::path& file, std::string_view content) {
    std::ofstream(file, std::ios::binary).write(content.data(), std::streamsize(content.size()));
}

class HidrawBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = (fs::temp_directory_path() / "hidraw_test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        root = name;
        fs::create_directories(root / "dev");
        backend = makeHidrawBackend(root.string(), (root / "dev").string());
    }
    void TearDown() override { fs::remove_all(root); }

    // Lays a node out as the kernel does: class/hidraw/hidrawN links to the node's folder under
    // its HID device, whose `device` link leads back to that HID device.
    void addNode(const FakeNode& node) {
        const std::string n = std::to_string(node.number);
        fs::path hid;
        if (node.usbInterface) {
            const fs::path usbDevice = root / "devices/pci0000:00/usb1" / ("1-" + n);
            const fs::path usbInterface = usbDevice / ("1-" + n + ":1." + n);
            hid = usbInterface / ("0003:320F:5055.000" + n);
            fs::create_directories(hid);
            char number[8];
            std::snprintf(number, sizeof number, "%02x\n", *node.usbInterface);
            writeFile(usbInterface / "bInterfaceNumber", number);
            writeFile(usbDevice / "bcdDevice", "0104\n");
        } else {
            hid = root / "devices/virtual/misc/uhid" / ("0003:320F:5055.000" + n);
            fs::create_directories(hid);
        }
        writeFile(hid / "uevent", "DRIVER=hid-generic\nHID_ID=" + node.hidId +
                                      "\nHID_NAME=Quillmark\nHID_PHYS=" + node.phys + "\n");
        if (node.descriptor)
            writeFile(hid / "report_descriptor",
                      std::string(node.descriptor->begin(), node.descriptor->end()));
        const fs::path classEntry = hid / "hidraw" / ("hidraw" + n);
        fs::create_directories(classEntry);
        fs::create_directory_symlink("../..", classEntry / "device");
        fs::create_directories(root / "class/hidraw");
        fs::create_directory_symlink(classEntry, root / "class/hidraw" / ("hidraw" + n));
        ASSERT_EQ(::mkfifo(nodeFile(node.number).c_str(), 0600), 0);
    }

    std::string nodeFile(int number) const {
        return (root / "dev" / ("hidraw" + std::to_string(number))).string();
    }

    std::vector<std::string> enumerate() {
        std::vector<std::string> paths;
        EXPECT_TRUE(backend->enumerate(paths));
        return paths;
    }

    // Opens the node's only (or first) path; the connection stays in `connection`.
    void openNode(int number, bool forRead, bool forWrite) {
        const std::string prefix = nodeFile(number) + "#";
        for (const std::string& path : enumerate()) {
            if (path.starts_with(prefix)) {
                InterfaceInfo info;
                ASSERT_EQ(backend->open(path, forRead, forWrite, connection, info), 0);
                return;
            }
        }
        FAIL() << "hidraw" << number << " not listed";
    }

    // The far end of a node: what the device would send, and where its output reports land.
    void sendReport(int number, const Bytes& report) {
        int fd = ::open(nodeFile(number).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::write(fd, report.data(), report.size()), ssize_t(report.size()));
        ::close(fd);
    }
    Bytes takeWritten(int number) {
        int fd = ::open(nodeFile(number).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        Bytes buffer(256);
        ssize_t n = fd >= 0 ? ::read(fd, buffer.data(), buffer.size()) : -1;
        if (fd >= 0)
            ::close(fd);
        buffer.resize(n > 0 ? std::size_t(n) : 0);
        return buffer;
    }

    fs::path root;
    std::unique_ptr<HidBackend> backend;
    std::unique_ptr<HidConnection> connection;
};

TEST_F(HidrawBackendTest, ListsOnePathPerCollection) {
    addNode({});
    const std::string node = nodeFile(3);
    EXPECT_EQ(enumerate(), (std::vector<std::string>{
                               node + "#vid_320f&pid_5055&mi_01&col01",
                               node + "#vid_320f&pid_5055&mi_01&col02",
                               node + "#vid_320f&pid_5055&mi_01&col03",
                               node + "#vid_320f&pid_5055&mi_01&col04",
                           }));
}

TEST_F(HidrawBackendTest, NodeWithoutUsbParentTakesInterfaceFromPhys) {
    struct Case {
        const char* phys;
        std::uint16_t interfaceNumber;
    };
    const Case cases[] = {{"uhid-test/input3", 3}, {"usb-1/input12", 12}, {"aa:bb:cc:dd", 0}};
    for (int i = 0; i < 3; ++i) {
        addNode({.number = i,
                 .phys = cases[i].phys,
                 .usbInterface = {},
                 .descriptor = kSingleUnnumbered});
    }
    const std::vector<std::string> paths = enumerate();
    ASSERT_EQ(paths.size(), 3u);
    EXPECT_EQ(paths[0], nodeFile(0) + "#vid_320f&pid_5055&mi_03");
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(cases[i].phys);
        EXPECT_EQ(ParseMi(paths[i]), cases[i].interfaceNumber);
        EXPECT_EQ(paths[i].find("&col"), std::string::npos);
    }
}

TEST_F(HidrawBackendTest, SkipsNodesWithoutUsableDescriptorAndListsInNodeOrder) {
    addNode({.number = 10, .descriptor = kSingleUnnumbered});
    addNode({.number = 2, .descriptor = {}});
    addNode({.number = 3});
    addNode({.number = 5, .descriptor = kUnbalanced});
    addNode({.number = 6, .descriptor = Bytes{}});
    addNode({.number = 7, .hidId = "garbage"});
    const std::vector<std::string> paths = enumerate();
    ASSERT_EQ(paths.size(), 5u);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(paths[i].starts_with(nodeFile(3) + "#")) << paths[i];
    EXPECT_EQ(paths[4], nodeFile(10) + "#vid_320f&pid_5055&mi_01");
}

TEST_F(HidrawBackendTest, MissingClassFolderIsAnEmptyListing) {
    std::vector<std::string> paths = {"stale"};
    EXPECT_TRUE(backend->enumerate(paths));
    EXPECT_TRUE(paths.empty());
}

TEST_F(HidrawBackendTest, UnlistableClassFolderFails) {
    fs::create_directories(root / "class");
    writeFile(root / "class/hidraw", "not a folder");
    std::vector<std::string> paths;
    EXPECT_FALSE(backend->enumerate(paths));
    EXPECT_TRUE(paths.empty());
}

TEST_F(HidrawBackendTest, OpenDescribesTheInterface) {
    addNode({});
    InterfaceInfo info;
    ASSERT_EQ(backend->open(enumerate().back(), true, true, connection, info), 0);
    EXPECT_EQ(info.vendorId, 0x320F);
    EXPECT_EQ(info.productId, 0x5055);
    EXPECT_EQ(info.versionNumber, 0x0104);
    EXPECT_EQ(info.reportDescriptor, kFourCollections);
    EXPECT_EQ(info.collection, 4);
}

TEST_F(HidrawBackendTest, OpenAndExistsRejectPathsThatNameNoPresentInterface) {
    addNode({});
    addNode({.number = 4});
    ASSERT_EQ(::unlink(nodeFile(4).c_str()), 0);
    const std::string node = nodeFile(3);
    const std::string cases[] = {
        nodeFile(4) + "#vid_320f&pid_5055&mi_01&col01",  // node gone
        node + "#vid_320f&pid_5056&mi_01&col01",         // node now holds another device
        node + "#vid_320f&pid_5055&mi_02&col01",         // another interface
        node + "#vid_320f&pid_5055&mi_01&col05",         // no such collection
        node + "#vid_320f&pid_5055&mi_01",               // the node has several collections
        (root / "elsewhere/hidraw3").string() + "#vid_320f&pid_5055&mi_01&col01",
    };
    for (const std::string& path : cases) {
        SCOPED_TRACE(path);
        InterfaceInfo info;
        EXPECT_EQ(backend->open(path, true, true, connection, info), ENOENT);
        EXPECT_EQ(connection, nullptr);
    }
    EXPECT_TRUE(backend->exists(node + "#vid_320f&pid_5055&mi_01&col02"));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(backend->exists(cases[i])) << cases[i];
}

TEST_F(HidrawBackendTest, ExistsEndsWithTheSysfsEntry) {
    addNode({});
    const std::string path = enumerate().front();
    ASSERT_TRUE(backend->exists(path));
    fs::remove(root / "class/hidraw/hidraw3");
    EXPECT_FALSE(backend->exists(path));
}

TEST_F(HidrawBackendTest, OpenWithoutPermissionIsEacces) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens any node";
    addNode({});
    ASSERT_EQ(::chmod(nodeFile(3).c_str(), 0), 0);
    InterfaceInfo info;
    EXPECT_EQ(backend->open(enumerate().front(), true, true, connection, info), EACCES);
    // Presence needs no rights.
    EXPECT_TRUE(backend->exists(enumerate().front()));
}

TEST_F(HidrawBackendTest, ReadDeliversTheReportIdFirst) {
    struct Case {
        Bytes descriptor;
        Bytes sent;
        std::size_t bufferSize;
        Bytes expected;
    };
    const Case cases[] = {
        {kFourCollections, {4, 1, 2, 3}, 64, {4, 1, 2, 3}},
        {kSingleUnnumbered, {1, 2, 3}, 64, {0, 1, 2, 3}},
        {kFourCollections, {4, 1, 2, 3}, 2, {4, 1}},  // cut to the buffer
        {kSingleUnnumbered, {1, 2, 3}, 1, {0}},
    };
    int number = 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(number);
        addNode({.number = number, .descriptor = c.descriptor});
        openNode(number, true, true);
        sendReport(number, c.sent);
        Bytes buffer(c.bufferSize);  // exactly that size, so an overrun shows under ASan
        std::size_t got = 99;
        ASSERT_EQ(connection->read(buffer, 1000, got), IoStatus::Ok);
        buffer.resize(got);
        EXPECT_EQ(buffer, c.expected);
        ++number;
    }
}

TEST_F(HidrawBackendTest, WriteSendsTheReportAsGiven) {
    addNode({.descriptor = kSingleUnnumbered});
    openNode(3, true, true);
    const Bytes report = {0, 9, 8, 7, 6, 5, 4, 3, 2};
    std::size_t written = 0;
    ASSERT_EQ(connection->write(report, 1000, written), IoStatus::Ok);
    EXPECT_EQ(written, report.size());
    EXPECT_EQ(takeWritten(3), report);
}

TEST_F(HidrawBackendTest, ReadOnAQuietNodeTimesOut) {
    addNode({});
    openNode(3, true, true);
    Bytes buffer(64);
    std::size_t got = 99;
    EXPECT_EQ(connection->read(buffer, 10, got), IoStatus::Timeout);
    EXPECT_EQ(got, 0u);
}

TEST_F(HidrawBackendTest, AbortReleasesAWaitingReadAndEndsEveryLaterTransfer) {
    addNode({});
    openNode(3, true, true);
    IoStatus status = IoStatus::Ok;
    std::thread reader([&] {
        Bytes buffer(64);
        std::size_t got = 0;
        status = connection->read(buffer, -1, got);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let it start waiting
    connection->abort();
    reader.join();
    EXPECT_EQ(status, IoStatus::Aborted);

    sendReport(3, {4, 1});  // even a waiting report is not delivered any more
    Bytes buffer(64);
    std::size_t count = 99;
    EXPECT_EQ(connection->read(buffer, -1, count), IoStatus::Aborted);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(connection->write(Bytes{4, 1}, -1, count), IoStatus::Aborted);
    EXPECT_EQ(count, 0u);
}

TEST_F(HidrawBackendTest, ReadFailsOnceTheNodeHangsUp) {
    addNode({});
    openNode(3, true, false);
    sendReport(3, {4, 7});  // the writer leaves after this report, as a removed device does
    Bytes buffer(64);
    std::size_t got = 0;
    ASSERT_EQ(connection->read(buffer, 1000, got), IoStatus::Ok);  // queued reports come first
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(connection->read(buffer, 1000, got), IoStatus::Failed);
}

TEST_F(HidrawBackendTest, TransfersInADirectionNotOpenedFail) {
    addNode({});
    openNode(3, false, false);  // a probe: held without rights
    Bytes buffer(64);
    std::size_t count = 99;
    EXPECT_EQ(connection->read(buffer, 10, count), IoStatus::Failed);
    EXPECT_EQ(connection->write(Bytes{4, 1}, 10, count), IoStatus::Failed);
}

}  // namespace
}  // namespace qm::hid
