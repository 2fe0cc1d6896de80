#include "device/hid/device_slots.h"

namespace qm {
namespace {

bool sameInterface(const UsbInterfaceRecord& a, const UsbInterfaceRecord& b) {
    return a.VendorId == b.VendorId && a.ProductId == b.ProductId &&
           a.InterfaceNumber == b.InterfaceNumber && a.CollectionNumber == b.CollectionNumber;
}

bool sameInterfaceAndUsage(const UsbInterfaceRecord& a, const UsbInterfaceRecord& b) {
    return sameInterface(a, b) && a.UsagePage == b.UsagePage && a.Usage == b.Usage;
}

bool isFree(const UsbInterfaceRecord& slot) {
    return slot.Connected == 0 && slot.Path.empty();
}

}  // namespace

DeviceSlots::DeviceSlots(std::span<const UsbInterfaceRecord> table)
    : m_Table(table), m_Slots(table.begin(), table.end()) {}

bool DeviceSlots::IsSupportedFreeInterface(const UsbInterfaceRecord& candidate) const {
    bool inTable = false;
    for (const UsbInterfaceRecord& row : m_Table)
        inTable = inTable || sameInterface(row, candidate);
    if (!inTable)
        return false;
    for (const UsbInterfaceRecord& slot : m_Slots)
        if (sameInterface(slot, candidate) && isFree(slot))
            return true;
    return false;
}

bool DeviceSlots::AllSlotsBusy() const {
    for (const UsbInterfaceRecord& slot : m_Slots)
        if (isFree(slot))
            return false;
    return true;
}

bool DeviceSlots::ClaimSlot(UsbInterfaceRecord& candidate, int& slotIndex) {
    const UsbInterfaceRecord* row = nullptr;
    for (const UsbInterfaceRecord& r : m_Table) {
        if (sameInterfaceAndUsage(r, candidate)) {
            row = &r;
            break;
        }
    }
    if (row == nullptr)
        return false;
    candidate.Kind = row->Kind;
    candidate.Role = row->Role;
    for (std::size_t i = 0; i < m_Slots.size(); ++i) {
        UsbInterfaceRecord& slot = m_Slots[i];
        if (sameInterfaceAndUsage(slot, candidate) && isFree(slot)) {
            slot.Connected = 1;
            slot.Path = candidate.Path;
            slotIndex = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

void DeviceSlots::ReleaseSlot(int slotIndex) {
    if (slotIndex < 0 || static_cast<std::size_t>(slotIndex) >= m_Slots.size())
        return;
    m_Slots[slotIndex].Connected = 0;
    m_Slots[slotIndex].Path.clear();
}

int DeviceSlots::FindSupportedRow(int vendorId, int productId, int kind, int role) const {
    for (std::size_t i = 0; i < m_Table.size(); ++i) {
        const UsbInterfaceRecord& row = m_Table[i];
        if (row.VendorId == vendorId && row.ProductId == productId && row.Kind == kind &&
            row.Role == role)
            return static_cast<int>(i);
    }
    return -1;
}

int DeviceSlots::ResolveObjectSlot(int slotIndex) const {
    const auto count = static_cast<int>(m_Slots.size());
    if (slotIndex < 0 || slotIndex >= count)
        return -1;
    int chosen = slotIndex;
    const UsbInterfaceRecord& slot = m_Slots[slotIndex];
    if (slot.Role == ROLE_EVENT) {
        // An event interface stands for its peripheral's command slot.
        for (int i = 0; i < count; ++i) {
            const UsbInterfaceRecord& s = m_Slots[i];
            if (s.ProductId == slot.ProductId && s.VendorId == slot.VendorId &&
                s.Kind == slot.Kind && s.Role == ROLE_COMMAND) {
                chosen = i;
                const UsbInterfaceRecord& command = m_Slots[i];
                if (isReceiverKind(command.Kind) && command.HasPartner &&
                    command.PartnerIndex < count)
                    chosen = command.PartnerIndex;
                break;
            }
        }
    } else if (isReceiverKind(slot.Kind) && slot.HasPartner && slot.PartnerIndex < count &&
               m_Slots[slot.PartnerIndex].PartnerIndex == slotIndex) {
        chosen = slot.PartnerIndex;
    }
    return chosen;
}

bool DeviceSlots::HasDeviceObject(int slotIndex,
                                  std::span<const UsbInterfaceRecord> entryRecords) const {
    const int chosen = ResolveObjectSlot(slotIndex);
    if (chosen < 0)
        return false;
    for (const UsbInterfaceRecord& record : entryRecords)
        if (record == m_Slots[chosen])
            return true;
    return false;
}

bool DeviceSlots::IsPartnerConnected(int slotIndex) const {
    const auto count = static_cast<int>(m_Slots.size());
    if (slotIndex < 0 || slotIndex >= count)
        return false;
    const UsbInterfaceRecord& slot = m_Slots[slotIndex];
    if (!slot.HasPartner || slot.PartnerIndex >= count)
        return false;
    const UsbInterfaceRecord& partner = m_Slots[slot.PartnerIndex];
    return partner.PartnerIndex == slotIndex && partner.Connected && !partner.Path.empty();
}

}  // namespace qm
