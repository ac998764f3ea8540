// The settings stores of the Windows program: ADO over Jet (under Wine: its orderly
// failure) and the dry-run program's text-file store.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/model/connection_string.h"
#include "platform/win32/ado_store.h"
#include "platform/win32/text_store.h"
#include "tests/file_contents.h"
#include "tests/win32/paths.h"

#include <windows.h>
#include <objbase.h>

using namespace tolvane;
using test::readFile;
using test::tempPath;
using test::writeFile;

namespace {

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string connectionFor(const std::string& file)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file + ";Persist Security Info=False";
}

class Com : public ::testing::Test {
protected:
    Com() { CoInitialize(nullptr); }
    ~Com() override { CoUninitialize(); }
};

class TextStoreTest : public ::testing::Test {
protected:
    TextStoreTest() : path(tempPath("tolv-store-test.txt"))
    {
        writeFile(path, "ky\tS\tR\tL\tH\tB\r\nen\t1\t0\t0\t0\t0\r\n");
    }
    ~TextStoreTest() override { std::remove(path.c_str()); }

    struct Opened {
        std::unique_ptr<Connection> connection;
        std::unique_ptr<Recordset> ky, en;
    };
    Opened open()
    {
        Opened o;
        o.connection = win32::TextStore(path).createConnection();
        EXPECT_TRUE(o.connection->open(connectionFor("ignored"), "", "", -1));
        o.ky = std::move(o.connection->openRecordset("select * from ky", 2, 3, -1).value());
        o.en = std::move(o.connection->openRecordset("select * from en", 2, 3, -1).value());
        return o;
    }
    std::string path;
};

}  // namespace

TEST_F(Com, AdoWithoutJetFailsInOrderAndCreatesNoFile)
{
    // Wine has ADO but no Jet provider and no ADOX catalog: the open fails with a
    // reason, and the folder is left as it was.
    const std::string file = tempPath("tolv-absent.v");
    DeleteFileA(file.c_str());
    auto connection = win32::AdoStore().createConnection();
    auto opened = connection->open(connectionFor(file), "", "", -1);
    if (opened) GTEST_SKIP() << "this system has Jet: the failure path cannot be shown here";
    EXPECT_FALSE(opened.error().message.empty());
    EXPECT_FALSE(exists(file));
    EXPECT_FALSE(connection->openRecordset("select * from ky", 2, 3, -1));
    EXPECT_FALSE(connection->beginTrans());
}

TEST_F(Com, AdoLeavesAnExistingFileUntouchedWhenItCannotOpenIt)
{
    const std::string file = tempPath("tolv-present.v");
    const std::string content = "not a Jet database\r\n";
    writeFile(file, content);
    auto connection = win32::AdoStore().createConnection();
    auto opened = connection->open(connectionFor(file), "", "", -1);
    if (opened) GTEST_SKIP() << "this system has Jet";
    EXPECT_FALSE(opened.error().message.empty());
    EXPECT_EQ(readFile(file), content);
    DeleteFileA(file.c_str());
}

// Two first starts at once (tolv.exe beside the dry run) may both make the default
// settings, each under a name of its own: the later one keeps the file the earlier one
// put in place and removes only its own.
TEST(AdoDefault, ANewFileIsPutInPlaceButNeverOverOneAnotherProcessMade)
{
    const std::string file = tempPath("tolv-placed.v"), draft = file + ".7.new";
    EXPECT_EQ(withDataSource(connectionFor(file), draft), connectionFor(draft));
    DeleteFileA(file.c_str());
    writeFile(draft, "first");
    EXPECT_TRUE(win32::placeNewFile(draft, file));
    EXPECT_EQ(readFile(file), "first");
    writeFile(draft, "second");
    EXPECT_TRUE(win32::placeNewFile(draft, file));
    EXPECT_EQ(readFile(file), "first");
    EXPECT_FALSE(exists(draft));
    DeleteFileA(file.c_str());
}

