// The results store as a line engineer queries it, over SQLite and a real PostgreSQL server:
// what a record becomes in the tables, what is refused, addresses, schema versions.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "pg_server.h"
#include "store/addresses.h"
#include "store/connection.h"
#include "store/url.h"
#include "store/writer.h"

namespace {

// What the records of older programs lack.
const QByteArray kTraceKeys = R"json(
    "slot": "B", "operator": "Ann Lee", "part_number": "PN-100", "revision": "C",
    "lot": "L42", "plan_sha256": "9f86d081", "released_by": "Sue",
    "software": {"version": "4.6.0.0", "commit": "e82e9cc"},
    "tester": {"identity": "BTSIM,TESTERSIM,000001,1.0", "address": "built-in"},
    "fixture": {"name": "station fixture", "file": "f.json", "sha256": "079c50d6"},)json";

const QByteArray kRecord = R"json({
    "run_id": "6f1c2b9a-0d4e-4c39-9a57-3e0b8d2f4a11",
    "dut_id": "O'Brien\"; DROP TABLE runs; --", "station_id": "line3-bt",
    "plan": "Bluetooth production test", "plan_file": "plans/production.json",
    "protocol": "binary", "start_time": "2025-03-01T08:15:00.123Z",
    "end_time": "2025-03-01T08:15:01.129Z", "outcome": "ERROR",)json" +
                           kTraceKeys + R"json(
    "phases": [
        {"name": "Temperature sensor", "operation": "tmeas_read", "outcome": "PASS",
         "start_time": "2025-03-01T08:15:00.200Z", "end_time": "2025-03-01T08:15:00.250Z",
         "attempts": 1, "measurements": [
            {"name": "tmeas_fused", "value": 573, "units": "",
             "validator": {"min": 400, "max": 600}, "outcome": "PASS", "marginal": false},
            {"name": "le_per", "value": 25.5, "units": "%",
             "validator": {"max": 30.8, "marginal": {"max": 20}}, "outcome": "PASS",
             "marginal": true}],
         "log": ["Getting TMEAS", "OK"]},
        {"name": "Firmware", "operation": "firmware_info", "outcome": "FAIL",
         "start_time": "2025-03-01T08:15:00.300Z", "end_time": "2025-03-01T08:15:00.310Z",
         "attempts": 1, "measurements": [
            {"name": "firmware_version", "value": "4.5", "units": "",
             "validator": {"equals": "4.6"}, "outcome": "FAIL", "marginal": false},
            {"name": "hci_status", "value": null, "units": "", "validator": {},
             "outcome": "FAIL", "marginal": false}],
         "log": []},
        {"name": "RSSI", "operation": "rssi", "outcome": "ERROR",
         "start_time": "2025-03-01T08:15:00.400Z", "end_time": "2025-03-01T08:15:01.100Z",
         "attempts": 2, "error": "communication error", "measurements": [],
         "log": ["at@bt:get_rssi(1)", "Error: no answer"]
},
        {"name": "Switch the chip off", "operation": "chip_off", "outcome": "SKIPPED",
         "start_time": "", "end_time": "", "attempts": 0, "measurements": [], "log": []}
    ]
})json";

class Store : public testing::TestWithParam<bool> {
protected:
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        QString error;
        if (!GetParam()) {
            target_.path = dir_.filePath("results.sqlite");
        } else {
            if (!server_) {
                auto server = std::make_unique<PgServer>();
                ASSERT_TRUE(server->Start()) << server->Error().toStdString();
                server_ = std::move(server);
            }
            ASSERT_TRUE(store::ParseUrl(server_->Url(), target_, error));
            // A database of the test's own on the suite's server.
            static int count = 0;
            const QString name = QString("t%1").arg(++count);
            {
                QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "admin");
                admin.setHostName(target_.host);
                admin.setPort(target_.port);
                admin.setDatabaseName(target_.database);
                ASSERT_TRUE(admin.open());
                ASSERT_TRUE(QSqlQuery(admin).exec("CREATE DATABASE " + name));
            }
            QSqlDatabase::removeDatabase("admin");
            target_.database = name;
        }
        ASSERT_TRUE(db_.Open(target_, error)) << error.toStdString();
    }

    // Rows as "a|b|c": times as the record writes them, NULL as "NULL", booleans as 0/1.
    QStringList Rows(const QString& sql) const {
        QSqlQuery q(db_.Db());
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
        QStringList rows;
        while (q.next()) {
            QStringList row;
            for (int i = 0; i < q.record().count(); ++i) {
                const QVariant v = q.value(i);
                row << (v.isNull() ? "NULL"
                        : v.typeId() == QMetaType::QDateTime
                            ? v.toDateTime().toUTC().toString("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'")
                        : v.typeId() == QMetaType::Bool ? QString::number(v.toInt())
                                                        : v.toString());
            }
            rows << row.join('|');
        }
        return rows;
    }

    static inline std::unique_ptr<PgServer> server_;
    QTemporaryDir dir_;
    store::Target target_;
    store::Connection db_;
};

