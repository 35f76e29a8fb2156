#include "host/serial_link.h"

#include <QDateTime>
#include <QSerialPort>

namespace {

constexpr char kTimeOut[] = "Time-out waiting for the phone";
constexpr char kClosed[] = "Serial port closed";
constexpr char kDamaged[] = "Damaged confirm from the phone (bad CRC)";

qint64 Now() {
    return QDateTime::currentMSecsSinceEpoch();
}

// Index just past the first line that is exactly "OK" or "ERROR", or -1. Lines end in LF;
// the CR before it belongs to the line ending.
qsizetype EndOfFinalLine(const QByteArray& reply) {
    qsizetype start = 0;
    for (;;) {
        const qsizetype lf = reply.indexOf('\n', start);
        if (lf < 0) return -1;
        QByteArrayView line(reply.constData() + start, lf - start);
        if (line.endsWith('\r')) line.chop(1);
        if (line == "OK" || line == "ERROR") return lf + 1;
        start = lf + 1;
    }
}

} // namespace

SerialLink::SerialLink(QString device, qint32 baud, LogFunc log)
    : device_(std::move(device)), baud_(baud), log_(std::move(log)) {}

SerialLink::~SerialLink() = default;

QString SerialLink::Log(const QString& text, bool error) const {
    if (log_) log_(text, error);
    return text;
}

bool SerialLink::IsOpen() const {
    return port_ != nullptr && port_->isOpen() && !lost_;
}

bool SerialLink::OpenPort() {
    port_ = std::make_unique<QSerialPort>();
    port_->setPortName(device_);
    port_->setBaudRate(baud_);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!port_->open(QIODevice::ReadWrite)) {
        openError_ = port_->errorString();
        return false;
    }
    openError_.clear();
    port_->clear(QSerialPort::AllDirections);
    lost_ = false;
    // A phone unplugged between exchanges is noticed here; queued, so that the port is
    // never closed from inside its own notification, and dropped with the port it is about.
    QSerialPort* port = port_.get();
    connect(
        port, &QSerialPort::errorOccurred, port,
        [this, port](QSerialPort::SerialPortError code) {
            if (port != port_.get() || code == QSerialPort::NoError ||
                code == QSerialPort::TimeoutError || !port->isOpen())
                return;
            MarkLost(port->errorString());
        },
        Qt::QueuedConnection);
    return true;
}

bool SerialLink::Open() {
    if (OpenPort()) {
        everOpened_ = true;
        Log(QString("Serial port %1 opened at %2 baud").arg(device_).arg(baud_));
        return true;
    }
    Log(QString("Cannot open serial port %1: %2").arg(device_, port_->errorString()), true);
    port_.reset();
    return false;
}

bool SerialLink::EnsureOpen() {
    if (IsOpen()) return true;
    if (port_) port_->close();
    if (!OpenPort()) {
        port_.reset();
        return false;
    }
    Log(QString("Serial port %1 %2 at %3 baud")
            .arg(device_, everOpened_ ? "reopened" : "opened")
            .arg(baud_));
    everOpened_ = true;
    return true;
}

void SerialLink::MarkLost(const QString& why) {
    if (lost_) return;
    lost_ = true;
    Log(QString("Serial port %1 lost: %2").arg(device_, why), true);
    // Closing stops the notifiers of a hung-up device, which would otherwise fire forever.
    if (port_) port_->close();
}

bool SerialLink::Send(const QByteArray& bytes, QString& error) {
    // A reply that came after its exchange had timed out must not be taken for the next one.
    port_->clear(QSerialPort::Input);
    port_->readAll();
    if (port_->write(bytes) != bytes.size() || !port_->waitForBytesWritten(1000) ||
        port_->bytesToWrite() > 0) {
        const bool gone = port_->error() != QSerialPort::TimeoutError;
        if (gone) MarkLost(port_->errorString());
        error = gone ? kClosed : "Write to the serial port timed out";
        return false;
    }
    return true;
}

bool SerialLink::WaitForBytes(qint64 deadline, QString& error) {
    for (;;) {
        const qint64 left = deadline - Now();
        if (left <= 0) {
            error = kTimeOut;
            return false;
        }
        if (port_->waitForReadyRead(static_cast<int>(left))) return true;
        const QSerialPort::SerialPortError code = port_->error();
        if (code != QSerialPort::NoError && code != QSerialPort::TimeoutError) {
            MarkLost(port_->errorString());
            error = kClosed;
            return false;
        }
        port_->clearError();
    }
}

SerialLink::TextResult SerialLink::ExchangeText(const QByteArray& command, int timeoutMs) {
    TextResult result;
    const qint64 deadline = Now() + timeoutMs;
    if (!EnsureOpen()) {
        result.error = kClosed;
        return result;
    }
    if (!Send(command + '\r', result.error)) return result;
    QByteArray reply;
    for (;;) {
        reply += port_->readAll();
        const qsizetype end = EndOfFinalLine(reply);
        if (end >= 0) {
            reply.truncate(end);
            break;
        }
        QString why;
        if (!WaitForBytes(deadline, why)) {
            reply += port_ && port_->isOpen() ? port_->readAll() : QByteArray();
            // A reply cut short by the time-out still goes to the plug-in, whose parser
            // tells what is missing; only silence, or a lost port, fails the host call.
            if (reply.isEmpty() || why == kClosed) {
                result.error = why;
                return result;
            }
            break;
        }
    }
    result.ok = true;
    result.reply = reply;
    return result;
}

SerialLink::BinaryResult
SerialLink::ExchangeBinary(int32_t function, std::span<const uint8_t> request, int timeoutMs) {
    BinaryResult result;
    const qint64 deadline = Now() + timeoutMs;
    if (function < 0 || function > 0xFF) {
        result.error = QString("Test function %1 cannot be sent on the serial link").arg(function);
        return result;
    }
    if (request.size() > seriallink::kMaxPayload) {
        result.error =
            QString("Request of %1 bytes is too long for the serial link").arg(request.size());
        return result;
    }
    if (!EnsureOpen()) {
        result.error = kClosed;
        return result;
    }
    const std::vector<uint8_t> frame =
        seriallink::Encode(static_cast<uint8_t>(function), request.data(), request.size());
    if (!Send(QByteArray(reinterpret_cast<const char*>(frame.data()),
                         static_cast<qsizetype>(frame.size())),
              result.error))
        return result;
    seriallink::FrameReader reader;
    for (;;) {
        const QByteArray bytes = port_->readAll();
        reader.Feed(reinterpret_cast<const uint8_t*>(bytes.constData()),
                    static_cast<std::size_t>(bytes.size()));
        while (auto confirm = reader.Next()) {
            // A confirm of another function is a late one of an earlier exchange.
            if (confirm->function != static_cast<uint8_t>(function)) continue;
            badFrames_ += reader.BadFrames();
            result.ok = true;
            result.confirm = std::move(confirm->payload);
            return result;
        }
        if (!WaitForBytes(deadline, result.error)) {
            badFrames_ += reader.BadFrames();
            if (result.error == kTimeOut && reader.BadFrames() > 0) result.error = kDamaged;
            return result;
        }
    }
}
