// The air's lines and its Unix socket, as the phone and the instruments meet on it.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "air/socket.h"
#include "test_radio.h"

namespace {

const char* kGoldenTx =
    "mode=le channel=19 mhz=2440 power_dbm=0.42 pattern=PRBS9 length=37 packet_type=- "
    "interval_us=625 offset_khz=12.5 drift_khz=3.1 initial_drift_khz=1.2 drift_rate_khz=2.5 "
    "delta_f1_khz=250.1 f2_f1_ratio=0.92";

TEST(AirLines, WriteTheDocumentedLinesAndReadThemBack) {
    const air::Transmission sent = LeOn19(0.42);
    EXPECT_EQ(air::FormatTransmission(sent), kGoldenTx);
    air::Transmission read;
    std::string error;
    ASSERT_TRUE(air::ParseTransmission(kGoldenTx, read, error)) << error;
    EXPECT_EQ(read.mode, air::Transmission::Mode::Le);
    EXPECT_EQ(read.pattern, "PRBS9");
    EXPECT_DOUBLE_EQ(read.powerDbm, 0.42);
    EXPECT_DOUBLE_EQ(read.f2f1Ratio, 0.92);

    const air::Packets packets{19, -70.5, 1500, 37, "PRBS9"};
    const char* goldenPackets =
        "PACKETS channel=19 level_dbm=-70.5 count=1500 length=37 payload=PRBS9";
    EXPECT_EQ(air::FormatPackets(packets), goldenPackets);
    air::Packets back;
    ASSERT_TRUE(air::ParsePackets(goldenPackets, back, error)) << error;
    EXPECT_EQ(back.count, 1500);
    EXPECT_DOUBLE_EQ(back.levelDbm, -70.5);
}

TEST(AirLines, RefuseBadLinesSayingWhy) {
    const struct {
        bool packets;
        const char* line;
        const char* error;
    } rows[] = {
        {false, "mode=fm channel=3", "unknown mode 'fm'"},
        {false, "channel=3", "no mode in 'channel=3'"},
        {false, "mode=le channel=99", "'channel=99' out of range"},
        {false, "mode=le channel=1.5", "bad number 'channel=1.5'"},
        {false, "mode=le power_dbm=nan", "bad number 'power_dbm=nan'"},
        {false, "mode=le colour=red", "unknown field 'colour=red'"},
        {false, "", "no mode in ''"},
        {true, "TX?", "not a PACKETS request: 'TX?'"},
        {true, "PACKETS count=-1", "'count=-1' out of range"},
        {true, "PACKETS channel=40", "'channel=40' out of range"},
        {true, "PACKETS level_dbm=", "bad number 'level_dbm='"},
    };
    for (const auto& row : rows) {
        air::Transmission t;
        air::Packets p;
        std::string error;
        const bool parsed = row.packets ? air::ParsePackets(row.line, p, error)
                                        : air::ParseTransmission(row.line, t, error);
        EXPECT_FALSE(parsed) << row.line;
        EXPECT_EQ(error, row.error);
    }
}

int UnixSocket(const std::string& path, bool bindIt) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const auto* a = reinterpret_cast<const sockaddr*>(&address);
    return (bindIt ? ::bind(fd, a, sizeof address) : ::connect(fd, a, sizeof address)) == 0 ? fd
                                                                                            : -1;
}

TEST(AirSocket, ServesThePhoneAcrossRestartsStaleFilesAndBadLines) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("air").toStdString();
    air::RemoteRadio remote(path);
    EXPECT_EQ(remote.Transmitting().mode, air::Transmission::Mode::None);
    EXPECT_EQ(remote.LastError().rfind("no phone on the air at " + path + ": ", 0), 0u);

    ::close(UnixSocket(path, true)); // what a killed phone leaves behind
    TestRadio radio;
    auto server = std::make_unique<air::Server>(radio, path);
    std::string error;
    ASSERT_TRUE(server->Start(error)) << error;
    EXPECT_EQ(remote.Transmitting().mode, air::Transmission::Mode::Le);
    EXPECT_EQ(remote.Receive({19, -70, 100, 37, "PRBS9"}), 97);
    EXPECT_EQ(remote.LastError(), "");

    const int raw = UnixSocket(path, false);
    const std::string request = "HELLO\nPACKETS count=x\nTX?\n";
    ASSERT_EQ(::write(raw, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    std::string answers;
    char c;
    while (std::count(answers.begin(), answers.end(), '\n') < 3 && ::read(raw, &c, 1) == 1)
        answers += c;
    ::close(raw);
    EXPECT_EQ(answers, std::string("ERROR unknown request 'HELLO'\nERROR bad number 'count=x'\n") +
                           kGoldenTx + "\n");

    air::Server second(radio, path);
    EXPECT_FALSE(second.Start(error));
    EXPECT_EQ(error, "another phone serves the air at " + path);

    // The phone restarts: the instrument finds it gone, then back.
    server.reset();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    EXPECT_EQ(remote.Transmitting().mode, air::Transmission::Mode::None);
    EXPECT_NE(remote.LastError(), "");
    server = std::make_unique<air::Server>(radio, path);
    ASSERT_TRUE(server->Start(error)) << error;
    EXPECT_EQ(remote.Transmitting().mode, air::Transmission::Mode::Le);

    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    air::Server onFile(radio, plain.fileName().toStdString());
    EXPECT_FALSE(onFile.Start(error));
    EXPECT_EQ(error, plain.fileName().toStdString() + " exists and is not a socket");
}

} // namespace
