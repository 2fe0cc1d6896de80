#include "device/transport/transport_result.h"

#include "device/transport/usb_transport.h"

namespace qm {

std::string resultMessage(std::string_view device, int result) {
    const std::string name(device);
    const std::string code = std::to_string(result);
    switch (result) {
        case kResultOk:
            return name + " answered (1)";
        case kResultNoAnswer:
            return "no answer from " + name + " (0)";
        case kResultWriteFailed:
            return "writing to " + name + " failed (-1)";
        case kResultUnreachable:
            return name + " is not reachable through its receiver (" + code + ")";
        case kResultStatusError:
            return name + " reported an error (status 0xFF, " + code + ")";
        case kResultStatusBusy:
            return name + " reported an error (status 0xFE, " + code + ")";
        case kResultInvalidParam:
            return "invalid parameter for " + name + " (" + code + ")";
        default:
            return name + " failed (" + code + ")";
    }
}

}  // namespace qm
