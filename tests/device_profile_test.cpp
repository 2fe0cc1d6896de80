// A device object and its profiles: the selected profile is always the one the device uses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device/hid/supported_interfaces.h"
#include "device/model/dispatcher.h"
#include "device/model/peripheral_devices.h"
#include "emulator/virtual_bus.h"
#include "platform/data_paths.h"

namespace {

namespace fs = std::filesystem;

class DeviceProfiles : public ::testing::Test {
protected:
    static std::string makeRoot() {
        char pattern[] = "/tmp/qm-device-profile-XXXXXX";
        return mkdtemp(pattern) != nullptr ? pattern : "";
    }
    void SetUp() override { ASSERT_FALSE(m_Root.empty()); }
    void TearDown() override { fs::remove_all(m_Root); }

    std::unique_ptr<qm::CTessarinUSBDevice> keyboard() {
        auto device = qm::createDevice(qm::DEVICE_KEYBOARD, m_Context);
        device->SetPageLayout("XML\\DeviceXml\\keyboarddevice.xml");
        device->SetKeyCount(170);
        device->SetLedCount(170);
        device->SetDeviceName("keyboard");
        device->BindSlot(qm::g_SupportedInterfaces[0]);
        device->SetLightConfigName("velto_light");
        device->InitPage();
        return device;
    }

    std::string m_Root = makeRoot();
    qm::FakeClock m_Clock;
    qm::LoopDispatcher m_Loop{m_Clock};
    qm::emu::VirtualBus m_Bus{qm::emu::VirtualBus::Options{{}, {{}, {}}, &m_Clock}};
    qm::DeviceContext m_Context{m_Bus, m_Loop, m_Clock, qm::defaultDataFolder(), m_Root + "/"};
};

TEST_F(DeviceProfiles, TheSelectedProfileIsTheOneLoaded) {
    auto device = keyboard();
    qm::ProfileList& profiles = device->Profiles();
    ASSERT_EQ(profiles.GetProfileCount(), 1);
    EXPECT_EQ(device->GetProfileName(), "profile1");
    EXPECT_EQ(device->ProfileData().GetProfilePath(), profiles.GetProfileFilePath(0));
    EXPECT_TRUE(fs::exists(m_Root + "/keyboard/ProfileList.ini"));
    // The factory profile's content came along.
    EXPECT_FALSE(device->ProfileData().ReadKeyList().empty());

    ASSERT_TRUE(profiles.AddProfile().ok());
    EXPECT_EQ(device->GetProfileName(), "profile1");  // adding keeps the active profile
    ASSERT_TRUE(profiles.SelectProfile(1).ok());
    EXPECT_EQ(device->ProfileData().GetProfilePath(), profiles.GetProfileFilePath(1));

    // Deleting the active profile makes its neighbour active at once, and a save afterwards
    // does not bring the deleted file back.
    const std::string deleted = profiles.GetProfileFilePath(1);
    ASSERT_TRUE(profiles.DeleteProfile().ok());
    EXPECT_EQ(device->ProfileData().GetProfilePath(), profiles.GetProfileFilePath(0));
    EXPECT_TRUE(device->ProfileData().SaveActiveEntry());
    EXPECT_FALSE(fs::exists(deleted));
}

TEST_F(DeviceProfiles, AGarbageProfileIsKeptAsideAndReadsItsFactoryContent) {
    std::string file;
    {
        auto device = keyboard();
        file = device->Profiles().GetProfileFilePath(0);
    }
    {
        std::ofstream out(file, std::ios::trunc);
        out << "\x01 not json {";
    }
    auto device = keyboard();
    EXPECT_TRUE(fs::exists(file + ".bad"));
    EXPECT_FALSE(device->ProfileData().ReadKeyList().empty());
}

}  // namespace