TEST_F(TextStoreTest, FieldsByPositionAsText)
{
    auto o = open();
    EXPECT_EQ(o.ky->fieldText(0).value(), "S");
    EXPECT_EQ(o.ky->fieldText(4).value(), "B");
    EXPECT_EQ(o.en->fieldText(0).value(), "1");
    EXPECT_EQ(o.en->fieldText(1).value(), "0");
    EXPECT_FALSE(o.en->fieldText(5));
    EXPECT_FALSE(o.en->fieldText(-1));
    EXPECT_FALSE(o.connection->openRecordset("select * from zz", 2, 3, -1));
}

TEST_F(TextStoreTest, BothRecordsAreWrittenInOneTransaction)
{
    auto o = open();
    ASSERT_TRUE(o.connection->beginTrans());
    for (int16_t i = 0; i < 5; ++i) ASSERT_TRUE(o.en->setField(i, FieldValue{false, "", static_cast<int16_t>(i % 2)}));
    ASSERT_TRUE(o.en->update());
    // Nothing reaches the file before the commit...
    EXPECT_EQ(readFile(path), "ky\tS\tR\tL\tH\tB\r\nen\t1\t0\t0\t0\t0\r\n");
    // ...but the same recordset reads what was just written.
    EXPECT_EQ(o.en->fieldText(1).value(), "1");
    const char* keys[] = {"A", "B", "C", "D", "E"};
    for (int16_t i = 0; i < 5; ++i) ASSERT_TRUE(o.ky->setField(i, FieldValue{true, keys[i], 0}));
    ASSERT_TRUE(o.ky->update());
    ASSERT_TRUE(o.connection->commitTrans());
    EXPECT_EQ(readFile(path), "en\t0\t1\t0\t1\t0\r\nky\tA\tB\tC\tD\tE\r\n");
    // The next run reads what was saved.
    auto again = open();
    EXPECT_EQ(again.ky->fieldText(2).value(), "C");
    EXPECT_EQ(again.en->fieldText(3).value(), "1");
}

TEST_F(TextStoreTest, ARolledBackTransactionChangesNothing)
{
    auto o = open();
    ASSERT_TRUE(o.connection->beginTrans());
    ASSERT_TRUE(o.en->setField(0, FieldValue{false, "", 0}));
    ASSERT_TRUE(o.en->update());
    ASSERT_TRUE(o.connection->rollbackTrans());
    EXPECT_EQ(o.en->fieldText(0).value(), "1");
    EXPECT_EQ(readFile(path), "ky\tS\tR\tL\tH\tB\r\nen\t1\t0\t0\t0\t0\r\n");
    EXPECT_FALSE(o.connection->commitTrans());  // nothing open any more
}

TEST_F(TextStoreTest, AnUpdateOutsideATransactionIsWrittenAtOnce)
{
    auto o = open();
    ASSERT_TRUE(o.ky->setField(0, FieldValue{true, "Z", 0}));
    EXPECT_EQ(o.ky->fieldText(0).value(), "S");  // assigned, not yet updated
    ASSERT_TRUE(o.ky->update());
    EXPECT_EQ(o.ky->fieldText(0).value(), "Z");
    EXPECT_NE(readFile(path).find("ky\tZ\tR"), std::string::npos);
}

TEST_F(TextStoreTest, AMissingFileIsAFailure)
{
    std::remove(path.c_str());
    auto connection = win32::TextStore(path).createConnection();
    EXPECT_FALSE(connection->open("", "", "", -1));
    EXPECT_FALSE(connection->openRecordset("select * from ky", 2, 3, -1));
    EXPECT_FALSE(exists(path));
}

TEST_F(TextStoreTest, EmptyFieldsSurvive)
{
    writeFile(path, "ky\tS\t\tL\tH\t\r\nen\t1\t0\t0\t0\t0\r\n");
    auto o = open();
    EXPECT_EQ(o.ky->fieldText(1).value(), "");
    EXPECT_EQ(o.ky->fieldText(4).value(), "");
    EXPECT_EQ(o.ky->fieldText(3).value(), "H");
}
