#include "small_window.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include "app/languages.h"
#include "skin.h"

namespace qm::shell {
namespace {

constexpr QSize kSmallestWindow{200, 100};

}  // namespace

QWidget* BuildSkinnedContent(QWidget* window, const QString& layoutFile) {
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QWidget* root = loadLayout(layoutFile, window);
    if (root == nullptr)
        root = new QWidget(window);
    // A layout with nothing in it would make a window of no size, which is never shown: a
    // message box would then wait for an answer nobody can give.
    root->setMinimumSize(root->minimumSize().expandedTo(kSmallestWindow));
    layout->addWidget(root);
    window->setStyleSheet(skinStyleSheet());
    return root;
}

void TranslateTexts(QWidget* root, const app::Languages& languages) {
    QList<QWidget*> controls = root->findChildren<QWidget*>();
    controls.prepend(root);
    for (QWidget* control : controls) {
        const QString key = control->property("textkey").toString();
        if (key.isEmpty())
            continue;
        const QString text = QString::fromStdString(languages.TranslateKey(key.toStdString()));
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            button->setText(text);
        else if (auto* label = qobject_cast<QLabel*>(control))
            label->setText(text);
    }
}

void CentreOver(QWidget* window, QWidget* parent) {
    QRect area;
    if (parent != nullptr)
        area = parent->window()->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr)
        area = screen->availableGeometry();
    if (area.isValid())
        window->move(area.center() - window->rect().center());
}

void ConnectTitleButtons(QWidget* window) {
    const auto connectButton = [window](const char* name, auto action) {
        if (auto* button = window->findChild<QAbstractButton*>(QString::fromLatin1(name)))
            QObject::connect(button, &QAbstractButton::clicked, window, action);
    };
    connectButton("minbtn", [window] { window->showMinimized(); });
    connectButton("maxbtn", [window] { window->showMaximized(); });
    connectButton("restorebtn", [window] { window->showNormal(); });
    UpdateZoomButtons(window);
}

void UpdateZoomButtons(QWidget* window) {
    const bool zoomed = window->isMaximized();
    if (auto* maximise = window->findChild<QWidget*>(QStringLiteral("maxbtn")))
        maximise->setVisible(!zoomed);
    if (auto* restore = window->findChild<QWidget*>(QStringLiteral("restorebtn")))
        restore->setVisible(zoomed);
}

void StartWindowMove(QWidget* window, QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && window->windowHandle() != nullptr)
        window->windowHandle()->startSystemMove();
}

}  // namespace qm::shell
