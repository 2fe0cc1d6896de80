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
    {op::kSubscribe, RequestKind::Subscribe},
};

constexpr std::size_t kMaxOpName = 32;

// A table value that must be a 32-bit integer.
bool readInt(const Json::Value& value, std::int32_t& out) {
    if (!value.isInt())
        return false;
    out = value.asInt();
    return true;
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
