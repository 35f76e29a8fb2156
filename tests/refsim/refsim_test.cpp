// The refsim program as a driver meets it on its pseudo-terminal: the bytes of every
// command and its event as the Bluetooth standard writes them, for HCI (H4) and Direct
// Test Mode, and its tests over an air served here.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <sstream>
#include <thread>

#include "air/socket.h"
#include "test_radio.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Bytes(const std::string& hex) {
    std::istringstream in(hex);
    std::string out;
    unsigned value = 0;
    while (in >> std::hex >> value)
        out += static_cast<char>(value);
    return out;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char two[4];
    for (const char c : bytes) {
        std::snprintf(two, sizeof two, "%02X", static_cast<unsigned char>(c));
        out += (out.empty() ? "" : " ") + std::string(two);
    }
    return out;
}

// The program on a pseudo-terminal, opened raw as a driver opens a serial port.
class Program {
public:
    ~Program() {
        if (fd_ >= 0) ::close(fd_);
        process_.kill();
        process_.waitForFinished(2000);
    }
    bool Start(const QStringList& arguments) {
        process_.start(REFSIM_PATH, QStringList{"--pty"} + arguments);
        if (!process_.waitForReadyRead(5000)) return false;
        const QByteArray device = process_.readLine().trimmed();
        fd_ = ::open(device.constData(), O_RDWR | O_NOCTTY);
        termios raw{};
        if (fd_ < 0 || ::tcgetattr(fd_, &raw) != 0) return false;
        ::cfmakeraw(&raw);
        return ::tcsetattr(fd_, TCSANOW, &raw) == 0;
    }
    // Sends `request` (hex) and returns what came back (hex): `size` bytes, and whatever
    // else arrived until the line was quiet for 100 ms.
    std::string Ask(const std::string& request, std::size_t size) {
        const std::string bytes = Bytes(request);
        EXPECT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        std::string answer;
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(3);
        char buffer[256];
        while (Clock::now() < deadline) {
            pollfd in = {fd_, POLLIN, 0};
            if (::poll(&in, 1, 100) <= 0) {
                if (answer.size() >= size) break;
                continue;
            }
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n > 0) answer.append(buffer, static_cast<std::size_t>(n));
        }
        return Hex(answer);
    }
    QProcess& Process() { return process_; }

private:
    QProcess process_;
    int fd_ = -1;
};

struct Exchange {
    const char* request;
    const char* answer;
    int quietMs = 0; // the line stays quiet this long afterwards
};

