// tavolin-cli list / add / remove / tidy end to end, on 8 March 2003 10:07 in Europe/Berlin.
#include <gtest/gtest.h>

#include "cli/CliRunner.h"
#include "support/TestSupport.h"

namespace tavolin {
namespace {

namespace fs = std::filesystem;

class CmdAppointmentsTest : public ::testing::Test {
protected:
    test::CliResult Run(const std::vector<std::string>& args) const {
        return test::RunCli(m_dir.path(), args, {"TZ=Europe/Berlin", "TAVOLIN_NOW=" + m_now});
    }
    fs::path Termine() const { return m_dir / "Termine.dat"; }
    std::string Bytes() const { return test::ReadBytes(Termine()); }
    void Write(const std::string& bytes) const { test::WriteBytes(Termine(), bytes); }
    void Config(const std::string& delTermine) const {
        test::WriteBytes(m_dir / "config.ini", "[Programm]\r\nDelTermine=" + delTermine + "\r\n");
    }

    test::TempDir m_dir;
    std::string m_now = [] {
        test::ScopedTimeZone tz("Europe/Berlin");
        return std::to_string(test::Local(2003, 3, 8, 10, 7));
    }();
};

TEST_F(CmdAppointmentsTest, AddUsesTodayAndTheNearestQuarterHour) {
    auto r = Run({"add", "Zahnarzt"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "added: 08.03.2003 - 10:15 # Zahnarzt\n");
    EXPECT_EQ(Bytes(), "08.03.2003 - 10:15 # Zahnarzt");

    r = Run({"add", "--note", "Blumen für Oma"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "added: Notiz # Blumen für Oma\n");
    // The terminal speaks UTF-8, the file Windows-1252.
    EXPECT_EQ(Bytes(), "08.03.2003 - 10:15 # Zahnarzt\r\nNotiz # Blumen f\xFCr Oma");
}

TEST_F(CmdAppointmentsTest, AddWithDateAndTimeNeverChangesTheDate) {
    auto r = Run({"add", "9.3.2003", "23:55", "Spät € 5"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Bytes(), "09.03.2003 - 00:00 # Sp\xE4t \x80 5");
    r = Run({"add", "--", "31.12.2003", "9:07", "-- mit Strich"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "added: 31.12.2003 - 09:15 # -- mit Strich\n");
}

TEST_F(CmdAppointmentsTest, AddOfAPastDateWarnsThatTheTidyUpWillTakeIt) {
    auto r = Run({"add", "01.03.2003", "16:00", "Sport"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("before today"), std::string::npos);
    EXPECT_EQ(Bytes(), "01.03.2003 - 16:00 # Sport");
}

TEST_F(CmdAppointmentsTest, AddRefusesAnEmptyRemarkWithTheGermanWarning) {
    auto r = Run({"add", ""});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Sie haben keine Bemerkung für das Datum eingegeben."), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Der Termin konnte nicht gespeichert werden."), std::string::npos);
    EXPECT_FALSE(fs::exists(Termine()));
}

TEST_F(CmdAppointmentsTest, AddRefusesWhatWindows1252CannotHold) {
    Write("Notiz # a");
    for (const std::string remark : {"Pfeil →", "Emoji 😀", "bad \xC3", "zwei\nZeilen"}) {
        const auto r = Run({"add", remark});
        EXPECT_EQ(r.exitCode, 1) << remark;
        EXPECT_NE(r.err.find("nothing was added"), std::string::npos) << r.err;
    }
    EXPECT_NE(Run({"add", "Pfeil →"}).err.find("'→'"), std::string::npos);
    EXPECT_EQ(Bytes(), "Notiz # a");
}

TEST_F(CmdAppointmentsTest, BadArgumentsGiveOneLineAndTheUsage) {
    const std::vector<std::vector<std::string>> bad = {
        {"add"},
        {"add", "9.3.2003", "Sport"},
        {"add", "32.1.2003", "10:00", "x"},
        {"add", "29.2.2003", "10:00", "x"},
        {"add", "1.1.03", "10:00", "x"},
        {"add", "1.1.2003", "24:00", "x"},
        {"add", "1.1.2003", "9:5", "x"},
        {"add", "--note", "1.1.2003", "10:00", "x"},
        {"add", "--bogus", "x"},
        {"remove"},
        {"remove", "a", "b"},
        {"list", "--delete", "--move"},
        {"tidy", "extra"},
    };
    for (const auto& args : bad) {
        const auto r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_NE(r.err.find("usage: tavolin-cli " + args[0]), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(Termine()));
}

TEST_F(CmdAppointmentsTest, ListTidiesFirstAndPrintsUtf8) {
    Write(
        "Notiz # b\r\n07.03.2003 - 23:30 # Friseur\r\n09.03.2003 - 09:00 # Gr\xFC\xDF\x65\r\n"
        "Notiz # a");
    const auto r = Run({"list"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Notiz # a\nNotiz # b\n09.03.2003 - 09:00 # Grüße\n");
    EXPECT_EQ(Bytes(), "Notiz # a\r\nNotiz # b\r\n09.03.2003 - 09:00 # Gr\xFC\xDF\x65");
}

// A record written by another program or by hand may hold control characters; none of them
// reaches the terminal.
TEST_F(CmdAppointmentsTest, ListPrintsNoControlCharacter) {
    Write(
        "Notiz # a\x1B]0;title\x07"
        "b\x7F"
        "c\x81"
        "d\x9D"
        "e\x01"
        "f\tg");
    const auto r = Run({"list"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Notiz # a?]0;title?b?c?d?e?f?g\n");
}

TEST_F(CmdAppointmentsTest, TheExpiryModeComesFromDelTermineAsTheSilentStartReadsIt) {
    const std::string file = "07.03.2003 - 23:30 # Friseur";
    const struct {
        const char* value;  // nullptr: no config.ini
        bool deletes;
    } cases[] = {{nullptr, true}, {"1", true}, {"2", true}, {"0", false}, {"nein", false}};
    for (const auto& c : cases) {
        if (c.value) Config(c.value);
        Write(file);
        const auto r = Run({"list"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.deletes ? "" : "08.03.2003 - 23:30 # Friseur\n")
            << (c.value ? c.value : "no config");
    }
    test::WriteBytes(m_dir / "config.ini", "[Programm]\r\nTermine=1\r\n");  // key missing
    Write(file);
    EXPECT_EQ(Run({"list"}).out, "");
}

TEST_F(CmdAppointmentsTest, OptionsOverrideTheSetting) {
    Config("1");
    Write("05.03.2003 - 16:00 # Sport\r\nNotiz # n\r\nNotiz # n");
    auto r = Run({"tidy", "--move"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("2 records"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 moved"), std::string::npos);
    EXPECT_NE(r.out.find("1 duplicates"), std::string::npos);
    EXPECT_EQ(Bytes(), "Notiz # n\r\n08.03.2003 - 16:00 # Sport");

    Config("0");
    Write("05.03.2003 - 16:00 # Sport");
    r = Run({"list", "--delete"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Bytes(), "");
}

TEST_F(CmdAppointmentsTest, AMissingFileIsNeitherListedNorCreated) {
    auto r = Run({"list"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    r = Run({"tidy"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("nothing to tidy"), std::string::npos);
    r = Run({"remove", "Notiz # a"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(fs::exists(Termine()));
}

TEST_F(CmdAppointmentsTest, ADirectoryInPlaceOfTheFileIsAFailure) {
    fs::create_directory(Termine());
    for (const std::string command : {"list", "tidy"}) {
        const auto r = Run({command});
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_NE(r.err.find("cannot be read"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Run({"add", "x"}).exitCode, 1);
    EXPECT_TRUE(fs::is_directory(Termine()));
}

TEST_F(CmdAppointmentsTest, RemoveTakesTheLineAsListPrintsIt) {
    Write("Notiz # Gr\xFC\xDF\x65\r\nNotiz # x # y\r\nNotiz # x # y");
    auto r = Run({"remove", "Notiz # x # y"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Bytes(), "Notiz # Gr\xFC\xDF\x65\r\nNotiz # x # y");
    r = Run({"remove", "Notiz # Grüße"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "removed: Notiz # Grüße\n");
    EXPECT_EQ(Bytes(), "Notiz # x # y");

    for (const std::string missing : {"Notiz # x", "Notiz # →"}) {
        r = Run({"remove", missing});
        EXPECT_EQ(r.exitCode, 1) << missing;
        EXPECT_NE(r.err.find("no record"), std::string::npos) << r.err;
    }
    EXPECT_EQ(Bytes(), "Notiz # x # y");
}

}  // namespace
}  // namespace tavolin
