// A line of 16 stations storing into one PostgreSQL server, half of them handing out
// device addresses, with the server stopped for a few seconds in the middle: every run is
// stored exactly once, no address is given twice, and nothing is left in a spool.

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include "btrun_process.h"
#include "line_load.h"
#include "pg_server.h"

namespace {

TEST(Line, SixteenStationsStoreEveryRunOnceThroughAServerRestart) {
    PgServer server;
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    QTemporaryDir dir;
    LineLoad line;
    line.btrun = BTRUN_PATH;
    line.folder = dir.path();
    line.db = server.Url();
    line.plan = QString(DATA_DIR) + "/line-plan.json";
    line.provisioningPlan = QString(DATA_DIR) + "/line-provision.json";
    line.extraArgs = {"--sim-unit", QString(PLANS_DIR) + "/units/golden.json"};
    const int total = line.stations * line.phones;
    const auto count = [&](const QString& url, const QString& sql, bool mustWork = true) {
        return Column(url, sql, mustWork).value(0, "-1").toInt();
    };

    int storedAtStop = -1;
    QString error;
    const bool ran = line.Run(
        [&] {
            if (storedAtStop >= 0) return;
            // Before the first station has made the tables there is nothing to count.
            const int stored = count(server.Url(), "SELECT count(*) FROM runs", false);
            if (stored < total / 4) return;
            storedAtStop = stored;
            ASSERT_TRUE(server.Stop()) << server.Error().toStdString();
            QThread::sleep(3);
            ASSERT_TRUE(server.Start()) << server.Error().toStdString();
        },
        error);
    ASSERT_TRUE(ran) << error.toStdString();
    for (int s = 0; s < line.stations; ++s)
        EXPECT_EQ(line.exits[std::size_t(s)], 0) << line.logs[std::size_t(s)].toStdString();
    // The stop fell in the middle of the line's work, and stations had to keep runs.
    EXPECT_GT(storedAtStop, 0);
    EXPECT_LT(storedAtStop, total);
    int spooling = 0;
    for (const QString& log : line.logs)
        spooling += log.contains(" runs waiting in ");
    EXPECT_GT(spooling, 0);

    for (int s = 0; s < line.stations; ++s) {
        const QString folder = line.StationFolder(s);
        const Finished flush = RunBtrun({"--flush", "--db", server.Url(), "--out", folder});
        EXPECT_EQ(flush.exit, 0) << flush.err.toStdString();
        EXPECT_EQ(count("sqlite:" + folder + "/spool.sqlite", "SELECT count(*) FROM spool"), 0)
            << "station " << s;
    }

    const struct {
        const char* what;
        const char* sql;
        int expected;
    } checks[] = {
        {"runs", "SELECT count(*) FROM runs", total},
        {"phones", "SELECT count(DISTINCT dut_id) FROM runs", total},
        {"runs without all their steps",
         "SELECT count(*) FROM runs r WHERE (SELECT count(*) FROM phases p WHERE "
         "p.run_id = r.run_id) <> CASE WHEN r.plan LIKE '%provisioning' THEN 6 ELSE 5 END",
         0},
        {"stations", "SELECT count(*) FROM stations", line.stations},
        {"addresses", "SELECT count(*) FROM addresses", total / 2},
        {"phones with an address", "SELECT count(DISTINCT dut_id) FROM addresses", total / 2},
        {"addresses read back",
         "SELECT count(DISTINCT value_text) FROM measurements "
         "WHERE name = 'bdaddr' AND outcome = 'PASS'",
         total / 2},
        {"addresses read back as handed out",
         "SELECT count(*) FROM measurements m JOIN runs r ON r.run_id = m.run_id "
         "JOIN addresses a ON a.dut_id = r.dut_id AND a.bdaddr = m.value_text "
         "WHERE m.name = 'bdaddr'",
         total / 2},
    };
    for (const auto& c : checks)
        EXPECT_EQ(count(server.Url(), c.sql), c.expected) << c.what;
}

} // namespace
