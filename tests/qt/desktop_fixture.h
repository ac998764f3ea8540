#pragma once
// The whole desktop program in the test process, on Qt's offscreen platform: real widgets,
// real timers, the dry-run power calls written to a file, settings in a fresh folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/form1.h"
#include "platform/qt/desktop.h"
#include "tests/temp_folder.h"
#include "wait.h"

namespace tolvane::test {

// Lets the widgets of unloaded windows go, as the event loop would.
inline void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("windir", folder_.path().c_str(), 1);
        powerOut_ = std::tmpfile();
        desktop_ = std::make_unique<QtDesktop>(PowerMode::DryRun, powerOut_);
        desktop_->windows().setTrayAvailable([this] { return trayAvailable_; });
        desktop_->start();
    }
    void TearDown() override
    {
        desktop_.reset();
        flushDeletes();
        std::fclose(powerOut_);
        ::unsetenv("windir");
    }

    Form1& form1() { return desktop_->program().form1(); }
    QtWindows& windows() { return desktop_->windows(); }
    template <class W>
    W* widget(const Control& control)
    {
        return qobject_cast<W*>(windows().widget(control));
    }
    QWidget* widget(const Window& window) { return windows().widget(window); }

    // A left click on the tray icon, as the notification area reports it.
    void pressTrayIcon()
    {
        const NotifyRecord& record = form1().trayArea.trayRecord();
        desktop_->tray().activated(record.hWnd, record.uID, QSystemTrayIcon::Trigger);
    }

    // Everything the dry-run power calls wrote so far.
    std::string powerLines()
    {
        std::fflush(powerOut_);
        std::string text;
        std::rewind(powerOut_);
        for (int c; (c = std::fgetc(powerOut_)) != EOF;) text += static_cast<char>(c);
        return text;
    }

    bool trayAvailable_ = true;
    TempFolder folder_;
    std::FILE* powerOut_ = nullptr;
    std::unique_ptr<QtDesktop> desktop_;
};

}  // namespace tolvane::test
