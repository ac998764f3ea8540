// The byte layouts the logic builds, checked against the real Windows structures, and
// the pure helpers of the backend (the delivered script).
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "platform/win32/ado_store.h"
#include "platform/win32/default_settings.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_ui.h"
#include "tray/notify_record.h"

#include <windows.h>
#include <shellapi.h>

using namespace tolvane;

TEST(NotifyRecordLayout, MatchesTheFirstNotifyIconDataA)
{
    EXPECT_EQ(NOTIFYICONDATAA_V1_SIZE, 88u);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, cbSize), 0u);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, hWnd), 4u);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, uID), 8u);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, uFlags), 12u);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, uCallbackMessage), 16u);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, hIcon), 20u);
    EXPECT_EQ(offsetof(NOTIFYICONDATAA, szTip), 24u);
}

TEST(NotifyRecordLayout, TheLogicsBytesReadBackThroughTheRealStructure)
{
    NotifyRecord record;
    record.cbSize = 88;
    record.hWnd = 0x00010ABCu;
    record.uID = 46239;
    record.uFlags = kNifMessage + kNifIcon + kNifTip;
    record.uCallbackMessage = 512;
    record.hIcon = 0x12345678u;
    record.szTip = tipField("Open");
    NOTIFYICONDATAA data;
    std::memset(&data, 0xCC, sizeof data);
    win32::copyNotifyRecord(record.bytes(), &data);
    EXPECT_EQ(data.cbSize, 88u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data.hWnd), 0x00010ABCu);
    EXPECT_EQ(data.uID, 46239u);
    EXPECT_EQ(data.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(data.uCallbackMessage, 512u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(data.hIcon), 0x12345678u);
    EXPECT_STREQ(data.szTip, "Open");
    EXPECT_EQ(data.szTip[5], ' ');  // the NUL, then spaces to the end of the field
    EXPECT_EQ(data.szTip[63], ' ');
    // Nothing past the 88 bytes of the first version is touched.
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&data)[88], 0xCC);
}

TEST(NotifyRecordLayout, A64CharacterTipFillsTheFieldWithoutNul)
{
    NotifyRecord record;
    record.szTip = tipField(std::string(70, 'x'));
    NOTIFYICONDATAA data{};
    win32::copyNotifyRecord(record.bytes(), &data);
    EXPECT_EQ(std::string(data.szTip, 64), std::string(64, 'x'));
}

TEST(PrivilegeLayout, TokenPrivilegesMatchWindows)
{
    EXPECT_EQ(sizeof(tolvane::TokenPrivileges<1>), sizeof(TOKEN_PRIVILEGES));
    EXPECT_EQ(sizeof(tolvane::TokenPrivileges<1>), 16u);
    EXPECT_EQ(sizeof(tolvane::TokenPrivileges<2>), 28u);
    EXPECT_EQ(offsetof(TOKEN_PRIVILEGES, Privileges), 4u);
}

TEST(DefaultSettings, TheDeliveredScriptSplitsIntoJetStatements)
{
    const auto statements = win32::sqlStatements(win32::kDefaultSettingsSql);
    ASSERT_EQ(statements.size(), 4u);
    EXPECT_EQ(statements[0].rfind("CREATE TABLE ky (", 0), 0u);
    EXPECT_EQ(statements[1], "INSERT INTO ky VALUES ('S', 'R', 'L', 'H', 'B')");
    EXPECT_EQ(statements[2].rfind("CREATE TABLE en (", 0), 0u);
    EXPECT_EQ(statements[3], "INSERT INTO en VALUES (0, 0, 0, 0, 0)");
    for (const auto& s : statements) EXPECT_EQ(s.find("--"), std::string::npos) << s;
}

TEST(DefaultSettings, CommentsAndBlankStatementsAreDropped)
{
    const auto statements = win32::sqlStatements("-- a; comment\n  CREATE TABLE t (a TEXT);\n\n;\n  -- x\nSELECT 1");
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_EQ(statements[0], "CREATE TABLE t (a TEXT)");
    EXPECT_EQ(statements[1], "SELECT 1");
}
