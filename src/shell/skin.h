// The skin: the layouts (Qt Designer files) and the style sheet, from the skin folder of the
// shipped data, or from the copy compiled into the program when that folder is missing.
#pragma once

#include <QString>

class QWidget;

namespace qm::shell {

// The skin folder in use, ending with '/': <shipped data>/skin/ when it holds "main.ui", else
// the compiled-in ":/skin/".
QString skinFolder();

// Builds the layout file (for example "main.ui") of the skin under parent. Null, with a trace,
// when the file is missing or cannot be built.
QWidget* loadLayout(const QString& file, QWidget* parent);

// The layout file for a layout name of the device tables, such as
// "XML\\DeviceXml\\keyboarddevice.xml" -> "keyboarddevice.ui".
QString layoutFileFor(const QString& tableLayout);

// The skin's style sheet ("skin.qss"), or empty.
QString skinStyleSheet();

}  // namespace qm::shell
