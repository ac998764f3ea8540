#include "platform/qt/keys/portal_shortcuts.h"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <map>

#include "platform/model/win_codes.h"
#include "power/actions.h"

namespace tolvane {

namespace {

// One trigger of a description, read: its modifiers folded ("ctrl", "alt", "shift", "super",
// "meta") and its key folded ("s", "5", "kp5": the keypad's digits, "KP_5" or "Num+5").
// `known` is false where a modifier's name could not be read (KDE translates them: "Strg").
struct ReadTrigger {
    QStringList modifiers;
    QString key;
    bool known = true;
};

// A modifier's name folded, "" for a name not known here.
QString foldedModifier(const QString& name)
{
    static const std::map<QString, QString> names = {
        {"ctrl", "ctrl"},   {"control", "ctrl"}, {"primary", "ctrl"}, {"alt", "alt"},    {"mod1", "alt"},
        {"shift", "shift"}, {"super", "super"},  {"logo", "super"},   {"mod4", "super"}, {"meta", "meta"},
        {"hyper", "hyper"}, {"num", "num"},      {"mod2", "num"},     {"keypad", "num"}};
    const auto found = names.find(name.trimmed().toLower());
    return found == names.end() ? QString() : found->second;
}

ReadTrigger folded(ReadTrigger trigger)
{
    trigger.key = trigger.key.toLower().remove(' ').remove('_');
    if (trigger.modifiers.removeAll("num") > 0 && !trigger.key.startsWith("kp")) trigger.key.prepend("kp");
    trigger.modifiers.sort();
    trigger.modifiers.removeDuplicates();
    return trigger;
}

// GNOME names triggers as GTK accelerators inside a translated sentence ("Press
// <Control><Alt>s", "Press <Control><Alt>s or <Super>x"); KDE as Qt does, joined by commas
// ("Ctrl+Alt+S, Meta+X"), and so does the portal's own notation ("CTRL+ALT+s").
std::vector<ReadTrigger> readTriggers(const QString& description)
{
    std::vector<ReadTrigger> triggers;
    if (description.contains('<')) {
        static const QRegularExpression accelerator(R"(((?:<[^<>\s]+>)+)([^\s<>,]+))");
        static const QRegularExpression modifier("<([^<>]+)>");
        for (auto matches = accelerator.globalMatch(description); matches.hasNext();) {
            const QRegularExpressionMatch match = matches.next();
            ReadTrigger trigger{{}, match.captured(2)};
            for (auto names = modifier.globalMatch(match.captured(1)); names.hasNext();) {
                const QString name = names.next().captured(1);
                const QString modifierName = foldedModifier(name);
                trigger.modifiers << (modifierName.isEmpty() ? name.toLower() : modifierName);
            }
            triggers.push_back(folded(trigger));
        }
        return triggers;
    }
    for (const QString& text : description.split(',', Qt::SkipEmptyParts)) {
        QStringList parts = text.split('+');
        ReadTrigger trigger{{}, parts.takeLast().trimmed()};
        if (trigger.key.isEmpty()) continue;
        for (const QString& part : parts) {
            const QString name = foldedModifier(part);
            if (name.isEmpty())
                trigger.known = false;
            else
                trigger.modifiers << name;
        }
        triggers.push_back(folded(trigger));
    }
    return triggers;
}

// A GTK accelerator as the user reads it: "<Control><Alt>s" -> "Ctrl+Alt+S".
QString shownAccelerator(const QString& accelerator)
{
    static const std::map<QString, QString> names = {{"control", "Ctrl"}, {"primary", "Ctrl"}, {"ctrl", "Ctrl"},
                                                     {"alt", "Alt"},      {"mod1", "Alt"},     {"shift", "Shift"},
                                                     {"super", "Super"},  {"mod4", "Super"},   {"meta", "Meta"},
                                                     {"mod2", "Num"},     {"hyper", "Hyper"}};
    static const QRegularExpression modifier("<([^<>]+)>");
    QString shown;
    qsizetype end = 0;
    for (auto matches = modifier.globalMatch(accelerator); matches.hasNext();) {
        const QRegularExpressionMatch match = matches.next();
        const auto name = names.find(match.captured(1).toLower());
        shown += (name == names.end() ? match.captured(1) : name->second) + "+";
        end = match.capturedEnd();
    }
    QString key = accelerator.mid(end);
    return shown + (key.size() == 1 ? key.toUpper() : key);
}

// A modifier as the shortcuts notation names it, "" for a key that is none.
QString modifierName(int virtualKey)
{
    switch (virtualKey) {
        case kVkControl:
            return "CTRL";
        case kVkMenu:
            return "ALT";
        default:
            return {};
    }
}

}  // namespace

QString keysymName(int virtualKey)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z') return QString(QChar(virtualKey - 'A' + 'a'));
    if (virtualKey >= '0' && virtualKey <= '9') return QString(QChar(virtualKey));
    if (virtualKey >= kVkNumpad0 && virtualKey <= kVkNumpad9) return "KP_" + QString::number(virtualKey - kVkNumpad0);
    return {};
}

