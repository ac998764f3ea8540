// The notification area: one icon per (window, uID), and clicks delivered as the
// callback messages of the decoding table.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <utility>
#include <vector>

#include "platform/qt/ui/qt_tray.h"
#include "tray/notify_record.h"

namespace tolvane::test {
namespace {

NotifyIconRecord record(uint32_t hWnd, uint32_t uID, uint32_t flags, uint32_t icon, const std::string& tip)
{
    NotifyRecord r;
    r.cbSize = 88;
    r.hWnd = hWnd;
    r.uID = uID;
    r.uFlags = flags;
    r.uCallbackMessage = 512;
    r.hIcon = icon;
    r.szTip = tipField(tip);
    return r.bytes();
}

class Tray : public ::testing::Test {
protected:
    void SetUp() override
    {
        hWnd_ = tray_.createMessageWindow(
            [this](uint32_t message, uint32_t lParam) { received_.emplace_back(message, lParam); });
    }
    void TearDown() override { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QtTray tray_;
    uint32_t hWnd_ = 0;
    std::vector<std::pair<uint32_t, uint32_t>> received_;
};

TEST_F(Tray, AddModifyAndDeleteNameTheIconByWindowAndId)
{
    ASSERT_TRUE(tray_.Shell_NotifyIcon(kNimAdd, record(hWnd_, 7, kNifMessage | kNifIcon | kNifTip, 1, "Open")));
    QSystemTrayIcon* icon = tray_.icon(hWnd_, 7);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->toolTip(), "Open");
    EXPECT_FALSE(icon->icon().isNull());
    EXPECT_FALSE(tray_.Shell_NotifyIcon(kNimAdd, record(hWnd_, 7, kNifMessage, 0, ""))) << "one icon per id";

    // A modify carries only the fields its flags name.
    EXPECT_TRUE(tray_.Shell_NotifyIcon(kNimModify, record(hWnd_, 7, kNifTip, 0, "Later")));
    EXPECT_EQ(icon->toolTip(), "Later");
    EXPECT_FALSE(icon->icon().isNull());
    EXPECT_FALSE(tray_.Shell_NotifyIcon(kNimModify, record(hWnd_, 8, kNifTip, 0, "x"))) << "no such icon";

    // A tip of 64 characters or more has no NUL: all 64 are shown.
    EXPECT_TRUE(tray_.Shell_NotifyIcon(kNimModify, record(hWnd_, 7, kNifTip, 0, std::string(70, 'x'))));
    EXPECT_EQ(icon->toolTip(), QString(64, 'x'));

    EXPECT_FALSE(tray_.Shell_NotifyIcon(kNimDelete, record(hWnd_, 8, 0, 0, "")));
    EXPECT_TRUE(tray_.Shell_NotifyIcon(kNimDelete, record(hWnd_, 7, 0, 0, "")));
    EXPECT_EQ(tray_.icon(hWnd_, 7), nullptr);
    EXPECT_FALSE(tray_.Shell_NotifyIcon(kNimDelete, record(hWnd_, 7, 0, 0, "")));
}

TEST_F(Tray, AnIconWithoutAPictureIsAddedAllTheSame)
{
    ASSERT_TRUE(tray_.Shell_NotifyIcon(kNimAdd, record(hWnd_, 3, kNifMessage, 0, "")));
    ASSERT_NE(tray_.icon(hWnd_, 3), nullptr);
    EXPECT_TRUE(tray_.icon(hWnd_, 3)->icon().isNull());
}

TEST_F(Tray, ClicksArriveAsTheMouseMessagesOfTheDecodingTable)
{
    ASSERT_TRUE(tray_.Shell_NotifyIcon(kNimAdd, record(hWnd_, 9, kNifMessage, 1, "Open")));
    tray_.activated(hWnd_, 9, QSystemTrayIcon::Trigger);
    tray_.activated(hWnd_, 9, QSystemTrayIcon::Context);
    tray_.activated(hWnd_, 9, QSystemTrayIcon::DoubleClick);
    tray_.activated(hWnd_, 9, QSystemTrayIcon::MiddleClick);
    tray_.activated(hWnd_, 10, QSystemTrayIcon::Trigger);  // no such icon
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {512, 513}, {512, 514}, {512, 516}, {512, 517}, {512, 515}};
    EXPECT_EQ(received_, expected);
}

TEST_F(Tray, TheReleaseStillArrivesWhenThePressDeletedTheIcon)
{
    tray_.destroyMessageWindow(hWnd_);
    const uint32_t hWnd = tray_.createMessageWindow([this](uint32_t message, uint32_t lParam) {
        received_.emplace_back(message, lParam);
        if (lParam == 513) tray_.Shell_NotifyIcon(kNimDelete, record(hWnd_, 4, 0, 0, ""));
    });
    hWnd_ = hWnd;
    ASSERT_TRUE(tray_.Shell_NotifyIcon(kNimAdd, record(hWnd, 4, kNifMessage, 1, "Open")));
    tray_.activated(hWnd, 4, QSystemTrayIcon::Trigger);
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{512, 513}, {512, 514}};
    EXPECT_EQ(received_, expected);
    EXPECT_EQ(tray_.iconCount(), 0u);
}

TEST_F(Tray, AWindowThatIsGoneReceivesNothing)
{
    ASSERT_TRUE(tray_.Shell_NotifyIcon(kNimAdd, record(hWnd_, 5, kNifMessage, 1, "Open")));
    tray_.destroyMessageWindow(hWnd_);
    tray_.activated(hWnd_, 5, QSystemTrayIcon::Trigger);
    EXPECT_TRUE(received_.empty());
}

}  // namespace
}  // namespace tolvane::test
