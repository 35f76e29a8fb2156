#pragma once
// The station's serial link to a phone (docs/link.md): text commands ended by CR and binary
// test functions in frames, one exchange at a time, each waited for on the calling thread
// with the host's reply time-out. A lost port is reopened before the next exchange.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "host/link_frame.h"

class QSerialPort;

class SerialLink : public QObject {
    Q_OBJECT
public:
    // A line for the station's log; `error` lines are shown as errors.
    using LogFunc = std::function<void(const QString& text, bool error)>;

    static constexpr qint32 kDefaultBaud = 115200;

    SerialLink(QString device, qint32 baud, LogFunc log);
    ~SerialLink() override;

    // Opens the port as the station starts; logs the outcome either way.
    bool Open();
    bool IsOpen() const;
    // Reopens a port that was lost (one log line when it succeeds); true when it is open.
    bool EnsureOpen();
    QString Device() const { return device_; }
    // Why the port could not be opened the last time it was tried; empty once it opened.
    QString OpenError() const { return openError_; }

    struct TextResult {
        bool ok = false;  // false only when nothing at all came back, or the port failed
        QByteArray reply; // up to and including the "OK"/"ERROR" line, or what arrived
        QString error;    // for the host's last-error text when !ok
    };
    // Sends `command` and CR; waits at most `timeoutMs` for the reply.
    TextResult ExchangeText(const QByteArray& command, int timeoutMs);

    struct BinaryResult {
        bool ok = false;
        std::vector<uint8_t> confirm;
        QString error;
    };
    // Sends one request frame of `function`; waits at most `timeoutMs` for its confirm frame.
    BinaryResult ExchangeBinary(int32_t function, std::span<const uint8_t> request, int timeoutMs);

    // Frames with a bad CRC or length dropped since the link was made.
    std::size_t BadFrames() const { return badFrames_; }

private:
    bool OpenPort();
    void MarkLost(const QString& why);
    bool Send(const QByteArray& bytes, QString& error);
    // Waits for more bytes until `deadline` (ms since epoch); false on time-out or loss.
    bool WaitForBytes(qint64 deadline, QString& error);
    QString Log(const QString& text, bool error = false) const;

    QString device_;
    qint32 baud_;
    LogFunc log_;
    std::unique_ptr<QSerialPort> port_;
    bool everOpened_ = false;
    bool lost_ = false;
    QString openError_;
    std::size_t badFrames_ = 0;
};
