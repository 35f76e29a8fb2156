// The station's serial link against the phonesim program on a pseudo-terminal.

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "host_slots.h"
#include "host_table.h"
#include "phone_process.h"
#include "phonesim.h"
#include "serial_link.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kHwInfo = 8;

// What the in-process phone answers: the program runs the same chip model.
Bytes InProcessConfirm(int32_t function, const Bytes& request, bool chipOn = false) {
    phonesim::Simulator reference;
    reference.Chip().on = chipOn;
    return reference.HandleBinary(function, request).confirm;
}
std::string InProcessReply(const char* command) {
    phonesim::Simulator reference;
    return reference.HandleText(command).reply;
}
const std::string kHwInfoReply = InProcessReply("at@bt:hw_info()");

class SerialLinkPty : public testing::Test {
protected:
    // Starts the phone and opens the link to it; false when either fails.
    bool Connect(const QStringList& arguments = {}) {
        device_ = phone_.Start(arguments);
        if (device_.isEmpty()) return false;
        link_ = std::make_unique<SerialLink>(
            device_, SerialLink::kDefaultBaud,
            [this](const QString& text, bool error) { log_ << (error ? "! " : "") + text; });
        return link_->Open();
    }
    int LogLinesWith(const QString& part) const {
        return static_cast<int>(log_.filter(part).size());
    }

    PhoneProcess phone_;
    QString device_;
    QStringList log_;
    std::unique_ptr<SerialLink> link_;
    QElapsedTimer clock_;
};

TEST_F(SerialLinkPty, TextCommandGetsItsWholeReplyUpToOkOrError) {
    ASSERT_TRUE(Connect());
    for (const char* command : {"at@bt:hw_info()", "at@bt:no_such_command"}) {
        const auto result = link_->ExchangeText(command, 1000);
        EXPECT_TRUE(result.ok) << command;
        EXPECT_EQ(result.reply.toStdString(), InProcessReply(command)) << command;
    }
    EXPECT_EQ(InProcessReply("at@bt:no_such_command"), "ERROR\r\n");
    EXPECT_EQ(LogLinesWith("opened at 115200 baud"), 1);
}

struct LinkFaultCase {
    const char* name;
    const char* fault;
    bool ok;
    const char* error;
};

void PrintTo(const LinkFaultCase& c, std::ostream* out) {
    *out << c.fault;
}

class SerialLinkFaults : public SerialLinkPty, public testing::WithParamInterface<LinkFaultCase> {};

TEST_P(SerialLinkFaults, BinaryExchange) {
    const LinkFaultCase& c = GetParam();
    ASSERT_TRUE(Connect({"--fault", c.fault}));
    clock_.start();
    // The split reply takes about 900 ms in four pieces; the time-out leaves room for a
    // loaded machine.
    const auto result = link_->ExchangeBinary(kHwInfo, {}, 2000);
    const qint64 elapsed = clock_.elapsed();
    EXPECT_EQ(result.ok, c.ok) << result.error.toStdString();
    EXPECT_EQ(result.error.toStdString(), c.error);
    if (c.ok) {
        EXPECT_EQ(result.confirm, InProcessConfirm(kHwInfo, {}));
        EXPECT_LT(elapsed, 1990) << "only the time-out ended the wait";
    } else {
        EXPECT_GE(elapsed, 1990) << "failed before the time-out";
        EXPECT_LT(elapsed, 2900) << "waited past the time-out";
    }
}

