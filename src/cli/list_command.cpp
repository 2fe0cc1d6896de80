// quillmark-cli list: the supported interfaces present, with their slots.
#include <cstdio>

#include "cli_context.h"

namespace qm::cli {

int runList(Context& context) {
    DeviceSlots slots(context.choice.tables->Interfaces);
    std::vector<ScanProblem> problems;
    if (!scanSlots(context, slots, problems))
        return 1;

    Json::Value rows(Json::arrayValue);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const UsbInterfaceRecord& slot = slots[i];
        if (!slot.Connected)
            continue;
        Json::Value row;
        row["slot"] = static_cast<int>(i);
        row["kind"] = peripheralName(slot.Kind);
        row["kindCode"] = slot.Kind;
        row["role"] = slot.Role == ROLE_EVENT ? "event" : "command";
        row["connection"] = connectionName(slot.Kind);
        row["path"] = slot.Path;
        rows.append(row);
    }

    if (context.json) {
        Json::Value out;
        out["slots"] = rows;
        printJson(out);
    } else if (rows.empty()) {
        std::printf("no supported peripheral found\n");
    } else {
        std::printf("%-5s %-9s %-8s %-10s %s\n", "slot", "kind", "role", "connection", "path");
        for (const Json::Value& row : rows) {
            std::printf("%-5d %-9s %-8s %-10s %s\n", row["slot"].asInt(), row["kind"].asCString(),
                        row["role"].asCString(), row["connection"].asCString(),
                        row["path"].asCString());
        }
    }
    return rows.empty() && !problems.empty() ? 1 : 0;
}

}  // namespace qm::cli
