#include "tester/connection.h"

#include <QDateTime>
#include <cmath>

namespace tester {

bool ScpiLog::Open(const QString& path, QString& error) {
    file_.close();
    file_.setFileName(path);
    // Unbuffered: what was said before a crash or a hang is what one needs to see.
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        error = QString("%1: cannot write the SCPI log: %2").arg(path, file_.errorString());
        return false;
    }
    return true;
}

void ScpiLog::Write(char direction, const QString& text) {
    if (!file_.isOpen()) return;
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
    file_.write(QString("%1 %2 %3\n").arg(stamp, QString(QChar(direction)), text).toUtf8());
}

QString Seconds(int ms) {
    // To the tenth: the air time added to a time-out is not worth showing to the millisecond.
    return QString("%1 s").arg(QString::number(std::round(ms / 100.0) / 10, 'g', 10));
}

bool Connection::Open(int timeoutMs, Error& error) {
    if (open_) return true;
    QString why;
    const Status status = DoOpen(timeoutMs, why);
    if (status != Status::Ok) {
        error = {Error::Kind::Link,
                 status == Status::Timeout
                     ? QString("the tester at %1 does not answer a connection within %2")
                           .arg(Address(), Seconds(timeoutMs))
                     : QString("cannot reach the tester at %1: %2").arg(Address(), why)};
        if (log_) log_->Write('#', error.text);
        return false;
    }
    open_ = true;
    if (log_) log_->Write('#', "connected to " + Address());
    return true;
}

void Connection::Close() {
    if (!open_) return;
    DoClose();
    open_ = false;
}

bool Connection::Failed(Status status, const QString& why, int timeoutMs, Error& error) {
    QString text;
    switch (status) {
    case Status::Timeout:
        text =
            QString("no answer from the tester at %1 within %2").arg(Address(), Seconds(timeoutMs));
        break;
    case Status::Closed:
        text = QString("the tester at %1 closed the connection").arg(Address());
        break;
    case Status::Unreachable:
        text = QString("cannot reach the tester at %1: %2").arg(Address(), why);
        break;
    default:
        text = QString("the link to the tester at %1 failed: %2").arg(Address(), why);
        break;
    }
    error = {Error::Kind::Link, text};
    if (log_) log_->Write('#', text);
    Close();
    return false;
}

bool Connection::Send(const QStringList& lines, int timeoutMs, Error& error) {
    // Never opened behind the caller's back: a new link must be identified first.
    if (!open_) return Failed(Status::Closed, {}, timeoutMs, error);
    QByteArray bytes;
    for (const QString& line : lines) {
        if (log_) log_->Write('>', line);
        bytes += line.toUtf8() + '\n';
    }
    QString why;
    const Status status = DoSend(bytes, timeoutMs, why);
    return status == Status::Ok || Failed(status, why, timeoutMs, error);
}

bool Connection::Receive(QString& line, int timeoutMs, Error& error) {
    if (!open_) return Failed(Status::Closed, {}, timeoutMs, error);
    QByteArray bytes;
    QString why;
    const Status status = DoReceive(bytes, timeoutMs, why);
    if (status != Status::Ok) return Failed(status, why, timeoutMs, error);
    if (bytes.endsWith('\r')) bytes.chop(1);
    line = QString::fromUtf8(bytes);
    if (log_) log_->Write('<', line);
    return true;
}

InProcessConnection::InProcessConnection(Responder respond, QString address)
    : respond_(std::move(respond)), address_(std::move(address)) {}

InProcessConnection::~InProcessConnection() {
    Close();
}

Connection::Status InProcessConnection::DoOpen(int, QString& why) {
    if (respond_) return Status::Ok;
    why = "no test set is built in";
    return Status::Failed;
}

void InProcessConnection::DoClose() {
    answers_.clear();
}

Connection::Status InProcessConnection::DoSend(const QByteArray& bytes, int, QString&) {
    for (const QByteArray& line : bytes.chopped(1).split('\n'))
        for (const QString& answer : respond_(QString::fromUtf8(line)))
            answers_.push_back(answer.toUtf8());
    return Status::Ok;
}

Connection::Status InProcessConnection::DoReceive(QByteArray& line, int, QString&) {
    if (answers_.empty()) return Status::Timeout;
    line = answers_.front();
    answers_.pop_front();
    return Status::Ok;
}

} // namespace tester
