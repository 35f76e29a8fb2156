// btrun --station-config: several phones tested at once, one per slot, sharing one test set,
// as an operator feeds it serials and reads its lines and records.

#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

#include "btrun_process.h"
#include "phone_process.h"

namespace {

const QString kPlans = PLANS_DIR;
const QString kUnits = kPlans + "/units/";

struct SlotRun {
    QString slot;
    QJsonObject record;
};

// Each summary line "btrun: [A] SN1 PASS ..., record PATH" with the record it names.
std::vector<SlotRun> Runs(const QString& err, const QString& cwd) {
    std::vector<SlotRun> runs;
    static const QRegularExpression line(R"(btrun: \[(\w+)\] \S+ \w+ .*, record (\S+)\n)");
    for (auto it = line.globalMatch(err); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        runs.push_back({m.captured(1), ReadJson(QDir(cwd).filePath(m.captured(2)))});
    }
    return runs;
}

class Station : public BtrunFolder {
protected:
    // A station file of slots on the built-in phone, `units` naming each slot's profile.
    QString StationFile(const QString& plan, const QStringList& units) {
        QJsonArray list;
        for (int i = 0; i < units.size(); ++i)
            list.append(QJsonObject{{"name", QString(QChar('A' + i))},
                                    {"sim_unit", kUnits + units[i] + ".json"}});
        const QJsonObject station{{"station_id", "t"}, {"plan", plan}, {"slots", list}};
        return Write("station.json", QJsonDocument(station).toJson());
    }
    QString ShortPlan() {
        return Write("short.json", R"({"name": "short", "steps": [{"operation": "chip_on"},
            {"name": "Temperature", "operation": "tmeas_read",
             "measurements": [{"name": "tmeas_fused", "min": 400, "max": 600}]}]})");
    }
};

TEST_F(Station, FourSlotsTestAtOnceAndTakeTheTestSetInTurn) {
    const Finished run = RunBtrun({"--station-config", kPlans + "/stations/sim-4.json"},
                                  "SN1\nSN2\nC:SN3\n\nSN4\n", dir_.path());
    ASSERT_EQ(run.exit, 0) << run.err.toStdString();
    const std::vector<SlotRun> runs = Runs(run.err, dir_.path());
    ASSERT_EQ(runs.size(), 4u) << run.err.toStdString();
    QMap<QString, QString> serials;
    QString lastStart, firstEnd = "9";
    struct Use {
        QString start, end, serial;
    };
    std::vector<Use> uses;
    for (const SlotRun& r : runs) {
        const QString serial = r.record.value("dut_id").toString();
        serials[r.slot] = serial;
        EXPECT_EQ(r.record.value("outcome").toString(), "PASS") << serial.toStdString();
        lastStart = std::max(lastStart, r.record.value("start_time").toString());
        firstEnd = std::min(firstEnd, r.record.value("end_time").toString());
        for (const QJsonValue& p : r.record.value("phases").toArray())
            if (p["operation"].toString().endsWith("x_test"))
                uses.push_back({p["start_time"].toString(), p["end_time"].toString(), serial});
    }
    EXPECT_EQ(serials,
              (QMap<QString, QString>{{"A", "SN1"}, {"B", "SN2"}, {"C", "SN3"}, {"D", "SN4"}}));
    // The four phones were on their slots at once...
    EXPECT_LT(lastStart, firstEnd);
    // ...and no two on the test set at once: in turn, each waiting phone before one again.
    ASSERT_EQ(uses.size(), 4u * 9);
    std::sort(uses.begin(), uses.end(),
              [](const Use& a, const Use& b) { return a.start < b.start; });
    for (std::size_t i = 1; i < uses.size(); ++i)
        EXPECT_LE(uses[i - 1].end, uses[i].start) << i;
    for (std::size_t i = 4; i + 8 <= uses.size(); ++i) {
        QSet<QString> turn;
        for (std::size_t j = i; j < i + 4; ++j)
            turn.insert(uses[j].serial);
        EXPECT_EQ(turn.size(), 4) << "turns " << i << " to " << i + 3;
    }
    EXPECT_TRUE(run.err.contains(QRegularExpression(
        R"(btrun: \[D\] 1 phones in [\d.]+ s, [\d.]+ s \([\d.]+ %\) waiting for the test set)")));
    EXPECT_TRUE(run.err.contains("btrun: station sim-4: 4 phones, 4 passed, 0 failed, 0 errors; "
                                 "first pass yield 100.0 %; PASS"));
}

