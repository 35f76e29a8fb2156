// btrun as a production line runs it: a plan, a phone, an exit status and one record per
// phone, with no display.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QMap>
#include <QSet>
#include <QTemporaryDir>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "btrun_process.h"
#include "phone_process.h"

namespace {

const QString kPlans = PLANS_DIR;
const QString kProduction = kPlans + "/production.json";

QString Unit(const QString& name) {
    return kPlans + "/units/" + name + ".json";
}

// Names of the measurements a record judged FAIL.
QSet<QString> FailedMeasurements(const QJsonObject& record) {
    QSet<QString> failed;
    for (const QJsonValue& phase : record.value("phases").toArray())
        for (const QJsonValue& m : phase.toObject().value("measurements").toArray())
            if (m.toObject().value("outcome").toString() != "PASS")
                failed.insert(m.toObject().value("name").toString());
    return failed;
}

int MeasurementCount(const QJsonObject& record) {
    int count = 0;
    for (const QJsonValue& phase : record.value("phases").toArray())
        count += static_cast<int>(phase.toObject().value("measurements").toArray().size());
    return count;
}

int StepCount(const QString& plan) {
    return static_cast<int>(ReadJson(plan).value("steps").toArray().size());
}

// The JUnit file as a CI server reads it: valid against the schema of a Jenkins importer
// (checked by xmllint), with `cases` test cases of which `failures` failed.
void ExpectValidJUnit(const QString& path, int cases, int failures) {
    QProcess xmllint;
    xmllint.start("xmllint", {"--noout", "--schema", JUNIT_XSD, path});
    ASSERT_TRUE(xmllint.waitForFinished(30000)) << "xmllint (package libxml2-utils) is missing";
    EXPECT_EQ(xmllint.exitCode(), 0) << xmllint.readAllStandardError().toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray xml = file.readAll();
    EXPECT_EQ(xml.count("<testcase "), cases);
    EXPECT_EQ(xml.count("<failure "), failures);
}

class Btrun : public BtrunFolder {};

struct BadPlan {
    const char* json;
    const char* message; // after "<file>"
};

TEST_F(Btrun, ExitsWith65AndSaysWhatIsWrongBeforeOpeningTheLink) {
    const BadPlan table[] = {
        {"{\"name\": \"p\",\n\"steps\": [\n{\"operation\": \"chip_on\",}]}",
         ":3:25: object is missing after a comma"},
        {R"({"name": "p", "steps": [{"operation": "chip_onn"}]})",
         ": step 1: unknown operation 'chip_onn'"},
        {R"({"name": "p", "steps": [{"name": "T", "operation": "tmeas_read",
            "measurements": [{"name": "tmeas_fusd"}]}]})",
         ": step 1 (\"T\"): unknown measurement 'tmeas_fusd' of tmeas_read"},
        {R"({"name": "p", "steps": [{"operation": "chip_on"}, {"operation": "tmeas_read",
            "measurements": [{"name": "tmeas_fused", "min": 700, "max": 600}]}]})",
         ": step 2: measurement 'tmeas_fused': min 700 above max 600"},
        {R"({"name": "p", "steps": [{"operation": "le_rx_end", "args": {"expected_packets": 1500},
            "measurements": [{"name": "le_per", "max": "30.8"}]}]})",
         ": step 1: measurement 'le_per': 'max' must be a number, not text"},
        {R"({"name": "p", "steps": [{"operation": "firmware_info",
            "measurements": [{"name": "firmware_version", "min": 4}]}]})",
         ": step 1: measurement 'firmware_version' is text: 'min', 'max' and 'marginal' apply "
         "to numbers"},
        {R"({"name": "p", "steps": [{"operation": "le_rx_end", "args": {"expected_packets": 1500},
            "measurements": [{"name": "le_per", "max": 30.8, "marginal": {"max": 40}}]}]})",
         ": step 1: measurement 'le_per' marginal band must lie inside the limits"},
        {R"({"name": "p", "steps": [{"operation": "rf_test_mode",
            "args": {"epc_num_steps": 4, "epc_max_step_2mbps": 3}}]})",
         ": step 1: argument 'epc_max_step_1mbps' (6) is above the highest step 3 of "
         "epc_num_steps 4"},
        {R"({"name": "p", "steps": [{"operation": "le_tx_test", "args": {"items": ["power"]},
            "measurements": [{"name": "le_power_avg", "min": -30, "max": 10}]}]})",
         ": step 1: measurement 'le_power_avg' min -30 is looser: the standard's limit is "
         "-20..10 dBm (RF-PHY/TRM/BV-01-C Output power); tighten it or give \"waiver\": \"why\""},
        {R"({"name": "p", "steps": [{"operation": "br_tx_test", "args": {"packet_type": "DH1"},
            "measurements": [{"name": "br_drift", "min": -40, "max": 40}]}]})",
         ": step 1: measurement 'br_drift' min -40 is looser: the standard's limit is ±25 kHz "
         "(RF TRM/CA/09/C Carrier frequency drift, DH1 packets)"},
        {R"({"name": "p", "steps": [{"operation": "le_rx_test", "args": {"level": -60},
            "measurements": [{"name": "le_per", "max": 30.8}]}]})",
         ": step 1: level -60 dBm is above the standard's -70 dBm (RF-PHY/RCV/BV-01-C Receiver "
         "sensitivity)"},
        {R"({"name": "p", "steps": [{"operation": "rssi", "args": {"handle": 1}}]})",
         ": step 1: unknown argument 'handle' of rssi (it takes connection_handle)"},
    };
    for (const BadPlan& row : table) {
        SCOPED_TRACE(row.json);
        const QString plan = Write("bad.json", row.json);
        const QString record = Path("record.json");
        // A link that cannot be opened would end with 3: the plan is refused first.
        const Finished run = RunBtrun({plan, "--port", "/nonexistent/tty", "--out", record});
        EXPECT_EQ(run.exit, 65);
        EXPECT_TRUE(run.err.startsWith("btrun: " + plan + row.message)) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(record));
    }
}

