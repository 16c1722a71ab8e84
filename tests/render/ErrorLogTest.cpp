#include "render/ErrorLog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TestSupport.h"

namespace tavolin {
namespace {

class ErrorLogTest : public test::DataDirTest {};

TEST_F(ErrorLogTest, LinesHaveExactBytesAndAppend) {
    EXPECT_TRUE(AppendErrorLog(File("ErrorLog.dat"), kErrorLayoutUnknown,
                               test::Local(2026, 12, 7, 9, 5, 3)));
    EXPECT_TRUE(AppendErrorLog(File("ErrorLog.dat"), kErrorSettingMissing,
                               test::Local(2027, 1, 1, 0, 0, 0)));
    EXPECT_EQ(test::ReadBytes(File("ErrorLog.dat")),
              "07.12.2026 - 09:05:03 - Das in den Einstellungen gesetzte Layout existiert nicht.\r\n"
              "01.01.2027 - 00:00:00 - Es sind Unstimmigkeiten in den Einstellungen aufgetreten.\r\n");
}

TEST_F(ErrorLogTest, TextsAreWindows1252) {
    EXPECT_EQ(ErrorText(1), "Die Datei \"config.ini\" konnte nicht gefunden werden.");
    EXPECT_EQ(ErrorText(4), "Das angegebene Hintergrundbild wurde nicht gefunden.");
    EXPECT_EQ(ErrorText(5),
              "Das Dateiformat des angegebenen Hintergrundbildes wird vom Programm nicht "
              "unterst\xFCtzt.");
    EXPECT_EQ(ErrorText(6), "Das als Vorlage verwendete Hintergrundbild ist zu breit.");
    EXPECT_EQ(ErrorText(7), "Das als Vorlage verwendete Hintergrundbild ist zu hoch.");
    for (int code : {0, 8, -1, 1000}) EXPECT_EQ(ErrorText(code), "Es sind keine Fehler aufgetreten.");
}

TEST_F(ErrorLogTest, TimeStampIsLocalTime) {
    // 23:30 UTC on 31 December is already the new year in Berlin.
    EXPECT_EQ(FormatErrorLine(0, 1798759800).substr(0, 24), "01.01.2027 - 00:30:00 - ");
}

TEST_F(ErrorLogTest, UnwritableLogIsReportedNotShown) {
    std::filesystem::create_directory(File("ErrorLog.dat"));  // cannot be opened as a file
    EXPECT_FALSE(AppendErrorLog(File("ErrorLog.dat"), kErrorConfigMissing, 0));
    EXPECT_TRUE(std::filesystem::is_directory(File("ErrorLog.dat")));
    EXPECT_TRUE(m_messages.messages().empty());
}

}  // namespace
}  // namespace tavolin
