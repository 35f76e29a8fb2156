#include "store/spool.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include "store/connection.h"
#include "store/writer.h"

namespace store {

Spool::Spool(const QString& path, SayFunc say)
    : path_(path), name_(QString("bt_spool_%1").arg(quintptr(this), 0, 16)), say_(std::move(say)) {}

Spool::~Spool() {
    Drop();
}

void Spool::Drop() {
    if (!QSqlDatabase::contains(name_)) return;
    QSqlDatabase::database(name_, false).close();
    QSqlDatabase::removeDatabase(name_);
}

bool Spool::Create(QString& error, bool& damaged) {
    damaged = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name_);
        QSqlQuery q(db);
        if (OpenSqliteFile(db, path_, error) && q.exec("PRAGMA quick_check(1)") && q.next()) {
            const QString check = q.value(0).toString();
            q.finish();
            damaged = check != "ok";
            if (damaged) error = check.simplified();
            if (!damaged &&
                q.exec("CREATE TABLE IF NOT EXISTS spool (run_id TEXT PRIMARY KEY, target TEXT "
                       "NOT NULL, record TEXT NOT NULL, added_time TEXT NOT NULL)"))
                return true;
        }
        if (error.isEmpty()) error = Why(q);
        // SQLite's own words for a file that is no database or a damaged one.
        damaged = damaged || error.contains("file is not a database") ||
                  error.contains("database disk image is malformed");
    }
    Drop();
    return false;
}

bool Spool::Open(QString& error) {
    if (QSqlDatabase::contains(name_)) return true;
    bool damaged = false;
    QString why;
    if (Create(why, damaged)) return true;
    if (!damaged || !QFileInfo::exists(path_)) {
        error = path_ + ": " + why;
        return false;
    }
    const QString aside =
        path_ + ".corrupt-" + QDateTime::currentDateTimeUtc().toString("yyyyMMdd'T'HHmmss'Z'");
    // The log and its index go along: they belong to the damaged file, not to the new one.
    if (!QFile::rename(path_, aside)) {
        error = QString("%1 is damaged (%2) and cannot be set aside as %3").arg(path_, why, aside);
        return false;
    }
    for (const char* part : {"-wal", "-shm"})
        if (QFileInfo::exists(path_ + part)) QFile::rename(path_ + part, aside + part);
    setAside_ = aside;
    if (say_)
        say_(QString("btrun: the spool %1 is damaged (%2): set aside as %3 (its runs are in their "
                     "record files: btrun --import); a new spool takes the runs from now on")
                 .arg(path_, why, aside));
    if (Create(why, damaged)) return true;
    error = path_ + ": " + why;
    return false;
}

bool Spool::Add(const QString& runId, const QString& target, const QByteArray& record,
                QString& error) {
    if (!Open(error)) return false;
    QSqlQuery q(QSqlDatabase::database(name_, false));
    q.prepare("INSERT INTO spool (run_id, target, record, added_time) VALUES (?, ?, ?, ?) "
              "ON CONFLICT (run_id) DO NOTHING");
    for (const QVariant& v : {QVariant(runId), QVariant(target),
                              QVariant(QString::fromUtf8(record)), QVariant(NowText())})
        q.addBindValue(v);
    if (q.exec()) return true;
    error = path_ + ": " + Why(q);
    return false;
}

int Spool::Count(const QString& target) {
    QSqlQuery q(QSqlDatabase::database(name_, false));
    q.prepare("SELECT count(*) FROM spool WHERE target = ?");
    q.addBindValue(target);
    return q.exec() && q.next() ? q.value(0).toInt() : -1;
}

QStringList Spool::Targets(QString& error) {
    QStringList targets;
    if (!QFileInfo::exists(path_) || !Open(error)) return targets;
    QSqlQuery q(QSqlDatabase::database(name_, false));
    if (!q.exec("SELECT DISTINCT target FROM spool ORDER BY target")) error = Why(q);
    while (q.next())
        targets << q.value(0).toString();
    return targets;
}

Spool::Upload Spool::Flush(const Target& target, Connection& connection) {
    Upload up;
    const QString name = target.Display();
    QString error;
    if (!Open(error)) {
        up.unreachable = error;
        return up;
    }
    const QSqlDatabase db = QSqlDatabase::database(name_, false);
    QStringList ids;
    {
        QSqlQuery q(db);
        q.prepare("SELECT run_id FROM spool WHERE target = ? ORDER BY added_time, rowid");
        q.addBindValue(name);
        if (!q.exec()) {
            up.unreachable = path_ + ": " + Why(q);
            return up;
        }
        while (q.next())
            ids << q.value(0).toString();
    }
    // A database that answers but cannot be used (a refused login, an unknown database, a
    // newer schema) fails the runs; one out of reach only keeps them waiting.
    const auto cannotOpen = [&](qsizetype from) {
        if (connection.OutOfReach()) return;
        up.failures << up.unreachable;
        up.failedRuns << ids.mid(from);
        up.unreachable.clear();
    };
    for (qsizetype i = 0; i < ids.size(); ++i) {
        const QString& id = ids[i];
        QSqlQuery read(db), remove(db);
        read.prepare("SELECT record FROM spool WHERE run_id = ?");
        read.addBindValue(id);
        if (!read.exec() || !read.next()) continue; // uploaded by another btrun meanwhile
        const QByteArray record = read.value(0).toString().toUtf8();
        read.finish();
        if (!connection.IsOpen() && !connection.Open(target, up.unreachable)) {
            cannotOpen(i);
            break;
        }
        WriteResult result = StoreRecordText(connection, record, error);
        if (result == WriteResult::Failed) {
            // A server that went away and came back drops the connection it had.
            if (!connection.Open(target, up.unreachable)) {
                cannotOpen(i);
                break;
            }
            result = StoreRecordText(connection, record, error);
        }
        if (result == WriteResult::Stored || result == WriteResult::AlreadyStored) {
            ++(result == WriteResult::Stored ? up.stored : up.already);
            remove.prepare("DELETE FROM spool WHERE run_id = ?");
            remove.addBindValue(id);
            if (!remove.exec()) up.failures << path_ + ": " + Why(remove);
        } else {
            up.failures << QString("%1: run %2: %3").arg(name, id, error);
            up.failedRuns << id;
            if (result == WriteResult::Failed) connection.Close();
        }
    }
    up.left = Count(name);
    return up;
}

} // namespace store