TEST_F(Btrun, RejectsBadUsageAndBadUnitProfilesWithTheirOwnCodes) {
    EXPECT_EQ(RunBtrun({}).exit, 64);
    EXPECT_EQ(RunBtrun({kProduction, "--baud", "9600"}).exit, 64);
    EXPECT_EQ(RunBtrun({kProduction, "--loop", "--dut", "X"}).exit, 64);
    EXPECT_EQ(RunBtrun({kProduction, "--loop", "--released-by", "Sue"}).exit, 64);
    // --out is a folder with --loop and a new file without it; a record is never replaced.
    const QString old = Write("old.json", "{}");
    for (const QStringList& args : {QStringList{"--out", dir_.path()},
                                    QStringList{"--out", old},
                                    QStringList{"--loop", "--out", old}}) {
        const Finished run = RunBtrun(QStringList{kProduction} + args, "SN1\n");
        EXPECT_EQ(run.exit, 64) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("--out " + args.back() + " ")) << run.err.toStdString();
    }
    EXPECT_EQ(ReadJson(old), QJsonObject());
    const Finished empty = RunBtrun({kProduction, "--loop", "--out", Path("none")}, "\n  \n");
    EXPECT_EQ(empty.exit, 65);
    EXPECT_TRUE(empty.err.contains("btrun: no serial on standard input: no phone was tested"));
    EXPECT_FALSE(empty.err.contains("PASS")) << empty.err.toStdString();
    QProcess help;
    help.start(BTRUN_PATH, {"--help"});
    ASSERT_TRUE(help.waitForFinished(10000));
    const QString modes = help.readAllStandardOutput();
    for (const char* mode : {"--flush", "--release-address", "--report", "--loop", "--db"})
        EXPECT_TRUE(modes.contains(mode)) << mode;
    const QString profile = Write("unit.json", R"({"tmeas_fused": {"mean": 500}})");
    const Finished run = RunBtrun({kProduction, "--sim-unit", profile});
    EXPECT_EQ(run.exit, 65);
    EXPECT_TRUE(run.err.contains(profile + ": 'tmeas_fused' must be a number or"))
        << run.err.toStdString();
}