class RefSim : public ::testing::Test {
protected:
    void Run(std::initializer_list<Exchange> rows) {
        for (const Exchange& row : rows) {
            const std::string expected = row.answer;
            EXPECT_EQ(sim_.Ask(row.request, (expected.size() + 1) / 3), expected) << row.request;
            std::this_thread::sleep_for(std::chrono::milliseconds(row.quietMs));
        }
    }
    QString Write(const char* name, const QByteArray& text) {
        QFile file(dir_.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName();
    }

    QTemporaryDir dir_;
    Program sim_;
};

TEST_F(RefSim, AnswersHciCommandsByteForByte) {
    const QString link = dir_.filePath("controller");
    ASSERT_TRUE(sim_.Start({"--link", link, "--bdaddr", "00:11:22:33:44:55"}));
    Run({
        {"01 03 0C 00", "04 0E 04 01 03 0C 00"}, // HCI_Reset
        // HCI_Read_Local_Version_Information: 5.3, revision 1, company 0xFFFF
        {"01 01 10 00", "04 0E 0C 01 01 10 00 0C 01 00 0C FF FF 01 00"},
        {"01 09 10 00", "04 0E 0A 01 09 10 00 55 44 33 22 11 00"}, // HCI_Read_BD_ADDR
        {"01 1F 20 00", "04 0E 06 01 1F 20 0C 00 00"},             // no test: disallowed
        {"01 1D 20 01 28", "04 0E 04 01 1D 20 12"},                // channel 40
        {"01 1E 20 03 13 25 08", "04 0E 04 01 1E 20 12"},          // payload 8
        {"01 1E 20 02 13 25", "04 0E 04 01 1E 20 12"},             // a parameter short
        {"01 1D 20 01 13", "04 0E 04 01 1D 20 00"},                // receiver on 19
        {"01 1E 20 03 13 25 00", "04 0E 04 01 1E 20 0C"},          // while it runs
        {"01 1F 20 00", "04 0E 06 01 1F 20 00 00 00"},             // nobody on the air
        {"01 1E 20 03 27 FF 07", "04 0E 04 01 1E 20 00"},          // transmitter on 39
        {"01 1F 20 00", "04 0E 06 01 1F 20 00 00 00"},
        {"01 05 10 00", "04 0E 04 01 05 10 01"},                // HCI_Read_Buffer_Size
        {"01 01 FC 02 AA BB", "04 0E 04 01 01 FC 01"},          // a vendor's command
        {"01 06 04 03 01 00 13", "04 0F 04 01 01 06 04"},       // HCI_Disconnect
        {"01 0D 20 00", "04 0F 04 01 01 0D 20"},                // HCI_LE_Create_Connection
        {"FF 04 0E 02 00 01 03 0C 00", "04 0E 04 01 03 0C 00"}, // noise, an event
        {"01 00 00 01 03 0C 00", "04 0E 04 01 03 0C 00"},       // 0x01 before no opcode group
        // A command whose bytes stop is dropped after a pause, then the next is read.
        {"01 05 10 07 00", "", 400},
        {"01 03 0C 00", "04 0E 04 01 03 0C 00"},
    });

    // SIGTERM ends it at once, and it takes its link away.
    sim_.Process().terminate();
    ASSERT_TRUE(sim_.Process().waitForFinished(2000));
    EXPECT_EQ(sim_.Process().exitCode(), 0);
    EXPECT_FALSE(QFile::exists(link));
}

TEST_F(RefSim, AnswersDirectTestModeByteForByte) {
    ASSERT_TRUE(sim_.Start({"--dtm"}));
    Run({
        {"00 00", "00 00"}, // LE_Reset: status OK
        {"C0 00", "80 00"}, // LE_Test_End without a test: 0 packets
        {"68 00", "00 01"}, // receiver on channel 40: status error
        {"53 00", "00 00"}, // receiver on 19
        {"93 94", "00 01"}, // transmitter while it runs
        {"C0 00", "80 00"}, // nobody on the air
        {"01 0C", "00 00"}, // setup: upper length bits 3
        {"02 04", "00 00"}, // setup: LE 1M PHY
        {"02 08", "00 01"}, // setup: LE 2M PHY, not supported
        {"A7 FF", "00 00"}, // transmitter on 39, 255 bytes, 11111111
        {"C0 00", "80 00"},
        {"00 00", "00 00"},
        // A lone byte is dropped after a pause; the next command is read whole.
        {"53", "", 400},
        {"00 00", "00 00"},
    });
}

TEST_F(RefSim, RefusesBadOptionsNamingTheProblem) {
    const struct {
        QStringList arguments;
        QString error;
    } rows[] = {
        {{"--pty", "--power", "loud"}, "--power needs a valid value, not 'loud'"},
        {{"--pty", "--power", "30"}, "--power needs a valid value, not '30'"},
        {{"--pty", "--bdaddr", "00:11:22:33:44"}, "--bdaddr needs a valid value"},
        {{"--pty", "--air"}, "--air needs a value"},
        {{"--pty", "--baud", "9600"}, "unknown option '--baud'"},
        {{"--dtm"}, "--pty is required"},
        {{"--pty", "--path-loss", "loss.json"}, "loss.json: point 1: mhz outside 2400..2484"},
    };
    Write("loss.json", "{\"points\": [{\"mhz\": 2500, \"loss_db\": 1}]}");
    for (const auto& row : rows) {
        QProcess bad;
        bad.setWorkingDirectory(dir_.path());
        bad.start(REFSIM_PATH, row.arguments);
        ASSERT_TRUE(bad.waitForFinished(5000));
        EXPECT_EQ(bad.exitCode(), 2) << row.error.toStdString();
        EXPECT_TRUE(QString::fromUtf8(bad.readAllStandardError()).contains(row.error))
            << row.error.toStdString();
    }
}

// A phone on an air served here; the air loses 3 dB at 2440 MHz (channel 19).
class RefSimOnAir : public RefSim {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server_.Start(error)) << error;
        loss_ = Write("loss.json", "{\"points\": [{\"mhz\": 2400, \"loss_db\": 2}, "
                                   "{\"mhz\": 2480, \"loss_db\": 4}]}");
    }
    void SetPhone(double powerDbm, int channel) {
        std::lock_guard<std::mutex> lock(radio_.mutex);
        radio_.tx = LeOn19(powerDbm);
        radio_.tx.channel = channel;
    }
    void PhoneStops() {
        std::lock_guard<std::mutex> lock(radio_.mutex);
        radio_.tx.mode = air::Transmission::Mode::None;
    }

    TestRadio radio_;
    air::Server server_{radio_, dir_.filePath("air").toStdString()};
    QString loss_;
};

