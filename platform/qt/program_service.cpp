#include "platform/qt/program_service.h"

#include <QDBusMessage>

#include "app/program.h"

namespace tolvane {

ProgramService::ProgramService(QDBusConnection bus, const ProgramIdentity& identity)
    : bus_(std::move(bus)), identity_(identity)
{
}

QString ProgramService::introspect(const QString&) const
{
    return QStringLiteral(
        "  <interface name=\"org.freedesktop.Application\">\n"
        "    <method name=\"Activate\"><arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>\n"
        "    <method name=\"Open\"><arg type=\"as\" name=\"uris\" direction=\"in\"/>"
        "<arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>\n"
        "    <method name=\"ActivateAction\"><arg type=\"s\" name=\"action_name\" direction=\"in\"/>"
        "<arg type=\"av\" name=\"parameter\" direction=\"in\"/>"
        "<arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/></method>\n"
        "  </interface>\n");
}

bool ProgramService::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage) return false;
    const QString interface = message.interface();
    const QString member = message.member();
    auto reply = [&](const QDBusMessage& answer) {
        connection.send(answer);
        return true;
    };
    if (interface != kApplicationInterface && !interface.isEmpty()) return false;
    if (!program_) return reply(message.createErrorReply(QDBusError::Failed, "the program is still starting"));
    if (member == "Activate") {
        program_->showMainWindow();
        return reply(message.createReply());
    }
    if (member == "Open" || member == "ActivateAction")
        return reply(message.createErrorReply(QDBusError::NotSupported,
                                              QString("%1 opens no files and has no actions").arg(identity_.command)));
    return false;
}

}  // namespace tolvane
