#include "platform/Context.h"

namespace tavolin {

TimePoint Context::Now() const {
    return clock ? clock() : SystemNow();
}

std::filesystem::path Context::DataFile(std::string_view name) const {
    return dataDirectory / std::filesystem::path(name);
}

void Context::ShowMessage(const std::string& text, const std::string& caption,
                          MessageIcon icon) const {
    if (userMessages) userMessages(UserMessage{text, caption, icon});
}

std::optional<std::string> Context::Variable(const std::string& name) const {
    return environment ? environment(name) : std::nullopt;
}

ScreenReading Context::MeasureScreen(std::stop_token stop) const {
    if (!screen) return {kDefaultScreenSize, false, "no screen to measure: default size"};
    ScreenReading reading = screen->Read(std::move(stop));
    const ScreenSize s = reading.size;
    if (s.width < 1 || s.height < 1 || s.width > kMaxScreenSide || s.height > kMaxScreenSide) {
        return {kDefaultScreenSize, false,
                "screen reported " + std::to_string(s.width) + " x " + std::to_string(s.height) +
                    ": default size"};
    }
    return reading;
}

}  // namespace tavolin
