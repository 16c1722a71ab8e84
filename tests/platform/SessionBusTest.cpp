// The session bus for the desktop tools: found where the session names it, and where there is
// none, no tool may start a private one of its own.

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/linux/Environment.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string ToolBus(EnvironmentTable table) {
    return ToolEnvironment(std::move(table))["DBUS_SESSION_BUS_ADDRESS"];
}

// A listening unix socket at path, as the systemd user bus has.
class UnixSocket {
public:
    explicit UnixSocket(const fs::path& path) {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.native().copy(address.sun_path, sizeof address.sun_path - 1);
        m_bound =
            m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~UnixSocket() {
        if (m_fd >= 0) ::close(m_fd);
    }
    bool Bound() const { return m_bound; }

private:
    int m_fd = -1;
    bool m_bound = false;
};

TEST(SessionBus, ToolsGetTheSessionsBusOrOneTheyCannotLaunch) {
    EXPECT_EQ(ToolBus({}), kNoSessionBus);
    EXPECT_EQ(ToolBus({{"DBUS_SESSION_BUS_ADDRESS", ""}}), kNoSessionBus);
    EXPECT_EQ(ToolBus({{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus"}}),
              "unix:path=/run/user/1000/bus");
    // autolaunch: would start a private bus; our own marker names none.
    EXPECT_EQ(ToolBus({{"DBUS_SESSION_BUS_ADDRESS", "autolaunch:"}}), kNoSessionBus);
    EXPECT_EQ(ToolBus({{"DBUS_SESSION_BUS_ADDRESS", kNoSessionBus}}), kNoSessionBus);
    EXPECT_EQ(ToolBus({{"DBUS_SESSION_BUS_ADDRESS",
                        "autolaunch:scope=x;unix:path=/a,guid=1;;tcp:host=h,port=1"}}),
              "unix:path=/a,guid=1;tcp:host=h,port=1");

    // The systemd user bus socket counts when it is a socket.
    test::TempDir runtime;
    EXPECT_EQ(ToolBus({{"XDG_RUNTIME_DIR", runtime.path().string()}}), kNoSessionBus);
    test::WriteBytes(runtime / "bus", "not a socket");
    EXPECT_EQ(ToolBus({{"XDG_RUNTIME_DIR", runtime.path().string()}}), kNoSessionBus);
    fs::remove(runtime / "bus");
    const UnixSocket socket(runtime / "bus");
    ASSERT_TRUE(socket.Bound());
    EXPECT_EQ(ToolBus({{"XDG_RUNTIME_DIR", runtime.path().string()}}),
              "unix:path=" + (runtime / "bus").string());
    // An address that is set wins, even an unusable one.
    EXPECT_EQ(ToolBus({{"XDG_RUNTIME_DIR", runtime.path().string()},
                       {"DBUS_SESSION_BUS_ADDRESS", "autolaunch:"}}),
              kNoSessionBus);

    // What the tools get reads as no bus again, so the desktop refuses to start them.
    EXPECT_EQ(SessionBusAddress(TableEnvironment(ToolEnvironment({}))), std::nullopt);
    EXPECT_EQ(SessionBusAddress(TableEnvironment({{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/a"}})),
              "unix:path=/a");
}

// The processes of this user whose environment holds marker.
std::vector<pid_t> ProcessesMarked(const std::string& marker) {
    std::vector<pid_t> found;
    DIR* proc = ::opendir("/proc");
    if (!proc) return found;
    while (const dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid <= 0 || *end != '\0') continue;
        std::ifstream in("/proc/" + std::string(entry->d_name) + "/environ", std::ios::binary);
        std::string environ((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (environ.find(marker + '\0') != std::string::npos) found.push_back(pid);
    }
    ::closedir(proc);
    return found;
}

std::vector<pid_t> WaitForMarked(const std::string& marker, std::chrono::milliseconds atMost) {
    const auto end = std::chrono::steady_clock::now() + atMost;
    auto found = ProcessesMarked(marker);
    while (found.empty() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(50ms);
        found = ProcessesMarked(marker);
    }
    return found;
}

// With a display but no session bus, gsettings and dbus-send would autolaunch a private bus whose
// daemons stay behind. Runs in the real-window session (run-in-x11.sh), where autolaunching
// works; elsewhere it is skipped.
TEST(NoPrivateBus, RealToolsStartNoBusWithoutOne) {
    const auto probe = test::SystemRunner();
    if (!std::getenv("DISPLAY") || !probe->IsInstalled("gsettings") ||
        !probe->IsInstalled("dbus-send") || !probe->IsInstalled("dbus-launch")) {
        GTEST_SKIP() << "needs DISPLAY, gsettings, dbus-send and dbus-launch";
    }
    test::TempDir runtime;
    EnvironmentTable session = ReadProcessEnvironment();
    session.erase("DBUS_SESSION_BUS_ADDRESS");
    session.erase("GSETTINGS_BACKEND");
    session["XDG_RUNTIME_DIR"] = runtime.path().string();
    const std::string stamp =
        std::to_string(::getpid()) + "-" +
        std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::vector<std::vector<std::string>> tools = {
        {"gsettings", "set", "org.gnome.desktop.interface", "cursor-size", "24"},
        {"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/",
         "org.freedesktop.DBus.ListNames"},
    };

    const std::string guarded = "TAVOLIN_BUS_PROBE=guarded-" + stamp;
    EnvironmentTable table = session;
    table["TAVOLIN_BUS_PROBE"] = "guarded-" + stamp;
    const auto runner = MakeProcessRunner(EnvironmentEntries(ToolEnvironment(table)));
    for (const auto& argv : tools) runner->Run(argv, 20s);
    EXPECT_TRUE(WaitForMarked(guarded, 1000ms).empty()) << "a private bus was started";

    // The same tools without the guard do start one here, so the check above means something.
    const std::string bare = "TAVOLIN_BUS_PROBE=bare-" + stamp;
    table["TAVOLIN_BUS_PROBE"] = "bare-" + stamp;
    table["LC_ALL"] = "C.UTF-8";
    const auto bareRunner = MakeProcessRunner(EnvironmentEntries(table));
    bareRunner->Run(tools.front(), 20s);
    const auto launched = WaitForMarked(bare, 3000ms);
    for (const pid_t pid : launched) ::kill(pid, SIGTERM);
    std::this_thread::sleep_for(200ms);
    for (const pid_t pid : ProcessesMarked(bare)) ::kill(pid, SIGKILL);
    if (launched.empty()) GTEST_SKIP() << "this system does not autolaunch a bus anyway";
}

}  // namespace
}  // namespace tavolin
