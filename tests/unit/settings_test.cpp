// The settings store and what the program does with settings files that are broken,
// odd or missing. Every file is made here, with the SQLite C API or byte by byte.
#include "tests/unit/settings_fixture.h"

namespace tolvane {
namespace {

using namespace settings_tests;

// --- Saving ----------------------------------------------------------------------------

TEST(SettingsSave, BothRecordsAreWrittenInOneTransaction)
{
    TempDir dir;
    execSql(dir.file(),
            "CREATE TABLE ky (a TEXT, b TEXT, c TEXT, d TEXT, e TEXT, f TEXT);"
            "CREATE TABLE en (a INTEGER, b INTEGER, c INTEGER, d INTEGER, e INTEGER, f INTEGER);"
            "INSERT INTO ky VALUES ('S', 'R', 'L', 'H', 'B', 'extra');"
            "INSERT INTO en VALUES (0, 0, 0, 0, 0, 7);"
            "INSERT INTO ky VALUES ('1', '2', '3', '4', '5', 'second');"
            "INSERT INTO en VALUES (1, 1, 1, 1, 1, 8);");
    ProgramRun run(dir.path());
    run.lines.clear();
    run.save("QWERT", {1, 0, 1, 0, 1});

    EXPECT_EQ(query(dir.file(), "SELECT * FROM ky ORDER BY rowid"),
              (std::vector<std::string>{"Q,W,E,R,T,extra", "1,2,3,4,5,second"}));
    EXPECT_EQ(query(dir.file(), "SELECT * FROM en ORDER BY rowid"),
              (std::vector<std::string>{"1,0,1,0,1,7", "1,1,1,1,1,8"}));

    const size_t begin = run.find("Connection.BeginTrans()");
    const size_t en = run.find("en.Update()", begin);
    const size_t ky = run.find("ky.Update()", en);
    const size_t commit = run.find("Connection.CommitTrans()", ky);
    EXPECT_LT(commit, run.lines.size());
    EXPECT_EQ(run.count("Connection.BeginTrans()"), 1u);
    EXPECT_EQ(run.count("Update()"), 2u);
    EXPECT_LT(commit, run.find("MessageBox(\"Tolvane 3.0\", \"Settings Saved\")"));

    const Form1& form = run.program.form1();
    EXPECT_EQ(form.hotkeySettings.hkeychar, (std::array<std::string, 5>{"Q", "W", "E", "R", "T"}));
    EXPECT_EQ(form.hotkeySettings.hkeyflag, (std::array<std::string, 5>{"1", "0", "1", "0", "1"}));
    EXPECT_EQ(run.program.hk().combo1.items().at(1), "Restart on Ctrl+Alt+W Disabled");
}

// The key state hears what the monitor acts on whenever the cached copies change: Ctrl and
// Alt, and each row's key and flag; a save says so, and a file that went bad leaves no row.
TEST(SettingsSave, TheKeyStateIsToldWhatTheMonitorActsOnAtEveryRead)
{
    TempDir dir;
    execSql(dir.file(), kValid);
    ProgramRun run(dir.path());
    const WatchedKeys& told = run.sim.watchedKeys();
    EXPECT_EQ(told.modifiers, (std::vector<int>{17, 18}));
    EXPECT_EQ(told.rows,
              (std::vector<WatchedKeys::Row>{{'S', false}, {'R', false}, {'L', false}, {'H', false}, {'B', false}}));
    EXPECT_FALSE(told.saved);

    run.save("Q1ERT", {1, 0, 0, 0, 1});
    EXPECT_EQ(told.rows.at(0), (WatchedKeys::Row{'Q', true}));
    EXPECT_EQ(told.rows.at(1), (WatchedKeys::Row{'1', false}));
    EXPECT_TRUE(told.saved);

    execSql(dir.file(), "UPDATE en SET b = 'x'");
    run.reopenHotkeyWindow();
    EXPECT_EQ(told.rows, std::vector<WatchedKeys::Row>(5));
}

// When the second record cannot be written, the first is not written either.
TEST(SettingsSave, AFailureHalfwayLeavesNeitherRecordWritten)
{
    TempDir dir;
    execSql(dir.file(),
            kValid + "CREATE TRIGGER refuse BEFORE UPDATE ON ky BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    const std::string before = readBytes(dir.file());
    ProgramRun run(dir.path());
    run.lines.clear();
    run.save("QWERT", {1, 1, 1, 1, 1});

    EXPECT_EQ(run.count("Connection.RollbackTrans()"), 1u);
    EXPECT_EQ(run.count("not saved"), 1u);
    EXPECT_EQ(run.count("Settings Saved"), 0u);
    EXPECT_EQ(query(dir.file(), "SELECT * FROM en"), std::vector<std::string>{"0,0,0,0,0"});
    EXPECT_EQ(readBytes(dir.file()), before);
    EXPECT_EQ(run.program.form1().hotkeySettings.hkeyflag, (std::array<std::string, 5>{"0", "0", "0", "0", "0"}));
}

TEST(SettingsSave, ALockedFileIsNotSavedAndNothingChanges)
{
    TempDir dir;
    execSql(dir.file(), kValid);
    ProgramRun run(dir.path());
    const std::vector<std::string> listBefore = run.program.hk().combo1.items();
    const auto charsBefore = run.program.form1().hotkeySettings.hkeychar;
    const auto flagsBefore = run.program.form1().hotkeySettings.hkeyflag;
    const std::string bytesBefore = readBytes(dir.file());

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(dir.file().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    run.lines.clear();
    run.save("QWERT", {1, 1, 1, 1, 1});
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_EQ(run.count("MessageBox(\"Tolvane 3.0\", \"The hotkey settings were not saved"), 1u);
    EXPECT_EQ(run.count("Settings Saved"), 0u);
    EXPECT_EQ(readBytes(dir.file()), bytesBefore);
    EXPECT_EQ(run.program.hk().combo1.items(), listBefore);
    EXPECT_EQ(run.program.form1().hotkeySettings.hkeychar, charsBefore);
    EXPECT_EQ(run.program.form1().hotkeySettings.hkeyflag, flagsBefore);
    // The boxes keep what the user typed.
    EXPECT_EQ(run.program.hk().Text1.text(), "Q");

    // Once the lock is gone the same SET saves.
    run.lines.clear();
    run.program.hk().Command1.userClick();
    EXPECT_EQ(run.count("Settings Saved"), 1u);
    EXPECT_EQ(query(dir.file(), "SELECT * FROM ky"), std::vector<std::string>{"Q,W,E,R,T"});
}

// A store that behaves as ADO's recordsets do: set values wait in an edit buffer and
// read back as if stored until Update stores them, and stay there when Update fails,
// until CancelUpdate drops them.
class EditBufferStore : public StoreApi {
public:
    explicit EditBufferStore(StoreApi& inner) : inner_(inner) {}
    std::unique_ptr<Connection> createConnection() override
    {
        return std::make_unique<BufferedConnection>(inner_.createConnection());
    }

private:
    class BufferedRecordset : public Recordset {
    public:
        explicit BufferedRecordset(std::unique_ptr<Recordset> inner) : inner_(std::move(inner)) {}
        Result<std::string> fieldText(int16_t position) override
        {
            auto it = buffer_.find(position);
            if (it == buffer_.end()) return inner_->fieldText(position);
            return it->second.isText ? it->second.text : std::to_string(it->second.number);
        }
        Result<void> setField(int16_t position, const FieldValue& value) override
        {
            buffer_[position] = value;
            return success();
        }
        Result<void> update() override
        {
            for (const auto& [position, value] : buffer_)
                if (auto r = inner_->setField(position, value); !r) return r;
            if (auto r = inner_->update(); !r) return r;
            buffer_.clear();
            return success();
        }
        Result<void> cancelUpdate() override
        {
            buffer_.clear();
            return inner_->cancelUpdate();
        }

    private:
        std::unique_ptr<Recordset> inner_;
        std::map<int16_t, FieldValue> buffer_;
    };
    class BufferedConnection : public Connection {
    public:
        explicit BufferedConnection(std::unique_ptr<Connection> inner) : inner_(std::move(inner)) {}
        Result<void> open(const std::string& c, const std::string& u, const std::string& p, int o) override
        {
            return inner_->open(c, u, p, o);
        }
        Result<std::unique_ptr<Recordset>> openRecordset(const std::string& s, int c, int l, int o) override
        {
            auto opened = inner_->openRecordset(s, c, l, o);
            if (!opened) return opened.error();
            return std::unique_ptr<Recordset>(std::make_unique<BufferedRecordset>(std::move(opened.value())));
        }
        Result<void> beginTrans() override { return inner_->beginTrans(); }
        Result<void> commitTrans() override { return inner_->commitTrans(); }
        Result<void> rollbackTrans() override { return inner_->rollbackTrans(); }

    private:
        std::unique_ptr<Connection> inner_;
    };
    StoreApi& inner_;
};

// A refused save leaves nothing behind in the recordsets: the hotkey window opened again
// shows, and the monitor uses, what the file holds.
TEST(SettingsSave, AFailedSaveIsDroppedFromTheRecordsetsBeforeTheRollback)
{
    TempDir dir;
    execSql(dir.file(),
            kValid + "CREATE TRIGGER refuse BEFORE UPDATE ON ky BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    SimPlatform plain(dir.path(), kDefaultSettings, [](const std::string&) {});
    EditBufferStore store(plain.platform().store);
    ProgramRun run(dir.path(), &store);
    run.program.form1().Command2.userClick();
    run.lines.clear();
    run.save("QWERT", {1, 1, 1, 1, 1});
    EXPECT_EQ(run.count("The hotkey settings were not saved: "), 1u);

    run.reopenHotkeyWindow();
    HK& hk = run.program.hk();
    EXPECT_EQ(hk.Text1.text(), "S");
    EXPECT_EQ(hk.Check1.value(), 0);
    EXPECT_EQ(hk.combo1.items().front(), "Shutdown on Ctrl+Alt+S Disabled");
    EXPECT_EQ(run.program.form1().hotkeySettings.hkeychar, (std::array<std::string, 5>{"S", "R", "L", "H", "B"}));
    run.holdEveryKey();
    EXPECT_FALSE(run.powerRequested()) << run.sim.powerCalls().front();
}

TEST(SettingsSave, TheRecordsetsAreCancelledBeforeTheRollbackIsAsked)
{
    TempDir dir;
    execSql(dir.file(),
            kValid + "CREATE TRIGGER refuse BEFORE UPDATE ON ky BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    ProgramRun run(dir.path());
    run.lines.clear();
    run.save("QWERT", {1, 1, 1, 1, 1});
    const size_t failed = run.find("ky.Update() -> error: ");
    const size_t en = run.find("en.CancelUpdate()", failed);
    const size_t ky = run.find("ky.CancelUpdate()", failed);
    const size_t rollback = run.find("Connection.RollbackTrans()", failed);
    ASSERT_LT(rollback, run.lines.size());
    EXPECT_LT(en, rollback);
    EXPECT_LT(ky, rollback);
}

// Stored, but the settings cannot be read back: the user is not told the file was left
// alone, and the hotkeys stay off rather than act on values that were not read.
TEST(SettingsSave, ASavedFileThatCannotBeReadBackIsToldAsSaved)
{
    TempDir dir;
    execSql(dir.file(), kValid + "CREATE TRIGGER gone AFTER UPDATE ON ky BEGIN DELETE FROM en; END;");
    ProgramRun run(dir.path());
    run.lines.clear();
    run.save("QWERT", {1, 1, 1, 1, 1});
    EXPECT_EQ(run.count("Connection.CommitTrans()"), 1u);
    EXPECT_EQ(run.count("MessageBox(\"Tolvane 3.0\", \"The hotkey settings were saved in " + dir.file() +
                        ", but cannot be read back: "),
              1u);
    EXPECT_EQ(run.count("leaves the file as it is"), 0u);
    EXPECT_EQ(run.count("Settings Saved"), 0u);
    EXPECT_EQ(run.count("MessageBox("), 1u);
    EXPECT_EQ(query(dir.file(), "SELECT * FROM ky"), std::vector<std::string>{"Q,W,E,R,T"});
    run.holdEveryKey();
    EXPECT_FALSE(run.powerRequested()) << run.sim.powerCalls().front();
}

// --- What counts as enabled ------------------------------------------------------------

// The check box, the list line and the monitor take a flag by one rule: its number is 1.
TEST(SettingsFlags, AFlagWhoseNumberIsOneIsEnabledEverywhereAndNothingElseIs)
{
    const std::vector<std::pair<std::string, bool>> flags = {
        {"'1'", true}, {"'01'", true}, {"'+1'", true}, {"' 1'", true},  {"'1 '", true},
        {"1", true},   {"0", false},   {"2", false},   {"'-1'", false}, {"'10'", false}};
    for (const auto& [flag, enabled] : flags) {
        SCOPED_TRACE(flag);
        TempDir dir;
        // Texts in the flag fields keep their spelling: the table holds no numbers.
        execSql(dir.file(),
                "CREATE TABLE ky (a TEXT, b TEXT, c TEXT, d TEXT, e TEXT);"
                "CREATE TABLE en (a TEXT, b TEXT, c TEXT, d TEXT, e TEXT);"
                "INSERT INTO ky VALUES ('S', 'R', 'L', 'H', 'B');"
                "INSERT INTO en VALUES (" +
                    flag + ", 0, 0, 0, 0);");
        ProgramRun run(dir.path());
        ASSERT_EQ(run.count("MessageBox("), 0u);
        EXPECT_EQ(run.program.hk().Check1.value(), enabled ? 1 : 0);
        EXPECT_EQ(run.program.hk().combo1.items().front(),
                  std::string("Shutdown on Ctrl+Alt+S ") + (enabled ? "Enabled" : "Disabled"));
        for (int key : {17, 18, static_cast<int>('S')}) run.sim.keyDown(key);
        run.sim.advance(100);
        EXPECT_EQ(run.sim.powerCalls(),
                  enabled ? std::vector<std::string>{"ExitWindowsEx(5, 0)"} : std::vector<std::string>{});
    }
}

// A stored key is polled as its first character's code in the ANSI code page (Latin-1); a
// character the code page lacks is no key, and neither is one cut short.
TEST(SettingsKeys, AKeyIsItsFirstCharactersAnsiCode)
{
    EXPECT_EQ(keyCode("S"), 'S');
    EXPECT_EQ(keyCode("\xC3\xA9"), 0xE9);  // é
    EXPECT_EQ(keyCode("\xC3\xA9S"), 0xE9);
    EXPECT_EQ(keyCode("\xE2\x82\xAC"), std::nullopt);  // €
    EXPECT_EQ(keyCode("\xC3"), std::nullopt);
    EXPECT_EQ(keyCode(""), std::nullopt);
}

// --- Where the file comes from ---------------------------------------------------------

TEST(SettingsFile, AnAbsentFileGetsTheDeliveredDefault)
{
    TempDir dir;
    ASSERT_TRUE(fs::exists(kDefaultSettings));
    ProgramRun run(dir.path());
    EXPECT_EQ(run.count("MessageBox("), 0u);
    ASSERT_TRUE(fs::exists(dir.file()));
    EXPECT_EQ(readBytes(dir.file()), readBytes(kDefaultSettings));
    EXPECT_EQ(run.program.form1().hotkeySettings.hkeychar, (std::array<std::string, 5>{"S", "R", "L", "H", "B"}));
}

TEST(SettingsFile, AnExistingFileIsNeverReplaced)
{
    TempDir dir;
    execSql(dir.file(), std::string(kTables) +
                            "INSERT INTO ky VALUES ('Q', 'W', 'E', 'T', 'Y');"
                            "INSERT INTO en VALUES (0, 1, 0, 1, 0);");
    const std::string before = readBytes(dir.file());
    ASSERT_NE(before, readBytes(kDefaultSettings));
    {
        ProgramRun run(dir.path());
        EXPECT_EQ(run.program.hk().Text1.text(), "Q");
        EXPECT_EQ(run.program.hk().Check2.value(), 1);
    }
    EXPECT_EQ(readBytes(dir.file()), before);
}

// A settings file replaced by rename while the program runs (a backup restored, a dotfiles
// sync) is the one read and written from then on; one removed is put back as at start-up.
TEST(SettingsFile, AFileReplacedWhileRunningIsReadAndWrittenAsItself)
{
    TempDir dir;
    execSql(dir.file(), kValid);
    ProgramRun run(dir.path());
    execSql(dir.file() + ".new", std::string(kTables) +
                                     "INSERT INTO ky VALUES ('Q', 'W', 'E', 'T', 'Y');"
                                     "INSERT INTO en VALUES (0, 1, 0, 1, 0);");
    fs::rename(dir.file() + ".new", dir.file());
    run.reopenHotkeyWindow();
    EXPECT_EQ(run.program.hk().Text1.text(), "Q");
    EXPECT_EQ(run.program.hk().Check2.value(), 1);
    run.lines.clear();
    run.save("ABCDE", {1, 1, 1, 1, 1});
    EXPECT_EQ(run.count("Settings Saved"), 1u) << run.lines.back();
    EXPECT_EQ(query(dir.file(), "SELECT * FROM ky"), std::vector<std::string>{"A,B,C,D,E"});

    fs::remove(dir.file());
    run.reopenHotkeyWindow();
    EXPECT_EQ(readBytes(dir.file()), readBytes(kDefaultSettings));
    EXPECT_EQ(run.program.hk().Text1.text(), "S");
}

}  // namespace
}  // namespace tolvane
