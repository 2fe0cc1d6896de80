// CAboutWnd: the small window that shows the program's version ("AboutWnd.ui"):
// "software_ver_label" holds the translated "software_rev_text" followed by the version.
#pragma once

#include <QDialog>
#include <QString>

namespace qm::app {
class Languages;
}

namespace qm::shell {

class CAboutWnd final : public QDialog {
    Q_OBJECT

public:
    // languages must outlive the window.
    CAboutWnd(QWidget* parent, const app::Languages& languages, const QString& version);

    // Opens the about window of owner, modal and centred over it, or brings the one already open
    // to the front (there is at most one). It deletes itself when closed.
    static CAboutWnd* Open(QWidget* owner, const app::Languages& languages, const QString& version);

    // Sets every text again from the current language (after a language change).
    void ApplyTexts();

protected:
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const app::Languages& m_Languages;
    QString m_Version;
    QWidget* m_Root = nullptr;
};

}  // namespace qm::shell
