// What the program does with settings files that are broken, odd or locked: a corpus of
// files, each made here with the SQLite C API or byte by byte.
#include "tests/unit/settings_fixture.h"

namespace tolvane {
namespace {

using namespace settings_tests;

struct CorpusFile {
    std::string name;
    bool broken;  // a message is expected
    std::function<void(const std::string& path)> make;
};

std::vector<CorpusFile> corpus()
{
    return {
        {"empty file", true, [](const std::string& p) { writeFile(p, ""); }},
        {"a folder in its place", true, [](const std::string& p) { fs::create_directory(p); }},
        {"random bytes", true,
         [](const std::string& p) {
             std::mt19937 gen(7);
             std::string bytes(4096, '\0');
             for (char& c : bytes) c = static_cast<char>(gen() & 0xFF);
             writeFile(p, bytes);
         }},
        {"truncated database", true,
         [](const std::string& p) {
             execSql(p + ".full", kValid);
             writeFile(p, readBytes(p + ".full").substr(0, 1024));
             fs::remove(p + ".full");
         }},
        {"missing table", true,
         [](const std::string& p) {
             execSql(p,
                     "CREATE TABLE ky (a TEXT, b TEXT, c TEXT, d TEXT, e TEXT);"
                     "INSERT INTO ky VALUES ('S', 'R', 'L', 'H', 'B');");
         }},
        {"too few fields", true,
         [](const std::string& p) {
             execSql(p,
                     "CREATE TABLE ky (a TEXT, b TEXT, c TEXT, d TEXT, e TEXT);"
                     "CREATE TABLE en (a INTEGER, b INTEGER, c INTEGER);"
                     "INSERT INTO ky VALUES ('S', 'R', 'L', 'H', 'B');"
                     "INSERT INTO en VALUES (0, 0, 0);");
         }},
        {"empty table", true,
         [](const std::string& p) {
             execSql(p, std::string(kTables) + "INSERT INTO ky VALUES ('S', 'R', 'L', 'H', 'B');");
         }},
        {"Null in a field", true,
         [](const std::string& p) {
             execSql(p, std::string(kTables) +
                            "INSERT INTO ky VALUES ('S', 'R', NULL, 'H', 'B');"
                            "INSERT INTO en VALUES (0, 0, 0, 0, 0);");
         }},
        {"text flag", true,
         [](const std::string& p) {
             execSql(p, std::string(kTables) +
                            "INSERT INTO ky VALUES ('S', 'R', 'L', 'H', 'B');"
                            "INSERT INTO en VALUES (0, 0, 'yes', 0, 0);");
         }},
        {"extra fields", false,
         [](const std::string& p) {
             execSql(p,
                     "CREATE TABLE ky (a TEXT, b TEXT, c TEXT, d TEXT, e TEXT, f TEXT, g TEXT);"
                     "CREATE TABLE en (a INTEGER, b INTEGER, c INTEGER, d INTEGER, e INTEGER, f INTEGER);"
                     "INSERT INTO ky VALUES ('S', 'R', 'L', 'H', 'B', 'X', NULL);"
                     "INSERT INTO en VALUES (0, 0, 0, 0, 0, 1);");
         }},
        {"extra records", false,
         [](const std::string& p) {
             execSql(p, kValid +
                            "INSERT INTO ky VALUES ('1', '2', '3', '4', '5');"
                            "INSERT INTO en VALUES (1, 1, 1, 1, 1);");
         }},
        {"multi-character key", false,
         [](const std::string& p) {
             execSql(p, std::string(kTables) +
                            "INSERT INTO ky VALUES ('SHUT', 'R', 'L', 'H', 'B');"
                            "INSERT INTO en VALUES (0, 0, 0, 0, 0);");
         }},
    };
}

TEST(SettingsCorpus, EveryFileLeavesTheProgramRunningAndTheFileAsItWas)
{
    for (const CorpusFile& entry : corpus()) {
        SCOPED_TRACE(entry.name);
        TempDir dir;
        entry.make(dir.file());
        const std::string before = readBytes(dir.file());

        ProgramRun run(dir.path());
        run.holdEveryKey();
        EXPECT_FALSE(run.powerRequested()) << run.sim.powerCalls().front();
        EXPECT_EQ(run.count("MessageBox("), entry.broken ? 1u : 0u);
        if (entry.broken) {
            EXPECT_EQ(run.count("MessageBox(\"Tolvane 3.0\", \"", dir.file()), 1u) << "one message, naming the file";
        }

        run.lines.clear();
        run.scheduleShutdownInOneMinute();
        EXPECT_EQ(run.count("Form1.Label3.Caption = \"Shutdown After 00:01"), 1u);
        EXPECT_EQ(run.sim.powerCalls(), std::vector<std::string>{"ExitWindowsEx(5, 0)"});
        EXPECT_EQ(run.count("MessageBox("), 0u);

        EXPECT_EQ(readBytes(dir.file()), before) << "the file was changed";
    }
}

// The same through the scenario runner, as tolvane-sim users write it: the run ends with
// status 0 and the broken file stays as it was.
TEST(SettingsCorpus, TheScenarioRunnerTakesABrokenFileInItsStride)
{
    TempDir dir;
    writeFile(dir.file(), "not a database at all");
    std::string keys;
    for (char c = 'A'; c <= 'Z'; ++c) keys += std::string(" ") + c;
    for (char c = '0'; c <= '9'; ++c) keys += std::string(" ") + c;
    std::ostringstream out, err;
    std::istringstream scenario("windir " + dir.path() + "\nstart\nkeydown ctrl alt" + keys +
                                "\nadvance 300ms\nkeyup ctrl alt" + keys +
                                "\ntray left\nclick Form1.Command1\nadvance 1m\n");
    {
        ScenarioRunner runner(out, err, kDefaultSettings);
        EXPECT_EQ(runner.run(scenario), 0) << err.str();
    }
    const std::string transcript = out.str();
    EXPECT_NE(transcript.find("MessageBox(\"Tolvane 3.0\", \"The hotkey settings in " + dir.file()), std::string::npos)
        << transcript;
    const size_t power = transcript.find("ExitWindowsEx(");
    ASSERT_NE(power, std::string::npos);
    EXPECT_EQ(transcript.compare(power, 19, "ExitWindowsEx(5, 0)"), 0);
    EXPECT_EQ(transcript.find("SetSystemPowerState("), std::string::npos);
    EXPECT_EQ(transcript.find("ExitWindowsEx(", power + 1), std::string::npos);
    EXPECT_LT(transcript.find("Form1.Visible = True"), power);  // after the tray click, not on a hotkey
    EXPECT_EQ(readBytes(dir.file()), "not a database at all");
}

// A well-formed file is read by its rules: the first record, the first five fields, and
// the first character of a key.
TEST(SettingsCorpus, WellFormedFilesAreReadByTheirFirstRecordFieldsAndCharacter)
{
    TempDir dir;
    execSql(dir.file(),
            "CREATE TABLE ky (a TEXT, b TEXT, c TEXT, d TEXT, e TEXT, f TEXT);"
            "CREATE TABLE en (a INTEGER, b INTEGER, c INTEGER, d INTEGER, e INTEGER, f INTEGER);"
            "INSERT INTO ky VALUES ('SX', 'R', 'L', 'H', 'B', 'Q');"
            "INSERT INTO en VALUES (1, 0, 0, 0, 0, 1);"
            "INSERT INTO ky VALUES ('Q', 'W', 'E', 'T', 'Y', 'U');"
            "INSERT INTO en VALUES (1, 1, 1, 1, 1, 1);");
    ProgramRun run(dir.path());
    EXPECT_EQ(run.program.hk().combo1.items(),
              (std::vector<std::string>{"Shutdown on Ctrl+Alt+SX Enabled", "Restart on Ctrl+Alt+R Disabled",
                                        "Log off on Ctrl+Alt+L Disabled", "Hibernate on Ctrl+Alt+H Disabled",
                                        "Stand By on Ctrl+Alt+B Disabled"}));
    EXPECT_EQ(run.count("MessageBox("), 0u);

    for (int key : {17, 18}) run.sim.keyDown(key);
    for (char key : std::string("XQWETYURLHB")) run.sim.keyDown(key);
    run.sim.advance(300);
    EXPECT_FALSE(run.powerRequested()) << run.sim.powerCalls().front();

    run.sim.keyDown('S');
    run.sim.advance(100);
    run.sim.keyUp('S');
    run.sim.advance(100);
    EXPECT_EQ(run.sim.powerCalls(), std::vector<std::string>{"ExitWindowsEx(5, 0)"});
}

// Another program holds the file locked while this one starts: told once, no hotkeys.
TEST(SettingsCorpus, AFileLockedAtStartIsToldOnceAndLeftAlone)
{
    TempDir dir;
    execSql(dir.file(), kValid);
    const std::string before = readBytes(dir.file());
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(dir.file().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    ProgramRun run(dir.path());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_EQ(run.count("MessageBox(\"Tolvane 3.0\", \"", dir.file()), 1u);
    EXPECT_EQ(run.program.form1().hotkeySettings.hkeychar, (std::array<std::string, 5>{}));
    run.holdEveryKey();
    EXPECT_FALSE(run.powerRequested());
    run.lines.clear();
    run.save("QWERT", {1, 1, 1, 1, 1});  // nothing is written to a file that could not be read
    EXPECT_EQ(run.count("Settings Saved"), 0u);
    EXPECT_EQ(run.count("MessageBox("), 1u);
    EXPECT_EQ(readBytes(dir.file()), before);
}

}  // namespace
}  // namespace tolvane
