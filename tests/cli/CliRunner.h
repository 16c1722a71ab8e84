#pragma once
// Runs tavolin-cli as a child process in a given data directory and captures its output.

#include <cstdint>
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tavolin::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
    long peakKib = 0;       // the child's peak resident memory (getrusage)
    double cpuSeconds = 0;  // its user plus system time
};

/// Starts tavolin-cli with args and exactly the environment env ("NAME=value"), standard input
/// from /dev/null, standard output to outPath and standard error to errPath (both to one file
/// when they are the same). The child's pid, or -1.
pid_t SpawnCli(std::vector<std::string> args, std::vector<std::string> env,
               const std::filesystem::path& outPath, const std::filesystem::path& errPath);

/// Runs tavolin-cli with args, TAVOLIN_DIR=dataDir and the extra NAME=value environment.
CliResult RunCli(const std::filesystem::path& dataDir, const std::vector<std::string>& args,
                 const std::vector<std::string>& env = {});

/// Runs `tavolin-cli generate --no-wallpaper --size WxH` in dataDir after setting its config.ini
/// (made when missing) to stretch picture over the screen (BGArt=1, BGBild=picture).
CliResult GenerateWithPicture(const std::filesystem::path& dataDir,
                              const std::filesystem::path& picture, int width, int height,
                              const std::vector<std::string>& env = {});

/// CPU time any one run may take: far above what it needs, so that a loaded machine never fails
/// a test (and more under AddressSanitizer, whose unoptimised build runs about ten times
/// slower); the real figures are measured in bench/.
double GenerousCpuSeconds();

/// The peak memory (KiB) allowed to a child that holds a decoded picture of pictureBytes (24 bits,
/// plus an alpha byte where present): a fifth more and a small constant for the program, the
/// libraries, file buffers and a screen-sized canvas. Under AddressSanitizer its shadow memory
/// comes on top.
long AllowedPeakKib(uint64_t pictureBytes);

}  // namespace tavolin::test
