// Persisted firmware memory: one JSON file per firmware, <dir>/<name>.json, one member per memory
// area holding its bytes as a hex string.
#pragma once

#include <string>
#include <string_view>

#include <json/json.h>

#include "emulator/firmware_memory.h"

namespace qm::emu {

class Peripheral;

std::string firmwareStatePath(const std::string& dir, std::string_view name);

Json::Value encodeFirmwareState(std::string_view name, const FirmwareMemory& memory);
// Reads the areas back into memory, which starts as a copy of factory. An area may be a hex
// string or an array of numbers 0-255; an absent area keeps its factory bytes. False when the
// root is not an object or an area is malformed or not of its factory size.
bool decodeFirmwareState(const Json::Value& root, const FirmwareMemory& factory,
                         FirmwareMemory& memory);

enum class StateLoad { Absent, Loaded, KeptAside };
// Loads the peripheral's file when there is one. An unreadable or unparsable file is moved aside
// (keepAside) and the peripheral keeps its factory memory.
StateLoad loadFirmwareState(const std::string& dir, Peripheral& peripheral);
// Writes the file atomically, creating dir when needed. False when that fails.
bool saveFirmwareState(const std::string& dir, const Peripheral& peripheral);
// Removes the file; true when it is gone afterwards.
bool removeFirmwareState(const std::string& dir, std::string_view name);

}  // namespace qm::emu
