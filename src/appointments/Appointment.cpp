#include "appointments/Appointment.h"

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

}  // namespace tavolin
