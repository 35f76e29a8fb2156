// The text back-end where the operation table in tests/robust does not reach: reply
// parsing, result reporting and the NVM cache.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_host.h"
#include "transport/itransportservice.h"
#include "zep/bluetoothzep.h"

namespace {

using Lines = std::vector<std::string>;

// A link without a host: records each line and answers every one with `reply`.
struct Link : ITransportService {
    T_Result DoSendReceive(const std::string& line) override {
        sent.push_back(line);
        return {code, reply};
    }
    std::vector<std::string> sent;
    uint8_t code = 0;
    std::string reply = "0\r\nOK\r\n";
};

// One result-code reply in the shapes the protocol allows (braces, commas and line breaks
// separate; a carriage return inside a word is dropped) and the ones it rejects: the
// status, and the code read (77: none read).
TEST(Replies, TheFinalWordMustBeExactlyOk) {
    // clang-format off
    const std::tuple<const char*, uint8_t, int32_t> cases[] = {
        {"0\r\nOK\r\n", 0, 0}, {"0,OK", 0, 0}, {"{0}OK", 0, 0}, {"-5\r\nOK\r\n", 0, -5},
        {"0\r\nOK\r\nEXTRA 1", 0, 0}, {"3\r\nO\rK\r\n", 0, 3}, {"OK\r\n", 3, 77},
        {"0\r\nok\r\n", 3, 0}, {"0\r\n1\r\nOK\r\n", 3, 0}, {"0\r\nOKAY\r\n", 3, 0},
        {"ERROR\r\n", 3, 77}, {"", 3, 77}, {"2147483648\r\nOK\r\n", 3, 77}};
    // clang-format on
    for (const auto& [reply, status, code] : cases) {
        Link link;
        link.reply = reply;
        MANAGED_IF::bt command(&link);
        int32_t read = 77;
        EXPECT_EQ(command.reset(&read), status) << reply;
        EXPECT_EQ(read, code) << reply;
    }
}

// A reply not acknowledged is named by the phone's code; other statuses keep their text.
TEST(ReportResult, NamesThePhonesCode) {
    fakehost::FakeHost host;
    host.InstallIntoPlugin();
    T_Result refused{T_RESULT_ERROR, ""}, mismatch{T_RESULT_VERSION_MISMATCH, "kept"};
    ReportResult(refused, -12);
    ReportResult(mismatch, 3);
    EXPECT_EQ(refused.text, "CUSTOM ERROR -12");
    EXPECT_EQ(mismatch.text, "kept");
    EXPECT_EQ(host.LogTexts(), Lines{"CUSTOM ERROR -12"});
}

struct Zep : ::testing::Test {
    Zep() {
        host.SetInterfaceKind(1);
        host.SetLastError("link down");
        host.InstallIntoPlugin();
        bt = std::make_unique<BluetoothZep>();
        bt->GetReqVersion(READ_FROM_NVM);
        host.ClearLog();
        host.Phone().ClearLogs();
    }
    fakehost::FakeHost host;
    std::unique_ptr<BluetoothZep> bt;
};

// Regression: a command refused for its length was followed by the host's last error,
// which belongs to some earlier call.
TEST_F(Zep, ACommandTooLongForTheLinkIsRefusedWithoutTheHostsError) {
    T_BT_HCI_COMMAND_REQ longest{150, {}};
    std::memset(longest.data, 200, sizeof longest.data);
    const T_Result r = bt->HciCommand(1, longest, nullptr, 16);
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "Error: communication error");
    EXPECT_EQ(host.LogTexts().back(), "Command too long for the link: 624 bytes, limit 512");
    EXPECT_FALSE(host.HasLine("link down"));
    EXPECT_EQ(host.Phone().TextCount("at@bt:hci_command"), 0u);
}

// The cache takes whatever the read left in the caller's record, also after a failure: a
// 44th value (or a code before "OK", which read-all does not have) or a lost link.
TEST_F(Zep, ReadAllFillsTheCacheEvenWhenItFails) {
    const auto rx = static_cast<uint16_t>(host.Phone().Chip().nvm[BNPT_RX_CURRENT][0]);
    for (const phonesim::Fault fault : {phonesim::Fault::ValueExtra, phonesim::Fault::ErrorCode}) {
        host.Phone().InjectText({fault});
        T_BT_ALL_NVM_PARAMS params{};
        EXPECT_EQ(bt->ReadAllNvmParams(1, &params).code, T_RESULT_ERROR);
        uint16_t cached = 0;
        bt->GetNvmRxCurrent(1, &cached);
        EXPECT_EQ(cached, rx);
    }
    host.Phone().InjectText({phonesim::Fault::HostCallFails});
    T_BT_ALL_NVM_PARAMS caller{};
    caller.rssi_min = -11;
    EXPECT_EQ(bt->ReadAllNvmParams(1, &caller).code, T_RESULT_FAILED);
    int8_t rssiMin = 0;
    bt->GetNvmRssiMin(1, &rssiMin);
    EXPECT_EQ(rssiMin, caller.rssi_min);
}

TEST_F(Zep, TheNvmDataVersionIsTheConfirmVersionOfReadFromNvm) {
    host.Phone().SetTextVersions(READ_FROM_NVM, 1, 4);
    BluetoothZep fresh;
    EXPECT_EQ(fresh.GetNvmDataVersion(0), 4);
    EXPECT_EQ(fresh.GetNvmDataVersion(42), 4);
    EXPECT_EQ(host.Phone().TextCount("at@bt:get_opcode_version"), 1u);
}

} // namespace
