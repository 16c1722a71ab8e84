#include "platform/ProcessRunner.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace tavolin {
namespace {

// The first non-empty line of a tool's message, cut short and stripped of control bytes, so
// a log line stays one line whatever the tool printed.
std::string FirstLine(const std::string& text) {
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        std::string line;
        for (size_t i = begin; i < end && line.size() < 200; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            if (c == '\t') {
                line += ' ';
            } else if (c >= 0x20 && c != 0x7f) {
                line += static_cast<char>(c);
            }
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        size_t lead = 0;
        while (lead < line.size() && line[lead] == ' ') ++lead;
        if (lead < line.size()) return line.substr(lead);
        begin = end + 1;
    }
    return {};
}

bool IsPlainArgument(const std::string& arg) {
    if (arg.empty()) return false;
    for (unsigned char c : arg) {
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            std::string_view("_@%+=:,./-*").find(static_cast<char>(c)) != std::string_view::npos;
        if (!plain) return false;
    }
    return true;
}

}  // namespace

std::string ProcessResult::Describe() const {
    switch (status) {
        case Status::Exited: {
            if (exitCode == 0) return "succeeded";
            std::string text = "exit code " + std::to_string(exitCode);
            std::string why = FirstLine(errorOutput);
            if (why.empty()) why = FirstLine(output);
            if (!why.empty()) text += ": " + why;
            return text;
        }
        case Status::NotFound:
            return "not installed";
        case Status::TimedOut:
            return "did not finish within the time limit and was stopped";
        case Status::Signalled:
            return "ended by signal " + std::to_string(signal);
        case Status::SpawnFailed:
            return "could not be started" + (spawnError.empty() ? "" : ": " + spawnError);
        case Status::Stopped:
            return "stopped on request";
    }
    return "unknown result";
}

ProcessResult ProcessResult::Exit(int code, std::string out, std::string err) {
    ProcessResult r;
    r.status = Status::Exited;
    r.exitCode = code;
    r.output = std::move(out);
    r.errorOutput = std::move(err);
    return r;
}

ProcessResult ProcessRunner::RunUntilStopped(const std::vector<std::string>& argv,
                                             std::chrono::milliseconds timeout,
                                             std::stop_token stop) {
    if (stop.stop_requested()) {
        ProcessResult r;
        r.status = ProcessResult::Status::Stopped;
        return r;
    }
    return Run(argv, timeout);
}

BoundedRunner::BoundedRunner(ProcessRunner& runner,
                             std::chrono::steady_clock::time_point deadline, std::stop_token stop)
    : m_runner(runner), m_deadline(deadline), m_stop(std::move(stop)) {}

ProcessResult BoundedRunner::Run(const std::vector<std::string>& argv,
                                 std::chrono::milliseconds timeout) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        m_deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        ProcessResult r;
        r.status = ProcessResult::Status::TimedOut;
        return r;
    }
    return m_runner.RunUntilStopped(argv, std::min(timeout, left), m_stop);
}

bool BoundedRunner::IsInstalled(const std::string& program) {
    return m_runner.IsInstalled(program);
}

std::string FormatCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const auto& arg : argv) {
        if (!line.empty()) line += ' ';
        if (IsPlainArgument(arg)) {
            line += arg;
            continue;
        }
        line += '\'';
        for (unsigned char c : arg) {
            if (c == '\'') {
                line += "'\\''";
            } else if (c == '\n') {
                line += "\\n";
            } else if (c < 0x20 || c == 0x7f) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                line += hex;
            } else {
                line += static_cast<char>(c);
            }
        }
        line += '\'';
    }
    return line;
}

}  // namespace tavolin
