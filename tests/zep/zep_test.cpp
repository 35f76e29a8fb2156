// The text back-end where the operation table in tests/robust does not reach: command
// lines at the edges of their value ranges, reply parsing, result reporting, the opcode
// version table, and the NVM cache.
#include <gtest/gtest.h>

#include <functional>

#include "fake_host.h"
#include "nvm_golden.h"
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

// The lines the operation table sends cover every command; these cover the widest values.
TEST(CommandLines, CarryTheWidestValuesExactly) {
    const uint8_t bd[6] = {0, 0x1A, 0x7D, 0xDA, 0x71, 0x13};
    const uint8_t lmp[8] = {255, 254, 143, 254, 216, 63, 91, 135};
    using Send = std::function<void(MANAGED_IF::bt&)>;
    // clang-format off
    const std::pair<Send, const char*> cases[] = {
        {[](auto& c) { c.get_opcode_version(65535, nullptr); }, "at@bt:get_opcode_version(65535)"},
        {[](auto& c) { c.set_pcm_uart_wakeup_interface({0, 1, 4000000000u}, nullptr); },
         "at@bt:set_pcm_uart_wakeup_interface(0,1,4000000000)"},
        {[](auto& c) { c.write_nvm_rssi_min(-90, nullptr); }, "at@bt:write_nvm_rssi_min(-90)"},
        {[](auto& c) { c.write_nvm_epc_step_1mbps(200, nullptr); }, "at@bt:write_nvm_epc_step_1mbps(200)"},
        {[](auto& c) { c.write_nvm_input_freq(~0u, nullptr); }, "at@bt:write_nvm_input_freq(4294967295)"},
        {[](auto& c) { c.write_nvm_tx_current(65535, nullptr); }, "at@bt:write_nvm_tx_current(65535)"},
        {[&](auto& c) { c.write_nvm_bdaddr(bd, nullptr); }, "at@bt:write_nvm_bdaddr({0,26,125,218,113,19})"},
        {[&](auto& c) { c.write_nvm_lmp_features(lmp, nullptr); },
         "at@bt:write_nvm_lmp_features({255,254,143,254,216,63,91,135})"}};
    // clang-format on
    for (const auto& [send, line] : cases) {
        Link link;
        MANAGED_IF::bt command{&link};
        send(command);
        EXPECT_EQ(link.sent, Lines{line});
    }
}

TEST(Replies, SeparatorsBecomeBlanksAndCarriageReturnsGo) {
    EXPECT_EQ(MANAGED_IF::CleanReply("{1,2}\r\n3\r\nO\rK"), " 1 2  3 OK");
}

// One result-code reply in the shapes the protocol allows and the ones it rejects: the
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

// A byte keeps its low eight bits, a signed byte its sign; after a malformed value the
// byte fields read 0 and the wider ones keep what they held.
TEST(Replies, ValuesAreReadByTheirWidth) {
    Link link;
    MANAGED_IF::bt command(&link);
    link.reply = "300,-4,{5}\r\n0\r\nOK\r\n";
    T_BT_GET_RTRIM_VALUES_CON rtrim{};
    EXPECT_EQ(command.get_rtrim_values(&rtrim), 0);
    EXPECT_EQ(std::vector<int>({rtrim.use_manual, rtrim.manual_value, rtrim.fused_value}),
              std::vector<int>({44, 252, 5}));
    link.reply = "1\r\nERROR\r\n7\r\n0\r\nOK\r\n";
    T_BT_GET_TEMPERATURE_VALUES_CON temperature{9, 1111, 2222, 33};
    EXPECT_EQ(command.get_temperature_values(&temperature), 3);
    EXPECT_EQ(std::vector<int>({temperature.use_manual, temperature.manual_value,
                                temperature.fused_value, temperature.result}),
              std::vector<int>({1, 1111, 2222, 33}));
    link.reply = "1,2,x,4,5,6,0,OK";
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON kfreq{9, 9, 9, 9, 9, 9, 44};
    EXPECT_EQ(command.get_kfreq_ibiasdac_values(&kfreq), 3);
    EXPECT_EQ(std::vector<int>({kfreq.use_manual_kfreq, kfreq.manual_kfreq, kfreq.fused_kfreq,
                                kfreq.fused_ibiasdac, kfreq.result}),
              std::vector<int>({1, 2, 0, 0, 44}));
}

