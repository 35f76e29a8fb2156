// btrun as a production line runs it: a plan, a phone, an exit status and one record per
// phone, with no display.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <csignal>
#include <gtest/gtest.h>

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
    const Finished run = RunBtrun({kProduction, "--sim-unit", Unit("golden"), "--interface-kind",
                                   QString::number(GetParam()), "--dut", "SN-1", "--junit", junit},
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
    const QString db = "sqlite:" + Path("results/results.sqlite");
    EXPECT_EQ(Column(db, "SELECT run_id || ' ' || dut_id || ' ' || outcome FROM runs"),
              QStringList{r.value("run_id").toString() + " SN-1 PASS"});
    EXPECT_EQ(Column(db, "SELECT count(*) FROM phases"),
              QStringList{QString::number(StepCount(kProduction))});
    EXPECT_EQ(Column(db, "SELECT count(*) FROM measurements"),
              QStringList{QString::number(MeasurementCount(r))});
    EXPECT_TRUE(run.err.contains("btrun: SN-1 PASS"));

    // The JUnit file as a CI server's XML parser reads it.
    QFile file(junit);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    int cases = 0, failures = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        cases += xml.name() == QStringLiteral("testcase");
        failures += xml.name() == QStringLiteral("failure");
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(cases, StepCount(kProduction));
    EXPECT_EQ(failures, 0);
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
    const char* measurement;
};

TEST_F(Btrun, EachFailingUnitFailsOnlyItsOwnMeasurement) {
    const FailingUnit table[] = {{"hot", 2, "tmeas_fused"},
                                 {"deaf", 1, "le_per"},
                                 {"old-firmware", 2, "firmware_version"},
                                 {"old-firmware", 1, "firmware_version"}};
    for (const FailingUnit& row : table) {
        SCOPED_TRACE(row.unit);
        const QString record = Path(QString(row.unit) + ".json");
        const Finished run =
            RunBtrun({kProduction, "--sim-unit", Unit(row.unit), "--interface-kind",
                      QString::number(row.kind), "--out", record});
        EXPECT_EQ(run.exit, 1) << run.err.toStdString();
        const QJsonObject r = ReadJson(record);
        EXPECT_EQ(r.value("outcome").toString(), "FAIL");
        EXPECT_EQ(FailedMeasurements(r), QSet<QString>{row.measurement});
        // The step's console line names the measurement with its value and limits.
        EXPECT_TRUE(run.err.contains(QRegularExpression(
            QString("FAIL  %1 = \\S+.* \\((min|max|equals) ").arg(row.measurement))))
            << run.err.toStdString();
    }
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

TEST_F(Btrun, LoopRunsOncePerSerialOnStandardInput) {
    const QString plan = Write("short.json", R"({"name": "short", "steps": [
        {"operation": "chip_on"},
        {"operation": "tmeas_read", "measurements": [{"name": "tmeas_fused", "max": 600}]}]})");
    const Finished run =
        RunBtrun({plan, "--sim-unit", Unit("golden"), "--loop", "--out", Path("records")},
                 "A1\n\n  B2 \nC3\n");
    EXPECT_EQ(run.exit, 0) << run.err.toStdString();
    QSet<QString> duts;
    QSet<double> temperatures;
    const QDir records(Path("records"));
    for (const QString& name : records.entryList({"*.json"}, QDir::Files)) {
        const QJsonObject r = ReadJson(records.filePath(name));
        duts.insert(r.value("dut_id").toString());
        const QJsonValue m =
            r.value("phases").toArray()[1].toObject().value("measurements").toArray()[0];
        temperatures.insert(m.toObject().value("value").toDouble());
    }
    EXPECT_EQ(duts, (QSet<QString>{"A1", "B2", "C3"}));
    // Three phones of one profile are three different phones.
    EXPECT_GT(temperatures.size(), 1);
}

TEST_P(BtrunProtocol, ProductionPlanPassesAgainstPhonesimOnAPseudoTerminal) {
    PhoneProcess phone;
    const QString device = phone.Start({"--sim-unit", Unit("golden")});
    ASSERT_FALSE(device.isEmpty());
    const QString record = Path("pty.json");
    const Finished run = RunBtrun({kProduction, "--port", device, "--interface-kind",
                                   QString::number(GetParam()), "--out", record});
    EXPECT_EQ(run.exit, 0) << run.err.toStdString();
    EXPECT_EQ(ReadJson(record).value("outcome").toString(), "PASS");
    EXPECT_TRUE(FailedMeasurements(ReadJson(record)).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(TextAndBinary, BtrunProtocol, testing::Values(2, 1));

} // namespace
