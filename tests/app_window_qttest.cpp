// The desktop app's main window on the in-process virtual peripherals, with the real clock and the
// Qt loop: the selector after the first scan pass, the "no device" state, single instance through
// the control socket, the language switched through it, and closing without a tray.
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include "app_session.h"
#include "emulator/virtual_bus.h"
#include "main_window.h"
#include "platform/control_client.h"
#include "run_program.h"

using qm::shell::AppOptions;
using qm::shell::AppSession;

class AppWindowTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_Home;
    std::string controlPath() const { return m_Home.filePath("control").toStdString(); }

    static QWidget* named(QWidget* root, const char* name) {
        return root->findChild<QWidget*>(QString::fromLatin1(name));
    }

private slots:
    void initTestCase() {
        QVERIFY(m_Home.isValid());
        for (const char* variable : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME"})
            qputenv(variable, m_Home.filePath(variable).toUtf8());
        qputenv("LANG", "en_US.UTF-8");
    }

    void selectorFollowsTheScan_data() {
        QTest::addColumn<QString>("peripherals");
        QTest::addColumn<QString>("selectedName");
        QTest::newRow("keyboard") << "keyboard"
                                  << "Keyboard";
        QTest::newRow("mouse") << "mouse"
                               << "Mouse";
    }
    void selectorFollowsTheScan() {
        QFETCH(QString, peripherals);
        QFETCH(QString, selectedName);
        AppSession session;
        QCOMPARE(session.start({peripherals.toStdString(), controlPath()}),
                 AppSession::Start::Running);
        QWidget* window = session.window();
        // Before the first pass no entry is visible and "No_device_Link" says so.
        QVERIFY(!named(window, "No_device_Link")->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(session.settled(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(named(window, "No_device_Link")->isHidden(), 5000);
        QVERIFY(window->isVisible());
        int shown = 0;
        for (QLabel* name : window->findChildren<QLabel*>("device_select_name")) {
            if (name->parentWidget()->isHidden())
                continue;
            ++shown;
            QCOMPARE(name->text(), selectedName);
            auto* option = name->parentWidget()->findChild<QAbstractButton*>("device_select");
            QVERIFY(option->isChecked());
            // A single visible entry has no sync check.
            QVERIFY(name->parentWidget()->findChild<QWidget*>("synchro_device_select")->isHidden());
        }
        QCOMPARE(shown, 1);
    }

    void secondStartRaisesTheFirst() {
        AppSession first;
        QCOMPARE(first.start({"keyboard", controlPath()}), AppSession::Start::Running);
        QTRY_VERIFY_WITH_TIMEOUT(first.settled(), 20000);
        first.window()->hide();
        const int raised = first.window()->RaiseCount();
        AppSession second;
        QCOMPARE(second.start({"keyboard", controlPath()}), AppSession::Start::RaisedOther);
        QVERIFY(second.window() == nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(first.window()->RaiseCount() > raised, 5000);
        QVERIFY(first.window()->isVisible());
    }

    // A second start from a shell without any display still wakes the first, and exits 0.
    void secondStartNeedsNoDisplay() {
        AppSession first;
        QCOMPARE(first.start({"keyboard", controlPath()}), AppSession::Start::Running);
        QTRY_VERIFY_WITH_TIMEOUT(first.settled(), 20000);
        first.window()->hide();
        const int raised = first.window()->RaiseCount();
        const qm::testing::ProgramRun second = qm::testing::runCommand(
            "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + std::string(QM_APP_PATH) +
                " --control '" + controlPath() + "'",
            m_Home.filePath("second.err").toStdString());
        QCOMPARE(second.status, 0);
        QTRY_VERIFY_WITH_TIMEOUT(first.window()->RaiseCount() > raised, 5000);
        QVERIFY(first.window()->isVisible());
    }

    void closeWithoutTrayQuits() {
        AppSession session;
        QCOMPARE(session.start({"keyboard", controlPath()}), AppSession::Start::Running);
        QTRY_VERIFY_WITH_TIMEOUT(session.window()->isVisible(), 20000);
        QVERIFY(!session.window()->HasTray());  // the offscreen platform has no tray
        bool quit = false;
        session.window()->SetQuitFunction([&quit] { quit = true; });
        // "closebtn" goes through the routing table like a user's click.
        auto* close = session.window()->findChild<QAbstractButton*>("closebtn");
        close->click();
        QVERIFY(quit);
        QVERIFY(!session.window()->isVisible());
    }

    void hostLightingButtonToggles() {
        AppSession session;
        QCOMPARE(session.start({"keyboard", controlPath()}), AppSession::Start::Running);
        auto* button = session.window()->findChild<QAbstractButton*>("control_light_status");
        const struct {
            bool state;
            const char* text;
        } steps[] = {{false, "Lighting control off"}, {true, "Lighting control on"}};
        for (const auto& step : steps) {
            button->click();
            QCOMPARE(session.window()->HostLightControl(), step.state);
            QCOMPARE(button->text(), QString::fromLatin1(step.text));
        }
    }

    void languageSwitchReloadsEveryText() {
        AppSession session;
        QCOMPARE(session.start({"keyboard", controlPath()}), AppSession::Start::Running);
        QTRY_VERIFY_WITH_TIMEOUT(session.settled(), 20000);
        qm::shell::CMainWnd* window = session.window();
        auto* hostLighting = window->findChild<QAbstractButton*>("control_light_status");
        auto* tab = window->findChild<QAbstractButton*>("deng_Op_tab");
        QVERIFY(tab != nullptr);
        const QString englishTab = tab->text();
        QCOMPARE(hostLighting->text(), QString("Lighting control on"));
        QVERIFY(window->SetLanguage(0));  // Chinese
        QCOMPARE(hostLighting->text(), QString::fromUtf8("控制灯光"));
        QVERIFY(tab->text() != englishTab);
        QVERIFY(!window->SetLanguage(0));  // already current
        QVERIFY(window->SetLanguage(1));
        QCOMPARE(tab->text(), englishTab);
    }

    void languageSwitchesThroughTheControlSocket() {
        AppSession session;
        QCOMPARE(session.start({"keyboard", controlPath()}), AppSession::Start::Running);
        auto* hostLighting = session.window()->findChild<QAbstractButton*>("control_light_status");
        QCOMPARE(hostLighting->text(), QString("Lighting control on"));
        qm::control::ControlClient client;
        QCOMPARE(client.connect(controlPath()), 0);
        // Ends in English: the choice is stored, and the cases that follow read it.
        const struct {
            qm::control::LanguageChoice choice;
            int current;
            const char* text;
        } steps[] = {{{std::nullopt, "zh"}, 0, "控制灯光"},
                     {{1u, std::nullopt}, 1, "Lighting control on"}};
        for (const auto& step : steps) {
            qm::control::LanguageState state;
            std::string why;
            QVERIFY2(client.setLanguage(step.choice, state, why), why.c_str());
            QCOMPARE(state.current, step.current);
            QTRY_COMPARE_WITH_TIMEOUT(hostLighting->text(), QString::fromUtf8(step.text), 5000);
            QVERIFY2(client.languages(state, why), why.c_str());
            QCOMPARE(state.current, step.current);
        }
    }

    void suspendIgnoresArrivalsUntilResume() {
        AppSession session;
        QCOMPARE(session.start({"keyboard", controlPath()}), AppSession::Start::Running);
        QTRY_VERIFY_WITH_TIMEOUT(session.settled(), 20000);
        qm::shell::CMainWnd* window = session.window();
        auto visibleEntries = [window] {
            int shown = 0;
            for (QWidget* entry : window->findChildren<QWidget*>("device_option"))
                shown += entry->isHidden() ? 0 : 1;
            return shown;
        };
        QCOMPARE(visibleEntries(), 1);
        session.setAwake(false);
        QVERIFY(!window->IsAwake());
        QVERIFY(window->HostLightControl());  // the state the user chose is kept for the resume
        QVERIFY(session.virtualBus()->plug("mouse"));
        // The scan sees the mouse, but its arrival is ignored while asleep.
        QTest::qWait(500);
        QCOMPARE(visibleEntries(), 1);
        session.setAwake(true);
        // The scan's next pass reports what is present, so the mouse arrives after the resume.
        QTRY_COMPARE_WITH_TIMEOUT(visibleEntries(), 2, 20000);
    }
};

QTEST_MAIN(AppWindowTest)
#include "app_window_qttest.moc"
