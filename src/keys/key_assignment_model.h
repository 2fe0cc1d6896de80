// The key settings page's model: the key assignment list being edited, the selected key, the
// page's controls and records, and what its buttons do. The window binds its widgets to it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "keys/key_code.h"
#include "keys/key_page.h"
#include "profile/profile_records.h"

namespace qm::keys {

class KeyAssignmentModel {
public:
    explicit KeyAssignmentModel(int deviceType = kKeyboardDeviceType);

    int deviceType() const { return m_DeviceType; }

    // The key assignment list (the profile's "KeyList", index = position). No key stays selected.
    void SetAssignments(std::vector<KeyAssignmentRecord> list);
    const std::vector<KeyAssignmentRecord>& assignments() const { return m_Assignments; }

    // FillMacroList: the macro names in list order; no macro stays selected.
    void SetMacroNames(std::vector<std::string> names);
    const std::vector<std::string>& macroNames() const { return m_MacroNames; }

    // SelectKey: takes the position's records, keeps a copy for Cancel and shows the current
    // assignment. False (nothing changes) for a position outside the list.
    bool SelectKey(int position);
    int selectedPosition() const { return m_Position; }  // -1 before a key is selected

    const KeyPageControls& controls() const { return m_Controls; }
    // The page hands over what the user changed, then applies it.
    void SetControls(const KeyPageControls& controls) { m_Controls = controls; }
    KeyPageContext context() const;

    // The page's records of the selected key.
    KeyCode current() const { return m_Current; }
    KeyCode defaults() const { return m_Defaults; }

    // Applying the selection (any control change and "key_butt_keysave"): BuildCode becomes the
    // current record and the selected position's current assignment; actions are enabled. False
    // (nothing changes) when no key is selected. The caller then writes the list to the
    // profile's KeyList and refreshes the key captions.
    bool ApplySelection();
    // A new item of "keyset_function_combo": its tab, then the selection is applied.
    bool ChangeCategory(int category);
    // The capture path delivered a key (a row of kKeyboardKeys); applied when it is a keyboard
    // key. False when nothing changed.
    bool CaptureKey(int keyboardRow);

    // "key_butt_keydefalut": shows the default assignment and makes it the page's current
    // record, so that "key_butt_keysave" stores it even where no category builds it. The list
    // is not changed. Actions enabled.
    void ShowDefault();
    // Shows the page's current record.
    void ShowCurrent();
    // "key_butt_keycancel": the selected key gets back the assignment it had when it was
    // selected (or last written), which is shown. Actions disabled. False when no key is
    // selected.
    bool Cancel();
    // "key_butt_prosave" succeeded in writing the list: what is written becomes what Cancel
    // restores. Actions disabled.
    void MarkWritten();

    // Whether "key_butt_keysave", "key_butt_keycancel" and "key_butt_prosave" are enabled.
    bool actionsEnabled() const { return m_ActionsEnabled; }

private:
    bool selected() const;

    int m_DeviceType;
    std::vector<KeyAssignmentRecord> m_Assignments;
    std::vector<std::string> m_MacroNames;
    int m_Position = -1;
    KeyCode m_Current{};
    KeyCode m_Defaults{};
    KeyCode m_Selected{};  // the assignment Cancel restores
    KeyPageControls m_Controls;
    bool m_ActionsEnabled = false;
};

// The language key of the message after writing the macro block for "key_butt_prosave": a
// positive result n is "message_text_16" (formatted with n), -1 "message_text_7"; empty for none.
std::string_view MacroWriteMessage(int result);

}  // namespace qm::keys
