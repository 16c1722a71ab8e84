#include "platform/linux/X11Display.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "util/UniqueFd.h"

namespace tavolin {
namespace {

// Connects to a Unix socket by name; abstract names start with a NUL byte.
bool Connects(const std::string& name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.empty() || name.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, name.data(), name.size());
    const UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.IsValid()) return false;
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() +
                                               (name.front() == '\0' ? 0 : 1));
    return ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), length) == 0;
}

}  // namespace

bool X11DisplayAnswers(std::string_view display, const std::filesystem::path& socketDir) {
    const size_t colon = display.rfind(':');
    if (colon == std::string_view::npos) return false;
    const std::string_view host = display.substr(0, colon);
    std::string_view number = display.substr(colon + 1);
    number = number.substr(0, number.find('.'));
    if (number.empty() || number.size() > 6 ||
        number.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    if (!host.empty() && host != "unix") return true;
    const std::string socket = (socketDir / ("X" + std::string(number))).string();
    return Connects(std::string(1, '\0') + socket) || Connects(socket);
}

}  // namespace tavolin
