#pragma once
// A results store filled by hand: the store's own schema in a fresh SQLite file and rows
// written with plain SQL, so that every expected figure comes from the rows, not from the
// store's writer.

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <gtest/gtest.h>
#include <utility>

#include "store/connection.h"

class HandStore {
public:
    HandStore() {
        store::Target target;
        QString error;
        EXPECT_TRUE(store::ParseUrl("sqlite:" + Path(), target, error) &&
                    connection_.Open(target, error))
            << error.toStdString();
    }
    QSqlDatabase Db() const { return connection_.Db(); }
    QString Path() const { return dir_.filePath("results.sqlite"); }

    // A run that started at `start` ("2025-03-01T08:00:00.000Z") and took a second.
    void Run(const QString& id, const QString& dut, const QString& station, const QString& outcome,
             const QString& start, const QVariant& slot = {}, const QVariant& lot = {}) {
        Sql("INSERT INTO runs (run_id, dut_id, station_id, plan, plan_file, protocol, outcome, "
            "start_time, end_time, stored_time, slot, lot) VALUES (?, ?, ?, 'Production', "
            "'plans/p.json', 'text', ?, ?, ?, ?, ?, ?)",
            {id, dut, station, outcome, start, start.left(18) + "1.000Z", start, slot, lot});
    }
    void Measure(const QString& run, const QString& name, const QVariant& value,
                 const QVariant& low, const QVariant& high, const QString& outcome,
                 const QString& validator = "{}", const QString& step = "Step", int phase = 1) {
        const bool number = value.metaType().id() != QMetaType::QString;
        Sql("INSERT OR IGNORE INTO phases VALUES (?, ?, ?, 'op', 'PASS', NULL, NULL, 1, NULL, '')",
            {run, phase, step});
        Sql("INSERT INTO measurements VALUES (?, ?, ?, ?, ?, '', ?, ?, ?, ?, 0)",
            {run, phase, name, number ? value : QVariant(), number ? QVariant() : value, low, high,
             validator, outcome});
    }
    void Sql(const QString& sql, const QVariantList& params) {
        QSqlQuery q(Db());
        ASSERT_TRUE(q.prepare(sql)) << q.lastError().text().toStdString();
        for (const QVariant& p : params)
            q.addBindValue(p);
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    }

private:
    QTemporaryDir dir_;
    store::Connection connection_;
};

inline const QVariant kNone{}; // a NULL limit

// Two stations over two days. P2 fails on day one and passes its retest on day two. A's
// slot 2 fails every phone; its runs are of lots L1 and L2, B's name neither slot nor lot.
inline void FillLine(HandStore& s) {
    s.Run("r1", "P1", "A", "PASS", "2025-03-01T08:00:00.000Z", "1", "L1");
    s.Run("r2", "P2", "A", "FAIL", "2025-03-01T09:00:00.000Z", "2", "L1");
    s.Run("r3", "P2", "A", "PASS", "2025-03-02T08:00:00.000Z", "1", "L2");
    s.Run("r4", "P3", "A", "ERROR", "2025-03-02T09:00:00.000Z", "2", "L2");
    s.Run("r5", "P4", "B", "ABORTED", "2025-03-02T10:00:00.000Z");
    s.Run("r6", "P5", "B", "PASS", "2025-03-02T11:00:00.000Z");
    // temp: the newest run with limits (r3) sets them, the one after it has none.
    s.Measure("r1", "temp", 10, 0, 30, "PASS");
    s.Measure("r2", "temp", 12, 0, 30, "PASS");
    s.Measure("r3", "temp", 14, 0, 20, "PASS");
    s.Measure("r4", "temp", 12, kNone, kNone, "PASS");
    s.Measure("r1", "per", 1, kNone, 9, "PASS");
    s.Measure("r2", "per", 3, kNone, 9, "FAIL");
    s.Measure("r5", "rssi", -50, -80, kNone, "PASS");
    s.Measure("r6", "rssi", -54, -80, kNone, "FAIL");
    s.Measure("r1", "flat", 5, 0, 10, "PASS");
    s.Measure("r2", "flat", 5, 0, 10, "PASS");
    s.Measure("r1", "count", 7, kNone, kNone, "PASS");
    s.Measure("r2", "count", 9, kNone, kNone, "PASS");
    s.Measure("r1", "single", 3, 0, 10, "PASS");
    s.Measure("r6", "x", 1, 0, 0.5, "FAIL");
    // Readings 1, 5, 2, 4, 3 in the order the runs started, stored in another order.
    const std::pair<const char*, int> zigzag[] = {
        {"r3", 2}, {"r5", 3}, {"r1", 1}, {"r4", 4}, {"r2", 5}};
    for (const auto& [run, value] : zigzag)
        s.Measure(run, "zigzag", value, 0, 10, "PASS");
    // One name in two steps: two measurements. r2's chip stayed on.
    for (const char* run : {"r1", "r2"}) {
        const bool on = run == QString("r2");
        s.Measure(run, "chip_state", 1, kNone, kNone, "PASS", R"({"equals": 1})",
                  "Switch the chip on", 2);
        s.Measure(run, "chip_state", on ? 1 : 0, kNone, kNone, on ? "FAIL" : "PASS",
                  R"({"equals": 0})", "Switch the chip off", 3);
    }
    for (const char* run : {"r1", "r2", "r4"})
        s.Measure(run, "fw", run == QString("r1") ? "4.6" : "4.5", kNone, kNone,
                  run == QString("r1") ? "PASS" : "FAIL", R"({"equals": "4.6"})");
    s.Sql("INSERT INTO phases VALUES ('r4', 2, 'Firmware', 'firmware_info', 'ERROR', NULL, NULL, "
          "1, 'no answer', '')",
          {});
}
