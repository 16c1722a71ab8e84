// The text forms a path takes on its way to a desktop, with hostile paths: quotes,
// backslashes, new lines, blanks and bytes beyond ASCII.

#include <gtest/gtest.h>

#include <chrono>

#include "DecodeUri.h"
#include "platform/ProcessRunner.h"
#include "platform/linux/WallpaperText.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

const std::vector<std::string> kHostile = {
    "/home/anna/Bilder/Background.bmp",
    "/tmp/it's \"quoted\"/B.bmp",
    "/tmp/back\\slash\\\"/B.bmp",
    "/tmp/new\nline\r/B.bmp",
    "/tmp/M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80/B.bmp",  // ü, €, an emoji
    "/tmp/%41%20/#?&=+;,/B.bmp",
    "/tmp/tab\there/\x01\x1F\x7F.bmp",
    "/tmp/</script>\xE2\x80\xA8\xE2\x80\xA9/B.bmp",  // JavaScript's old line separators
};

using test::DecodeUri;

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

TEST(FileUri, EncodesEveryByteButTheUnreservedOnes) {
    EXPECT_EQ(FileUri("/home/anna/Background.bmp"), "file:///home/anna/Background.bmp");
    EXPECT_EQ(FileUri("/a b/M\xC3\xBCller's~x_y-z.bmp"), "file:///a%20b/M%C3%BCller%27s~x_y-z.bmp");
    EXPECT_EQ(FileUri("/%/\xFF\n"), "file:///%25/%FF%0A");
    for (const auto& path : kHostile) {
        const std::string uri = FileUri(path);
        EXPECT_EQ(uri.find_first_of(" '\"\\\n\r\t#?&;,"), std::string::npos) << uri;
        for (unsigned char c : uri) EXPECT_LT(c, 0x80) << uri;
        EXPECT_EQ(DecodeUri(uri.substr(7)), path);
    }
}

TEST(JsStringLiteral, EscapesEverythingThatCouldEndOrBendTheString) {
    EXPECT_EQ(JsStringLiteral("file:///a"), "\"file:///a\"");
    EXPECT_EQ(JsStringLiteral("a\"b'c\\d"), "\"a\\\"b\\'c\\\\d\"");
    EXPECT_EQ(JsStringLiteral("x\ny\r\x01"), "\"x\\u000Ay\\u000D\\u0001\"");
    EXPECT_EQ(JsStringLiteral("\xC3\xBC\xE2\x80\xA8"), "\"\\u00FC\\u2028\"");
    EXPECT_EQ(JsStringLiteral("\xF0\x9F\x98\x80"), "\"\\uD83D\\uDE00\"");
    EXPECT_EQ(JsStringLiteral("\xFF"), "\"\\u00FF\"");  // not UTF-8: the byte keeps its value
    for (const auto& path : kHostile) {
        const std::string literal = JsStringLiteral(path);
        for (unsigned char c : literal) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << literal;
    }
}

// The literal read back by a real JavaScript engine gives the original text.
TEST(JsStringLiteral, ReadsBackInARealJavaScriptEngine) {
    const auto runner = test::SystemRunner();
    if (!runner->IsInstalled("node")) GTEST_SKIP() << "node is not installed";
    std::string script = "const texts = [";
    std::string expected;
    for (const auto& path : kHostile) {
        script += JsStringLiteral(path) + ",";
        expected += Hex(path) + "\n";
    }
    script +=
        "]; for (const t of texts) process.stdout.write(Buffer.from(t, 'utf8').toString('hex') + "
        "'\\n');";
    const auto r = runner->Run({"node", "-e", script}, std::chrono::seconds(20));
    ASSERT_TRUE(r.Succeeded()) << r.Describe();
    EXPECT_EQ(r.output, expected);
}

TEST(GVariantText, LiteralRoundTripsThroughTheParser) {
    EXPECT_EQ(*GVariantStringLiteral("file:///a"), "'file:///a'");
    EXPECT_EQ(*GVariantStringLiteral("it's \\"), "'it\\'s \\\\'");
    EXPECT_EQ(*GVariantStringLiteral("a\nb"), "'a\\u000Ab'");
    EXPECT_FALSE(GVariantStringLiteral("/tmp/\xFF.bmp"));
    EXPECT_FALSE(GVariantStringLiteral("\xC3"));
    EXPECT_FALSE(GVariantStringLiteral(std::string("a\0b", 3)));
    for (const auto& path : kHostile) {
        const auto literal = GVariantStringLiteral(path);
        ASSERT_TRUE(literal) << path;
        EXPECT_EQ(ParseGVariantString(*literal), path);
    }
}

TEST(GVariantText, ParsesWhatGsettingsPrints) {
    EXPECT_EQ(ParseGVariantString("'file:///x.bmp'\n"), "file:///x.bmp");
    EXPECT_EQ(ParseGVariantString("\"it's\"\n"), "it's");
    EXPECT_EQ(ParseGVariantString("'a\\nb\\t\\u00fc\\U0001F600\\\\'"),
              "a\nb\t\xC3\xBC\xF0\x9F\x98\x80\\");
    EXPECT_EQ(ParseGVariantString("''"), "");
    // Anything that is not exactly one quoted string is refused.
    for (const char* bad : {"", "'", "'abc", "abc", "'a' 'b'", "@s 'x'", "'\\u12'", "'\\uD800'",
                            "'\\u0000'", "'\\U00110000'", "'x\\"}) {
        EXPECT_FALSE(ParseGVariantString(bad)) << bad;
    }
    EXPECT_FALSE(ParseGVariantString(std::string("'a\0b'", 5)));
}

TEST(SwayPathArgument, QuotesPlainPathsAndRefusesTheRest) {
    EXPECT_EQ(SwayPathArgument("/home/anna/Background.bmp"), "\"/home/anna/Background.bmp\"");
    EXPECT_EQ(SwayPathArgument("/home/anna/My Files/M\xC3\xBCller/B-1+2@x%y=z:w.bmp"),
              "\"/home/anna/My Files/M\xC3\xBCller/B-1+2@x%y=z:w.bmp\"");
    for (const char* bad : {"",          "relative/B.bmp", "/a\"b.bmp", "/a'b.bmp",  "/$(id).bmp",
                            "/`id`.bmp", "/a;b.bmp",       "/a,b.bmp",  "/a\\b.bmp", "/a*.bmp",
                            "/a\nb.bmp", "/a  b.bmp",      "/a.bmp ",   "/~x",       "/\xFF.bmp",
                            "/a\tb.bmp", "/a#b",           "/{a}",      "/a|b",      "/a&b"}) {
        EXPECT_FALSE(SwayPathArgument(bad)) << bad;
    }
}

TEST(Utf8, Validation) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("abc \xC3\xA4 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    for (const char* bad : {"\x80", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xE2\x82"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << Hex(bad);
    }
}

}  // namespace
}  // namespace tavolin
