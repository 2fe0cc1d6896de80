// Whole-file writes that never leave a truncated file behind, and keeping unreadable files aside.
#pragma once

#include <string>
#include <string_view>

namespace qm {

// Writes content to a temporary file in the same folder, flushes it to disk and renames it over
// path. Returns false (and traces why) when any step fails; path is then unchanged.
bool writeFileAtomic(const std::string& path, std::string_view content);

// Reads a whole file. Returns false when it cannot be opened or read.
bool readFile(const std::string& path, std::string& content);

// Moves an unreadable file out of the way as "<path>.bad" (or "<path>.bad.N" when that is taken)
// before anything replaces it. Returns the new name, or an empty string on failure.
std::string keepAside(const std::string& path);

}  // namespace qm
