#include "platform/control_protocol.h"

#include <algorithm>

#include "device/hid/bus_protocol.h"
#include "platform/paths.h"

namespace qm::control {
namespace {

struct OpName {
    const char* name;
    RequestKind kind;
};
constexpr OpName kOps[] = {
    {op::kRaise, RequestKind::Raise},         {op::kHostLighting, RequestKind::HostLighting},
    {op::kGameEvent, RequestKind::GameEvent}, {op::kDeviceReport, RequestKind::DeviceReport},
    {op::kSubscribe, RequestKind::Subscribe}, {op::kLanguage, RequestKind::Language},
};

constexpr std::size_t kMaxOpName = 32;

// A table value that must be a 32-bit integer.
bool readInt(const Json::Value& value, std::int32_t& out) {
    if (!value.isInt())
        return false;
    out = value.asInt();
    return true;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

// "en_US" -> "en".
std::string_view languageOf(std::string_view name) {
    return name.substr(0, name.find_first_of("_-"));
}

}  // namespace

std::string defaultSocketPath() {
    return runtimeDir() + "/quillmark/control";
}

bool isGameEventName(std::string_view name) {
    return std::find(kGameEventNames.begin(), kGameEventNames.end(), name) != kGameEventNames.end();
}

std::vector<DeviceReportRow> deviceReportRows(std::span<const DeviceOptionRow> options) {
    std::vector<DeviceReportRow> rows;
    rows.reserve(options.size());
    for (const DeviceOptionRow& option : options)
        rows.push_back({option.VendorId, option.ProductId, option.Kind});
    return rows;
}

int matchLanguage(std::span<const std::string> names, std::string_view wanted) {
    if (wanted.empty())
        return -1;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (equalsIgnoringCase(names[i], wanted))
            return static_cast<int>(i);
    }
    if (languageOf(wanted).size() != wanted.size())
        return -1;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (equalsIgnoringCase(languageOf(names[i]), wanted))
            return static_cast<int>(i);
    }
    return -1;
}

// --- Requests ---------------------------------------------------------------------------------

Json::Value encodeRequest(const Request& request) {
    const auto entry = std::find_if(std::begin(kOps), std::end(kOps),
                                    [&](const OpName& o) { return o.kind == request.kind; });
    Json::Value message = bus::makeRequest(entry->name);
    if (request.kind == RequestKind::HostLighting)
        message["on"] = request.on;
    if (request.kind == RequestKind::GameEvent) {
        message["name"] = request.game.name;
        message["wparam"] = request.game.wparam;
        message["lparam"] = request.game.lparam;
    }
    if (request.kind == RequestKind::Language) {
        if (request.language.index)
            message["index"] = *request.language.index;
        if (request.language.name)
            message["name"] = *request.language.name;
    }
    return message;
}

bool decodeRequest(const Json::Value& message, Request& request, const char*& code,
                   std::string& why) {
    request = Request();
    code = error::kMalformed;
    bus::Fields fields(message);
    const std::string name = fields.text("op", kMaxOpName);
    if (!fields.ok()) {
        why = fields.error();
        return false;
    }
    const auto entry = std::find_if(std::begin(kOps), std::end(kOps),
                                    [&](const OpName& o) { return name == o.name; });
    if (entry == std::end(kOps)) {
        code = error::kUnknownOp;
        why = "unknown request \"" + name + "\"";
        return false;
    }
    request.kind = entry->kind;
    if (request.kind == RequestKind::HostLighting)
        request.on = fields.flag("on");
    if (request.kind == RequestKind::GameEvent) {
        request.game.name = fields.text("name", kMaxOpName);
        request.game.wparam = fields.number("wparam", kMaxGameWparam);
        request.game.lparam = fields.number("lparam", kMaxGameMode);
        if (fields.ok() && !isGameEventName(request.game.name)) {
            why = "\"name\" must be Game_Start, Game_End, Game_Kill or Game_Death";
            return false;
        }
    }
    if (request.kind == RequestKind::Language) {
        const bool byIndex = message.isMember("index");
        const bool byName = message.isMember("name");
        if (byIndex && byName) {
            why = "a language is chosen by \"index\" or by \"name\", not both";
            return false;
        }
        if (byIndex)
            request.language.index = fields.number("index", kMaxLanguages - 1);
        if (byName) {
            request.language.name = fields.text("name", kMaxLanguageName);
            if (fields.ok() && request.language.name->empty()) {
                why = "\"name\" must not be empty";
                return false;
            }
        }
    }
    if (!fields.ok()) {
        why = fields.error();
        return false;
    }
    return true;
}

// --- Answers and events -------------------------------------------------------------------------

