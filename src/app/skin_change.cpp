#include "app/skin_change.h"

#include <algorithm>

namespace qm::app {

int SkinChangeObserver::Subscribe(Receiver receiver) {
    const int id = m_NextId++;
    m_Receivers.emplace_back(id, std::move(receiver));
    return id;
}

void SkinChangeObserver::Unsubscribe(int id) {
    std::erase_if(m_Receivers, [id](const auto& entry) { return entry.first == id; });
}

void SkinChangeObserver::Notify(const SkinChanged& change) const {
    // A copy, so receivers may change the subscriptions while they run.
    const auto receivers = m_Receivers;
    for (const auto& subscription : receivers) {
        const int id = subscription.first;
        const bool subscribed = std::any_of(m_Receivers.begin(), m_Receivers.end(),
                                            [id](const auto& entry) { return entry.first == id; });
        if (subscribed && subscription.second)
            subscription.second(change);
    }
}

}  // namespace qm::app
