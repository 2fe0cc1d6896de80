// The desktop app's start-up figures, printed (not asserted): the time from the process start to
// the first attached device page shown (the window visible, every visible peripheral read back),
// and the resident memory then, on the default set of in-process virtual peripherals with the
// offscreen platform. Each run is a fresh process (fresh user folders); the median of five runs.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app_session.h"
#include "main_window.h"

namespace {

constexpr int kRuns = 5;

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long statusKilobytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
    }
    return -1;
}

// One start in this process: prints "<ms> <rss kB> <peak kB>".
int measureOnce(int argc, char** argv, std::chrono::steady_clock::time_point processStart) {
    QTemporaryDir home;
    for (const char* variable : {"XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME"})
        qputenv(variable, home.filePath(variable).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notes on what it cannot do would drown the figures.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication application(argc, argv);
    qm::shell::AppSession session;
    if (session.start({std::string(), home.filePath("control").toStdString()}) !=
        qm::shell::AppSession::Start::Running) {
        std::fprintf(stderr, "app_startup_bench: cannot start: %s\n", session.error().c_str());
        return 1;
    }
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!session.settled() || !session.window()->isVisible())
            return;
        const auto elapsed = std::chrono::steady_clock::now() - processStart;
        std::printf("%.1f %ld %ld\n", std::chrono::duration<double, std::milli>(elapsed).count(),
                    statusKilobytes("VmRSS"), statusKilobytes("VmHWM"));
        QApplication::exit(0);
    });
    poll.start(1);
    QTimer::singleShot(30000, [] { QApplication::exit(1); });
    return application.exec();
}

}  // namespace

int main(int argc, char** argv) {
    const auto processStart = std::chrono::steady_clock::now();
    if (argc > 1 && std::string(argv[1]) == "--once")
        return measureOnce(argc, argv, processStart);

    std::vector<double> times;
    std::vector<long> rss;
    std::vector<long> peaks;
    for (int run = 0; run < kRuns; ++run) {
        const std::string command = std::string(argv[0]) + " --once";
        FILE* child = popen(command.c_str(), "r");
        double ms = 0;
        long kb = 0;
        long peak = 0;
        if (child == nullptr || std::fscanf(child, "%lf %ld %ld", &ms, &kb, &peak) != 3) {
            std::fprintf(stderr, "app_startup_bench: run %d failed\n", run);
            if (child != nullptr)
                pclose(child);
            return 1;
        }
        pclose(child);
        times.push_back(ms);
        rss.push_back(kb);
        peaks.push_back(peak);
    }
    std::sort(times.begin(), times.end());
    std::sort(rss.begin(), rss.end());
    std::sort(peaks.begin(), peaks.end());
    std::printf("desktop app, default virtual peripherals, offscreen, median of %d fresh starts:\n",
                kRuns);
    std::printf("  start to first attached page shown: %.0f ms (min %.0f, max %.0f)\n",
                times[kRuns / 2], times.front(), times.back());
    std::printf("  resident memory then: %.1f MiB (peak %.1f MiB)\n", rss[kRuns / 2] / 1024.0,
                peaks[kRuns / 2] / 1024.0);
    return 0;
}
