// quillmark-cli keys keyboard show | set POSITION CODE | reset POSITION|all: the keyboard's key
// assignments, written as the key page's "write to the keyboard" does (the macros the keys use,
// the key table, then the profile).
#include <cstdio>
#include <map>

#include "app/languages.h"
#include "cli_context.h"
#include "device/transport/transport_result.h"
#include "device_session.h"
#include "keys/key_caption.h"
#include "keys/key_code_names.h"

namespace qm::cli {
namespace {

keys::KeyCode codeOf(const KeyAssignment& assignment) {
    return {assignment.type, assignment.b1, assignment.b2};
}

// What the key list says of one position, with its captions in the user's language.
class KeyRows {
public:
    explicit KeyRows(const CTessarinKeyboardDevice& keyboard)
        : m_Keyboard(keyboard), m_Languages(app::Languages::Installed()) {
        m_Languages.SetLanguage(m_Languages.ReadLanguageIndex(app::SystemMessagesLocale()));
    }

    bool mapped(std::size_t position) const {
        return position < kLayoutPositions && m_Keyboard.KeyPositionMap()[position] != kNoPosition;
    }
    std::string caption(keys::KeyCode code) const {
        return keys::KeyCaption(
            code, [this](std::string_view key) { return m_Languages.TranslateKey(key); },
            m_Keyboard.MacroNames());
    }

    // {"position", "key": the caption of the key there by default, "caption": of its current
    // code, "code", "name": what "keys set" takes for it, "default", "remapped", "mapped": the
    // keyboard has a key there}.
    Json::Value json(std::size_t position) const {
        const KeyAssignmentRecord& record = m_Keyboard.KeyAssignments()[position];
        const keys::KeyCode current = codeOf(record.current);
        const keys::KeyCode defaults = codeOf(record.defaults);
        Json::Value row;
        row["position"] = static_cast<Json::UInt>(position);
        row["key"] = caption(defaults);
        row["caption"] = caption(current);
        row["code"] = keys::KeyCodeHex(current);
        row["name"] = keys::KeyCodeName(current, m_Keyboard.MacroNames());
        row["default"] = keys::KeyCodeHex(defaults);
        row["remapped"] = current != defaults;
        row["mapped"] = mapped(position);
        return row;
    }

    // "  1  200005  20003A  *  F1 -> B"
    void print(std::size_t position) const {
        const KeyAssignmentRecord& record = m_Keyboard.KeyAssignments()[position];
        const keys::KeyCode current = codeOf(record.current);
        const keys::KeyCode defaults = codeOf(record.defaults);
        const bool remapped = current != defaults;
        std::string text = caption(defaults);
        if (remapped)
            text += " -> " + caption(current);
        if (!mapped(position))
            text += "  (no such key on this keyboard)";
        std::printf("%3zu  %s  %s  %c  %s\n", position, keys::KeyCodeHex(current).c_str(),
                    keys::KeyCodeHex(defaults).c_str(), remapped ? '*' : ' ', text.c_str());
    }

