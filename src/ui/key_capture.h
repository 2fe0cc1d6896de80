// Single-key capture for the key settings page: while the watched edit has the focus, every key
// pressed in its window (Tab, Esc, the F-keys and the modifiers included) is taken from the
// window and handed over as a row of the keyboard key table, instead of being typed or moving
// the focus. Replaces the system-wide keyboard hook of the Windows program: only our own window's
// keys are seen.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QKeyEvent;
class QWidget;

namespace qm::ui {

// The keyboard key table row (keys::kKeyboardKeys) of a key event; -1 when the key has none. On
// X11 and Wayland the native scan code (evdev code + 8) names the physical key; elsewhere (and on
// the offscreen platform, whose scan codes are 0) the Qt key and its keypad flag do.
int keyboardRowForKeyEvent(const QKeyEvent& event);

class KeyCapture final : public QObject {
public:
    // onKey receives the row of every captured press (not its auto-repeats); keys without a row
    // are swallowed all the same. The edit may be destroyed before the capture.
    KeyCapture(QWidget* edit, std::function<void(int row)> onKey);
    ~KeyCapture() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_Edit;
    std::function<void(int)> m_OnKey;
};

}  // namespace qm::ui
