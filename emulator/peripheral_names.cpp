// Choosing peripherals and faults by name, as the command line and tests do.
#include <algorithm>
#include <array>
#include <utility>

#include "emulator/virtual_bus.h"

namespace qm::emu {
namespace {

constexpr std::string_view kDefaultSet = "keyboard,mouse,mousepad,headset";

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// clang-format off
constexpr std::array<std::pair<std::string_view, FaultKind>, 6> kFaultNames = {{
    {"no-answer",  FaultKind::NoAnswer},
    {"wrong-echo", FaultKind::WrongEcho},
    {"status-fe",  FaultKind::StatusFE},
    {"status-ff",  FaultKind::StatusFF},
    {"unplug",     FaultKind::Unplug},
    {"power-off",  FaultKind::PowerOff},
}};
// clang-format on

}  // namespace

bool isPeripheralName(std::string_view name) {
    return std::find(std::begin(kPeripheralNames), std::end(kPeripheralNames), name) !=
           std::end(kPeripheralNames);
}

bool parsePeripheralList(std::string_view list, std::vector<std::string>& names,
                         std::string& error) {
    names.clear();
    error.clear();
    if (trimmed(list).empty())
        list = kDefaultSet;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view entry = trimmed(list.substr(0, comma));
        if (!isPeripheralName(entry)) {
            error = "unknown virtual peripheral \"" + std::string(entry) +
                    "\" (known: keyboard, keyboard-receiver, mouse, mouse-receiver, mousepad, "
                    "headset)";
            names.clear();
            return false;
        }
        if (std::find(names.begin(), names.end(), entry) == names.end())
            names.emplace_back(entry);
        if (comma == std::string_view::npos)
            break;
        list.remove_prefix(comma + 1);
    }
    return true;
}

bool parseFaultKind(std::string_view text, FaultKind& kind) {
    for (const auto& [name, value] : kFaultNames) {
        if (name == trimmed(text)) {
            kind = value;
            return true;
        }
    }
    return false;
}

}  // namespace qm::emu
