// The test set driver as its users meet it: the profile and fixture files they write, the
// addresses they type, and what goes over the wire to an instrument and comes back as
// readings or errors.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include "tester/fixture.h"
#include "tester/profile.h"
#include "tester/scpi_tester.h"
#include "tester/visa.h"

using namespace tester;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '[' << l.join(" | ").toStdString() << ']';
}
QT_END_NAMESPACE

namespace {

const QString kProfile = QString(PLANS_DIR) + "/testers/simulated.json";

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// `object` with the value at the dotted `path` replaced (Undefined: removed).
QJsonObject Edit(QJsonObject object, const QString& path, const QJsonValue& value) {
    const qsizetype dot = path.indexOf('.');
    if (dot < 0) {
        if (value.isUndefined())
            object.remove(path);
        else
            object[path] = value;
        return object;
    }
    const QString key = path.left(dot);
    object[key] = Edit(object[key].toObject(), path.mid(dot + 1), value);
    return object;
}

TEST(Profile, EveryProblemIsNamedWithItsPlaceInTheFile) {
    const QJsonObject shipped = QJsonDocument::fromJson(ReadFile(kProfile)).object();
    ASSERT_FALSE(shipped.isEmpty());
    const QJsonValue gone(QJsonValue::Undefined);
    struct Row {
        QString path;
        QJsonValue value;
        QString message;
    };
    const std::vector<Row> rows = {
        {"colour", "red",
         "the profile: unknown key 'colour' (known: name, idn_pattern, timeout_ms, error_query, "
         "no_error_pattern, reset, fixture, le_tx, br_tx, le_rx)"},
        {"le_tx.power.colour", "red", "le_tx.power: unknown key 'colour' (known: query, fields)"},
        {"le_rx", gone, "the profile: missing 'le_rx'"},
        {"le_tx.modulation_df2", gone, "le_tx: missing 'modulation_df2'"},
        {"br_tx.configure", QJsonArray{"CONF:BR:CHAN {channel}", "CONF:BR:PHY {phy}"},
         "br_tx.configure[1]: unknown placeholder {phy} (known here: {channel}, {packet_type}, "
         "{packets})"},
        {"error_query", "SYST:ERR? {channel}",
         "error_query: unknown placeholder {channel} (none is known here)"},
        {"fixture.point", "CORR:LOSS:POIN {mhz},{loss_db", "fixture.point: a '{' without its '}'"},
        {"le_tx.power.fields.br_power_avg", QJsonObject{{"index", 2}},
         "le_tx.power.fields: 'br_power_avg' is not a reading of le_tx power (it gives "
         "le_power_avg, le_power_peak)"},
        {"br_tx.offset_drift.fields.br_icft.index", -1,
         "br_tx.offset_drift.fields.br_icft.index: must be a whole number from 0 to 1000, not -1"},
        {"br_tx.modulation_df1.fields.br_delta_f1_avg.scale", 0,
         "br_tx.modulation_df1.fields.br_delta_f1_avg.scale: must be a number other than 0"},
        {"le_tx.modulation_df1.fields", QJsonObject{},
         "le_tx.modulation_df1.fields: names no reading (it gives le_delta_f1_avg)"},
        {"idn_pattern", "^BTSIM((",
         "idn_pattern: bad regular expression '^BTSIM((': missing closing parenthesis at offset 8"},
        {"reset", "*RST", "reset: must be a list of text, not text"},
        {"le_rx.send", QJsonArray{}, "le_rx.send: must name a command"},
        {"timeout_ms", 50, "timeout_ms: must be a whole number from 100 to 3600000, not 50"},
    };
    for (const Row& row : rows) {
        const QByteArray json = QJsonDocument(Edit(shipped, row.path, row.value)).toJson();
        Profile profile;
        QString error;
        EXPECT_FALSE(ParseProfile(json, "p.json", profile, error)) << row.path.toStdString();
        EXPECT_EQ(error, "p.json: " + row.message);
    }
    Profile profile;
    QString error;
    EXPECT_FALSE(ParseProfile("{\n  \"name\": \"x\",\n  oops\n}", "p.json", profile, error));
    EXPECT_EQ(error, "p.json:3:3: unterminated object");
    EXPECT_FALSE(LoadProfile("/nonexistent/p.json", profile, error));
    EXPECT_TRUE(error.startsWith("/nonexistent/p.json: cannot read the instrument profile: "));
    EXPECT_TRUE(LoadProfile(kProfile, profile, error)) << error.toStdString();
}

TEST(Fixture, BadFilesAreRefusedWithWhereAndWhat) {
    const std::vector<std::pair<QByteArray, QString>> rows = {
        {R"({"points": [{"mhz": 2402, "loss_db": 1}]})", "the fixture: missing 'name'"},
        {R"({"name": "A", "points": []})",
         R"(points: must be a non-empty list of {"mhz", "loss_db"}, not an empty list)"},
        {R"({"name": "A", "points": [3]})", "points[0]: must be an object, not a number"},
        {R"({"name": "A", "points": [{"mhz": 2402, "loss": 1}]})",
         "points[0]: unknown key 'loss' (known: mhz, loss_db)"},
        {R"({"name": "A", "points": [{"mhz": 2402}]})", "points[0]: missing 'loss_db'"},
        {R"({"name": "A", "points": [{"mhz": 2300, "loss_db": 1}]})",
         "points[0].mhz: 2300 MHz is outside the Bluetooth band (2400..2484)"},
        {R"({"name": "A", "points": [{"mhz": 2402, "loss_db": 1}, {"mhz": 2480, "loss_db": -1}]})",
         "points[1].loss_db: must be from 0 to 100 dB, not -1"},
        {R"({"name": "A", "points": [{"mhz": 2440, "loss_db": 1}, {"mhz": 2440, "loss_db": 2}]})",
         "points[1]: 2440 MHz is given twice"},
        {"{\"name\": \"A\",\n \"points\": [}", "2:13: object is missing after a comma"},
    };
    for (const auto& [json, message] : rows) {
        Fixture fixture;
        QString error;
        EXPECT_FALSE(ParseFixture(json, "f.json", fixture, error)) << json.toStdString();
        EXPECT_EQ(error, (message[0].isDigit() ? "f.json:" : "f.json: ") + message);
    }
}

TEST(Fixture, NameHashAndLossAtBetweenAndOutsideThePoints) {
    const QByteArray json = R"({"name": "fixture A", "points": [{"mhz": 2402, "loss_db": 1.1}, )"
                            R"({"mhz": 2440, "loss_db": 1.4}, {"mhz": 2480, "loss_db": 1.8}]})";
    Fixture fixture;
    QString error;
    ASSERT_TRUE(ParseFixture(json, "f.json", fixture, error)) << error.toStdString();
    EXPECT_EQ(fixture.name, "fixture A");
    // sha256sum of the same bytes.
    EXPECT_EQ(fixture.sha256, "9c2f50e329992bae412c4ebd7f117ebf760457b7f4e7163d0ce21ac672df2cc8");
    const std::vector<LossPoint> shuffled = {{2480, 1.8}, {2402, 1.1}, {2440, 1.4}};
    const std::vector<std::pair<double, double>> rows = {
        {2402, 1.1},  {2440, 1.4}, {2480, 1.8}, // at the points
        {2421, 1.25}, {2460, 1.6},              // between
        {2400, 1.1},  {2484, 1.8},              // outside: the nearest point
    };
    for (const auto& [mhz, loss] : rows) {
        EXPECT_NEAR(LossAt(fixture.points, mhz), loss, 1e-9) << mhz;
        EXPECT_NEAR(LossAt(shuffled, mhz), loss, 1e-9) << mhz;
    }
    EXPECT_EQ(LossAt({}, 2440), 0);
    EXPECT_TRUE(LoadFixture(QString(PLANS_DIR) + "/fixtures/station.json", fixture, error))
        << error.toStdString();
}

TEST(Visa, AddressesAsInstrumentUsersWriteThem) {
    using K = VisaResource::Kind;
    struct Good {
        QString text;
        K kind;
        int board;
        QString host;
        int port;
        QString device;
    };
    const std::vector<Good> good = {
        {"TCPIP::10.0.0.5::5025::SOCKET", K::Socket, 0, "10.0.0.5", 5025, ""},
        {"tcpip1::tester-3.line.local::5025::socket", K::Socket, 1, "tester-3.line.local", 5025,
         ""},
        {"TCPIP::10.0.0.5::INSTR", K::Vxi11, 0, "10.0.0.5", 0, "inst0"},
        {" TCPIP0::10.0.0.5::gpib0,5::instr ", K::Vxi11, 0, "10.0.0.5", 0, "gpib0,5"},
    };
    for (const Good& g : good) {
        VisaResource r;
        QString error;
        ASSERT_TRUE(ParseVisaResource(g.text, r, error)) << error.toStdString();
        EXPECT_EQ(r.kind, g.kind);
        EXPECT_EQ(r.board, g.board);
        EXPECT_EQ(r.host, g.host);
        EXPECT_EQ(r.port, g.port);
        EXPECT_EQ(r.device, g.device);
        EXPECT_EQ(r.text, g.text.trimmed());
    }
    const QString forms = ": use TCPIP::HOST::PORT::SOCKET (raw SCPI socket) or "
                          "TCPIP::HOST[::DEVICE]::INSTR (VXI-11)";
    const std::vector<std::pair<QString, QString>> bad = {
        {"10.0.0.5:5025",
         "'10.0.0.5:5025' is not an instrument address this program speaks" + forms},
        {"GPIB0::5::INSTR",
         "'GPIB0::5::INSTR' is not an instrument address this program speaks" + forms},
        {"TCPIP::10.0.0.5::SOCKET",
         "'TCPIP::10.0.0.5::SOCKET' is not an instrument address this program speaks" + forms},
        {"TCPIP::10.0.0.5::5025::SOCKET::X",
         "'TCPIP::10.0.0.5::5025::SOCKET::X' is not an instrument address this program speaks" +
             forms},
        {"TCPIP::10.0.0.5::70000::SOCKET",
         "'TCPIP::10.0.0.5::70000::SOCKET' has no port: '70000' is not 1..65535"},
        {"TCPIP::::5025::SOCKET",
         "'TCPIP::::5025::SOCKET' names no host: '' is not a host name or IPv4 address"},
        {"TCPIP::10.0.0.5::hislip0::INSTR",
         "'TCPIP::10.0.0.5::hislip0::INSTR' asks for HiSLIP, which this program does not speak" +
             forms},
    };
    for (const auto& [text, message] : bad) {
        VisaResource r;
        QString error;
        EXPECT_FALSE(ParseVisaResource(text, r, error));
        EXPECT_EQ(error, message);
    }
}

// A scripted instrument behind the in-process link: it answers *IDN?, queries from
// `answers`, refuses the commands in `refused` with their error, and keeps a queue.
struct ScriptedSet {
    QString idn = "BTSIM,TESTERSIM,0001,1.0";
    std::map<QString, QString> answers;
    std::map<QString, QString> refused; // command or query -> error it queues
    QStringList queue;
    QStringList heard;
    bool silent = false;

