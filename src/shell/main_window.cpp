#include "main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScopeGuard>
#include <QScreen>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QWindow>

#include "about_window.h"
#include "app/function_page.h"
#include "desktop_settings.h"
#include "font_faces_qt.h"
#include "message_box.h"
#include "notifications.h"
#include "platform/trace.h"
#include "skin.h"
#include "skin_frame.h"

namespace qm::shell {
namespace {

constexpr QSize kWindowSize{1000, 640};
constexpr int kTitleBarHeight = 48;
// The dynamic properties our layouts carry.
constexpr const char* kTextKey = "textkey";     // language key of the control's text
constexpr const char* kEntryIndex = "qmEntry";  // selector entry of a DeviceOption layout

// The language key of an entry's name: the kind's icon prefix and "device_name_text".
std::string entryNameKey(int kind, int variant) {
    switch (kind) {
        case 1:
        case 9:
            return "kb_device_name_text";
        case 2:
        case 6:
            return "ms_device_name_text";
        case 3:
            return variant == 0 ? "hard_mp_device_name_text" : "soft_mp_device_name_text";
        case 4:
        case 7:
            return "hd_device_name_text";
        case 5:
            return "hub_device_name_text";
        default:
            return "unknow_device_name_text";
    }
}

// The selector option's icons: the kind's silhouette, normal and selected, in the sync colours
// while the entry takes part in synchronised lighting.
QString entryIconStyle(int kind, int variant, bool synced) {
    std::string prefix = entryNameKey(kind, variant);
    prefix.resize(prefix.size() - std::string_view("device_name_text").size());
    const QString icons =
        skinFolder() + "common/device_ico/" + QString::fromStdString(prefix) + "device_";
    const QString state = synced ? QStringLiteral("synchro_") : QString();
    return QStringLiteral(
               "QRadioButton::indicator { width: 32px; height: 32px; image: url(%1%2normal.png); }"
               "QRadioButton::indicator:checked { image: url(%1%2selected.png); }")
        .arg(icons, state);
}

void setControlText(QObject* control, const QString& text) {
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* action = qobject_cast<QAction*>(control))
        action->setText(text);
}

QIcon trayIcon() {
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0xE0, 0x3A, 0x3E));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(pixmap.rect().adjusted(2, 2, -2, -2));
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(40);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("Q"));
    return QIcon(pixmap);
}

}  // namespace

CMainWnd::CMainWnd(DeviceManager& manager, app::Languages& languages, Dispatcher& timers)
    : m_Manager(manager), m_Languages(languages), m_Timers(timers) {
    setObjectName(QStringLiteral("MainWnd"));
    setWindowTitle(QStringLiteral("Quillmark"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setWindowIcon(trayIcon());
    buildLayout();
    m_SkinChanges.Subscribe(
        [this](const app::SkinChanged& change) { ApplySkinChange(m_Root, change); });
    createTray();
    ApplyTexts();
    m_Manager.AddObserver(this);
    refresh();
    resize(kWindowSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr)
        move(screen->availableGeometry().center() - rect().center());
}

CMainWnd::~CMainWnd() {
    *m_Notifying = false;
    m_Manager.RemoveObserver(this);
}

void CMainWnd::buildLayout() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_Root = loadLayout(QStringLiteral("main.ui"), this);
    if (m_Root == nullptr)
        m_Root = new QWidget(this);  // a skin that cannot be built leaves an empty window
    layout->addWidget(m_Root);
    setStyleSheet(skinStyleSheet());
    m_SelectorLayout = control<QWidget>("device_select_layout");
    m_DeviceSwitch = control<QStackedWidget>("device_switch");
    m_PowerSwitch = control<QStackedWidget>("device_power_switch");
    m_NoDeviceLink = control<QWidget>("No_device_Link");
    if (m_SelectorLayout != nullptr && m_SelectorLayout->layout() == nullptr)
        new QVBoxLayout(m_SelectorLayout);
    if (auto* restore = control<QWidget>("restorebtn"))
        restore->hide();
    connectNotifications(m_Root,
                         [this, notifying = m_Notifying](const QString& type, QObject* sender) {
                             if (*notifying)
                                 Notify(type, sender);
                         });
}

void CMainWnd::createTray() {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;  // without a tray, closing the window quits
    m_TrayMenu = new QMenu(this);
    for (const char* name : {"setwnd_menu", "about_menu", "exit"}) {
        QAction* action = m_TrayMenu->addAction(QString());
        action->setObjectName(QString::fromLatin1(name));
        action->setProperty(kTextKey, name == std::string_view("exit")
                                          ? QStringLiteral("exit_menu_text")
                                          : QString::fromLatin1(name) + "_text");
        connect(action, &QAction::triggered, this, [this, action] {
            if (action->objectName() == "exit") {
                m_Quitting = true;
                close();
            } else if (action->objectName() == "about_menu") {
                openAbout();
            } else {
                tracef("ui: menu %s not built yet", qPrintable(action->objectName()));
            }
        });
    }
    m_Tray = new QSystemTrayIcon(trayIcon(), this);
    m_Tray->setToolTip(QStringLiteral("Quillmark"));
    m_Tray->setContextMenu(m_TrayMenu);
    connect(m_Tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why != QSystemTrayIcon::Trigger)
                    return;
                if (isVisible() && !isMinimized())
                    CloseToTray();
                else
                    RaiseWindow();
            });
    m_Tray->show();
}

