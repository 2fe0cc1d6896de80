#include "about_window.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>

#include "app/languages.h"
#include "small_window.h"

namespace qm::shell {

CAboutWnd::CAboutWnd(QWidget* parent, const app::Languages& languages, const QString& version)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_Languages(languages),
      m_Version(version) {
    setObjectName(QStringLiteral("AboutWnd"));
    setWindowTitle(QStringLiteral("Quillmark"));
    m_Root = BuildSkinnedContent(this, QStringLiteral("AboutWnd.ui"));
    ConnectTitleButtons(this);
    if (auto* close = m_Root->findChild<QAbstractButton*>(QStringLiteral("closebtn")))
        connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
    ApplyTexts();
}

CAboutWnd* CAboutWnd::Open(QWidget* owner, const app::Languages& languages,
                           const QString& version) {
    if (owner != nullptr) {
        // A closed window waits for its deletion hidden; only a visible one counts.
        for (auto* open : owner->findChildren<CAboutWnd*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (open->isVisible()) {
                open->raise();
                open->activateWindow();
                return open;
            }
        }
    }
    auto* window = new CAboutWnd(owner, languages, version);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::ApplicationModal);
    window->adjustSize();
    CentreOver(window, owner);
    window->show();
    return window;
}

void CAboutWnd::ApplyTexts() {
    TranslateTexts(m_Root, m_Languages);
    if (auto* label = m_Root->findChild<QLabel*>(QStringLiteral("software_ver_label")))
        label->setText(QString::fromStdString(m_Languages.TranslateKey("software_rev_text")) +
                       m_Version);
}

void CAboutWnd::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange)
        UpdateZoomButtons(this);
    QDialog::changeEvent(event);
}

void CAboutWnd::mousePressEvent(QMouseEvent* event) {
    StartWindowMove(this, event);
}

}  // namespace qm::shell
