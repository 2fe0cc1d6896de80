#include "key_capture.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QWidget>

#include <cstdint>

#include "keys/evdev_hid_usage.h"
#include "keys/keyboard_key_table.h"

namespace qm::ui {
namespace {

// Whether native scan codes are evdev codes + 8 (X11 through xcb, Wayland).
bool scanCodesAreEvdev() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

struct QtKeyUsage {
    int key;
    std::uint8_t usage;
};

// Keys of the main block by Qt key, with the shifted symbols of a US layout.
constexpr QtKeyUsage kMainKeys[] = {
    {Qt::Key_Return, 0x28},     {Qt::Key_Enter, 0x28},        {Qt::Key_Escape, 0x29},
    {Qt::Key_Backspace, 0x2A},  {Qt::Key_Tab, 0x2B},          {Qt::Key_Backtab, 0x2B},
    {Qt::Key_Space, 0x2C},      {Qt::Key_Minus, 0x2D},        {Qt::Key_Underscore, 0x2D},
    {Qt::Key_Equal, 0x2E},      {Qt::Key_Plus, 0x2E},         {Qt::Key_BracketLeft, 0x2F},
    {Qt::Key_BraceLeft, 0x2F},  {Qt::Key_BracketRight, 0x30}, {Qt::Key_BraceRight, 0x30},
    {Qt::Key_Backslash, 0x31},  {Qt::Key_Bar, 0x31},          {Qt::Key_Semicolon, 0x33},
    {Qt::Key_Colon, 0x33},      {Qt::Key_Apostrophe, 0x34},   {Qt::Key_QuoteDbl, 0x34},
    {Qt::Key_QuoteLeft, 0x35},  {Qt::Key_AsciiTilde, 0x35},   {Qt::Key_Comma, 0x36},
    {Qt::Key_Less, 0x36},       {Qt::Key_Period, 0x37},       {Qt::Key_Greater, 0x37},
    {Qt::Key_Slash, 0x38},      {Qt::Key_Question, 0x38},     {Qt::Key_CapsLock, 0x39},
    {Qt::Key_Print, 0x46},      {Qt::Key_ScrollLock, 0x47},   {Qt::Key_Pause, 0x48},
    {Qt::Key_Insert, 0x49},     {Qt::Key_Home, 0x4A},         {Qt::Key_PageUp, 0x4B},
    {Qt::Key_Delete, 0x4C},     {Qt::Key_End, 0x4D},          {Qt::Key_PageDown, 0x4E},
    {Qt::Key_Right, 0x4F},      {Qt::Key_Left, 0x50},         {Qt::Key_Down, 0x51},
    {Qt::Key_Up, 0x52},         {Qt::Key_NumLock, 0x53},      {Qt::Key_Menu, 0x65},
    {Qt::Key_Exclam, 0x1E},     {Qt::Key_At, 0x1F},           {Qt::Key_NumberSign, 0x20},
    {Qt::Key_Dollar, 0x21},     {Qt::Key_Percent, 0x22},      {Qt::Key_AsciiCircum, 0x23},
    {Qt::Key_Ampersand, 0x24},  {Qt::Key_Asterisk, 0x25},     {Qt::Key_ParenLeft, 0x26},
    {Qt::Key_ParenRight, 0x27}, {Qt::Key_Control, 0xE0},      {Qt::Key_Shift, 0xE1},
    {Qt::Key_Alt, 0xE2},        {Qt::Key_Meta, 0xE3},         {Qt::Key_Super_L, 0xE3},
    {Qt::Key_Super_R, 0xE7},    {Qt::Key_AltGr, 0xE6},
};

// Keys that carry the keypad flag.
constexpr QtKeyUsage kKeypadKeys[] = {
    {Qt::Key_Slash, 0x54},    {Qt::Key_Asterisk, 0x55}, {Qt::Key_Minus, 0x56},
    {Qt::Key_Plus, 0x57},     {Qt::Key_Enter, 0x58},    {Qt::Key_Return, 0x58},
    {Qt::Key_Period, 0x63},   {Qt::Key_Comma, 0x63},    {Qt::Key_Delete, 0x63},
    {Qt::Key_Insert, 0x62},   {Qt::Key_End, 0x59},      {Qt::Key_Down, 0x5A},
    {Qt::Key_PageDown, 0x5B}, {Qt::Key_Left, 0x5C},     {Qt::Key_Clear, 0x5D},
    {Qt::Key_Right, 0x5E},    {Qt::Key_Home, 0x5F},     {Qt::Key_Up, 0x60},
    {Qt::Key_PageUp, 0x61},
};

template <std::size_t N>
std::uint8_t find(const QtKeyUsage (&table)[N], int key) {
    for (const QtKeyUsage& entry : table) {
        if (entry.key == key)
            return entry.usage;
    }
    return 0;
}

// The HID usage of a Qt key; 0 when unknown.
std::uint8_t usageForQtKey(int key, bool keypad) {
    if (keypad) {
        if (key >= Qt::Key_1 && key <= Qt::Key_9)
            return static_cast<std::uint8_t>(0x59 + (key - Qt::Key_1));
        if (key == Qt::Key_0)
            return 0x62;
        if (const std::uint8_t usage = find(kKeypadKeys, key); usage != 0)
            return usage;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<std::uint8_t>(0x04 + (key - Qt::Key_A));
    if (key >= Qt::Key_1 && key <= Qt::Key_9)
        return static_cast<std::uint8_t>(0x1E + (key - Qt::Key_1));
    if (key == Qt::Key_0)
        return 0x27;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
        return static_cast<std::uint8_t>(0x3A + (key - Qt::Key_F1));
    return find(kMainKeys, key);
}

}  // namespace

int keyboardRowForKeyEvent(const QKeyEvent& event) {
    const quint32 scanCode = event.nativeScanCode();
    if (scanCode >= keys::kNativeScanCodeOffset && scanCodesAreEvdev()) {
        const int row = keys::KeyboardRowForEvdev(scanCode - keys::kNativeScanCodeOffset);
        if (row >= 0)
            return row;
    }
    const std::uint8_t usage =
        usageForQtKey(event.key(), event.modifiers().testFlag(Qt::KeypadModifier));
    return usage != 0 ? keys::KeyboardRowForUsage(usage) : -1;
}

KeyCapture::KeyCapture(QWidget* edit, std::function<void(int)> onKey)
    : m_Edit(edit), m_OnKey(std::move(onKey)) {
    if (edit != nullptr)
        edit->installEventFilter(this);
}

KeyCapture::~KeyCapture() {
    if (m_Edit != nullptr)
        m_Edit->removeEventFilter(this);
}

bool KeyCapture::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_Edit)
        return false;
    switch (event->type()) {
        case QEvent::ShortcutOverride:
            // The edit takes every key first, so no shortcut of the window fires while capturing.
            event->accept();
            return true;
        case QEvent::KeyPress: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat() && m_OnKey)
                m_OnKey(keyboardRowForKeyEvent(*key));
            return true;  // nothing is typed, and Tab does not move the focus
        }
        case QEvent::KeyRelease:
            return true;
        default:
            return false;
    }
}

}  // namespace qm::ui
