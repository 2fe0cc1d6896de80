// The key assignment section ("KeyList") of the active and the other profile entry.
#include <algorithm>

#include "profile/basic_profile_data.h"
#include "profile/json_access.h"

namespace qm {
namespace {

// One record per element in order (at most one per layout position); the position is the
// element's index.
std::vector<KeyAssignmentRecord> readKeyList(const Json::Value& entry) {
    std::vector<KeyAssignmentRecord> records;
    const Json::Value& list = json::member(entry, "KeyList");
    if (!list.isArray())
        return records;
    const Json::ArrayIndex count = std::min<Json::ArrayIndex>(list.size(), kLayoutPositions);
    records.reserve(count);
    for (Json::ArrayIndex i = 0; i < count; ++i) {
        const auto position = static_cast<std::uint16_t>(i);
        records.push_back({unpackKeyCode(json::intAt(list[i], "Assignment"), position),
                           unpackKeyCode(json::intAt(list[i], "DefaultAssignment"), position)});
    }
    return records;
}

// Only "Assignment" is written: the factory assignment comes from the default profile, and
// elements beyond the list stay as they are.
void writeKeyList(Json::Value& entry, const std::vector<KeyAssignmentRecord>& records) {
    if (records.empty())
        return;
    Json::Value& list = json::ensureArray(json::ensureObject(entry)["KeyList"]);
    const std::size_t count = std::min(records.size(), kLayoutPositions);
    for (std::size_t i = 0; i < count; ++i) {
        Json::Value& element = json::ensureObject(list[static_cast<Json::ArrayIndex>(i)]);
        element["Assignment"] = Json::Value(static_cast<int>(packKeyCode(records[i].current)));
    }
}

}  // namespace

std::vector<KeyAssignmentRecord> CBasicProfiledata::ReadKeyList() {
    m_KeyList = readKeyList(m_ActiveEntry);
    return m_KeyList;
}

void CBasicProfiledata::WriteKeyList(const std::vector<KeyAssignmentRecord>& list) {
    m_KeyList = list;
    writeKeyList(m_ActiveEntry, list);
}

std::vector<KeyAssignmentRecord> CBasicProfiledata::ReadOtherKeyList() {
    m_OtherKeyList = readKeyList(m_OtherEntry);
    return m_OtherKeyList;
}

void CBasicProfiledata::WriteOtherKeyList(const std::vector<KeyAssignmentRecord>& list) {
    m_OtherKeyList = list;
    writeKeyList(m_OtherEntry, list);
}

}  // namespace qm
