#include "store/schema.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QVariant>
#include <array>
#include <vector>

#include "store/connection.h"

namespace store {

namespace {

// One statement of a step, for both databases or for SQLite only.
struct Statement {
    constexpr Statement(const char* text, bool sqliteOnly = false)
        : sql(text), sqliteOnly(sqliteOnly) {}
    const char* sql;
    bool sqliteOnly;
};

// Step n brings version n to n + 1 (version 0: an empty database).
using Steps = std::array<std::vector<Statement>, kSchemaVersion>;

const Steps& UpgradeSteps() {
    static const Steps steps = {{
        {
            "CREATE TABLE schema_version (version INTEGER NOT NULL)",
            "INSERT INTO schema_version (version) VALUES (0)",
            "CREATE TABLE stations (station_id TEXT PRIMARY KEY, first_seen TIMESTAMPTZ NOT NULL, "
            "last_seen TIMESTAMPTZ NOT NULL)",
            "CREATE TABLE plans (plan TEXT NOT NULL, plan_file TEXT NOT NULL, "
            "first_seen TIMESTAMPTZ NOT NULL, PRIMARY KEY (plan, plan_file))",
            "CREATE TABLE runs (run_id UUID PRIMARY KEY, dut_id TEXT NOT NULL, "
            "station_id TEXT NOT NULL, plan TEXT NOT NULL, plan_file TEXT NOT NULL, "
            "protocol TEXT NOT NULL, outcome TEXT NOT NULL, start_time TIMESTAMPTZ NOT NULL, "
            "end_time TIMESTAMPTZ NOT NULL, stored_time TIMESTAMPTZ NOT NULL)",
            "CREATE TABLE phases (run_id UUID NOT NULL REFERENCES runs (run_id) ON DELETE "
            "CASCADE, phase_no INTEGER NOT NULL, name TEXT NOT NULL, operation TEXT NOT NULL, "
            "outcome TEXT NOT NULL, start_time TIMESTAMPTZ, end_time TIMESTAMPTZ, "
            "attempts INTEGER NOT NULL, error TEXT, log TEXT NOT NULL, "
            "PRIMARY KEY (run_id, phase_no))",
            "CREATE TABLE measurements (run_id UUID NOT NULL, phase_no INTEGER NOT NULL, "
            "name TEXT NOT NULL, value DOUBLE PRECISION, value_text TEXT, units TEXT NOT NULL, "
            "low_limit DOUBLE PRECISION, high_limit DOUBLE PRECISION, validator TEXT NOT NULL, "
            "outcome TEXT NOT NULL, marginal BOOLEAN NOT NULL, "
            "PRIMARY KEY (run_id, phase_no, name), FOREIGN KEY (run_id, phase_no) "
            "REFERENCES phases (run_id, phase_no) ON DELETE CASCADE)",
            "CREATE INDEX runs_dut ON runs (dut_id)",
            "CREATE INDEX runs_station_start ON runs (station_id, start_time)",
            "CREATE INDEX runs_start ON runs (start_time)",
            "CREATE INDEX measurements_name ON measurements (name, outcome)",
        },
        {
            "CREATE TABLE addresses (address BIGINT PRIMARY KEY, bdaddr TEXT NOT NULL, "
            "dut_id TEXT NOT NULL, station_id TEXT NOT NULL, "
            "assigned_time TIMESTAMPTZ NOT NULL)",
            "CREATE INDEX addresses_dut ON addresses (dut_id)",
            "CREATE TABLE address_releases (address BIGINT NOT NULL, bdaddr TEXT NOT NULL, "
            "dut_id TEXT NOT NULL, released_time TIMESTAMPTZ NOT NULL)",
        },
        {
            // The sqlite3 shell and most other SQLite clients leave foreign keys off, so the
            // cascade of the keys above holds only inside btrun; triggers hold for every
            // client. PostgreSQL always enforces the cascade: nothing to do there.
            {"CREATE TRIGGER runs_delete_phases AFTER DELETE ON runs BEGIN DELETE FROM phases "
             "WHERE run_id = old.run_id; END",
             true},
            {"CREATE TRIGGER phases_delete_measurements AFTER DELETE ON phases BEGIN DELETE FROM "
             "measurements WHERE run_id = old.run_id AND phase_no = old.phase_no; END",
             true},
        },
        {
            // Where, by whom, for which lot and with what a phone was tested; NULL in the runs
            // of older records.
            "ALTER TABLE runs ADD COLUMN slot TEXT",
            "ALTER TABLE runs ADD COLUMN operator TEXT",
            "ALTER TABLE runs ADD COLUMN part_number TEXT",
            "ALTER TABLE runs ADD COLUMN revision TEXT",
            "ALTER TABLE runs ADD COLUMN lot TEXT",
            "ALTER TABLE runs ADD COLUMN plan_sha256 TEXT",
            "ALTER TABLE runs ADD COLUMN software_version TEXT",
            "ALTER TABLE runs ADD COLUMN software_commit TEXT",
            "ALTER TABLE runs ADD COLUMN tester_identity TEXT",
            "ALTER TABLE runs ADD COLUMN fixture_name TEXT",
            "ALTER TABLE runs ADD COLUMN fixture_sha256 TEXT",
            "ALTER TABLE runs ADD COLUMN released_by TEXT",
            "CREATE INDEX runs_lot ON runs (lot, start_time)",
        },
    }};
    return steps;
}

// Any number will do as long as nothing else in the database uses it.
constexpr const char* kLockSchema = "SELECT pg_advisory_xact_lock(7310420551)";

bool Exec(QSqlQuery& q, const QString& sql, QString& error) {
    if (q.exec(sql)) return true;
    error = Why(q);
    return false;
}

// 0 for a database without the table.
bool ReadVersion(const Connection& c, int& version, QString& error) {
    QSqlQuery q(c.Db());
    const char* exists =
        c.IsPostgres() ? "SELECT count(*) FROM pg_tables WHERE tablename = 'schema_version' AND "
                         "schemaname = current_schema()"
                       : "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = "
                         "'schema_version'";
    if (!Exec(q, exists, error) || !q.next()) return false;
    version = 0;
    if (q.value(0).toInt() == 0) return true;
    if (!Exec(q, "SELECT version FROM schema_version", error)) return false;
    if (!q.next()) {
        error = "the table schema_version holds no version";
        return false;
    }
    version = q.value(0).toInt();
    return true;
}

} // namespace

QString Dialect(const QString& sql, bool postgres) {
    if (postgres) return sql;
    static const std::pair<QRegularExpression, const char*> words[] = {
        {QRegularExpression("\\b(UUID|TIMESTAMPTZ)\\b"), "TEXT"},
        {QRegularExpression("\\bBOOLEAN\\b"), "INTEGER"},
        {QRegularExpression("\\bGREATEST\\("), "max("},
        {QRegularExpression("\\bLEAST\\("), "min("},
    };
    QString out = sql;
    for (const auto& [word, replacement] : words)
        out.replace(word, replacement);
    return out;
}

bool UpgradeSchema(const Connection& c, QString& error) {
    const Steps& steps = UpgradeSteps();
    const int known = kSchemaVersion;
    for (;;) {
        QSqlQuery q(c.Db());
        Transaction t(c);
        int version = 0;
        if (!t.Begin(error) || (c.IsPostgres() && !Exec(q, kLockSchema, error)) ||
            !ReadVersion(c, version, error))
            return false;
        if (version == known) return t.Commit(error);
        if (version > known || version < 0) {
            error = QString("the database has schema version %1; this program knows versions up "
                            "to %2 (use a newer program)")
                        .arg(version)
                        .arg(known);
            return false;
        }
        for (const Statement& s : steps[std::size_t(version)])
            if ((!s.sqliteOnly || !c.IsPostgres()) &&
                !Exec(q, Dialect(s.sql, c.IsPostgres()), error)) {
                error =
                    QString("upgrading the schema to version %1: %2").arg(version + 1).arg(error);
                return false;
            }
        q.prepare("UPDATE schema_version SET version = ?");
        q.addBindValue(version + 1);
        if (!q.exec()) {
            error = Why(q);
            return false;
        }
        q.finish();
        if (!t.Commit(error)) return false;
    }
}

} // namespace store
