// The station's serial link against the phonesim program on a pseudo-terminal.

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "host/host_table.h"
#include "host/serial_link.h"
#include "phone/host_slots.h"
#include "phone_process.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kHwInfo = 8;
const char* const kHwInfoReply = "0\r\n0\r\n0\r\nOK\r\n"; // of a chip that is off

// One phonesim program and the station's link to it.
struct Line {
    PhoneProcess phone;
    QStringList log;
    std::unique_ptr<SerialLink> link;
    QElapsedTimer clock;

    bool Open(const QStringList& arguments = {}) {
        const QString device = phone.Start(arguments);
        if (device.isEmpty()) return false;
        link = std::make_unique<SerialLink>(
            device, SerialLink::kDefaultBaud,
            [this](const QString& text, bool error) { log << (error ? "! " : "") + text; });
        return link->Open();
    }
    qsizetype LogLinesWith(const QString& part) const { return log.filter(part).size(); }
};

TEST(SerialLinkPty, BinaryExchangeOverAFaultyLine) {
    struct Row {
        const char* fault;
        bool ok;
        const char* error;
    };
    const Row rows[] = {
        {"split", true, ""}, // about 900 ms in four pieces
        {"noise", true, ""},
        {"damaged-copy", true, ""},
        {"bad-crc", false, "Damaged confirm from the phone (bad CRC)"},
        {"silent", false, "Time-out waiting for the phone"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        Line line;
        ASSERT_TRUE(line.Open({"--fault", row.fault}));
        line.clock.start();
        // The time-out leaves room for a loaded machine.
        const auto result = line.link->ExchangeBinary(kHwInfo, {}, 2000);
        const qint64 elapsed = line.clock.elapsed();
        EXPECT_EQ(result.ok, row.ok) << result.error.toStdString();
        EXPECT_EQ(result.error.toStdString(), row.error);
        if (row.ok) {
            EXPECT_EQ(result.confirm, (Bytes{1, 1, 0, 0}));
            EXPECT_LT(elapsed, 1990) << "only the time-out ended the wait";
        } else {
            EXPECT_GE(elapsed, 1990) << "failed before the time-out";
            EXPECT_LT(elapsed, 2900) << "waited past the time-out";
        }
    }
}

// Regression: the rest of a reply that came after its time-out was read as the next reply.
TEST(SerialLinkPty, TextReplySplitAcrossReadsIsWholeAndALateRestIsNotTakenForTheNext) {
    Line line;
    ASSERT_TRUE(line.Open({"--fault", "split"}));
    line.clock.start();
    const auto whole = line.link->ExchangeText("at@bt:hw_info()", 3000);
    EXPECT_TRUE(whole.ok);
    EXPECT_EQ(whole.reply.toStdString(), kHwInfoReply);
    EXPECT_GE(line.clock.elapsed(), 800) << "the pieces came in one read";

    const auto cut = line.link->ExchangeText("at@bt:hw_info()", 200);
    EXPECT_TRUE(cut.ok) << "what arrived before the time-out is the reply";
    EXPECT_FALSE(cut.reply.isEmpty());
    EXPECT_FALSE(cut.reply.endsWith("OK\r\n"));
    // All of the rest has arrived before the next command leaves.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(line.link->ExchangeText("at@bt:?", 1000).reply.toStdString(), "OK\r\n");
}

TEST(SerialLinkPty, PhoneKilledWhileWaitingFailsAtOnceAndARestartedOneIsReachedAgain) {
    QTemporaryDir dir;
    const QString path = dir.filePath("phone");
    Line line;
    ASSERT_TRUE(line.Open({"--fault", "silent", "--link", path}));
    const pid_t pid = static_cast<pid_t>(line.phone.Pid());
    std::thread killer([pid] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::kill(pid, SIGKILL);
    });
    line.clock.start();
    const auto waiting = line.link->ExchangeText("at@bt:hw_info()", 2000);
    killer.join();
    EXPECT_FALSE(waiting.ok);
    EXPECT_EQ(waiting.error.toStdString(), "Serial port closed");
    EXPECT_LT(line.clock.elapsed(), 1000) << "waited for the time-out on a dead line";
    line.clock.start();
    const auto dead = line.link->ExchangeBinary(kHwInfo, {}, 2000);
    EXPECT_EQ(dead.error.toStdString(), "Serial port closed");
    EXPECT_LT(line.clock.elapsed(), 1000) << "waited for the time-out on a dead line";
    EXPECT_FALSE(line.link->IsOpen());
    EXPECT_EQ(line.LogLinesWith("lost"), 1);

    PhoneProcess second;
    ASSERT_EQ(second.Start({"--link", path}), path);
    EXPECT_EQ(line.link->ExchangeText("at@bt:hw_info()", 1000).reply.toStdString(), kHwInfoReply);
    EXPECT_TRUE(line.link->ExchangeBinary(kHwInfo, {}, 1000).ok);
    EXPECT_EQ(line.LogLinesWith("reopened"), 1);
    EXPECT_EQ(second.Terminate(), 0) << "SIGTERM is a clean stop";
    EXPECT_FALSE(QFileInfo::exists(path)) << "the link of a stopped phone stays behind";
}

