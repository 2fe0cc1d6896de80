#include "keys/key_caption.h"

#include <optional>

#include "keys/key_function_tables.h"
#include "keys/keyboard_key_table.h"

namespace qm::keys {
namespace {

// The rows a keyboard code is made of: a row shares a non-zero modifier byte or a non-zero usage
// with the code. Comparing zero bytes would let an unknown usage match every modifier row.
std::optional<std::string> keyboardParts(KeyCode code, const TranslateFn& translate) {
    std::string caption;
    for (const KeyboardKeyRow& row : kKeyboardKeys) {
        if (row.code.type != code.type)
            continue;
        const bool sameModifier = row.code.b1 != 0 && row.code.b1 == code.b1;
        const bool sameUsage = row.code.b2 != 0 && row.code.b2 == code.b2;
        if (!sameModifier && !sameUsage)
            continue;
        if (!caption.empty())
            caption += '+';
        caption += Translated(translate, row.textId);
    }
    if (caption.empty())
        return std::nullopt;
    return caption;
}

std::optional<std::string_view> keyboardTextId(KeyCode code) {
    const int row = KeyboardRowForCode(code);
    if (row < 0)
        return std::nullopt;
    return kKeyboardKeys[static_cast<std::size_t>(row)].textId;
}

template <typename Match>
std::optional<std::string_view> findTextId(std::span<const FunctionRow> rows, Match match) {
    for (const FunctionRow& row : rows) {
        if (match(row.code))
            return row.textId;
    }
    return std::nullopt;
}

// The language key of a code's caption; nothing when no row names it.
std::optional<std::string_view> captionTextId(KeyCode code) {
    const auto sameType = [&](KeyCode c) { return c.type == code.type; };
    const auto sameB1 = [&](KeyCode c) { return c.type == code.type && c.b1 == code.b1; };
    const auto sameCode = [&](KeyCode c) { return c == code; };
    switch (code.type) {
        case KeyType::MouseButton:
            return findTextId(kMouseKeys, sameB1);
        case KeyType::MouseSwing:
            return (code.b2 & 0x80) != 0 ? kSwingRightTextId : kSwingLeftTextId;
        case KeyType::Wheel:
            return (code.b2 & 0x80) != 0 ? kSwingDownTextId : kSwingUpTextId;
        case KeyType::Dpi:
            return findTextId(kDpiFunctions, sameB1);
        case KeyType::Fire:
            return kFireTextId;
        case 0x15:
        case KeyType::DpiShift:
        case 0x21:
        case 0x50:
        case 0x60:
        case 0xB0:
        case 0xC0:
            return findTextId(kMouseFunctionCaptions, sameType);
        case KeyType::EditShortcut:
            return findTextId(kEditShortcuts, sameCode);
        case KeyType::ShowWindow:
            return findTextId(kMouseFunctionCaptions, sameCode);
        case KeyType::Consumer:
            return findTextId(kMediaKeys, sameCode);
        case KeyType::System:
            return findTextId(kSystemKeys, sameCode);
        case KeyType::Special:
        case KeyType::MKey:
            if (const auto id = findTextId(kMouseFunctionCaptions, sameB1))
                return id;
            return keyboardTextId(code);
        default:
            return kCloseTextId;
    }
}

}  // namespace

std::string Translated(const TranslateFn& translate, std::string_view key) {
    return translate ? translate(key) : std::string(key);
}

std::string KeyCaption(KeyCode code, const TranslateFn& translate,
                       std::span<const std::string> macroNames) {
    switch (code.type) {
        case KeyType::Disabled:
        case KeyType::Keyboard:
            if (const auto id = keyboardTextId(code))
                return Translated(translate, *id);
            if (code.b1 == 0 && code.b2 == 0)
                return Translated(translate, kCloseTextId);
            if (auto parts = keyboardParts(code, translate))
                return *std::move(parts);
            return KeyCodeHex(code);
        case KeyType::MacroPlay:
        case KeyType::MacroRepeat:
            if (code.b1 < macroNames.size())
                return macroNames[code.b1];
            return KeyCodeHex(code);
        default:
            if (const auto id = captionTextId(code))
                return Translated(translate, *id);
            return KeyCodeHex(code);
    }
}

}  // namespace qm::keys