TEST_P(Store, KeepsEveryFieldOfARecordVerbatimAndARunOnlyOnce) {
    QString error;
    ASSERT_EQ(store::StoreRecordText(db_, kRecord, error), store::WriteResult::Stored)
        << error.toStdString();
    EXPECT_EQ(Rows("SELECT run_id, dut_id, station_id, plan, plan_file, protocol, outcome, "
                   "start_time, end_time, stored_time IS NOT NULL FROM runs"),
              QStringList{"6f1c2b9a-0d4e-4c39-9a57-3e0b8d2f4a11|O'Brien\"; DROP TABLE runs; "
                          "--|line3-bt|Bluetooth production test|plans/production.json|binary|"
                          "ERROR|2025-03-01T08:15:00.123Z|2025-03-01T08:15:01.129Z|1"});
    EXPECT_EQ(Rows("SELECT slot, operator, part_number, revision, lot, plan_sha256, "
                   "software_version, software_commit, tester_identity, fixture_name, "
                   "fixture_sha256, released_by FROM runs"),
              QStringList{"B|Ann Lee|PN-100|C|L42|9f86d081|4.6.0.0|e82e9cc|"
                          "BTSIM,TESTERSIM,000001,1.0|station fixture|079c50d6|Sue"});
    EXPECT_EQ(Rows("SELECT * FROM stations"),
              QStringList{"line3-bt|2025-03-01T08:15:00.123Z|2025-03-01T08:15:00.123Z"});
    EXPECT_EQ(Rows("SELECT * FROM plans"),
              QStringList{"Bluetooth production test|plans/production.json|"
                          "2025-03-01T08:15:00.123Z"});
    EXPECT_EQ(
        Rows("SELECT phase_no, name, operation, outcome, start_time, end_time, attempts, error, "
             "log FROM phases ORDER BY phase_no"),
        (QStringList{"1|Temperature sensor|tmeas_read|PASS|2025-03-01T08:15:00.200Z|"
                     "2025-03-01T08:15:00.250Z|1|NULL|Getting TMEAS\nOK",
                     "2|Firmware|firmware_info|FAIL|2025-03-01T08:15:00.300Z|"
                     "2025-03-01T08:15:00.310Z|1|NULL|",
                     "3|RSSI|rssi|ERROR|2025-03-01T08:15:00.400Z|2025-03-01T08:15:01.100Z|2|"
                     "communication error|at@bt:get_rssi(1)\nError: no answer",
                     "4|Switch the chip off|chip_off|SKIPPED|NULL|NULL|0|NULL|"}));
    EXPECT_EQ(
        Rows("SELECT phase_no, name, value, value_text, units, low_limit, high_limit, "
             "validator, outcome, marginal FROM measurements ORDER BY phase_no, name"),
        (QStringList{"1|le_per|25.5|NULL|%|NULL|30.8|{\"marginal\":{\"max\":20},\"max\":30.8}|"
                     "PASS|1",
                     "1|tmeas_fused|573|NULL||400|600|{\"max\":600,\"min\":400}|PASS|0",
                     "2|firmware_version|NULL|4.5||NULL|NULL|{\"equals\":\"4.6\"}|FAIL|0",
                     "2|hci_status|NULL|NULL||NULL|NULL|{}|FAIL|0"}));

    // Uploads are idempotent on the run id: a spool flushed twice stores the run once.
    EXPECT_EQ(store::StoreRecordText(db_, kRecord, error), store::WriteResult::AlreadyStored);
    EXPECT_EQ(error, "run 6f1c2b9a-0d4e-4c39-9a57-3e0b8d2f4a11 is already stored");
    EXPECT_EQ(Rows("SELECT count(*) FROM runs"), QStringList{"1"});
    EXPECT_EQ(Rows("SELECT count(*) FROM phases"), QStringList{"4"});
}