void CMainWnd::ApplyTexts() {
    QList<QObject*> controls;
    for (QWidget* widget : findChildren<QWidget*>())
        controls.append(widget);
    if (m_TrayMenu != nullptr) {
        for (QAction* action : m_TrayMenu->actions())
            controls.append(action);
    }
    for (QObject* control : controls) {
        const QString key = control->property(kTextKey).toString();
        if (!key.isEmpty())
            setControlText(control,
                           QString::fromStdString(m_Languages.TranslateKey(key.toStdString())));
    }
    SetHostLightControl(m_HostLightControl);
}

bool CMainWnd::SetLanguage(int index) {
    const int previous = m_Languages.current();
    if (!m_Languages.SetLanguage(index))
        return false;
    ApplyLanguageFont(previous, index);
    ApplyTexts();
    for (auto* about : findChildren<CAboutWnd*>(QString(), Qt::FindDirectChildrenOnly))
        about->ApplyTexts();
    for (auto* picker : findChildren<CSkinFrame*>(QString(), Qt::FindDirectChildrenOnly))
        picker->ApplyTexts();
    for (EntryWidgets& widgets : m_Entries) {
        if (widgets.controller)
            widgets.controller->Refresh();
    }
    refresh();  // the page headers repeat the selector entries' names
    return true;
}

void CMainWnd::addNewEntries() {
    // Building an entry may ask the user (a profile list that cannot be saved); the message
    // box's event loop may deliver manager changes, which must not build the entry again.
    if (m_BuildingEntries)
        return;
    m_BuildingEntries = true;
    const auto done = qScopeGuard([this] { m_BuildingEntries = false; });
    while (static_cast<int>(m_Entries.size()) < m_Manager.EntryCount()) {
        const int index = static_cast<int>(m_Entries.size());
        const SelectorEntry& model = m_Manager.Entry(index);
        EntryWidgets widgets;
        widgets.entry = loadLayout(QStringLiteral("DeviceOption.ui"), m_SelectorLayout);
        if (widgets.entry == nullptr)
            widgets.entry = new QWidget(m_SelectorLayout);
        widgets.entry->setProperty(kEntryIndex, index);
        if (auto* box =
                qobject_cast<QBoxLayout*>(m_SelectorLayout ? m_SelectorLayout->layout() : nullptr))
            box->insertWidget(index, widgets.entry);
        if (auto* name = widgets.entry->findChild<QLabel*>(QStringLiteral("device_select_name"))) {
            name->setProperty(kTextKey,
                              QString::fromStdString(entryNameKey(model.kind, model.variant)));
            name->installEventFilter(this);  // a click on the name selects the entry
        }
        widgets.page = loadLayout(layoutFileFor(QString::fromStdString(model.device->PageLayout())),
                                  m_DeviceSwitch);
        if (widgets.page == nullptr)
            widgets.page = new QWidget(m_DeviceSwitch);
        widgets.page->setProperty(kEntryIndex, index);
        CDeviceProfileUI::Services services;
        services.ask = [this](const std::string& key, int mode) { return Ask(key, mode); };
        services.translate = [this](const std::string& key) {
            return m_Languages.TranslateKey(key);
        };
        widgets.profiles = std::make_unique<CDeviceProfileUI>(
            widgets.page->findChild<QWidget*>(QStringLiteral("DeviceProfileItem")), *model.device,
            m_Timers, services);
        widgets.profiles->LoadProfileList();
        widgets.profiles->ShowFunctionPage(app::kTabLighting);
        ui::PageServices pageServices;
        pageServices.translate = services.translate;
        pageServices.ask = services.ask;
        pageServices.timers = &m_Timers;
        widgets.controller = ui::createDevicePage(widgets.page, *model.device, pageServices);
        if (m_DeviceSwitch != nullptr)
            m_DeviceSwitch->addWidget(widgets.page);
        widgets.power = loadLayout(QStringLiteral("MpDevicePower.ui"), m_PowerSwitch);
        if (widgets.power == nullptr)
            widgets.power = new QWidget(m_PowerSwitch);
        if (m_PowerSwitch != nullptr)
            m_PowerSwitch->insertWidget(model.powerDisplayIndex, widgets.power);
        for (QWidget* built : {widgets.entry, widgets.page}) {
            connectNotifications(
                built, [this, notifying = m_Notifying](const QString& type, QObject* sender) {
                    if (*notifying)
                        Notify(type, sender);
                });
        }
        m_Entries.push_back(std::move(widgets));
        ApplyTexts();
    }
}

