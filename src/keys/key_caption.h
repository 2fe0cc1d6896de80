// The caption of a key code: what the keyboard picture shows on a key.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "keys/key_code.h"

namespace qm::keys {

// Turns a language key into the current language's text (e.g. Languages::TranslateKey). An empty
// function leaves the keys as they are.
using TranslateFn = std::function<std::string(std::string_view key)>;

// The translated caption of a code. A keyboard code without a row of its own reads as the names of
// the rows sharing its modifier or its usage, joined with "+" (left Ctrl with C: "LCtrl+C").
// Macro codes show the macro's name (macroNames: "macro.config"'s names in list order). Function
// classes without captions read as "close_text". A code that no row names shows its hex code
// (KeyCodeHex), so a caption never stays from another key.
std::string KeyCaption(KeyCode code, const TranslateFn& translate,
                       std::span<const std::string> macroNames);

// The text of a language key through translate (the key itself without a function).
std::string Translated(const TranslateFn& translate, std::string_view key);

}  // namespace qm::keys
