// The control protocol of the running app: one JSON object per line over a Unix socket, request
// and answer, plus events to subscribed clients. This is the one codec for the app's server and
// for its clients (quillmark-cli, a second app start). Lines use the virtual bus's JSON helpers.
#pragma once

#include <json/json.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/hid/supported_interfaces.h"

namespace qm::control {

// Limits; everything that crosses the socket is checked against them.
inline constexpr std::size_t kMaxLine = 65536;  // bytes of one line, without its end
inline constexpr std::size_t kMaxConnections = 32;
inline constexpr std::size_t kMaxReportRows = 64;  // rows a client accepts in a device report
// A game event's wparam: 0 keeps the mode to return to, 1 and 2 do not.
inline constexpr std::uint32_t kMaxGameWparam = 2;
// A game event's lparam: a lighting mode index of the current device.
inline constexpr std::uint32_t kMaxGameMode = 255;

// How long a client waits for an answer.
inline constexpr int kRequestTimeoutMs = 5000;

// $XDG_RUNTIME_DIR/quillmark/control (a private folder under /tmp without XDG_RUNTIME_DIR).
std::string defaultSocketPath();

// Request names ("op").
namespace op {
inline constexpr const char* kRaise = "raise";
inline constexpr const char* kHostLighting = "host-lighting";
inline constexpr const char* kGameEvent = "game-event";
inline constexpr const char* kDeviceReport = "device-report";
inline constexpr const char* kSubscribe = "subscribe";
}  // namespace op

// Event names ("event").
namespace ev {
inline constexpr const char* kHostLightingChanged = "host-lighting-changed";
}  // namespace ev

// Error codes of failed answers ("error").
namespace error {
inline constexpr const char* kMalformed = "malformed";  // not an object, a field wrong
inline constexpr const char* kTooLong = "too-long";     // the line passed kMaxLine
inline constexpr const char* kUnknownOp = "unknown-op";
inline constexpr const char* kNotAllowed = "not-allowed";  // a peer of another user
inline constexpr const char* kTooMany = "too-many";        // connections
inline constexpr const char* kFailed = "failed";           // the app could not do it
}  // namespace error

// The four game messages, named as other programs send them.
inline constexpr std::array<const char*, 4> kGameEventNames = {"Game_Start", "Game_End",
                                                               "Game_Kill", "Game_Death"};
bool isGameEventName(std::string_view name);

struct GameEvent {
    std::string name;  // one of kGameEventNames
    std::uint32_t wparam = 0;
    std::uint32_t lparam = 0;  // the lighting mode
};

// One row of the device report: a row of the device kinds table as the selector shows them.
struct DeviceReportRow {
    std::int32_t vendorId = 0;
    std::int32_t productId = 0;
    std::int32_t kind = 0;
    bool operator==(const DeviceReportRow&) const = default;
};
// The constants that open every device report, before the row count.
inline constexpr std::array<std::int32_t, 4> kDeviceReportHeader = {2, 3, 0, 2};

// The rows of the device kinds table in use, in order.
std::vector<DeviceReportRow> deviceReportRows(std::span<const DeviceOptionRow> options);

// --- Requests ---------------------------------------------------------------------------------

enum class RequestKind { Raise, HostLighting, GameEvent, DeviceReport, Subscribe };

struct Request {
    RequestKind kind = RequestKind::Raise;
    bool on = false;  // HostLighting
    GameEvent game;   // GameEvent
};

Json::Value encodeRequest(const Request& request);
// False with an error code and message (for the error answer) unless message is a valid request.
bool decodeRequest(const Json::Value& message, Request& request, const char*& code,
                   std::string& why);

// --- Answers and events -------------------------------------------------------------------------

// {"id", "ok": true, "on"}
Json::Value hostLightingAnswer(const Json::Value& request, bool on);
// {"header": [2, 3, 0, 2], "count": N, "rows": [{"vendorId", "productId", "kind"}, ...]}
Json::Value encodeDeviceReport(std::span<const DeviceReportRow> rows);
// {"id", "ok": true} and the members of encodeDeviceReport
Json::Value deviceReportAnswer(const Json::Value& request, std::span<const DeviceReportRow> rows);
// False with why unless answer holds a well-formed report of at most kMaxReportRows rows.
bool decodeDeviceReport(const Json::Value& answer, std::vector<DeviceReportRow>& rows,
                        std::string& why);

// {"event": "host-lighting-changed", "on"}
Json::Value hostLightingEvent(bool on);
// The state of a host-lighting-changed event or a host-lighting answer; nullopt when absent.
std::optional<bool> hostLightingOf(const Json::Value& message);

}  // namespace qm::control
