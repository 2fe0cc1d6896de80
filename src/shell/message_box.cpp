#include "message_box.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <algorithm>
#include <array>

#include "app/languages.h"
#include "platform/trace.h"
#include "small_window.h"

namespace qm::shell {
namespace {

constexpr std::array kDpiSteps = {48, 72, 96, 120, 144, 168, 192};

}  // namespace

CMsgWnd::CMsgWnd(QWidget* parent, const app::Languages& languages)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_Languages(languages) {
    setObjectName(QStringLiteral("msgwnd"));
    setWindowTitle(QStringLiteral("Quillmark"));
    m_Root = BuildSkinnedContent(this, QStringLiteral("MsgWnd.ui"));
    TranslateTexts(m_Root, m_Languages);
    ConnectTitleButtons(this);
    const auto connectButton = [this](const char* name, int result) {
        if (auto* button = m_Root->findChild<QAbstractButton*>(QString::fromLatin1(name)))
            connect(button, &QAbstractButton::clicked, this, [this, result] { done(result); });
    };
    connectButton("closebtn", 0);
    connectButton("cancel_btn", 0);
    connectButton("confirm_btn", 1);
    // Enter confirms, as in any message box; the other buttons answer only when clicked.
    for (auto* button : m_Root->findChildren<QPushButton*>())
        button->setAutoDefault(false);
    if (auto* confirm = m_Root->findChild<QPushButton*>(QStringLiteral("confirm_btn")))
        confirm->setDefault(true);
    SetButtonMode(0);
}

void CMsgWnd::SetMessage(const QString& title, const QString& text, int textOption) {
    const auto translated = [this](const QString& key) {
        return QString::fromStdString(m_Languages.TranslateKey(key.toStdString()));
    };
    auto* titleLabel = m_Root->findChild<QLabel*>(QStringLiteral("MessageTitle"));
    if (titleLabel != nullptr && !title.isEmpty())
        titleLabel->setText(translated(title));
    auto* textLabel = m_Root->findChild<QLabel*>(QStringLiteral("MessageText"));
    if (textLabel != nullptr && !text.isEmpty()) {
        if (textOption != 0)
            textLabel->setAlignment(Qt::Alignment::fromInt(textOption));
        textLabel->setText(translated(text));
    }
    adjustSize();
}

void CMsgWnd::SetButtonMode(int mode) {
    if (auto* cancel = m_Root->findChild<QWidget*>(QStringLiteral("cancel_btn")))
        cancel->setVisible(mode == 1);
    if (auto* confirm = m_Root->findChild<QWidget*>(QStringLiteral("confirm_btn")))
        confirm->setVisible(true);
}

void CMsgWnd::SetDpi(int dpi) {
    if (std::find(kDpiSteps.begin(), kDpiSteps.end(), dpi) == kDpiSteps.end()) {
        tracef("MSG_WND DPI SET ERROR (%d)", dpi);
        dpi = 96;
    }
    m_Dpi = dpi;
}

void CMsgWnd::mousePressEvent(QMouseEvent* event) {
    StartWindowMove(this, event);
}

int ShowMessageBox(QWidget* parent, const QString& title, const QString& text, int dpi,
                   int textOption, int buttonMode, const app::Languages& languages) {
    // On the heap and guarded: the parent may be destroyed while the box runs, taking the box.
    QPointer<CMsgWnd> box = new CMsgWnd(parent, languages);
    box->SetMessage(title, text, textOption);
    box->SetDpi(dpi);
    box->SetButtonMode(buttonMode);
    box->adjustSize();
    CentreOver(box, parent);
    const int result = box->exec();
    delete box.data();
    return result == 1 ? 1 : 0;
}

}  // namespace qm::shell
