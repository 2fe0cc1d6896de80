// Comparing names the way the program's files and controls do: ASCII letters without regard to
// case, every other byte exactly (UTF-8 names are never folded).
#pragma once

#include <string_view>

namespace qm {

constexpr char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i]))
            return false;
    }
    return true;
}

}  // namespace qm
