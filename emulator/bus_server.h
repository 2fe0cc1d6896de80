// The virtual bus as a process of its own (quillmark-virtual serve): the built-in virtual
// peripherals and the devices that other programs announce, offered over a Unix socket to any
// number of hosts and control tools at once (docs/virtual-bus.md).
#pragma once

#include <memory>
#include <string>

#include "emulator/virtual_bus.h"

namespace qm::emu {

struct BusServerState;

class BusServer {
public:
    struct Options {
        std::string socketPath;
        VirtualBus::Options bus;
    };

    explicit BusServer(Options options);
    ~BusServer();
    BusServer(const BusServer&) = delete;
    BusServer& operator=(const BusServer&) = delete;

    // Takes the socket path. False, with a one-line message, when another bus already serves
    // there, the path is a file that is not a socket, or no socket can be made there.
    bool start(std::string& error);
    // Serves on the calling thread until stop(); then closes every connection, removes the
    // socket and saves the built-in peripherals' memory. False when start did not succeed or the
    // memory could not be saved.
    bool run();
    // Thread-safe: makes run return.
    void stop();

    // The built-in peripherals. Thread-safe, so tests and the tool may plug them in at any time.
    VirtualBus& bus();

private:
    std::unique_ptr<BusServerState> m_State;
};

}  // namespace qm::emu
