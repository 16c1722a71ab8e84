// The check whether DISPLAY names a running X server, against a socket of our own.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>

#include "platform/linux/X11Display.h"
#include "support/TestSupport.h"
#include "util/UniqueFd.h"

namespace tavolin {
namespace {

// A listening Unix socket at path, as an X server offers one.
UniqueFd Listen(const std::filesystem::path& path) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(fd.Get(), 4), 0);
    return fd;
}

TEST(X11Display, OnlyARunningLocalServerAnswers) {
    test::TempDir dir;
    const UniqueFd server = Listen(dir / "X7");
    for (const char* display : {":7", ":7.0", "unix:7", "unix:7.1"}) {
        EXPECT_TRUE(X11DisplayAnswers(display, dir.path())) << display;
    }
    // Named, but nobody listens: what made the program end inside Qt.
    EXPECT_FALSE(X11DisplayAnswers(":8", dir.path()));
    test::WriteBytes(dir / "X9", "");  // a stale file, no server behind it
    EXPECT_FALSE(X11DisplayAnswers(":9", dir.path()));
    for (const char* bad : {"", ":", "7", ":x", ":7x", ":-1", ":12345678"}) {
        EXPECT_FALSE(X11DisplayAnswers(bad, dir.path())) << '"' << bad << '"';
    }
    // Remote displays are left to the toolkit.
    EXPECT_TRUE(X11DisplayAnswers("somehost:0", dir.path()));
}

}  // namespace
}  // namespace tavolin
