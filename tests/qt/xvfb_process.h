#pragma once
// A private Xvfb for one desktop test, started as a QProcess: it picks a free display itself
// and tells its number (-displayfd), and keeps running when its last client goes (-noreset:
// the server, its keyboard layout among it, must not start over between the test's clients).
#include <QProcess>
#include <QString>
#include <QStringList>

#include "wait.h"

namespace tolvane::test {

// The display's name (":N"), or "" with the reason in *why when the server did not come up.
inline QString startXvfb(QProcess& xvfb, const QString& screen, QString* why)
{
    xvfb.start("Xvfb", {"-displayfd", "1", "-noreset", "-screen", "0", screen, "-nolisten", "tcp"});
    if (!xvfb.waitForStarted(10000) || !waitFor([&] { return xvfb.canReadLine(); }, 20000)) {
        *why = "Xvfb did not start: " + QString::fromUtf8(xvfb.readAllStandardError());
        return {};
    }
    return ":" + QString::fromUtf8(xvfb.readLine()).trimmed();
}

}  // namespace tolvane::test