void CMainWnd::refresh() {
    addNewEntries();
    const int selected = m_Manager.SelectedEntry();
    const int entries = std::min(static_cast<int>(m_Entries.size()), m_Manager.EntryCount());
    for (int i = 0; i < entries; ++i) {
        const SelectorEntry& model = m_Manager.Entry(i);
        QWidget* entry = m_Entries[i].entry;
        entry->setVisible(model.visible);
        if (auto* option = entry->findChild<QAbstractButton*>(QStringLiteral("device_select"))) {
            option->setChecked(i == selected && model.visible);
            const QString style = entryIconStyle(model.kind, model.variant, model.syncChecked);
            if (option->styleSheet() != style)
                option->setStyleSheet(style);
        }
        if (auto* sync =
                entry->findChild<QAbstractButton*>(QStringLiteral("synchro_device_select"))) {
            sync->setVisible(m_Manager.SyncControlsVisible());
            sync->setChecked(model.syncChecked);
        }
        QWidget* page = m_Entries[i].page;
        if (auto* name = page->findChild<QLabel*>(QStringLiteral("device_name_label")))
            name->setText(
                entry->findChild<QLabel*>(QStringLiteral("device_select_name"))
                    ? entry->findChild<QLabel*>(QStringLiteral("device_select_name"))->text()
                    : QString::fromStdString(model.device->DeviceName()));
        // The page controllers follow their devices themselves; only the profile control needs
        // the manager's changes.
        if (m_Entries[i].profiles)
            m_Entries[i].profiles->Refresh();
    }
    const bool noDevice = m_Manager.NoDevice();
    if (m_NoDeviceLink != nullptr)
        m_NoDeviceLink->setVisible(noDevice);
    if (m_DeviceSwitch != nullptr) {
        const bool shown =
            !noDevice && selected >= 0 && selected < static_cast<int>(m_Entries.size());
        m_DeviceSwitch->setCurrentIndex(shown ? m_DeviceSwitch->indexOf(m_Entries[selected].page)
                                              : 0);
    }
    if (m_PowerSwitch != nullptr) {
        m_PowerSwitch->setVisible(!noDevice && m_Manager.PowerContainerVisible());
        m_PowerSwitch->setCurrentIndex(noDevice ? 0 : m_Manager.SelectedPowerDisplay());
    }
}

void CMainWnd::updatePower(int entry, const PowerStatus& power) {
    if (entry < 0 || entry >= static_cast<int>(m_Entries.size()))
        return;
    QWidget* display = m_Entries[entry].power;
    if (auto* value = display->findChild<QLabel*>(QStringLiteral("device_power_value")))
        value->setText(QStringLiteral("%1%").arg(power.level()));
    if (auto* progress = display->findChild<QProgressBar*>(QStringLiteral("device_Power_progress")))
        progress->setValue(power.level());
}

