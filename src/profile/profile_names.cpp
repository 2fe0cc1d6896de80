#include "profile/profile_names.h"

#include "platform/ascii_text.h"

#include <filesystem>

namespace qm {
namespace {

// Length of the white-space character at the start of text, 0 when there is none.
std::size_t blankAt(std::string_view text) {
    static constexpr std::string_view kWideBlanks[] = {
        "\xC2\xA0",      // U+00A0 no-break space
        "\xE3\x80\x80",  // U+3000 ideographic space
    };
    const char c = text.front();
    if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r')
        return 1;
    for (std::string_view blank : kWideBlanks) {
        if (text.starts_with(blank))
            return blank.size();
    }
    return 0;
}

}  // namespace

bool SameProfileName(std::string_view a, std::string_view b) {
    return equalsIgnoringAsciiCase(a, b);
}

bool ProfileNameTaken(const std::vector<std::string>& names, std::string_view name, int except) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (static_cast<int>(i) != except && SameProfileName(names[i], name))
            return true;
    }
    return false;
}

bool IsBlankProfileName(std::string_view name) {
    while (!name.empty()) {
        const std::size_t n = blankAt(name);
        if (n == 0)
            return false;
        name.remove_prefix(n);
    }
    return true;
}

std::string MakeAddedProfileName(const std::vector<std::string>& names) {
    for (int n = 1;; ++n) {
        std::string name = "profile" + std::to_string(n);
        if (!ProfileNameTaken(names, name))
            return name;
    }
}

std::string MakeCopiedProfileName(const std::string& source,
                                  const std::vector<std::string>& names) {
    std::string name = source + " copy";
    while (ProfileNameTaken(names, name))
        name += " copy";
    return name;
}

std::string MakeImportedProfileName(const std::string& base,
                                    const std::vector<std::string>& names) {
    std::string name = base;
    for (int k = 1; ProfileNameTaken(names, name); ++k)
        name += "(" + std::to_string(k) + ")";
    return name;
}

std::string ImportedFileBaseName(const std::string& path) {
    std::string file = std::filesystem::path(path).filename().string();
    const std::size_t dot = file.rfind('.');
    // A name that is only an extension (".json") keeps it, as it has nothing else.
    if (dot != std::string::npos && dot > 0)
        file.erase(dot);
    return file;
}

bool IsPlainProfileId(std::string_view id) {
    // Leaves room for ".Json" within the usual 255-byte file name limit.
    constexpr std::size_t kMaxIdLength = 250;
    return !id.empty() && id.size() <= kMaxIdLength && id != "." &&
           id.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos &&
           id.find("..") == std::string_view::npos;
}

}  // namespace qm