Json::Value hostLightingAnswer(const Json::Value& request, bool on) {
    Json::Value answer = bus::okAnswer(request);
    answer["on"] = on;
    return answer;
}

Json::Value encodeDeviceReport(std::span<const DeviceReportRow> rows) {
    Json::Value report(Json::objectValue);
    Json::Value& header = report["header"] = Json::Value(Json::arrayValue);
    for (std::int32_t value : kDeviceReportHeader)
        header.append(value);
    report["count"] = static_cast<Json::UInt>(rows.size());
    Json::Value& list = report["rows"] = Json::Value(Json::arrayValue);
    for (const DeviceReportRow& row : rows) {
        Json::Value item(Json::objectValue);
        item["vendorId"] = row.vendorId;
        item["productId"] = row.productId;
        item["kind"] = row.kind;
        list.append(item);
    }
    return report;
}

Json::Value deviceReportAnswer(const Json::Value& request, std::span<const DeviceReportRow> rows) {
    Json::Value answer = bus::okAnswer(request);
    const Json::Value report = encodeDeviceReport(rows);
    for (const std::string& key : report.getMemberNames())
        answer[key] = report[key];
    return answer;
}

bool decodeDeviceReport(const Json::Value& answer, std::vector<DeviceReportRow>& rows,
                        std::string& why) {
    rows.clear();
    const Json::Value& header = answer["header"];
    bool headerOk = header.isArray() && header.size() == kDeviceReportHeader.size();
    for (Json::ArrayIndex i = 0; headerOk && i < header.size(); ++i) {
        std::int32_t value = 0;
        headerOk = readInt(header[i], value) && value == kDeviceReportHeader[i];
    }
    if (!headerOk) {
        why = "the device report does not start with 2, 3, 0, 2";
        return false;
    }
    const Json::Value& count = answer["count"];
    const Json::Value& list = answer["rows"];
    if (!list.isArray() || list.size() > kMaxReportRows || !count.isUInt() ||
        count.asUInt() != list.size()) {
        why = "the device report's rows do not match its count";
        return false;
    }
    for (const Json::Value& item : list) {
        DeviceReportRow row;
        if (!item.isObject() || !readInt(item["vendorId"], row.vendorId) ||
            !readInt(item["productId"], row.productId) || !readInt(item["kind"], row.kind)) {
            rows.clear();
            why = "a device report row is malformed";
            return false;
        }
        rows.push_back(row);
    }
    return true;
}

Json::Value encodeLanguageState(const LanguageState& state) {
    Json::Value members(Json::objectValue);
    members["current"] = state.current;
    Json::Value& list = members["languages"] = Json::Value(Json::arrayValue);
    for (std::size_t i = 0; i < state.names.size(); ++i) {
        Json::Value item(Json::objectValue);
        item["index"] = static_cast<Json::UInt>(i);
        item["name"] = state.names[i];
        list.append(item);
    }
    return members;
}

Json::Value languageAnswer(const Json::Value& request, const LanguageState& state) {
    Json::Value answer = bus::okAnswer(request);
    const Json::Value members = encodeLanguageState(state);
    for (const std::string& key : members.getMemberNames())
        answer[key] = members[key];
    return answer;
}

bool decodeLanguageState(const Json::Value& answer, LanguageState& state, std::string& why) {
    state = LanguageState();
    if (!answer.isObject()) {
        why = "the language list is malformed";
        return false;
    }
    const Json::Value& list = answer["languages"];
    if (!list.isArray() || list.size() > kMaxLanguages) {
        why = "the language list is malformed";
        return false;
    }
    std::vector<std::string> names;
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        const Json::Value& item = list[i];
        if (!item.isObject() || !item["index"].isUInt() || item["index"].asUInt() != i ||
            !item["name"].isString() || item["name"].asString().empty() ||
            item["name"].asString().size() > kMaxLanguageName) {
            why = "a language of the list is malformed";
            return false;
        }
        names.push_back(item["name"].asString());
    }
    std::int32_t current = -1;
    if (!readInt(answer["current"], current) || current < -1 ||
        current >= static_cast<std::int32_t>(names.size())) {
        why = "the current language is not one of the list";
        return false;
    }
    state.names = std::move(names);
    state.current = current;
    return true;
}

Json::Value hostLightingEvent(bool on) {
    Json::Value message = bus::event(ev::kHostLightingChanged);
    message["on"] = on;
    return message;
}

std::optional<bool> hostLightingOf(const Json::Value& message) {
    if (!message.isObject())
        return std::nullopt;
    const Json::Value& on = message["on"];
    if (!on.isBool())
        return std::nullopt;
    return on.asBool();
}

}  // namespace qm::control
