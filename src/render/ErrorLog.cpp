#include "render/ErrorLog.h"

#include <cstdio>

#include "util/Cp1252.h"
#include "util/FileIO.h"

namespace tavolin {

std::string ErrorText(int code) {
    switch (code) {
        case kErrorConfigMissing:
            return W1252("Die Datei \"config.ini\" konnte nicht gefunden werden.");
        case kErrorSettingMissing:
            return W1252("Es sind Unstimmigkeiten in den Einstellungen aufgetreten.");
        case kErrorLayoutUnknown:
            return W1252("Das in den Einstellungen gesetzte Layout existiert nicht.");
        case kErrorPictureNotFound:
            return W1252("Das angegebene Hintergrundbild wurde nicht gefunden.");
        case kErrorPictureFormat:
            return W1252(
                "Das Dateiformat des angegebenen Hintergrundbildes wird vom Programm nicht "
                "unterstützt.");
        case kErrorPictureTooWide:
            return W1252("Das als Vorlage verwendete Hintergrundbild ist zu breit.");
        case kErrorPictureTooHigh:
            return W1252("Das als Vorlage verwendete Hintergrundbild ist zu hoch.");
        default:
            return W1252("Es sind keine Fehler aufgetreten.");
    }
}

std::string FormatErrorLine(int code, TimePoint when) {
    return FormatLogLine(ErrorText(code), when);
}

std::string FormatLogLine(const std::string& text, TimePoint when) {
    const std::tm t = LocalFields(when);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d.%02d.%d - %02d:%02d:%02d - ", t.tm_mday, t.tm_mon + 1,
                  t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    // A line end inside the text would start a line without a stamp.
    std::string line = stamp + text;
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return line;
}

bool AppendLogLine(const std::filesystem::path& path, const std::string& text, TimePoint when) {
    return AppendToFile(path, FormatLogLine(text, when) + "\r\n");
}

bool AppendErrorLog(const std::filesystem::path& path, int code, TimePoint when) {
    return AppendToFile(path, FormatErrorLine(code, when) + "\r\n");
}

}  // namespace tavolin
