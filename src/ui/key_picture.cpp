#include "key_picture.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QStyle>
#include <QVariant>

#include "key_buttons.h"

namespace qm::ui {
namespace {

constexpr int kCaptionPadding = 1;      // pixels left free on each side of a caption
constexpr int kSmallCaptionPixels = 7;  // the skin's font size of a key marked "small"

// Sets a dynamic property the style sheet selects on, and restyles the button when it changed.
void setMark(QAbstractButton* button, const char* property, bool on) {
    if (button->property(property).toBool() == on)
        return;
    button->setProperty(property, on);
    button->style()->unpolish(button);
    button->style()->polish(button);
}

struct Fitted {
    QString text;
    bool small = false;
};

// The caption on two lines, split at the space nearest its middle; empty when it has no space or
// a line does not fit.
QString twoLines(const QFontMetrics& metrics, const QString& caption, int width, int height) {
    qsizetype split = -1;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == ' ' &&
            (split < 0 || qAbs(i - caption.size() / 2) < qAbs(split - caption.size() / 2)))
            split = i;
    }
    if (split < 0 || metrics.lineSpacing() * 2 > height)
        return {};
    const QString first = caption.left(split);
    const QString second = caption.mid(split + 1);
    if (metrics.horizontalAdvance(first) > width || metrics.horizontalAdvance(second) > width)
        return {};
    return first + '\n' + second;
}

// The caption as it fits the key: on one line, else on two, in the key font and then in the
// small one; what fits nowhere is shortened with an ellipsis in the small font.
Fitted fitted(QAbstractButton& button, const QString& caption) {
    const int width = button.width() - 2 * kCaptionPadding;
    const int height = button.height();
    setMark(&button, "small", false);
    button.ensurePolished();
    QFont font = button.font();
    if (width <= 0)
        return {caption, false};
    for (const bool small : {false, true}) {
        if (small)
            font.setPixelSize(kSmallCaptionPixels);
        const QFontMetrics metrics(font);
        if (metrics.horizontalAdvance(caption) <= width)
            return {caption, small};
        if (QString lines = twoLines(metrics, caption, width, height); !lines.isEmpty())
            return {lines, small};
    }
    return {QFontMetrics(font).elidedText(caption, Qt::ElideRight, width), true};
}

}  // namespace

CKeyPictureUI::CKeyPictureUI(QWidget* page, int positionCount) {
    // The page maps positions to LEDs itself, so no LED button is bound here.
    const shell::PageKeyButtons bound = shell::bindKeyButtons(page, positionCount, 0);
    m_Keys.assign(bound.keys.begin(), bound.keys.end());
}

QAbstractButton* CKeyPictureUI::button(int position) const {
    if (position < 0 || position >= positionCount())
        return nullptr;
    return m_Keys[static_cast<std::size_t>(position)];
}

void CKeyPictureUI::ShowKey(int position, const QString& caption, const QString& toolTip,
                            bool remapped) {
    QAbstractButton* key = button(position);
    if (key == nullptr)
        return;
    key->setProperty("caption", caption);
    const Fitted shown = fitted(*key, caption);
    key->setText(shown.text);
    setMark(key, "small", shown.small);
    key->setToolTip(toolTip);
    setMark(key, "remapped", remapped);
}

void CKeyPictureUI::ShowSelected(int position) {
    if (QAbstractButton* previous = button(m_Selected))
        setMark(previous, "selected", false);
    m_Selected = position;
    if (QAbstractButton* key = button(position))
        setMark(key, "selected", true);
}

void CKeyPictureUI::SetKeyEnabled(int position, bool enabled) {
    if (QAbstractButton* key = button(position))
        key->setEnabled(enabled);
}

}  // namespace qm::ui
