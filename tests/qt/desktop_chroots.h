#pragma once
// The desktops of later Debian releases in chroots, for the session tests that run a real
// desktop's portal and shell: their programs, services and desktop files, and the stand-ins
// through which they open their settings pages.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace tolvane::test {

// The desktops of later Debian releases, in the chroots that scripts/desktop-chroots makes and
// keeps: their programs run in the chroot, on the tests' buses and display, through that script.
inline QString desktopChroots()
{
    return QString(TOLVANE_TEST_DIR) + "/../../scripts/desktop-chroots";
}

// The folder of a suite's chroot, empty when it is not made.
inline QString desktopChroot(const char* suite)
{
    QProcess script;
    script.start(desktopChroots(), {"root", suite});
    if (!script.waitForFinished(20000) || script.exitCode() != 0) return {};
    return QString::fromUtf8(script.readAllStandardOutput()).trimmed();
}

inline std::string chrootMissing(const std::string& suite)
{
    return "the chroot of " + suite + " is not made (scripts/desktop-chroots make " + suite + ")";
}

// The socket of a bus address "unix:path=/tmp/dbus-...,guid=...", to share with a chroot.
inline std::string busSocket(const QString& address)
{
    const QString path = address.section(',', 0, 0);
    return path.startsWith("unix:path=") ? path.mid(10).toStdString() : std::string();
}

// The command line that runs a program in a suite's chroot, with these folders and files of
// this machine at the same paths: the test's home, the buses' sockets.
inline std::string inChroot(const std::string& suite, const std::vector<std::string>& shared)
{
    std::string command = desktopChroots().toStdString() + " run " + suite;
    for (const std::string& path : shared)
        if (!path.empty()) command += " --share " + path;
    return command + " --";
}

// Every D-Bus service of the chroot (its /usr/share/dbus-1/services), each to be started in
// the chroot by `prefix` (inChroot and an environment): the desktop's own session services,
// as its bus would start them.
inline std::vector<std::pair<QString, QString>> chrootServices(const QString& root, const std::string& prefix)
{
    std::vector<std::pair<QString, QString>> services;
    for (const QFileInfo& file : QDir(root + "/usr/share/dbus-1/services").entryInfoList({"*.service"}, QDir::Files)) {
        QFile f(file.filePath());
        if (!f.open(QIODevice::ReadOnly)) continue;
        QString name, exec;
        for (const QString& line : QString::fromUtf8(f.readAll()).split('\n')) {
            if (line.startsWith("Name=")) name = line.mid(5).trimmed();
            if (line.startsWith("Exec=")) exec = line.mid(5).trimmed();
        }
        if (!name.isEmpty() && !exec.isEmpty()) services.push_back({name, QString::fromStdString(prefix) + " " + exec});
    }
    return services;
}

// The programs' desktop files where a portal in that home looks for them ($XDG_DATA_HOME), with
// stand-ins for the programs on the home's PATH: portals accept an application's id only when
// its desktop file is installed and names a program that is there.
inline void installDesktopFiles(const std::string& home)
{
    std::filesystem::create_directories(home + "/applications");
    for (const auto& [id, program] : {std::pair{"example.quenmoor.Tolvane", "tolvane"},
                                      std::pair{"example.quenmoor.Tolvane.DryRun", "tolvane-dryrun"}}) {
        const std::string file = std::string(id) + ".desktop";
        std::filesystem::copy_file(std::string(TOLVANE_TEST_DIR) + "/../../resources/" + file,
                                   home + "/applications/" + file, std::filesystem::copy_options::overwrite_existing);
        std::ofstream(home + "/" + program) << "#!/bin/sh\nexit 0\n";
        std::filesystem::permissions(home + "/" + program, std::filesystem::perms::owner_all);
    }
}

// Stand-ins in `home` for the programs through which a desktop opens its settings pages, each
// writing the page it was asked to open into home/opened.txt; what was opened so far.
inline void writeOpeners(const std::string& home, const std::vector<const char*>& openers)
{
    for (const char* opener : openers) {
        std::ofstream(home + "/" + opener) << "#!/bin/sh\necho \"" << opener << " $*\" >>" << home << "/opened.txt\n";
        std::filesystem::permissions(home + "/" + opener, std::filesystem::perms::owner_all);
    }
}
inline std::string opened(const QTemporaryDir& home)
{
    QFile file(home.filePath("opened.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().replace('\n', "; ").toStdString() : std::string();
}

}  // namespace tolvane::test
