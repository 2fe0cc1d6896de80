#include "device/hid/hid_path.h"

#include <cctype>
#include <cstdio>

namespace qm {
namespace {

std::uint16_t parseAfter(std::string_view path, std::string_view token) {
    if (path.size() < token.size())
        return 0;
    for (std::size_t i = 0; i + token.size() <= path.size(); ++i) {
        bool match = true;
        for (std::size_t j = 0; j < token.size() && match; ++j)
            match = std::tolower(static_cast<unsigned char>(path[i + j])) == token[j];
        if (!match)
            continue;
        std::uint32_t value = 0;
        for (std::size_t k = i + token.size(); k < path.size(); ++k) {
            const int c = std::tolower(static_cast<unsigned char>(path[k]));
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else
                break;
            value = ((value << 4) | static_cast<std::uint32_t>(digit)) & 0xFFFFFFu;
        }
        return static_cast<std::uint16_t>(value & 0xFFFF);
    }
    return 0;
}

}  // namespace

std::uint16_t ParseVid(std::string_view path) {
    return parseAfter(path, "vid_");
}
std::uint16_t ParsePid(std::string_view path) {
    return parseAfter(path, "pid_");
}
std::uint16_t ParseMi(std::string_view path) {
    return parseAfter(path, "&mi_");
}
std::uint16_t ParseCol(std::string_view path) {
    return parseAfter(path, "&col");
}

std::string makeInterfacePath(std::string_view node, std::uint16_t vendorId,
                              std::uint16_t productId, int interfaceNumber, int collection) {
    char ids[64];
    std::snprintf(ids, sizeof ids, "#vid_%04x&pid_%04x&mi_%02x", vendorId, productId,
                  interfaceNumber & 0xFF);
    std::string path(node);
    path += ids;
    if (collection > 0) {
        char col[16];
        std::snprintf(col, sizeof col, "&col%02x", collection & 0xFF);
        path += col;
    }
    return path;
}

std::string_view pathNode(std::string_view path) {
    const std::size_t hash = path.find('#');
    return hash == std::string_view::npos ? path : path.substr(0, hash);
}

}  // namespace qm