void CMainWnd::OnManagerChange(const ManagerChange& change) {
    switch (change.event) {
        case ManagerEvent::RaiseWindow:
            refresh();
            RaiseWindow();
            break;
        case ManagerEvent::PowerStatus:
            updatePower(change.entry, change.power);
            refresh();
            break;
        case ManagerEvent::ScanFailed:
            trace("ui: the device scan stopped");
            break;
        default:
            refresh();
            break;
    }
}

int CMainWnd::entryOf(QObject* control) const {
    for (QObject* at = control; at != nullptr; at = at->parent()) {
        const QVariant index = at->property(kEntryIndex);
        if (index.isValid())
            return index.toInt();
    }
    return -1;
}

void CMainWnd::Notify(const QString& type, QObject* sender) {
    const QString name = sender != nullptr ? sender->objectName() : QString();
    tracef("ui: %s %s", qPrintable(type), qPrintable(name));
    const app::RoutedEvent routed = app::routeEvent(type.toStdString(), name.toStdString());
    if (!routed.found)
        return;
    if (routed.actsOnDevice && m_Manager.CurrentDevice() == nullptr)
        return;
    runRoute(routed, name, sender);
}

void CMainWnd::runRoute(const app::RoutedEvent& routed, const QString& name, QObject* sender) {
    using app::Route;
    switch (routed.target) {
        case Route::CloseToTray:
            CloseToTray();
            break;
        case Route::HideWindow:
            hide();
            break;
        case Route::ToggleHostLighting:
            SetHostLightControl(!m_HostLightControl);
            break;
        case Route::Minimise:
            showMinimized();
            break;
        case Route::Maximise:
        case Route::Restore: {
            const bool maximise = routed.target == Route::Maximise;
            maximise ? showMaximized() : showNormal();
            if (auto* button = control<QWidget>("maxbtn"))
                button->setVisible(!maximise);
            if (auto* button = control<QWidget>("restorebtn"))
                button->setVisible(maximise);
            break;
        }
        case Route::SelectorEntrySelected: {
            const int entry = entryOf(sender);
            if (entry >= 0 && entry < m_Manager.EntryCount() && m_Manager.Entry(entry).visible)
                m_Manager.ShowEntry(entry, true, true);
            refresh();  // an option the user unchecked is checked again
            break;
        }
        case Route::SelectorPrevious:
        case Route::SelectorNext: {
            std::vector<int> visible;
            for (int i = 0; i < m_Manager.EntryCount(); ++i) {
                if (m_Manager.Entry(i).visible)
                    visible.push_back(i);
            }
            if (visible.empty())
                break;
            const int count = static_cast<int>(visible.size());
            int at = 0;
            while (at < count && visible[at] != m_Manager.SelectedEntry())
                ++at;
            const int step = routed.target == Route::SelectorNext ? 1 : count - 1;
            m_Manager.ShowEntry(visible[(at % count + step) % count], true, true);
            break;
        }
        case Route::SyncMembership: {
            const int entry = entryOf(sender);
            auto* check = qobject_cast<QAbstractButton*>(sender);
            if (entry >= 0 && check != nullptr)
                m_Manager.SetSyncChecked(entry, check->isChecked());
            refresh();
            break;
        }
        case Route::SetFunctionPage:
        case Route::ProfileAdd:
        case Route::ProfileDelete:
        case Route::ProfileCopy:
        case Route::ProfileImport:
        case Route::ProfileExport:
        case Route::ProfileReset:
        case Route::ProfileRename:
        case Route::ProfileMenuToggle:
        case Route::ProfileSelect:
        case Route::RestoreDefaults:
            if (const int entry = currentEntry();
                entry >= 0 && m_Entries[entry].profiles->RunRoute(routed.target, sender))
                refresh();
            break;
        case Route::OpenSkinPicker:
            openSkinPicker();
            break;
        case Route::OpenSystemDeviceSettings:
            if (routed.index == 0 || routed.index == 1)
                openDesktopSettings(static_cast<DesktopSettings>(routed.index));
            break;
        default: {
            // Everything else belongs to the controls of the current device's page.
            const int entry = currentEntry();
            ui::DevicePage* page = entry >= 0 ? m_Entries[entry].controller.get() : nullptr;
            if (page == nullptr || !page->RunRoute(routed.target, routed.index, sender))
                tracef("ui: %s (route %d, index %d) not built yet", qPrintable(name),
                       static_cast<int>(routed.target), routed.index);
            break;
        }
    }
}

