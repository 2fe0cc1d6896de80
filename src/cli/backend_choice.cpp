#include "backend_choice.h"

#include <cstdlib>
#include <vector>

#include "device/hid/bus_client.h"
#include "device/hid/hidraw_backend.h"
#include "device/hid/socket_backend.h"

namespace qm::cli {

bool chooseBackend(const std::optional<std::string>& virtualList, BackendChoice& choice,
                   std::string& error) {
    std::optional<std::string> list = virtualList;
    if (!list) {
        if (const char* env = std::getenv("QUILLMARK_VIRTUAL"); env != nullptr)
            list = env;
    }
    if (!list) {
        choice.backend = &hid::defaultBackend();
        choice.tables = &hardwareTables();
        return true;
    }
    if (list->starts_with(kSocketPrefix)) {
        std::string path = list->substr(kSocketPrefix.size());
        if (path.empty())
            path = bus::defaultSocketPath();
        // Asked once here, so that a bus that is not running is one clear message, not a
        // listing failure later.
        bus::Client probe;
        if (probe.connect(path, bus::kRoleHost, error) != 0)
            return false;
        choice.remote = hid::makeSocketBackend(path);
        choice.backend = choice.remote.get();
        choice.tables = &virtualTables();
        hid::setDefaultBackend(choice.backend);
        return true;
    }
    std::vector<std::string> names;
    if (!emu::parsePeripheralList(*list, names, error))
        return false;
    emu::VirtualBus::Options options;
    options.stateDir = emu::VirtualBus::defaultStateDir();
    choice.bus = std::make_unique<emu::VirtualBus>(options);
    for (const std::string& name : names)
        choice.bus->plug(name);
    choice.backend = choice.bus.get();
    choice.tables = &virtualTables();
    hid::setDefaultBackend(choice.backend);
    return true;
}

}  // namespace qm::cli
