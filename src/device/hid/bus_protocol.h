// The virtual bus protocol (docs/virtual-bus.md): one JSON object per line over a Unix socket,
// between the bus (quillmark-virtual serve) and its hosts, device programs and control tools.
// This is the one codec for both ends: limits, names, field readers and answer builders.
#pragma once

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm::bus {

inline constexpr unsigned kVersion = 1;

// Limits; everything that crosses the socket is checked against them.
inline constexpr std::size_t kMaxLine = 131072;  // bytes of one line, without its end
inline constexpr std::size_t kMaxReport = 4096;
inline constexpr std::size_t kMaxDescriptor = 4096;
inline constexpr std::size_t kMaxInterfaces = 8;    // per external device
inline constexpr std::size_t kMaxDevicePaths = 16;  // top-level collections per external device
inline constexpr std::size_t kMaxName = 32;
inline constexpr std::size_t kMaxPath = 256;
inline constexpr std::size_t kMaxPaths = 2048;  // in one enumerate answer
inline constexpr std::uint32_t kMaxNth = 1000000;
inline constexpr std::size_t kMaxHandles = 64;      // open per connection
inline constexpr std::size_t kMaxConnections = 64;  // at once on one bus
inline constexpr std::size_t kInputQueue = 64;      // input reports kept per handle by a client

// How long a client waits for the answer to a request that does no report I/O.
inline constexpr int kRequestTimeoutMs = 5000;

// $XDG_RUNTIME_DIR/quillmark/virtual-bus
std::string defaultSocketPath();

inline constexpr std::string_view kRoleHost = "host";
inline constexpr std::string_view kRoleDevice = "device";
inline constexpr std::string_view kRoleControl = "control";

// The node of the paths on the bus: "virtual:<name>#vid_...".
inline constexpr std::string_view kNodePrefix = "virtual:";

// Request names ("op").
namespace op {
inline constexpr const char* kHello = "hello";
// host
inline constexpr const char* kEnumerate = "enumerate";
inline constexpr const char* kExists = "exists";
inline constexpr const char* kOpen = "open";
inline constexpr const char* kWrite = "write";
inline constexpr const char* kClose = "close";
inline constexpr const char* kWatch = "watch";
// device
inline constexpr const char* kAnnounce = "announce";
inline constexpr const char* kInput = "input";
// control
inline constexpr const char* kPlug = "plug";
inline constexpr const char* kUnplug = "unplug";
inline constexpr const char* kPower = "power";
inline constexpr const char* kFault = "fault";
inline constexpr const char* kEmit = "emit";
inline constexpr const char* kStatus = "status";
// control: changes made on a built-in peripheral itself, which it reports on its event interface
inline constexpr const char* kProfile = "profile";  // switch the active on-board profile slot
inline constexpr const char* kSet = "set";          // one byte of a profile slot's settings block
inline constexpr const char* kReset = "reset";      // the device's own factory reset
}  // namespace op

// Event names ("event").
namespace ev {
inline constexpr const char* kInput = "input";      // to hosts: an input report of a handle
inline constexpr const char* kClosed = "closed";    // to hosts: a handle's device left
inline constexpr const char* kChanged = "changed";  // to watching hosts: devices came or went
inline constexpr const char* kOutput = "output";    // to devices: an output report from a host
inline constexpr const char* kPlugged = "plugged";  // to devices: plugged in by a control tool
inline constexpr const char* kUnplugged = "unplugged";
}  // namespace ev

// Error codes of failed answers ("error").
namespace error {
inline constexpr const char* kMalformed = "malformed";     // not an object, a field wrong
inline constexpr const char* kTooLong = "too-long";        // the line passed kMaxLine
inline constexpr const char* kHelloFirst = "hello-first";  // a request before hello
inline constexpr const char* kVersion = "unsupported-version";
inline constexpr const char* kUnknownOp = "unknown-op";
inline constexpr const char* kNotAllowed = "not-allowed";  // an op of another role
inline constexpr const char* kNotFound = "not-found";      // no such path or name
inline constexpr const char* kNoHandle = "no-handle";
inline constexpr const char* kGone = "gone";        // the device left the bus
inline constexpr const char* kRefused = "refused";  // the device or bus does not take it
inline constexpr const char* kBusy = "busy";        // the device does not keep up; try later
inline constexpr const char* kAlready = "already";  // already done (hello, plug, announce)
inline constexpr const char* kNotPlugged = "not-plugged";
inline constexpr const char* kNameTaken = "name-taken";
inline constexpr const char* kTooMany = "too-many";  // handles or connections
}  // namespace error

// A request {"op": name}.
Json::Value makeRequest(const char* name);

// Parses one line into message. False, with why, unless it is exactly one JSON object.
bool parseLine(std::string_view line, Json::Value& message, std::string& why);
// The message as one line, without the line end.
std::string toLine(const Json::Value& message);

// Lower-case hex, two digits per byte.
std::string toHex(std::span<const std::uint8_t> bytes);
// False for an odd length, a non-hex digit or more than maxBytes bytes.
bool fromHex(std::string_view text, std::size_t maxBytes, std::vector<std::uint8_t>& bytes);

// Reads the fields of a message with type and range checks. The first failure is kept (naming
// the field) and every read after it returns an empty value, so a handler reads all its fields
// and then checks ok() once.
class Fields {
public:
    explicit Fields(const Json::Value& message) : m_Message(message) {}

    std::string text(const char* key, std::size_t maxLength);
    std::uint32_t number(const char* key, std::uint32_t max);
    // A number that may be absent (then fallback).
    std::uint32_t number(const char* key, std::uint32_t max, std::uint32_t fallback);
    bool flag(const char* key);
    bool flag(const char* key, bool fallback);
    // Hex bytes, between minBytes and maxBytes of them.
    std::vector<std::uint8_t> bytes(const char* key, std::size_t minBytes, std::size_t maxBytes);
    // An array of minItems to maxItems entries (null when the read failed).
    const Json::Value& array(const char* key, std::size_t minItems, std::size_t maxItems);

    bool ok() const { return m_Error.empty(); }
    const std::string& error() const { return m_Error; }

private:
    const Json::Value* field(const char* key, bool required);
    void fail(const char* key, const char* what);

    const Json::Value& m_Message;
    std::string m_Error;
};

// A request's "id" when it has a valid one (a number 0..4294967295), else null.
Json::Value requestId(const Json::Value& request);
// {"id": <the request's>, "ok": true}
Json::Value okAnswer(const Json::Value& request);
// {"id": <the request's>, "ok": false, "error": code, "message": message}
Json::Value errorAnswer(const Json::Value& request, const char* code, std::string message);
// {"event": name}
Json::Value event(const char* name);

// Reading what the other end sent, which may hold anything: whether "ok" is true, and a string
// field ("" when it is absent or no string).
bool succeeded(const Json::Value& answer);
std::string textOf(const Json::Value& message, const char* key);

}  // namespace qm::bus
