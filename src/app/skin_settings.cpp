#include "app/skin_settings.h"

#include "platform/ascii_text.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/data_paths.h"
#include "platform/trace.h"

namespace qm::app {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The name of a "[name]" line; false for other lines.
bool sectionName(std::string_view line, std::string_view& name) {
    line = trimmed(line);
    if (line.size() < 2 || line.front() != '[')
        return false;
    const size_t close = line.find(']');
    if (close == std::string_view::npos)
        return false;
    name = trimmed(line.substr(1, close - 1));
    return true;
}

// The key of a "key=value" line; false for comments and lines without '='.
bool keyName(std::string_view line, std::string_view& name) {
    line = trimmed(line);
    if (line.empty() || line.front() == ';' || line.front() == '#')
        return false;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return false;
    name = trimmed(line.substr(0, equals));
    return true;
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value) {
    const std::string_view eol = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    // The text as lines, each with its own line end (the last may have none).
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < text.size();) {
        const size_t end = text.find('\n', start);
        const size_t next = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, next - start));
        start = next;
    }
    const std::string entry = std::string(key) + "=" + std::string(value);

    // Find the section, then the key in it (or where the section's last entry is).
    size_t sectionLine = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (sectionName(lines[i], name) && equalsIgnoringAsciiCase(name, section)) {
            sectionLine = i;
            break;
        }
    }
    std::string out;
    const auto appendLine = [&out, eol](std::string_view line) {
        out += line;
        if (line.empty() || line.back() != '\n')
            out += eol;
    };
    if (sectionLine == lines.size()) {
        out.assign(text);
        if (!out.empty() && out.back() != '\n')
            out += eol;
        out += "[" + std::string(section) + "]";
        out += eol;
        out += entry;
        out += eol;
        return out;
    }
    size_t insertAfter = sectionLine;  // the section's last non-blank line
    size_t keyLine = lines.size();
    for (size_t i = sectionLine + 1; i < lines.size(); ++i) {
        std::string_view name;
        if (sectionName(lines[i], name))
            break;
        if (!trimmed(lines[i]).empty())
            insertAfter = i;
        if (keyName(lines[i], name) && equalsIgnoringAsciiCase(name, key)) {
            keyLine = i;
            break;
        }
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == keyLine) {
            appendLine(entry);
            continue;
        }
        appendLine(lines[i]);
        if (keyLine == lines.size() && i == insertAfter)
            appendLine(entry);
    }
    return out;
}

bool WriteIniValues(const std::string& path, std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [key, value] : values) {
        if (hasLineBreak(key) || hasLineBreak(value) || hasLineBreak(section)) {
            tracef("settings: %s not written: a line break in [%.*s] %s", path.c_str(),
                   static_cast<int>(section.size()), section.data(), key.c_str());
            return false;
        }
    }
    std::error_code error;
    const std::filesystem::path file(path);
    std::string text;
    if (std::filesystem::exists(file, error)) {
        if (!readFile(path, text)) {
            tracef("settings: %s cannot be read, not rewritten", path.c_str());
            return false;
        }
    } else if (file.has_parent_path()) {
        std::filesystem::create_directories(file.parent_path(), error);
        if (error) {
            tracef("settings: cannot create the folder of %s (%s)", path.c_str(),
                   error.message().c_str());
            return false;
        }
    }
    for (const auto& [key, value] : values)
        text = SetIniValue(text, section, key, value);
    return writeFileAtomic(path, text);
}

std::string MainIniPath() {
    return productDataFolder() + "main.ini";
}

bool WriteSkinImage(const std::string& iniPath, int flags, std::string_view image) {
    return WriteIniValues(iniPath, "SKINIMAGE",
                          {{"FLAGS", std::to_string(flags)}, {"IMAGE", std::string(image)}});
}

}  // namespace qm::app
