#include "profile/json_file.h"

#include <ctime>
#include <filesystem>
#include <memory>

#include "platform/atomic_file.h"
#include "platform/local_time.h"
#include "platform/trace.h"

namespace qm {

bool parseJsonText(std::string_view text, Json::Value& document, std::string* errors) {
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["collectComments"] = false;
    // jsoncpp throws, rather than failing, on nesting past its stack limit.
    builder["stackLimit"] = 256;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    try {
        return reader->parse(text.data(), text.data() + text.size(), &document, errors);
    } catch (const std::exception& e) {
        if (errors != nullptr)
            *errors = e.what();
        document = Json::Value();
        return false;
    }
}

std::string readjsonFile(const std::string& path) {
    std::string text;
    if (!readFile(path, text))
        return {};
    return text;
}

Json::Value LoadJsonDocument(const std::string& path, JsonFileState* state) {
    JsonFileState result = JsonFileState::Ok;
    Json::Value document;
    std::string text;
    if (!readFile(path, text)) {
        result = JsonFileState::Missing;
    } else {
        // A byte-order mark is not ours to write, but a file edited elsewhere may carry one.
        if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
            text.erase(0, 3);
        std::string errors;
        if (text.empty() || !parseJsonText(text, document, &errors)) {
            trace("json: cannot parse " + path + (errors.empty() ? "" : ": " + errors));
            document = Json::Value();
            result = JsonFileState::Unreadable;
        }
    }
    if (state != nullptr)
        *state = result;
    return document;
}

Json::Value LoadJsonDocumentKeepingBad(const std::string& path, JsonFileState* state) {
    JsonFileState result = JsonFileState::Ok;
    Json::Value document = LoadJsonDocument(path, &result);
    if (result == JsonFileState::Unreadable) {
        std::error_code error;
        if (std::filesystem::exists(path, error))
            keepAside(path);
    }
    if (state != nullptr)
        *state = result;
    return document;
}

int SaveJsonDocument(const std::string& path, const Json::Value& document) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    // The styled form keeps our files laid out like those of the Windows program.
    Json::StyledWriter writer;
    std::string text = writer.write(document);
#pragma GCC diagnostic pop
    text += '\n';
    if (!writeFileAtomic(path, text)) {
        trace("json: cannot write " + path);
        return -1;
    }
    return 0;
}

std::string MakeTimestampName(std::chrono::system_clock::time_point when) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()) % 1000;
    const std::tm local = localTime(when);
    char text[64];
    std::snprintf(text, sizeof text, "%d_%02d_%02d_%02d_%02d_%02d_%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(ms.count() < 0 ? ms.count() + 1000 : ms.count()));
    return text;
}

}  // namespace qm
