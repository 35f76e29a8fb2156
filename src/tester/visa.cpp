#include "tester/visa.h"

#include <QRegularExpression>
#include <QStringList>

namespace tester {

bool ParseVisaResource(const QString& given, VisaResource& resource, QString& error) {
    const QString text = given.trimmed();
    const auto fail = [&](const QString& why) {
        error = QString("'%1' %2").arg(text, why);
        return false;
    };
    const QString forms = "use TCPIP::HOST::PORT::SOCKET (raw SCPI socket) or "
                          "TCPIP::HOST[::DEVICE]::INSTR (VXI-11)";
    const QStringList parts = text.split("::");
    const QRegularExpression interface("^TCPIP(\\d*)$", QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch board = interface.match(parts.value(0));
    const QString kind = parts.size() >= 3 ? parts.last().toUpper() : QString();
    if (!board.hasMatch() || (kind != "SOCKET" && kind != "INSTR") ||
        (kind == "SOCKET" && parts.size() != 4) || parts.size() > 4)
        return fail("is not an instrument address this program speaks: " + forms);

    // Host names and IPv4 addresses: the link library resolves nothing else.
    const QRegularExpression hostName("^[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?$");
    VisaResource r;
    r.text = text;
    r.board = board.captured(1).isEmpty() ? 0 : board.captured(1).toInt();
    r.host = parts[1];
    if (!hostName.match(r.host).hasMatch())
        return fail(QString("names no host: '%1' is not a host name or IPv4 address").arg(r.host));
    if (kind == "SOCKET") {
        r.kind = VisaResource::Kind::Socket;
        bool ok = false;
        r.port = parts[2].toInt(&ok);
        if (!ok || r.port < 1 || r.port > 65535)
            return fail(QString("has no port: '%1' is not 1..65535").arg(parts[2]));
    } else {
        r.kind = VisaResource::Kind::Vxi11;
        r.device = parts.size() == 4 ? parts[2] : QString("inst0");
        const QRegularExpression deviceName("^[A-Za-z0-9_,]+$");
        if (r.device.startsWith("hislip", Qt::CaseInsensitive))
            return fail("asks for HiSLIP, which this program does not speak: " + forms);
        if (!deviceName.match(r.device).hasMatch())
            return fail(QString("names no VXI-11 device: '%1'").arg(r.device));
    }
    resource = r;
    return true;
}

} // namespace tester
