#pragma once
// The desktop program in the test process on the tests' own X server and session bus (see
// session_main.cpp), with python3-dbusmock standing in for the desktop's services: the
// portal's global shortcuts (portal_mock.py) and the notification area's watcher
// (watcher_mock.py). Power requests are the dry run's lines, written to a file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form1.h"
#include "desktop_chroots.h"
#include "platform/qt/desktop.h"
#include "power/actions.h"
#include "tests/settings_file.h"
#include "wait.h"

namespace tolvane::test {

// One service of python3-dbusmock on the session bus, from a template of the tests.
class Mock {
public:
    Mock(const QString& templateFile, const QString& service, const QString& parameters = "{}") : service_(service)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start("/usr/bin/python3",
                       {"-m", "dbusmock", "--template", QString(TOLVANE_TEST_DIR) + "/" + templateFile, "-l",
                        dir_.filePath("mock.log"), "-p", parameters});
        started_ = process_.waitForStarted(10000) &&
                   waitFor([&] { return bus().interface()->isServiceRegistered(service_).value(); }, 30000);
    }
    ~Mock() { stop(); }

    bool started() const { return started_; }
    void stop()
    {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(5000);
        waitFor([&] { return !bus().interface()->isServiceRegistered(service_).value(); }, 10000);
    }
    // A call on the mock's main object (or another), waiting for its answer.
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QList<QVariant>& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service_, path, interface, method);
        message.setArguments(arguments);
        return bus().call(message, QDBus::Block, 10000);
    }
    QStringList strings(const QString& path, const QString& interface, const QString& method)
    {
        const QDBusMessage reply = call(path, interface, method);
        return reply.arguments().isEmpty() ? QStringList() : reply.arguments().first().toStringList();
    }
    // The calls the mock saw, one per line of its log, without the time stamps.
    QStringList log() const
    {
        QFile file(dir_.filePath("mock.log"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        QStringList lines;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.isEmpty()) lines << QString::fromUtf8(line.mid(line.indexOf(' ') + 1));
        return lines;
    }

    static QDBusConnection bus() { return QDBusConnection::sessionBus(); }

private:
    QString service_;
    QTemporaryDir dir_;
    QProcess process_;
    bool started_ = false;
};

// Closes every message box as it comes up and keeps its text.
class MessageBoxes {
public:
    MessageBoxes()
    {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts_.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
                box->button(QMessageBox::Ok)->click();
            }
        });
        timer_.start();
    }
    const std::vector<std::string>& texts() const { return texts_; }
    // The boxes other than "Settings Saved".
    std::vector<std::string> problems() const
    {
        std::vector<std::string> out;
        for (const std::string& t : texts_)
            if (t != "Tolvane 3.0: Settings Saved") out.push_back(t);
        return out;
    }

private:
    QTimer timer_;
    std::vector<std::string> texts_;
};

class SessionTest : public ::testing::Test {
public:
    static bool sessionReady;
    static std::string serviceDir;  // the session bus's service folder, empty unless a test fills it

protected:
    void SetUp() override
    {
        if (!sessionReady || QProcess::execute("/usr/bin/python3", {"-c", "import dbusmock"}) != 0)
            GTEST_SKIP() << "Xvfb, dbus-daemon or python3-dbusmock is missing (scripts/install-deps installs them)";
        ::setenv("windir", folder_.path().toLocal8Bit().constData(), 1);
        display_ = qgetenv("DISPLAY");
        // Standard error into a file, to read what the program writes there.
        std::fflush(stderr);
        savedStderr_ = ::dup(2);
        errFile_ = std::tmpfile();
        ::dup2(fileno(errFile_), 2);
    }
    void TearDown() override
    {
        desktop_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (powerOut_) std::fclose(powerOut_);
        ::unsetenv("windir");
        ::unsetenv("XDG_SESSION_TYPE");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("XDG_CURRENT_DESKTOP");
        if (!display_.isEmpty()) qputenv("DISPLAY", display_);
        if (savedStderr_ >= 0) {
            const std::string written = errors();
            std::fflush(stderr);
            ::dup2(savedStderr_, 2);
            ::close(savedStderr_);
            std::fclose(errFile_);
            if (HasFailure()) std::fprintf(stderr, "standard error of the test:\n%s", written.c_str());
        }
    }

    // What was written on standard error so far.
    std::string errors()
    {
        std::fflush(stderr);
        std::string text;
        std::rewind(errFile_);
        for (int c; (c = std::fgetc(errFile_)) != EOF;) text += static_cast<char>(c);
        std::fseek(errFile_, 0, SEEK_END);
        return text;
    }
    bool wroteError(const std::string& line) { return errors().find("tolvane: " + line + "\n") != std::string::npos; }

    // The delivered settings with these hotkey rows (0 shutdown .. 4 stand by) enabled, and
    // keys changed as the SQL assignments say ("standby = 'e'").
    void writeSettings(const std::vector<int>& enabledRows, const std::string& keys = "")
    {
        // The delivered settings name each column with its action's word.
        std::string sql;
        for (int row : enabledRows)
            sql += std::string("UPDATE en SET ") + kActions[static_cast<size_t>(row)].word + " = 1;";
        if (!keys.empty()) sql += "UPDATE ky SET " + keys;
        copyDeliveredSettings(folder_.path().toStdString(), sql);
    }

