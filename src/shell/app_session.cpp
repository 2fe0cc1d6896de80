#include "app_session.h"

#include <QCoreApplication>
#include <QPointer>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "cli/backend_choice.h"
#include "device/hid/scan_thread.h"
#include "device/model/device_manager.h"
#include "font_faces_qt.h"
#include "main_window.h"
#include "platform/clock.h"
#include "platform/control_client.h"
#include "platform/control_server.h"
#include "platform/data_paths.h"
#include "platform/trace.h"
#include "qt_dispatcher.h"
#include "sleep_watch.h"

namespace qm::shell {
namespace {

// The control socket's requests, handled on the server's thread: window work is posted to the
// GUI thread; the host lighting state, the tables and the current language are read and written
// atomically, the language names under a lock.
class ControlBridge final : public control::ControlHandler {
public:
    explicit ControlBridge(QtDispatcher& dispatcher) : m_Dispatcher(dispatcher) {}

    // The server already runs when these are set (it must hold the socket before anything else
    // starts), so requests may read them at any time.
    void setTables(const DeviceTables* tables) { m_Tables = tables; }
    // GUI thread: the languages the window offers; switches made through the bridge update the
    // current index from them once the window has switched.
    void setLanguages(const app::Languages* languages) {
        std::vector<std::string> names;
        for (const app::LanguageEntry& entry : languages->list())
            names.push_back(entry.name);
        {
            std::lock_guard lock(m_LanguageLock);
            m_LanguageNames = std::move(names);
        }
        m_Languages = languages;
        m_CurrentLanguage = languages->current();
    }

    void setWindow(CMainWnd* window) { m_Window = window; }
    void setHostLighting(bool on) { m_HostLighting = on; }

