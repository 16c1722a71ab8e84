#pragma once
// Whether the X server a DISPLAY value names is there to talk to. Qt ends the whole process
// when it cannot reach the display it is given, so the program asks first and can then say
// what to do instead.

#include <filesystem>
#include <string_view>

namespace tavolin {

/// True when display (":0", ":1.0", "unix:2") names a local X server whose socket accepts a
/// connection in socketDir (the socket "X<n>", also under its abstract name), and for every
/// remote display ("host:0"), which is not probed here. False for an empty or malformed value
/// and for a local server that is not running.
bool X11DisplayAnswers(std::string_view display,
                       const std::filesystem::path& socketDir = "/tmp/.X11-unix");

}  // namespace tavolin
