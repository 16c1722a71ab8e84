#pragma once
// Runs tavolin-cli as a child process in a given data directory and captures its output.

#include <filesystem>
#include <string>
#include <vector>

namespace tavolin::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
    long peakKib = 0;          // the child's peak resident memory (getrusage)
    double cpuSeconds = 0;     // its user plus system time
};

/// Runs tavolin-cli with args, TAVOLIN_DIR=dataDir and the extra NAME=value environment.
CliResult RunCli(const std::filesystem::path& dataDir, const std::vector<std::string>& args,
                 const std::vector<std::string>& env = {});

}  // namespace tavolin::test
