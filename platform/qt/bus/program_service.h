#pragma once
// The running program's object on the session bus, at the path of its ProgramIdentity, with
// two interfaces:
//
// - org.freedesktop.Application: Activate shows the main window, as a press on the tray
//   icon does (a second start of the program calls it). Open and ActivateAction are
//   refused with org.freedesktop.DBus.Error.NotSupported: the program opens no files and
//   its menu entry names no actions.
// - example.quenmoor.Tolvane, the command line's requests for desktop integrations (see
//   app/command.h): After(s time, s action, b warn), At(s time, s action, b warn), Cancel(),
//   Show(), and the read-only property Status, the status line, whose every change is
//   signalled with org.freedesktop.DBus.Properties.PropertiesChanged. A request the
//   command line would refuse is answered with org.freedesktop.DBus.Error.InvalidArgs and
//   the same one-line message, and changes nothing.
//
// Calls are answered on the GUI thread, between the program's handlers, as clicks are.
#include <QDBusConnection>
#include <QDBusVirtualObject>

#include "platform/qt/session/instance.h"

namespace tolvane {

class Program;

inline constexpr const char* kApplicationInterface = "org.freedesktop.Application";
inline constexpr const char* kProgramInterface = "example.quenmoor.Tolvane";

class ProgramService : public QDBusVirtualObject {
public:
    ProgramService(QDBusConnection bus, const ProgramIdentity& identity);

    // Until the program is served, calls are refused as not yet answerable.
    void serve(Program& program);

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    QDBusMessage programCall(const QDBusMessage& message);
    QDBusMessage propertyCall(const QDBusMessage& message);
    void statusChanged(const std::string& text);

    QDBusConnection bus_;
    ProgramIdentity identity_;
    Program* program_ = nullptr;
};

}  // namespace tolvane
