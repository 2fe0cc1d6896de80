// Helpers shared by the profile section readers and writers: tables that tie a JSON key to a
// byte of a record, and 32-bit words stored as two 16-bit keys.
#pragma once

#include <json/json.h>

#include <cstdint>

#include "profile/json_access.h"

namespace qm::section {

template <class Record>
struct ByteField {
    const char* key;
    std::uint8_t Record::*field;
    bool truth = false;  // any non-zero number or true reads as 1
};

// Fills the fields from obj; a missing key or a value of the wrong type reads as 0.
template <class Record, std::size_t N>
void readBytes(const Json::Value& obj, Record& record, const ByteField<Record> (&fields)[N]) {
    for (const ByteField<Record>& f : fields) {
        const Json::Value& v = json::member(obj, f.key);
        record.*f.field =
            f.truth ? std::uint8_t{json::toBool(v)} : static_cast<std::uint8_t>(json::toInt(v));
    }
}

// Sets each field's key in obj, which must be an object.
template <class Record, std::size_t N>
void writeBytes(Json::Value& obj, const Record& record, const ByteField<Record> (&fields)[N]) {
    for (const ByteField<Record>& f : fields)
        obj[f.key] = Json::Value(int{record.*f.field});
}

// A word whose low half is obj[low] and high half obj[high], each read as u16.
inline std::uint32_t readWord(const Json::Value& obj, const char* low, const char* high) {
    return static_cast<std::uint16_t>(json::intAt(obj, low)) |
           std::uint32_t{static_cast<std::uint16_t>(json::intAt(obj, high))} << 16;
}

inline void writeWord(Json::Value& obj, const char* low, const char* high, std::uint32_t word) {
    obj[low] = Json::Value(static_cast<int>(word & 0xFFFF));
    obj[high] = Json::Value(static_cast<int>(word >> 16));
}

}  // namespace qm::section
