#pragma once
// The simulators as programs, started for one test and killed at its end: phonesim (or
// refsim, which serves a pseudo-terminal the same way) and testersim on TCP.

#include <QProcess>
#include <QString>
#include <QStringList>

class PhoneProcess {
public:
    explicit PhoneProcess(const char* program = PHONESIM_PATH) : program_(program) {}
    ~PhoneProcess() { Kill(); }

    // Starts `PROGRAM --pty` with `arguments`; the device it prints, or empty on failure.
    QString Start(const QStringList& arguments = {}) {
        process_.setProgram(program_);
        process_.setArguments(QStringList{"--pty"} + arguments);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(2000)) return {};
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(2000)) return {};
        return QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    qint64 Pid() const { return process_.processId(); }
    void Kill() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(2000);
    }
    // SIGTERM; the exit code, or -1 when it did not stop within a second.
    int Terminate() {
        process_.terminate();
        if (!process_.waitForFinished(1000)) return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }

private:
    const char* program_;
    QProcess process_;
};

#ifdef TESTERSIM_PATH
// The testersim program on a free TCP port, started for one test and killed at its end.
class TesterProcess {
public:
    ~TesterProcess() { Kill(); }

    // Starts `testersim --listen 127.0.0.1:0` with `arguments`; its VISA resource string
    // (TCPIP::127.0.0.1::PORT::SOCKET), or empty on failure.
    QString Start(const QStringList& arguments = {}) {
        process_.start(TESTERSIM_PATH, QStringList{"--listen", "127.0.0.1:0"} + arguments);
        if (!process_.waitForReadyRead(5000)) return {};
        const QString first = QString::fromUtf8(process_.readLine()).trimmed();
        if (!first.startsWith("testersim: listening on 127.0.0.1:")) return {};
        return QString("TCPIP::127.0.0.1::%1::SOCKET").arg(first.section(':', -1));
    }
    void Kill() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(2000);
    }

private:
    QProcess process_;
};
#endif