// One slot's failing phone leaves the others' runs alone; a serial that failed twice is
// TO REPAIR, in this shift and the next (the results store remembers).
TEST_F(Station, FailingPhoneDisturbsNoOtherSlotAndIsRefusedAfterTwoFailures) {
    const QString station = StationFile(ShortPlan(), {"golden", "golden", "hot"});
    const Finished first =
        RunBtrun({"--station-config", station}, "A:SN1\nC:BAD\nB:SN2\nC:BAD\nX:SN9\nC:BAD\nA:SN3\n",
                 dir_.path());
    EXPECT_EQ(first.exit, 1);
    for (const char* line :
         {"btrun: [A] SN1 PASS in ", "btrun: [B] SN2 PASS in ", "btrun: [A] SN3 PASS in ",
          "btrun: [C] BAD FAIL (tmeas_fused = 673 (min 400, max 600)) in ",
          "btrun: [C] BAD FAIL (tmeas_fused = 688 (min 400, max 600)) in ",
          "btrun: no slot X in station t (slots A, B, C): X:SN9 not started\n",
          "btrun: BAD failed 2 times: TO REPAIR (a supervisor releases it)\n",
          "btrun: station t: 5 phones, 3 passed, 2 failed, 0 errors; first pass yield 75.0 %; "
          "FAIL\n"})
        EXPECT_TRUE(first.err.contains(line)) << line << "\n" << first.err.toStdString();
    EXPECT_EQ(Runs(first.err, dir_.path()).size(), 5u);

    const Finished next = RunBtrun({"--station-config", station}, "C:BAD\nA:SN4\n", dir_.path());
    EXPECT_EQ(next.exit, 0) << next.err.toStdString();
    EXPECT_TRUE(next.err.contains("btrun: BAD failed 2 times: TO REPAIR"));
    EXPECT_EQ(
        Column("sqlite:" + Path("results/results.sqlite"),
               "SELECT dut_id || ' ' || outcome FROM runs ORDER BY dut_id"),
        (QStringList{"BAD FAIL", "BAD FAIL", "SN1 PASS", "SN2 PASS", "SN3 PASS", "SN4 PASS"}));
}

TEST_F(Station, CtrlCAbortsEverySlotsRun) {
    const QString plan = Write("long.json", R"({"name": "long", "steps": [
        {"operation": "chip_on"}, {"operation": "le_tx_test", "args": {"items": ["power"]}},
        {"operation": "wait", "args": {"ms": 60000}}, {"operation": "hw_info"}]})");
    QProcess p;
    p.setWorkingDirectory(dir_.path());
    p.setReadChannel(QProcess::StandardError);
    p.start(BTRUN_PATH, {"--station-config", StationFile(plan, {"golden", "golden", "golden"})});
    p.write("SN1\nSN2\nSN3\n"); // and the scanner stays open
    QByteArray err;
    while (!err.contains("[C] SN3 started") && p.waitForReadyRead(10000))
        err += p.readAllStandardError();
    ASSERT_TRUE(err.contains("[C] SN3 started")) << err.toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 2);
    err += p.readAllStandardError();
    const std::vector<SlotRun> runs = Runs(QString::fromUtf8(err), dir_.path());
    ASSERT_EQ(runs.size(), 3u) << err.toStdString();
    for (const SlotRun& r : runs) {
        EXPECT_EQ(r.record.value("outcome").toString(), "ABORTED");
        EXPECT_EQ(r.record.value("phases")[3]["outcome"].toString(), "SKIPPED");
    }
}