    // Positions without a key (empty by default and not remapped) are left out.
    bool shown(std::size_t position) const {
        const KeyAssignmentRecord& record = m_Keyboard.KeyAssignments()[position];
        return codeOf(record.defaults) != keys::kEmptyKey || record.current != record.defaults;
    }

private:
    const CTessarinKeyboardDevice& m_Keyboard;
    app::Languages m_Languages;
};

int show(const Context& context, const KeyRows& rows, std::size_t count) {
    if (context.json) {
        Json::Value out(Json::arrayValue);
        for (std::size_t p = 0; p < count; ++p)
            if (rows.shown(p))
                out.append(rows.json(p));
        printJson(out);
        return 0;
    }
    std::printf("pos  code    default     key\n");
    for (std::size_t p = 0; p < count; ++p)
        if (rows.shown(p))
            rows.print(p);
    return 0;
}

// The position text names: a number, or the name of the key that sits there by default
// ("F1", "CapsLock"). -1 with a message in error when there is none.
int parsePosition(const std::string& text, std::size_t count, std::string& error) {
    const bool number = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    if (number) {
        // More digits than any position has: out of range without converting.
        const unsigned long value = text.size() > 4 ? count : std::stoul(text);
        if (value >= count) {
            error = "position " + text + " is out of range (0-" + std::to_string(count - 1) + ")";
            return -1;
        }
        return static_cast<int>(value);
    }
    keys::KeyCode code;
    std::string why;
    if (keys::ParseKeyCode(text, keys::MacroIndexFn(), code, why)) {
        const KeyPositionTable& table = keyPositionTable();
        for (std::size_t p = 0; p < table.size() && p < count; ++p)
            if (table[p] == PositionKeyCode{code.type, code.b1, code.b2} && code != keys::kEmptyKey)
                return static_cast<int>(p);
    }
    error = "no key position '" + text + "' (a number 0-" + std::to_string(count - 1) +
            " or the name of a key, such as F1 or CapsLock)";
    return -1;
}

// What "write to the keyboard" gave, as one line; 0 when all of it went through.
int reportSave(const KeyTableSave& save) {
    if (save.macroResult > 0) {
        printError("the macros the keys use do not fit the keyboard's macro memory (" +
                   std::to_string(save.macroResult) +
                   " events too many); the key table was not written");
        return 1;
    }
    if (save.macroResult < 0) {
        printError("the macros the keys use could not be written to the keyboard");
        return 1;
    }
    if (save.keyTableResult != kResultOk) {
        printError("the key table was not written: " +
                   resultMessage("keyboard", save.keyTableResult));
        return 1;
    }
    if (!save.profileSaved) {
        printError("the keyboard took the key table, but the profile file could not be saved");
        return 1;
    }
    return 0;
}

// Writes the changed assignments and shows the positions changed.
int write(const Context& context, CTessarinKeyboardDevice& keyboard, const KeyRows& rows,
          int position) {
    const int status = reportSave(keyboard.SaveKeyAssignments());
    if (status != 0)
        return status;
    // The macros' contents do not go to the keyboard yet: a key on a macro plays what the
    // keyboard's macro memory already holds at that number.
    if (!keyboard.UsedMacroList().empty())
        std::fprintf(stderr,
                     "quillmark-cli: note: keys are assigned to macros, but macro contents are "
                     "not written to the keyboard yet\n");
    const std::size_t count = keyboard.KeyAssignments().size();
    if (position < 0)
        return show(context, rows, count);
    if (context.json) {
        printJson(rows.json(static_cast<std::size_t>(position)));
    } else {
        rows.print(static_cast<std::size_t>(position));
    }
    return 0;
}

}  // namespace

int runKeys(Context& context, const std::string& device, const std::string& action,
            const std::vector<std::string>& args) {
    if (device != "keyboard") {
        printError("keys takes keyboard, not '" + device + "'");
        return 2;
    }
    static const std::map<std::string, std::size_t> kArgs = {{"show", 0}, {"set", 2}, {"reset", 1}};
    const auto known = kArgs.find(action);
    if (known == kArgs.end()) {
        printError("unknown keys action '" + action + "' (show, set, reset)");
        return 2;
    }
    if (args.size() != known->second) {
        static const std::map<std::string, std::string> kUsage = {
            {"show", "keys keyboard show"},
            {"set", "keys keyboard set POSITION CODE"},
            {"reset", "keys keyboard reset POSITION|all"}};
        printError("usage: quillmark-cli " + kUsage.at(action));
        return 2;
    }

    KeyboardSession session(context);
    if (!session.attach())
        return 1;
    CTessarinKeyboardDevice& keyboard = session.keyboard();
    const KeyRows rows(keyboard);
    const std::size_t count = keyboard.KeyAssignments().size();
    if (count == 0) {
        printError("the keyboard's profile holds no key assignments");
        return 1;
    }
    if (action == "show") {
        if (!keyboard.LayoutValid())
            printError(
                "warning: the keyboard's key layout could not be read; these are the "
                "profile's assignments");
        return show(context, rows, count);
    }

    // Only a layout read whole says where each key lives on the device.
    if (!keyboard.LayoutValid()) {
        printError(
            "the keyboard's key layout could not be read whole, so no key can be written; "
            "plug it in again");
        return 1;
    }
    std::string error;
    if (action == "reset" && args[0] == "all") {
        keyboard.ResetAllKeyAssignments();
        return write(context, keyboard, rows, -1);
    }
    const int position = parsePosition(args[0], count, error);
    if (position < 0) {
        printError(error);
        return 1;
    }
    if (action == "reset") {
        if (keyboard.ResetKeyAssignment(position) != kResultOk) {
            printError("position " + std::to_string(position) + " cannot be reset");
            return 1;
        }
        return write(context, keyboard, rows, position);
    }

    keys::KeyCode code;
    if (!keys::ParseKeyCode(args[1], keyboard.MacroNames(), code, error)) {
        printError(error);
        return 1;
    }
    if (!rows.mapped(static_cast<std::size_t>(position))) {
        printError("the keyboard has no key at position " + std::to_string(position) +
                   ", so nothing there can be assigned");
        return 1;
    }
    if (keyboard.SetKeyAssignment(position, {code.type, code.b1, code.b2}) != kResultOk) {
        printError("position " + std::to_string(position) + " cannot be assigned");
        return 1;
    }
    return write(context, keyboard, rows, position);
}

}  // namespace qm::cli
