#include "platform/linux/XdgUrlOpener.h"

#include "platform/linux/Environment.h"

namespace tavolin {

int XdgUrlOpener::ResultOf(const ProcessResult& result) {
    using Status = ProcessResult::Status;
    switch (result.status) {
        case Status::Exited:
            switch (result.exitCode) {
                case 0:
                    return kOpenUrlSucceeded;
                case 1:
                    return 27;  // xdg-open did not understand the target
                case 2:
                    return kOpenUrlFileNotFound;  // the file does not exist
                case 3:
                    return kOpenUrlNoAssociation;  // no tool to open it with
                case 4:
                    return kOpenUrlFileNotFound;  // the handler failed
                case 126:
                    return 5;  // setsid could not start xdg-open
                case 127:
                    return kOpenUrlNoAssociation;  // setsid found no xdg-open
                default:
                    return 1;  // shown as an unknown error
            }
        case Status::NotFound:
            return kOpenUrlNoAssociation;  // no xdg-open at all
        // Still running at the limit: the handler is the application itself, in the
        // foreground, so the target is open.
        case Status::TimedOut:
            return kOpenUrlSucceeded;
        case Status::Signalled:
            return 29;
        case Status::SpawnFailed:
            return 0;  // out of resources
        case Status::Stopped:
            return 1;  // this runner is never asked to stop; an unknown error if it were
    }
    return 1;
}

int XdgUrlOpener::Open(const std::string& target) {
    // A leading "-" would be read as an option; a NUL cannot pass through exec.
    if (target.empty() || target.front() == '-' || target.find('\0') != std::string::npos) {
        return kOpenUrlFileNotFound;
    }
    std::vector<std::string> argv;
    if (m_runner.IsInstalled("setsid")) {
        argv = {"setsid", "-w", "xdg-open", target};
    } else {
        argv = {"xdg-open", target};
    }
    return ResultOf(m_runner.Run(argv, m_timeout));
}

std::shared_ptr<UrlOpener> MakeSystemUrlOpener(std::vector<std::string> environment) {
    // The user's own environment (and locale): xdg-open starts the user's applications.
    struct Owner {
        std::shared_ptr<ProcessRunner> runner;
        XdgUrlOpener opener;
    };
    auto runner = MakeProcessRunner(std::move(environment));
    auto owner = std::make_shared<Owner>(Owner{runner, XdgUrlOpener(*runner)});
    return std::shared_ptr<UrlOpener>(owner, &owner->opener);
}

}  // namespace tavolin
