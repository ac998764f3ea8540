#pragma once
// tolvane-dryrun end to end on a virtual X server (Xvfb) with a real notification area
// (trayer), driven by xdotool as a user would, on a session bus of the test's own: the
// fixture that starts them and finds the program's windows.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "logind_bus.h"
#include "private_bus.h"
#include "program_lines.h"
#include "tests/settings_file.h"
#include "wait.h"
#include "xvfb_process.h"

// Last: Xlib's macros would clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "x_selection.h"

namespace tolvane::test {

inline const QStringList kMainWindow = {"--name", "^Tolvane 3\\.0 - Quenmoor$"};
inline const QStringList kTrayIcon = {"--class", "tolvane-dryrun"};

inline bool displayOpens(const QString& display)
{
    Display* dpy = XOpenDisplay(display.toLocal8Bit().constData());
    if (dpy) XCloseDisplay(dpy);
    return dpy != nullptr;
}

// SIGTERM, and SIGKILL if the process has not ended 3 s later.
inline void end(QProcess& process)
{
    if (process.state() == QProcess::NotRunning) return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

// Is a notification area there (someone owns the tray selection of screen 0)?
inline bool trayOwned(const QString& display)
{
    return selectionOwned(display.toStdString(), "_NET_SYSTEM_TRAY_S0");
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* tool : {"Xvfb", "trayer", "xdotool"})
            if (QStandardPaths::findExecutable(tool).isEmpty())
                GTEST_SKIP() << tool << " is missing (scripts/install-deps installs it)";
        clock_.start();

        std::string why;
        display_ = QString::fromStdString(xvfb_.start("1024x768x24", &why));
        ASSERT_FALSE(display_.isEmpty()) << why;
        ASSERT_TRUE(waitFor([&] { return displayOpens(display_); }, 20000))
            << "no connection to " << display_.toStdString();

        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert("DISPLAY", display_);
        env_.remove("WAYLAND_DISPLAY");
        env_.remove("XDG_SESSION_TYPE");
        // Hermetic: no program of the test reaches a real bus, not even to ask.
        env_.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-e2e");
        env_.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-e2e");
    }

