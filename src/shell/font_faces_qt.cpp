#include "font_faces_qt.h"

#include <QApplication>
#include <QFontDatabase>

#include "app/font_faces.h"
#include "platform/trace.h"

namespace qm::shell {
namespace {

bool isInstalled(const QString& family) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

}  // namespace

void ApplyFontFace(const QString& face) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (!face.isEmpty()) {
        if (isInstalled(face))
            font.setFamily(face);
        else
            tracef("fonts: face %s is not installed, using the default", qPrintable(face));
    }
    if (const qreal size = QApplication::font().pointSizeF(); size > 0)
        font.setPointSizeF(size);
    QApplication::setFont(font);
}

void ApplyLanguageFont(int previous, int next) {
    const auto face = app::FontFaceFor(previous, next, [](std::string_view family) {
        return isInstalled(QString::fromUtf8(family.data(), static_cast<qsizetype>(family.size())));
    });
    if (face)
        ApplyFontFace(QString::fromStdString(*face));
}

}  // namespace qm::shell