// Every run here starts without a display; a line PC need not have Qt's GUI libraries.
TEST_F(Btrun, LinksNeitherQtWidgetsNorQtGui) {
    QFile program(BTRUN_PATH);
    ASSERT_TRUE(program.open(QIODevice::ReadOnly));
    const QByteArray bytes = program.readAll();
    EXPECT_TRUE(bytes.contains("libQt6Core.so"));
    EXPECT_FALSE(bytes.contains("libQt6Widgets.so"));
    EXPECT_FALSE(bytes.contains("libQt6Gui.so"));
}

class BtrunProtocol : public Btrun, public testing::WithParamInterface<int> {};

TEST_P(BtrunProtocol, GoldenUnitPassesTheProductionPlan) {
    // As on a station with nothing set up: the record goes to results/, the run into
    // results/results.sqlite beside it.
    const QString junit = Path("golden.xml");
    const QStringList about = {"--slot",        "B",      "--operator",    "Ann Lee",
                               "--part-number", "PN-100", "--revision",    "C",
                               "--lot",         "L42",    "--released-by", "Sue"};
    const Finished run =
        RunBtrun(QStringList{kProduction, "--sim-unit", Unit("golden"), "--interface-kind",
                             QString::number(GetParam()), "--dut", "SN-1", "--junit", junit} +
                     about,
                 {}, dir_.path());
    ASSERT_EQ(run.exit, 0) << run.err.toStdString();
    const QStringList files = QDir(Path("results")).entryList({"*.json"});
    ASSERT_EQ(files.size(), 1);
    const QJsonObject r = ReadJson(Path("results/" + files[0]));
    EXPECT_EQ(r.value("outcome").toString(), "PASS");
    EXPECT_EQ(r.value("dut_id").toString(), "SN-1");
    EXPECT_EQ(r.value("protocol").toString(), GetParam() == 2 ? "text" : "binary");
    EXPECT_EQ(r.value("phases").toArray().size(), StepCount(kProduction));
    EXPECT_GE(MeasurementCount(r), 25);
    EXPECT_TRUE(FailedMeasurements(r).isEmpty());
    // Where, by whom, for what and with which plan and program the phone was tested.
    QFile plan(kProduction);
    ASSERT_TRUE(plan.open(QIODevice::ReadOnly));
    const QString sha =
        QCryptographicHash::hash(plan.readAll(), QCryptographicHash::Sha256).toHex();
    const QString tester = r.value("tester").toObject().value("identity").toString();
    const QString said = "B|Ann Lee|PN-100|C|L42|Sue|" + sha + "|" + tester + "|" BT_VERSION;
    const QStringList keys = {"slot", "operator",    "part_number", "revision",
                              "lot",  "released_by", "plan_sha256"};
    QStringList got;
    for (const QString& key : keys)
        got << r.value(key).toString();
    EXPECT_EQ(got.join('|') + "|" + tester + "|" + r.value("software")["version"].toString(), said);
    EXPECT_TRUE(tester.startsWith("BTSIM,"));
    EXPECT_TRUE(QRegularExpression("^([0-9a-f]{4,}|unknown)$")
                    .match(r.value("software")["commit"].toString())
                    .hasMatch());
    const QString db = "sqlite:" + Path("results/results.sqlite");
    EXPECT_EQ(Column(db, "SELECT run_id || ' ' || dut_id || ' ' || outcome FROM runs"),
              QStringList{r.value("run_id").toString() + " SN-1 PASS"});
    EXPECT_EQ(Column(db, "SELECT " + keys.join(" || '|' || ") +
                             " || '|' || tester_identity || '|' || software_version FROM runs"),
              QStringList{said});
    EXPECT_EQ(Column(db, "SELECT count(*) FROM phases"),
              QStringList{QString::number(StepCount(kProduction))});
    EXPECT_EQ(Column(db, "SELECT count(*) FROM measurements"),
              QStringList{QString::number(MeasurementCount(r))});
    EXPECT_TRUE(run.err.contains("btrun: SN-1 PASS"));

    ExpectValidJUnit(junit, StepCount(kProduction), 0);
}

