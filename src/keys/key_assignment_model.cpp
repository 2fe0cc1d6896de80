#include "keys/key_assignment_model.h"

#include <utility>

namespace qm::keys {

KeyAssignmentModel::KeyAssignmentModel(int deviceType) : m_DeviceType(deviceType) {}

void KeyAssignmentModel::SetAssignments(std::vector<KeyAssignmentRecord> list) {
    m_Assignments = std::move(list);
    m_Position = -1;
    m_Current = m_Defaults = m_Selected = KeyCode{};
    m_ActionsEnabled = false;
}

void KeyAssignmentModel::SetMacroNames(std::vector<std::string> names) {
    m_MacroNames = std::move(names);
    m_Controls.macroRow = -1;
}

KeyPageContext KeyAssignmentModel::context() const {
    return {m_DeviceType, static_cast<int>(m_MacroNames.size())};
}

bool KeyAssignmentModel::selected() const {
    return m_Position >= 0 && static_cast<std::size_t>(m_Position) < m_Assignments.size();
}

bool KeyAssignmentModel::SelectKey(int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= m_Assignments.size())
        return false;
    m_Position = position;
    const KeyAssignmentRecord& record = m_Assignments[static_cast<std::size_t>(position)];
    m_Current = m_Selected = KeyCodeOf(record.current);
    m_Defaults = KeyCodeOf(record.defaults);
    ShowCurrent();
    return true;
}

bool KeyAssignmentModel::ApplySelection() {
    if (!selected())
        return false;
    m_Current = BuildCode(m_Controls, m_Current, m_Defaults, context());
    const auto position = static_cast<std::uint16_t>(m_Position);
    m_Assignments[static_cast<std::size_t>(m_Position)].current =
        MakeAssignment(position, m_Current);
    m_ActionsEnabled = true;
    return true;
}

bool KeyAssignmentModel::ChangeCategory(int category) {
    m_Controls = keys::ChangeCategory(m_Controls, category);
    return ApplySelection();
}

bool KeyAssignmentModel::CaptureKey(int keyboardRow) {
    if (!CaptureKeyRow(m_Controls, keyboardRow))
        return false;
    return ApplySelection();
}

void KeyAssignmentModel::ShowDefault() {
    m_Current = m_Defaults;
    ShowCurrent();
    m_ActionsEnabled = true;
}

void KeyAssignmentModel::ShowCurrent() {
    m_Controls = ShowCode(m_Controls, m_Current, context());
}

bool KeyAssignmentModel::Cancel() {
    if (!selected())
        return false;
    m_Current = m_Selected;
    const auto position = static_cast<std::uint16_t>(m_Position);
    m_Assignments[static_cast<std::size_t>(m_Position)].current =
        MakeAssignment(position, m_Current);
    ShowCurrent();
    m_ActionsEnabled = false;
    return true;
}

void KeyAssignmentModel::MarkWritten() {
    if (selected())
        m_Selected = KeyCodeOf(m_Assignments[static_cast<std::size_t>(m_Position)].current);
    m_ActionsEnabled = false;
}

std::string_view MacroWriteMessage(int result) {
    if (result > 0)
        return "message_text_16";
    if (result == -1)
        return "message_text_7";
    return {};
}

}  // namespace qm::keys
