// Which sub-pages of a device page a function tab shows. A page holds its sub-pages in the stack
// "device_function_switch"; the first of them holds a second stack, "device_key_function_switch",
// whose pages share the device picture (lighting, keys, and a third sub-page).
#pragma once

namespace qm::app {

// The function tab types: the "page" of the tab options, the index of their routes.
enum FunctionTab : int {
    kTabLighting = 1,   // "deng_Op_tab"
    kTabKeys = 2,       // "key_Op_tab"
    kTabMacros = 3,     // "macro_Op_tab"
    kTabSystem = 4,     // "system_Op_tab"
    kTabCursor = 5,     // "cursor_Op_tab"
    kTabVoice = 6,      // "6533_voice_Op_tab"
    kTabMagic = 7,      // "magic_Op_tab"
    kTabVirtual71 = 8,  // "Virtual7.1_Op_tab"
};

struct FunctionPageTabs {
    int function = 0;     // index in "device_function_switch"
    int keyFunction = 0;  // index in "device_key_function_switch", -1: left as it is

    friend bool operator==(const FunctionPageTabs&, const FunctionPageTabs&) = default;
};

// The sub-pages for tab type on a device of kind (a slot kind: 1 or 9 keyboard, 2 or 6 mouse, 3
// mousepad, 7 headset). Any type outside 1-8 shows the first sub-page of each stack.
FunctionPageTabs functionPageTabs(int type, int kind);

}  // namespace qm::app
