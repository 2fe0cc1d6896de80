// The device slots: a copy of the supported-interface table, row for row, whose connected flag
// and path change as interfaces arrive and leave. Only the scan thread writes them.
#pragma once

#include <span>
#include <vector>

#include "device/hid/supported_interfaces.h"

namespace qm {

class DeviceSlots {
public:
    explicit DeviceSlots(std::span<const UsbInterfaceRecord> table);

    std::size_t size() const { return m_Slots.size(); }
    const UsbInterfaceRecord& operator[](std::size_t i) const { return m_Slots[i]; }
    std::span<const UsbInterfaceRecord> table() const { return m_Table; }

    // Some table row has the candidate's vendor id, product id, interface and collection, and
    // some slot with those four values is free (usages are not looked at).
    bool IsSupportedFreeInterface(const UsbInterfaceRecord& candidate) const;
    // Every slot is connected or has a path.
    bool AllSlotsBusy() const;
    // The first table row equal on ids, interface, collection, usage page and usage gives the
    // candidate its kind and role; the first free slot equal on those six values is claimed with
    // the candidate's path. False when no row matches or no such slot is free.
    bool ClaimSlot(UsbInterfaceRecord& candidate, int& slotIndex);
    void ReleaseSlot(int slotIndex);
    // Row of the table with these four values, or -1.
    int FindSupportedRow(int vendorId, int productId, int kind, int role) const;

    // The slot whose record stands for the peripheral of slotIndex: an event interface resolves
    // to its command slot, a receiver slot to its cable partner. -1 for an index out of range.
    int ResolveObjectSlot(int slotIndex) const;
    // Whether one of the records kept by the selector entries stands for the peripheral of
    // slotIndex.
    bool HasDeviceObject(int slotIndex, std::span<const UsbInterfaceRecord> entryRecords) const;
    // The slot has a partner that points back to it and is connected with a path.
    bool IsPartnerConnected(int slotIndex) const;

private:
    std::span<const UsbInterfaceRecord> m_Table;
    std::vector<UsbInterfaceRecord> m_Slots;
};

}  // namespace qm
