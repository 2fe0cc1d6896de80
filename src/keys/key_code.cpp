#include "keys/key_code.h"

#include <algorithm>
#include <cstdio>

namespace qm::keys {

std::optional<KeyCode> UnpackKeyCode(std::int64_t value) {
    if (value < 0 || value > 0xFFFFFF)
        return std::nullopt;
    return KeyCode{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                   static_cast<std::uint8_t>(value)};
}

bool ReadKeyTableEntry(std::span<const std::uint8_t> table, std::size_t k, KeyCode& code) {
    if (k >= table.size() / kKeyCodeSize)
        return false;
    code = KeyCodeFromBytes(table.subspan(k * kKeyCodeSize).first<kKeyCodeSize>());
    return true;
}

bool WriteKeyTableEntry(std::span<std::uint8_t> table, std::size_t k, KeyCode code) {
    if (k >= table.size() / kKeyCodeSize)
        return false;
    const auto bytes = KeyCodeBytes(code);
    std::copy(bytes.begin(), bytes.end(), table.begin() + static_cast<std::ptrdiff_t>(k * 3));
    return true;
}

std::string KeyCodeHex(KeyCode code) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", code.type, code.b1, code.b2);
    return text;
}

}  // namespace qm::keys
