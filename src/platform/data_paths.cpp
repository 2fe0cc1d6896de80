#include "platform/data_paths.h"

#include <cstdlib>
#include <filesystem>

#include "platform/paths.h"

namespace qm {
namespace {

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

std::string shippedDataFolder() {
    if (const char* env = std::getenv("QUILLMARK_DATA_DIR"); env != nullptr && *env != '\0')
        return withSlash(env);
    std::error_code error;
#ifdef QM_SOURCE_DATA_DIR
    if (std::filesystem::is_directory(QM_SOURCE_DATA_DIR "/DefaultData", error))
        return withSlash(QM_SOURCE_DATA_DIR);
#endif
#ifdef QM_INSTALL_DATA_DIR
    return withSlash(QM_INSTALL_DATA_DIR);
#else
    return "/usr/share/quillmark/";
#endif
}

std::string defaultDataFolder() { return shippedDataFolder() + "DefaultData/"; }

std::string productDataFolder() { return withSlash(dataHome()) + "Quillmark/"; }

}  // namespace qm