INSTANTIATE_TEST_SUITE_P(Pty, SerialLinkFaults,
                         testing::Values(LinkFaultCase{"ReplySplitAcrossReads", "split", true, ""},
                                         LinkFaultCase{"NoiseBeforeTheFrame", "noise", true, ""},
                                         LinkFaultCase{"DamagedCopyBeforeTheGoodFrame",
                                                       "damaged-copy", true, ""},
                                         LinkFaultCase{"OnlyABadCrc", "bad-crc", false,
                                                       "Damaged confirm from the phone (bad CRC)"},
                                         LinkFaultCase{"SilentPhone", "silent", false,
                                                       "Time-out waiting for the phone"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Regression: the rest of a reply that came after its time-out was read as the next reply.
TEST_F(SerialLinkPty, TextReplySplitAcrossReadsIsWholeAndALateRestIsNotTakenForTheNext) {
    ASSERT_TRUE(Connect({"--fault", "split"}));
    clock_.start();
    const auto whole = link_->ExchangeText("at@bt:hw_info()", 3000);
    EXPECT_TRUE(whole.ok);
    EXPECT_EQ(whole.reply.toStdString(), kHwInfoReply);
    EXPECT_GE(clock_.elapsed(), 800) << "the pieces came in one read";

    const auto cut = link_->ExchangeText("at@bt:hw_info()", 200);
    EXPECT_TRUE(cut.ok) << "what arrived before the time-out is the reply";
    EXPECT_FALSE(cut.reply.isEmpty());
    EXPECT_FALSE(cut.reply.endsWith("OK\r\n"));
    // All of the rest has arrived before the next command leaves.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(link_->ExchangeText("at@bt:?", 1000).reply.toStdString(), "OK\r\n");
}

TEST_F(SerialLinkPty, PhoneKilledWhileWaitingFailsAtOnce) {
    ASSERT_TRUE(Connect({"--fault", "silent"}));
    const pid_t pid = static_cast<pid_t>(phone_.Pid());
    std::thread killer([pid] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        ::kill(pid, SIGKILL);
    });
    clock_.start();
    const auto result = link_->ExchangeText("at@bt:hw_info()", 2000);
    const qint64 elapsed = clock_.elapsed();
    killer.join();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.toStdString(), "Serial port closed");
    EXPECT_LT(elapsed, 1000) << "waited for the time-out on a dead line";
    EXPECT_EQ(LogLinesWith("lost"), 1);
}

TEST_F(SerialLinkPty, KilledPhoneFailsAtOnceAndRestartedOneIsReachedWithOneLogLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath("phone");
    ASSERT_TRUE(Connect({"--link", path}));
    ASSERT_TRUE(link_->ExchangeText("at@bt:?", 1000).ok);
    phone_.Kill();
    for (int i = 0; i < 2; ++i) {
        clock_.start();
        const auto dead = link_->ExchangeBinary(kHwInfo, {}, 1000);
        EXPECT_FALSE(dead.ok);
        EXPECT_EQ(dead.error.toStdString(), "Serial port closed");
        EXPECT_LT(clock_.elapsed(), 1100) << "waited for the time-out on a dead line";
    }
    EXPECT_FALSE(link_->IsOpen());

    PhoneProcess second;
    ASSERT_EQ(second.Start({"--link", path}), path);
    const auto text = link_->ExchangeText("at@bt:hw_info()", 1000);
    EXPECT_TRUE(text.ok) << text.error.toStdString();
    EXPECT_EQ(text.reply.toStdString(), kHwInfoReply);
    EXPECT_TRUE(link_->ExchangeBinary(kHwInfo, {}, 1000).ok);
    EXPECT_EQ(LogLinesWith("reopened"), 1);
    EXPECT_EQ(second.Terminate(), 0) << "SIGTERM is a clean stop";
    EXPECT_FALSE(QFileInfo::exists(path)) << "the link of a stopped phone stays behind";
}

TEST_F(SerialLinkPty, MissingDeviceIsLoggedAndEveryCallFails) {
    SerialLink link(
        "/dev/no-such-phone", SerialLink::kDefaultBaud,
        [this](const QString& text, bool error) { log_ << (error ? "! " : "") + text; });
    EXPECT_FALSE(link.Open());
    EXPECT_EQ(LogLinesWith("! Cannot open serial port /dev/no-such-phone"), 1);
    const auto result = link.ExchangeText("at@bt:?", 1000);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.toStdString(), "Serial port closed");
    EXPECT_EQ(log_.size(), 1) << "a failed reopen is not logged again";
}

TEST_F(SerialLinkPty, FunctionOrRequestTheLinkCannotCarryIsRefusedUnsent) {
    ASSERT_TRUE(Connect());
    EXPECT_FALSE(link_->ExchangeBinary(256, {}, 1000).ok);
    EXPECT_FALSE(link_->ExchangeBinary(-1, {}, 1000).ok);
    const Bytes huge(15001, 0);
    const auto result = link_->ExchangeBinary(kHwInfo, huge, 1000);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains("too long")) << result.error.toStdString();
    EXPECT_TRUE(link_->ExchangeText("at@bt:?", 1000).ok) << "the line stays in step";
}

