#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/TestSupport.h"
#include "util/Atoi.h"
#include "util/Cp1252.h"
#include "util/FileIO.h"
#include "util/Utf8.h"

namespace tavolin {
namespace {

TEST(Cp1252, GermanLettersAndEuroRoundTrip) {
    const std::string bytes = W1252("Über Größe 5 €");
    EXPECT_EQ(bytes, std::string("\xDC" "ber Gr\xF6\xDF" "e 5 \x80"));
    EXPECT_EQ(Cp1252ToUtf8(bytes), "Über Größe 5 €");
}

TEST(Cp1252, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const auto back = Utf8ToCp1252(Cp1252ToUtf8(all));
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);
}

TEST(Cp1252, UnrepresentableOrInvalidTextIsRefused) {
    EXPECT_FALSE(Utf8ToCp1252("日本").has_value());
    EXPECT_FALSE(Utf8ToCp1252("\xC3").has_value());       // truncated sequence
    EXPECT_FALSE(Utf8ToCp1252("\xC0\xAF").has_value());   // overlong '/'
    EXPECT_FALSE(Utf8ToCp1252("\xF0\x9F\x98\x80").has_value());  // emoji
}

TEST(Utf8, DecodesEveryLengthAndRefusesWhatIsNotUtf8) {
    for (char32_t cp : {U'A', U'\u00E4', U'\u20AC', U'\U0001F600', U'\U0010FFFF'}) {
        std::string text;
        AppendUtf8(text, cp);
        char32_t back = 0;
        EXPECT_EQ(DecodeUtf8(text, 0, back), text.size());
        EXPECT_EQ(back, cp);
    }
    char32_t cp = 0;
    for (const char* bad : {"\xC1\x81", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\xE2\x82", "\x80", "\xFF"}) {
        EXPECT_EQ(DecodeUtf8(bad, 0, cp), 0u) << bad;
    }
    EXPECT_EQ(DecodeUtf8("", 0, cp), 0u);
}

TEST(Atoi, FollowsTheCLibraryRules) {
    EXPECT_EQ(Atoi("58"), 58);
    EXPECT_EQ(Atoi("  \t-12xyz"), -12);
    EXPECT_EQ(Atoi("+7"), 7);
    EXPECT_EQ(Atoi("1 "), 1);
    EXPECT_EQ(Atoi("abc"), 0);
    EXPECT_EQ(Atoi(""), 0);
    EXPECT_EQ(Atoi("- 5"), 0);
    EXPECT_EQ(Atoi("99999999999999999999"), 2147483647);
    EXPECT_EQ(Atoi("-99999999999999999999"), -2147483647 - 1);
}

TEST(FileIO, AtomicWriteReplacesContentsAndKeepsMode) {
    test::TempDir dir;
    const auto file = dir / "a.txt";
    test::WriteBytes(file, "old");
#ifndef _WIN32  // Windows files have no mode bits to keep
    ::chmod(file.c_str(), 0640);
#endif
    ASSERT_TRUE(AtomicWriteFile(file, "new contents"));
    EXPECT_EQ(test::ReadBytes(file), "new contents");
#ifndef _WIN32
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
#endif
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(FileIO, FailedAtomicWriteLeavesOriginalAndNoTemporary) {
    test::TempDir dir;
    const auto file = dir / "a.txt";
    test::WriteBytes(file, "precious");
    WriteFaults faults;
    faults.failRewrites = true;
    EXPECT_FALSE(AtomicWriteFile(file, "lost", Durability::Sync, &faults));
    EXPECT_EQ(test::ReadBytes(file), "precious");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    EXPECT_FALSE(AtomicWriteFile(dir / "missing-dir" / "x", "data"));
}

TEST(FileIO, ReadDistinguishesMissingNotRegularAndTooLarge) {
    test::TempDir dir;
    std::string out;
    EXPECT_EQ(ReadWholeFile(dir / "none", out), ReadStatus::Missing);
    EXPECT_EQ(ReadWholeFile(dir.path(), out), ReadStatus::NotRegular);
    test::WriteBytes(dir / "big", std::string(100, 'x'));
    EXPECT_EQ(ReadWholeFile(dir / "big", out, 99), ReadStatus::TooLarge);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(ReadWholeFile(dir / "big", out, 100), ReadStatus::Ok);
    EXPECT_EQ(out.size(), 100u);
}

}  // namespace
}  // namespace tavolin