std::optional<PortalShortcut> portalShortcut(const WatchedKeys& keys, size_t row)
{
    if (row >= keys.rows.size() || row >= kActions.size() || !keys.rows[row].enabled) return std::nullopt;
    const int code = keys.rows[row].virtualKey;
    QString trigger;
    for (int modifier : keys.modifiers) {
        const QString name = modifierName(modifier);
        if (name.isEmpty()) return std::nullopt;
        trigger += name + "+";
    }
    const QString keysym = keysymName(code);
    if (keysym.isEmpty()) return std::nullopt;
    return PortalShortcut{kActions[row].word, kActions[row].description, trigger + keysym, code};
}

std::string triggerName(const PortalShortcut& shortcut)
{
    QStringList parts = shortcut.trigger.split('+');
    QString key = parts.takeLast();
    if (key.size() == 1) key = key.toUpper();
    QString name;
    for (const QString& modifier : parts) name += modifier.left(1) + modifier.mid(1).toLower() + "+";
    return (name + key).toStdString();
}

std::string shortcutName(const PortalShortcut& shortcut)
{
    return triggerName(shortcut) + " (" + shortcut.description.toStdString() + ")";
}

DesktopKind currentDesktop()
{
    // A list of names, "ubuntu:GNOME" or "KDE".
    const QStringList names = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toUpper().split(':');
    if (names.contains("KDE")) return DesktopKind::Kde;
    if (names.contains("GNOME")) return DesktopKind::Gnome;
    return DesktopKind::Other;
}

bool describesTrigger(const QString& description, const QString& trigger)
{
    const std::vector<ReadTrigger> asked = readTriggers(trigger);
    if (asked.size() != 1) return false;
    const std::vector<ReadTrigger> described = readTriggers(description);
    return std::any_of(described.begin(), described.end(), [&](const ReadTrigger& t) {
        return t.key == asked.front().key && (!t.known || t.modifiers == asked.front().modifiers);
    });
}

QString shownTrigger(const QString& description)
{
    if (!description.contains('<')) return description.trimmed();
    static const QRegularExpression accelerator(R"((?:<[^<>\s]+>)+[^\s<>,]+)");
    QStringList shown;
    for (auto matches = accelerator.globalMatch(description); matches.hasNext();)
        shown << shownAccelerator(matches.next().captured(0));
    return shown.join(" or ");
}

QString unitAppId(const QString& unit)
{
    // As the portal reads them (systemd's names for the units of desktop launchers):
    // app[-LAUNCHER]-ID-RANDOM.scope or .slice, app[-LAUNCHER]-ID[@RANDOM].service, and
    // app[-LAUNCHER]-ID-autostart.service of systemd before 248.
    static const QRegularExpression scope(R"(^app-(?:[[:alnum:]]+\-)?(.+?)(?:\-[[:alnum:]]*)(?:\.scope|\.slice)$)");
    static const QRegularExpression service(R"(^app-(?:[[:alnum:]]+\-)?(.+?)(?:@[[:alnum:]]*|\-autostart)?\.service$)");
    QRegularExpressionMatch match = scope.match(unit);
    if (!match.hasMatch()) match = service.match(unit);
    if (!match.hasMatch()) return {};
    // systemd writes some characters as \xNN (a dash as \x2d).
    QString id = match.captured(1);
    static const QRegularExpression escaped(R"(\\x([0-9a-fA-F]{2}))");
    for (QRegularExpressionMatch e = escaped.match(id); e.hasMatch(); e = escaped.match(id, e.capturedStart() + 1))
        id.replace(e.capturedStart(), e.capturedLength(), QChar(e.captured(1).toInt(nullptr, 16)));
    return id;
}

}  // namespace tolvane