    QStringList Respond(const QString& line) {
        heard << line;
        if (silent) return {};
        if (refused.count(line)) queue << refused[line];
        if (line == "*IDN?") return {idn};
        if (line == "*OPC?") return {"1"};
        if (line == "SYST:ERR?") return {queue.isEmpty() ? "0,\"No error\"" : queue.takeFirst()};
        if (answers.count(line)) return {answers[line]};
        return {};
    }
};

struct Driven {
    ScriptedSet set;
    std::unique_ptr<ScpiTester> tester;
    Driven() {
        Profile profile;
        QString error;
        EXPECT_TRUE(LoadProfile(kProfile, profile, error)) << error.toStdString();
        auto link = std::make_unique<InProcessConnection>(
            [this](const QString& line) { return set.Respond(line); });
        tester = std::make_unique<ScpiTester>(std::move(link), profile);
    }
};

TEST(ScpiTester, ReadingsInTheEngineUnitsFromTheWireTheProfileDescribes) {
    Driven d;
    d.set.answers["READ:LE:FREQ?"] = "+1.25E+04,-3100,1200.0,2000";
    std::vector<Reading> readings;
    Error error;
    ASSERT_TRUE(d.tester->MeasureLeTx({19, "1M", 50}, TxItem::OffsetDrift, readings, error))
        << error.text.toStdString();
    EXPECT_EQ(d.set.heard,
              QStringList({"*IDN?", "CONF:LE:CHAN 19", "SYST:ERR?", "CONF:LE:PHY 1M", "SYST:ERR?",
                           "CONF:LE:PACK 50", "SYST:ERR?", "READ:LE:FREQ?", "SYST:ERR?"}));
    std::map<QString, std::pair<double, QString>> got;
    for (const Reading& r : readings)
        got[r.name] = {r.value, r.units};
    const std::map<QString, std::pair<double, QString>> want = {
        {"le_freq_offset", {12.5, "kHz"}},
        {"le_drift", {-3.1, "kHz"}},
        {"le_drift_initial", {1.2, "kHz"}},
        {"le_drift_rate", {2.0, "kHz/50us"}}};
    EXPECT_EQ(got, want);

    d.set.heard.clear();
    ASSERT_TRUE(d.tester->SetFixtureLoss({{2402, 1.1}, {2480, 1.8}}, error));
    ASSERT_TRUE(d.tester->SendLePackets({19, -70.5, 1500}, error));
    EXPECT_EQ(d.set.heard,
              QStringList({"CORR:LOSS:CLE", "SYST:ERR?", "CORR:LOSS:POIN 2402,1.1", "SYST:ERR?",
                           "CORR:LOSS:POIN 2480,1.8", "SYST:ERR?", "SOUR:LE:CHAN 19", "SYST:ERR?",
                           "SOUR:LE:LEV -70.5", "SYST:ERR?", "SOUR:LE:PACK 1500", "SYST:ERR?",
                           "SOUR:LE:SEND", "*OPC?", "SYST:ERR?"}));
}

TEST(ScpiTester, RefusalsAndBadAnswersBecomeErrorsThatNameThem) {
    using K = Error::Kind;
    struct Row {
        std::function<void(ScriptedSet&)> script;
        TxItem item;
        K kind;
        QString text;
    };
    const std::vector<Row> rows = {
        {[](ScriptedSet& s) { s.refused["CONF:LE:CHAN 45"] = "-222,\"Data out of range\""; },
         TxItem::Power, K::Instrument,
         "instrument error -222,\"Data out of range\" after CONF:LE:CHAN 45"},
        {[](ScriptedSet& s) {
             s.answers["READ:LE:POW?"] = "9.91E37,9.91E37";
             s.refused["READ:LE:POW?"] = "-230,\"Data corrupt or stale;no signal\"";
         },
         TxItem::Power, K::Instrument,
         "instrument error -230,\"Data corrupt or stale;no signal\" after READ:LE:POW?"},
        {[](ScriptedSet& s) { s.answers["READ:LE:POW?"] = "9.91E37,9.91E37"; }, TxItem::Power,
         K::Instrument,
         "the tester answered '9.91E37,9.91E37' to READ:LE:POW?: field 0 is 9.91E37 (not a "
         "number) and the error queue is empty"},
        {[](ScriptedSet& s) { s.answers["READ:LE:POW?"] = "abc,-1.0"; }, TxItem::Power,
         K::Instrument,
         "the tester answered 'abc,-1.0' to READ:LE:POW?: field 0 ('abc') is not a number"},
        {[](ScriptedSet& s) { s.answers["READ:LE:MOD:DF2?"] = "251000"; }, TxItem::ModulationDf2,
         K::Instrument,
         "the tester answered '251000' to READ:LE:MOD:DF2?: no field 1 for le_delta_f2_max_pass"},
        {[](ScriptedSet&) {}, TxItem::Power, K::Link,
         "no answer from the tester at built-in within 10 s"},
        {[](ScriptedSet& s) { s.idn = "XYZ,OTHER,1,2"; }, TxItem::Power, K::Link,
         "the tester at built-in is 'XYZ,OTHER,1,2', not one the profile describes "
         "(^BTSIM,TESTERSIM,)"},
    };
    for (const Row& row : rows) {
        Driven d;
        row.script(d.set);
        std::vector<Reading> readings;
        Error error;
        EXPECT_FALSE(d.tester->MeasureLeTx({45, "1M", 10}, row.item, readings, error));
        EXPECT_EQ(error.kind, row.kind) << row.text.toStdString();
        EXPECT_EQ(error.text, row.text);
        EXPECT_TRUE(readings.empty());
    }
}

TEST(ScpiTester, AfterALostLinkTheNextVerbReconnectsAndSetsTheFixtureAgain) {
    Driven d;
    Error error;
    ASSERT_TRUE(d.tester->SetFixtureLoss({{2440, 1.4}}, error));
    d.set.silent = true;
    std::vector<Reading> readings;
    EXPECT_FALSE(d.tester->MeasureBrTx({0, "DH5", 10}, TxItem::Power, readings, error));
    EXPECT_EQ(error.kind, Error::Kind::Link);
    d.set.silent = false;
    d.set.heard.clear();
    d.set.answers["READ:BR:POW?"] = "-1.5,0.25";
    ASSERT_TRUE(d.tester->MeasureBrTx({0, "DH5", 10}, TxItem::Power, readings, error));
    EXPECT_EQ(d.set.heard.mid(0, 5), QStringList({"*IDN?", "CORR:LOSS:CLE", "SYST:ERR?",
                                                  "CORR:LOSS:POIN 2440,1.4", "SYST:ERR?"}));
    ASSERT_EQ(readings.size(), 2u);
    EXPECT_EQ(readings[0].name, "br_power_avg");
    EXPECT_EQ(readings[0].value, -1.5);
    EXPECT_EQ(readings[1].units, "dBm");
}

TEST(ScpiLog, EachLineWithItsUtcTimeAndDirection) {
    QTemporaryDir dir;
    ScpiLog log;
    QString error;
    ASSERT_TRUE(log.Open(dir.filePath("scpi.log"), error));
    InProcessConnection link([](const QString& line) {
        return line == "*IDN?" ? QStringList{"BTSIM,TESTERSIM,1,1"} : QStringList{};
    });
    link.SetLog(&log);
    Error e;
    QString answer;
    ASSERT_TRUE(link.Open(1000, e) && link.Send({"*IDN?"}, 1000, e) &&
                link.Receive(answer, 1000, e));
    EXPECT_FALSE(link.Receive(answer, 1000, e));
    const QStringList lines = QString(ReadFile(dir.filePath("scpi.log"))).split('\n');
    const QString stamp = R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z )";
    const QStringList want = {"# connected to built-in", "> \\*IDN\\?", "< BTSIM,TESTERSIM,1,1",
                              "# no answer from the tester at built-in within 1 s", ""};
    ASSERT_EQ(lines.size(), want.size());
    for (int i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(QRegularExpression(stamp + want[i] + "$").match(lines[i]).hasMatch())
            << lines[i].toStdString();
    EXPECT_FALSE(log.Open("/nonexistent/scpi.log", error));
    EXPECT_TRUE(error.startsWith("/nonexistent/scpi.log: cannot write the SCPI log: "));
}

TEST(LanLink, ARefusedConnectionNamesTheAddress) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const int port = probe.serverPort();
    probe.close();
    const std::vector<std::pair<QString, QString>> rows = {
        {QString("TCPIP::127.0.0.1::%1::SOCKET").arg(port),
         "connection refused or host unreachable"},
        {"TCPIP::127.0.0.1::INSTR", "no VXI-11 device 'inst0' answers there"},
        {"TCPIP::no-such-host.invalid::5025::SOCKET", "unknown host 'no-such-host.invalid'"},
    };
    for (const auto& [address, why] : rows) {
        Profile profile;
        QString problem;
        ASSERT_TRUE(LoadProfile(kProfile, profile, problem));
        const auto tester = MakeLanTester(address, profile, problem);
        ASSERT_TRUE(tester) << problem.toStdString();
        QString identity;
        Error error;
        EXPECT_FALSE(tester->Identify(identity, error));
        EXPECT_EQ(error.kind, Error::Kind::Link);
        EXPECT_EQ(error.text, QString("cannot reach the tester at %1: %2").arg(address, why));
    }
}

} // namespace