TEST(SerialLinkPty, MissingDeviceIsLoggedOnceAndEveryCallFails) {
    QStringList log;
    SerialLink link("/dev/no-such-phone", SerialLink::kDefaultBaud,
                    [&log](const QString& text, bool error) { log << (error ? "! " : "") + text; });
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(link.ExchangeText("at@bt:?", 1000).error.toStdString(), "Serial port closed");
    ASSERT_EQ(log.size(), 1) << "a failed reopen is logged again";
    EXPECT_TRUE(log[0].startsWith("! Cannot open serial port /dev/no-such-phone"))
        << log[0].toStdString();
}

TEST(SerialLinkPty, FunctionOrRequestTheLinkCannotCarryIsRefusedUnsentAndErrorEndsAReply) {
    Line line;
    ASSERT_TRUE(line.Open());
    EXPECT_EQ(line.LogLinesWith("opened at 115200 baud"), 1);
    EXPECT_FALSE(line.link->ExchangeBinary(256, {}, 1000).ok);
    EXPECT_FALSE(line.link->ExchangeBinary(-1, {}, 1000).ok);
    const auto result = line.link->ExchangeBinary(kHwInfo, Bytes(15001, 0), 1000);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains("too long")) << result.error.toStdString();
    // The line stays in step; ERROR ends a reply as OK does, without waiting for the time-out.
    line.clock.start();
    const auto error = line.link->ExchangeText("at@bt:no_such_command", 2000);
    EXPECT_TRUE(error.ok);
    EXPECT_EQ(error.reply.toStdString(), "ERROR\r\n");
    EXPECT_LT(line.clock.elapsed(), 1990);
}

// The host slots the plug-in calls, served over the link as the station's table holds them.
// Their plain round trips run in the station's start-up over the pty; this is the time-out.
TEST(StationSlotsOverPty, SilentPhoneFailsAfterTheTimeOutSetBySlot149WithItsLastError) {
    StationHostState() = HostState{};
    Line line;
    ASSERT_TRUE(line.Open({"--fault", "silent"}));
    HostTable table;
    FillStationSlots(table);
    UseSerialLink(table, line.link.get());
    auto slot = [&table](int index) { return table.entries[static_cast<std::size_t>(index)]; };
    auto lastError = [&] { return std::string(reinterpret_cast<const char* (*)()>(slot(3))()); };
    ASSERT_EQ(reinterpret_cast<uint8_t (*)(int32_t)>(slot(149))(1), 1);

    struct Reply {
        phonesim::SlotHostText text{&Assign, this};
        std::string data;
        static void Assign(phonesim::SlotHostText* self, const char* bytes, uint32_t size) {
            static_cast<Reply*>(self->context)->data.assign(bytes, size);
        }
    } reply;
    using SendReceive =
        uint8_t (*)(const char*, phonesim::SlotHostText*, int32_t, int32_t, int32_t, int32_t);
    line.clock.start();
    EXPECT_EQ(reinterpret_cast<SendReceive>(slot(175))("at@bt:?", &reply.text, 1, -1, 1, 0), 0);
    EXPECT_GE(line.clock.elapsed(), 990);
    EXPECT_LT(line.clock.elapsed(), 1700);
    EXPECT_TRUE(reply.data.empty());
    EXPECT_EQ(lastError(), "Time-out waiting for the phone");

    StationHostState().lastError = "No errors";
    uint8_t confirm[16] = {};
    uint16_t length = 0;
    using Binary = uint8_t (*)(int32_t, uint16_t, const uint8_t*, uint16_t*, uint8_t*, int32_t);
    EXPECT_EQ(reinterpret_cast<Binary>(slot(18))(kHwInfo, 0, nullptr, &length, confirm, 1), 0);
    EXPECT_EQ(lastError(), "Time-out waiting for the phone");
    UseSerialLink(table, nullptr);
}

} // namespace
