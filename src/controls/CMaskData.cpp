#include "controls/CMaskData.h"

#include <QString>

#include "util/Cp1252.h"

namespace tavolin::ui {
namespace {

// Letters of the character set the program stores its texts in (Windows-1252).
bool IsLetter(QChar ch) {
    if (!ch.isLetter()) return false;
    if (ch.unicode() < 0x100) return true;
    return Utf8ToCp1252(QString(ch).toStdString()).has_value();
}

bool IsDigit(QChar ch) {
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

}  // namespace

bool CMaskData::IsValidInput(QChar ch) const {
    switch (type) {
        case Digit:
            return IsDigit(ch);
        case AlphaNumeric:
            return IsDigit(ch) || IsLetter(ch);
        case Alpha:
        case AlphaUpper:
        case AlphaLower:
            return IsLetter(ch);
        case AnyCharacter:
            return ch.unicode() >= 32 && ch.unicode() != 127 && !ch.isSurrogate();
        default:
            return false;
    }
}

QChar CMaskData::PreProcessChar(QChar ch) const {
    if (type == AlphaUpper) return ch.toUpper();
    if (type == AlphaLower) return ch.toLower();
    return ch;
}

}  // namespace tavolin::ui
