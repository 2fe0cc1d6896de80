#include "notifications.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLineEdit>
#include <QWidget>

namespace qm::shell {
namespace {

constexpr const char* kConnected = "qmNotifyConnected";

void connectOne(QWidget* control, const NotifyFunction& notify) {
    if (control->objectName().isEmpty() || control->property(kConnected).toBool())
        return;
    const auto send = [control, notify](const char* type) {
        return [control, notify, type] { notify(QString::fromLatin1(type), control); };
    };
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        QObject::connect(button, &QAbstractButton::clicked, control,
                         send(button->isCheckable() ? "selectchanged" : "click"));
    } else if (auto* slider = qobject_cast<QAbstractSlider*>(control)) {
        QObject::connect(slider, &QAbstractSlider::sliderReleased, control, send("valuechanged"));
        QObject::connect(slider, &QAbstractSlider::sliderMoved, control, send("movevaluechanged"));
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        QObject::connect(combo, &QComboBox::activated, control, send("itemselect"));
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        QObject::connect(edit, &QLineEdit::editingFinished, control, send("killfocus"));
        QObject::connect(edit, &QLineEdit::textEdited, control, send("textchanged"));
    } else {
        return;
    }
    control->setProperty(kConnected, true);
}

}  // namespace

void connectNotifications(QWidget* root, const NotifyFunction& notify) {
    connectOne(root, notify);
    for (QWidget* child : root->findChildren<QWidget*>())
        connectOne(child, notify);
}

}  // namespace qm::shell
