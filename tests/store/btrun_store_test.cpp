// btrun with its results database, as a line runs it: the default SQLite file, a PostgreSQL
// server that goes away and comes back, a btrun killed outright, device addresses.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

#include "btrun_process.h"
#include "pg_server.h"

namespace {

const QString kPlans = PLANS_DIR;

class BtrunStore : public BtrunFolder {
protected:
    static void TearDownTestSuite() { server_.reset(); }
    // The suite's PostgreSQL server, started on first use.
    static PgServer& Server() {
        if (!server_) {
            server_ = std::make_unique<PgServer>();
            EXPECT_TRUE(server_->Start()) << server_->Error().toStdString();
        }
        return *server_;
    }

    static inline std::unique_ptr<PgServer> server_;
};

TEST_F(BtrunStore, RunsGoOnWhileTheServerIsDownAndAreUploadedOnceWhenItIsBack) {
    PgServer& server = Server();
    ASSERT_TRUE(server.Stop());
    const QString plan = Write("on.json", R"({"name": "on", "steps": [{"operation": "chip_on"}]})");
    const QString records = Path("records");
    const QStringList args{plan, "--loop", "--out", records, "--db", server.Url(), "--quiet"};
    // Also where the C library and libpq speak German, the server is out of reach, not refusing.
    Finished run = RunBtrun(args, "S1\n", {}, {"LC_ALL=de_DE.UTF-8", "LANGUAGE=de"});
    EXPECT_EQ(run.exit, 0) << run.err.toStdString();
    EXPECT_EQ(
        run.err.count(
            QString("btrun: 1 runs waiting in %1/spool.sqlite: %2: ").arg(records, server.Url())),
        1)
        << run.err.toStdString();
    EXPECT_EQ(RunBtrun({"--flush", "--out", records}).exit, 3);

    QProcess p;
    p.start(BTRUN_PATH, args);
    p.write("R1\n");
    QByteArray err;
    while (!err.contains("btrun: R1 PASS") && p.waitForReadyRead(20000))
        err += p.readAllStandardError();
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    // The server is back, but it rests: the next phone only goes into the spool, and the
    // end of the loop uploads everything.
    p.write("R2\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(60000));
    err += p.readAllStandardError();
    EXPECT_TRUE(err.contains("btrun: R2 PASS")) << err.toStdString();
    EXPECT_TRUE(err.contains("btrun: uploaded 3 runs to " + server.Url().toUtf8()))
        << err.toStdString();
    run = RunBtrun({"--flush", "--out", records});
    EXPECT_EQ(run.exit, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("btrun: no runs waiting in")) << run.err.toStdString();
    EXPECT_EQ(Column(server.Url(), "SELECT dut_id FROM runs WHERE dut_id IN ('S1', 'R1', 'R2') "
                                   "ORDER BY dut_id"),
              (QStringList{"R1", "R2", "S1"}));
}

TEST_F(BtrunStore, ARefusedLoginIsAnErrorAndItsRunWaitsInTheSpool) {
    PgServer& server = Server();
    const QString plan = Write("on.json", R"({"name": "on", "steps": [{"operation": "chip_on"}]})");
    const QString unknown = QString("postgresql://127.0.0.1:%1/nosuchdb").arg(server.Port());
    struct Row {
        QString db, password, why;
        int flushExit; // once the password is right again
    } const rows[] = {
        {server.Url(), "wrong", R"(password authentication failed for user "btstore")", 0},
        {unknown, "btstore-test", R"(database "nosuchdb" does not exist)", 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why.toStdString());
        const QString records = Path(row.password);
        const Finished run = RunBtrun({plan, "--loop", "--out", records, "--db", row.db}, "L1\n",
                                      {}, {"PGPASSWORD=" + row.password});
        EXPECT_EQ(run.exit, 3);
        // One line: why, and that the run waits.
        EXPECT_EQ(run.err.count("btrun: cannot store: " + row.db + ": "), 1)
            << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(
            QRegularExpression(QRegularExpression::escape(row.why) + ".* \\(1 runs wait in " +
                               QRegularExpression::escape(records) + "/spool.sqlite\\)\n")))
            << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("waiting in")) << run.err.toStdString();
        EXPECT_EQ(QDir(records).entryList({"L1-*.json"}).size(), 1);
        EXPECT_EQ(RunBtrun({"--flush", "--out", records}).exit, row.flushExit);
        EXPECT_EQ(Column("sqlite:" + records + "/spool.sqlite", "SELECT count(*) FROM spool"),
                  QStringList{row.flushExit == 0 ? "0" : "1"});
    }
}

