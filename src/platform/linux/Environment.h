#pragma once
// Environment variables, read once into a table: session detection, the data directory and the
// helper programs' environment all work from that table, never from getenv.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavolin {

using EnvironmentTable = std::map<std::string, std::string>;

/// The value of a variable; nullopt when it is unset or empty (both mean "not there" to the
/// variables we look at).
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

/// Every variable of this process as it is now.
EnvironmentTable ReadProcessEnvironment();

/// Lookups in a fixed table.
EnvironmentLookup TableEnvironment(EnvironmentTable table);

/// What the helper programs get as DBUS_SESSION_BUS_ADDRESS when there is no session bus: an
/// address that GDBus and libdbus both refuse, so that no tool (gsettings, dconf, xfconf-query,
/// dbus-send, qdbus, ...) autolaunches a private bus of its own, whose daemons would stay behind
/// and whose values no desktop reads.
inline constexpr const char* kNoSessionBus = "disabled:";

/// The environment for helper programs whose output is read back: the given one with
/// LC_ALL=C.UTF-8 (their messages and non-ASCII text must not depend on the user's locale),
/// the session bus's address spelled out where only the systemd user bus socket names it, and
/// kNoSessionBus where there is none.
EnvironmentTable ToolEnvironment(EnvironmentTable table);

/// "NAME=value" entries, as a child process receives them.
std::vector<std::string> EnvironmentEntries(const EnvironmentTable& table);

/// The session bus's address: DBUS_SESSION_BUS_ADDRESS without the entries that would start a
/// private bus or name none ("autolaunch:", "disabled:"), else the systemd user bus socket
/// $XDG_RUNTIME_DIR/bus when it exists; nullopt when there is none, so no tool may be started
/// that needs one.
std::optional<std::string> SessionBusAddress(const EnvironmentLookup& env);

}  // namespace tavolin
