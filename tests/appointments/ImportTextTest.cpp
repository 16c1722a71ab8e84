#include <gtest/gtest.h>

#include "appointments/IcsImport.h"
#include "appointments/ImportText.h"
#include "render/PixelFont.h"

namespace tavolin {
namespace {

// "€", "–" and "ó" are stored in Windows-1252 but the wallpaper's font has no glyph for them;
// the import summary counts the entries that hold such characters and names each once.
TEST(ImportTextTest, TheSummaryCountsCharactersTheWallpaperCannotDraw) {
    EXPECT_EQ(PixelFont::UndrawableCharacters("Gr\xFC\xDF" "e \x80 5 \x96 Se\xF1or \xF3 \x80"),
              "\x80\x96\xF1\xF3");
    EXPECT_EQ(PixelFont::UndrawableCharacters("Zahnarzt 10:00 ^`"), "");

    IcsImportResult result;
    result.records = {"10.03.2027 - 09:00 # Geb\xFChr \x80", "10.03.2027 - 10:00 # Zahnarzt",
                      "11.03.2027 - 09:00 # 5 \x80 \x96 5"};
    result.imported = 3;
    const std::string text = IcsSummaryText("k.ics", result);
    EXPECT_NE(text.find("\n2 entries have characters the wallpaper's font cannot draw (\xE2\x82\xAC, "
                        "\xE2\x80\x93)"),
              std::string::npos)
        << text;
    EXPECT_EQ(UndrawableSummary({"Notiz # Milch"}), "");
    EXPECT_NE(UndrawableSummary({"Notiz # \xF3"}).find("1 entry has"), std::string::npos);
}

}  // namespace
}  // namespace tavolin