TEST_P(BtrunProtocol, HciSmokePlanLeavesATraceThatBtmonDecodes) {
    const QString trace = Path("smoke.btsnoop");
    const Finished run =
        RunBtrun({kPlans + "/hci-smoke.json", "--sim-unit", Unit("golden"), "--interface-kind",
                  QString::number(GetParam()), "--out", Path("smoke.json"), "--btsnoop", trace});
    ASSERT_EQ(run.exit, 0) << run.err.toStdString();
    QProcess btmon;
    btmon.start("btmon", {"-r", trace});
    ASSERT_TRUE(btmon.waitForFinished(30000)) << "btmon (package bluez) must be installed";
    const QString decoded = btmon.readAllStandardOutput();
    for (const char* name : {"HCI Command: Reset", "HCI Command: Read BD ADDR",
                             "HCI Command: Read Local Version Information",
                             "HCI Command: LE Receiver Test", "HCI Command: LE Test End"})
        EXPECT_TRUE(decoded.contains(name)) << name << "\n" << decoded.toStdString();
    EXPECT_EQ(decoded.count("Status: Success (0x00)"), 5) << decoded.toStdString();
    EXPECT_TRUE(decoded.contains(QRegularExpression("Number of packets: [1-9][0-9]*")));
}

struct FailingUnit {
    const char* unit;
    int kind;
    QSet<QString> measurements;
};

TEST_F(Btrun, EachFailingUnitFailsOnlyItsOwnMeasurements) {
    const FailingUnit table[] = {
        {"hot", 2, {"tmeas_fused"}},
        {"deaf", 1, {"le_per"}},
        {"old-firmware", 2, {"firmware_version"}},
        {"old-firmware", 1, {"firmware_version"}},
        {"weak-tx", 2, {"le_power_avg", "br_power_avg"}},
        {"off-frequency", 1, {"le_freq_offset", "br_icft"}},
        {"drifting", 2, {"le_drift", "le_drift_rate", "br_drift", "br_drift_rate"}},
        {"insensitive", 1, {"le_per"}},
    };
    for (const FailingUnit& row : table) {
        SCOPED_TRACE(row.unit);
        const QString record = Path(QString(row.unit) + QString::number(row.kind) + ".json");
        const QString junit = Path(QString(row.unit) + QString::number(row.kind) + ".xml");
        const Finished run =
            RunBtrun({kProduction, "--sim-unit", Unit(row.unit), "--interface-kind",
                      QString::number(row.kind), "--out", record, "--junit", junit});
        EXPECT_EQ(run.exit, 1) << run.err.toStdString();
        const QJsonObject r = ReadJson(record);
        EXPECT_EQ(r.value("outcome").toString(), "FAIL");
        EXPECT_EQ(FailedMeasurements(r), row.measurements);
        EXPECT_FALSE(r.contains("slot") || r.contains("lot") || r.contains("released_by"));
        // The step's console line names each failing measurement with its value and limits.
        for (const QString& name : row.measurements)
            EXPECT_TRUE(run.err.contains(QRegularExpression(
                QString("FAIL  (.*; )?%1 = \\S+.* \\((min|max|equals) ").arg(name))))
                << name.toStdString() << "\n"
                << run.err.toStdString();
    }
    ExpectValidJUnit(Path("hot2.xml"), StepCount(kProduction), 1);
}

TEST_F(Btrun, InterruptFinishesTheStepAndWritesAWholeAbortedRecord) {
    const QString plan = Write("long.json", R"({"name": "long", "steps": [
        {"name": "On", "operation": "chip_on"},
        {"name": "Wait", "operation": "wait", "args": {"ms": 60000}},
        {"name": "Info", "operation": "hw_info"}]})");
    const QString record = Path("aborted.json");
    QProcess p;
    p.setReadChannel(QProcess::StandardError);
    p.start(BTRUN_PATH, {plan, "--sim-unit", Unit("golden"), "--out", record});
    QByteArray err;
    while (!err.contains("[1/3]") && p.waitForReadyRead(10000))
        err += p.readAllStandardError();
    ASSERT_TRUE(err.contains("[1/3]")) << err.toStdString();
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    const QJsonObject r = ReadJson(record);
    EXPECT_EQ(r.value("outcome").toString(), "ABORTED");
    EXPECT_FALSE(r.value("end_time").toString().isEmpty());
    const QJsonArray phases = r.value("phases").toArray();
    ASSERT_EQ(phases.size(), 3);
    EXPECT_EQ(phases[0].toObject().value("outcome").toString(), "PASS");
    EXPECT_EQ(phases[2].toObject().value("outcome").toString(), "SKIPPED");
}

