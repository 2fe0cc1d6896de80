// User actions on named controls become notifications {type, sender}: a button click is "click";
// a check box, option or tab toggled by the user "selectchanged"; a slider released
// "valuechanged" and dragged "movevaluechanged"; a combo item picked "itemselect"; an edit
// losing focus "killfocus" and edited "textchanged". Only user-driven signals are connected, so
// changes made by the program raise no notification.
#pragma once

#include <QString>

#include <functional>

class QObject;
class QWidget;

namespace qm::shell {

using NotifyFunction = std::function<void(const QString& type, QObject* sender)>;

// Connects every named control under root (root included) that is not connected yet.
void connectNotifications(QWidget* root, const NotifyFunction& notify);

}  // namespace qm::shell
