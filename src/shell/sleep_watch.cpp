#include "sleep_watch.h"

#include <QDBusConnection>

#include "platform/trace.h"

namespace qm::shell {

SleepWatch::SleepWatch(std::function<void(bool sleeping)> sleeping, QObject* parent)
    : QObject(parent), m_Sleeping(std::move(sleeping)) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        trace("power: no system bus; suspend and resume are not followed");
        return;
    }
    m_Available = bus.connect(QStringLiteral("org.freedesktop.login1"),
                              QStringLiteral("/org/freedesktop/login1"),
                              QStringLiteral("org.freedesktop.login1.Manager"),
                              QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
    if (!m_Available)
        trace("power: logind's PrepareForSleep is not available");
}

void SleepWatch::prepareForSleep(bool sleeping) {
    tracef("power: %s", sleeping ? "suspending" : "resumed");
    if (m_Sleeping)
        m_Sleeping(sleeping);
}

}  // namespace qm::shell
