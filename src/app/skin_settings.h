// "main.ini" in the user's product folder: the skin picker records its choice there
// ([SKINIMAGE] FLAGS and IMAGE). Nothing reads it back; it is written for tools and for a copy of
// the folder made elsewhere, so other sections and keys of the file are kept as they are.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm::app {

// Sets key=value in [section] of INI text and returns the new text; every other line is kept as
// it is. Section and key names compare case-insensitively, as Windows profile files do; only the
// first section of a name counts. A missing key is added at the end of its section, a missing
// section at the end of the text. New lines use CR LF when the text already does.
std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view value);

// Sets the values in [section] of the file at path and writes it whole and atomically, creating
// the folder and the file when missing. Returns false, with a trace and the file unchanged, when
// a name or value holds a line break (it would corrupt the file), when an existing file cannot be
// read (its other sections would be lost) or when the write fails.
bool WriteIniValues(const std::string& path, std::string_view section,
                    const std::vector<std::pair<std::string, std::string>>& values);

// $XDG_DATA_HOME/Quillmark/main.ini.
std::string MainIniPath();

// The skin picker's record: FLAGS (1 for an image of the skin, 0 after a reset) and IMAGE.
bool WriteSkinImage(const std::string& iniPath, int flags, std::string_view image);

}  // namespace qm::app
