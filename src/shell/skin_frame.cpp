#include "skin_frame.h"

#include <QAbstractButton>
#include <QColor>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QStackedWidget>
#include <QTabWidget>

#include "app/languages.h"
#include "app/skin_settings.h"
#include "platform/trace.h"
#include "skin.h"
#include "small_window.h"

namespace qm::shell {
namespace {

// The dynamic properties of the picker's buttons.
constexpr const char* kImageProperty = "userdata";  // "skin_image_btn": image of the skin
constexpr const char* kColourProperty = "bkcolor";  // "skin_color_btn": background colour

QString defaultFileChooser(QWidget* parent, const QString& title) {
    return QFileDialog::getOpenFileName(parent, title, QString(),
                                        QStringLiteral("PNG (*.png);;* (*)"));
}

// A path as a quoted style sheet string.
QString quotedUrl(QString path) {
    path.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    path.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + path + QLatin1Char('"');
}

}  // namespace

CSkinFrame::CSkinFrame(QWidget* owner, app::SkinChangeObserver& changes,
                       const app::Languages& languages, std::string mainIni)
    : QDialog(owner, Qt::Tool | Qt::FramelessWindowHint),
      m_Changes(changes),
      m_Languages(languages),
      m_MainIni(std::move(mainIni)) {
    setObjectName(QStringLiteral("skinframe"));
    m_Root = BuildSkinnedContent(this, QStringLiteral("skin.ui"));
    ApplyTexts();
    const auto onClick = [this](QAbstractButton* button, auto action) {
        connect(button, &QAbstractButton::clicked, this, action);
    };
    for (auto* button : m_Root->findChildren<QAbstractButton*>()) {
        const QString name = button->objectName();
        if (name == QLatin1String("skin_image")) {
            onClick(button, [this] { showPage(0); });
        } else if (name == QLatin1String("skin_color")) {
            onClick(button, [this] { showPage(1); });
        } else if (name == QLatin1String("skin_image_btn")) {
            const QString image = button->property(kImageProperty).toString();
            if (!image.isEmpty()) {
                button->setIcon(QIcon(skinFolder() + image));
                button->setIconSize(button->minimumSize());
            }
            onClick(button, [this, image] {
                if (!image.isEmpty())
                    chooseImage(image, 1);
            });
        } else if (name == QLatin1String("skin_color_btn")) {
            const QColor colour(button->property(kColourProperty).toString());
            if (colour.isValid())
                button->setStyleSheet(
                    QStringLiteral("background: %1;").arg(colour.name(QColor::HexArgb)));
            onClick(button, [this, colour] {
                if (colour.isValid())
                    chooseColour(colour);
            });
        } else if (name == QLatin1String("skin_reset")) {
            onClick(button, [this] { chooseImage(QString::fromLatin1(kDefaultSkinImage), 0); });
        } else if (name == QLatin1String("skin_Custom")) {
            onClick(button, [this] { chooseOwnPicture(); });
        } else if (name == QLatin1String("closebtn")) {
            onClick(button, [this] { reject(); });
        }
    }
    showPage(0);
}

CSkinFrame* CSkinFrame::Open(QWidget* owner, app::SkinChangeObserver& changes,
                             const app::Languages& languages) {
    if (owner != nullptr) {
        // A closed window waits for its deletion hidden; only a visible one counts.
        for (auto* open : owner->findChildren<CSkinFrame*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (open->isVisible()) {
                open->raise();
                open->activateWindow();
                return open;
            }
        }
    }
    auto* frame = new CSkinFrame(owner, changes, languages, app::MainIniPath());
    frame->setAttribute(Qt::WA_DeleteOnClose);
    frame->setWindowModality(Qt::WindowModal);
    frame->adjustSize();
    CentreOver(frame, owner);
    frame->show();
    return frame;
}

void CSkinFrame::ApplyTexts() {
    TranslateTexts(m_Root, m_Languages);
}

void CSkinFrame::mousePressEvent(QMouseEvent* event) {
    StartWindowMove(this, event);
}

void CSkinFrame::showPage(int page) {
    QWidget* tab = m_Root->findChild<QWidget*>(QStringLiteral("skin_tab"));
    if (auto* stack = qobject_cast<QStackedWidget*>(tab))
        stack->setCurrentIndex(page);
    else if (auto* tabs = qobject_cast<QTabWidget*>(tab))
        tabs->setCurrentIndex(page);
    const char* selected = page == 0 ? "skin_image" : "skin_color";
    for (const char* name : {"skin_image", "skin_color"}) {
        auto* button = m_Root->findChild<QAbstractButton*>(QString::fromLatin1(name));
        if (button != nullptr && button->isCheckable())
            button->setChecked(name == selected);
    }
}

void CSkinFrame::chooseImage(const QString& image, int flags) {
    m_Changes.Notify({false, 0, image.toStdString()});
    if (!app::WriteSkinImage(m_MainIni, flags, image.toStdString()))
        tracef("skin: the choice of %s was not recorded", qPrintable(image));
}

void CSkinFrame::chooseColour(const QColor& colour) {
    m_Changes.Notify({true, colour.rgba(), {}});
}

void CSkinFrame::chooseOwnPicture() {
    const QString title = QString::fromStdString(m_Languages.TranslateKey("skin_Custom_text"));
    const QString path = m_ChooseFile ? m_ChooseFile(this) : defaultFileChooser(this, title);
    if (path.isEmpty())
        return;
    // A file that is no picture would leave the window without a background.
    if (!QImageReader(path).canRead()) {
        tracef("skin: %s is not a picture, background kept", qPrintable(path));
        return;
    }
    m_Changes.Notify({false, 0, QFileInfo(path).absoluteFilePath().toStdString()});
}

void ApplySkinChange(QWidget* root, const app::SkinChanged& change) {
    if (root == nullptr || root->objectName().isEmpty()) {
        trace("skin: no named root for the background");
        return;
    }
    QString rule;
    if (change.isColour) {
        const QColor colour = QColor::fromRgba(change.colour);
        rule = QStringLiteral("background-color: rgba(%1, %2, %3, %4);")
                   .arg(colour.red())
                   .arg(colour.green())
                   .arg(colour.blue())
                   .arg(colour.alpha());
    } else if (!change.imagePath.empty()) {
        QString path = QString::fromStdString(change.imagePath);
        if (QFileInfo(path).isRelative())
            path = skinFolder() + path;
        rule =
            QStringLiteral("border-image: url(%1) 0 0 0 0 stretch stretch;").arg(quotedUrl(path));
    }
    root->setStyleSheet(QStringLiteral("#%1 { %2 }").arg(root->objectName(), rule));
}

}  // namespace qm::shell
