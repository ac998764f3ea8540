#pragma once
// The running program's object on the session bus, at the path of its ProgramIdentity:
//
// - org.freedesktop.Application: Activate shows the main window, as a press on the tray
//   icon does (a second start of the program calls it). Open and ActivateAction are
//   refused with org.freedesktop.DBus.Error.NotSupported: the program opens no files and
//   its menu entry names no actions.
//
// Calls are answered on the GUI thread, between the program's handlers, as clicks are.
#include <QDBusConnection>
#include <QDBusVirtualObject>

#include "platform/qt/instance.h"

namespace tolvane {

class Program;

// The interface's name on the bus, and its member names.
inline constexpr const char* kApplicationInterface = "org.freedesktop.Application";

class ProgramService : public QDBusVirtualObject {
public:
    ProgramService(QDBusConnection bus, const ProgramIdentity& identity);

    // Until the program is served, calls are refused as not yet answerable.
    void serve(Program& program) { program_ = &program; }

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    QDBusConnection bus_;
    ProgramIdentity identity_;
    Program* program_ = nullptr;
};

}  // namespace tolvane