    void onRaise() override {
        m_Dispatcher.post([this] {
            if (m_Window)
                m_Window->RaiseWindow();
        });
    }
    bool onHostLighting(bool on) override {
        m_HostLighting = on;
        m_Dispatcher.post([this, on] {
            if (m_Window)
                m_Window->SetHostLightControl(on);
        });
        return on;
    }
    void onGameEvent(const control::GameEvent& event) override {
        m_Dispatcher.post([this, event] {
            if (m_Window)
                m_Window->OnGameEvent(event.name, event.wparam, event.lparam);
        });
    }
    std::vector<control::DeviceReportRow> deviceReport() override {
        return control::deviceReportRows(m_Tables.load()->Options);
    }
    control::LanguageState languages() override {
        std::lock_guard lock(m_LanguageLock);
        return {m_LanguageNames, m_CurrentLanguage};
    }
    control::LanguageState onLanguage(int index) override {
        // Answered as switched; corrected when the window could not load the language.
        m_CurrentLanguage = index;
        m_Dispatcher.post([this, index] {
            if (m_Window)
                m_Window->SetLanguage(index);
            if (m_Languages != nullptr)
                m_CurrentLanguage = m_Languages->current();
        });
        return languages();
    }

private:
    QtDispatcher& m_Dispatcher;
    std::atomic<const DeviceTables*> m_Tables{&hardwareTables()};
    QPointer<CMainWnd> m_Window;
    std::atomic<bool> m_HostLighting{true};
    const app::Languages* m_Languages = nullptr;  // GUI thread only
    std::mutex m_LanguageLock;
    std::vector<std::string> m_LanguageNames;
    std::atomic<int> m_CurrentLanguage{-1};
};

// Which devices have been read back since they arrived.
class AttachWatch final : public DeviceManagerObserver {
public:
    void OnManagerChange(const ManagerChange& change) override {
        if (change.event == ManagerEvent::Attached)
            attached.insert(change.device);
        else if (change.event == ManagerEvent::Departed || change.event == ManagerEvent::Arrived)
            attached.erase(change.device);
    }
    std::set<const CTessarinUSBDevice*> attached;
};

}  // namespace

struct AppSession::State {
    cli::BackendChoice choice;
    QtDispatcher dispatcher;
    std::unique_ptr<DeviceContext> context;
    std::unique_ptr<DeviceManager> manager;
    std::unique_ptr<app::Languages> languages;
    std::unique_ptr<CMainWnd> window;
    std::unique_ptr<ScanThread> scan;
    std::unique_ptr<ControlBridge> bridge;
    control::ControlServer server;
    AttachWatch attachWatch;
    std::unique_ptr<SleepWatch> sleepWatch;
};

AppSession::AppSession() : m_State(std::make_unique<State>()) {}

AppSession::~AppSession() {
    State& s = *m_State;
    s.server.stop();
    if (s.scan)
        s.scan->stop();
    s.dispatcher.stop();
    if (s.manager)
        s.manager->RemoveObserver(&s.attachWatch);
    s.sleepWatch.reset();
    s.window.reset();
}

AppSession::Start AppSession::start(const AppOptions& options) {
    State& s = *m_State;
    // One app per user: a second start raises the first and ends.
    const std::string path =
        options.controlPath.empty() ? control::socketPathFromEnvironment() : options.controlPath;
    control::ControlServerOptions serverOptions;
    serverOptions.path = path;
    s.bridge = std::make_unique<ControlBridge>(s.dispatcher);
    const int served = s.server.start(*s.bridge, serverOptions);
    if (served == EADDRINUSE) {
        if (control::raiseRunningApp(path))
            return Start::RaisedOther;
        m_Error = "another app holds " + path + " but does not answer";
        return Start::Failed;
    }
    if (served != 0)  // the app still runs, only without outside control
        tracef("control: cannot serve at %s: %s", path.c_str(), std::strerror(served));
    if (!cli::chooseBackend(options.virtualList, s.choice, m_Error))
        return Start::Failed;
    s.bridge->setTables(s.choice.tables);

    s.context = std::make_unique<DeviceContext>(DeviceContext{
        *s.choice.backend, s.dispatcher, systemClock(), defaultDataFolder(), productDataFolder()});
    s.manager = std::make_unique<DeviceManager>(*s.context, *s.choice.tables);
    s.manager->AddObserver(&s.attachWatch);
    s.languages = std::make_unique<app::Languages>(app::Languages::Installed());
    s.languages->SetLanguage(s.languages->ReadLanguageIndex(app::SystemMessagesLocale()));
    ApplyLanguageFont(-1, s.languages->current());
    s.window = std::make_unique<CMainWnd>(*s.manager, *s.languages, s.dispatcher);
    s.window->SetQuitFunction([] { QCoreApplication::quit(); });
    s.window->SetHostLightListener([this](bool on) {
        m_State->bridge->setHostLighting(on);
        m_State->server.publishHostLighting(on);
    });
    s.bridge->setWindow(s.window.get());
    s.bridge->setLanguages(s.languages.get());
    s.sleepWatch = std::make_unique<SleepWatch>([this](bool sleeping) { setAwake(!sleeping); });

    // udev knows only of real hardware; a virtual bus announces its own changes.
    const bool virtualBus = s.choice.bus != nullptr || s.choice.remote != nullptr;
    ScanThread::Options scanOptions;
    scanOptions.udevMonitor = !virtualBus;
    scanOptions.backendAnnounces = virtualBus;
    s.scan = std::make_unique<ScanThread>(*s.choice.backend, s.manager->Slots(), s.dispatcher,
                                          *s.manager, scanOptions);
    // The window stays hidden until the first pass raises it.
    s.scan->start();
    return Start::Running;
}

CMainWnd* AppSession::window() const {
    return m_State->window.get();
}

void AppSession::setAwake(bool awake) {
    State& s = *m_State;
    if (!s.window)
        return;
    s.window->SetAwake(awake);
    if (awake && s.scan)
        s.scan->rescan();
}

emu::VirtualBus* AppSession::virtualBus() const {
    return m_State->choice.bus.get();
}

bool AppSession::settled() const {
    const State& s = *m_State;
    if (!s.manager || !s.manager->FirstPassDone())
        return false;
    for (int i = 0; i < s.manager->EntryCount(); ++i) {
        const SelectorEntry& entry = s.manager->Entry(i);
        if (entry.visible && s.attachWatch.attached.count(entry.device.get()) == 0)
            return false;
    }
    return true;
}

}  // namespace qm::shell
