// SIGINT and SIGTERM turned into a call on a thread of their own, so that a server can end its
// loop and clean up (remove its socket, save its state) instead of dying mid-write.
#pragma once

#include <functional>
#include <memory>

namespace qm {

class TerminationSignals {
public:
    // Blocks both signals in the calling thread, so construct it before starting any other
    // thread (they inherit the mask), and calls onSignal(signal number) for each one that comes.
    // The signals stay blocked after destruction: a second Ctrl-C does not cut a shutdown short.
    explicit TerminationSignals(std::function<void(int)> onSignal);
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the signals could not be taken over (they then act as by default).
    bool active() const;

private:
    struct State;
    std::unique_ptr<State> m_State;
};

}  // namespace qm