    // The program's start-up, in a Wayland session (the portal) or an X11 one; a program
    // started before ends first.
    void startDesktop(bool wayland)
    {
        // The variables a Wayland session sets; Qt itself stays on the tests' X server.
        if (wayland) {
            ::setenv("XDG_SESSION_TYPE", "wayland", 1);
            ::setenv("WAYLAND_DISPLAY", "wayland-tolvane-tests", 1);
        } else {
            ::unsetenv("XDG_SESSION_TYPE");
            ::unsetenv("WAYLAND_DISPLAY");
        }
        desktop_.reset();  // a second start ends the first program
        if (powerOut_) std::fclose(powerOut_);
        powerOut_ = std::tmpfile();
        desktop_ = std::make_unique<QtDesktop>(PowerMode::DryRun, powerOut_);
        desktop_->start();
        if (const QTimer* monitor = desktop_->timers().running(form1().Timer3))
            QObject::connect(monitor, &QTimer::timeout, [this] { ++ticks_; });
    }

    // Starts the program and waits until the desktop has answered it, handing each dialog that
    // comes up on the way (`dialogs` names those shown) once to `answer`; their titles.
    QStringList startAnswering(bool wayland, const std::function<QStringList()>& dialogs,
                               const std::function<void(const QString&)>& answer)
    {
        startDesktop(wayland);
        QStringList seen;
        QElapsedTimer looked;
        waitFor(
            [&] {
                if (looked.isValid() && looked.elapsed() < 500) return false;
                looked.start();
                for (const QString& title : dialogs())
                    if (!seen.contains(title)) {
                        seen << title;
                        answer(title);
                    }
                const auto state = desktop_->hotkeys().portal()->state();
                return state == PortalShortcuts::State::Bound || state == PortalShortcuts::State::Failed;
            },
            60000);
        letTimePass(1000);  // what the desktop opens after its answer
        return seen;
    }

    Form1& form1() { return desktop_->program().form1(); }
    QWidget* mainWidget() { return desktop_->windows().widget(form1()); }

    // Lets as much time pass as `count` ticks of the hotkey monitor take. Its ticks cannot
    // be counted out: it rests while no shortcut is active.
    void waitTicks(int count) { letTimePass(count * 100 + 50); }
    // Whether the hotkey monitor's timer is waking the program now.
    bool monitorAwake()
    {
        const QTimer* monitor = desktop_->timers().running(form1().Timer3);
        return monitor && monitor->isActive();
    }

    // The dry run's lines so far.
    std::vector<std::string> powerLines()
    {
        std::vector<std::string> lines;
        if (!powerOut_) return lines;
        std::fflush(powerOut_);
        std::rewind(powerOut_);
        std::string line;
        for (int c; (c = std::fgetc(powerOut_)) != EOF;) {
            if (c != '\n') {
                line += static_cast<char>(c);
                continue;
            }
            lines.push_back(line);
            line.clear();
        }
        return lines;
    }
    size_t count(const std::string& line)
    {
        size_t n = 0;
        for (const std::string& l : powerLines()) n += l == line;
        return n;
    }

    // The dry run's shutdown requests from now until `ms` have passed.
    size_t shutdownsWithin(int ms)
    {
        const std::string shutdown = "dry-run shutdown PowerOff(true)";
        const size_t before = count(shutdown);
        letTimePass(ms);
        return count(shutdown) - before;
    }

    // What a user meets on a desktop with Ctrl+Alt+S bound to Shutdown: the requests of each
    // of three taps of 0.3 s and of a hold of 2 s, by `ctrlAltS(ms)`, which presses the keys
    // for that long. Printed, for docs/linux.md's table of desktops.
    struct KeyFigures {
        std::vector<size_t> taps;
        size_t hold = 0;
    };
    KeyFigures measureKeys(const std::string& stack, const std::function<void(int)>& ctrlAltS)
    {
        KeyFigures figures;
        for (int tap = 0; tap < 3; ++tap) {
            const size_t before = count("dry-run shutdown PowerOff(true)");
            ctrlAltS(300);
            figures.taps.push_back(count("dry-run shutdown PowerOff(true)") - before + shutdownsWithin(1500));
        }
        const size_t before = count("dry-run shutdown PowerOff(true)");
        ctrlAltS(2000);
        figures.hold = count("dry-run shutdown PowerOff(true)") - before + shutdownsWithin(1500);
        std::printf("%s: three taps of 0.3 s gave %zu, %zu and %zu requests, a hold of 2 s %zu\n", stack.c_str(),
                    figures.taps[0], figures.taps[1], figures.taps[2], figures.hold);
        return figures;
    }
    // A tap gives one to four requests, and a hold of 2 s goes on giving them, no more than
    // the hotkey monitor's ticks in that time and the release's.
    static void expectKeysWork(const KeyFigures& figures)
    {
        for (size_t tap : figures.taps) {
            EXPECT_GE(tap, 1u) << "a tap did nothing";
            EXPECT_LE(tap, 4u);
        }
        EXPECT_GE(figures.hold, 2u);
        EXPECT_LE(figures.hold, 26u);
    }

    QTemporaryDir folder_;
    QByteArray display_;
    int savedStderr_ = -1;
    std::FILE* errFile_ = nullptr;
    std::FILE* powerOut_ = nullptr;
    std::unique_ptr<QtDesktop> desktop_;
    int ticks_ = 0;
};

}  // namespace tolvane::test