// The host slots the plug-in calls, served over the link as the station's table holds them.
// Their plain round trips run in the station's start-up over the pty; these are the failures.
class StationSlotsOverPty : public SerialLinkPty {
protected:
    using Binary = uint8_t (*)(int32_t, uint16_t, const uint8_t*, uint16_t*, uint8_t*, int32_t);
    using SendReceive = uint8_t (*)(const char*, phonesim::SlotHostText*, int32_t, int32_t, int32_t,
                                    int32_t);
    using LastError = const char* (*)();
    using SetTimeOut = uint8_t (*)(int32_t);

    void SetUp() override { StationHostState() = HostState{}; }
    void TearDown() override { UseSerialLink(table_, nullptr); }
    bool Serve(const QStringList& arguments = {}) {
        if (!Connect(arguments)) return false;
        FillStationSlots(table_);
        UseSerialLink(table_, link_.get());
        return true;
    }
    template <typename F> F Slot(int slot) const {
        return reinterpret_cast<F>(table_.entries[static_cast<std::size_t>(slot)]);
    }
    std::string LastErrorText() const { return Slot<LastError>(3)(); }

    HostTable table_;
};

struct Reply {
    phonesim::SlotHostText text{&Assign, this};
    std::string data;
    static void Assign(phonesim::SlotHostText* self, const char* bytes, uint32_t length) {
        static_cast<Reply*>(self->context)->data.assign(bytes, length);
    }
};

TEST_F(StationSlotsOverPty, ZepGenericRefusesACommandLongerThanItsBufferUnsent) {
    ASSERT_TRUE(Serve());
    const std::string command(phonesim::kZepBufferSize + 1, 'a');
    uint8_t response[phonesim::kZepBufferSize] = {};
    uint16_t length = 7;
    EXPECT_EQ(Slot<Binary>(54)(0, static_cast<uint16_t>(command.size()),
                               reinterpret_cast<const uint8_t*>(command.data()), &length, response,
                               1),
              0);
    EXPECT_EQ(length, 7) << "nothing was written back";
    EXPECT_NE(LastErrorText(), "No errors");
    Reply reply;
    EXPECT_EQ(Slot<SendReceive>(175)("at@bt:?", &reply.text, 1, -1, 1, 0), 1);
    EXPECT_EQ(reply.data, "OK\r\n") << "the line stays in step";
}

TEST_F(StationSlotsOverPty, SilentPhoneFailsAfterTheTimeOutSetBySlot149) {
    ASSERT_TRUE(Serve({"--fault", "silent"}));
    ASSERT_EQ(Slot<SetTimeOut>(149)(1), 1);
    Reply reply;
    clock_.start();
    EXPECT_EQ(Slot<SendReceive>(175)("at@bt:?", &reply.text, 1, -1, 1, 0), 0);
    EXPECT_GE(clock_.elapsed(), 990);
    EXPECT_LT(clock_.elapsed(), 1700);
    EXPECT_TRUE(reply.data.empty());
    EXPECT_EQ(LastErrorText(), "Time-out waiting for the phone");

    uint8_t confirm[16] = {};
    uint16_t length = 0;
    EXPECT_EQ(Slot<Binary>(18)(kHwInfo, 0, nullptr, &length, confirm, 1), 0);
    EXPECT_EQ(LastErrorText(), "Time-out waiting for the phone");
}

TEST_F(StationSlotsOverPty, BinaryGenericWritesTheConfirmAndClearsTheLastError) {
    ASSERT_TRUE(Serve({"--chip-on"}));
    StationHostState().lastError = "Serial port closed";
    std::vector<uint8_t> confirm(phonesim::kConfirmBufferSize, 0xEE);
    uint16_t length = 0;
    ASSERT_EQ(Slot<Binary>(18)(kHwInfo, 0, nullptr, &length, confirm.data(), 1), 1);
    const Bytes expected = InProcessConfirm(kHwInfo, {}, true);
    ASSERT_EQ(length, expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), confirm.begin()));
    EXPECT_EQ(confirm[length], 0xEE) << "written past the confirm";
    EXPECT_EQ(LastErrorText(), "No errors");
}

} // namespace
