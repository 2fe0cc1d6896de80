// CMsgWnd: the program's own modal message box, a frameless skinned window ("MsgWnd.ui") with a
// title ("MessageTitle"), a text ("MessageText") and one or two buttons ("confirm_btn",
// "cancel_btn"); "closebtn" closes it.
#pragma once

#include <QDialog>
#include <QString>

namespace qm::app {
class Languages;
}

namespace qm::shell {

class CMsgWnd final : public QDialog {
    Q_OBJECT

public:
    // languages must outlive the box.
    CMsgWnd(QWidget* parent, const app::Languages& languages);

    // title and text are language keys or plain texts (a key no language has shows as it is); an
    // empty one keeps the layout's own. textOption is a Qt::Alignment for "MessageText"; 0 keeps
    // the layout's.
    void SetMessage(const QString& title, const QString& text, int textOption);
    // 0: "confirm_btn" only; 1: "confirm_btn" and "cancel_btn". Other values count as 0.
    void SetButtonMode(int mode);
    // 48, 72, 96, 120, 144, 168 or 192; another value is traced ("MSG_WND DPI SET ERROR") and
    // replaced by 96. Qt's high-DPI scaling draws the box; the value is only kept.
    void SetDpi(int dpi);
    int Dpi() const { return m_Dpi; }

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    const app::Languages& m_Languages;
    QWidget* m_Root = nullptr;
    int m_Dpi = 96;
};

// Shows a modal message box centred over parent and waits for the answer: 1 when the user
// confirmed ("confirm_btn"), 0 otherwise ("cancel_btn", "closebtn", Escape, the window closed).
// The arguments are those of CMsgWnd's setters. A layout without some of the controls shows what
// it holds and still answers 0 or 1.
int ShowMessageBox(QWidget* parent, const QString& title, const QString& text, int dpi,
                   int textOption, int buttonMode, const app::Languages& languages);

}  // namespace qm::shell
