#include "platform/qt/session/desktop_services.h"

#include <QProcess>
#include <QDateTime>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "platform/sqlite/sqlite_store.h"

namespace tolvane {

namespace fs = std::filesystem;

int64_t LocalClock::sinceBoot()
{
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

int64_t LocalClock::localTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toMSecsSinceEpoch() + int64_t{now.offsetFromUtc()} * 1000;
}

std::string XdgEnvironment::windowsDirectory()
{
    if (const char* windir = std::getenv("windir")) return windir;
    fs::path folder;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        folder = fs::path(config) / "tolvane";
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = fs::path(home) / ".config" / "tolvane";
    else
        folder = fs::current_path() / ".tolvane";
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder.string();
}

std::vector<std::string> XdgLauncher::translate(const std::string& commandLine)
{
    std::vector<std::string> words;
    std::istringstream in(commandLine);
    for (std::string word; in >> word;) words.push_back(word);
    if (!words.empty() && words.front() == "explorer.exe") words.front() = "xdg-open";
    return words;
}

double XdgLauncher::Shell(const std::string& commandLine, int)
{
    const std::vector<std::string> words = translate(commandLine);
    if (words.empty()) return 0;
    QStringList arguments;
    for (size_t i = 1; i < words.size(); ++i) arguments << QString::fromStdString(words[i]);
    qint64 pid = 0;
    if (!QProcess::startDetached(QString::fromStdString(words.front()), arguments, QString(), &pid)) {
        if (errors_) errors_("cannot start " + words.front() + " for \"" + commandLine + "\"");
        return 0;
    }
    return static_cast<double>(pid);
}

std::string defaultSettingsFile()
{
    if (std::string found = findDefaultSettings(); !found.empty()) return found;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    std::vector<fs::path> candidates;
    if (!ec) candidates.push_back(exe.parent_path() / "../../share/tolvane/tolvdata.v");
    candidates.emplace_back(TOLVANE_BUILD_SETTINGS);
    candidates.emplace_back(TOLVANE_INSTALLED_SETTINGS);
    for (const fs::path& candidate : candidates)
        if (fs::exists(candidate, ec)) return fs::weakly_canonical(candidate, ec).string();
    return "";
}

}  // namespace tolvane