    // The notification area, at the screen's top right.
    void startTray()
    {
        tray_.setProcessEnvironment(env_);
        tray_.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width", "160",
                               "--heighttype", "pixel", "--height", "32", "--SetDockType", "true"});
        ASSERT_TRUE(tray_.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] { return trayOwned(display_); }, 20000))
            << "trayer took no tray on " << display_.toStdString() << ": " << tray_.readAllStandardError().toStdString()
            << (xvfb_.running() ? "" : "\nXvfb has ended");
    }

    void TearDown() override
    {
        if (started_ > 0) ::kill(started_, SIGTERM);
        for (QProcess* p : {&program_, &tray_}) end(*p);
        sessionBus_.stop();
        xvfb_.stop();
    }

    // A session bus of the test's own, for the programs started after this.
    void startSessionBus()
    {
        std::string why;
        ASSERT_TRUE(sessionBus_.start(&why)) << why;
        busAddress_ = QString::fromStdString(sessionBus_.address());
    }

    // The environment of a program of the test on Qt's xcb platform: the display, its settings
    // folder, and the test's session bus if it has one, never the machine's.
    QProcessEnvironment programEnvironment(const QString& windir, bool onBus = true) const
    {
        QProcessEnvironment env = env_;
        env.insert("windir", windir);
        env.insert("XDG_SESSION_ID", "e2e");
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-e2e");
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("DBUS_SESSION_BUS_ADDRESS",
                   onBus && !busAddress_.isEmpty() ? busAddress_ : "unix:path=/nonexistent/tolvane-e2e");
        return env;
    }

    // The dry run started with these arguments and run to its end.
    struct Run {
        int status = -1;
        std::string out, err;
    };
    Run run(const QStringList& arguments, const QString& windir, bool onBus = true, const QString& systemBus = {},
            const char* program = TOLVANE_DRYRUN)
    {
        QProcess p;
        QProcessEnvironment env = programEnvironment(windir, onBus);
        if (!systemBus.isEmpty()) env.insert("DBUS_SYSTEM_BUS_ADDRESS", systemBus);
        p.setProcessEnvironment(env);
        p.start(program, arguments);
        Run result;
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished(3000);
            result.err = "did not end";
            return result;
        }
        result.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        result.out = p.readAllStandardOutput().toStdString();
        result.err = p.readAllStandardError().toStdString();
        return result;
    }

    // The process that owns the dry run's name on the test's bus, or 0.
    qint64 namesOwner()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(busAddress_, "e2e-test");
        const auto pid = bus.interface()->servicePid("example.quenmoor.Tolvane.DryRun");
        return pid.isValid() ? pid.value() : 0;
    }

    // Settings with one hotkey enabled (the restart one, Ctrl+Alt+R, unless told), or the
    // delivered ones.
    void writeSettings(const std::string& folder, bool hotkey = true, const std::string& column = "restart")
    {
        copyDeliveredSettings(folder, hotkey ? "UPDATE en SET " + column + " = 1" : "");
    }

    // On Qt's xcb platform (see programEnvironment), or in a session of the test's own, where
    // the program chooses its platform itself. systemBus: the address of the test's own mock
    // logind, the only system bus a program of the test ever gets; program: the dry run unless
    // told (the real program only ever with the mock logind).
    void startProgram(const QString& windir, const QProcessEnvironment* session = nullptr,
                      const QString& systemBus = {}, const char* program = TOLVANE_DRYRUN)
    {
        QProcessEnvironment env = programEnvironment(windir);
        if (session) {
            env = *session;
            env.insert("windir", windir);
            env.insert("XDG_SESSION_ID", "e2e");
            env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tolvane-e2e");
            env.remove("QT_QPA_PLATFORM");
        }
        ASSERT_TRUE(program == std::string(TOLVANE_DRYRUN) || !systemBus.isEmpty());
        if (!systemBus.isEmpty()) env.insert("DBUS_SYSTEM_BUS_ADDRESS", systemBus);
        program_.setProcessEnvironment(env);
        program_.setProcessChannelMode(QProcess::SeparateChannels);
        keepLines(program_, clock_, lines_);
        program_.start(program, {});
        ASSERT_TRUE(program_.waitForStarted(10000));
    }

    // python3-dbusmock's logind on a private bus, as the programs' system bus.
    void startLogind(LogindBus& logind)
    {
        if (!LogindBus::toolsThere()) GTEST_SKIP() << "dbus-daemon or python3-dbusmock is missing";
        ASSERT_TRUE(logind.start("e2e")) << "the private bus or logind's mock did not come up";
    }

    // The first line equal to `text` from the index on, waiting up to timeoutMs.
    const TimedLine* line(const std::string& text, size_t from, int timeoutMs)
    {
        return waitForLine(lines_, text, from, timeoutMs);
    }
    size_t count(const std::string& text) const { return countLines(lines_, text); }

    int xdotool(const QStringList& args, QString* out = nullptr)
    {
        QProcess p;
        p.setProcessEnvironment(env_);
        p.start("xdotool", args);
        if (!p.waitForFinished(10000)) return -1;
        if (out) *out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        return p.exitCode();
    }
    // What the screen shows in an area.
    QImage screen(const QRect& area) const
    {
        QImage image(area.size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        Display* dpy = XOpenDisplay(display_.toLocal8Bit().constData());
        if (!dpy) return image;
        if (XImage* x = XGetImage(dpy, DefaultRootWindow(dpy), area.x(), area.y(), static_cast<unsigned>(area.width()),
                                  static_cast<unsigned>(area.height()), AllPlanes, ZPixmap)) {
            for (int y = 0; y < area.height(); ++y)
                for (int col = 0; col < area.width(); ++col)
                    image.setPixel(col, y, static_cast<QRgb>(XGetPixel(x, col, y)));
            XDestroyImage(x);
        }
        XCloseDisplay(dpy);
        return image;
    }
    // The main window once the screen shows it drawn, ready for a click: found by the search,
    // most of its place no longer the black of the empty screen, and the same in two looks
    // one after the other; or "".
    QString drawnMainWindow(int timeoutMs = 20000)
    {
        const QString id = findWindow(kMainWindow, timeoutMs);
        if (id.isEmpty()) return id;
        QImage last;
        const auto drawn = [&] {
            QString place;
            xdotool({"getwindowgeometry", "--shell", id}, &place);
            const QRect area(value(place, "X"), value(place, "Y"), value(place, "WIDTH"), value(place, "HEIGHT"));
            const QImage now = screen(area);
            qsizetype black = 0;
            for (int y = 0; y < now.height(); ++y)
                for (int x = 0; x < now.width(); ++x) black += (now.pixel(x, y) & 0xffffff) == 0;
            const bool same = now == last;
            last = now;
            return !area.isEmpty() && same && black * 2 < qsizetype{area.width()} * area.height();
        };
        return waitFor(drawn, timeoutMs) ? id : QString();
    }
    // A NAME=value line's value in xdotool's --shell output, or 0.
    static int value(const QString& lines, const QString& name)
    {
        for (const QString& line : lines.split('\n'))
            if (line.startsWith(name + "=")) return line.mid(name.size() + 1).toInt();
        return 0;
    }

    // The first visible window that the search finds now, or "".
    QString visibleWindow(const QStringList& search)
    {
        QString out;
        if (xdotool(QStringList{"search", "--onlyvisible"} + search, &out) != 0) return {};
        return out.split('\n').first();
    }
    // The first visible window that the search finds, waiting for it.
    QString findWindow(const QStringList& search, int timeoutMs = 20000)
    {
        QString id;
        waitFor(
            [&] {
                QString out;
                if (xdotool(QStringList{"search", "--onlyvisible"} + search, &out) == 0 && !out.isEmpty())
                    id = out.split('\n').first();
                return !id.isEmpty();
            },
            timeoutMs);
        return id;
    }

    QElapsedTimer clock_;
    XvfbProcess xvfb_;
    PrivateBus sessionBus_;
    QProcess tray_, program_;
    QString display_, busAddress_;
    pid_t started_ = 0;
    QProcessEnvironment env_;
    std::vector<TimedLine> lines_;
};

}  // namespace tolvane::test
