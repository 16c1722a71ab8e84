// Start to first paint of the main dialog, measured from outside: the parent starts this
// program again as a child (a fresh process, as a user's start is), the child runs the
// program's normal start and reports when the dialog has painted for the first time. The
// figure includes exec, dynamic linking, Qt's start, config.ini creation and the dialog.
// Needs a display (run it under tests/support/run-in-x11.sh) or QT_QPA_PLATFORM=offscreen.
// Usage: bench_app_start [RUNS]

#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/CTavolinApp.h"
#include "app/CTavolinDlg.h"

namespace {

// Watches every object's events (the dialog does not exist yet when it is installed) and ends
// the run once the main dialog has painted for the first time.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_done && event->type() == QEvent::Paint &&
            watched->objectName() == QLatin1String("CTavolinDlg")) {
            m_done = true;
            QMetaObject::invokeMethod(
                qApp,
                [] {
                    std::printf("painted\n");
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    bool m_done = false;
};

int Child(int argc, char** argv) {
    QApplication app(argc, argv);
    tavolin::CTavolinApp tavolin;
    FirstPaint watcher;
    app.installEventFilter(&watcher);
    if (!tavolin.Prepare({})) return 1;
    return QApplication::exec();
}

double RunOnce(const char* self, const QTemporaryDir& dir) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        setenv("TAVOLIN_DIR", dir.path().toLocal8Bit().constData(), 1);
        setenv("XDG_DATA_HOME", dir.path().toLocal8Bit().constData(), 1);
        execl(self, self, "--child", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char buffer[64] = {};
    const ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
    const auto painted = std::chrono::steady_clock::now();
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (n <= 0 || std::strncmp(buffer, "painted", 7) != 0) return -1;
    return std::chrono::duration<double, std::milli>(painted - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return Child(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    // A first start creates config.ini (every key written and synced); later starts read it.
    std::vector<double> first, later;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir dir;
        const double a = RunOnce("/proc/self/exe", dir);
        const double b = RunOnce("/proc/self/exe", dir);
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "bench_app_start: the child did not paint\n");
            return 1;
        }
        first.push_back(a);
        later.push_back(b);
    }
    for (auto* set : {&first, &later}) {
        std::sort(set->begin(), set->end());
        std::printf("start to first paint, %s, %d runs: min %.1f ms, median %.1f ms, max %.1f ms\n",
                    set == &first ? "first start (creates config.ini)" : "later start", runs,
                    set->front(), (*set)[set->size() / 2], set->back());
    }
    return 0;
}