TEST_F(Btrun, LoopKeepsARecordOfEveryPhoneUnderAVisibleNameOfItsOwn) {
    const QString plan = Write("short.json", R"({"name": "short", "steps": [
        {"operation": "chip_on"},
        {"operation": "tmeas_read", "measurements": [{"name": "tmeas_fused", "max": 600}]}]})");
    // Serials that a plain clean-up would give one name, or a hidden one; twice each, so
    // that some of them share a millisecond.
    const QStringList serials = {"A/B", "A_B", "A?B", "A%2FB", "../../etc/x", ".x", "C3"};
    const QByteArray input = (serials + serials).join("\n").toUtf8() + "\n\n";
    const Finished run = RunBtrun({plan, "--sim-unit", Unit("golden"), "--loop", "--out",
                                   Path("records"), "--junit", Path("loop.xml")},
                                  input);
    EXPECT_EQ(run.exit, 0) << run.err.toStdString();
    ExpectValidJUnit(Path("loop.xml"), 2 * 2 * int(serials.size()), 0);
    QMap<QString, int> duts;
    QSet<double> temperatures;
    const QDir records(Path("records"));
    const QStringList names = records.entryList({"*.json"}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        EXPECT_FALSE(name.startsWith('.')) << name.toStdString();
        const QJsonObject r = ReadJson(records.filePath(name));
        ++duts[r.value("dut_id").toString()];
        const QJsonValue m =
            r.value("phases").toArray()[1].toObject().value("measurements").toArray()[0];
        temperatures.insert(m.toObject().value("value").toDouble());
    }
    EXPECT_EQ(names.size(), 2 * serials.size());
    for (const QString& serial : serials)
        EXPECT_EQ(duts.value(serial), 2) << serial.toStdString();
    // The name still shows the serial where it can.
    EXPECT_EQ(names.filter(QRegularExpression("^A_B-")).size(), 2);
    EXPECT_EQ(names.filter(QRegularExpression("^C3-")).size(), 2);
    // Phones of one profile are different phones.
    EXPECT_GT(temperatures.size(), 1);
}

// A phone that does not answer, a port that is not there and a phone unplugged in mid-run
// all end the run as a link error that names the link, after the plan's retries; the
// steps after it are not run, and the run is recorded and stored.
TEST_P(BtrunProtocol, PhoneThatDoesNotAnswerEndsTheRunWithALinkError) {
    const QString plan = Write("link.json", R"({"name": "link", "options": {"retries": 1},
        "steps": [{"name": "Info", "operation": "hw_info"},
                  {"name": "Wait", "operation": "wait", "args": {"ms": 1500}},
                  {"name": "Temperature", "operation": "tmeas_read"},
                  {"name": "Trim", "operation": "rtrim_read"}]})");
    enum class Phone { Silent, Missing, Unplugged };
    for (const Phone kind : {Phone::Silent, Phone::Missing, Phone::Unplugged}) {
        SCOPED_TRACE(int(kind));
        PhoneProcess phone;
        const QString device = kind == Phone::Missing ? "/nonexistent/tty"
                               : kind == Phone::Silent ? phone.Start({"--fault", "silent"})
                                                       : phone.Start();
        ASSERT_FALSE(device.isEmpty());
        const QString record = Path(QString("link%1.json").arg(int(kind)));
        const QString junit = Path(QString("link%1.xml").arg(int(kind)));
        QProcess p;
        p.setReadChannel(QProcess::StandardError);
        p.start(BTRUN_PATH, {plan, "--port", device, "--interface-kind",
                             QString::number(GetParam()), "--out", record, "--junit", junit});
        QByteArray err;
        if (kind == Phone::Unplugged) {
            while (!err.contains("[1/4]") && p.waitForReadyRead(10000))
                err += p.readAllStandardError();
            phone.Kill();
        }
        ASSERT_TRUE(p.waitForFinished(30000));
        err += p.readAllStandardError();
        EXPECT_EQ(p.exitCode(), 3) << err.toStdString();
        const int failed = kind == Phone::Unplugged ? 2 : 0;
        const QJsonArray phases = ReadJson(record).value("phases").toArray();
        ASSERT_EQ(phases.size(), 4) << err.toStdString();
        const QJsonObject step = phases[failed].toObject();
        EXPECT_EQ(step.value("outcome").toString(), "ERROR");
        EXPECT_EQ(step.value("attempts").toInt(), 2);
        const QString why = step.value("error").toString();
        EXPECT_TRUE(why.startsWith(kind == Phone::Silent
                                       ? "no answer from the phone on " + device
                                       : kind == Phone::Missing
                                             ? "cannot open serial port " + device + ": "
                                             : "cannot open serial port " + device))
            << why.toStdString();
        EXPECT_FALSE(why.contains("version")) << why.toStdString();
        for (qsizetype i = failed + 1; i < phases.size(); ++i) {
            EXPECT_EQ(phases[i].toObject().value("outcome").toString(), "SKIPPED");
            EXPECT_TRUE(phases[i].toObject().value("start_time").isNull());
        }
        ExpectValidJUnit(junit, 4, 0);
        EXPECT_EQ(Column("sqlite:" + Path("results.sqlite"),
                         "SELECT outcome FROM runs WHERE run_id = '" +
                             ReadJson(record).value("run_id").toString() + "'"),
                  QStringList{"ERROR"});
    }
}

