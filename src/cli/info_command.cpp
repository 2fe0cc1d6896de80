// quillmark-cli info DEVICE: the device information block, decoded and raw.
#include <cstdio>
#include <cstdlib>

#include "cli_context.h"
#include "device/model/device_info_block.h"
#include "device/transport/transport_result.h"
#include "device/transport/usb_transport.h"

namespace qm::cli {
namespace {

void printBlock(const std::string& name, const UsbInterfaceRecord& slot, int slotIndex,
                std::span<const std::uint8_t, report::kDeviceInfoSize> raw, bool json) {
    const DeviceInfoBlock info = DeviceInfoBlock::decode(raw);
    const bool isMouse = slot.Kind == DEVICE_MOUSE || slot.Kind == DEVICE_MOUSE_24G;
    std::string hex;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : " %02x", raw[i]);
        hex += byte;
    }
    if (json) {
        Json::Value out;
        out["device"] = name;
        out["slot"] = slotIndex;
        out["connection"] = connectionName(slot.Kind);
        out["keyCount"] = info.keyCount;
        out["macroCapacity"] = info.macroCapacity();
        if (isMouse) {
            Json::Value scale;
            scale["sensorId"] = info.sensorId;
            scale["step"] = info.step;
            scale["highestStep"] = info.highestStep;
            scale["lowestResolution"] = info.lowestResolution;
            scale["highestResolution"] = info.stepToCpi(info.highestStep);
            out["stepScale"] = scale;
        }
        out["raw"] = hex;
        printJson(out);
        return;
    }
    std::printf("%s on slot %d (%s)\n", name.c_str(), slotIndex, connectionName(slot.Kind));
    std::printf("  keys:            %u\n", info.keyCount);
    std::printf("  macro capacity:  %u bytes (%u x 128)\n", info.macroCapacity(), info.macroUnits);
    if (isMouse) {
        std::printf("  sensor:          0x%04x\n", info.sensorId);
        std::printf(
            "  step scale:      %u..%u cpi, %u cpi per step, steps 0..%u%s\n",
            info.lowestResolution, info.stepToCpi(info.highestStep), info.step, info.highestStep,
            info.sensorId == DeviceInfoBlock::kTwoSlopeSensor ? " (200 above step 48)" : "");
    }
    std::printf("  raw:             %s\n", hex.c_str());
}

}  // namespace

int findCommandSlot(const DeviceSlots& slots, const std::string& device, std::string& error) {
    char* end = nullptr;
    const long number = std::strtol(device.c_str(), &end, 10);
    if (!device.empty() && end != nullptr && *end == '\0') {
        if (number < 0 || static_cast<std::size_t>(number) >= slots.size()) {
            error = "there is no slot " + device;
            return -1;
        }
        const UsbInterfaceRecord& slot = slots[static_cast<std::size_t>(number)];
        if (slot.Role != ROLE_COMMAND) {
            error = "slot " + device + " is an event interface; name a command slot";
            return -1;
        }
        if (!slot.Connected) {
            error = "slot " + device + " is empty";
            return -1;
        }
        return static_cast<int>(number);
    }
    if (device != "keyboard" && device != "mouse" && device != "mousepad" && device != "headset") {
        error = "unknown device '" + device + "' (keyboard, mouse, mousepad, headset or a slot)";
        return -1;
    }
    int receiver = -1;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const UsbInterfaceRecord& slot = slots[i];
        if (!slot.Connected || slot.Role != ROLE_COMMAND || device != peripheralName(slot.Kind))
            continue;
        if (!isReceiverKind(slot.Kind))
            return static_cast<int>(i);
        if (receiver < 0)
            receiver = static_cast<int>(i);
    }
    if (receiver < 0)
        error = "no " + device + " found";
    return receiver;
}

int runInfo(Context& context, const std::string& device) {
    DeviceSlots slots(context.choice.tables->Interfaces);
    std::vector<ScanProblem> problems;
    if (!scanSlots(context, slots, problems))
        return 1;
    std::string error;
    const int slotIndex = findCommandSlot(slots, device, error);
    if (slotIndex < 0) {
        printError(error);
        return 1;
    }
    const UsbInterfaceRecord& slot = slots[static_cast<std::size_t>(slotIndex)];
    const std::string name = peripheralName(slot.Kind);
    const bool receiver = isReceiverKind(slot.Kind);

    CUsbTransport transport(*context.choice.backend);
    if (const int error =
            transport.OpenCommandInterface(slot.Path, receiver ? kModeReceiver : kModeCable);
        error != 0) {
        printError("cannot open " + slot.Path + " (errno " + std::to_string(error) + ")");
        return 1;
    }

    std::array<std::uint8_t, report::kDeviceInfoSize> block{};
    int result = transport.BeginConfig();
    if (result == kResultOk) {
        result = transport.ReadDeviceInfo(block);
        // Begin is always followed by end, whatever the read gave.
        const int end = transport.EndConfig();
        if (result == kResultOk)
            result = end;
    }
    if (result != kResultOk) {
        printError(resultMessage(name, result));
        return 1;
    }
    printBlock(name, slot, slotIndex, block, context.json);
    return 0;
}

}  // namespace qm::cli
