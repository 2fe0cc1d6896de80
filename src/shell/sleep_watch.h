// Follows the system's suspend and resume through logind's PrepareForSleep signal on the system
// bus. Without a system bus or logind (containers, some desktops) the app simply stays awake.
#pragma once

#include <QObject>

#include <functional>

namespace qm::shell {

class SleepWatch final : public QObject {
    Q_OBJECT

public:
    // sleeping(true) before the system suspends, sleeping(false) after it resumed; on the UI
    // thread.
    explicit SleepWatch(std::function<void(bool sleeping)> sleeping, QObject* parent = nullptr);
    // Whether the signal could be subscribed to.
    bool available() const { return m_Available; }

private slots:
    void prepareForSleep(bool sleeping);

private:
    std::function<void(bool)> m_Sleeping;
    bool m_Available = false;
};

}  // namespace qm::shell