TEST_P(Store, StoresNothingOfARecordThatIsBrokenAnywhere) {
    struct Broken {
        const char* from;
        const char* to;
        store::WriteResult result;
        const char* message;
    } const table[] = {
        {"\"phases\": [", "\"phases\": [[", store::WriteResult::BadRecord, "not a run record: "},
        {"6f1c2b9a-0d4e-4c39-9a57-3e0b8d2f4a11", "run-1", store::WriteResult::BadRecord,
         "not a run record: 'run_id' must be a UUID, not 'run-1'"},
        {"2025-03-01T08:15:00.123Z", "1 March", store::WriteResult::BadRecord,
         "not a run record: 'start_time' must be a UTC time like 2025-03-01T08:15:00.123Z, not "
         "'1 March'"},
        {"\"attempts\": 0", "\"attempts\": \"none\"", store::WriteResult::BadRecord,
         "not a run record: phase 4: 'attempts' must be a whole number"},
        {"\"marginal\": true", "\"marginal\": 1", store::WriteResult::BadRecord,
         "not a run record: phase 1, measurement 2: 'marginal' must be true or false"},
        {"\"identity\": \"BTSIM", "\"identity\": 7, \"x\": \"", store::WriteResult::BadRecord,
         "not a run record: 'tester.identity' must be text"},
        // Well formed, but the database refuses phase 2 after phase 1 went in.
        {"\"hci_status\"", "\"firmware_version\"", store::WriteResult::Failed, ""},
    };
    for (const Broken& row : table) {
        SCOPED_TRACE(row.to);
        QString error;
        EXPECT_EQ(store::StoreRecordText(db_, QByteArray(kRecord).replace(row.from, row.to), error),
                  row.result);
        EXPECT_TRUE(error.startsWith(row.message)) << error.toStdString();
        EXPECT_FALSE(error.isEmpty());
        for (const char* table : {"runs", "stations", "plans", "phases", "measurements"})
            EXPECT_EQ(Rows(QString("SELECT count(*) FROM ") + table), QStringList{"0"}) << table;
    }
}

TEST_P(Store, HandsOutTheLowestFreeAddressAndKeepsEachPhonesOwn) {
    const uint64_t first = 0x001A7D000100, last = 0x001A7D000102;
    const auto assign = [&](const char* dut, uint64_t from = 0x001A7D000100,
                            uint64_t to = 0x001A7D000102) {
        uint64_t address = 0;
        QString error;
        const store::AssignResult r =
            store::AssignAddress(db_, dut, "line3-bt", from, to, address, error);
        return r == store::AssignResult::Assigned ? store::AddressText(address) : error;
    };
    EXPECT_EQ(assign("A"), "001A7D000100");
    EXPECT_EQ(assign("B"), "001A7D000101");
    EXPECT_EQ(assign("A"), "001A7D000100");
    EXPECT_EQ(assign("A", 0x001A7D000200, 0x001A7D0002FF), "001A7D000200"); // another block
    EXPECT_EQ(assign("C"), "001A7D000102");
    EXPECT_EQ(assign("D"), "address block 001A7D000100..001A7D000102 is used up");
    EXPECT_EQ(Rows("SELECT count(*) FROM addresses WHERE dut_id = 'D'"), QStringList{"0"});

    QString dut, error;
    EXPECT_EQ(store::ReleaseAddress(db_, first + 1, dut, error), store::ReleaseResult::Released);
    EXPECT_EQ(dut, "B");
    EXPECT_EQ(store::ReleaseAddress(db_, first + 1, dut, error), store::ReleaseResult::Unknown);
    EXPECT_EQ(error, "address 001A7D000101 is not assigned");
    EXPECT_EQ(assign("D"), "001A7D000101");
    EXPECT_EQ(assign("E"), "address block 001A7D000100..001A7D000102 is used up");
    EXPECT_EQ(Rows("SELECT address, bdaddr, dut_id FROM address_releases"),
              QStringList{QString("%1|001A7D000101|B").arg(last - 1)});
}

