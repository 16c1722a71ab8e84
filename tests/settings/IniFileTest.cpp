#include "settings/IniFile.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "util/FileIO.h"

namespace tavolin {
namespace {

class IniFileTest : public ::testing::Test {
protected:
    IniFile OpenWith(const std::string& contents) {
        test::WriteBytes(m_path, contents);
        IniFile ini;
        EXPECT_TRUE(ini.Open(m_path, false));
        return ini;
    }
    std::string Read(const IniFile& ini, const std::string& section, const std::string& key) {
        std::string v = "<untouched>";
        ini.ReadValue(section, key, v);
        return v;
    }
    std::string Contents() const { return test::ReadBytes(m_path); }

    test::TempDir m_dir;
    std::filesystem::path m_path = m_dir / "config.ini";
};

TEST_F(IniFileTest, OpenWithoutCreateNeedsAnExistingFile) {
    IniFile ini;
    EXPECT_FALSE(ini.Open(m_path, false));
    EXPECT_FALSE(ini.IsOpen());
    std::string v = "x";
    EXPECT_FALSE(ini.ReadValue("A", "k", v));
    EXPECT_FALSE(ini.WriteValue("A", "k", "v", true));
    EXPECT_FALSE(std::filesystem::exists(m_path));
    EXPECT_EQ(v, "x");

    ASSERT_TRUE(ini.Open(m_path, true));
    EXPECT_TRUE(std::filesystem::exists(m_path));
    EXPECT_EQ(Contents(), "");
}

TEST_F(IniFileTest, OpenRefusesADirectoryAndNeverTruncates) {
    IniFile ini;
    EXPECT_FALSE(ini.Open(m_dir.path(), true));
    test::WriteBytes(m_path, "[A]\r\nk=1\r\n");
    ASSERT_TRUE(ini.Open(m_path, true));
    EXPECT_EQ(Contents(), "[A]\r\nk=1\r\n");
}

TEST_F(IniFileTest, WritesIntoEmptyFileThenAddsToTheSection) {
    IniFile ini = OpenWith("");
    EXPECT_TRUE(ini.WriteValue("Background", "BGArt", "0", true));
    EXPECT_EQ(Contents(), "[Background]\r\nBGArt=0\r\n");
    EXPECT_TRUE(ini.WriteValue("Background", "BGBild", "", true));
    EXPECT_EQ(Contents(), "[Background]\r\nBGArt=0\r\nBGBild=\r\n");
}

TEST_F(IniFileTest, NewKeyGoesBeforeTheNextHeader) {
    IniFile ini = OpenWith("[A]\r\na=1\r\n[B]\r\nb=2\r\n");
    EXPECT_TRUE(ini.WriteValue("A", "c", "3", true));
    EXPECT_EQ(Contents(), "[A]\r\na=1\r\nc=3\r\n[B]\r\nb=2\r\n");
    EXPECT_TRUE(ini.WriteValue("[B]", "d", "4", true));  // brackets given
    EXPECT_EQ(Contents(), "[A]\r\na=1\r\nc=3\r\n[B]\r\nb=2\r\nd=4\r\n");
}

TEST_F(IniFileTest, ReaderKeyForms) {
    IniFile ini = OpenWith(
        "[Layout]\nKArt = 2\nKKW  = 1\n Sunday=1\nkart=9\nBGBild=C:\\Bilder\\a=b.jpg\n"
        "Pad=   x \nTab=\tx\n");
    EXPECT_EQ(Read(ini, "Layout", "KArt"), "2");
    EXPECT_EQ(Read(ini, "Layout", "KKW"), "<untouched>");
    EXPECT_EQ(Read(ini, "Layout", "Sunday"), "<untouched>");
    EXPECT_EQ(Read(ini, "Layout", "kart"), "9");
    EXPECT_EQ(Read(ini, "Layout", "BGBild"), "C:\\Bilder\\a=b.jpg");
    EXPECT_EQ(Read(ini, "Layout", "Pad"), "x ");
    EXPECT_EQ(Read(ini, "Layout", "Tab"), "\tx");
    EXPECT_EQ(Read(ini, "Layout", "BGB"), "<untouched>");  // a longer key never matches
    EXPECT_EQ(Read(ini, "Other", "KArt"), "<untouched>");
}

TEST_F(IniFileTest, CrLfAndMissingFinalLineEnd) {
    IniFile ini = OpenWith("[A]\r\nk=v \r\nlast=end");
    EXPECT_EQ(Read(ini, "A", "k"), "v ");
    EXPECT_EQ(Read(ini, "A", "last"), "end");
}

TEST_F(IniFileTest, HeaderMustBeTheWholeLine) {
    IniFile ini = OpenWith("[Background]\r\nKArt=7\r\n[Layout] \r\nKArt=3\r\n[Layout]\r\nKKW=1\r\n");
    // "[Layout] " is not the Layout header (nor a bracket line): its keys stay in Background.
    EXPECT_EQ(Read(ini, "Background", "KArt"), "3");
    EXPECT_EQ(Read(ini, "Layout", "KArt"), "<untouched>");
    EXPECT_EQ(Read(ini, "Layout", "KKW"), "1");
}

TEST_F(IniFileTest, DuplicatesLastReadWinsAndWriterReplacesAll) {
    IniFile ini = OpenWith("[A]\r\nk=1\r\nk=2\r\n");
    EXPECT_EQ(Read(ini, "A", "k"), "2");
    EXPECT_TRUE(ini.WriteValue("A", "k", "3", false));
    EXPECT_EQ(Contents(), "[A]\r\nk=3\r\nk=3\r\n");
}

TEST_F(IniFileTest, WriterReplacesKeyFollowedByBlankEvenWithoutEquals) {
    IniFile ini = OpenWith("[Background]\r\nBGBild alt\r\nBGBildX=1\r\n");
    EXPECT_TRUE(ini.WriteValue("Background", "BGBild", "neu", false));
    EXPECT_EQ(Contents(), "[Background]\r\nBGBild=neu\r\nBGBildX=1\r\n");
}

TEST_F(IniFileTest, RewriteDropsEmptyLinesEvenWhenKeyIsMissing) {
    IniFile ini = OpenWith("\n[A]\n\nk=1\n\n[B]\n\n");
    EXPECT_FALSE(ini.WriteValue("A", "missing", "x", false));
    EXPECT_EQ(Contents(), "[A]\r\nk=1\r\n[B]\r\n");
}

TEST_F(IniFileTest, MissingSectionWithoutCreateLeavesFileUntouched) {
    const std::string original = "[A]\n\nk=1\n";
    IniFile ini = OpenWith(original);
    EXPECT_FALSE(ini.WriteValue("B", "k", "1", false));
    EXPECT_EQ(Contents(), original);
}

TEST_F(IniFileTest, AppendedHeaderIsNeverGluedToAnUnterminatedLastLine) {
    IniFile ini = OpenWith("[A]\r\nk=1");
    EXPECT_TRUE(ini.WriteValue("B", "x", "2", true));
    EXPECT_EQ(Contents(), "[A]\r\nk=1\r\n[B]\r\nx=2\r\n");
    std::string v;
    EXPECT_TRUE(ini.ReadValue("A", "k", v));
    EXPECT_EQ(v, "1");
}

TEST_F(IniFileTest, ValuesOfAnyLengthAndBytes) {
    IniFile ini = OpenWith("");
    const std::string longValue(5000, 'x');
    const std::string binary = "a\xFF\x01=b";
    EXPECT_TRUE(ini.WriteValue("A", "long", longValue, true));
    EXPECT_TRUE(ini.WriteValue("A", "bin", binary, true));
    EXPECT_EQ(Read(ini, "A", "long"), longValue);
    EXPECT_EQ(Read(ini, "A", "bin"), binary);
}

TEST_F(IniFileTest, LongFileLosesNothing) {
    std::string contents = "[Big]\r\n";
    for (int i = 0; i < 3000; ++i) contents += "key" + std::to_string(i) + "=" + std::to_string(i) + "\r\n";
    contents += "[Tail]\r\nt=1\r\n";
    IniFile ini = OpenWith(contents);
    EXPECT_TRUE(ini.WriteValue("Big", "key2999", "changed", false));
    EXPECT_TRUE(ini.WriteValue("Tail", "u", "2", true));
    std::string expected = contents;
    expected.replace(expected.find("key2999=2999"), 12, "key2999=changed");
    expected += "u=2\r\n";
    EXPECT_EQ(Contents(), expected);
    EXPECT_EQ(Read(ini, "Big", "key0"), "0");
}

TEST_F(IniFileTest, DuplicatedSectionLosesNothingAndReadsBackTheWrite) {
    IniFile ini = OpenWith("[A]\r\nk=1\r\nx=1\r\n[B]\r\nb=1\r\n[A]\r\ny=2\r\n");
    EXPECT_TRUE(ini.WriteValue("A", "k", "9", true));
    EXPECT_EQ(Contents(), "[A]\r\nk=9\r\nx=1\r\n[B]\r\nb=1\r\n[A]\r\ny=2\r\n");
    EXPECT_TRUE(ini.WriteValue("A", "z", "3", true));
    EXPECT_EQ(Contents(), "[A]\r\nk=9\r\nx=1\r\n[B]\r\nb=1\r\n[A]\r\ny=2\r\nz=3\r\n");
    EXPECT_EQ(Read(ini, "A", "k"), "9");
    EXPECT_EQ(Read(ini, "A", "z"), "3");
    EXPECT_EQ(Read(ini, "A", "x"), "1");
}

TEST_F(IniFileTest, FailedRewriteKeepsTheOldFile) {
    const std::string original = "[A]\r\nk=1\r\n";
    IniFile ini = OpenWith(original);
    auto faults = std::make_shared<WriteFaults>();
    faults->failRewrites = true;
    ini.SetWriteFaults(faults);
    EXPECT_FALSE(ini.WriteValue("A", "k", "2", true));
    EXPECT_FALSE(ini.WriteValue("B", "k", "2", true));
    EXPECT_EQ(Contents(), original);
}

TEST_F(IniFileTest, VanishedFileAfterOpenIsAFailureNotACreation) {
    IniFile ini = OpenWith("[A]\r\nk=1\r\n");
    std::filesystem::remove(m_path);
    std::string v = "same";
    EXPECT_FALSE(ini.ReadValue("A", "k", v));
    EXPECT_FALSE(ini.WriteValue("A", "k", "2", true));
    EXPECT_EQ(v, "same");
    EXPECT_FALSE(std::filesystem::exists(m_path));
}

}  // namespace
}  // namespace tavolin
