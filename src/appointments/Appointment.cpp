#include "appointments/Appointment.h"

#include "util/Cp1252.h"

namespace tavolin {

std::string Appointment::Line() const {
    std::string line;
    line.reserve(key.size() + kRecordSeparator.size() + remark.size());
    line += key;
    line += kRecordSeparator;
    line += remark;
    return line;
}

std::optional<Appointment> SplitRecord(std::string_view line) {
    const size_t pos = line.find(kRecordSeparator);
    if (pos == std::string_view::npos) return std::nullopt;
    return Appointment{std::string(line.substr(0, pos)),
                       std::string(line.substr(pos + kRecordSeparator.size()))};
}

std::string EmptyRemarkText() {
    return W1252(
        "Sie haben keine Bemerkung für das Datum eingegeben.\n"
        "Der Termin konnte nicht gespeichert werden.");
}

}  // namespace tavolin
