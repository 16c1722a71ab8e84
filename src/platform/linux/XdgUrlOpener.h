#pragma once
// Opens link targets with xdg-open, started from an argument vector (no shell). xdg-open is
// run under "setsid -w" when available, so an application it keeps running in the
// foreground survives the time limit; still running at the limit counts as opened.

#include <chrono>

#include "platform/OpenUrl.h"
#include "platform/ProcessRunner.h"

namespace tavolin {

class XdgUrlOpener final : public UrlOpener {
public:
    explicit XdgUrlOpener(ProcessRunner& runner,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10))
        : m_runner(runner), m_timeout(timeout) {}

    int Open(const std::string& target) override;

    /// The shell's result number for what xdg-open did.
    static int ResultOf(const ProcessResult& result);

private:
    ProcessRunner& m_runner;
    std::chrono::milliseconds m_timeout;
};

}  // namespace tavolin