TEST_F(BtrunStore, ImportBringsInTheRecordsTheStoreLacksAndADamagedSpoolIsSetAside) {
    PgServer& server = Server();
    const QString plan = Write("on.json", R"({"name": "on", "steps": [{"operation": "chip_on"}]})");
    const QString records = Path("records");
    ASSERT_TRUE(QDir().mkpath(records));
    const QByteArray garbage(3000, 'x');
    Write("records/spool.sqlite", garbage);
    Finished run = RunBtrun({plan, "--loop", "--out", records, "--db", server.Url()}, "I1\nI2\n");
    EXPECT_EQ(run.exit, 0) << run.err.toStdString();
    const QStringList aside = QDir(records).entryList({"spool.sqlite.corrupt-*"});
    ASSERT_EQ(aside.size(), 1) << run.err.toStdString();
    EXPECT_EQ(
        run.err.count(QString("btrun: the spool %1/spool.sqlite is damaged (file is not a "
                              "database): set aside as %1/%2 (its runs are in their record "
                              "files: btrun --import); a new spool takes the runs from now on")
                          .arg(records, aside[0])),
        1)
        << run.err.toStdString();
    QFile setAside(records + "/" + aside[0]);
    EXPECT_TRUE(setAside.open(QIODevice::ReadOnly) && setAside.readAll() == garbage);
    EXPECT_EQ(Column(server.Url(), "SELECT count(*) FROM runs WHERE dut_id IN ('I1', 'I2')"),
              QStringList{"2"});

    const QString junk = Write("records/junk.json", R"({"run_id": 1})");
    Column(server.Url(), "CREATE DATABASE imported");
    const QString pg = QString("postgresql://127.0.0.1:%1/imported").arg(server.Port());
    const QString lite = "sqlite:" + records + "/results.sqlite"; // the default with --out
    const QString one = records + "/" + QDir(records).entryList({"I1-*.json"}).value(0);
    struct Row {
        QStringList args;
        int exit;
        QString says;
    } const rows[] = {
        {{records, "--out", records}, 65, lite + ": 2 added, 0 already present, 1 unreadable"},
        {{records, "--out", records}, 65, "btrun: skipped " + junk + ": not a run record: "},
        {{one, Path("none.json"), "--db", lite}, 65, ": 0 added, 1 already present, 1 unreadable"},
        {{records, "--db", pg}, 65, pg + ": 2 added, 0 already present, 1 unreadable"},
        {{records, "--db", pg}, 65, pg + ": 0 added, 2 already present, 1 unreadable"},
        {{one, "--db", pg}, 0, pg + ": 0 added, 1 already present, 0 unreadable"},
        {{"--db", pg}, 64, "btrun: --import needs record files or folders"},
        {{records, "--db", QString(pg).replace("imported", "nosuchdb")}, 3, "(nothing imported)"},
    };
    for (const Row& row : rows) {
        run = RunBtrun(QStringList{"--import"} + row.args);
        EXPECT_EQ(run.exit, row.exit) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(row.says)) << run.err.toStdString();
    }
    EXPECT_TRUE(QFile::exists(junk));
    EXPECT_EQ(Column(lite, "SELECT count(*) FROM runs"), QStringList{"2"});
    EXPECT_TRUE(RunBtrun({"--help"}).out.contains("--import"));
}

// (The line load test does the same on a new PostgreSQL database.)
TEST_F(BtrunStore, SixteenStationsOpeningANewSqliteFileTogetherAllStoreTheirRuns) {
    const QString plan = Write("on.json", R"({"name": "on", "steps": [{"operation": "chip_on"}]})");
    const QString url = "sqlite:" + Path("shared.sqlite");
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 16; ++i) {
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->start(BTRUN_PATH, {plan, "--dut", QString("P%1").arg(i), "--out",
                                        Path(QString("p%1.json").arg(i)), "--db", url});
    }
    for (const auto& p : runs) {
        EXPECT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    EXPECT_EQ(Column(url, "SELECT count(*) FROM runs"), QStringList{"16"});
}

