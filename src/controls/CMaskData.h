#pragma once
// One position of a masked edit's mask: a literal that is shown and skipped by the caret, or
// an input position that takes only the kind of character its mask character allows.

#include <QChar>

namespace tavolin::ui {

class CMaskData {
public:
    enum Type {
        DecimalSeparator = 0,    // "."  the user's decimal separator
        ThousandsSeparator = 1,  // ","  the user's thousands separator
        TimeSeparator = 2,       // ":"  the user's time separator
        DateSeparator = 3,       // "/"  the user's date separator
        Digit = 4,               // "#"
        AlphaNumeric = 5,        // "A"  a letter or a digit
        Alpha = 6,               // "?"  a letter
        AlphaUpper = 7,          // ">"  a letter, stored as upper case
        AlphaLower = 8,          // "<"  a letter, stored as lower case
        AnyCharacter = 9,        // "&"  any character from code 32 on, except 127
        EscapedLiteral = 10,     // "\x" the character x
        Literal = 11,            // any other mask character, itself
    };

    CMaskData() = default;
    CMaskData(int maskType, QChar ch) : type(maskType), character(ch) {}

    bool IsInputData() const { return type >= Digit && type <= AnyCharacter; }

    /// Whether an input position takes ch (literals take nothing).
    bool IsValidInput(QChar ch) const;

    /// ch as this position stores it (upper or lower case for the letter types).
    QChar PreProcessChar(QChar ch) const;

    int type = Literal;
    // For literals the literal shown; for input positions the character entered, or the
    // prompt character while empty.
    QChar character;
};

}  // namespace tavolin::ui
