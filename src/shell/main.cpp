// quillmark: the desktop app.
//   --virtual[=LIST]   the virtual peripherals (as quillmark-cli takes them)
//   -v                 debug traces on stderr
//   --screenshot FILE  render the main window to a PNG once the peripherals are attached, then end
//   --control PATH     the control socket (default $XDG_RUNTIME_DIR/quillmark/control)
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "app_session.h"
#include "main_window.h"
#include "platform/control_client.h"
#include "platform/trace.h"

namespace {

struct Arguments {
    qm::shell::AppOptions app;
    std::optional<std::string> screenshot;
    bool verbose = false;
};

bool parseArguments(int argc, char** argv, Arguments& arguments) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--virtual") {
            arguments.app.virtualList = "";
        } else if (argument.starts_with("--virtual=")) {
            arguments.app.virtualList = argument.substr(10);
        } else if (argument == "-v") {
            arguments.verbose = true;
        } else if (argument == "--screenshot" && i + 1 < argc) {
            arguments.screenshot = argv[++i];
        } else if (argument == "--control" && i + 1 < argc) {
            arguments.app.controlPath = argv[++i];
        } else {
            std::fprintf(stderr,
                         "quillmark: unknown argument %s\nusage: quillmark [--virtual[=LIST]] [-v] "
                         "[--screenshot FILE] [--control PATH]\n",
                         argument.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    if (!parseArguments(argc, argv, arguments))
        return 2;
    if (arguments.verbose || std::getenv("QUILLMARK_TRACE") != nullptr)
        qm::setTraceEnabled(true);

    // A second start only wakes the first, and needs no display for that.
    const std::string controlPath = arguments.app.controlPath.empty()
                                        ? qm::control::socketPathFromEnvironment()
                                        : arguments.app.controlPath;
    if (!arguments.screenshot && qm::control::raiseRunningApp(controlPath))
        return 0;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    // The window hides to the tray; it ends through the tray's "exit".
    QApplication::setQuitOnLastWindowClosed(false);

    qm::shell::AppSession session;
    switch (session.start(arguments.app)) {
        case qm::shell::AppSession::Start::RaisedOther:
            return 0;
        case qm::shell::AppSession::Start::Failed:
            std::fprintf(stderr, "quillmark: %s\n", session.error().c_str());
            return 1;
        case qm::shell::AppSession::Start::Running:
            break;
    }

    if (arguments.screenshot) {
        // Once every visible peripheral has been read back (or after 10 s at most), one more
        // moment of event loop lets the window settle, then the window is rendered.
        auto* poll = new QTimer(&application);
        auto* waited = new QElapsedTimer;
        waited->start();
        const QString file = QString::fromStdString(*arguments.screenshot);
        QObject::connect(poll, &QTimer::timeout, &application, [&session, poll, waited, file] {
            if (!session.settled() && waited->elapsed() < 10000)
                return;
            poll->stop();
            delete waited;
            QTimer::singleShot(300, [&session, file] {
                const bool saved = session.window()->grab().save(file, "PNG");
                if (!saved)
                    std::fprintf(stderr, "quillmark: cannot write %s\n", qPrintable(file));
                QApplication::exit(saved ? 0 : 1);
            });
        });
        poll->start(50);
    }
    return application.exec();
}
