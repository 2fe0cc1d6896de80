// The key buttons of a device page: names "key_"N and user data "light_"N inside the
// "SelectPanel", within the device's key and LED counts.
#include <QApplication>
#include <QPushButton>
#include <QtTest>

#include "key_buttons.h"

class KeyButtonsTest : public QObject {
    Q_OBJECT

private slots:
    void bindsKeysAndLedsWithinTheCounts() {
        QWidget page;
        auto* outside = new QPushButton(&page);
        outside->setObjectName("key_1");  // not in the panel
        auto* panel = new QWidget(&page);
        panel->setObjectName("SelectPanel");
        const struct {
            const char* name;
            const char* userData;
        } buttons[] = {
            {"key_5", "light_7"},    // a key and an LED at once
            {"KEY_2", "LIGHT_3"},    // prefixes ignore case
            {"key_200", "light_9"},  // key beyond the count: only its LED is bound
            {"keys_3", "light_x"},   // neither
            {"key_", "light_"},      // no index
        };
        for (const auto& spec : buttons) {
            auto* button = new QPushButton(panel);
            button->setObjectName(spec.name);
            button->setProperty("userdata", QString::fromLatin1(spec.userData));
        }
        const qm::shell::PageKeyButtons bound = qm::shell::bindKeyButtons(&page, 170, 10);
        QCOMPARE(bound.keys.size(), std::size_t{170});
        QCOMPARE(bound.leds.size(), std::size_t{10});
        QCOMPARE(bound.keys[5]->objectName(), QString("key_5"));
        QCOMPARE(bound.leds[7], bound.keys[5]);
        QCOMPARE(bound.keys[2]->objectName(), QString("KEY_2"));
        QCOMPARE(bound.leds[3], bound.keys[2]);
        QCOMPARE(bound.leds[9]->objectName(), QString("key_200"));
        QVERIFY(bound.keys[1] == nullptr);
        QVERIFY(bound.keys[3] == nullptr);
        QCOMPARE(bound.leds[7]->property("ledColour").value<QColor>(), QColor(Qt::white));
    }

    void pageWithoutPanelHasNoButtons() {
        QWidget page;
        const qm::shell::PageKeyButtons bound = qm::shell::bindKeyButtons(&page, 4, 4);
        QCOMPARE(bound.keys.size(), std::size_t{4});
        for (QAbstractButton* key : bound.keys)
            QVERIFY(key == nullptr);
    }
};

QTEST_MAIN(KeyButtonsTest)
#include "key_buttons_qttest.moc"
