#include "store/addresses.h"

#include <QSqlQuery>
#include <QVariant>

#include "store/connection.h"
#include "store/writer.h"

namespace store {

namespace {

bool Exec(QSqlQuery& q, std::initializer_list<QVariant> values, QString& error) {
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (q.exec()) return true;
    error = Why(q);
    return false;
}

// Assignments and releases take turns: PostgreSQL through a table lock that only they
// take, SQLite through its write lock (Transaction::Begin).
bool Lock(const Connection& c, QString& error) {
    if (!c.IsPostgres()) return true;
    QSqlQuery q(c.Db());
    if (q.exec("LOCK TABLE addresses IN SHARE ROW EXCLUSIVE MODE")) return true;
    error = Why(q);
    return false;
}

} // namespace

QString AddressText(uint64_t address) {
    return QString("%1").arg(address, 12, 16, QChar('0')).toUpper();
}

bool ParseAddress(const QString& text, uint64_t& address) {
    uint64_t value = 0;
    int digits = 0;
    for (const QChar ch : text) {
        if (ch == ' ' || ch == ':' || ch == '-') continue;
        const int digit = ch.isDigit() && ch.unicode() < 128 ? ch.unicode() - '0'
                          : ch >= 'a' && ch <= 'f'           ? ch.unicode() - 'a' + 10
                          : ch >= 'A' && ch <= 'F'           ? ch.unicode() - 'A' + 10
                                                             : -1;
        if (digit < 0 || ++digits > 12) return false;
        value = value << 4 | uint64_t(digit);
    }
    if (digits != 12) return false;
    address = value;
    return true;
}

AssignResult AssignAddress(const Connection& c, const QString& dutId, const QString& stationId,
                           uint64_t first, uint64_t last, uint64_t& address, QString& error) {
    QSqlQuery q(c.Db()); // before the transaction, which ends before it is freed
    Transaction t(c);
    if (!t.Begin(error) || !Lock(c, error)) return AssignResult::Failed;
    const QVariant low = qint64(first), high = qint64(last);
    q.prepare("SELECT address FROM addresses WHERE dut_id = ? AND address >= ? AND address <= ? "
              "ORDER BY address LIMIT 1");
    if (!Exec(q, {dutId, low, high}, error)) return AssignResult::Failed;
    if (q.next()) {
        address = q.value(0).toULongLong();
        q.finish();
        return t.Commit(error) ? AssignResult::Assigned : AssignResult::Failed;
    }
    q.prepare("SELECT count(*) FROM addresses WHERE address = ?");
    if (!Exec(q, {low}, error) || !q.next()) return AssignResult::Failed;
    uint64_t free = first;
    if (q.value(0).toInt() > 0) {
        // The lowest taken address of the block whose successor is free.
        q.prepare("SELECT a.address + 1 FROM addresses a WHERE a.address >= ? AND a.address <= ? "
                  "AND NOT EXISTS (SELECT 1 FROM addresses b WHERE b.address = a.address + 1) "
                  "ORDER BY a.address LIMIT 1");
        if (!Exec(q, {low, high}, error)) return AssignResult::Failed;
        free = q.next() ? q.value(0).toULongLong() : last + 1;
    }
    q.finish();
    if (free > last) {
        error =
            QString("address block %1..%2 is used up").arg(AddressText(first), AddressText(last));
        return AssignResult::UsedUp;
    }
    q.prepare("INSERT INTO addresses (address, bdaddr, dut_id, station_id, assigned_time) "
              "VALUES (?, ?, ?, ?, ?)");
    if (!Exec(q, {qint64(free), AddressText(free), dutId, stationId, NowText()}, error) ||
        !t.Commit(error))
        return AssignResult::Failed;
    address = free;
    return AssignResult::Assigned;
}

ReleaseResult ReleaseAddress(const Connection& c, uint64_t address, QString& dutId,
                             QString& error) {
    QSqlQuery q(c.Db());
    Transaction t(c);
    if (!t.Begin(error) || !Lock(c, error)) return ReleaseResult::Failed;
    q.prepare("SELECT dut_id, bdaddr FROM addresses WHERE address = ?");
    if (!Exec(q, {qint64(address)}, error)) return ReleaseResult::Failed;
    if (!q.next()) {
        error = QString("address %1 is not assigned").arg(AddressText(address));
        return ReleaseResult::Unknown;
    }
    dutId = q.value(0).toString();
    const QString bdaddr = q.value(1).toString();
    q.finish();
    q.prepare("INSERT INTO address_releases (address, bdaddr, dut_id, released_time) "
              "VALUES (?, ?, ?, ?)");
    if (!Exec(q, {qint64(address), bdaddr, dutId, NowText()}, error)) return ReleaseResult::Failed;
    q.prepare("DELETE FROM addresses WHERE address = ?");
    if (!Exec(q, {qint64(address)}, error) || !t.Commit(error)) return ReleaseResult::Failed;
    return ReleaseResult::Released;
}

} // namespace store
