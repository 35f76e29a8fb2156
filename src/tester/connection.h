#pragma once
// The line link to an instrument: SCPI lines out, answer lines back, each line ended by a
// line feed. Over the LAN (a raw SCPI socket or VXI-11, through liblxi) or in process (the
// built-in simulated test set). Every line and every link failure can be logged.

#include <QFile>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

#include "tester/tester.h"
#include "tester/visa.h"

namespace tester {

// What went over the link, with UTC time stamps to the millisecond:
//   2026-12-07T10:00:00.123Z > READ:LE:POW?
//   2026-12-07T10:00:00.189Z < -0.52,-0.21
//   2026-12-07T10:00:10.190Z # no answer from the tester at ... within 10 s
class ScpiLog {
public:
    // Appends to `path`.
    bool Open(const QString& path, QString& error);
    void Write(char direction, const QString& text);

private:
    QFile file_;
};

class Connection {
public:
    virtual ~Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // As the user wrote it ("TCPIP::10.0.0.5::5025::SOCKET", "built-in").
    virtual QString Address() const = 0;
    // Not owned; null for none.
    void SetLog(ScpiLog* log) { log_ = log; }

    bool IsOpen() const { return open_; }
    bool Open(int timeoutMs, Error& error);
    void Close();
    // On a link that is open only. Any failure closes it: an answer that comes late must not
    // be taken for the answer to the next query.
    // The lines go out in one write: a command and the query after it must not wait for
    // each other in TCP (Nagle's algorithm against the instrument's delayed ACK).
    bool Send(const QStringList& lines, int timeoutMs, Error& error);
    bool Receive(QString& line, int timeoutMs, Error& error);

protected:
    Connection() = default;
    // Unreachable: the link turned out never to have been made (see the LAN link).
    enum class Status { Ok, Timeout, Closed, Unreachable, Failed };
    virtual Status DoOpen(int timeoutMs, QString& why) = 0;
    virtual void DoClose() = 0;
    // One or more lines, each ended by a line feed.
    virtual Status DoSend(const QByteArray& bytes, int timeoutMs, QString& why) = 0;
    // One answer line, without its line feed.
    virtual Status DoReceive(QByteArray& line, int timeoutMs, QString& why) = 0;

private:
    bool Failed(Status status, const QString& why, int timeoutMs, Error& error);

    ScpiLog* log_ = nullptr;
    bool open_ = false;
};

// A test set in this process: each line goes to `respond`, which returns the answer lines
// (none for a command).
using Responder = std::function<QStringList(const QString& line)>;

class InProcessConnection : public Connection {
public:
    explicit InProcessConnection(Responder respond, QString address = "built-in");
    ~InProcessConnection() override;
    QString Address() const override { return address_; }

protected:
    Status DoOpen(int timeoutMs, QString& why) override;
    void DoClose() override;
    Status DoSend(const QByteArray& bytes, int timeoutMs, QString& why) override;
    Status DoReceive(QByteArray& line, int timeoutMs, QString& why) override;

private:
    Responder respond_;
    QString address_;
    std::deque<QByteArray> answers_;
};

// A LAN instrument through liblxi: raw socket or VXI-11 as the resource says.
std::unique_ptr<Connection> MakeLanConnection(const VisaResource& resource);

// "10 s", "2.5 s".
QString Seconds(int ms);

} // namespace tester
