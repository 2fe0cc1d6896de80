// Type-checked reads of jsoncpp values. jsoncpp throws on a wrong type or on indexing a value that
// is not an object or array; every read of a JSON value goes through these instead, and a value
// of the wrong type reads as missing.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>

namespace qm::json {

// obj[key] when obj is an object holding key, else a null value.
const Json::Value& member(const Json::Value& obj, const char* key);
// arr[index] when arr is an array longer than index, else a null value.
const Json::Value& element(const Json::Value& arr, Json::ArrayIndex index);

// A number (integer, real or boolean) as a 64-bit integer; fallback for anything else.
std::int64_t toInt(const Json::Value& v, std::int64_t fallback = 0);
// Any non-zero number or true.
bool toBool(const Json::Value& v, bool fallback = false);
// A string's text; fallback for anything else.
std::string toString(const Json::Value& v, const std::string& fallback = {});

// Shorthands for obj[key].
inline std::int64_t intAt(const Json::Value& obj, const char* key, std::int64_t fallback = 0) {
    return toInt(member(obj, key), fallback);
}
inline std::string stringAt(const Json::Value& obj, const char* key,
                            const std::string& fallback = {}) {
    return toString(member(obj, key), fallback);
}

// For writes: v itself when it is an object (array), otherwise v replaced by an empty object
// (array). A value of the wrong type reads as missing, so a write replaces it instead of letting
// jsoncpp throw.
Json::Value& ensureObject(Json::Value& v);
Json::Value& ensureArray(Json::Value& v);

}  // namespace qm::json
