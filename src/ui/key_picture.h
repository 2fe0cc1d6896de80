// CKeyPictureUI: the key buttons of a keyboard picture, by layout position ("key_" + position in
// the page's "SelectPanel"). It shows what the page decides: each key's caption and tooltip, the
// remapped and selected marks (dynamic properties "remapped" and "selected", which the skin
// styles) and whether a key can be clicked.
#pragma once

#include <QPointer>
#include <QString>

#include <vector>

class QAbstractButton;
class QWidget;

namespace qm::ui {

class CKeyPictureUI {
public:
    // Binds the buttons of the page's picture; positions beyond positionCount are ignored.
    CKeyPictureUI(QWidget* page, int positionCount);

    // Null where the picture has no button.
    QAbstractButton* button(int position) const;
    int positionCount() const { return static_cast<int>(m_Keys.size()); }

    // caption is shown on the key (on two lines, or shortened, when it does not fit); the whole
    // caption stays in the button's "caption" property.
    void ShowKey(int position, const QString& caption, const QString& toolTip, bool remapped);
    // Marks one key as selected (-1: none).
    void ShowSelected(int position);
    void SetKeyEnabled(int position, bool enabled);

private:
    std::vector<QPointer<QAbstractButton>> m_Keys;
    int m_Selected = -1;
};

}  // namespace qm::ui
