// Where a control event goes: the main window's routing of {event type, control name} to the
// operation behind it, as one data table (event_routes.cpp) that can be checked without widgets.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace qm::app {

// The operation behind a route, one value per distinct target. The app maps every value to a
// handler; targets whose feature is not built yet map to a no-op with a trace.
enum class Route {
    // Main window
    CloseToTray,               // "closebtn": close child windows, hide to the tray
    HideWindow,                // "nodevice_ok_btn"
    ToggleHostLighting,        // "control_light_status"
    Minimise,                  // "minbtn"
    Maximise,                  // "maxbtn"
    Restore,                   // "restorebtn"
    OpenSkinPicker,            // "skinbtn"
    OpenSettings,              // "setbtn"
    OpenSystemDeviceSettings,  // "windowdeviceset_" N: 0 keyboard, 1 mouse settings of the desktop
    SelectorPrevious,          // "device_select_prev"
    SelectorNext,              // "device_select_next"
    SelectorEntrySelected,     // "device_select": the sender's entry became current
    SyncMembership,            // "synchro_device_select": the sender's entry's sync check
    OpenMusicLighting,         // "Close_bkColor_btn", "music_setting_btn"
    // Device page and profiles
    SelectKey,        // "key_" N
    SetFunctionPage,  // the "*_Op_tab" tabs; index is the tab type 1-8
    RestoreDefaults,  // "default_btn" (after "message_text_22")
    ProfileAdd,
    ProfileDelete,
    ProfileCopy,
    ProfileImport,
    ProfileExport,
    ProfileReset,
    ProfileRename,
    ProfileMenuToggle,
    ProfileSelect,  // "device_profile_combo"
    // Keyboard system settings
    ResetKeyRepeat,
    RepeatDelay,  // "repeat_delay_check_" N
    RepeatRate,
    WinLock,
    WFlag,
    Key6Flag,
    // Key assignment
    KeySave,
    KeyDefault,
    KeyCancel,
    KeyTableSave,
    KeyComboCheck,  // "key_ComBox_check_" N
    KeyFunctionType,
    KeyMacroRepeatMode,
    KeyMouseButton,
    KeyMouseSwing,
    KeyMouseWheel,
    KeyMouseDpi,
    KeyMedia,
    KeySystem,
    KeyMacro,
    KeyGunKey,
    KeyComboKey,
    KeyText,
    KeyTextFocus,  // focus gained by "keyset_keyboard_text_edit": start key capture
    KeySwingCount,
    KeySwingDelay,
    KeySwingSpeed,
    KeyWheelCount,
    KeyWheelDelay,
    KeyWheelSpeed,
    KeyFireInterval,
    KeyFireCount,
    KeyMacroCycles,
    // Lighting
    PresetColour,  // "color_option_" N
    PaletteColour,
    ColourChannelEdit,  // "deng_edit_R/G/B"; index is the channel 0-2
    LightingMode,
    CustomLightingMode,
    ZzccLightingMode,
    Brightness,
    Speed,
    DirectionLeft,   // "deng_FXL_check"
    DirectionRight,  // "deng_FXR_check"
    MultiColour,     // "deng_7color_check"
    SyncLighting,    // "deng_same_mode"
    CustomOnColour,
    CustomOffColour,
    RubberBandSelect,  // "click_select_end" on a key light panel
    // Music lighting
    AudioPresetColour,  // "audiocolor_option_" N
    AudioPaletteColour,
    AudioColourChannelEdit,  // "deng_audioedit_R/G/B"; index is the channel 0-2
    AudioLightingMode,
    AudioMultiColour,
    AudioBackgroundColour,
    AudioForegroundColour,
    AudioColourSlider,  // "R/G/B_light_slider"; index is the channel 0-2
    // Macros
    MacroRecordStart,
    MacroRecordStop,
    MacroAdd,
    MacroDelete,
    MacroRename,
    MacroSave,
    MacroCancel,
    MacroImport,
    MacroExport,
    MacroStepUp,
    MacroStepDown,
    MacroStepTop,
    MacroStepBottom,
    MacroStepDelete,
    MacroStepDeleteAll,
    MacroInsertMoveLeft,
    MacroInsertMoveRight,
    MacroInsertMoveUp,
    MacroInsertMoveDown,
    MacroSelect,  // "macro_name_list"
    MacroDelay,
    // Mouse
    DpiStageColour,  // "DPI_color_option_" N
    DpiStageEnable,
    DpiStageSelect,
    DpiSlider,      // "DPI_slider_" N released
    DpiSliderDrag,  // "DPI_slider_" N dragged
    DpiEdit,
    VeltoDpiSliderDrag,
    VeltoDpiEdit,
    PollingRate,
    MouseSettingsTab,  // "mouse_device_seting_option_" N
    PointerPrecision,
    ScrollPage,
    PointerSpeed,
    ScrollSpeed,
    DoubleClickSpeed,
    // Recoil data
    RecoilSave,
    RecoilReset,
    RecoilImport,
    RecoilExport,
    RecoilPattern,  // "shoot_gun_op_" N
    BulletSelect,   // "bullet_op_" N
    BulletPrevious,
    BulletNext,
    BulletXDirection,
    BulletYDirection,
    BulletX,
    BulletY,
    BulletDelay,
    // Headset
    EqPresetSave,
    EqPresetDelete,
    EqPreset,            // "6533_eq_option_" N
    EqPresetSelect,      // "custom_eq_name_combo"
    EqBandSlider,        // "6533_eq_hz_slider_" N
    VoiceChangerPreset,  // "magic_option_" N
    VoiceChangerEnable,
    MicInEnable,
    MicMonitorEnable,
    MicInLevel,
    MicMonitorLevel,
};

enum class RouteMatch {
    Indexed,             // a prefix ending in "_" plus a decimal index; prefix case-insensitive
    Fixed,               // the whole name, case-insensitive
    FixedCaseSensitive,  // the whole name, exactly (the "macro_inset_" buttons)
};

struct EventRoute {
    std::string_view type;  // event type: "click", "selectchanged", "valuechanged", ...
    std::string_view name;  // the prefix (with its "_") or the whole control name
    RouteMatch match;
    Route target;
    bool actsOnDevice;  // needs the current device; nothing happens without one
    int argument;       // fixed routes: the index handed to the target (tab type, channel), else 0
};

// Every route, in the order they are tried: per event type the indexed prefixes, then the fixed
// names. Event types with no routes ("textchanged", "msenter" ...) have no rows.
std::span<const EventRoute> eventRoutes();

struct RoutedEvent {
    bool found = false;
    Route target = Route::CloseToTray;  // meaningful only when found
    int index = 0;                      // the name's index, or the fixed route's argument
    bool actsOnDevice = false;
};

// Where an event goes. Event types are compared exactly; names as their route says.
RoutedEvent routeEvent(std::string_view type, std::string_view controlName);

struct ControlNameSplit {
    std::string_view prefix;  // up to and including the last "_"
    int index = 0;
};

// Splits a control name at its last "_" into the prefix (with the "_") and a decimal index.
// No value when there is no "_", nothing or anything but the digits 0-9 after it, or an index
// beyond int.
std::optional<ControlNameSplit> splitControlName(std::string_view name);

}  // namespace qm::app
