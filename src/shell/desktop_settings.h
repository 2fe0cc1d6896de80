// Opens the desktop's own keyboard or mouse settings, for the settings that belong to the
// system rather than to the peripheral (key repeat of other keyboards, pointer acceleration).
#pragma once

namespace qm::shell {

enum class DesktopSettings { Keyboard = 0, Mouse = 1 };

// Starts the first settings program of the desktops we know that is installed (GNOME, KDE
// Plasma, Xfce, MATE, Cinnamon). False, with a trace, when none is.
bool openDesktopSettings(DesktopSettings which);

}  // namespace qm::shell
