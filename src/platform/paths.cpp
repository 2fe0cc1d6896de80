#include "platform/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace qm {
namespace {

std::string home() {
    if (const char* h = std::getenv("HOME"); h != nullptr && *h == '/')
        return h;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return {};
}

std::string xdg(const char* variable, const char* fallback) {
    // XDG asks that relative values be ignored.
    if (const char* v = std::getenv(variable); v != nullptr && *v == '/')
        return v;
    std::string h = home();
    return h.empty() ? std::string() : h + "/" + fallback;
}

}  // namespace

std::string stateHome() {
    return xdg("XDG_STATE_HOME", ".local/state");
}
std::string dataHome() {
    return xdg("XDG_DATA_HOME", ".local/share");
}
std::string configHome() {
    return xdg("XDG_CONFIG_HOME", ".config");
}

std::string runtimeDir() {
    if (const char* v = std::getenv("XDG_RUNTIME_DIR"); v != nullptr && *v == '/')
        return v;
    return "/tmp/quillmark-" + std::to_string(getuid());
}

bool makeDirs(const std::string& path, unsigned mode) {
    if (path.empty())
        return false;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i != path.size() && path[i] != '/')
            continue;
        std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace qm
