#include "app/font_faces.h"

namespace qm::app {
namespace {

bool hasOwnFace(int index) {
    return index == kSimplifiedChineseLanguage || index == kTraditionalChineseLanguage ||
           index == kThaiLanguage;
}

}  // namespace

std::optional<std::string> FontFaceFor(int previous, int next,
                                       const std::function<bool(std::string_view)>& installed) {
    switch (next) {
        case kThaiLanguage:
            return std::string(kThaiFace);
        case kTraditionalChineseLanguage:
            return std::string(kTraditionalChineseFace);
        case kSimplifiedChineseLanguage:
            for (std::string_view face : kSimplifiedChineseFaces) {
                if (installed && installed(face))
                    return std::string(face);
            }
            return std::string();
        default:
            if (previous < 0 || hasOwnFace(previous))
                return std::string();
            return std::nullopt;
    }
}

}  // namespace qm::app
