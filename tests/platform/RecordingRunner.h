#pragma once
// A process runner for tests: records every command exactly as it would be started and
// answers from a script instead of starting anything.

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/ProcessRunner.h"
#include "platform/linux/WallpaperText.h"

namespace tavolin::test {

using Argv = std::vector<std::string>;

class RecordingRunner : public ProcessRunner {
public:
    ProcessResult Run(const Argv& argv, std::chrono::milliseconds timeout) override {
        calls.push_back(argv);
        timeouts.push_back(timeout);
        // The rule added last wins, so a test can override a general answer.
        for (auto it = m_rules.rbegin(); it != m_rules.rend(); ++it) {
            if (argv.size() >= it->first.size() &&
                std::equal(it->first.begin(), it->first.end(), argv.begin())) {
                return it->second(argv);
            }
        }
        return ProcessResult::Exit(0);
    }

    bool IsInstalled(const std::string& program) override {
        installChecks.push_back(program);
        return installed.count(program) > 0;
    }

    /// Answers every command that starts with prefix.
    void On(Argv prefix, ProcessResult result) {
        m_rules.emplace_back(std::move(prefix), [result](const Argv&) { return result; });
    }
    void On(Argv prefix, std::function<ProcessResult(const Argv&)> answer) {
        m_rules.emplace_back(std::move(prefix), std::move(answer));
    }

    /// A small gsettings: "set" stores the value (GVariant text), "get" prints it back,
    /// "list-keys" lists the keys given here.
    void EmulateGSettings(std::vector<std::string> keys = {}) {
        On({"gsettings", "set"}, [this](const Argv& a) {
            if (a.size() != 5) return ProcessResult::Exit(1, "", "usage");
            const auto value = ParseGVariantString(a[4]);
            if (!value) return ProcessResult::Exit(1, "", "0-1:invalid GVariant");
            if (!m_keys.empty() && !std::count(m_keys.begin(), m_keys.end(), a[3])) {
                return ProcessResult::Exit(1, "", "No such key “" + a[3] + "”");
            }
            store[a[2] + " " + a[3]] = *value;
            return ProcessResult::Exit(0);
        });
        On({"gsettings", "get"}, [this](const Argv& a) {
            if (a.size() != 4) return ProcessResult::Exit(1);
            const auto it = store.find(a[2] + " " + a[3]);
            if (it == store.end()) return ProcessResult::Exit(0, "''\n");
            return ProcessResult::Exit(0, *GVariantStringLiteral(it->second) + "\n");
        });
        m_keys = std::move(keys);
        On({"gsettings", "list-keys"}, [this](const Argv&) {
            std::string out;
            for (const auto& k : m_keys) out += k + "\n";
            return ProcessResult::Exit(0, out);
        });
    }

    /// The commands that started with program.
    std::vector<Argv> CallsOf(const std::string& program) const {
        std::vector<Argv> out;
        for (const auto& c : calls) {
            if (!c.empty() && c.front() == program) out.push_back(c);
        }
        return out;
    }

    std::vector<Argv> calls;
    std::vector<std::chrono::milliseconds> timeouts;
    std::vector<std::string> installChecks;
    std::set<std::string> installed;
    std::map<std::string, std::string> store;  // "schema key" -> value

private:
    std::vector<std::pair<Argv, std::function<ProcessResult(const Argv&)>>> m_rules;
    std::vector<std::string> m_keys;
};

inline ProcessResult TimedOut() {
    ProcessResult r;
    r.status = ProcessResult::Status::TimedOut;
    return r;
}

inline ProcessResult NotFound() {
    ProcessResult r;
    r.status = ProcessResult::Status::NotFound;
    return r;
}

}  // namespace tavolin::test
