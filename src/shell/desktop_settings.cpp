#include "desktop_settings.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "platform/trace.h"

namespace qm::shell {
namespace {

struct Candidate {
    const char* program;
    const char* keyboard;  // arguments, space-separated
    const char* mouse;
};

constexpr Candidate kCandidates[] = {
    {"gnome-control-center", "keyboard", "mouse"},
    {"systemsettings", "kcm_keyboard", "kcm_mouse"},
    {"systemsettings5", "kcm_keyboard", "kcm_mouse"},
    {"cinnamon-settings", "keyboard", "mouse"},
    {"mate-keyboard-properties", "", ""},
    {"xfce4-keyboard-settings", "", ""},
    {"mate-mouse-properties", "", ""},
    {"xfce4-mouse-settings", "", ""},
};

}  // namespace

bool openDesktopSettings(DesktopSettings which) {
    const bool keyboard = which == DesktopSettings::Keyboard;
    for (const Candidate& candidate : kCandidates) {
        const QString program = QString::fromLatin1(candidate.program);
        // The single-purpose programs only serve their own kind.
        if (program.contains("keyboard") && !keyboard)
            continue;
        if (program.contains("mouse") && keyboard)
            continue;
        const QString path = QStandardPaths::findExecutable(program);
        if (path.isEmpty())
            continue;
        const QString arguments =
            QString::fromLatin1(keyboard ? candidate.keyboard : candidate.mouse);
        if (QProcess::startDetached(path, arguments.split(' ', Qt::SkipEmptyParts)))
            return true;
    }
    tracef("ui: no desktop %s settings program found", keyboard ? "keyboard" : "mouse");
    return false;
}

}  // namespace qm::shell
