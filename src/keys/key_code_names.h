// Key codes as the command line writes them: six hex digits ("200005"), a keyboard key ("B",
// "F1", "Esc"), a combination ("ctrl+shift+esc"), "media:play", "mouse:left", "dpi:up",
// "system:sleep", "macro:NAME" or "off". Names are matched without regard to case, blanks and
// underscores.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "keys/key_code.h"

namespace qm::keys {

// The index of a macro in the macro list; -1 when no macro has the name.
using MacroIndexFn = std::function<int(std::string_view name)>;

// True with code set; false with a message for the user in error (code unchanged). A macro name
// resolves through macroIndex (an empty function knows no macro) to a MacroPlay code in play
// mode 0.
bool ParseKeyCode(std::string_view text, const MacroIndexFn& macroIndex, KeyCode& code,
                  std::string& error);
// Macro names from a list ("macro.config"'s names in order): the first with exactly the name,
// else the first that differs only in case.
bool ParseKeyCode(std::string_view text, std::span<const std::string> macroNames, KeyCode& code,
                  std::string& error);
int FindMacroIndex(std::span<const std::string> macroNames, std::string_view name);

// The readable name of a code, which ParseKeyCode reads back as the same code: a key name,
// modifiers joined with "+", a "media:", "mouse:", "dpi:", "system:" or "macro:" name, "off" for
// a disabled key, else six hex digits.
std::string KeyCodeName(KeyCode code, std::span<const std::string> macroNames);

}  // namespace qm::keys
