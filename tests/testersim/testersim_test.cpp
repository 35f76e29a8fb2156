// The testersim program as an SCPI client meets it on TCP: its command tree and error
// queue, its readings of a phone on an air served here, its options, and pyvisa-py's view.

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <mutex>

#include "air/socket.h"
#include "test_radio.h"

namespace {

class TesterSim : public ::testing::Test {
protected:
    ~TesterSim() override {
        program_.kill();
        program_.waitForFinished(2000);
    }
    // Starts testersim on a free port and connects; false when either failed.
    bool Start(const QStringList& arguments) {
        program_.start(TESTERSIM_PATH, QStringList{"--listen", "127.0.0.1:0"} + arguments);
        if (!program_.waitForReadyRead(5000)) return false;
        const QString first = QString::fromUtf8(program_.readLine()).trimmed();
        if (!first.startsWith("testersim: listening on 127.0.0.1:")) return false;
        port_ = first.section(':', -1).toUShort();
        return Connect();
    }
    bool Connect() {
        socket_.abort();
        socket_.connectToHost("127.0.0.1", port_);
        return socket_.waitForConnected(3000);
    }
    // Sends `line` and returns `count` answer lines.
    QStringList Ask(const QString& line, int count) {
        socket_.write((line + "\n").toUtf8());
        QStringList answers;
        while (answers.size() < count && (socket_.canReadLine() || socket_.waitForReadyRead(10000)))
            while (socket_.canReadLine() && answers.size() < count)
                answers << QString::fromUtf8(socket_.readLine()).trimmed();
        return answers;
    }
    QString Write(const char* name, const QByteArray& text) {
        QFile file(dir_.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    }

    QTemporaryDir dir_;
    QProcess program_;
    QTcpSocket socket_;
    quint16 port_ = 0;
};

TEST_F(TesterSim, AnswersItsCommandTreeAndNumbersItsErrors) {
    ASSERT_TRUE(Start({"--serial", "SN-7"}));
    const QString noError = "0,\"No error\"";
    const struct {
        QString line;
        QStringList answers;
    } rows[] = {
        {"*IDN?", {"BTSIM,TESTERSIM,SN-7,1.0"}},
        {"conf:le:chan 7;CONF:LE:CHAN?", {"7"}},
        {"CONFIGURE:LE:CHANNEL +1.9E1;CHANNEL?", {"19"}},
        {":CONFigure:BR:CHANnel 3.9 E+1;:conf:br:chan?;*OPC?", {"39", "1"}},
        {"SOUR:LE:LEV -8.25e1;LEV?;:SYST:ERR?", {"-82.5", noError}},
        {"FROB:NICATE 1;*IDN?", {}}, // a command error drops the rest of its line
        {"SYST:ERR?", {"-113,\"Undefined header\""}},
        {"CONF:LE:CHAN 40;SYST:ERR:NEXT?", {"-222,\"Data out of range\""}},
        {"CONF:LE:CHAN\nSYST:ERR?", {"-109,\"Missing parameter\""}},
        {"*RST 1\nSYST:ERR?", {"-108,\"Parameter not allowed\""}},
        {"CONF:LE:PACK many\nSYST:ERR?", {"-104,\"Data type error\""}},
        {"CONF:BR:PTYP DH7;PTYP?;SYST:ERR?", {"DH1", "-224,\"Illegal parameter value\""}},
        {"READ:LE:POW?;SYST:ERR?", {"9.91E37,9.91E37", "-230,\"Data corrupt or stale;no signal\""}},
        {"*ESR?;*ESR?;SYST:ERR?", {"48", "0", noError}},
        {QString("NOPE\n").repeated(11) + QString("SYST:ERR?\n").repeated(10) + "SYST:ERR?",
         QStringList(9, "-113,\"Undefined header\"") << "-350,\"Queue overflow\"" << noError},
        {"CORR:LOSS:POIN 2440,1;POIN 2480,2;POIN:COUN?;*RST;CORR:LOSS:POIN:COUN?", {"2", "0"}},
        {"*RST;CONF:LE:CHAN?;PACK?;:CONF:BR:PTYP?;:SOUR:LE:LEV?;PACK?",
         {"0", "100", "DH1", "-70", "1500"}},
        {"\x01\xff\x7f;SYST:ERR?\nSYST:ERR?", {"-113,\"Undefined header\""}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Ask(row.line, static_cast<int>(row.answers.size())), row.answers)
            << row.line.toStdString();

    // Garbage too long for a line closes that connection only; SIGTERM stops the program.
    socket_.write(QByteArray(70 * 1024, 'A'));
    EXPECT_TRUE(socket_.waitForDisconnected(5000));
    ASSERT_TRUE(Connect());
    EXPECT_EQ(Ask("*OPC?", 1), QStringList{"1"});
    program_.terminate();
    ASSERT_TRUE(program_.waitForFinished(3000));
    EXPECT_EQ(program_.exitCode(), 0);
}

TEST_F(TesterSim, RefusesBadOptionsNamingTheProblem) {
    const struct {
        QByteArray pathLoss; // written to a file when the arguments name one
        QStringList arguments;
        QString error;
    } rows[] = {
        {"not json", {"--path-loss", "loss.json"}, "loss.json: line 1: not a JSON value"},
        {"{\"points\": []}", {"--path-loss", "loss.json"}, "loss.json: expected {\"name\""},
        {"{\"points\": [{\"mhz\": 2500, \"loss_db\": 1}]}",
         {"--path-loss", "loss.json"},
         "loss.json: point 1: mhz outside 2400..2484"},
        {"{\"points\": [{\"mhz\": 2402,\n \"loss_db\" 1}]}",
         {"--path-loss", "loss.json"},
         "loss.json: line 2: expected ':' after \"loss_db\""},
        {{}, {"--path-loss", "missing.json"}, "missing.json: cannot be read"},
        {{}, {"--listen", "localhost"}, "--listen needs a valid value, not 'localhost'"},
        {{}, {"--seed"}, "--seed needs a value"},
        {{}, {"--frequency", "1"}, "unknown option '--frequency'"},
    };
    for (const auto& row : rows) {
        QStringList arguments = row.arguments;
        if (!row.pathLoss.isEmpty()) arguments[1] = Write("loss.json", row.pathLoss);
        if (row.pathLoss.isEmpty() && arguments[0] == "--path-loss")
            arguments[1] = dir_.filePath(arguments[1]);
        QProcess bad;
        bad.start(TESTERSIM_PATH, arguments);
        ASSERT_TRUE(bad.waitForFinished(5000));
        EXPECT_EQ(bad.exitCode(), 2) << row.error.toStdString();
        EXPECT_TRUE(QString::fromUtf8(bad.readAllStandardError()).contains(row.error))
            << row.error.toStdString();
    }
}

// A phone transmitting 0.5 dBm through an air losing 3 dB at 2440 MHz (LE 19, BR 38).
class TesterSimOnAir : public TesterSim {
protected:
    void SetUp() override {
        radio_.tx = LeOn19(0.5);
        std::string error;
        ASSERT_TRUE(server_.Start(error)) << error;
        ASSERT_TRUE(
            Start({"--air", dir_.filePath("air"), "--seed", "7", "--path-loss",
                   Write("loss.json", "{\"name\": \"air\", \"points\": [{\"mhz\": 2400, "
                                      "\"loss_db\": 2}, {\"mhz\": 2480, \"loss_db\": 4}]}")}));
        ASSERT_EQ(Ask("CORR:LOSS:POIN 2440,3;:CONF:LE:CHAN 19;:CONF:BR:CHAN 38;*OPC?", 1),
                  QStringList{"1"});
    }
    TestRadio radio_;
    air::Server server_{radio_, dir_.filePath("air").toStdString()};
};

TEST_F(TesterSimOnAir, MeasuresThePhoneAsTheAirAndFixtureLeaveIt) {
    using Mode = air::Transmission::Mode;
    const struct {
        Mode mode;
        const char* pattern;
        const char* type;
        double f2f1;
        QString line;
        std::vector<std::pair<double, double>> fields; // each within low..high
        QString error;
        int minMs;
    } rows[] = {
        {Mode::Le,
         "PRBS9",
         "-",
         0.92,
         "CONF:LE:PACK 800;:READ:LE:POW?",
         {{0.3, 0.7}, {0.5, 1.3}},
         {},
         500},
        // The fixture said 1 dB where the air loses 3: readings 2 dB low.
        {Mode::Le,
         "PRBS9",
         "-",
         0.92,
         "CORR:LOSS:POIN 2440,1;:CONF:LE:PACK 100;:READ:LE:POW?",
         {{-1.7, -1.3}, {-1.5, -0.7}},
         {},
         62},
        {Mode::Le,
         "10101010",
         "-",
         0.92,
         "READ:LE:FREQ?",
         {{10500, 14500}, {2000, 4200}, {100, 2300}, {900, 3100}},
         {},
         0},
        {Mode::Le, "11110000", "-", 0.92, "READ:LE:MOD:DF1?", {{247000, 253000}}, {}, 0},
        {Mode::Le,
         "01010101",
         "-",
         0.92,
         "READ:LE:MOD:DF2?",
         {{227000, 233000}, {99.9, 100}},
         {},
         0},
        // 195 kHz on average: about 1.25 sigma of the max samples above 185 kHz.
        {Mode::Le, "01010101", "-", 0.78, "READ:LE:MOD:DF2?", {{192000, 198000}, {80, 96}}, {}, 0},
        {Mode::Le,
         "PRBS9",
         "-",
         0.92,
         "READ:LE:MOD:DF2?",
         {},
         "-221,\"Settings conflict;payload PRBS9, needs 10101010 or 01010101\"",
         0},
        {Mode::Le,
         "PRBS9",
         "-",
         0.92,
         "CONF:LE:CHAN 20;:READ:LE:POW?;:CONF:LE:CHAN 19",
         {},
         "-230,\"Data corrupt or stale;no signal\"",
         0},
        {Mode::Br,
         "PRBS9",
         "DH3",
         0.92,
         "CONF:BR:PTYP DH1;:READ:BR:POW?",
         {},
         "-221,\"Settings conflict;packet type DH3, DH1 expected\"",
         0},
        {Mode::Br,
         "PRBS9",
         "DH5",
         0.92,
         "CONF:BR:PTYP DH5;PACK 100;:READ:BR:POW?",
         {{-1.7, -1.3}, {-1.5, -0.7}},
         {},
         375},
        {Mode::Br,
         "10101010",
         "DH5",
         0.92,
         "READ:BR:FREQ?",
         {{10500, 14500}, {2000, 4200}, {900, 3100}},
         {},
         0},
        {Mode::Br,
         "10101010",
         "DH5",
         0.58,
         "READ:BR:MOD:DF2?",
         {{142000, 148000}, {99.9, 100}},
         {},
         0},
    };
    for (const auto& row : rows) {
        {
            std::lock_guard<std::mutex> lock(radio_.mutex);
            radio_.tx.mode = row.mode;
            radio_.tx.channel = row.mode == Mode::Le ? 19 : 38;
            radio_.tx.pattern = row.pattern;
            radio_.tx.packetType = row.type;
            radio_.tx.f2f1Ratio = row.f2f1;
        }
        QElapsedTimer timer;
        timer.start();
        const QStringList answers = Ask(row.line + ";:SYST:ERR?", 2);
        ASSERT_EQ(answers.size(), 2) << row.line.toStdString();
        EXPECT_GE(timer.elapsed(), row.minMs) << row.line.toStdString();
        EXPECT_EQ(answers[1], row.error.isEmpty() ? "0,\"No error\"" : row.error);
        if (!row.error.isEmpty()) {
            EXPECT_EQ(answers[0], "9.91E37,9.91E37") << row.line.toStdString();
            continue;
        }
        const QStringList fields = answers[0].split(',');
        ASSERT_EQ(fields.size(), static_cast<int>(row.fields.size())) << row.line.toStdString();
        for (int i = 0; i < fields.size(); ++i)
            EXPECT_TRUE(fields[i].toDouble() >= row.fields[i].first &&
                        fields[i].toDouble() <= row.fields[i].second)
                << row.line.toStdString() << " field " << i << ": " << fields[i].toStdString();
    }
}

TEST_F(TesterSimOnAir, SendsPacketsAtTheLevelAskedForAtThePhone) {
    QElapsedTimer timer;
    timer.start();
    // The fixture is told 1 dB, the air takes 3 dB off at 2440 MHz: the phone sees -72 dBm.
    EXPECT_EQ(Ask("CORR:LOSS:POIN 2440,1;:SOUR:LE:CHAN 19;LEV -70;PACK 800;SEND;*OPC?", 1),
              QStringList{"1"});
    EXPECT_GE(timer.elapsed(), 500);
    std::lock_guard<std::mutex> lock(radio_.mutex);
    ASSERT_EQ(radio_.received.size(), 1u);
    EXPECT_EQ(radio_.received[0].channel, 19);
    EXPECT_EQ(radio_.received[0].count, 800);
    EXPECT_NEAR(radio_.received[0].levelDbm, -72.0, 1e-9);
}

TEST_F(TesterSimOnAir, ServesPyvisaOverItsSocketResource) {
    QProcess python;
    python.start("/usr/bin/python3", {PYVISA_CHECK, QString::number(port_)});
    ASSERT_TRUE(python.waitForFinished(30000));
    const QStringList lines = QString::fromUtf8(python.readAllStandardOutput()).split('\n');
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "BTSIM,TESTERSIM,000001,1.0");
    EXPECT_NEAR(lines[1].section(',', 0, 0).toDouble(), 0.5, 0.2) << lines[1].toStdString();
    EXPECT_EQ(lines[2], "0,\"No error\"");
}

} // namespace