// The phone and the test set as separate programs on one air, as on a line.
TEST_P(BtrunProtocol, ProductionPlanPassesAgainstPhonesimAndTestersimOnTheAir) {
    const QString air = Path("air"), fixture = kPlans + "/fixtures/station.json";
    PhoneProcess phone;
    const QString device = phone.Start({"--sim-unit", Unit("golden"), "--air", air});
    TesterProcess tester;
    const QString address = tester.Start({"--air", air, "--path-loss", fixture});
    ASSERT_FALSE(device.isEmpty() || address.isEmpty());
    const QString record = Path("pty.json");
    const Finished run = RunBtrun({kProduction, "--port", device, "--interface-kind",
                                   QString::number(GetParam()), "--tester", address,
                                   "--tester-profile", kPlans + "/testers/simulated.json",
                                   "--fixture", fixture, "--out", record, "--scpi-log",
                                   Path("scpi.log")});
    EXPECT_EQ(run.exit, 0) << run.err.toStdString();
    const QJsonObject r = ReadJson(record);
    EXPECT_EQ(r.value("outcome").toString(), "PASS");
    EXPECT_TRUE(FailedMeasurements(r).isEmpty());
    EXPECT_TRUE(r.value("tester").toObject().value("identity").toString().startsWith("BTSIM,"));
    EXPECT_EQ(r.value("tester").toObject().value("address").toString(), address);
    EXPECT_EQ(r.value("fixture").toObject().value("sha256").toString().size(), 64);
    QFile log(Path("scpi.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString(log.readAll())
                    .contains(QRegularExpression("\\d\\dZ > READ:LE:POW\\?\\n.*Z < -?\\d")));
}

// Readings refer to the phone's antenna only with the right fixture file: one 2 dB off
// shifts them by 2 dB. A test set that goes away is a link error naming it.
TEST_F(Btrun, RadioReadingsFollowTheFixtureFileAndALostTestSetIsALinkError) {
    const QString air = Path("air");
    const QString truth = Write("truth.json", R"({"name": "true", "points": [
        {"mhz": 2402, "loss_db": 1.0}, {"mhz": 2480, "loss_db": 3.0}]})");
    const QString off = Write("off.json", R"({"name": "2 dB too much", "points": [
        {"mhz": 2402, "loss_db": 3.0}, {"mhz": 2480, "loss_db": 5.0}]})");
    const QString plan = Write("power.json", R"({"name": "power", "options": {"retries": 1},
        "steps": [{"operation": "le_tx_test", "args": {"channel": 19, "items": ["power"]},
                   "measurements": [{"name": "le_power_avg", "min": -20, "max": 10}]}]})");
    PhoneProcess phone;
    const QString device = phone.Start({"--sim-unit", Unit("golden"), "--air", air});
    TesterProcess tester;
    const QString address = tester.Start({"--air", air, "--path-loss", truth});
    ASSERT_FALSE(device.isEmpty() || address.isEmpty());
    // The record's only step, after a run with `fixture` that ended with `exit`.
    const auto step = [&](const QString& fixture, const QString& out, int exit) {
        const Finished run =
            RunBtrun({plan, "--port", device, "--tester", address, "--tester-profile",
                      kPlans + "/testers/simulated.json", "--fixture", fixture, "--out", out});
        EXPECT_EQ(run.exit, exit) << run.err.toStdString();
        return ReadJson(out).value("phases").toArray().first().toObject();
    };
    const auto value = [](const QJsonObject& phase) {
        return phase.value("measurements").toArray().first().toObject().value("value").toDouble();
    };
    const double right = value(step(truth, Path("right.json"), 0));
    EXPECT_NEAR(value(step(off, Path("shifted.json"), 0)) - right, 2.0, 0.3);
    tester.Kill();
    const QJsonObject lost = step(truth, Path("lost.json"), 3);
    EXPECT_TRUE(lost.value("error").toString().contains(address))
        << lost.value("error").toString().toStdString();
    EXPECT_EQ(lost.value("attempts").toInt(), 2);
}

