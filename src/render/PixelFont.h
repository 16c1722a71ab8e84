#pragma once
// The program's own hand-drawn bitmap font, so the wallpaper looks the same on every machine.
// A glyph covers rows -1 (dots of capital umlauts) to 10 (lowest descender) relative to the
// pen's y; row 0 is the top of capitals and digits, row 8 the baseline.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavolin {

class PixelFont {
public:
    static constexpr int kFirstRow = -1;
    static constexpr int kLastRow = 10;
    static constexpr int kRowCount = kLastRow - kFirstRow + 1;

    /// Advance of a character without a glyph when it is drawn (it also shows a message).
    static constexpr int kMissingGlyphAdvance = 6;

    /// True when the character (Windows-1252) has a glyph.
    static bool HasGlyph(unsigned char c);

    /// The glyph's advance in pixels; 0 for a character without a glyph.
    static int Advance(unsigned char c);

    /// The set pixels of one glyph row (row kFirstRow..kLastRow): bit n is column n. 0 for
    /// rows outside the glyph and characters without a glyph.
    static uint16_t RowBits(unsigned char c, int row);

    /// True for the characters that draw nothing and advance by 0: "^" and the grave accent.
    static bool IsSilent(unsigned char c) { return c == '^' || c == '`'; }

    /// The characters of text (Windows-1252) that drawing cannot show, each once, in the order
    /// of their first appearance; empty when every character can be drawn.
    static std::string UndrawableCharacters(std::string_view text);

    /// Sum of the advances; characters without a glyph count 0 and the one-pixel gaps that
    /// drawing puts between glyphs are not counted.
    static int TextWidth(std::string_view text);
};

}  // namespace tavolin
