// Applies a language's font face to the application.
#pragma once

#include <QString>

namespace qm::shell {

// Makes face the application font's family, keeping its size (the style sheet sets sizes). An
// empty face, or one that is not installed (traced), restores the system's default UI font, so a
// missing font never leaves the previous language's face behind.
void ApplyFontFace(const QString& face);

// The face of a language switch from previous (-1 before the first) to next, applied when the
// switch changes it (app::FontFaceFor over the installed fonts).
void ApplyLanguageFont(int previous, int next);

}  // namespace qm::shell