// Off the standard's test condition with a waiver; the fixture calibrated from a golden
// phone of known power finds the air's loss.
TEST_F(Btrun, WaivedRadioStepRunsAndCalibrationFindsTheAirsLoss) {
    const QString plan = Write("quick.json", R"({"name": "quick", "steps": [
        {"operation": "le_rx_test", "args": {"channel": 3, "level": -60, "packets": 100},
         "measurements": [{"name": "le_per", "max": 50, "waiver": "quick check at -60 dBm"}]}]})");
    const Finished run = RunBtrun({plan, "--sim-unit", Unit("golden"), "--out", Path("w.json")});
    EXPECT_EQ(run.exit, 0) << run.err.toStdString();
    const QJsonObject m = ReadJson(Path("w.json"))
                              .value("phases")
                              .toArray()
                              .first()
                              .toObject()
                              .value("measurements")
                              .toArray()
                              .first()
                              .toObject();
    EXPECT_EQ(m.value("validator").toObject().value("waiver").toString(), "quick check at -60 dBm");
    EXPECT_EQ(m.value("value").toDouble(), 0.0);

    const QString loss = Write("loss.json", R"({"name": "air", "points": [
        {"mhz": 2402, "loss_db": 2.0}, {"mhz": 2480, "loss_db": 4.0}]})");
    const QString nominal = Write("nominal.json", R"({"name": "nominal", "radio": {
        "power_error_db": -1.5}})");
    const Finished cal = RunBtrun({"--calibrate-fixture", nominal, "--fixture", loss, "--out",
                                   Path("cal.json"), "--channels", "0,39"});
    ASSERT_EQ(cal.exit, 0) << cal.err.toStdString();
    const QJsonArray points = ReadJson(Path("cal.json")).value("points").toArray();
    ASSERT_EQ(points.size(), 2);
    EXPECT_EQ(points[1].toObject().value("mhz").toInt(), 2480);
    EXPECT_NEAR(points[0].toObject().value("loss_db").toDouble(), 2.0, 0.3);
    EXPECT_NEAR(points[1].toObject().value("loss_db").toDouble(), 4.0, 0.3);
}

