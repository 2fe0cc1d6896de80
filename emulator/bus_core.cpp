#include "emulator/bus_core.h"

#include <optional>

#include "emulator/answer.h"
#include "emulator/descriptors.h"
#include "emulator/receiver.h"
#include "platform/trace.h"

namespace qm::emu {
namespace {

// A command code that no command uses, for the wrong-echo fault.
std::uint8_t otherCommand(std::uint8_t command) {
    return command == 0x7F ? 0x7E : 0x7F;
}

const char* faultName(FaultKind kind) {
    switch (kind) {
        case FaultKind::NoAnswer:
            return "no answer";
        case FaultKind::WrongEcho:
            return "wrong echo";
        case FaultKind::StatusFE:
            return "status 0xFE";
        case FaultKind::StatusFF:
            return "status 0xFF";
        case FaultKind::Unplug:
            return "unplug";
        case FaultKind::PowerOff:
            return "power off";
    }
    return "?";
}

}  // namespace

BusCore::BusCore(Clock& clock, TimingModel timing) : m_Clock(clock), m_Timing(timing) {
    for (FirmwareSpec spec :
         {keyboardFirmware(), mouseFirmware(), mousepadFirmware(), headsetFirmware()}) {
        std::string name = spec.name;
        m_Firmwares.emplace(std::move(name), std::make_unique<Peripheral>(std::move(spec), clock));
    }
    for (const char* name : kPeripheralNames)
        m_Slots.emplace(name, Slot{});
    // A change made on a firmware is reported on every connection of it that is plugged in.
    for (auto& [firmwareName, peripheral] : m_Firmwares) {
        peripheral->setEventSink([this, firmwareName = firmwareName](std::uint16_t code) {
            for (const char* name : kPeripheralNames)
                if (const Identity* identity = findIdentity(name);
                    identity != nullptr && identity->firmware == firmwareName)
                    emitEvent(name, code);
        });
    }
}

Peripheral* BusCore::firmware(std::string_view firmwareName) {
    auto it = m_Firmwares.find(firmwareName);
    return it == m_Firmwares.end() ? nullptr : it->second.get();
}

std::vector<Peripheral*> BusCore::firmwares() {
    std::vector<Peripheral*> all;
    for (auto& [name, peripheral] : m_Firmwares)
        all.push_back(peripheral.get());
    return all;
}

BusCore::Slot* BusCore::slotLocked(std::string_view name) {
    auto it = m_Slots.find(name);
    return it == m_Slots.end() ? nullptr : &it->second;
}

bool BusCore::plug(std::string_view name) {
    const Identity* identity = findIdentity(name);
    {
        std::lock_guard lock(m_Lock);
        Slot* slot = slotLocked(name);
        if (identity == nullptr || slot == nullptr || slot->plug)
            return false;
        slot->plug = std::make_shared<Plug>(*identity);
        tracef("virtual: %s plugged in", identity->name.c_str());
    }
    notifyChanged();
    return true;
}

bool BusCore::unplug(std::string_view name) {
    {
        std::lock_guard lock(m_Lock);
        Slot* slot = slotLocked(name);
        if (slot == nullptr || !slot->plug)
            return false;
        unplugLocked(*slot);
    }
    notifyChanged();
    return true;
}

void BusCore::unplugLocked(Slot& slot) {
    Plug& plug = *slot.plug;
    plug.present = false;
    for (auto& readers : plug.readers) {
        for (auto& weak : readers)
            if (auto queue = weak.lock())
                queue->fail();
        readers.clear();
    }
    tracef("virtual: %s pulled out", plug.identity.name.c_str());
    slot.plug.reset();
}

std::vector<std::shared_ptr<Plug>> BusCore::plugged() {
    std::lock_guard lock(m_Lock);
    std::vector<std::shared_ptr<Plug>> all;
    for (const char* name : kPeripheralNames)
        if (Slot* slot = slotLocked(name); slot != nullptr && slot->plug)
            all.push_back(slot->plug);
    return all;
}

std::shared_ptr<Plug> BusCore::plugOf(std::string_view name) {
    std::lock_guard lock(m_Lock);
    Slot* slot = slotLocked(name);
    return slot == nullptr ? nullptr : slot->plug;
}

bool BusCore::present(const Plug& plug) {
    std::lock_guard lock(m_Lock);
    return plug.present;
}

bool BusCore::setPower(std::string_view name, bool on) {
    const Identity* identity = findIdentity(name);
    if (identity == nullptr || !identity->receiver)
        return false;
    bool changed = false;
    {
        std::lock_guard lock(m_Lock);
        Slot* slot = slotLocked(name);
        changed = slot->peripheralOn != on;
        slot->peripheralOn = on;
    }
    if (changed)
        notifyChanged();
    return true;
}

bool BusCore::peripheralOn(std::string_view name) {
    std::lock_guard lock(m_Lock);
    const Slot* slot = slotLocked(name);
    return slot != nullptr && slot->peripheralOn;
}

bool BusCore::arm(std::string_view name, FaultKind kind, int nth) {
    const Identity* identity = findIdentity(name);
    if (identity == nullptr || nth < 1)
        return false;
    if (kind == FaultKind::PowerOff && !identity->receiver)
        return false;
    std::lock_guard lock(m_Lock);
    slotLocked(name)->faults.push_back({kind, nth});
    return true;
}

bool BusCore::emitEvent(std::string_view name, std::uint16_t code) {
    std::lock_guard lock(m_Lock);
    Slot* slot = slotLocked(name);
    if (slot == nullptr || !slot->plug || !slot->peripheralOn)
        return false;
    Plug& plug = *slot->plug;
    for (std::size_t i = 0; i < plug.identity.interfaces.size(); ++i) {
        if (plug.identity.interfaces[i].eventCollection == 0)
            continue;
        deliverLocked(plug, i,
                      {kEventReportId, static_cast<std::uint8_t>(code & 0xFF),
                       static_cast<std::uint8_t>(code >> 8)},
                      m_Clock.now());
        return true;
    }
    return false;
}

bool BusCore::addReader(Plug& plug, std::size_t interfaceIndex,
                        std::shared_ptr<ReportQueue> queue) {
    std::lock_guard lock(m_Lock);
    if (!plug.present)
        return false;
    plug.readers.at(interfaceIndex).push_back(std::move(queue));
    return true;
}

void BusCore::deliverLocked(Plug& plug, std::size_t interfaceIndex,
                            std::vector<std::uint8_t> report, Clock::time_point readyAt) {
    if (!plug.present)
        return;
    auto& readers = plug.readers.at(interfaceIndex);
    std::erase_if(readers, [](const std::weak_ptr<ReportQueue>& weak) { return weak.expired(); });
    for (auto& weak : readers)
        if (auto queue = weak.lock())
            queue->push(report, readyAt);
}

BusCore::Outcome BusCore::command(Plug& plug, std::size_t interfaceIndex,
                                  const report::Report& request) {
    const Identity& identity = plug.identity;
    std::optional<FaultKind> fault;
    bool peripheralOn = true;
    bool switchedOff = false;
    {
        std::lock_guard lock(m_Lock);
        if (!plug.present)
            return Outcome::Gone;
        Slot& slot = *slotLocked(identity.name);
        for (auto it = slot.faults.begin(); it != slot.faults.end();) {
            if (--it->remaining > 0) {
                ++it;
                continue;
            }
            if (!fault)
                fault = it->kind;
            it = slot.faults.erase(it);
        }
        if (fault)
            tracef("virtual: %s: %s on command 0x%02x", identity.name.c_str(), faultName(*fault),
                   request[report::kCommand]);
        if (fault == FaultKind::Unplug)
            unplugLocked(slot);
        if (fault == FaultKind::PowerOff) {
            switchedOff = slot.peripheralOn;
            slot.peripheralOn = false;
        }
        peripheralOn = slot.peripheralOn;
    }
    if (fault == FaultKind::Unplug) {
        notifyChanged();
        return Outcome::Gone;
    }
    if (switchedOff)
        notifyChanged();

    Peripheral& peripheral = *firmware(identity.firmware);
    report::Report answer;
    if (fault == FaultKind::StatusFE || fault == FaultKind::StatusFF) {
        answer = peripheral.refuse(
            request, fault == FaultKind::StatusFE ? report::kStatusBusy : report::kStatusError);
    } else if (auto own =
                   identity.receiver ? receiverAnswer(request, peripheralOn) : std::nullopt) {
        answer = *own;
    } else {
        answer = peripheral.handle(request);
    }
    if (fault == FaultKind::NoAnswer)
        return Outcome::Silent;
    if (fault == FaultKind::WrongEcho) {
        answer[report::kCommand] = otherCommand(request[report::kCommand]);
        seal(answer);
    }

    std::lock_guard lock(m_Lock);
    deliverLocked(plug, interfaceIndex, {answer.begin(), answer.end()},
                  m_Clock.now() + m_Timing.back);
    return plug.present ? Outcome::Answered : Outcome::Gone;
}

bool BusCore::lighting(Plug& plug, std::span<const std::uint8_t> report) {
    if (!present(plug))
        return false;
    firmware(plug.identity.firmware)->takeLightingReport(report);
    return true;
}

void BusCore::setChangeListener(std::function<void()> listener) {
    std::lock_guard lock(m_ListenerLock);
    m_Listener = std::move(listener);
}

void BusCore::notifyChanged() {
    std::lock_guard lock(m_ListenerLock);
    if (m_Listener)
        m_Listener();
}

void BusCore::unplugAll() {
    std::lock_guard lock(m_Lock);
    for (auto& [name, slot] : m_Slots)
        if (slot.plug)
            unplugLocked(slot);
}

}  // namespace qm::emu
