// One open interface of a virtual peripheral: the HidConnection that the host reads and writes.
#pragma once

#include <memory>

#include "device/hid/hid_backend.h"
#include "emulator/bus_core.h"

namespace qm::emu {

class VirtualConnection final : public hid::HidConnection {
public:
    // queue receives the interface's input reports when canRead (the core was told so).
    VirtualConnection(std::shared_ptr<BusCore> core, std::shared_ptr<Plug> plug,
                      std::size_t interfaceIndex, std::shared_ptr<ReportQueue> queue, bool canRead,
                      bool canWrite);

    hid::IoStatus read(std::span<std::uint8_t> buffer, int timeoutMs, std::size_t& got) override;
    // Costs the bus's out time; a command report is answered before write returns (the answer
    // becomes readable the back time later).
    hid::IoStatus write(std::span<const std::uint8_t> report, int timeoutMs,
                        std::size_t& written) override;
    void abort() override;

private:
    std::shared_ptr<BusCore> m_Core;
    std::shared_ptr<Plug> m_Plug;
    const std::size_t m_Interface;
    std::shared_ptr<ReportQueue> m_Queue;
    const bool m_CanRead;
    const bool m_CanWrite;
};

}  // namespace qm::emu
