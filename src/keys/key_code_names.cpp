#include "keys/key_code_names.h"

#include "platform/ascii_text.h"

#include <array>
#include <optional>

#include "keys/key_function_tables.h"
#include "keys/keyboard_key_table.h"

namespace qm::keys {
namespace {

// The name each row of kKeyboardKeys is written with, in row order.
// clang-format off
constexpr std::array<std::string_view, kKeyboardKeyRows> kKeyNames{
    "LCtrl", "LShift", "LAlt", "LWin", "RCtrl", "RShift", "RAlt", "RWin",
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M",
    "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z",
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "0",
    "Enter", "Esc", "BackSpace", "Tab", "Space", "-", "=", "[", "]", "Backslash", ";", "'", "`",
    "Comma", ".", "/", "CapsLock",
    "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12",
    "PrintScreen", "ScrollLock", "Pause", "Insert", "Home", "PageUp", "Delete", "End", "PageDown",
    "Right", "Left", "Down", "Up",
    "NumLock", "Num/", "Num*", "Num-", "Num+", "NumEnter",
    "Num1", "Num2", "Num3", "Num4", "Num5", "Num6", "Num7", "Num8", "Num9", "Num0", "Num.",
    "App", "K45", "K56", "K14", "K107", "K131", "K132", "K133", "K150", "K151", "K42",
    "LaunchApp2", "BrowserHome", "MediaPlayPause", "BrowserSearch", "LaunchMail", "VolumeUp",
    "VolumeMute", "MediaStop", "VolumeDown", "BrowserFavorites", "BrowserForward", "BrowserBack",
    "MediaPrevTrack", "MediaNextTrack", "Computer", "BrowserRefresh", "BrowserStop",
    "LaunchMediaSelect", "Power", "Sleep", "Wakeup",
    "M1", "M2", "M3", "M4", "M5", "FN", "GM",
};
// clang-format on

struct NameRow {
    std::string_view name;
    int row;
};

// Other common names of keyboard rows.
constexpr NameRow kKeyAliases[] = {
    {"ctrl", 0},          {"control", 0},      {"shift", 1},         {"alt", 2},
    {"win", 3},           {"super", 3},        {"meta", 3},          {"gui", 3},
    {"altgr", 6},         {"rsuper", 7},       {"rmeta", 7},         {"escape", 45},
    {"return", 44},       {"del", 79},         {"ins", 76},          {"pgup", 78},
    {"pgdn", 81},         {"pagedn", 81},      {"caps", 60},         {"prtsc", 73},
    {"print", 73},        {"sysrq", 73},       {"minus", 49},        {"equal", 50},
    {"equals", 50},       {"leftbracket", 51}, {"rightbracket", 52}, {"semicolon", 54},
    {"apostrophe", 55},   {"quote", 55},       {"grave", 56},        {"backtick", 56},
    {"period", 58},       {"dot", 58},         {"slash", 59},        {"menu", 103},
    {"application", 103}, {"numdecimal", 102}, {"numdot", 102},      {"break", 75},
};

struct ModifierName {
    std::string_view name;
    std::uint8_t bit;
};

constexpr ModifierName kModifierNames[] = {
    {"ctrl", ModifierBit::LeftCtrl},    {"control", ModifierBit::LeftCtrl},
    {"lctrl", ModifierBit::LeftCtrl},   {"shift", ModifierBit::LeftShift},
    {"lshift", ModifierBit::LeftShift}, {"alt", ModifierBit::LeftAlt},
    {"lalt", ModifierBit::LeftAlt},     {"win", ModifierBit::LeftWin},
    {"lwin", ModifierBit::LeftWin},     {"super", ModifierBit::LeftWin},
    {"meta", ModifierBit::LeftWin},     {"gui", ModifierBit::LeftWin},
    {"rctrl", ModifierBit::RightCtrl},  {"rshift", ModifierBit::RightShift},
    {"ralt", ModifierBit::RightAlt},    {"altgr", ModifierBit::RightAlt},
    {"rwin", ModifierBit::RightWin},    {"rsuper", ModifierBit::RightWin},
    {"rmeta", ModifierBit::RightWin},
};

// How KeyCodeName writes each modifier bit, in bit order.
constexpr std::array<std::string_view, 8> kModifierOutput{"Ctrl",  "Shift",  "Alt",  "Win",
                                                          "RCtrl", "RShift", "RAlt", "RWin"};

// A group of "prefix:name" functions: names are rows of a function table, in the table's order.
struct FunctionGroup {
    std::string_view prefix;
    std::span<const FunctionRow> rows;
    std::span<const std::string_view> names;  // one per row, the first written back
    std::span<const NameRow> aliases;
};

constexpr std::string_view kMediaNames[] = {
    "player",  "play",      "stop",   "prev",     "next",       "voldown",
    "volup",   "mute",      "home",   "refresh",  "webstop",    "back",
    "forward", "favorites", "search", "computer", "calculator", "mail"};
constexpr NameRow kMediaAliases[] = {{"playpause", 1},   {"previous", 3}, {"volumedown", 5},
                                     {"volumeup", 6},    {"browser", 8},  {"webhome", 8},
                                     {"mycomputer", 15}, {"calc", 16},    {"email", 17}};
constexpr std::string_view kMouseNames[] = {"left", "middle", "right", "forward", "back"};
constexpr std::string_view kDpiNames[] = {"up", "down", "loop"};
constexpr NameRow kDpiAliases[] = {{"cycle", 2}};
constexpr std::string_view kSystemNames[] = {"power", "sleep", "wakeup"};
constexpr NameRow kSystemAliases[] = {{"wake", 2}};

const FunctionGroup kGroups[] = {
    {"media", kMediaKeys, kMediaNames, kMediaAliases},
    {"mouse", kMouseKeys, kMouseNames, {}},
    {"dpi", kDpiFunctions, kDpiNames, kDpiAliases},
    {"system", kSystemKeys, kSystemNames, kSystemAliases},
};
static_assert(std::size(kMediaNames) == std::tuple_size_v<decltype(kMediaKeys)>);
static_assert(std::size(kMouseNames) == std::tuple_size_v<decltype(kMouseKeys)>);
static_assert(std::size(kDpiNames) == std::tuple_size_v<decltype(kDpiFunctions)>);
static_assert(std::size(kSystemNames) == std::tuple_size_v<decltype(kSystemKeys)>);

constexpr std::string_view kMacroPrefix = "macro";
constexpr std::string_view kOffNames[] = {"off", "disabled", "none"};

// Lower case without blanks and underscores: "Page Up", "page_up" and "PAGEUP" are one name.
std::string normalise(std::string_view name) {
    std::string text;
    for (char c : name) {
        if (c != ' ' && c != '_' && c != '\t')
            text += foldAscii(c);
    }
    return text;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = foldAscii(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<KeyCode> parseHex(std::string_view text) {
    if (text.size() == 8 && text[0] == '0' && foldAscii(text[1]) == 'x')
        text.remove_prefix(2);
    if (text.size() != 6)
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        const int digit = hexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | digit;
    }
    return UnpackKeyCode(value);
}

// The keyboard row of a key name: its written name, its language key's name or an alias.
int keyRowOf(std::string_view name) {
    const std::string wanted = normalise(name);
    if (wanted.empty())
        return -1;
    for (std::size_t row = 0; row < kKeyNames.size(); ++row) {
        if (normalise(kKeyNames[row]) == wanted)
            return static_cast<int>(row);
    }
    constexpr std::string_view kTextIdPrefix = "keyboard_key_";
    for (std::size_t row = 0; row < kKeyboardKeys.size(); ++row) {
        std::string_view id = kKeyboardKeys[row].textId;
        if (id.starts_with(kTextIdPrefix) && normalise(id.substr(kTextIdPrefix.size())) == wanted)
            return static_cast<int>(row);
    }
    for (const NameRow& alias : kKeyAliases) {
        if (alias.name == wanted)
            return alias.row;
    }
    return -1;
}

std::optional<std::uint8_t> modifierBitOf(std::string_view name) {
    const std::string wanted = normalise(name);
    for (const ModifierName& modifier : kModifierNames) {
        if (modifier.name == wanted)
            return modifier.bit;
    }
    return std::nullopt;
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

// A key or modifiers joined with "+", read from the left: each part before a "+" is a modifier
// until the rest is a key name (so "ctrl+num+" is Ctrl with the keypad's plus).
bool parseKeyboard(std::string_view text, KeyCode& code, std::string& error) {
    std::uint8_t modifiers = 0;
    std::string_view rest = text;
    for (;;) {
        const int row = keyRowOf(rest);
        if (row >= 0) {
            const KeyCode key = kKeyboardKeys[static_cast<std::size_t>(row)].code;
            if (modifiers != 0 && key.type != KeyType::Keyboard) {
                error = quoted(trim(rest)) + " is no keyboard key and takes no modifiers";
                return false;
            }
            code = {key.type, static_cast<std::uint8_t>(key.b1 | modifiers), key.b2};
            return true;
        }
        const std::size_t plus = rest.find('+');
        if (plus == std::string_view::npos || plus + 1 == rest.size()) {
            error = "unknown key name " + quoted(trim(rest)) +
                    " (give a key such as A, F1, Esc or ctrl+c, media:play, mouse:left, "
                    "dpi:up, system:sleep, macro:NAME, off, or six hex digits such as 200005)";
            return false;
        }
        const std::string_view part = trim(rest.substr(0, plus));
        const auto bit = modifierBitOf(part);
        if (!bit) {
            error =
                quoted(part) + " is no modifier (ctrl, shift, alt, win, rctrl, rshift, ralt, rwin)";
            return false;
        }
        modifiers |= *bit;
        rest = rest.substr(plus + 1);
    }
}

bool parseGroup(const FunctionGroup& group, std::string_view name, KeyCode& code,
                std::string& error) {
    const std::string wanted = normalise(name);
    for (std::size_t row = 0; row < group.names.size(); ++row) {
        if (group.names[row] == wanted) {
            code = group.rows[row].code;
            return true;
        }
    }
    for (const NameRow& alias : group.aliases) {
        if (alias.name == wanted) {
            code = group.rows[static_cast<std::size_t>(alias.row)].code;
            return true;
        }
    }
    error = "unknown " + std::string(group.prefix) + " function " + quoted(name) + " (";
    for (std::size_t row = 0; row < group.names.size(); ++row) {
        error += row == 0 ? "" : ", ";
        error += group.names[row];
    }
    error += ")";
    return false;
}

bool parseMacro(std::string_view name, const MacroIndexFn& macroIndex, KeyCode& code,
                std::string& error) {
    if (name.empty()) {
        error = "macro: needs a macro name";
        return false;
    }
    const int index = macroIndex ? macroIndex(name) : -1;
    if (index < 0) {
        error = "no macro is named " + quoted(name);
        return false;
    }
    if (index > 0xFF) {
        error = "macro " + quoted(name) + " is beyond the 256 macros a key can name";
        return false;
    }
    code = {KeyType::MacroPlay, static_cast<std::uint8_t>(index), 0};
    return true;
}

std::string modifierNames(std::uint8_t modifiers) {
    std::string text;
    for (std::size_t bit = 0; bit < kModifierOutput.size(); ++bit) {
        if ((modifiers & (1u << bit)) == 0)
            continue;
        if (!text.empty())
            text += '+';
        text += kModifierOutput[bit];
    }
    return text;
}

}  // namespace

int FindMacroIndex(std::span<const std::string> macroNames, std::string_view name) {
    for (std::size_t i = 0; i < macroNames.size(); ++i) {
        if (macroNames[i] == name)
            return static_cast<int>(i);
    }
    for (std::size_t i = 0; i < macroNames.size(); ++i) {
        if (equalsIgnoringAsciiCase(macroNames[i], name))
            return static_cast<int>(i);
    }
    return -1;
}

bool ParseKeyCode(std::string_view text, const MacroIndexFn& macroIndex, KeyCode& code,
                  std::string& error) {
    text = trim(text);
    if (text.empty()) {
        error = "no key code given";
        return false;
    }
    if (const auto hex = parseHex(text)) {
        code = *hex;
        return true;
    }
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos) {
        const std::string prefix = normalise(text.substr(0, colon));
        const std::string_view name = trim(text.substr(colon + 1));
        if (prefix == kMacroPrefix)
            return parseMacro(name, macroIndex, code, error);
        for (const FunctionGroup& group : kGroups) {
            if (prefix == group.prefix)
                return parseGroup(group, name, code, error);
        }
        error = "unknown function class " + quoted(text.substr(0, colon)) +
                " (media, mouse, dpi, system, macro)";
        return false;
    }
    for (std::string_view off : kOffNames) {
        if (normalise(text) == off) {
            code = kDisabledKey;
            return true;
        }
    }
    return parseKeyboard(text, code, error);
}

bool ParseKeyCode(std::string_view text, std::span<const std::string> macroNames, KeyCode& code,
                  std::string& error) {
    return ParseKeyCode(
        text, [macroNames](std::string_view name) { return FindMacroIndex(macroNames, name); },
        code, error);
}

std::string KeyCodeName(KeyCode code, std::span<const std::string> macroNames) {
    if (code == kDisabledKey)
        return std::string(kOffNames[0]);
    if (code.type == KeyType::Keyboard && (code.b1 != 0 || code.b2 != 0)) {
        std::string name = modifierNames(code.b1);
        if (code.b2 == 0)
            return name;
        const int row = KeyboardRowForUsage(code.b2);
        if (row >= kFirstPlainKeyRow) {
            if (!name.empty())
                name += '+';
            return name + std::string(kKeyNames[static_cast<std::size_t>(row)]);
        }
        return KeyCodeHex(code);
    }
    if (code.type == KeyType::MacroPlay && code.b2 == 0 && code.b1 < macroNames.size()) {
        const std::string& macro = macroNames[code.b1];
        // Only a name that reads back as this macro (not an earlier one of the same name).
        if (!trim(macro).empty() && trim(macro) == macro &&
            FindMacroIndex(macroNames, macro) == code.b1)
            return std::string(kMacroPrefix) + ":" + macro;
        return KeyCodeHex(code);
    }
    for (const FunctionGroup& group : kGroups) {
        const int row = FindFunctionRow(group.rows, code);
        if (row >= 0)
            return std::string(group.prefix) + ":" +
                   std::string(group.names[static_cast<std::size_t>(row)]);
    }
    if (code.type == KeyType::Special || code.type == KeyType::MKey) {
        const int row = KeyboardRowForCode(code);
        if (row >= 0)
            return std::string(kKeyNames[static_cast<std::size_t>(row)]);
    }
    return KeyCodeHex(code);
}

}  // namespace qm::keys
