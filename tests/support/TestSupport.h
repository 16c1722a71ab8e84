#pragma once
// Shared fixtures: a fresh temporary data directory, a fixed clock and TZ, and a recorder for
// user messages.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/Clock.h"
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

/// Fixes Now() for the scope.
class FixedClock {
public:
    explicit FixedClock(TimePoint t);
    ~FixedClock();
    void Set(TimePoint t) { m_now = t; }

private:
    TimePoint m_now;
};

/// Records every user message shown during the scope instead of printing it.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    const std::vector<UserMessage>& messages() const { return m_messages; }

private:
    std::vector<UserMessage> m_messages;
    UserMessageSink m_previous;
};

/// A test fixture with a temporary data directory, TZ=Europe/Berlin and a recorder.
class DataDirTest : public ::testing::Test {
protected:
    DataDirTest();
    ~DataDirTest() override;
    std::filesystem::path File(const std::string& name) const { return m_dir / name; }

    TempDir m_dir;
    ScopedTimeZone m_tz{"Europe/Berlin"};
    MessageRecorder m_messages;
};

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);

/// Local time in the current TZ.
TimePoint Local(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

/// Runs check as an ordinary user, so that tests of file permissions mean something when the
/// tests run as root (as in CI): there it runs in a child process that has handed the given
/// files and directories (recursively) to the user nobody and then taken on that user's
/// identity. Otherwise it runs here. True when check returned true.
bool AsUnprivilegedUser(const std::vector<std::filesystem::path>& handOver,
                        const std::function<bool()>& check);

/// Directory of checked-in test data (tests/data).
std::filesystem::path TestDataDir();

}  // namespace tavolin::test
