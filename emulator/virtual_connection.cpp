#include "emulator/virtual_connection.h"

#include <algorithm>
#include <array>

#include "emulator/descriptors.h"
#include "platform/trace.h"

namespace qm::emu {

VirtualConnection::VirtualConnection(std::shared_ptr<BusCore> core, std::shared_ptr<Plug> plug,
                                     std::size_t interfaceIndex, std::shared_ptr<ReportQueue> queue,
                                     bool canRead, bool canWrite)
    : m_Core(std::move(core)),
      m_Plug(std::move(plug)),
      m_Interface(interfaceIndex),
      m_Queue(std::move(queue)),
      m_CanRead(canRead),
      m_CanWrite(canWrite) {}

hid::IoStatus VirtualConnection::read(std::span<std::uint8_t> buffer, int timeoutMs,
                                      std::size_t& got) {
    got = 0;
    if (m_Queue->aborted())
        return hid::IoStatus::Aborted;
    if (!m_CanRead || !m_Core->present(*m_Plug))
        return hid::IoStatus::Failed;
    return m_Queue->pop(buffer, timeoutMs, got);
}

hid::IoStatus VirtualConnection::write(std::span<const std::uint8_t> report, int /*timeoutMs*/,
                                       std::size_t& written) {
    written = 0;
    if (m_Queue->aborted())
        return hid::IoStatus::Aborted;
    if (!m_CanWrite || !m_Core->present(*m_Plug) || report.empty())
        return hid::IoStatus::Failed;
    const InterfaceLayout& layout = m_Plug->identity.interfaces[m_Interface];
    const OutputReport* output = layout.output(report[0]);
    if (output == nullptr || report.size() > output->size) {
        tracef("virtual: %s: no output report 0x%02x of %zu bytes on interface %d",
               m_Plug->identity.name.c_str(), report[0], report.size(), layout.number);
        return hid::IoStatus::Failed;
    }

    m_Core->clock().sleepFor(m_Core->timing().out);
    if (m_Queue->aborted())
        return hid::IoStatus::Aborted;

    if (layout.commandCollection != 0 && report[0] == kCommandReportId) {
        // A short report reaches the device zero-filled.
        report::Report request{};
        std::copy(report.begin(), report.end(), request.begin());
        if (m_Core->command(*m_Plug, m_Interface, request) == BusCore::Outcome::Gone)
            return hid::IoStatus::Failed;
    } else if (report[0] == kHeadsetLightingReportId) {
        std::array<std::uint8_t, kHeadsetLightingReportSize> padded{};
        std::copy(report.begin(), report.end(), padded.begin());
        if (!m_Core->lighting(*m_Plug, padded))
            return hid::IoStatus::Failed;
    } else if (!m_Core->present(*m_Plug)) {
        return hid::IoStatus::Failed;
    }
    written = report.size();
    return hid::IoStatus::Ok;
}

void VirtualConnection::abort() {
    m_Queue->abort();
}

}  // namespace qm::emu
