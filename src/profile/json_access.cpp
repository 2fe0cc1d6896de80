#include "profile/json_access.h"

#include <cmath>
#include <limits>

namespace qm::json {
namespace {

const Json::Value& nullValue() {
    static const Json::Value value;
    return value;
}

}  // namespace

const Json::Value& member(const Json::Value& obj, const char* key) {
    if (!obj.isObject())
        return nullValue();
    const Json::Value* found = obj.find(key, key + std::char_traits<char>::length(key));
    return found != nullptr ? *found : nullValue();
}

const Json::Value& element(const Json::Value& arr, Json::ArrayIndex index) {
    if (!arr.isArray() || index >= arr.size())
        return nullValue();
    return arr[index];
}

std::int64_t toInt(const Json::Value& v, std::int64_t fallback) {
    if (v.isBool())
        return v.asBool() ? 1 : 0;
    if (v.isInt64())
        return v.asInt64();
    if (v.isUInt64())
        return static_cast<std::int64_t>(v.asUInt64());  // wraps above 2^63
    if (v.isDouble()) {
        const double d = v.asDouble();
        if (!std::isfinite(d) || d >= 9.2e18 || d <= -9.2e18)
            return fallback;
        return static_cast<std::int64_t>(d);
    }
    return fallback;
}

bool toBool(const Json::Value& v, bool fallback) {
    if (v.isBool())
        return v.asBool();
    if (v.isNumeric())
        return toInt(v, 0) != 0 || (v.isDouble() && v.asDouble() != 0.0);
    return fallback;
}

std::string toString(const Json::Value& v, const std::string& fallback) {
    return v.isString() ? v.asString() : fallback;
}

Json::Value& ensureObject(Json::Value& v) {
    if (!v.isObject())
        v = Json::Value(Json::objectValue);
    return v;
}

Json::Value& ensureArray(Json::Value& v) {
    if (!v.isArray())
        v = Json::Value(Json::arrayValue);
    return v;
}

}  // namespace qm::json