TEST_F(BtrunStore, KilledOutrightItLeavesOnlyWholeRunsInTheDatabase) {
    const QString plan = Write("eight.json", R"({"name": "eight", "steps": [
        {"operation": "chip_on"}, {"operation": "hw_info"}, {"operation": "firmware_info"},
        {"operation": "rtrim_read"}, {"operation": "tmeas_read"}, {"operation": "vmeas_read"},
        {"operation": "interfaces_read"},
        {"operation": "nvm_read", "args": {"param": "bdaddr"}, "measurements": [{"name": "bdaddr"}]}]})");
    QByteArray serials;
    for (int i = 0; i < 5000; ++i)
        serials += "K" + QByteArray::number(i) + "\n";
    // Killed at delays spread over a whole run, some kills land inside a write.
    for (int delay = 0; delay < 12; ++delay) {
        QProcess p;
        p.setReadChannel(QProcess::StandardError);
        p.start(BTRUN_PATH, {plan, "--loop", "--out", Path("records"), "--quiet"});
        p.write(serials);
        QByteArray err;
        while (err.count("btrun: K") < 3 && p.waitForReadyRead(20000))
            err += p.readAllStandardError();
        std::this_thread::sleep_for(std::chrono::microseconds(delay * 700));
        ::kill(pid_t(p.processId()), SIGKILL);
        ASSERT_TRUE(p.waitForFinished(10000));
        ASSERT_GE(err.count("btrun: K"), 3) << err.toStdString();
    }
    const QString db = "sqlite:" + Path("records/results.sqlite");
    EXPECT_GE(Column(db, "SELECT count(*) FROM runs").value(0).toInt(), 36);
    // Every run with all 8 phases and the one measurement, or not there at all.
    EXPECT_EQ(Column(db, "SELECT count(*) FROM runs r WHERE (SELECT count(*) FROM phases p "
                         "WHERE p.run_id = r.run_id) != 8 OR (SELECT count(*) FROM "
                         "measurements m WHERE m.run_id = r.run_id) != 1"),
              QStringList{"0"});
    // The sqlite3 shell (foreign keys off) deleting a run takes its phases and measurements.
    QProcess shell;
    shell.start("sqlite3", {Path("records/results.sqlite"),
                            "DELETE FROM runs WHERE dut_id IN ('K0', 'K1', 'K2')"});
    ASSERT_TRUE(shell.waitForFinished(30000) && shell.exitCode() == 0)
        << shell.readAllStandardError().toStdString();
    EXPECT_EQ(Column(db, "SELECT (SELECT count(*) FROM phases WHERE run_id NOT IN (SELECT run_id "
                         "FROM runs)) + (SELECT count(*) FROM measurements WHERE run_id NOT IN "
                         "(SELECT run_id FROM runs))"),
              QStringList{"0"});
}

TEST_F(BtrunStore, BdaddrAssignProgramsEachPhoneFromTheBlockUntilItIsUsedUp) {
    PgServer& server = Server();
    const QString plan = Write("assign.json", R"({"name": "assign", "steps": [
        {"name": "Assign", "operation": "bdaddr_assign",
         "args": {"first": "001A7D000100", "last": "001A7D000101"}},
        {"operation": "nvm_read", "args": {"param": "bdaddr"}, "measurements": [{"name": "bdaddr"}]}]})");
    const auto runLoop = [&](const QByteArray& serials, const QString& folder) {
        const QStringList args{plan,
                               "--loop",
                               "--out",
                               Path(folder),
                               "--db",
                               server.Url(),
                               "--sim-unit",
                               kPlans + "/units/golden.json",
                               "--interface-kind",
                               "1"};
        const Finished run = RunBtrun(args, serials);
        // What each phone holds in NVM afterwards, as its record read it.
        QSet<QString> held;
        for (const QString& name : QDir(Path(folder)).entryList({"*.json"})) {
            const QJsonObject r = ReadJson(Path(folder + "/" + name));
            held << r.value("dut_id").toString() + "=" +
                        r.value("phases")[1]["measurements"][0]["value"].toString();
        }
        return std::make_pair(run, held);
    };
    auto [run, held] = runLoop("A\nB\nA\nC\n", "first");
    EXPECT_EQ(run.exit, 3);
    EXPECT_TRUE(run.err.contains("btrun: C ERROR (1 of 2 steps: Assign: address block "
                                 "001A7D000100..001A7D000101 is used up)"))
        << run.err.toStdString();
    EXPECT_EQ(held, (QSet<QString>{"A=001A7D000100", "B=001A7D000101", "C=001A7D4C2E91"}));

    const QStringList db{"--db", server.Url()};
    run = RunBtrun(QStringList{"--release-address", "001A7D000101"} + db);
    EXPECT_EQ(run.exit, 0);
    EXPECT_TRUE(run.err.contains("btrun: released 001A7D000101 (held by B)"));
    EXPECT_EQ(RunBtrun(QStringList{"--release-address", "001A7D000101"} + db).exit, 1);
    EXPECT_EQ(RunBtrun(QStringList{"--release-address", "001A7D0001"} + db).exit, 64);
    run = RunBtrun({plan, "--out", Path("none.json"), "--db", server.Url()});
    EXPECT_EQ(run.exit, 3);
    EXPECT_TRUE(run.err.contains("no serial to hand a device address to")) << run.err.toStdString();
    std::tie(run, held) = runLoop("C\n", "second");
    EXPECT_EQ(run.exit, 0) << run.err.toStdString();
    EXPECT_EQ(held, QSet<QString>{"C=001A7D000101"});
}

} // namespace
