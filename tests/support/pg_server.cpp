#include "pg_server.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <cstdlib>

#ifndef PG_SERVER_SCRIPT
#error "PG_SERVER_SCRIPT names scripts/pg_server.sh"
#endif

PgServer::PgServer() : dir_("/tmp/bt-pg-XXXXXX") {
    // Run as root, the script hands the server's folder inside this one to the postgres
    // user, who must be able to pass through it (a temporary folder is the owner's only).
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                           QFileDevice::ExeOther);
    QTcpServer probe; // a port that is free now
    if (probe.listen(QHostAddress::LocalHost, 0)) port_ = probe.serverPort();
    setenv("PGUSER", "btstore", 1);
    setenv("PGPASSWORD", "btstore-test", 1);
}

PgServer::~PgServer() {
    if (running_) Stop();
}

bool PgServer::Script(const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(PG_SERVER_SCRIPT, args);
    const bool ok =
        p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok) error_ = QString::fromLocal8Bit(p.readAll()) + p.errorString();
    return ok;
}

bool PgServer::Start() {
    if (!dir_.isValid() || port_ == 0) {
        error_ = "no temporary folder or free port";
        return false;
    }
    // The server runs as another user when the tests run as root: it must reach its folder.
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                           QFileDevice::ExeOther);
    running_ = Script({"start", dir_.path() + "/pg", QString::number(port_)});
    return running_;
}

bool PgServer::Stop() {
    running_ = !Script({"stop", dir_.path() + "/pg"});
    return !running_;
}

QString PgServer::Url() const {
    return QString("postgresql://127.0.0.1:%1/results").arg(port_);
}
