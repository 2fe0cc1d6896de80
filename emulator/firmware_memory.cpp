#include "emulator/firmware_memory.h"

namespace qm::emu {

std::string_view areaName(Area area) {
    switch (area) {
        case Area::Params:
            return "params";
        case Area::KeyCodes:
            return "keyCodes";
        case Area::KeyBytes:
            return "keyBytes";
        case Area::Macro:
            return "macro";
        case Area::CustomLighting:
            return "customLighting";
        case Area::ShootData:
            return "shootData";
        case Area::Status:
            return "status";
    }
    return "unknown";
}

}  // namespace qm::emu
