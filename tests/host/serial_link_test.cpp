// The station's serial link against the phonesim program on a pseudo-terminal.

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <thread>

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

TEST_F(SerialLinkPty, TextCommandGetsItsWholeReply) {
    ASSERT_TRUE(Connect());
    const auto result = link_->ExchangeText("at@bt:hw_info()", 1000);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.reply.toStdString(), kHwInfoReply);
    EXPECT_EQ(LogLinesWith("opened at 115200 baud"), 1);
}

TEST_F(SerialLinkPty, ErrorLineEndsTheReply) {
    ASSERT_TRUE(Connect());
    const auto result = link_->ExchangeText("at@bt:no_such_command", 1000);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.reply.toStdString(), "ERROR\r\n");
}

TEST_F(SerialLinkPty, BinaryConfirmIsTheChipModelsConfirm) {
    ASSERT_TRUE(Connect({"--chip-on"}));
    const auto result = link_->ExchangeBinary(kHwInfo, {}, 1000);
    ASSERT_TRUE(result.ok) << result.error.toStdString();
    EXPECT_EQ(result.confirm, InProcessConfirm(kHwInfo, {}, true));
}

TEST_F(SerialLinkPty, VersionsOptionReachesTheBinaryConfirms) {
    ASSERT_TRUE(Connect({"--versions", "binary:8=1,3"}));
    const auto result = link_->ExchangeBinary(kHwInfo, {}, 1000);
    ASSERT_TRUE(result.ok);
    ASSERT_GE(result.confirm.size(), 2u);
    EXPECT_EQ(result.confirm[1], 3) << "confirm data version";
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
    const auto result = link_->ExchangeBinary(kHwInfo, {}, 1000);
    const qint64 elapsed = clock_.elapsed();
    EXPECT_EQ(result.ok, c.ok) << result.error.toStdString();
    EXPECT_EQ(result.error.toStdString(), c.error);
    if (c.ok) {
        EXPECT_EQ(result.confirm, InProcessConfirm(kHwInfo, {}));
        EXPECT_LT(elapsed, 990) << "only the time-out ended the wait";
    } else {
        EXPECT_GE(elapsed, 990) << "failed before the time-out";
        EXPECT_LT(elapsed, 1700) << "waited past the time-out";
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

TEST_F(SerialLinkPty, TextReplySplitAcrossReadsIsWhole) {
    ASSERT_TRUE(Connect({"--fault", "split"}));
    clock_.start();
    const auto result = link_->ExchangeText("at@bt:hw_info()", 1000);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.reply.toStdString(), kHwInfoReply);
    EXPECT_GE(clock_.elapsed(), 400) << "the pieces came in one read";
}

TEST_F(SerialLinkPty, SilenceIsAFailedCallAfterTheTimeOut) {
    ASSERT_TRUE(Connect({"--fault", "silent"}));
    clock_.start();
    const auto result = link_->ExchangeText("at@bt:hw_info()", 1000);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.toStdString(), "Time-out waiting for the phone");
    EXPECT_GE(clock_.elapsed(), 990);
    EXPECT_LT(clock_.elapsed(), 1700);
}

// Regression: the rest of a reply that came after its time-out was read as the next reply.
TEST_F(SerialLinkPty, LateRestOfAReplyIsNotTakenForTheNext) {
    ASSERT_TRUE(Connect({"--fault", "split"}));
    const auto cut = link_->ExchangeText("at@bt:hw_info()", 100);
    EXPECT_TRUE(cut.ok) << "what arrived before the time-out is the reply";
    EXPECT_FALSE(cut.reply.isEmpty());
    EXPECT_FALSE(cut.reply.endsWith("OK\r\n"));
    // All of the rest has arrived before the next command leaves.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    const auto next = link_->ExchangeText("at@bt:?", 1000);
    EXPECT_EQ(next.reply.toStdString(), "OK\r\n");
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

TEST_F(SerialLinkPty, PhoneKilledBetweenCommandsFailsTheNextOneQuickly) {
    ASSERT_TRUE(Connect());
    ASSERT_TRUE(link_->ExchangeBinary(kHwInfo, {}, 1000).ok);
    phone_.Kill();
    for (int i = 0; i < 2; ++i) {
        clock_.start();
        const auto result = link_->ExchangeBinary(kHwInfo, {}, 1000);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error.toStdString(), "Serial port closed");
        EXPECT_LT(clock_.elapsed(), 1100);
    }
}

TEST_F(SerialLinkPty, RestartedPhoneIsReachedAgainWithOneLogLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath("phone");
    ASSERT_TRUE(Connect({"--link", path}));
    ASSERT_TRUE(link_->ExchangeText("at@bt:?", 1000).ok);
    phone_.Kill();
    EXPECT_FALSE(link_->ExchangeText("at@bt:?", 1000).ok);
    EXPECT_FALSE(link_->IsOpen());

    PhoneProcess second;
    ASSERT_EQ(second.Start({"--link", path}), path);
    const auto text = link_->ExchangeText("at@bt:hw_info()", 1000);
    EXPECT_TRUE(text.ok) << text.error.toStdString();
    EXPECT_EQ(text.reply.toStdString(), kHwInfoReply);
    EXPECT_TRUE(link_->ExchangeBinary(kHwInfo, {}, 1000).ok);
    EXPECT_EQ(LogLinesWith("reopened"), 1);
    EXPECT_EQ(second.Terminate(), 0);
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

TEST_F(SerialLinkPty, RoundTripTime) {
    ASSERT_TRUE(Connect());
    constexpr int kRounds = 200;
    clock_.start();
    for (int i = 0; i < kRounds; ++i)
        ASSERT_TRUE(link_->ExchangeText("at@bt:hw_info()", 1000).ok);
    const double text = static_cast<double>(clock_.nsecsElapsed()) / kRounds / 1000.0;
    clock_.start();
    for (int i = 0; i < kRounds; ++i)
        ASSERT_TRUE(link_->ExchangeBinary(kHwInfo, {}, 1000).ok);
    const double binary = static_cast<double>(clock_.nsecsElapsed()) / kRounds / 1000.0;
    std::printf("pty round trip: text %.0f us, binary %.0f us\n", text, binary);
    EXPECT_LT(text, 50000.0);
    EXPECT_LT(binary, 50000.0);
}

TEST(PhoneProgram, StopsCleanlyOnSigterm) {
    PhoneProcess phone;
    ASSERT_FALSE(phone.Start().isEmpty());
    EXPECT_EQ(phone.Terminate(), 0);
}

} // namespace
