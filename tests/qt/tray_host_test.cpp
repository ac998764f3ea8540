// The notification area as Qt 6 finds it on a desktop whose icons are StatusNotifierItems:
// the main window waits in it when a watcher with a host is on the session bus, and on the
// taskbar when there is none, also when a watcher comes or goes while the program runs.
// The X server of these tests has no XEmbed tray, so a StatusNotifierItem host is the only
// notification area there can be, as on Wayland. The watcher is python3-dbusmock with
// watcher_mock.py.
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QSystemTrayIcon>
#include <QTest>

#include "session_fixture.h"

namespace tolvane::test {
namespace {

const QString kWatcher = "org.kde.StatusNotifierWatcher";
const QString kWatcherPath = "/StatusNotifierWatcher";

class TrayHostTest : public SessionTest {
protected:
    void startWatcher(bool host = true)
    {
        watcher_ = std::make_unique<Mock>("watcher_mock.py", kWatcher, host ? "{}" : R"({"host": false})");
        ASSERT_TRUE(watcher_->started()) << "the watcher's mock did not come up";
    }
    void start()
    {
        ASSERT_NO_FATAL_FAILURE(writeSettings({}));
        startDesktop(false);
    }
    // The items that registered with the watcher.
    QStringList items()
    {
        const QDBusMessage reply = watcher_->call(kWatcherPath, "org.freedesktop.DBus.Properties", "Get",
                                                  {kWatcher, "RegisteredStatusNotifierItems"});
        return reply.arguments().isEmpty() ? QStringList()
                                           : reply.arguments().first().value<QDBusVariant>().variant().toStringList();
    }
    const NotifyRecord& record() { return form1().trayArea.trayRecord(); }
    QSystemTrayIcon* icon() { return desktop_->tray().icon(record().hWnd, record().uID); }

    // The hidden main window is where the user finds it: in the notification area, or on the taskbar.
    bool waitsInTheTray() { return !mainWidget()->isVisible(); }
    bool waitsOnTheTaskbar() { return mainWidget()->isVisible() && mainWidget()->isMinimized(); }

    std::unique_ptr<Mock> watcher_;
};

TEST_F(TrayHostTest, WithAWatcherAndAHostTheIconIsAStatusNotifierItemAndAClickOnItBringsTheWindow)
{
    ASSERT_NO_FATAL_FAILURE(startWatcher());
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_FALSE(form1().visible());
    EXPECT_TRUE(waitsInTheTray());
    ASSERT_NE(icon(), nullptr);
    EXPECT_EQ(icon()->toolTip(), "Open");
    ASSERT_TRUE(waitFor([&] { return items().size() == 1; })) << "the icon never registered with the watcher";

    // The host's left click is the item's Activate.
    const QString item = items().first();
    const qsizetype slash = item.indexOf('/');
    QDBusMessage activate =
        QDBusMessage::createMethodCall(item.left(slash), item.mid(slash), "org.kde.StatusNotifierItem", "Activate");
    activate.setArguments({0, 0});
    // Asked without blocking: the item is served by this very process.
    QDBusPendingCall call = Mock::bus().asyncCall(activate, 10000);
    ASSERT_TRUE(waitFor([&] { return call.isFinished(); }));
    EXPECT_FALSE(call.isError()) << item.toStdString() << ": " << call.error().message().toStdString();
    ASSERT_TRUE(waitFor([&] { return form1().visible(); }));
    EXPECT_TRUE(mainWidget()->isVisible());
    EXPECT_FALSE(mainWidget()->isMinimized());
    EXPECT_EQ(desktop_->tray().iconCount(), 0u);
}

TEST_F(TrayHostTest, WithoutAWatcherTheWindowWaitsOnTheTaskbarUntilOneComesAndTheIconWaitsForIt)
{
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_FALSE(desktop_->trayHost().available());
    EXPECT_TRUE(waitsOnTheTaskbar());
    EXPECT_EQ(desktop_->tray().iconCount(), 1u);
    EXPECT_EQ(icon(), nullptr) << "no icon is made before a notification area is there";

    // A watcher with its host comes up: the icon goes into it and the window off the taskbar.
    ASSERT_NO_FATAL_FAILURE(startWatcher());
    ASSERT_TRUE(waitFor([&] { return waitsInTheTray(); }));
    EXPECT_TRUE(desktop_->trayHost().available());
    ASSERT_NE(icon(), nullptr);
    ASSERT_TRUE(waitFor([&] { return items().size() == 1; })) << "Qt did not use the watcher that came later";
    EXPECT_FALSE(form1().visible());
}

TEST_F(TrayHostTest, AWatcherThatGoesPutsTheHiddenWindowOnTheTaskbarAndOneThatComesBackTakesItAgain)
{
    ASSERT_NO_FATAL_FAILURE(startWatcher());
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(waitFor([&] { return items().size() == 1; }));
    EXPECT_TRUE(waitsInTheTray());

    watcher_->stop();
    ASSERT_TRUE(waitFor([&] { return waitsOnTheTaskbar(); })) << "the hidden window is out of reach";
    EXPECT_FALSE(desktop_->trayHost().available());
    EXPECT_FALSE(form1().visible());

    ASSERT_NO_FATAL_FAILURE(startWatcher());
    ASSERT_TRUE(waitFor([&] { return waitsInTheTray(); }));
    ASSERT_TRUE(waitFor([&] { return items().size() == 1; })) << "the icon did not register with the new watcher";
}

TEST_F(TrayHostTest, AWatcherWithoutAHostIsNoNotificationAreaUntilAHostRegisters)
{
    ASSERT_NO_FATAL_FAILURE(startWatcher(false));
    ASSERT_NO_FATAL_FAILURE(start());
    EXPECT_TRUE(waitsOnTheTaskbar());
    EXPECT_EQ(icon(), nullptr);

    watcher_->call(kWatcherPath, "org.tolvane.WatcherMock", "SetHost", {true});
    ASSERT_TRUE(waitFor([&] { return waitsInTheTray(); }));
    ASSERT_TRUE(waitFor([&] { return items().size() == 1; }));

    // The host goes while the watcher stays: the taskbar again.
    watcher_->call(kWatcherPath, "org.tolvane.WatcherMock", "SetHost", {false});
    ASSERT_TRUE(waitFor([&] { return waitsOnTheTaskbar(); }));
}

TEST_F(TrayHostTest, SendToTrayFollowsTheNotificationAreaOfTheMoment)
{
    ASSERT_NO_FATAL_FAILURE(startWatcher());
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(waitFor([&] { return items().size() == 1; }));
    const NotifyRecord& r = record();
    desktop_->tray().activated(r.hWnd, r.uID, QSystemTrayIcon::Trigger);  // what the item's Activate ends in
    ASSERT_TRUE(form1().visible());

    watcher_->stop();
    ASSERT_TRUE(waitFor([&] { return !desktop_->trayHost().available(); }));
    EXPECT_TRUE(mainWidget()->isVisible()) << "a shown window stays as it is";
    QTest::mouseClick(desktop_->windows().widget(form1().Command3), Qt::LeftButton);  // Send To Tray
    EXPECT_FALSE(form1().visible());
    EXPECT_TRUE(waitsOnTheTaskbar());
}

}  // namespace
}  // namespace tolvane::test
