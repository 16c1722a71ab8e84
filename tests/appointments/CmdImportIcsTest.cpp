// tavolin-cli import-ics end to end, on 8 March 2003 10:07 in Europe/Berlin.
#include <gtest/gtest.h>

#include "cli/CliRunner.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

class CmdImportIcsTest : public ::testing::Test {
protected:
    test::CliResult Run(const std::vector<std::string>& args) const {
        return test::RunCli(m_dir.path(), args, {"TZ=Europe/Berlin", "TAVOLIN_NOW=" + m_now});
    }
    std::string Ics(const std::string& name, const std::string& body) const {
        test::WriteBytes(m_dir / name,
                         "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + body + "END:VCALENDAR\r\n");
        return (m_dir / name).string();
    }

    test::TempDir m_dir;
    std::string m_now = [] {
        test::ScopedTimeZone tz("Europe/Berlin");
        return std::to_string(test::Local(2003, 3, 8, 10, 7));
    }();
};

TEST_F(CmdImportIcsTest, ImportsEachFileAndTidiesOnce) {
    test::WriteBytes(m_dir / "Termine.dat", "05.03.2003 - 16:00 # Sport");
    const std::string a =
        Ics("a.ics",
            "BEGIN:VEVENT\r\nUID:1\r\nDTSTART:20030310T080000Z\r\nSUMMARY:Zahnarzt"
            "\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n"
            "END:VEVENT\r\nBEGIN:VEVENT\r\nUID:2\r\nDTSTART:20030301T080000\r\n"
            "SUMMARY:Vorbei\r\nEND:VEVENT\r\n");
    const std::string b = Ics("b.ics",
                              "BEGIN:VTODO\r\nUID:3\r\nDUE:20030309T120000\r\n"
                              "SUMMARY:M\xC3\xBCll\r\nEND:VTODO\r\n");
    test::WriteBytes(m_dir / "bad.ics", "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\n");
    const auto r = Run({"import-ics", "--move", a, (m_dir / "bad.ics").string(), b});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out,
              a + ": 1 entry imported, 1 skipped (1 in the past).\n" + b + ": 1 entry imported.\n");
    EXPECT_EQ(r.err, (m_dir / "bad.ics").string() +
                         ": the file is incomplete (END:VCALENDAR is missing). Nothing was "
                         "imported.\n");
    EXPECT_EQ(test::ReadBytes(m_dir / "Termine.dat"),
              "08.03.2003 - 16:00 # Sport\r\n09.03.2003 - 12:00 # M\xFCll\r\n"
              "10.03.2003 - 08:45 # Zahnarzt");
}

// A calendar made to drive the terminal: stored and printed without its control characters.
TEST_F(CmdImportIcsTest, ControlCharactersNeitherStoredNorPrinted) {
    const std::string a = Ics("esc.ics",
                              "BEGIN:VEVENT\r\nUID:1\r\nDTSTART:20030310T080000\r\n"
                              "SUMMARY:\x1B[31mrot\x1B[0m\x07\r\nEND:VEVENT\r\n");
    auto r = Run({"import-ics", a});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::ReadBytes(m_dir / "Termine.dat"), "10.03.2003 - 08:00 # ?[31mrot?[0m?");
    r = Run({"list"});
    EXPECT_EQ(r.out, "10.03.2003 - 08:00 # ?[31mrot?[0m?\n");
}

TEST_F(CmdImportIcsTest, UsageErrors) {
    EXPECT_EQ(Run({"import-ics"}).exitCode, 2);
    EXPECT_EQ(Run({"import-ics", "--delete", "--move", "x.ics"}).exitCode, 2);
    EXPECT_EQ(Run({"import-ics", "--bogus", "x.ics"}).exitCode, 2);
}

}  // namespace
}  // namespace tavolin