TEST_P(Store, UpgradesVersionsOneToThreeInPlaceKeepingTheirRuns) {
    db_.Close();
    for (const int from : {1, 2, 3}) {
        SCOPED_TRACE(from);
        // A database of its own, as that version left it.
        target_.path = dir_.filePath(QString("v%1.sqlite").arg(from));
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(GetParam() ? "QPSQL" : "QSQLITE", "raw");
            raw.setHostName(target_.host);
            raw.setPort(target_.port);
            raw.setDatabaseName(GetParam() ? target_.database : target_.path);
            ASSERT_TRUE(raw.open());
            QSqlQuery q(raw);
            if (GetParam()) {
                ASSERT_TRUE(q.exec("DROP TABLE addresses, address_releases, measurements, "
                                   "phases, runs, plans, stations, schema_version"));
            }
            std::vector<QString> sql = {
                "CREATE TABLE schema_version (version INTEGER NOT NULL)",
                QString("INSERT INTO schema_version VALUES (%1)").arg(from),
                "CREATE TABLE stations (station_id TEXT PRIMARY KEY, first_seen TIMESTAMPTZ NOT "
                "NULL, last_seen TIMESTAMPTZ NOT NULL)",
                "CREATE TABLE plans (plan TEXT NOT NULL, plan_file TEXT NOT NULL, first_seen "
                "TIMESTAMPTZ NOT NULL, PRIMARY KEY (plan, plan_file))",
                "CREATE TABLE runs (run_id UUID PRIMARY KEY, dut_id TEXT NOT NULL, station_id "
                "TEXT NOT NULL, plan TEXT NOT NULL, plan_file TEXT NOT NULL, protocol TEXT NOT "
                "NULL, outcome TEXT NOT NULL, start_time TIMESTAMPTZ NOT NULL, end_time "
                "TIMESTAMPTZ NOT NULL, stored_time TIMESTAMPTZ NOT NULL)",
                "CREATE TABLE phases (run_id UUID NOT NULL REFERENCES runs (run_id) ON DELETE "
                "CASCADE, phase_no INTEGER NOT NULL, name TEXT NOT NULL, operation TEXT NOT "
                "NULL, outcome TEXT NOT NULL, start_time TIMESTAMPTZ, end_time TIMESTAMPTZ, "
                "attempts INTEGER NOT NULL, error TEXT, log TEXT NOT NULL, PRIMARY KEY (run_id, "
                "phase_no))",
                "CREATE TABLE measurements (run_id UUID NOT NULL, phase_no INTEGER NOT NULL, "
                "name TEXT NOT NULL, value DOUBLE PRECISION, value_text TEXT, units TEXT NOT "
                "NULL, low_limit DOUBLE PRECISION, high_limit DOUBLE PRECISION, validator TEXT "
                "NOT NULL, outcome TEXT NOT NULL, marginal BOOLEAN NOT NULL, PRIMARY KEY "
                "(run_id, phase_no, name), FOREIGN KEY (run_id, phase_no) REFERENCES phases "
                "(run_id, phase_no) ON DELETE CASCADE)",
                "INSERT INTO runs VALUES ('0b5c0d7e-1111-4aaa-8bbb-2c3d4e5f6a7b', 'OLD-1', 's', "
                "'p', 'p.json', 'text', 'PASS', '2024-01-02T03:04:05.006Z', "
                "'2024-01-02T03:04:06.006Z', '2024-01-02T03:04:07.006Z')"};
            if (from == 3 && !GetParam())
                sql.insert(sql.end(),
                           {"CREATE TRIGGER runs_delete_phases AFTER DELETE ON runs BEGIN DELETE "
                            "FROM phases WHERE run_id = old.run_id; END",
                            "CREATE TRIGGER phases_delete_measurements AFTER DELETE ON phases "
                            "BEGIN DELETE FROM measurements WHERE run_id = old.run_id AND "
                            "phase_no = old.phase_no; END"});
            if (from >= 2)
                sql.insert(sql.end(),
                           {"CREATE TABLE addresses (address BIGINT PRIMARY KEY, bdaddr TEXT NOT "
                            "NULL, dut_id TEXT NOT NULL, station_id TEXT NOT NULL, "
                            "assigned_time TIMESTAMPTZ NOT NULL)",
                            "CREATE TABLE address_releases (address BIGINT NOT NULL, bdaddr TEXT "
                            "NOT NULL, dut_id TEXT NOT NULL, released_time TIMESTAMPTZ NOT NULL)"});
            for (const QString& statement : sql)
                ASSERT_TRUE(q.exec(statement)) << statement.toStdString();
        }
        QSqlDatabase::removeDatabase("raw");
        QString error;
        ASSERT_TRUE(db_.Open(target_, error)) << error.toStdString();
        EXPECT_EQ(Rows("SELECT version FROM schema_version"), QStringList{"4"});
        EXPECT_EQ(Rows("SELECT dut_id FROM runs"), QStringList{"OLD-1"});
        uint64_t address = 0;
        EXPECT_EQ(store::AssignAddress(db_, "NEW-1", "s", 1, 2, address, error),
                  store::AssignResult::Assigned);
        // A record of an older program: nothing known of where or with what it was tested.
        EXPECT_EQ(store::StoreRecordText(db_, QByteArray(kRecord).replace(kTraceKeys, ""), error),
                  store::WriteResult::Stored);
        EXPECT_EQ(Rows("SELECT slot, operator, part_number, revision, lot, plan_sha256, "
                       "software_version, software_commit, tester_identity, fixture_name, "
                       "fixture_sha256, released_by FROM runs"),
                  QStringList(2, QString("NULL|").repeated(11) + "NULL"));
        // Deleting a run takes its phases and measurements along, also for a client that
        // leaves foreign keys off as the sqlite3 shell does.
        QSqlQuery q(db_.Db());
        EXPECT_TRUE(GetParam() || q.exec("PRAGMA foreign_keys = OFF"));
        EXPECT_TRUE(q.exec("DELETE FROM runs WHERE dut_id <> 'OLD-1'"));
        q.finish();
        EXPECT_EQ(Rows("SELECT (SELECT count(*) FROM phases) + (SELECT count(*) FROM "
                       "measurements)"),
                  QStringList{"0"});
        db_.Close();
    }
}

