#pragma once
// The hotkeys in a Wayland session against python3-dbusmock with portal_mock.py as the
// desktop portal, on the tests' private session bus: the fixture and the texts the tests expect.
#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTest>

#include "hotkeys/hk.h"
#include "session_fixture.h"

namespace tolvane::test {

inline const QString kPortal = "org.freedesktop.portal.Desktop";
inline const QString kPortalPath = "/org/freedesktop/portal/desktop";
inline const QString kMockIface = "org.tolvane.PortalMock";
inline const std::string kReboot = "dry-run restart Reboot(true)";
inline const std::string kTitle = "Tolvane 3.0: ";
inline const std::string kGnomeHint =
    " Set the keys in Settings > Keyboard > View and Customize Shortcuts, under Tolvane (dry run).";
inline const std::string kKdeHint = " Set the keys in System Settings > Shortcuts, under Tolvane (dry run).";
inline const std::string kAskAgain = " Press SET under Hot Keys to be asked again.";

class Portal : public SessionTest {
protected:
    // The portal, then the program with these rows enabled (1 restart and 3 hibernate unless
    // said), in the session of the mock's stack (GNOME unless said).
    void start(const QString& parameters = "{}", const std::vector<int>& rows = {1, 3}, const std::string& keys = "")
    {
        const QString stack = QJsonDocument::fromJson(parameters.toUtf8()).object().value("stack").toString("gnome50");
        ::setenv("XDG_CURRENT_DESKTOP", stack.startsWith("gnome") ? "GNOME" : "KDE", 1);
        portal_ = std::make_unique<Mock>("portal_mock.py", kPortal, parameters);
        ASSERT_TRUE(portal_->started()) << "the portal's mock did not come up";
        ASSERT_NO_FATAL_FAILURE(writeSettings(rows, keys));
        startDesktop(true);
    }
    PortalShortcuts& shortcuts()
    {
        PortalShortcuts* portal = desktop_->hotkeys().portal();
        EXPECT_NE(portal, nullptr);
        return *portal;
    }
    bool bound()
    {
        return waitFor(
            [&] { return desktop_->hotkeys().portal() && shortcuts().state() == PortalShortcuts::State::Bound; });
    }
    QStringList boundLines() { return portal_->strings(kPortalPath, kMockIface, "Bound"); }
    QStringList sessions() { return portal_->strings(kPortalPath, kMockIface, "Sessions"); }
    // The calls the portal had, and the pages and dialogs that came up on the desktop.
    QStringList calls() { return portal_->strings(kPortalPath, kMockIface, "Calls"); }
    QStringList opened() { return portal_->strings(kPortalPath, kMockIface, "Opened"); }
    void press(const QString& id) { portal_->call(kPortalPath, kMockIface, "Press", {id}); }
    void release(const QString& id) { portal_->call(kPortalPath, kMockIface, "Release", {id}); }

    // The hotkey window from "Hot Keys", as the user opens it.
    HK& openHotKeys()
    {
        QTest::mouseClick(desktop_->windows().widget(form1().Command2), Qt::LeftButton);
        return desktop_->program().hk();
    }
    void save(HK& hk) { QTest::mouseClick(desktop_->windows().widget(hk.Command1), Qt::LeftButton); }
    void typeKey(HK& hk, EditBox& box, const QString& key)
    {
        auto* edit = qobject_cast<QLineEdit*>(desktop_->windows().widget(box));
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, key);
        (void)hk;
    }

    std::unique_ptr<Mock> portal_;
    MessageBoxes boxes_;
};

}  // namespace tolvane::test
