// The skin change chosen in the skin picker, and the observer that hands it to the windows that
// follow skin changes (the main window).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qm::app {

struct SkinChanged {
    bool isColour = false;     // true: colour is the background; false: imagePath is
    std::uint32_t colour = 0;  // ARGB
    std::string imagePath;     // relative to the skin folder, or absolute (the user's own file)
};

// Receivers subscribe and get every change in subscription order. UI thread only.
class SkinChangeObserver {
public:
    using Receiver = std::function<void(const SkinChanged&)>;

    // Returns the subscription's id for Unsubscribe.
    int Subscribe(Receiver receiver);
    void Unsubscribe(int id);
    // A receiver may subscribe or unsubscribe while it is called; the change reaches the
    // receivers subscribed when Notify began that are still subscribed.
    void Notify(const SkinChanged& change) const;

private:
    std::vector<std::pair<int, Receiver>> m_Receivers;
    int m_NextId = 1;
};

}  // namespace qm::app
