#include "skin.h"

#include <QFile>
#include <QFileInfo>
#include <QUiLoader>
#include <QWidget>

#include "platform/data_paths.h"
#include "platform/trace.h"

namespace qm::shell {

QString skinFolder() {
    const QString shipped = QString::fromStdString(shippedDataFolder()) + "skin/";
    if (QFileInfo::exists(shipped + "main.ui"))
        return shipped;
    return QStringLiteral(":/skin/");
}

QWidget* loadLayout(const QString& file, QWidget* parent) {
    QFile source(skinFolder() + file);
    if (!source.open(QIODevice::ReadOnly)) {
        tracef("skin: layout %s is missing", qPrintable(source.fileName()));
        return nullptr;
    }
    QUiLoader loader;
    QWidget* built = loader.load(&source, parent);
    if (built == nullptr)
        tracef("skin: layout %s cannot be built: %s", qPrintable(source.fileName()),
               qPrintable(loader.errorString()));
    return built;
}

QString layoutFileFor(const QString& tableLayout) {
    QString name = tableLayout.section('\\', -1).section('/', -1);
    if (name.endsWith(".xml", Qt::CaseInsensitive))
        name.chop(4);
    return name + ".ui";
}

QString skinStyleSheet() {
    QFile sheet(skinFolder() + "skin.qss");
    if (!sheet.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(sheet.readAll());
}

}  // namespace qm::shell
