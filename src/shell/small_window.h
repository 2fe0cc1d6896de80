// What the small skinned windows (message box, about window, skin picker) share: a frameless
// window built from a layout of the skin, texts from language keys, title-bar buttons.
#pragma once

#include <QString>

class QMouseEvent;
class QWidget;

namespace qm::app {
class Languages;
}

namespace qm::shell {

// Builds the layout file of the skin as the whole content of window and gives window the skin's
// style sheet. Returns the layout's root; an empty widget (traced by loadLayout) when the layout
// cannot be built, so a broken skin still gives a working window (never smaller than 200 by 100).
QWidget* BuildSkinnedContent(QWidget* window, const QString& layoutFile);

// Sets the text of every button and label under root (root included) that carries a language key
// in its "textkey" property.
void TranslateTexts(QWidget* root, const app::Languages& languages);

// Moves window so that it is centred over parent's window, or over the screen without parent.
void CentreOver(QWidget* window, QWidget* parent);

// Connects "minbtn", "maxbtn" and "restorebtn" under window when present: minimise, maximise,
// restore. "maxbtn" and "restorebtn" then follow the zoom state (call UpdateZoomButtons from the
// window's state changes). "closebtn" is left to the window.
void ConnectTitleButtons(QWidget* window);
void UpdateZoomButtons(QWidget* window);

// A frameless window moves when dragged by a spot without a control: call from its
// mousePressEvent.
void StartWindowMove(QWidget* window, QMouseEvent* event);

}  // namespace qm::shell
