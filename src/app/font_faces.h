// The font face of each interface language. Three languages have a face of their own; the others
// use the system's default UI font. Faces come from the installed fonts (fontconfig); the program
// ships no font files.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qm::app {

// Language indexes (in "Language.config") with a face of their own.
inline constexpr int kSimplifiedChineseLanguage = 0;
inline constexpr int kTraditionalChineseLanguage = 2;
inline constexpr int kThaiLanguage = 15;

inline constexpr std::string_view kThaiFace = "Noto Sans Thai";
inline constexpr std::string_view kTraditionalChineseFace = "Noto Sans CJK TC";
// Simplified Chinese: the first of these that is installed.
inline constexpr std::string_view kSimplifiedChineseFaces[] = {
    "Noto Sans CJK SC", "WenQuanYi Micro Hei", "Droid Sans Fallback"};

// The face to apply when the language changes from previous (-1 before the first language) to
// next: nullopt keeps the current face; an empty string is the system's default UI font; else a
// family name. The default is applied only when leaving one of the three languages with a face of
// their own or the initial state; a Simplified Chinese switch without any of its faces installed
// gives the default. installed tells whether a family is installed.
std::optional<std::string> FontFaceFor(int previous, int next,
                                       const std::function<bool(std::string_view)>& installed);

}  // namespace qm::app
