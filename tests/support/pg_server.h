#pragma once
// A PostgreSQL server of the test's own (scripts/pg_server.sh) in a temporary folder, on a
// free port of 127.0.0.1, stopped and removed with the object. Sets PGUSER and PGPASSWORD
// in the environment, so that this process and the programs it starts log in as libpq does
// on a station.

#include <QString>
#include <QTemporaryDir>

class PgServer {
public:
    PgServer();
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // False (with the script's output in Error()) when the server did not come up.
    bool Start();
    bool Stop();
    // "postgresql://127.0.0.1:PORT/results"
    QString Url() const;
    int Port() const { return port_; }
    const QString& Error() const { return error_; }

private:
    bool Script(const QStringList& args);

    QTemporaryDir dir_;
    int port_ = 0;
    bool running_ = false;
    QString error_;
};
