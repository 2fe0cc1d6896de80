// CKeySetControlUI: the widgets of the key settings page ("KeySetControl.ui", built into the
// device page's "KeySetControlItem"). It shows a KeyPageControls and reads it back; what the
// values mean and what they build is the key page model's (src/keys/). Values set here raise no
// notification.
#pragma once

#include <QPointer>

#include <string>
#include <vector>

#include "keys/key_caption.h"
#include "keys/key_page.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QWidget;

namespace qm::ui {

class CKeySetControlUI {
public:
    // Builds the page into placeholder (null: a page without widgets). Call it before the page's
    // notifications are connected. deviceType hides the categories the device does not offer.
    CKeySetControlUI(QWidget* placeholder, int deviceType);

    // The built page (its root), or null.
    QWidget* widget() const { return m_Root; }
    QLineEdit* keyEdit() const { return m_KeyEdit; }

    // Texts of the language: labels, buttons, combo items and the table-driven combos.
    void ApplyTexts(const keys::TranslateFn& translate);
    // "macro.config"'s names, one item each, in list order; no item stays selected.
    void FillMacroList(const std::vector<std::string>& names);

    // Shows the page for a selected key, or the hint to select one.
    void ShowPage(bool keySelected);
    // The key and its assignment, above the controls.
    void ShowKeyTitle(const QString& title);
    // Sets every control from controls; the category without an item leaves the combo empty.
    void ShowControls(const keys::KeyPageControls& controls, const keys::TranslateFn& translate);
    // What the controls hold. The captured key and the shown modifier byte are the model's, so
    // they come from current.
    keys::KeyPageControls ReadControls(const keys::KeyPageControls& current) const;
    // The category of the function combo's current item (None without one).
    int SelectedCategory() const;
    // "key_butt_keysave", "key_butt_keycancel" and "key_butt_prosave".
    void EnableActions(bool enabled);

private:
    template <typename T>
    T* find(const char* name) const;
    void hideCategories(int deviceType);

    QPointer<QWidget> m_Root;
    QPointer<QWidget> m_Layout;  // "keyset_layout"
    QPointer<QWidget> m_Hint;    // "keyset_hint_label"
    QPointer<QLabel> m_KeyTitle;
    QPointer<QComboBox> m_Function;
    QPointer<QStackedWidget> m_Tabs;
    QPointer<QLineEdit> m_KeyEdit;
    QPointer<QWidget> m_MacroCycle;
};

}  // namespace qm::ui
