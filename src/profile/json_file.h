// Reading and writing the program's JSON files. Every JSON file goes through these.
#pragma once

#include <json/json.h>

#include <chrono>
#include <string>
#include <string_view>

namespace qm {

// The whole file's bytes; empty when it cannot be opened or read in full.
std::string readjsonFile(const std::string& path);

enum class JsonFileState {
    Ok,          // read and parsed
    Missing,     // no such file (or it cannot be opened)
    Unreadable,  // it exists but is empty or does not parse
};

// The parsed document: a null value when the file is missing, empty or does not parse (state
// tells which). Comments are allowed; CR LF and LF line ends are both read.
Json::Value LoadJsonDocument(const std::string& path, JsonFileState* state = nullptr);

// Parses JSON text (comments allowed). False for text that does not parse or nests deeper than
// a sane limit; never throws.
bool parseJsonText(std::string_view text, Json::Value& document, std::string* errors = nullptr);

// Writes document whole, in jsoncpp's styled form plus one line end, atomically (temporary file,
// flush, rename). Returns 0 on success, -1 when the write failed (the old file is then unchanged;
// the failure is traced).
int SaveJsonDocument(const std::string& path, const Json::Value& document);

// A file that exists but does not parse is kept aside (as "<path>.bad") before anything replaces
// it. Returns the document as LoadJsonDocument does.
Json::Value LoadJsonDocumentKeepingBad(const std::string& path, JsonFileState* state = nullptr);

// Local time as "%d_%02d_%02d_%02d_%02d_%02d_%03d" (year, month, day, hour, minute, second,
// millisecond): the identifier of profiles and macros.
std::string MakeTimestampName(
    std::chrono::system_clock::time_point when = std::chrono::system_clock::now());

}  // namespace qm
