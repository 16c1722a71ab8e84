#pragma once
// The time and the steps one file's import may spend on repeat rules and zone rules.

#include <chrono>
#include <cstddef>

#include "appointments/IcsImport.h"

namespace tavolin::ics {

class Budget {
public:
    explicit Budget(double seconds)
        : m_deadline(std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(seconds))) {}

    bool OutOfTime() {
        if (m_exhausted) return true;
        if (std::chrono::steady_clock::now() >= m_deadline) m_exhausted = true;
        return m_exhausted;
    }
    // One step of a rule; false when the file's budget is spent.
    bool Step() {
        if (m_stepsLeft == 0) m_exhausted = true;
        if (m_exhausted) return false;
        --m_stepsLeft;
        return !OutOfTime();
    }
    bool Exhausted() const { return m_exhausted; }

private:
    std::chrono::steady_clock::time_point m_deadline;
    size_t m_stepsLeft = kMaxIcsStepsPerFile;
    bool m_exhausted = false;
};

}  // namespace tavolin::ics