// The LE test packets sent one per 625 us between two moments.
double Slots(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::micro>(to - from).count() / 625;
}

TEST_F(RefSimOnAir, ReceiverTestCountsThePhonesPacketsForTheTimeItSent) {
    const struct {
        bool dtm;
        double phoneDbm;
        int phoneChannel;
        bool stopsPartway;
        double share; // of the packets it sent
    } rows[] = {
        {false, 0.5, 19, false, 1.0},  {true, 0.5, 19, false, 1.0},
        {false, 0.5, 20, false, 0.0},  // another channel
        {false, -92, 19, false, 0.69}, // -95 dBm at the reference: its sensitivity
        {false, 0.5, 19, true, 1.0},   {true, 0.5, 19, true, 1.0},
    };
    ASSERT_TRUE(sim_.Start({"--air", dir_.filePath("air"), "--path-loss", loss_}));
    Program dtm;
    ASSERT_TRUE(dtm.Start({"--dtm", "--air", dir_.filePath("air"), "--path-loss", loss_}));
    for (const auto& row : rows) {
        SetPhone(row.phoneDbm, row.phoneChannel);
        Program& sim = row.dtm ? dtm : sim_;
        const Clock::time_point start = Clock::now();
        ASSERT_EQ(sim.Ask(row.dtm ? "53 00" : "01 1D 20 01 13", row.dtm ? 2 : 7),
                  row.dtm ? "00 00" : "04 0E 04 01 1D 20 00");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (row.stopsPartway) PhoneStops();
        const Clock::time_point stop = Clock::now();
        if (row.stopsPartway) std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Clock::time_point end = row.stopsPartway ? stop : Clock::now();
        const std::string report =
            Bytes(sim.Ask(row.dtm ? "C0 00" : "01 1F 20 00", row.dtm ? 2 : 9));
        ASSERT_EQ(report.size(), row.dtm ? 2u : 9u);
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(report[i]); };
        const int count = row.dtm ? (byte(0) & 0x7F) << 8 | byte(1) : byte(7) | byte(8) << 8;
        EXPECT_TRUE(row.dtm ? (byte(0) & 0x80) != 0 : byte(6) == 0) << "not a packet report";
        const double expected = row.share * Slots(start, end);
        EXPECT_NEAR(count, expected, 0.2 * expected + 2)
            << "dtm " << row.dtm << ", phone at " << row.phoneDbm << " dBm on " << row.phoneChannel
            << (row.stopsPartway ? ", stopping partway" : "");
    }
}

TEST_F(RefSimOnAir, TransmitterTestReachesThePhoneAtItsPowerLessThePathLoss) {
    ASSERT_TRUE(sim_.Start({"--air", dir_.filePath("air"), "--path-loss", loss_, "--power", "5"}));
    const Clock::time_point start = Clock::now();
    ASSERT_EQ(sim_.Ask("01 1E 20 03 13 25 02", 7), "04 0E 04 01 1E 20 00");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    {
        // They arrive while the test runs, not all at its end.
        std::lock_guard<std::mutex> lock(radio_.mutex);
        EXPECT_FALSE(radio_.received.empty());
    }
    const Clock::time_point end = Clock::now();
    ASSERT_EQ(sim_.Ask("01 1F 20 00", 9), "04 0E 06 01 1F 20 00 00 00");
    std::lock_guard<std::mutex> lock(radio_.mutex);
    int count = 0;
    for (const air::Packets& p : radio_.received) {
        EXPECT_EQ(p.channel, 19);
        EXPECT_NEAR(p.levelDbm, 2.0, 1e-9); // 5 dBm less 3 dB
        EXPECT_EQ(p.length, 37);
        EXPECT_EQ(p.payload, "10101010");
        count += p.count;
    }
    EXPECT_NEAR(count, Slots(start, end), 0.2 * Slots(start, end));
}

} // namespace
