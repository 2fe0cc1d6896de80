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

// The interface languages: how many an answer may list (so an index is below this), and the
// bytes of a language name ("zh_CN").
inline constexpr std::size_t kMaxLanguages = 64;
inline constexpr std::size_t kMaxLanguageName = 64;

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
inline constexpr const char* kLanguage = "language";
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
inline constexpr const char* kNotAllowed = "not-allowed";            // a peer of another user
inline constexpr const char* kTooMany = "too-many";                  // connections
inline constexpr const char* kFailed = "failed";                     // the app could not do it
inline constexpr const char* kUnknownLanguage = "unknown-language";  // not in the app's list
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

// The interface languages of the app (the names of its "Language.config", in order: a language is
// its index) and the current one (-1 when none is loaded).
struct LanguageState {
    std::vector<std::string> names;
    int current = -1;
    bool operator==(const LanguageState&) const = default;
};

// The language a language request switches to: by index or by name; neither asks for the list.
struct LanguageChoice {
    std::optional<std::uint32_t> index;  // below kMaxLanguages
    std::optional<std::string> name;     // 1 to kMaxLanguageName bytes
    bool switches() const { return index.has_value() || name.has_value(); }
};

// The index of the language that wanted names in names, or -1: the same name ignoring case, else,
// for a language without territory ("en"), the first name of that language ("en_US").
int matchLanguage(std::span<const std::string> names, std::string_view wanted);

// --- Requests ---------------------------------------------------------------------------------

enum class RequestKind { Raise, HostLighting, GameEvent, DeviceReport, Subscribe, Language };

struct Request {
    RequestKind kind = RequestKind::Raise;
    bool on = false;          // HostLighting
    GameEvent game;           // GameEvent
    LanguageChoice language;  // Language
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

// {"id", "ok": true, "current": N, "languages": [{"index", "name"}, ...]}
Json::Value languageAnswer(const Json::Value& request, const LanguageState& state);
// The members of languageAnswer without id and ok.
Json::Value encodeLanguageState(const LanguageState& state);
// False with why unless answer holds at most kMaxLanguages languages, indexed in order, with
// names of 1 to kMaxLanguageName bytes and a current index among them (or -1).
bool decodeLanguageState(const Json::Value& answer, LanguageState& state, std::string& why);

// {"event": "host-lighting-changed", "on"}
Json::Value hostLightingEvent(bool on);
// The state of a host-lighting-changed event or a host-lighting answer; nullopt when absent.
std::optional<bool> hostLightingOf(const Json::Value& message);

}  // namespace qm::control
