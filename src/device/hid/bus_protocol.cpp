#include "device/hid/bus_protocol.h"

#include <exception>
#include <memory>

#include "platform/paths.h"

namespace qm::bus {
namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A reader keeps state while it parses, so each thread has its own.
Json::CharReader& lineReader() {
    thread_local const std::unique_ptr<Json::CharReader> reader = [] {
        Json::CharReaderBuilder builder;
        Json::CharReaderBuilder::strictMode(&builder.settings_);
        // Nesting is never needed beyond a few levels; a deep one only costs stack.
        builder["stackLimit"] = 16;
        return std::unique_ptr<Json::CharReader>(builder.newCharReader());
    }();
    return *reader;
}

}  // namespace

std::string defaultSocketPath() {
    return runtimeDir() + "/quillmark/virtual-bus";
}

bool parseLine(std::string_view line, Json::Value& message, std::string& why) {
    message = Json::Value();
    why.clear();
    bool parsed = false;
    try {
        parsed = lineReader().parse(line.data(), line.data() + line.size(), &message, &why);
    } catch (const std::exception& e) {
        // jsoncpp throws, rather than fails, when nesting passes the stack limit.
        why = e.what();
    }
    if (!parsed) {
        message = Json::Value();
        if (why.empty())
            why = "not JSON";
        while (!why.empty() && (why.back() == '\n' || why.back() == ' '))
            why.pop_back();
        return false;
    }
    if (!message.isObject()) {
        message = Json::Value();
        why = "not a JSON object";
        return false;
    }
    return true;
}

std::string toLine(const Json::Value& message) {
    static const Json::StreamWriterBuilder builder = [] {
        Json::StreamWriterBuilder b;
        b["indentation"] = "";
        return b;
    }();
    return Json::writeString(builder, message);
}

std::string toHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

bool fromHex(std::string_view text, std::size_t maxBytes, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (text.size() % 2 != 0 || text.size() / 2 > maxBytes)
        return false;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hexDigit(text[i]);
        const int low = hexDigit(text[i + 1]);
        if (high < 0 || low < 0) {
            bytes.clear();
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return true;
}

// --- Fields ----------------------------------------------------------------------------------

void Fields::fail(const char* key, const char* what) {
    if (m_Error.empty())
        m_Error = std::string("\"") + key + "\" " + what;
}

const Json::Value* Fields::field(const char* key, bool required) {
    if (!m_Error.empty())
        return nullptr;
    const Json::Value* value = m_Message.find(key, key + std::char_traits<char>::length(key));
    if (value == nullptr && required)
        fail(key, "is missing");
    return value;
}

std::string Fields::text(const char* key, std::size_t maxLength) {
    const Json::Value* value = field(key, true);
    if (value == nullptr)
        return {};
    if (!value->isString()) {
        fail(key, "must be a string");
        return {};
    }
    std::string result = value->asString();
    if (result.size() > maxLength) {
        fail(key, "is too long");
        return {};
    }
    return result;
}

std::uint32_t Fields::number(const char* key, std::uint32_t max) {
    const Json::Value* value = field(key, true);
    if (value == nullptr)
        return 0;
    if (!value->isUInt() || value->asUInt() > max) {
        fail(key, ("must be a whole number from 0 to " + std::to_string(max)).c_str());
        return 0;
    }
    return value->asUInt();
}

std::uint32_t Fields::number(const char* key, std::uint32_t max, std::uint32_t fallback) {
    if (m_Error.empty() && !m_Message.isMember(key))
        return fallback;
    return number(key, max);
}

bool Fields::flag(const char* key) {
    const Json::Value* value = field(key, true);
    if (value == nullptr)
        return false;
    if (!value->isBool()) {
        fail(key, "must be true or false");
        return false;
    }
    return value->asBool();
}

bool Fields::flag(const char* key, bool fallback) {
    if (m_Error.empty() && !m_Message.isMember(key))
        return fallback;
    return flag(key);
}

std::vector<std::uint8_t> Fields::bytes(const char* key, std::size_t minBytes,
                                        std::size_t maxBytes) {
    const Json::Value* value = field(key, true);
    if (value == nullptr)
        return {};
    std::vector<std::uint8_t> result;
    if (!value->isString() || !fromHex(value->asString(), maxBytes, result)) {
        fail(key, ("must be hex of at most " + std::to_string(maxBytes) + " bytes").c_str());
        return {};
    }
    if (result.size() < minBytes) {
        fail(key, ("must hold at least " + std::to_string(minBytes) + " bytes").c_str());
        return {};
    }
    return result;
}

const Json::Value& Fields::array(const char* key, std::size_t minItems, std::size_t maxItems) {
    static const Json::Value kNull;
    const Json::Value* value = field(key, true);
    if (value == nullptr)
        return kNull;
    if (!value->isArray() || value->size() < minItems || value->size() > maxItems) {
        fail(key, ("must be an array of " + std::to_string(minItems) + " to " +
                   std::to_string(maxItems) + " entries")
                      .c_str());
        return kNull;
    }
    return *value;
}

// --- Answers ---------------------------------------------------------------------------------

Json::Value requestId(const Json::Value& request) {
    if (!request.isObject())
        return Json::Value();
    const Json::Value& id = request["id"];
    return id.isUInt() ? Json::Value(id.asUInt()) : Json::Value();
}

Json::Value okAnswer(const Json::Value& request) {
    Json::Value answer(Json::objectValue);
    answer["id"] = requestId(request);
    answer["ok"] = true;
    return answer;
}

Json::Value errorAnswer(const Json::Value& request, const char* code, std::string message) {
    Json::Value answer(Json::objectValue);
    answer["id"] = requestId(request);
    answer["ok"] = false;
    answer["error"] = code;
    answer["message"] = std::move(message);
    return answer;
}

Json::Value makeRequest(const char* name) {
    Json::Value message(Json::objectValue);
    message["op"] = name;
    return message;
}

Json::Value event(const char* name) {
    Json::Value message(Json::objectValue);
    message["event"] = name;
    return message;
}

bool succeeded(const Json::Value& answer) {
    const Json::Value& ok = answer["ok"];
    return ok.isBool() && ok.asBool();
}

std::string textOf(const Json::Value& message, const char* key) {
    const Json::Value& value = message[key];
    return value.isString() ? value.asString() : std::string();
}

}  // namespace qm::bus