// A reference radio (refsim) on the phone's air instead of a test set: over HCI with a
// trace btmon decodes, and over Direct Test Mode. Across the two phone protocols each link
// sees the golden phone pass and the insensitive one fail.
TEST_P(BtrunProtocol, ReferenceRadioRunsTheReferencePlanOverHciAndDirectTestMode) {
    const QString plan = kPlans + "/production-reference.json";
    const QString fixture = kPlans + "/fixtures/reference.json";
    struct Row {
        const char* link;
        const char* unit;
        QSet<QString> failed;
    };
    std::vector<Row> rows = {{"h4", "golden", {}}, {"dtm", "insensitive", {"le_per"}}};
    if (GetParam() == 1) rows = {{"dtm", "golden", {}}, {"h4", "insensitive", {"le_per"}}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.link) + " " + row.unit);
        const QString air = Path(QString("air-") + row.link);
        PhoneProcess phone, reference(REFSIM_PATH);
        const QString device = phone.Start({"--sim-unit", Unit(row.unit), "--air", air});
        QStringList refArgs = {"--air", air, "--power", "-20", "--path-loss", fixture};
        if (QString(row.link) == "dtm") refArgs << "--dtm";
        const QString radio = reference.Start(refArgs);
        ASSERT_FALSE(device.isEmpty() || radio.isEmpty());
        const QString record = Path(QString(row.link) + ".json");
        QStringList args = {plan, "--port", device, "--interface-kind", QString::number(GetParam()),
                            "--tester", QString(row.link) + ":" + radio, "--reference-power",
                            "-20", "--fixture", fixture, "--out", record};
        if (QString(row.link) == "h4") args << "--tester-trace" << Path("ref.btsnoop");
        const Finished run = RunBtrun(args);
        EXPECT_EQ(run.exit, row.failed.isEmpty() ? 0 : 1) << run.err.toStdString();
        EXPECT_EQ(FailedMeasurements(ReadJson(record)), row.failed);
    }
    QProcess btmon;
    btmon.start("btmon", {"-r", Path("ref.btsnoop")});
    ASSERT_TRUE(btmon.waitForFinished(30000));
    const QString decoded = btmon.readAllStandardOutput();
    for (const char* name : {"HCI Command: Reset", "HCI Command: Read Local Version Information",
                             "HCI Command: Read BD ADDR", "HCI Command: LE Receiver Test",
                             "HCI Command: LE Transmitter Test", "HCI Command: LE Test End",
                             "HCI Event: Command Complete"})
        EXPECT_TRUE(decoded.contains(name)) << name;
    EXPECT_FALSE(decoded.contains("Unknown")) << decoded.toStdString();
}

// A reference radio refuses what it cannot do: a transmitter measurement before anything
// is sent, a command it answers with an error status by naming the command and the error.
// One that never answers is a link error.
TEST_F(Btrun, ReferenceRadioRefusalsNameWhatAndWhy) {
    const QString air = Path("air");
    PhoneProcess phone, reference(REFSIM_PATH);
    const QString device = phone.Start({"--sim-unit", Unit("golden"), "--air", air});
    const QString radio = reference.Start({"--air", air, "--refuse", "0x201E:0x12"});
    ASSERT_FALSE(device.isEmpty() || radio.isEmpty());
    const Finished power =
        RunBtrun({kProduction, "--port", device, "--tester", "h4:" + radio, "--out", Path("p")});
    EXPECT_EQ(power.exit, 65);
    EXPECT_TRUE(power.err.contains(": step 15 (\"LE transmitter, channel 0\"): the reference "
                                   "radio cannot measure le_power_avg; use a test set"))
        << power.err.toStdString();
    const QString plan = Write("rx.json", R"({"name": "rx", "steps": [
        {"operation": "le_rx_test", "args": {"level": 0, "packets": 10},
         "measurements": [{"name": "le_per", "waiver": "a refusal is the point"}]}]})");
    const Finished refused =
        RunBtrun({plan, "--port", device, "--tester", "h4:" + radio, "--out", Path("r.json")});
    EXPECT_EQ(refused.exit, 3) << refused.err.toStdString();
    EXPECT_EQ(ReadJson(Path("r.json"))
                  .value("phases")
                  .toArray()
                  .first()
                  .toObject()
                  .value("error")
                  .toString(),
              "the reference radio refused HCI_LE_Transmitter_Test: Invalid HCI Command "
              "Parameters (0x12)");

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY); // a port with nobody behind it
    ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const QString silent = ::ptsname(master);
    const Finished mute =
        RunBtrun({plan, "--port", device, "--tester", "h4:" + silent, "--out", Path("m.json")});
    ::close(master);
    EXPECT_EQ(mute.exit, 3) << mute.err.toStdString();
    EXPECT_EQ(ReadJson(Path("m.json")).value("phases")[0]["error"].toString(),
              "the reference radio at h4:" + silent + ": no answer to HCI_Reset within 2 s");
}

INSTANTIATE_TEST_SUITE_P(TextAndBinary, BtrunProtocol, testing::Values(2, 1));

} // namespace
