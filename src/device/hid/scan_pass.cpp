#include "device/hid/scan_pass.h"

#include "device/hid/hid_path.h"
#include "platform/trace.h"

namespace qm {

bool claimPresentInterfaces(CHidDevice& probe, DeviceSlots& slots,
                            const std::function<void(int slot)>& onClaimed,
                            std::vector<ScanProblem>* problems) {
    if (!probe.EnumerateInterfaces()) {
        trace("scan: listing the HID interfaces failed");
        return false;
    }
    while (const char* next = probe.NextInterfacePath()) {
        const std::string path = next;
        UsbInterfaceRecord record;
        record.VendorId = ParseVid(path);
        record.ProductId = ParsePid(path);
        record.InterfaceNumber = ParseMi(path);
        record.CollectionNumber = ParseCol(path);
        record.Path = path;
        if (!slots.IsSupportedFreeInterface(record))
            continue;
        if (!probe.Open(path, true, false, true, false)) {
            tracef("scan: cannot open %s (errno %d)", path.c_str(), probe.OpenError());
            if (problems != nullptr)
                problems->push_back({path, probe.OpenError()});
            continue;
        }
        record.VendorId = probe.GetAttributes().VendorID;
        record.ProductId = probe.GetAttributes().ProductID;
        record.UsagePage = probe.GetCaps().UsagePage;
        record.Usage = probe.GetCaps().Usage;
        probe.Close();
        int slot = -1;
        if (slots.ClaimSlot(record, slot)) {
            tracef("scan: %s claimed slot %d", path.c_str(), slot);
            if (onClaimed)
                onClaimed(slot);
        }
    }
    probe.FreeInterfaceList();
    return true;
}

void releaseMissingInterfaces(hid::HidBackend& backend, DeviceSlots& slots,
                              const std::function<void(int slot)>& onReleased) {
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (!slots[i].Connected || backend.exists(slots[i].Path))
            continue;
        tracef("scan: %s left slot %zu", slots[i].Path.c_str(), i);
        slots.ReleaseSlot(static_cast<int>(i));
        if (onReleased)
            onReleased(static_cast<int>(i));
    }
}

}  // namespace qm
