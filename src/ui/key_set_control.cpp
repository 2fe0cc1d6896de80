#include "key_set_control.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStackedWidget>

#include <span>

#include "keys/key_function_tables.h"
#include "skin.h"

namespace qm::ui {
namespace {

using keys::KeyPageControls;

// Combo items keep the language key of their text in this role (Qt::UserRole holds the
// function combo's category).
constexpr int kTextKeyRole = Qt::UserRole + 1;
constexpr int kModifierOptions = 5;  // "key_ComBox_check_" 0-4

QString text(const keys::TranslateFn& translate, const QString& key) {
    return QString::fromStdString(keys::Translated(translate, key.toStdString()));
}

void fillFromTable(QComboBox* combo, std::span<const keys::FunctionRow> rows) {
    if (combo == nullptr)
        return;
    const QSignalBlocker block(combo);
    combo->clear();
    for (const keys::FunctionRow& row : rows) {
        const QString key = QString::fromUtf8(row.textId.data(), qsizetype(row.textId.size()));
        combo->addItem(key);
        combo->setItemData(combo->count() - 1, key, kTextKeyRole);
    }
    combo->setCurrentIndex(-1);
}

// Selects item row, or no item when the row is not in the combo.
void selectRow(QComboBox* combo, int row) {
    if (combo == nullptr)
        return;
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(row >= 0 && row < combo->count() ? row : -1);
}

int rowOf(const QComboBox* combo) {
    return combo != nullptr ? combo->currentIndex() : -1;
}

// An edit the user is typing in keeps its text until it loses the focus (which applies it).
void showNumber(QLineEdit* edit, int value) {
    if (edit == nullptr || edit->hasFocus())
        return;
    const QSignalBlocker block(edit);
    edit->setText(QString::number(value));
}

int numberOf(const QLineEdit* edit, int fallback) {
    return edit != nullptr ? keys::ReadEditNumber(edit->text().toStdString()) : fallback;
}

}  // namespace

template <typename T>
T* CKeySetControlUI::find(const char* name) const {
    return m_Root != nullptr ? m_Root->findChild<T*>(QString::fromLatin1(name)) : nullptr;
}

CKeySetControlUI::CKeySetControlUI(QWidget* placeholder, int deviceType) {
    if (placeholder == nullptr)
        return;
    m_Root = shell::loadLayout(QStringLiteral("KeySetControl.ui"), placeholder);
    if (m_Root == nullptr)
        return;
    auto* box = qobject_cast<QBoxLayout*>(placeholder->layout());
    if (box == nullptr && placeholder->layout() == nullptr) {
        box = new QVBoxLayout(placeholder);
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(0);
    }
    if (box != nullptr)
        box->addWidget(m_Root);
    m_Layout = find<QWidget>("keyset_layout");
    m_Hint = find<QWidget>("keyset_hint_label");
    m_KeyTitle = find<QLabel>("keyset_key_label");
    m_Function = find<QComboBox>("keyset_function_combo");
    m_Tabs = find<QStackedWidget>("function_switch_tablayout");
    m_KeyEdit = find<QLineEdit>("keyset_keyboard_text_edit");
    m_MacroCycle = find<QWidget>("keyset_macro_cycle_layout");

    // Combos whose items are language keys remember them, so every language can show them.
    for (QComboBox* combo : m_Root->findChildren<QComboBox*>()) {
        if (!combo->property("translateitems").toBool())
            continue;
        for (int i = 0; i < combo->count(); ++i)
            combo->setItemData(i, combo->itemText(i), kTextKeyRole);
    }
    if (m_Function != nullptr) {
        const QStringList categories =
            m_Function->property("itemdata").toString().split(',', Qt::SkipEmptyParts);
        for (int i = 0; i < m_Function->count() && i < categories.size(); ++i)
            m_Function->setItemData(i, categories[i].trimmed().toInt());
        hideCategories(deviceType);
    }
    fillFromTable(find<QComboBox>("keyset_mousekey_combo"), keys::kMouseKeys);
    fillFromTable(find<QComboBox>("keyset_mousedpi_combo"), keys::kDpiFunctions);
    fillFromTable(find<QComboBox>("keyset_media_combo"), keys::kMediaKeys);
    fillFromTable(find<QComboBox>("keyset_system_combo"), keys::kSystemKeys);
    ShowPage(false);
    EnableActions(false);
}

void CKeySetControlUI::hideCategories(int deviceType) {
    const QSignalBlocker block(m_Function);
    for (int i = m_Function->count() - 1; i >= 0; --i) {
        if (!keys::IsCategoryVisible(deviceType, m_Function->itemData(i).toInt()))
            m_Function->removeItem(i);
    }
    m_Function->setCurrentIndex(-1);
}

void CKeySetControlUI::ApplyTexts(const keys::TranslateFn& translate) {
    if (m_Root == nullptr)
        return;
    for (QWidget* control : m_Root->findChildren<QWidget*>()) {
        const QString key = control->property("textkey").toString();
        if (!key.isEmpty()) {
            if (auto* label = qobject_cast<QLabel*>(control))
                label->setText(text(translate, key));
            else if (auto* button = qobject_cast<QAbstractButton*>(control))
                button->setText(text(translate, key));
        }
        const QString placeholder = control->property("placeholderkey").toString();
        if (auto* edit = qobject_cast<QLineEdit*>(control);
            edit != nullptr && !placeholder.isEmpty())
            edit->setPlaceholderText(text(translate, placeholder));
        if (auto* combo = qobject_cast<QComboBox*>(control)) {
            const QSignalBlocker block(combo);
            for (int i = 0; i < combo->count(); ++i) {
                const QString itemKey = combo->itemData(i, kTextKeyRole).toString();
                if (!itemKey.isEmpty())
                    combo->setItemText(i, text(translate, itemKey));
            }
        }
    }
}

void CKeySetControlUI::FillMacroList(const std::vector<std::string>& names) {
    auto* combo = find<QComboBox>("keyset_macro_combo");
    if (combo == nullptr)
        return;
    const QSignalBlocker block(combo);
    combo->clear();
    for (const std::string& name : names)
        combo->addItem(QString::fromStdString(name));
    combo->setCurrentIndex(-1);
}

void CKeySetControlUI::ShowPage(bool keySelected) {
    if (m_Layout != nullptr)
        m_Layout->setVisible(keySelected);
    if (m_Hint != nullptr)
        m_Hint->setVisible(!keySelected);
}

void CKeySetControlUI::ShowKeyTitle(const QString& title) {
    if (m_KeyTitle != nullptr)
        m_KeyTitle->setText(title);
}

void CKeySetControlUI::ShowControls(const KeyPageControls& controls,
                                    const keys::TranslateFn& translate) {
    if (m_Root == nullptr)
        return;
    const int item = m_Function != nullptr ? m_Function->findData(controls.category) : -1;
    if (m_Function != nullptr) {
        const QSignalBlocker block(m_Function);
        m_Function->setCurrentIndex(item);
    }
    // A category the combo does not offer shows the empty page; the key keeps its code.
    if (m_Tabs != nullptr && item >= 0 && controls.category < m_Tabs->count())
        m_Tabs->setCurrentIndex(controls.category);
    else if (m_Tabs != nullptr)
        m_Tabs->setCurrentIndex(0);

    selectRow(find<QComboBox>("keyset_mousekey_combo"), controls.mouseKeyRow);
    selectRow(find<QComboBox>("keyset_mouseswing_combo"), controls.swingDirection);
    showNumber(find<QLineEdit>("keyset_mouseswing_num_edit"), controls.swingCount);
    showNumber(find<QLineEdit>("keyset_mouseswing_delay_edit"), controls.swingDelay);
    showNumber(find<QLineEdit>("keyset_mouseswing_speed_edit"), controls.swingSpeed);
    selectRow(find<QComboBox>("keyset_mousewheel_combo"), controls.wheelDirection);
    showNumber(find<QLineEdit>("keyset_mousewheel_num_edit"), controls.wheelCount);
    showNumber(find<QLineEdit>("keyset_mousewheel_delay_edit"), controls.wheelDelay);
    showNumber(find<QLineEdit>("keyset_mousewheel_speed_edit"), controls.wheelSpeed);
    selectRow(find<QComboBox>("keyset_mousedpi_combo"), controls.dpiRow);
    showNumber(find<QLineEdit>("keyset_mousefire_interval_edit"), controls.fireInterval);
    showNumber(find<QLineEdit>("keyset_mousefire_num_edit"), controls.fireShots);
    for (int option = 0; option < kModifierOptions; ++option) {
        const std::string name = "key_ComBox_check_" + std::to_string(option);
        auto* button = find<QAbstractButton>(name.c_str());
        if (button == nullptr)
            continue;
        const QSignalBlocker block(button);
        // Exclusive options cannot all be cleared while they are exclusive.
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(option == controls.modifierOption);
        button->setAutoExclusive(exclusive);
    }
    if (m_KeyEdit != nullptr) {
        const QSignalBlocker block(m_KeyEdit);
        m_KeyEdit->setText(QString::fromStdString(keys::KeyEditCaption(controls, translate)));
    }
    selectRow(find<QComboBox>("keyset_media_combo"), controls.mediaRow);
    selectRow(find<QComboBox>("keyset_system_combo"), controls.systemRow);
    selectRow(find<QComboBox>("keyset_macro_combo"), controls.macroRow);
    selectRow(find<QComboBox>("keyset_macro_over_combo"), controls.macroPlayMode);
    showNumber(find<QLineEdit>("keyset_macro_cycle_edit"), controls.macroRepeat);
    if (m_MacroCycle != nullptr)
        m_MacroCycle->setVisible(keys::MacroRepeatVisible(controls));
    selectRow(find<QComboBox>("keyset_gunkey_combo"), controls.gunKeyRow);
    selectRow(find<QComboBox>("keyset_combokey_combo"), controls.combinationRow);
}

int CKeySetControlUI::SelectedCategory() const {
    if (m_Function == nullptr || m_Function->currentIndex() < 0)
        return keys::KeyCategory::None;
    return m_Function->currentData().toInt();
}

KeyPageControls CKeySetControlUI::ReadControls(const KeyPageControls& current) const {
    KeyPageControls read = current;
    if (m_Root == nullptr)
        return read;
    read.category = SelectedCategory();
    read.mouseKeyRow = rowOf(find<QComboBox>("keyset_mousekey_combo"));
    read.swingDirection = rowOf(find<QComboBox>("keyset_mouseswing_combo"));
    read.swingCount = numberOf(find<QLineEdit>("keyset_mouseswing_num_edit"), read.swingCount);
    read.swingDelay = numberOf(find<QLineEdit>("keyset_mouseswing_delay_edit"), read.swingDelay);
    read.swingSpeed = numberOf(find<QLineEdit>("keyset_mouseswing_speed_edit"), read.swingSpeed);
    read.wheelDirection = rowOf(find<QComboBox>("keyset_mousewheel_combo"));
    read.wheelCount = numberOf(find<QLineEdit>("keyset_mousewheel_num_edit"), read.wheelCount);
    read.wheelDelay = numberOf(find<QLineEdit>("keyset_mousewheel_delay_edit"), read.wheelDelay);
    read.wheelSpeed = numberOf(find<QLineEdit>("keyset_mousewheel_speed_edit"), read.wheelSpeed);
    read.dpiRow = rowOf(find<QComboBox>("keyset_mousedpi_combo"));
    read.fireInterval =
        numberOf(find<QLineEdit>("keyset_mousefire_interval_edit"), read.fireInterval);
    read.fireShots = numberOf(find<QLineEdit>("keyset_mousefire_num_edit"), read.fireShots);
    read.modifierOption = keys::ModifierOption::Unselected;
    for (int option = 0; option < kModifierOptions; ++option) {
        const std::string name = "key_ComBox_check_" + std::to_string(option);
        if (auto* button = find<QAbstractButton>(name.c_str()); button && button->isChecked())
            read.modifierOption = option;
    }
    read.mediaRow = rowOf(find<QComboBox>("keyset_media_combo"));
    read.systemRow = rowOf(find<QComboBox>("keyset_system_combo"));
    read.macroRow = rowOf(find<QComboBox>("keyset_macro_combo"));
    read.macroPlayMode = rowOf(find<QComboBox>("keyset_macro_over_combo"));
    read.macroRepeat = numberOf(find<QLineEdit>("keyset_macro_cycle_edit"), read.macroRepeat);
    read.gunKeyRow = rowOf(find<QComboBox>("keyset_gunkey_combo"));
    read.combinationRow = rowOf(find<QComboBox>("keyset_combokey_combo"));
    return read;
}

void CKeySetControlUI::EnableActions(bool enabled) {
    for (const char* name : {"key_butt_keysave", "key_butt_keycancel", "key_butt_prosave"}) {
        if (auto* button = find<QAbstractButton>(name))
            button->setEnabled(enabled);
    }
}

}  // namespace qm::ui
