#include "platform/qt/bus/program_service.h"

#include <QDBusMessage>
#include <QDBusVariant>

#include "app/command.h"
#include "app/program.h"

namespace tolvane {

namespace {
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";
}  // namespace

ProgramService::ProgramService(QDBusConnection bus, const ProgramIdentity& identity)
    : bus_(std::move(bus)), identity_(identity)
{
}

void ProgramService::serve(Program& program)
{
    program_ = &program;
    program.watchStatusLine([this](const std::string& text) { statusChanged(text); });
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
        "  </interface>\n"
        "  <interface name=\"example.quenmoor.Tolvane\">\n"
        "    <method name=\"After\"><arg type=\"s\" name=\"time\" direction=\"in\"/>"
        "<arg type=\"s\" name=\"action\" direction=\"in\"/><arg type=\"b\" name=\"warn\" direction=\"in\"/></method>\n"
        "    <method name=\"At\"><arg type=\"s\" name=\"time\" direction=\"in\"/>"
        "<arg type=\"s\" name=\"action\" direction=\"in\"/><arg type=\"b\" name=\"warn\" direction=\"in\"/></method>\n"
        "    <method name=\"Cancel\"/>\n"
        "    <method name=\"Show\"/>\n"
        "    <property name=\"Status\" type=\"s\" access=\"read\"/>\n"
        "  </interface>\n");
}

bool ProgramService::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage) return false;
    const QString interface = message.interface();
    QDBusMessage answer;
    if (interface == kPropertiesInterface) {
        answer = propertyCall(message);
    } else if (interface == kApplicationInterface || interface == kProgramInterface || interface.isEmpty()) {
        answer = programCall(message);
    }
    if (answer.type() == QDBusMessage::InvalidMessage) return false;
    connection.send(answer);
    return true;
}

QDBusMessage ProgramService::programCall(const QDBusMessage& message)
{
    const QString member = message.member();
    const QString signature = message.signature();
    if (!program_) return message.createErrorReply(QDBusError::Failed, "the program is still starting");
    if (member == "Activate" || member == "Show") {
        program_->showMainWindow();
        return message.createReply();
    }
    if (member == "Open" || member == "ActivateAction")
        return message.createErrorReply(QDBusError::NotSupported,
                                        QString("%1 opens no files and has no actions").arg(identity_.command));
    if (member == "Cancel") {
        Command cancel;
        cancel.kind = CommandKind::Cancel;
        program_->command(cancel);
        return message.createReply();
    }
    if ((member == "After" || member == "At") && signature == "ssb") {
        const QList<QVariant> arguments = message.arguments();
        const Result<Command> request = scheduleCommand(member == "After" ? CommandKind::After : CommandKind::At,
                                                        arguments[0].toString().toStdString(),
                                                        arguments[1].toString().toStdString(), arguments[2].toBool());
        if (!request)
            return message.createErrorReply(QDBusError::InvalidArgs, QString::fromStdString(request.error().message));
        program_->command(request.value());
        return message.createReply();
    }
    return {};
}

QDBusMessage ProgramService::propertyCall(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.isEmpty() || arguments[0].toString() != kProgramInterface) return {};
    if (!program_) return message.createErrorReply(QDBusError::Failed, "the program is still starting");
    const QString status = QString::fromStdString(program_->statusLine());
    if (message.member() == "Get" && message.signature() == "ss" && arguments[1].toString() == "Status")
        return message.createReply(QVariant::fromValue(QDBusVariant(status)));
    if (message.member() == "GetAll" && message.signature() == "s")
        return message.createReply(QVariantMap{{"Status", status}});
    if (message.member() == "Set") return message.createErrorReply(QDBusError::PropertyReadOnly, "Status is read-only");
    return message.createErrorReply(QDBusError::UnknownProperty, "no such property");
}

void ProgramService::statusChanged(const std::string& text)
{
    QDBusMessage signal = QDBusMessage::createSignal(identity_.objectPath, kPropertiesInterface, "PropertiesChanged");
    signal << QString(kProgramInterface) << QVariantMap{{"Status", QString::fromStdString(text)}} << QStringList();
    bus_.send(signal);
}

}  // namespace tolvane
