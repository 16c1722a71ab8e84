#include "support/TestSupport.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/linux/Environment.h"

namespace tavolin::test {

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tavolin-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may have taken write permission away; give it back so removal works.
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

ScopedTimeZone::ScopedTimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) {
        m_had = true;
        m_old = old;
    }
    ::setenv("TZ", tz, 1);
    ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (m_had) {
        ::setenv("TZ", m_old.c_str(), 1);
    } else {
        ::unsetenv("TZ");
    }
    ::tzset();
}

UserMessageSink MessageRecorder::Sink() {
    return [this](const UserMessage& m) {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(m);
    };
}

std::vector<UserMessage> MessageRecorder::messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

WallpaperResult RecordingDesktop::SetWallpaper(const std::filesystem::path& bmpPath,
                                               std::stop_token) {
    std::lock_guard lock(m_mutex);
    m_calls.push_back(bmpPath);
    return m_answer;
}

void RecordingDesktop::SetAnswer(WallpaperResult answer) {
    std::lock_guard lock(m_mutex);
    m_answer = std::move(answer);
}

std::vector<std::filesystem::path> RecordingDesktop::calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

DataDirTest::DataDirTest() {
    m_context.dataDirectory = m_dir.path();
    m_context.userMessages = m_messages.Sink();
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TimePoint Local(int year, int month, int day, int hour, int minute, int second) {
    return MakeLocal(year, month, day, hour, minute, second);
}

std::shared_ptr<ProcessRunner> SystemRunner() {
    return MakeProcessRunner(EnvironmentEntries(ToolEnvironment(ReadProcessEnvironment())));
}

std::filesystem::path TestDataDir() {
    if (const char* d = std::getenv("TAVOLIN_TEST_DATA")) return d;
    return std::filesystem::path(__FILE__).parent_path().parent_path() / "data";
}

}  // namespace tavolin::test
