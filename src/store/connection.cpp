#include "store/connection.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include "store/schema.h"

namespace store {

Connection::Connection() : name_(QString("bt_store_%1").arg(quintptr(this), 0, 16)) {}

Connection::~Connection() {
    Close();
}

void Connection::Close() {
    if (!QSqlDatabase::contains(name_)) return;
    QSqlDatabase::database(name_, false).close();
    QSqlDatabase::removeDatabase(name_);
}

bool Connection::IsOpen() const {
    return QSqlDatabase::contains(name_) && QSqlDatabase::database(name_, false).isOpen();
}

QSqlDatabase Connection::Db() const {
    return QSqlDatabase::database(name_, false);
}

bool Connection::Open(const Target& target, QString& error) {
    Close();
    target_ = target;
    reached_ = false;
    const QString where = target.Display();
    QString why;
    bool ok = false;
    if (target.kind == Target::Kind::Sqlite) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name_);
        ok = OpenSqliteFile(db, target.path, why);
    } else {
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", name_);
        db.setHostName(target.host);
        db.setPort(target.port);
        db.setDatabaseName(target.database);
        // No password from here: libpq takes it from PGPASSWORD or ~/.pgpass.
        if (!target.user.isEmpty()) db.setUserName(target.user);
        db.setConnectOptions("connect_timeout=3");
        ok = db.open();
        // libpq's first line says what failed; the rest are hints.
        if (!ok) why = db.lastError().databaseText().section('\n', 0, 0).simplified();
        if (!ok && why.isEmpty()) why = db.lastError().text().simplified();
    }
    reached_ = ok;
    if (ok) ok = UpgradeSchema(*this, why);
    if (!ok) {
        error = where + ": " + why;
        Close();
    }
    return ok;
}

bool OpenSqliteFile(QSqlDatabase& db, const QString& path, QString& error) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QString("cannot make the folder %1").arg(folder);
        return false;
    }
    db.setDatabaseName(path);
    db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=10000");
    if (!db.open()) {
        error = db.lastError().text().simplified();
        return false;
    }
    QSqlQuery q(db);
    for (const char* pragma : {"PRAGMA journal_mode = WAL", "PRAGMA foreign_keys = ON"})
        if (!q.exec(pragma)) {
            error = Why(q);
            db.close();
            return false;
        }
    return true;
}

QString Why(const QSqlQuery& query) {
    const QSqlError e = query.lastError();
    const QString text = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    return text.simplified();
}

Transaction::Transaction(const Connection& connection) : connection_(connection) {}

Transaction::~Transaction() {
    QString ignored;
    if (open_) Run("ROLLBACK", ignored);
}

bool Transaction::Run(const char* sql, QString& error) {
    QSqlQuery q(connection_.Db());
    if (q.exec(sql)) return true;
    error = Why(q);
    return false;
}

bool Transaction::Begin(QString& error) {
    open_ = Run(connection_.IsPostgres() ? "BEGIN" : "BEGIN IMMEDIATE", error);
    return open_;
}

bool Transaction::Commit(QString& error) {
    if (!Run("COMMIT", error)) return false;
    open_ = false;
    return true;
}

} // namespace store
