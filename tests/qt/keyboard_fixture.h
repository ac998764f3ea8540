#pragma once
// The X11 key state's tests on a virtual X server (Xvfb): keys pressed with XTest, as a
// keyboard would, a second client that grabs the keyboard, two keyboard layouts, and the dry
// run started on that server beside a mock logind.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "hotkeys/values.h"
#include "logind_bus.h"
#include "platform/qt/keys/x11_keyboard.h"
#include "power/actions.h"
#include "program_lines.h"
#include "tests/settings_file.h"
#include "wait.h"
#include "xvfb_process.h"

// Last: Xlib's macros would clash with Qt's names.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace tolvane::test {

// The Windows names the tests use for the key codes.
inline constexpr int VK_CONTROL = kVkControl, VK_MENU = kVkMenu, VK_NUMPAD5 = kVkNumpad0 + 5;

// The keyboard with what the tests read of it; rawEvents false: no mirror, as on a server
// without XInput 2.1.
class KeyboardUnderTest : public X11Keyboard {
public:
    KeyboardUnderTest(const std::string& display, std::function<void(const std::string&)> notes, bool rawEvents = true)
        : X11Keyboard(display, std::move(notes), rawEvents)
    {
    }
    using X11Keyboard::keycodes;
    using X11Keyboard::mirrored;
};

class XKeyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "setxkbmap"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool << " is missing (scripts/install-deps installs it)";
        clock_.start();
        std::string why;
        display_ = xvfb_.start("640x480x24", &why);
        ASSERT_FALSE(display_.empty()) << why;
        ASSERT_TRUE(waitFor([&] { return (tester_ = XOpenDisplay(display_.c_str())) != nullptr; }, 20000));
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("DISPLAY", QString::fromStdString(display_));
        env_.remove("WAYLAND_DISPLAY");
    }

    void TearDown() override
    {
        // The connections go before the server does: Xlib ends the process on a lost one.
        if (grabber_) XCloseDisplay(grabber_);
        if (tester_) XCloseDisplay(tester_);
        grabber_ = tester_ = nullptr;
        if (program_.state() != QProcess::NotRunning) {
            program_.terminate();
            if (!program_.waitForFinished(3000)) {
                program_.kill();
                program_.waitForFinished(3000);
            }
        }
        xvfb_.stop();
    }

    // The keycode that carries the keysym in the first group (what a US keyboard has there).
    int keycode(const char* keysym) const { return XKeysymToKeycode(tester_, XStringToKeysym(keysym)); }
    // A key goes down or up, as the keyboard would send it.
    void key(int code, bool down) const
    {
        XTestFakeKeyEvent(tester_, static_cast<unsigned>(code), down ? True : False, 0);
        XSync(tester_, False);
    }
    void key(const char* keysym, bool down) const { key(keycode(keysym), down); }

    // Another client takes the whole keyboard, as an open menu does.
    void grabKeyboard()
    {
        grabber_ = XOpenDisplay(display_.c_str());
        ASSERT_NE(grabber_, nullptr);
        ASSERT_EQ(
            XGrabKeyboard(grabber_, DefaultRootWindow(grabber_), False, GrabModeAsync, GrabModeAsync, CurrentTime),
            GrabSuccess);
        XSync(grabber_, False);
    }

    void setLayouts(const QString& layouts)
    {
        QProcess p;
        p.setProcessEnvironment(env_);
        p.start("setxkbmap", {"-display", QString::fromStdString(display_), "-layout", layouts});
        ASSERT_TRUE(p.waitForFinished(20000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    }
    // Locks the keyboard group (0 the first layout, 1 the second), as a layout switch does.
    void lockGroup(unsigned group) const
    {
        ASSERT_TRUE(XkbLockGroup(tester_, XkbUseCoreKbd, group));
        XSync(tester_, False);
    }

    // Settings with the given key texts and every hotkey enabled.
    static void writeSettings(const std::string& folder, const std::string& keys)
    {
        // The delivered settings name each column with its action's word.
        std::string sql;
        for (const ActionRow& action : kActions) sql += std::string("UPDATE en SET ") + action.word + " = 1;";
        sql += "UPDATE ky SET " + keys;
        copyDeliveredSettings(folder, sql);
    }

    // tolvane-dryrun on the display; its standard output lines are kept with their times.
    void startProgram(const std::string& keys)
    {
        ASSERT_TRUE(windir_.isValid());
        ASSERT_NO_FATAL_FAILURE(writeSettings(windir_.path().toStdString(), keys));
        QProcessEnvironment env = env_;
        env.insert("windir", windir_.path());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_SESSION_ID", "keyboard");
        // Hermetic: the dry run never reaches a real bus, not even to ask; logind is the
        // test's mock where one runs.
        const QString logind = logind_.address();
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", logind.isEmpty() ? "unix:path=/nonexistent/tolvane-keyboard" : logind);
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-keyboard");
        program_.setProcessEnvironment(env);
        program_.setProcessChannelMode(QProcess::MergedChannels);  // its notes on standard error too
        keepLines(program_, clock_, lines_);
        program_.start(TOLVANE_DRYRUN, {});
        ASSERT_TRUE(program_.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] { return count("dry-run ready") == 1; }, 30000)) << "the program did not start";
    }
    size_t count(const std::string& text) const { return countLines(lines_, text); }
    // When the first line equal to text came, from the index on; -1 if it does not come in time.
    qint64 lineTime(const std::string& text, size_t from, int timeoutMs)
    {
        const TimedLine* line = waitForLine(lines_, text, from, timeoutMs);
        return line ? line->first : -1;
    }

    QElapsedTimer clock_;
    XvfbProcess xvfb_;
    QProcess program_;
    std::string display_;
    QProcessEnvironment env_;
    Display* tester_ = nullptr;
    Display* grabber_ = nullptr;
    QTemporaryDir windir_;
    std::vector<TimedLine> lines_;
    LogindBus logind_;
};

}  // namespace tolvane::test
