#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/hid/device_slots.h"
#include "device/hid/supported_interfaces.h"

namespace {

using qm::DeviceSlots;
using qm::UsbInterfaceRecord;

UsbInterfaceRecord candidate(std::uint16_t vid, std::uint16_t pid, std::uint16_t mi,
                             std::uint16_t col, std::uint16_t page, std::uint16_t usage,
                             std::string path) {
    UsbInterfaceRecord r;
    r.VendorId = vid;
    r.ProductId = pid;
    r.InterfaceNumber = mi;
    r.CollectionNumber = col;
    r.UsagePage = page;
    r.Usage = usage;
    r.Path = std::move(path);
    return r;
}

UsbInterfaceRecord keyboardCommand(std::string path = "kb-cmd") {
    return candidate(0x320F, 0x5055, 1, 4, 0xFF1C, 0x92, std::move(path));
}
UsbInterfaceRecord keyboardEvent() {
    return candidate(0x320F, 0x5055, 1, 3, 0x0C, 1, "kb-ev");
}

TEST(DeviceSlots, KeyboardInterfacesClaimTheirSlotsOnce) {
    DeviceSlots slots(qm::g_SupportedInterfaces);
    int slot = -1;
    UsbInterfaceRecord command = keyboardCommand();
    ASSERT_TRUE(slots.IsSupportedFreeInterface(command));
    ASSERT_TRUE(slots.ClaimSlot(command, slot));
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(command.Kind, qm::DEVICE_KEYBOARD);
    EXPECT_EQ(command.Role, qm::ROLE_COMMAND);
    EXPECT_EQ(slots[0].Path, "kb-cmd");

    UsbInterfaceRecord event = keyboardEvent();
    ASSERT_TRUE(slots.ClaimSlot(event, slot));
    EXPECT_EQ(slot, 1);
    EXPECT_EQ(event.Role, qm::ROLE_EVENT);

    // A second identical keyboard finds no free slot.
    UsbInterfaceRecord second = keyboardCommand("kb2-cmd");
    EXPECT_FALSE(slots.IsSupportedFreeInterface(second));
    EXPECT_FALSE(slots.ClaimSlot(second, slot));

    slots.ReleaseSlot(0);
    EXPECT_TRUE(slots.ClaimSlot(second, slot));
    EXPECT_EQ(slot, 0);
}

TEST(DeviceSlots, WrongUsagePassesTheFreeCheckButFailsTheClaim) {
    DeviceSlots slots(qm::g_SupportedInterfaces);
    UsbInterfaceRecord other = candidate(0x320F, 0x5055, 1, 4, 0xFF00, 0x01, "x");
    int slot = -1;
    EXPECT_TRUE(slots.IsSupportedFreeInterface(other));
    EXPECT_FALSE(slots.ClaimSlot(other, slot));
    EXPECT_FALSE(slots[0].Connected);
}

TEST(DeviceSlots, AllSlotsBusyOnlyWhenEverySlotIsTaken) {
    DeviceSlots slots(qm::virtualTables().Interfaces);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        EXPECT_FALSE(slots.AllSlotsBusy());
        UsbInterfaceRecord r = slots[i];
        r.Path = "p" + std::to_string(i);
        int slot = -1;
        ASSERT_TRUE(slots.ClaimSlot(r, slot));
        EXPECT_EQ(slot, static_cast<int>(i));
    }
    EXPECT_TRUE(slots.AllSlotsBusy());
}

TEST(DeviceSlots, PeripheralResolvesToItsCableCommandSlot) {
    DeviceSlots slots(qm::g_SupportedInterfaces);
    // slot -> the slot whose record stands for the peripheral
    const std::vector<std::pair<int, int>> cases = {
        {0, 0}, {1, 0}, {2, 0},   {3, 0},  // keyboard: cable, event, receiver, receiver event
        {4, 4}, {6, 4}, {7, 4},            // mouse
        {8, 8}, {9, 8}, {10, 10},          // mousepad, headset
    };
    for (auto [slot, expected] : cases)
        EXPECT_EQ(slots.ResolveObjectSlot(slot), expected) << slot;
    EXPECT_EQ(slots.ResolveObjectSlot(11), -1);

    const std::vector<UsbInterfaceRecord> entries = {slots[0]};
    EXPECT_TRUE(slots.HasDeviceObject(2, entries));
    EXPECT_FALSE(slots.HasDeviceObject(10, entries));
}

TEST(DeviceSlots, PartnerConnectedNeedsTheOtherConnectionPresent) {
    DeviceSlots slots(qm::g_SupportedInterfaces);
    EXPECT_FALSE(slots.IsPartnerConnected(0));
    UsbInterfaceRecord receiver = candidate(0x320F, 0x5088, 1, 4, 0xFF1C, 0x92, "rx");
    int slot = -1;
    ASSERT_TRUE(slots.ClaimSlot(receiver, slot));
    EXPECT_EQ(slot, 2);
    EXPECT_TRUE(slots.IsPartnerConnected(0));
    EXPECT_FALSE(slots.IsPartnerConnected(8));  // the mousepad has no partner
}

TEST(DeviceTables, LookupsFindTheirRows) {
    const qm::DeviceSlots hardware(qm::g_SupportedInterfaces);
    EXPECT_EQ(hardware.FindSupportedRow(0x320F, 0x5055, qm::DEVICE_KEYBOARD, qm::ROLE_COMMAND), 0);
    EXPECT_EQ(hardware.FindSupportedRow(0x320F, 0, qm::DEVICE_MOUSE, qm::ROLE_COMMAND), 4);
    EXPECT_EQ(hardware.FindSupportedRow(0x320F, 0x5055, 42, 0), -1);
    EXPECT_EQ(qm::FindDeviceOptionRow(qm::hardwareTables(), 0x320F, 0x5055, 1, 0), 1);
    EXPECT_EQ(qm::FindDeviceOptionRow(qm::hardwareTables(), 0x320F, 0x5055, 5, 0), -1);

    // The virtual tables tell every kind apart and otherwise equal the hardware tables.
    const auto& v = qm::virtualTables();
    ASSERT_EQ(v.Interfaces.size(), std::size(qm::g_SupportedInterfaces));
    for (std::size_t i = 0; i < v.Interfaces.size(); ++i) {
        UsbInterfaceRecord expected = qm::g_SupportedInterfaces[i];
        expected.ProductId = v.Interfaces[i].ProductId;
        EXPECT_EQ(v.Interfaces[i], expected);
        EXPECT_EQ(v.Interfaces[i].PartnerIndex, qm::g_SupportedInterfaces[i].PartnerIndex);
    }
    const qm::DeviceSlots virtualSlots(v.Interfaces);
    EXPECT_EQ(virtualSlots.FindSupportedRow(0x320F, qm::kVirtualMousePadPid, qm::DEVICE_MOUSEPAD,
                                            qm::ROLE_COMMAND),
              8);
    EXPECT_EQ(qm::FindDeviceOptionRow(v, 0x0C76, qm::kVirtualHeadsetPid, 7, 0), 3);
}

}  // namespace