// Two slots on one test set through its RF switch: each slot's fixture names its port, so
// each phone is measured on its own air (B's weak transmitter fails, A's golden one passes).
// Then the test set is gone: every slot's radio step errs naming it, the steps before it
// stand, and the console carries no stray lines of the instrument library.
TEST_F(Station, SlotsShareOneTestSetThroughItsSwitchAndALostOneErrsEachNamingIt) {
    PhoneProcess golden, weak;
    TesterProcess testSet;
    const QString a = golden.Start({"--sim-unit", kUnits + "golden.json", "--air", Path("a")});
    const QString b = weak.Start({"--sim-unit", kUnits + "weak-tx.json", "--air", Path("b")});
    const QString tester = testSet.Start({"--air", Path("a"), "--air", Path("b")});
    ASSERT_FALSE(a.isEmpty() || b.isEmpty() || tester.isEmpty());
    const QString plan = Write("radio.json", R"({"name": "radio", "steps": [
        {"operation": "chip_on"},
        {"operation": "le_tx_test", "args": {"channel": 19, "items": ["power"]},
         "measurements": [{"name": "le_power_avg", "min": -10, "max": 6}]},
        {"operation": "hw_info"}]})");
    QJsonArray list;
    for (const auto& [name, port] : {std::pair{"A", a}, std::pair{"B", b}}) {
        const QString fixture = Write(QString("fixture-%1.json").arg(name),
                                      QString(R"({"name": "%1", "tester_port": %2, "points":
                                                 [{"mhz": 2440, "loss_db": 1}]})")
                                          .arg(name)
                                          .arg(list.size() + 1)
                                          .toUtf8());
        list.append(QJsonObject{{"name", name}, {"port", port}, {"fixture", fixture}});
    }
    const QJsonObject station{
        {"station_id", "t"},
        {"plan", plan},
        {"slots", list},
        {"tester", QJsonObject{{"resource", tester},
                               {"profile", kPlans + "/testers/simulated.json"}}}};
    const QString file = Write("station.json", QJsonDocument(station).toJson());
    const Finished shared =
        RunBtrun({"--station-config", file}, "A:SN1\nB:SN2\nA:SN3\nB:SN4\n", dir_.path());
    EXPECT_EQ(shared.exit, 1);
    QMap<QString, QStringList> outcomes;
    for (const SlotRun& r : Runs(shared.err, dir_.path()))
        outcomes[r.slot] << r.record.value("outcome").toString();
    EXPECT_EQ(outcomes,
              (QMap<QString, QStringList>{{"A", {"PASS", "PASS"}}, {"B", {"FAIL", "FAIL"}}}))
        << shared.err.toStdString();

    testSet.Kill();
    const Finished lost = RunBtrun({"--station-config", file}, "SN5\nSN6\n", dir_.path());
    EXPECT_EQ(lost.exit, 3);
    const std::vector<SlotRun> runs = Runs(lost.err, dir_.path());
    ASSERT_EQ(runs.size(), 2u) << lost.err.toStdString();
    for (const SlotRun& r : runs) {
        const QJsonArray phases = r.record.value("phases").toArray();
        EXPECT_EQ(r.record.value("outcome").toString(), "ERROR");
        EXPECT_EQ(phases[0]["outcome"].toString(), "PASS");
        EXPECT_EQ(phases[1]["error"].toString(),
                  "cannot reach the tester at " + tester +
                      ": connection refused or host unreachable");
        EXPECT_EQ(phases[2]["outcome"].toString(), "SKIPPED");
    }
    EXPECT_FALSE(lost.err.contains("Error: ")) << lost.err.toStdString(); // the library's own
}

// What a station hears from the btrun of a slot: one JSON object a line, as it happens.
TEST_F(Station, WorkerTellsItsRunAsEvents) {
    QProcess p;
    p.start(BTRUN_PATH, {ShortPlan(), "--sim-unit", kUnits + "hot.json", "--loop", "--events",
                         "--out", Path("records")});
    p.write("{\"serial\": \"SN 1\"}\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 1);
    QStringList events;
    QJsonObject measurement, finished;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        const QJsonObject e = QJsonDocument::fromJson(line).object();
        if (line.isEmpty()) continue;
        events << e.value("event").toString() + ":" + e.value("name").toString();
        if (e.value("event") == "measurement") measurement = e;
        if (e.value("event") == "finished") finished = e;
    }
    EXPECT_EQ(events,
              (QStringList{"started:", "step:chip_on", "step_done:chip_on", "step:Temperature",
                           "measurement:tmeas_fused", "step_done:Temperature", "finished:"}));
    EXPECT_EQ(measurement, (QJsonObject{{"event", "measurement"},
                                        {"step", "Temperature"},
                                        {"name", "tmeas_fused"},
                                        {"value", 673},
                                        {"units", ""},
                                        {"min", 400},
                                        {"max", 600},
                                        {"outcome", "FAIL"},
                                        {"marginal_flag", false}}));
    EXPECT_EQ(finished.value("serial").toString(), "SN 1");
    EXPECT_EQ(finished.value("outcome").toString(), "FAIL");
    EXPECT_EQ(finished.value("why").toString(), "tmeas_fused = 673 (min 400, max 600)");
    EXPECT_EQ(ReadJson(finished.value("record").toString()).value("dut_id").toString(), "SN 1");
}

