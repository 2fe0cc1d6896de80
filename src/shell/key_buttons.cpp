#include "key_buttons.h"

#include <QAbstractButton>
#include <QVariant>
#include <QWidget>

#include <optional>
#include <string>

#include "app/event_routes.h"

namespace qm::shell {
namespace {

// The index of name when it is prefix (compared ignoring case) plus a decimal index.
std::optional<int> indexAfter(const QString& name, const char* prefix) {
    const std::string text = name.toStdString();
    const auto split = app::splitControlName(text);
    if (!split ||
        !QString::fromStdString(std::string(split->prefix))
             .startsWith(QLatin1String(prefix), Qt::CaseInsensitive) ||
        split->prefix.size() != std::char_traits<char>::length(prefix))
        return std::nullopt;
    return split->index;
}

}  // namespace

PageKeyButtons bindKeyButtons(QWidget* page, int keyCount, int ledCount) {
    PageKeyButtons bound;
    bound.keys.assign(static_cast<std::size_t>(std::max(keyCount, 0)), nullptr);
    bound.leds.assign(static_cast<std::size_t>(std::max(ledCount, 0)), nullptr);
    QWidget* panel =
        page != nullptr ? page->findChild<QWidget*>(QStringLiteral("SelectPanel")) : nullptr;
    if (panel == nullptr)
        return bound;
    for (QAbstractButton* button : panel->findChildren<QAbstractButton*>()) {
        if (const auto key = indexAfter(button->objectName(), "key_"); key && *key < keyCount)
            bound.keys[static_cast<std::size_t>(*key)] = button;
        const QString userData = button->property("userdata").toString();
        if (const auto led = indexAfter(userData, "light_"); led && *led < ledCount) {
            bound.leds[static_cast<std::size_t>(*led)] = button;
            setLedButtonColour(button, QColor(255, 255, 255, 255));
        }
    }
    return bound;
}

void setLedButtonColour(QAbstractButton* button, const QColor& colour) {
    if (button == nullptr)
        return;
    button->setProperty("ledColour", colour);
    // The light is the button's bottom edge, so the key's caption stays readable.
    button->setStyleSheet(
        QStringLiteral("border-bottom: 3px solid %1;").arg(colour.name(QColor::HexArgb)));
}

}  // namespace qm::shell
