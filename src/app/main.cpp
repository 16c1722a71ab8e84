#include <cstdio>

#include "app/CTavolinApp.h"
#include "app/CommandLine.h"

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    // Answered before anything else: no display, no window, no file touched.
    if (tavolin::WantsUsage(arguments)) {
        std::fputs(tavolin::UsageText().toLocal8Bit().constData(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    return tavolin::CTavolinApp::Main(argc, argv);
}
