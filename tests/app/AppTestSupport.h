#pragma once
// Shared pieces of the program's widget tests: a private data directory per test, a settable
// clock and config.ini read back as a map.

#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <filesystem>
#include <string>

#include "platform/Clock.h"
#include "platform/Context.h"

namespace tavolin::test {

/// A fresh data directory for the scope, with a clock that stands still until moved.
class AppSandbox {
public:
    AppSandbox();
    ~AppSandbox();

    std::filesystem::path File(const char* name) const;
    QString Path(const char* name) const;
    void SetNow(TimePoint t) { m_now = t; }

    /// A context on this directory and clock, without screen, desktop, helper programs, links
    /// or notifications; its environment names only the sandbox (HOME, XDG_CONFIG_HOME: the
    /// autostart entry is File("config/autostart/...")). The sandbox must outlive it.
    Context context() const;

    /// Every key of config.ini as "Section/Key" -> value.
    QMap<QString, QString> ReadConfig() const;
    void WriteConfig(const std::string& text) const;
    bool Exists(const char* name) const;

private:
    QTemporaryDir m_dir;
    std::atomic<TimePoint> m_now;
};

/// Local time in the current TZ.
TimePoint LocalTime(int year, int month, int day, int hour = 12, int minute = 0);

}  // namespace tavolin::test
