#include "platform/qt/bus/command_line.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QStringList>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/command.h"
#include "app/texts.h"
#include "platform/qt/bus/program_service.h"
#include "platform/qt/session/logind_names.h"
#include "platform/qt/session/logind_power.h"
#include "power/actions.h"

extern char** environ;

namespace tolvane {

namespace {

// How long a request waits for the running program's answer, and a start for the program to
// take its name: both may be slow on a loaded machine.
constexpr int kAnswerMs = 20000;
constexpr int kStartMs = 30000;

// Qt's own options, handed to Qt. Those of the first list take a value, as the next word or
// after "=".
const char* const kQtOptionsWithValue[] = {"platform",        "platformpluginpath", "platformtheme", "plugin",
                                           "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
                                           "display",         "geometry",           "style",         "stylesheet"};
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

template <size_t N>
bool among(const QString& name, const char* const (&names)[N])
{
    return std::any_of(std::begin(names), std::end(names), [&name](const char* n) { return name == n; });
}

// The command line split by Qt's parser: the program's options and other words for the logic to
// check (app/command.h), and Qt's own options for the program that a request may start.
struct SplitCommandLine {
    CommandLineWords words;
    std::vector<std::string> qtOptions;
};

// Qt's parser takes "-name" as "--name", as Qt's own options are typed (-platform xcb), and a
// value after "=" or as the next word. What it refuses, an unknown option or a value given to an
// option that takes none, is handed on as it was typed, first, for the logic to name. Qt's own
// option without its value is left to Qt. The program's own long options keep their two dashes:
// "-status" is refused as an unknown option, as it always was.
SplitCommandLine split(int argc, char** argv)
{
    SplitCommandLine line;
    QStringList arguments;
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const QString word = QString::fromLocal8Bit(argv[i]);
        const QString name = word.mid(1).section('=', 0, 0);
        optionsEnded = optionsEnded || word == "--";
        const bool oneDashLong = i > 0 && !optionsEnded && word.startsWith('-') && !word.startsWith("--") &&
                                 name.size() > 1 &&
                                 std::any_of(commandLineOptions().begin(), commandLineOptions().end(),
                                             [&name](const CommandLineOption& o) { return name == o.name; });
        if (oneDashLong)
            line.words.options.push_back({word.toStdString(), std::nullopt});
        else
            arguments << word;
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    QStringList flags(std::begin(kQtFlags), std::end(kQtFlags));
    for (const CommandLineOption& o : commandLineOptions()) {
        QStringList names{o.name};
        if (o.letter) names << QString(QChar(o.letter));
        parser.addOption(o.takesTime ? QCommandLineOption(names, QString(), "HH:MM") : QCommandLineOption(names));
        if (!o.takesTime) flags << names;
    }
    for (const char* option : kQtOptionsWithValue) parser.addOption({option, QString(), "value"});
    for (const char* flag : kQtFlags) parser.addOption({flag, QString()});
    const bool parsed = parser.parse(arguments);

    if (!parsed) {
        for (const QString& word : arguments.mid(1)) {
            if (word == "--") break;
            if (word.size() < 2 || word[0] != '-') continue;
            const QString name = word.mid(word.startsWith("--") ? 2 : 1).section('=', 0, 0);
            if (parser.unknownOptionNames().contains(name) || (word.contains('=') && flags.contains(name)))
                line.words.options.push_back({word.toStdString(), std::nullopt});
        }
    }
    std::map<QString, qsizetype> valuesTaken;
    for (const QString& name : parser.optionNames()) {
        const QStringList values = parser.values(name);
        std::optional<std::string> value;
        if (qsizetype& taken = valuesTaken[name]; taken < values.size()) value = values[taken++].toStdString();
        if (among(name, kQtOptionsWithValue) || among(name, kQtFlags)) {
            line.qtOptions.push_back("-" + name.toStdString());
            if (value) line.qtOptions.push_back(*value);
        } else {
            line.words.options.push_back({(name.size() == 1 ? "-" : "--") + name.toStdString(), value});
        }
    }
    for (const QString& word : parser.positionalArguments()) line.words.arguments.push_back(word.toStdString());
    return line;
}

void say(const ProgramIdentity& identity, const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", identity.command, text.c_str());
}

QDBusMessage requestFor(const ProgramIdentity& identity, const Command& command)
{
    auto call = [&](const char* interface, const char* member) {
        QDBusMessage message = QDBusMessage::createMethodCall(identity.busName, identity.objectPath, interface, member);
        // The program is started as itself, never by the bus (see docs/linux.md).
        message.setAutoStartService(false);
        return message;
    };
    switch (command.kind) {
        case CommandKind::Status:
            return call("org.freedesktop.DBus.Properties", "Get") << QString(kProgramInterface) << QString("Status");
        case CommandKind::After:
        case CommandKind::At:
            return call(kProgramInterface, command.kind == CommandKind::After ? "After" : "At")
                   << QString::fromStdString(command.hours + ":" + command.minutes)
                   << QString::fromStdString(actionWord(command.actcode)) << command.warn;
        case CommandKind::Cancel:
            return call(kProgramInterface, "Cancel");
        default:
            return call(kProgramInterface, "Show");
    }
}

// What logind says now of the action of a schedule just set, when it will not happen with
// nobody at the computer: the running program shows it in a message box, and the command says
// it too, for the terminal or script that set it.
void sayUnattended(const ProgramIdentity& identity, int16_t action)
{
    const ActionRow* row = actionRow(action);
    QDBusConnection system = QDBusConnection::systemBus();
    if (!row || !row->logindCheck || !system.isConnected()) return;
    const QString method = row->logindCheck;
    const QDBusMessage answer = system.call(
        QDBusMessage::createMethodCall(logind::kService, logind::kPath, logind::kManager, method), QDBus::Block, 5000);
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) return;
    const QString said = answer.arguments().first().toString();
    const std::string message = unattendedMessage(action, unattendedVerdict(said),
                                                  "logind " + method.toStdString() + ": " + said.toStdString());
    if (!message.empty()) say(identity, message);
}

bool notRunning(const QDBusMessage& answer)
{
    return answer.type() == QDBusMessage::ErrorMessage &&
           (answer.errorName() == "org.freedesktop.DBus.Error.ServiceUnknown" ||
            answer.errorName() == "org.freedesktop.DBus.Error.NameHasNoOwner");
}

// Starts the program, detached, and waits until it owns its name; 0, or 1 having said why.
int startProgram(const ProgramIdentity& identity, const std::vector<std::string>& qtOptions, QDBusConnection& bus)
{
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
        say(identity, std::string("cannot start ") + identity.command +
                          ": no graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set)");
        return 1;
    }
    std::error_code ec;
    const std::string program = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    std::vector<std::string> words{identity.command};
    words.insert(words.end(), qtOptions.begin(), qtOptions.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    // Its own session, and standard output and error only where they are a terminal: a
    // command in a pipe or in $(...) must not wait for a program that runs for the session.
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    for (int fd : {1, 2})
        if (!::isatty(fd)) posix_spawn_file_actions_addopen(&files, fd, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int failed = ec ? ENOENT : posix_spawn(&pid, program.c_str(), &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (failed) {
        say(identity, std::string("cannot start ") + identity.command + ": " + std::strerror(failed));
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    while (!bus.interface()->isServiceRegistered(identity.busName).value()) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            say(identity, std::string(identity.command) + " could not be started: it ended with " +
                              (WIFEXITED(status) ? "status " + std::to_string(WEXITSTATUS(status))
                                                 : "signal " + std::to_string(WTERMSIG(status))));
            return 1;
        }
        if (clock.elapsed() > kStartMs) {
            say(identity, std::string(identity.command) + " was started but did not come up on the session bus");
            return 1;
        }
        QThread::msleep(20);
    }
    return 0;
}

int request(int argc, char** argv, const ProgramIdentity& identity, const Command& command,
            const std::vector<std::string>& qtOptions)
{
    QCoreApplication application(argc, argv);
    // A bus error is also told to QtDBus's own signals, across its threads; unregistered,
    // their types would be complained about on standard error.
    qRegisterMetaType<QDBusError>();
    qRegisterMetaType<QDBusMessage>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        say(identity, std::string("cannot reach the running ") + identity.command + ": no session bus (" +
                          bus.lastError().message().toStdString() + ")");
        return 1;
    }
    const QDBusMessage call = requestFor(identity, command);
    QDBusMessage answer = bus.call(call, QDBus::Block, kAnswerMs);
    if (notRunning(answer)) {
        if (command.kind == CommandKind::Status) {
            say(identity, std::string("no ") + identity.command + " runs in this session");
            return 1;
        }
        if (!startsTheProgram(command.kind)) return 0;
        if (const int status = startProgram(identity, qtOptions, bus)) return status;
        answer = bus.call(call, QDBus::Block, kAnswerMs);
    }
    if (answer.type() == QDBusMessage::ReplyMessage) {
        if (command.kind == CommandKind::Status && !answer.arguments().isEmpty())
            std::printf("%s\n",
                        answer.arguments().first().value<QDBusVariant>().variant().toString().toUtf8().constData());
        if (command.kind == CommandKind::After || command.kind == CommandKind::At)
            sayUnattended(identity, command.actcode);
        return 0;
    }
    if (answer.errorName() == "org.freedesktop.DBus.Error.InvalidArgs") {
        say(identity, answer.errorMessage().toStdString());
        return 2;
    }
    say(identity,
        std::string("the running ") + identity.command + " did not answer: " + answer.errorMessage().toStdString());
    return 1;
}

}  // namespace

std::optional<int> runCommandLine(int argc, char** argv, const ProgramIdentity& identity)
{
    const SplitCommandLine line = split(argc, argv);
    const Result<Command> parsed = readCommandLine(line.words);
    if (!parsed) {
        say(identity, parsed.error().message);
        return 2;
    }
    switch (parsed.value().kind) {
        case CommandKind::Start:
            return std::nullopt;
        case CommandKind::Help:
            std::fputs(commandLineHelp(identity.command).c_str(), stdout);
            return 0;
        case CommandKind::Version:
            std::printf("%s %s\n", identity.command, TOLVANE_VERSION);
            return 0;
        default:
            return request(argc, argv, identity, parsed.value(), line.qtOptions);
    }
}

}  // namespace tolvane
