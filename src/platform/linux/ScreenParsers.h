#pragma once
// Readers for what the display tools print about the screens. Their text comes from outside
// the program, so every reader takes any bytes: on anything unexpected it returns nullopt.
// Sizes are physical pixels of the primary output, each side 1..kMaxScreenSide.

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/Screen.h"

namespace tavolin {

/// "1920x1080" at the start of text (anything may follow).
std::optional<ScreenSize> ParseModeText(std::string_view text);

/// `xrandr --current`: the output marked primary; else the connected output at +0+0; else the
/// first connected output with a mode; else the "current W x H" of the first screen.
std::optional<ScreenSize> ParseXrandr(std::string_view text);

/// `xdpyinfo`: the "dimensions:" of the first screen.
std::optional<ScreenSize> ParseXdpyinfo(std::string_view text);

/// `wlr-randr`: the enabled output at position 0,0 (else the first enabled one), its current
/// mode, turned by its transform.
std::optional<ScreenSize> ParseWlrRandr(std::string_view text);

/// `swaymsg -t get_outputs -r` (JSON): the active output at 0,0 (else the first active one),
/// its current mode, turned by its transform.
std::optional<ScreenSize> ParseSwayOutputs(std::string_view json);

/// The kernel's view below drmDir (/sys/class/drm): the preferred mode of a connected, enabled
/// connector, an internal panel first. Used when no display tool answers.
std::optional<ScreenSize> ReadDrmConnectors(const std::filesystem::path& drmDir);

}  // namespace tavolin
