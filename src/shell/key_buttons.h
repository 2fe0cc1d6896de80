// The key buttons of a device page: every button inside the page's "SelectPanel" named "key_"
// plus its key index, carrying the user data "light_" plus its LED index (dynamic property
// "userdata"). A button may be a key and an LED at once; names and indexes beyond the device's
// counts are ignored.
#pragma once

#include <QColor>

#include <vector>

class QAbstractButton;
class QWidget;

namespace qm::shell {

struct PageKeyButtons {
    std::vector<QAbstractButton*> keys;  // by key index; null where the page has no button
    std::vector<QAbstractButton*> leds;  // by LED index; null where the page has no button
};

// Binds the buttons of the first "SelectPanel" under page. Every LED button is shown white.
PageKeyButtons bindKeyButtons(QWidget* page, int keyCount, int ledCount);

// Shows colour as the LED button's light.
void setLedButtonColour(QAbstractButton* button, const QColor& colour);

}  // namespace qm::shell