struct BadStation {
    const char* json;
    const char* message; // after "btrun: <file>"
};

TEST_F(Station, BadStationFileExitsWith65AndSaysWhereBeforeAnySlotStarts) {
    const QString slot = R"({"name": "A", "sim_unit": ")" + kUnits + R"(golden.json"})";
    const QString plan = R"("plan": ")" + ShortPlan() + R"(")";
    const QString radio = R"("plan": ")" + kPlans + R"(/production.json")";
    Write("junk.json", "{\"name\": \"junk\", \"steps\": [{\"operation\": \"chip_onn\"}]}");
    Write("port.json",
          R"({"name": "A", "tester_port": 2, "points": [{"mhz": 2440, "loss_db": 1}]})");
    const BadStation table[] = {
        {"{\"station_id\": \"t\",\n  }", ":2:3: "},
        {R"({"station_id": "t", "slots": [%S]})", ": the station: missing 'plan'"},
        {R"({"station_id": "t", %P, "slots": []})",
         ": slots: must be a non-empty list of slots, not an empty list"},
        {R"({"station_id": "t", %P, "slots": [%S, {"name": "B"}]})",
         ": slots[1]: give the phone's 'port', or 'sim_unit' for the built-in simulated phone"},
        {R"({"station_id": "t", %P, "slots": [{"name": "A", "port": "/dev/x", "sim_unit": "u"}]})",
         ": slots[0]: give 'port' or 'sim_unit', not both"},
        {R"({"station_id": "t", %R, "slots": [%S, {"name": "B", "port": "/dev/ttyUSB1"}]})",
         ": slots[1].port: the plan measures the radio: a phone on a port needs the station's "
         "'tester' (the built-in test set measures only the built-in phone)"},
        {R"({"station_id": "t", %P, "slots": [%S, %S]})",
         ": slots[1].name: 'A' is the name of slots[0] too"},
        {R"({"station_id": "t", %P, "slots": [{"name": "A:1", "port": "/dev/x"}]})",
         ": slots[0].name: 'A:1' may hold only letters, digits, '-' and '_'"},
        {R"({"station_id": "t", %P, "slots": [{"name": "A", "unit": "x"}]})",
         ": slots[0]: unknown key 'unit' (known: name, port, sim_unit, interface_kind, fixture)"},
        {R"({"station_id": "t", %P, "slots": [{"name": "A", "sim_unit": "none.json"}]})",
         ": slots[0].sim_unit: "},
        {R"({"station_id": "t", "plan": "junk.json", "slots": [%S]})",
         ": plan: %D/junk.json: step 1: unknown operation 'chip_onn'"},
        {R"({"station_id": "t", %P, "retest_limit": 0, "slots": [%S]})",
         ": retest_limit: must be a whole number from 1 to 1000"},
        {R"({"station_id": "t", %P, "db": "mysql://x/y", "slots": [%S]})", ": db: "},
        {R"({"station_id": "t", %P, "slots": [{"name": "A", "port": "/dev/x", "fixture": "port.json"}]})",
         ": slots[0].fixture: tester_port 2: the station's tester has no RF switch to set (its "
         "profile has no fixture.port command)"},
        {R"({"station_id": "t", %P, "tester": {"resource": "10.0.0.5", "profile": "p"},
            "slots": [%S]})",
         ": tester.resource: "},
    };
    for (const BadStation& row : table) {
        QString json = row.json;
        json.replace("%S", slot).replace("%P", plan).replace("%R", radio);
        SCOPED_TRACE(json.toStdString());
        const QString file = Write("bad-station.json", json.toUtf8());
        const Finished run = RunBtrun({"--station-config", file}, "SN1\n", dir_.path());
        EXPECT_EQ(run.exit, 65);
        const QString message = QString(row.message).replace("%D", dir_.path());
        EXPECT_TRUE(run.err.startsWith("btrun: " + file + message)) << run.err.toStdString();
        EXPECT_FALSE(QDir(Path("results")).exists());
    }
}

} // namespace