int CMainWnd::currentEntry() const {
    const CTessarinUSBDevice* current = m_Manager.CurrentDevice();
    const int entries = std::min(static_cast<int>(m_Entries.size()), m_Manager.EntryCount());
    for (int i = 0; current != nullptr && i < entries; ++i) {
        if (m_Manager.Entry(i).device.get() == current)
            return i;
    }
    return -1;
}

void CMainWnd::openSkinPicker() {
    CSkinFrame::Open(this, m_SkinChanges, m_Languages);
}

void CMainWnd::openAbout() {
    CAboutWnd::Open(this, m_Languages, QStringLiteral(QM_VERSION));
}

int CMainWnd::Ask(const std::string& textKey, int buttonMode) {
    return ShowMessageBox(this, QStringLiteral("message_title_text"),
                          QString::fromStdString(textKey), 96, 0, buttonMode, m_Languages);
}

void CMainWnd::SetHostLightControl(bool on) {
    const bool changed = on != m_HostLightControl;
    m_HostLightControl = on;
    if (auto* button = control<QAbstractButton>("control_light_status")) {
        button->setCheckable(false);
        button->setText(QString::fromStdString(
            m_Languages.TranslateKey(on ? "control_light_on_text" : "control_light_off_text")));
        button->setProperty("hostLighting", on);
    }
    if (!changed)
        return;
    for (int i = 0; i < m_Manager.EntryCount(); ++i)
        m_Manager.Entry(i).device->SetHostLightControl(on);
    if (m_HostLightListener)
        m_HostLightListener(on);
}

void CMainWnd::SetAwake(bool awake) {
    if (awake == m_Awake)
        return;
    m_Awake = awake;
    m_Manager.SetSuspended(!awake);
    // Asleep, nobody drives the lighting; awake again, the devices get the control state back.
    const bool hostControls = awake && m_HostLightControl;
    for (int i = 0; i < m_Manager.EntryCount(); ++i)
        m_Manager.Entry(i).device->SetHostLightControl(hostControls);
}

void CMainWnd::OnGameEvent(const std::string& name, std::uint32_t wparam, std::uint32_t lparam) {
    if (!m_Awake) {
        tracef("ui: game event %s while suspended; ignored", name.c_str());
        return;
    }
    // Game lighting follows with the lighting page.
    tracef("ui: game event %s (%u, %u)", name.c_str(), wparam, lparam);
}

void CMainWnd::pausePowerReads(bool pause) {
    for (KindGroup group : {KindGroup::Mouse, KindGroup::Keyboard}) {
        for (CTessarinUSBDevice* device : m_Manager.Devices(group))
            device->PausePowerReads(pause);
    }
}

void CMainWnd::RaiseWindow() {
    ++m_RaiseCount;
    if (m_NoDeviceLink != nullptr)
        m_NoDeviceLink->setVisible(m_Manager.NoDevice());
    pausePowerReads(false);
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void CMainWnd::CloseToTray() {
    if (m_Tray == nullptr) {
        m_Quitting = true;
        close();
        return;
    }
    hide();
    pausePowerReads(true);
}

void CMainWnd::closeEvent(QCloseEvent* event) {
    if (m_Quitting || m_Tray == nullptr) {
        event->accept();
        if (m_Tray != nullptr)
            m_Tray->hide();
        if (m_OnQuit)
            m_OnQuit();
        return;
    }
    event->ignore();  // the window manager's close hides to the tray as "closebtn" does
    CloseToTray();
}

bool CMainWnd::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease) {
        if (QWidget* entry = qobject_cast<QWidget*>(watched)->parentWidget()) {
            if (auto* option = entry->findChild<QAbstractButton*>(QStringLiteral("device_select")))
                option->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CMainWnd::mousePressEvent(QMouseEvent* event) {
    // The frameless window moves by its title bar.
    if (event->button() == Qt::LeftButton && event->position().y() < kTitleBarHeight &&
        windowHandle() != nullptr) {
        windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}

}  // namespace qm::shell
