#pragma once
// One database connection under a Qt connection name of its own, with the schema brought
// to the version this program knows, and the transactions the writers use.

#include <QSqlDatabase>
#include <QString>

#include "store/url.h"

class QSqlQuery;

namespace store {

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens (creating an SQLite file and its folder) and brings the schema to the current
    // version (creating or upgrading it). False with a one-line message naming the target.
    bool Open(const Target& target, QString& error);
    void Close();
    bool IsOpen() const;
    QSqlDatabase Db() const;
    bool IsPostgres() const { return target_.kind == Target::Kind::Postgres; }
    // Whether the last Open failed because the server was out of reach (not answering,
    // unknown host, starting up or shutting down): the one failure worth waiting out. A
    // refused login, an unknown database or a schema it cannot use is a fault to mend.
    bool OutOfReach() const { return outOfReach_; }

private:
    QString name_;
    Target target_;
    bool outOfReach_ = false;
};

// An SQLite file as every writer here opens it: write-ahead log, a writer waits up to ten
// seconds for another, foreign keys enforced. `db` is a fresh QSQLITE connection.
bool OpenSqliteFile(QSqlDatabase& db, const QString& path, QString& error);

// The database's own message of a failed statement, on one line.
QString Why(const QSqlQuery& query);

// A write transaction, rolled back unless committed. SQLite takes its write lock at the
// start (BEGIN IMMEDIATE), so two writers wait for each other instead of failing halfway.
class Transaction {
public:
    explicit Transaction(const Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool Begin(QString& error);
    bool Commit(QString& error);

private:
    bool Run(const char* sql, QString& error);
    const Connection& connection_;
    bool open_ = false;
};

} // namespace store