// The status is kept; its text and the one log line (flag) follow from it.
TEST(ReportResult, TurnsEachStatusIntoItsTextAndLogLine) {
    // clang-format off
    const std::tuple<uint8_t, int32_t, const char*, const char*, int> cases[] = {
        {1, 0, "Error: communication error", "Error!", 0}, // the host has no error text
        {3, -12, "CUSTOM ERROR -12", "CUSTOM ERROR -12", 1},
        // Regression: an unacknowledged reply with phone code 0 was reported as "OK".
        {3, 0, "FAIL", "FAIL", 1},
        {2, 3, "kept", nullptr, 0}};
    // clang-format on
    for (const auto& [status, phoneCode, text, line, flag] : cases) {
        SCOPED_TRACE(std::to_string(status) + " " + std::to_string(phoneCode));
        fakehost::FakeHost host;
        host.InstallIntoPlugin();
        T_Result r{status, "kept"};
        ReportResult(r, phoneCode);
        EXPECT_EQ(r.code, status);
        EXPECT_EQ(r.text, text);
        ASSERT_EQ(host.Log().size(), line ? 1u : 0u);
        if (line) {
            EXPECT_EQ(host.Log()[0].text, line);
            EXPECT_EQ(host.Log()[0].flag, flag);
        }
    }
}

// A failed or unacknowledged query is not kept: its versions count as 0 and the next use
// asks again. Opcodes past the table are asked every time.
TEST(VersionTable, KeepsOnlyAnsweredQueries) {
    fakehost::FakeHost host;
    host.InstallIntoPlugin();
    Link link;
    MANAGED_IF::bt command{&link};
    OpcodeVersionTable table{command};
    link.code = 1;
    T_Result r{T_RESULT_ERROR, ""};
    table.CheckReqVersion(1, RESET, r);
    EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(r.text, "\nData version mismatch. 'RESET' Req: expected = 1, actual = 0");
    link.code = 0;
    link.reply = "1\r\n1\r\n0\r\n";
    EXPECT_EQ(table.GetOpcodeVersions(RESET, nullptr).code, T_RESULT_ERROR);
    EXPECT_FALSE(table.IsKnown(RESET));
    link.reply = "1\r\n2\r\n0\r\nOK\r\n";
    EXPECT_EQ(table.GetConVersion(RESET), 2);
    EXPECT_EQ(table.GetConVersion(RESET), 2);
    EXPECT_EQ(table.GetReqVersion(40), 1);
    EXPECT_EQ(table.GetReqVersion(40), 1);
    EXPECT_EQ(link.sent, Lines({"at@bt:get_opcode_version(1)", "at@bt:get_opcode_version(1)",
                                "at@bt:get_opcode_version(1)", "at@bt:get_opcode_version(40)",
                                "at@bt:get_opcode_version(40)"}));
}

// --- against the phone ----------------------------------------------------------------

struct Zep : ::testing::Test {
    explicit Zep(int32_t kind = 1) {
        host.SetInterfaceKind(kind);
        host.SetLastError("link down");
        host.InstallIntoPlugin();
        bt = std::make_unique<BluetoothZep>();
        bt->GetReqVersion(WRITE_TO_NVM);
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

// The factory keeps the transports: a back-end made after the first was destroyed works
// on the same link, which is probed once per library life.
TEST_F(Zep, ABackEndMadeAfterAnotherWasDestroyedUsesTheSameLink) {
    for (const int32_t kind : {1, 2}) {
        host.SetInterfaceKind(kind);
        bt = std::make_unique<BluetoothZep>();
        host.Phone().ClearLogs();
        bt.reset();
        bt = std::make_unique<BluetoothZep>();
        EXPECT_EQ(bt->GetHwInfo(1).code, T_RESULT_OK);
        EXPECT_EQ(host.Phone().TextCount("at@bt:?"), 0u);
        EXPECT_EQ(host.Phone().TextLog().back().slot, kind == 2 ? 175 : 54);
    }
}

TEST_F(Zep, AParameterWriteReportsTheStatusNotThePhonesCode) {
    host.Phone().InjectText({phonesim::Fault::ErrorCode, 7}, "at@bt:write_nvm_rssi_min");
    EXPECT_EQ(bt->SetNvmRssiMin(1, -80).code, T_RESULT_OK);
    EXPECT_EQ(host.LogTexts(),
              Lines({"Setting NVM: 'BNPT_RSSI_MINIMUM'", "at@bt:write_nvm_rssi_min(-80)", "OK"}));
    int8_t cached = 1;
    EXPECT_EQ(bt->GetNvmRssiMin(1, &cached).code, T_RESULT_OK);
    EXPECT_EQ(cached, 0) << "a write leaves the read-all cache alone";
    const T_Result missing = bt->SetNvmLmpFeatures(1, nullptr);
    EXPECT_EQ(missing.code, T_RESULT_ERROR);
    EXPECT_EQ(missing.text, "No value to write");
    EXPECT_EQ(bt->SetNvmBdaddr(1, nullptr).code, T_RESULT_ERROR);
    EXPECT_EQ(host.Phone().TextLog().size(), 1u);
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
