#include "CliRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

#if defined(__SANITIZE_ADDRESS__)
#define TAVOLIN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVOLIN_ASAN 1
#endif
#endif

extern char** environ;

namespace tavolin::test {

pid_t SpawnCli(std::vector<std::string> args, std::vector<std::string> env,
               const std::filesystem::path& outPath, const std::filesystem::path& errPath) {
    args.insert(args.begin(), TAVOLIN_CLI_PATH);
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (errPath == outPath) {
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

CliResult RunCli(const std::filesystem::path& dataDir, const std::vector<std::string>& args,
                 const std::vector<std::string>& env) {
    TempDir io;
    const auto outPath = io / "out";
    const auto errPath = io / "err";

    // The given variables replace the test's own (a program reading its environment may take
    // the first of two entries of one name).
    std::vector<std::string> envStrings{"TAVOLIN_DIR=" + dataDir.string()};
    envStrings.insert(envStrings.end(), env.begin(), env.end());
    const auto given = [&envStrings](const std::string& entry) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        for (const auto& g : envStrings) {
            if (g.rfind(name, 0) == 0) return true;
        }
        return false;
    };
    for (char** e = environ; *e; ++e) {
        if (!given(*e)) envStrings.push_back(*e);
    }

    CliResult result;
    const pid_t pid = SpawnCli(args, envStrings, outPath, errPath);
    if (pid > 0) {
        int status = 0;
        struct rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.peakKib = usage.ru_maxrss;
        result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                            (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    result.out = ReadBytes(outPath);
    result.err = ReadBytes(errPath);
    return result;
}

CliResult GenerateWithPicture(const std::filesystem::path& dataDir,
                              const std::filesystem::path& picture, int width, int height,
                              const std::vector<std::string>& env) {
    CliResult failed;
    if (EnsureConfigFile(dataDir / "config.ini") == ConfigCreation::Failed) {
        failed.err = "config.ini could not be made";
        return failed;
    }
    IniFile ini;
    if (!ini.Open(dataDir / "config.ini", false) ||
        !ini.WriteValue("Background", "BGArt", "1", true) ||
        !ini.WriteValue("Background", "BGBild", picture.string(), true)) {
        failed.err = "config.ini could not be set";
        return failed;
    }
    return RunCli(dataDir,
                  {"generate", "--no-wallpaper", "--size",
                   std::to_string(width) + "x" + std::to_string(height)},
                  env);
}

double GenerousCpuSeconds() {
#ifdef TAVOLIN_ASAN
    return 150;
#else
    return 20;
#endif
}

long AllowedPeakKib(uint64_t pictureBytes) {
    constexpr long kMiB = 1024;
    long allowed = static_cast<long>(pictureBytes * 6 / 5 / 1024) + 64 * kMiB;
#ifdef TAVOLIN_ASAN
    allowed += static_cast<long>(pictureBytes / 8 / 1024) + 192 * kMiB;
#endif
    return allowed;
}

}  // namespace tavolin::test
