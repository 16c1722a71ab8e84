#pragma once
// One record of Termine.dat: key " # " remark. The key is "Notiz" for a note or a date-time
// text (see AppointmentTime.h); the remark may itself hold " # ".

#include <optional>
#include <string>
#include <string_view>

#include "appointments/AppointmentTime.h"

namespace tavolin {

inline constexpr std::string_view kNoteKey = "Notiz";
inline constexpr std::string_view kRecordSeparator = " # ";
inline constexpr std::string_view kDateTimeSeparator = " - ";

struct Appointment {
    std::string key;
    std::string remark;

    bool IsNote() const { return key == kNoteKey; }
    /// A dated appointment: not a note, and the key has the " - " between date and time.
    /// Keys that are neither only come from editing the file by hand.
    bool IsDated() const { return !IsNote() && key.find(kDateTimeSeparator) != std::string::npos; }
    /// The local point in time of a dated appointment; ParseWhen(key).
    TimePoint When() const { return ParseWhen(key); }
    /// The line as stored: key " # " remark.
    std::string Line() const;

    bool operator==(const Appointment&) const = default;
};

/// Splits a line at its first " # " into key and remark; nullopt for a line without one.
std::optional<Appointment> SplitRecord(std::string_view line);

/// The warning (caption "Warnung") when an appointment is to be stored without a remark;
/// Windows-1252, two lines.
std::string EmptyRemarkText();

}  // namespace tavolin