TEST_P(Store, RefusesADatabaseOfANewerVersionAndLeavesItAsItIs) {
    QSqlQuery(db_.Db()).exec("UPDATE schema_version SET version = 5");
    store::Connection again;
    QString error;
    EXPECT_FALSE(again.Open(target_, error));
    EXPECT_EQ(error, target_.Display() + ": the database has schema version 5; this program "
                                         "knows versions up to 4 (use a newer program)");
    EXPECT_EQ(Rows("SELECT version FROM schema_version"), QStringList{"5"});
}

INSTANTIATE_TEST_SUITE_P(SqliteAndPostgres, Store, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Postgres" : "Sqlite"; });

TEST(StoreUrl, TakesSqliteAndPostgresqlAndRefusesAPassword) {
    struct Good {
        const char* url;
        const char* display;
    } const good[] = {
        {"sqlite:results/results.sqlite", "sqlite:results/results.sqlite"},
        {"sqlite:///var/bt/r.sqlite", "sqlite:/var/bt/r.sqlite"},
        {"postgresql://db.line3:6543/results", "postgresql://db.line3:6543/results"},
        {"postgresql://tester@10.0.0.5/prod", "postgresql://tester@10.0.0.5:5432/prod"},
        {"postgres://[::1]:5433/r", "postgresql://[::1]:5433/r"},
    };
    for (const Good& row : good) {
        store::Target t;
        QString error;
        EXPECT_TRUE(store::ParseUrl(row.url, t, error)) << row.url << error.toStdString();
        EXPECT_EQ(t.Display(), row.display);
    }
    store::Target t;
    QString error;
    const char* const bad[][2] = {
        {"postgresql://tester:s3cret@h/db", "a password in the database URL is refused: libpq "
                                            "reads it from PGPASSWORD or ~/.pgpass"},
        {"mysql://h/db", "unknown database URL 'mysql://h/db' (use sqlite:PATH or "
                         "postgresql://[USER@]HOST[:PORT]/DB)"},
        {"results.sqlite", "unknown database URL 'results.sqlite'"},
        {"postgresql://h", "'postgresql://h' needs one database name after the host"},
        {"postgresql:///db", "'postgresql:///db' names no host"},
        {"postgresql://h:70000/db", "'postgresql://h:70000/db': the port must be a number"},
        {"sqlite:", "sqlite: needs a file (sqlite:PATH)"},
    };
    for (const auto& [url, message] : bad) {
        error.clear();
        EXPECT_FALSE(store::ParseUrl(url, t, error)) << url;
        EXPECT_TRUE(error.startsWith(message)) << error.toStdString();
    }
}

} // namespace
