#pragma once
// Shared fixtures: a fresh temporary data directory, a fixed clock and TZ, and a recorder for
// user messages.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/Context.h"
#include "platform/Desktop.h"
#include "platform/ProcessRunner.h"
#include "platform/UserMessages.h"

namespace tavolin::test {

/// A temporary directory removed again at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

/// Sets TZ for the scope and restores the previous value.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* tz);
    ~ScopedTimeZone();

private:
    std::string m_old;
    bool m_had = false;
};

/// A clock that stands still until it is set; Function() is what a Context takes. It must
/// outlive every context it is given to.
class FixedClock {
public:
    explicit FixedClock(TimePoint t) : m_now(t) {}
    void Set(TimePoint t) { m_now = t; }
    TimePoint Now() const { return m_now; }
    std::function<TimePoint()> Function() const {
        return [this] { return m_now.load(); };
    }

private:
    std::atomic<TimePoint> m_now;
};

/// Records the user messages given to its Sink(), from any thread. It must outlive every
/// context it is given to.
class MessageRecorder {
public:
    UserMessageSink Sink();
    std::vector<UserMessage> messages() const;

private:
    mutable std::mutex m_mutex;
    std::vector<UserMessage> m_messages;
};

/// A screen and a desktop for contexts in tests: the screen has a fixed size and the desktop
/// records the pictures it is given and answers with a set status.
class RecordingDesktop final : public Desktop {
public:
    WallpaperResult SetWallpaper(const std::filesystem::path& bmpPath,
                                 std::stop_token stop) override;
    void SetAnswer(WallpaperResult answer);
    std::vector<std::filesystem::path> calls() const;

private:
    mutable std::mutex m_mutex;
    WallpaperResult m_answer{WallpaperStatus::Set, "Test", {}};
    std::vector<std::filesystem::path> m_calls;
};

/// A test fixture with a temporary data directory, TZ=Europe/Berlin, a recorder for messages
/// and a context on that directory: the real clock unless a test sets one, no screen and no
/// desktop unless a test sets them.
class DataDirTest : public ::testing::Test {
protected:
    DataDirTest();
    std::filesystem::path File(const std::string& name) const { return m_dir / name; }

    TempDir m_dir;
    ScopedTimeZone m_tz{"Europe/Berlin"};
    MessageRecorder m_messages;
    Context m_context;
};

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

/// Local time in the current TZ.
TimePoint Local(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

/// The real process runner with the environment as it is now, prepared as for desktop tools
/// (LC_ALL=C.UTF-8, the session bus spelled out).
std::shared_ptr<ProcessRunner> SystemRunner();

/// Runs check as an ordinary user, so that tests of file permissions mean something when the
/// tests run as root (as in CI): there it runs in a child process that has handed the given
/// files and directories (recursively) to the user nobody and then taken on that user's
/// identity. Otherwise it runs here. True when check returned true.
bool AsUnprivilegedUser(const std::vector<std::filesystem::path>& handOver,
                        const std::function<bool()>& check);

/// Directory of checked-in test data (tests/data).
std::filesystem::path TestDataDir();

}  // namespace tavolin::test
