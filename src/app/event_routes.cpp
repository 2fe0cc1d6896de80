#include "app/event_routes.h"

#include "platform/ascii_text.h"

#include <array>
#include <limits>

namespace qm::app {
namespace {

constexpr bool kDevice = true;
constexpr bool kWindow = false;
constexpr RouteMatch I = RouteMatch::Indexed;
constexpr RouteMatch F = RouteMatch::Fixed;
constexpr RouteMatch FC = RouteMatch::FixedCaseSensitive;

// clang-format off
constexpr std::array kRoutes = std::to_array<EventRoute>({
    // Palette colour changes
    {"colorchanged", "deng_Color_Pallet",        F, Route::PaletteColour,      kDevice, 0},
    {"colorchanged", "deng_audioColor_Pallet",   F, Route::AudioPaletteColour, kDevice, 0},

    // Clicks, indexed
    {"click", "key_",               I, Route::SelectKey,                kDevice, 0},
    {"click", "color_option_",      I, Route::PresetColour,             kDevice, 0},
    {"click", "audiocolor_option_", I, Route::AudioPresetColour,        kDevice, 0},
    {"click", "windowdeviceset_",   I, Route::OpenSystemDeviceSettings, kWindow, 0},
    {"click", "DPI_color_option_",  I, Route::DpiStageColour,           kDevice, 0},
    // Clicks, fixed names
    {"click", "closebtn",             F, Route::CloseToTray,        kWindow, 0},
    {"click", "nodevice_ok_btn",      F, Route::HideWindow,         kWindow, 0},
    {"click", "control_light_status", F, Route::ToggleHostLighting, kWindow, 0},
    {"click", "minbtn",               F, Route::Minimise,           kWindow, 0},
    {"click", "maxbtn",               F, Route::Maximise,           kWindow, 0},
    {"click", "restorebtn",           F, Route::Restore,            kWindow, 0},
    {"click", "skinbtn",              F, Route::OpenSkinPicker,     kWindow, 0},
    {"click", "setbtn",               F, Route::OpenSettings,       kWindow, 0},
    {"click", "default_btn",          F, Route::RestoreDefaults,    kDevice, 0},
    {"click", "reset_repeat_btn",     F, Route::ResetKeyRepeat,     kDevice, 0},
    {"click", "device_add_btn",               F, Route::ProfileAdd,        kDevice, 0},
    {"click", "device_sub_btn",               F, Route::ProfileDelete,     kDevice, 0},
    {"click", "device_copy_btn",              F, Route::ProfileCopy,       kDevice, 0},
    {"click", "device_import_btn",            F, Route::ProfileImport,     kDevice, 0},
    {"click", "device_export_btn",            F, Route::ProfileExport,     kDevice, 0},
    {"click", "device_reset_btn",             F, Route::ProfileReset,      kDevice, 0},
    {"click", "device_profile_edit_save_btn", F, Route::ProfileRename,     kDevice, 0},
    {"click", "profile_fun_spread_btn",       F, Route::ProfileMenuToggle, kDevice, 0},
    {"click", "key_butt_keysave",    F, Route::KeySave,      kDevice, 0},
    {"click", "key_butt_keydefalut", F, Route::KeyDefault,   kDevice, 0},
    {"click", "key_butt_keycancel",  F, Route::KeyCancel,    kDevice, 0},
    {"click", "key_butt_prosave",    F, Route::KeyTableSave, kDevice, 0},
    {"click", "macro_btn_starredio",  F, Route::MacroRecordStart,   kDevice, 0},
    {"click", "macro_btn_stopredio",  F, Route::MacroRecordStop,    kDevice, 0},
    {"click", "macro_btn_name_add",   F, Route::MacroAdd,           kDevice, 0},
    {"click", "macro_btn_name_sub",   F, Route::MacroDelete,        kDevice, 0},
    {"click", "macro_btn_name_edit",  F, Route::MacroRename,        kDevice, 0},
    {"click", "macro_btn_save",       F, Route::MacroSave,          kDevice, 0},
    {"click", "macro_btn_cancel",     F, Route::MacroCancel,        kDevice, 0},
    {"click", "macro_btn_import",     F, Route::MacroImport,        kDevice, 0},
    {"click", "macro_btn_export",     F, Route::MacroExport,        kDevice, 0},
    {"click", "macro_btn_up",         F, Route::MacroStepUp,        kDevice, 0},
    {"click", "macro_btn_down",       F, Route::MacroStepDown,      kDevice, 0},
    {"click", "macro_btn_uptop",      F, Route::MacroStepTop,       kDevice, 0},
    {"click", "macro_btn_downbottom", F, Route::MacroStepBottom,    kDevice, 0},
    {"click", "macro_btn_delete",     F, Route::MacroStepDelete,    kDevice, 0},
    {"click", "macro_btn_deleteall",  F, Route::MacroStepDeleteAll, kDevice, 0},
    {"click", "macro_inset_moveleftkey_btn",  FC, Route::MacroInsertMoveLeft,  kDevice, 0},
    {"click", "macro_inset_moverightkey_btn", FC, Route::MacroInsertMoveRight, kDevice, 0},
    {"click", "macro_inset_moveupkey_btn",    FC, Route::MacroInsertMoveUp,    kDevice, 0},
    {"click", "macro_inset_movedownkey_btn",  FC, Route::MacroInsertMoveDown,  kDevice, 0},
    {"click", "shootdate_save_btn",   F, Route::RecoilSave,     kDevice, 0},
    {"click", "shootdate_reset_btn",  F, Route::RecoilReset,    kDevice, 0},
    {"click", "shootdate_import_btn", F, Route::RecoilImport,   kDevice, 0},
    {"click", "shootdate_export_btn", F, Route::RecoilExport,   kDevice, 0},
    {"click", "bullet_selected_prev", F, Route::BulletPrevious, kDevice, 0},
    {"click", "bullet_selected_next", F, Route::BulletNext,     kDevice, 0},
    {"click", "custom_bright_color_btn", F, Route::CustomOnColour,  kDevice, 0},
    {"click", "custom_off_color_btn",    F, Route::CustomOffColour, kDevice, 0},
    {"click", "deng_same_mode",          F, Route::SyncLighting,    kDevice, 0},
    {"click", "hs_EQ_btn_save",          F, Route::EqPresetSave,    kDevice, 0},
    {"click", "hs_EQ_btn_delete",        F, Route::EqPresetDelete,  kDevice, 0},
    {"click", "device_select_prev",      F, Route::SelectorPrevious,  kWindow, 0},
    {"click", "device_select_next",      F, Route::SelectorNext,      kWindow, 0},
    {"click", "Close_bkColor_btn",       F, Route::OpenMusicLighting, kWindow, 0},
    {"click", "music_setting_btn",       F, Route::OpenMusicLighting, kWindow, 0},

    // Options, checks and tabs, indexed
    {"selectchanged", "DPI_enable_check_",           I, Route::DpiStageEnable,     kDevice, 0},
    {"selectchanged", "DPI_select_check_",           I, Route::DpiStageSelect,     kDevice, 0},
    {"selectchanged", "polling_rate_option_",        I, Route::PollingRate,        kDevice, 0},
    {"selectchanged", "mouse_device_seting_option_", I, Route::MouseSettingsTab,   kDevice, 0},
    {"selectchanged", "repeat_delay_check_",         I, Route::RepeatDelay,        kDevice, 0},
    {"selectchanged", "shoot_gun_op_",               I, Route::RecoilPattern,      kDevice, 0},
    {"selectchanged", "bullet_op_",                  I, Route::BulletSelect,       kDevice, 0},
    {"selectchanged", "magic_option_",               I, Route::VoiceChangerPreset, kDevice, 0},
    {"selectchanged", "6533_eq_option_",             I, Route::EqPreset,           kDevice, 0},
    {"selectchanged", "key_ComBox_check_",           I, Route::KeyComboCheck,      kDevice, 0},
    // Options, checks and tabs, fixed names
    {"selectchanged", "pointer_precision_check", F, Route::PointerPrecision,      kDevice, 0},
    {"selectchanged", "scrolls_page_check",      F, Route::ScrollPage,            kDevice, 0},
    {"selectchanged", "winlockflag_option",      F, Route::WinLock,               kDevice, 0},
    {"selectchanged", "wflag_option",            F, Route::WFlag,                 kDevice, 0},
    {"selectchanged", "6flag_option",            F, Route::Key6Flag,              kDevice, 0},
    {"selectchanged", "synchro_device_select",   F, Route::SyncMembership,        kWindow, 0},
    {"selectchanged", "device_select",           F, Route::SelectorEntrySelected, kWindow, 0},
    {"selectchanged", "deng_Op_tab",       F, Route::SetFunctionPage, kDevice, 1},
    {"selectchanged", "key_Op_tab",        F, Route::SetFunctionPage, kDevice, 2},
    {"selectchanged", "macro_Op_tab",      F, Route::SetFunctionPage, kDevice, 3},
    {"selectchanged", "system_Op_tab",     F, Route::SetFunctionPage, kDevice, 4},
    {"selectchanged", "cursor_Op_tab",     F, Route::SetFunctionPage, kDevice, 5},
    {"selectchanged", "6533_voice_Op_tab", F, Route::SetFunctionPage, kDevice, 6},
    {"selectchanged", "magic_Op_tab",      F, Route::SetFunctionPage, kDevice, 7},
    {"selectchanged", "Virtual7.1_Op_tab", F, Route::SetFunctionPage, kDevice, 8},
    {"selectchanged", "deng_FXL_check",         F, Route::DirectionLeft,         kDevice, 0},
    {"selectchanged", "deng_FXR_check",         F, Route::DirectionRight,        kDevice, 0},
    {"selectchanged", "deng_7color_check",      F, Route::MultiColour,           kDevice, 0},
    {"selectchanged", "bullet_x_check",         F, Route::BulletXDirection,      kDevice, 0},
    {"selectchanged", "bullet_y_check",         F, Route::BulletYDirection,      kDevice, 0},
    {"selectchanged", "magic_enable_option",    F, Route::VoiceChangerEnable,    kDevice, 0},
    {"selectchanged", "6533_MicIn_option",      F, Route::MicInEnable,           kDevice, 0},
    {"selectchanged", "6533_MicMoniter_option", F, Route::MicMonitorEnable,      kDevice, 0},
    {"selectchanged", "deng_7audiocolor_check", F, Route::AudioMultiColour,      kDevice, 0},
    {"selectchanged", "audio_BkColor_check",    F, Route::AudioBackgroundColour, kDevice, 0},
    {"selectchanged", "audio_FgColor_check",    F, Route::AudioForegroundColour, kDevice, 0},

    // Sliders released
    {"valuechanged", "DPI_slider_",            I, Route::DpiSlider,         kDevice, 0},
    {"valuechanged", "6533_eq_hz_slider_",     I, Route::EqBandSlider,      kDevice, 0},
    {"valuechanged", "pointer_speed_slider",   F, Route::PointerSpeed,      kDevice, 0},
    {"valuechanged", "scroll_speed_slider",    F, Route::ScrollSpeed,       kDevice, 0},
    {"valuechanged", "double_click_slider",    F, Route::DoubleClickSpeed,  kDevice, 0},
    {"valuechanged", "repeat_rate_slider",     F, Route::RepeatRate,        kDevice, 0},
    {"valuechanged", "deng_light_slider",      F, Route::Brightness,        kDevice, 0},
    {"valuechanged", "deng_speed_slider",      F, Route::Speed,             kDevice, 0},
    {"valuechanged", "6533_MicIn_slider",      F, Route::MicInLevel,        kDevice, 0},
    {"valuechanged", "6533_MicMoniter_slider", F, Route::MicMonitorLevel,   kDevice, 0},
    {"valuechanged", "R_light_slider",         F, Route::AudioColourSlider, kWindow, 0},
    {"valuechanged", "G_light_slider",         F, Route::AudioColourSlider, kWindow, 1},
    {"valuechanged", "B_light_slider",         F, Route::AudioColourSlider, kWindow, 2},

    // Sliders dragged
    {"movevaluechanged", "velto_DPI_slider_", I, Route::VeltoDpiSliderDrag, kDevice, 0},
    {"movevaluechanged", "DPI_slider_",       I, Route::DpiSliderDrag,      kDevice, 0},

    // Combo items picked
    {"itemselect", "device_profile_combo",         F, Route::ProfileSelect,      kDevice, 0},
    {"itemselect", "light_combo_modeSelect",       F, Route::LightingMode,       kDevice, 0},
    {"itemselect", "light_combo_custommodeSelect", F, Route::CustomLightingMode, kDevice, 0},
    {"itemselect", "light_combo_ZZCCmodeSelect",   F, Route::ZzccLightingMode,   kDevice, 0},
    {"itemselect", "light_combo_audiomodeSelect",  F, Route::AudioLightingMode,  kDevice, 0},
    {"itemselect", "keyset_function_combo",   F, Route::KeyFunctionType,    kDevice, 0},
    {"itemselect", "keyset_macro_over_combo", F, Route::KeyMacroRepeatMode, kDevice, 0},
    {"itemselect", "keyset_mousekey_combo",   F, Route::KeyMouseButton,     kDevice, 0},
    {"itemselect", "keyset_mouseswing_combo", F, Route::KeyMouseSwing,      kDevice, 0},
    {"itemselect", "keyset_mousewheel_combo", F, Route::KeyMouseWheel,      kDevice, 0},
    {"itemselect", "keyset_mousedpi_combo",   F, Route::KeyMouseDpi,        kDevice, 0},
    {"itemselect", "keyset_media_combo",      F, Route::KeyMedia,           kDevice, 0},
    {"itemselect", "keyset_system_combo",     F, Route::KeySystem,          kDevice, 0},
    {"itemselect", "keyset_macro_combo",      F, Route::KeyMacro,           kDevice, 0},
    {"itemselect", "keyset_gunkey_combo",     F, Route::KeyGunKey,          kDevice, 0},
    {"itemselect", "keyset_combokey_combo",   F, Route::KeyComboKey,        kDevice, 0},
    {"itemselect", "macro_name_list",         F, Route::MacroSelect,        kDevice, 0},
    {"itemselect", "custom_eq_name_combo",    F, Route::EqPresetSelect,     kDevice, 0},

    // Edits losing focus
    {"killfocus", "velto_DPI_edit_", I, Route::VeltoDpiEdit, kDevice, 0},
    {"killfocus", "DPI_edit_",       I, Route::DpiEdit,      kDevice, 0},
    {"killfocus", "deng_edit_R",      F, Route::ColourChannelEdit,      kDevice, 0},
    {"killfocus", "deng_edit_G",      F, Route::ColourChannelEdit,      kDevice, 1},
    {"killfocus", "deng_edit_B",      F, Route::ColourChannelEdit,      kDevice, 2},
    {"killfocus", "deng_audioedit_R", F, Route::AudioColourChannelEdit, kDevice, 0},
    {"killfocus", "deng_audioedit_G", F, Route::AudioColourChannelEdit, kDevice, 1},
    {"killfocus", "deng_audioedit_B", F, Route::AudioColourChannelEdit, kDevice, 2},
    {"killfocus", "keyset_keyboard_text_edit",      F, Route::KeyText,         kDevice, 0},
    {"killfocus", "keyset_mouseswing_num_edit",     F, Route::KeySwingCount,   kDevice, 0},
    {"killfocus", "keyset_mouseswing_delay_edit",   F, Route::KeySwingDelay,   kDevice, 0},
    {"killfocus", "keyset_mouseswing_speed_edit",   F, Route::KeySwingSpeed,   kDevice, 0},
    {"killfocus", "keyset_mousewheel_num_edit",     F, Route::KeyWheelCount,   kDevice, 0},
    {"killfocus", "keyset_mousewheel_delay_edit",   F, Route::KeyWheelDelay,   kDevice, 0},
    {"killfocus", "keyset_mousewheel_speed_edit",   F, Route::KeyWheelSpeed,   kDevice, 0},
    {"killfocus", "keyset_mousefire_interval_edit", F, Route::KeyFireInterval, kDevice, 0},
    {"killfocus", "keyset_mousefire_num_edit",      F, Route::KeyFireCount,    kDevice, 0},
    {"killfocus", "keyset_macro_cycle_edit",        F, Route::KeyMacroCycles,  kDevice, 0},
    {"killfocus", "bullet_x_eidt",     F, Route::BulletX,     kDevice, 0},
    {"killfocus", "bullet_y_eidt",     F, Route::BulletY,     kDevice, 0},
    {"killfocus", "bullet_delay_eidt", F, Route::BulletDelay, kDevice, 0},
    {"killfocus", "macro_delay",       F, Route::MacroDelay,  kDevice, 0},

    // Edits gaining focus: typing into the key edit captures keys
    {"setfocus", "keyset_keyboard_text_edit", F, Route::KeyTextFocus, kDevice, 0},

    // Rubber-band selection finished on a key light panel
    {"click_select_end", "device_key_light",       F, Route::RubberBandSelect, kDevice, 0},
    {"click_select_end", "mouse_device_key_light", F, Route::RubberBandSelect, kDevice, 0},
});
// clang-format on

}  // namespace

std::span<const EventRoute> eventRoutes() {
    return kRoutes;
}

std::optional<ControlNameSplit> splitControlName(std::string_view name) {
    const std::size_t cut = name.rfind('_');
    if (cut == std::string_view::npos || cut + 1 == name.size())
        return std::nullopt;
    long long index = 0;
    for (char c : name.substr(cut + 1)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        index = index * 10 + (c - '0');
        if (index > std::numeric_limits<int>::max())
            return std::nullopt;
    }
    return ControlNameSplit{name.substr(0, cut + 1), static_cast<int>(index)};
}

RoutedEvent routeEvent(std::string_view type, std::string_view controlName) {
    const auto split = splitControlName(controlName);
    // Indexed prefixes first, then the fixed names, as the table is ordered per event type.
    for (const EventRoute& route : kRoutes) {
        if (route.type != type || route.match != RouteMatch::Indexed)
            continue;
        if (split && equalsIgnoringAsciiCase(split->prefix, route.name))
            return {true, route.target, split->index, route.actsOnDevice};
    }
    for (const EventRoute& route : kRoutes) {
        if (route.type != type || route.match == RouteMatch::Indexed)
            continue;
        const bool same = route.match == RouteMatch::FixedCaseSensitive
                              ? controlName == route.name
                              : equalsIgnoringAsciiCase(controlName, route.name);
        if (same)
            return {true, route.target, route.argument, route.actsOnDevice};
    }
    return {};
}

}  // namespace qm::app
