// BluetoothZep's operations over a scripted link: the common shape (check, log, exchange,
// report), the chip state rules, the action lines, the HCI log and the NVM cache, where the
// simulator cannot shape the reply.
#include <cstring>
#include <gtest/gtest.h>

#include "local_host.h"
#include "nvm_golden.h"
#include "scripted_transport.h"
#include "zep/bluetoothzep.h"

namespace {

using testhost::LocalHost;
using testzep::ScriptedTransport;

class Zep : public ::testing::Test {
protected:
    LocalHost host;
    ScriptedTransport link;
    BluetoothZep bt{&link};

    // Log lines after the version query of the first use.
    std::vector<std::string> LinesAfterVersions() const {
        std::vector<std::string> lines;
        bool afterQuery = false;
        for (const auto& l : host.lines) {
            if (afterQuery) lines.push_back(l.text);
            if (l.text.rfind("Opcode versions for ", 0) == 0) afterQuery = true;
        }
        return afterQuery ? lines : host.Texts();
    }
};

TEST_F(Zep, RunsCheckLogExchangeAndReportInOrder) {
    const T_Result r = bt.SetRtrimManualValues(1, {12, 7});
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(link.sent, (std::vector<std::string>{"at@bt:get_opcode_version(14)",
                                                   "at@bt:set_rtrim_manual_values(12,7)"}));
    EXPECT_EQ(host.Texts(), (std::vector<std::string>{
                                "Get header version for opcode 'SET_RTRIM_MANUAL_VALUES'", "OK",
                                "Opcode versions for 'SET_RTRIM_MANUAL_VALUES' is req=1 con=1",
                                "Setting RTRIM manual values", "OK"}));
    host.lines.clear();
    bt.SetRtrimManualValues(1, {0, 0});
    EXPECT_EQ(host.Texts(), (std::vector<std::string>{"Setting RTRIM manual values", "OK"}));
}

TEST_F(Zep, EachOperationUsesItsOpcodeAndCheck) {
    // Request side wrong: every REQ and REQ+CON operation is refused; CON ones go ahead.
    for (int opcode = 0; opcode < BT_OPCODE_COUNT; ++opcode)
        link.Versions(opcode, 2, 1);
    const uint8_t bd[6] = {};
    EXPECT_EQ(bt.Initialize(1).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.SetRfTestMode(1, {}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.SetTxContinuousMode(1, {}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.SetRxContinuousMode(1, {}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.SetTxLeMode(1, {}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.RxLeStart(1, {}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.SetKfreqIbiasdacManualValues(1, {}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.SetTemperatureValues(1, {}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.SetVoltageValues(1, {}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.SetPcmUartWakeupInterface(1, {}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.SetPcmLoopback(1, {}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.GetRssiValue(1, {}, nullptr).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.HciCommand(1, {}, nullptr, 16).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.SetNvmBdaddr(1, bd).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.WriteAllNvmParams(1, {}).code, T_RESULT_VERSION_MISMATCH);
    bool resetOk = true;
    EXPECT_FALSE(bt.ResetHci(1, &resetOk));
    EXPECT_FALSE(resetOk);
    EXPECT_TRUE(link.Operations().empty());

    link.Reply("at@bt:hw_info", "0\r\n1\r\n0\r\nOK\r\n");
    EXPECT_EQ(bt.GetHwInfo(1).code, T_RESULT_OK);
    EXPECT_EQ(bt.RxLeEnd(1, nullptr).code, T_RESULT_ERROR); // "0 OK" lacks the two bytes
    EXPECT_EQ(bt.GetRtrimValues(1, nullptr).code, T_RESULT_ERROR);
    EXPECT_EQ(bt.ReadAllNvmParams(1, nullptr).code, T_RESULT_ERROR);
    EXPECT_EQ(link.Operations(), (std::vector<std::string>{"at@bt:hw_info()", "at@bt:rx_le_end()",
                                                           "at@bt:get_rtrim_values()",
                                                           "at@bt:read_all_nvm_params()"}));
    EXPECT_EQ(link.sent[link.sent.size() - 2], "at@bt:get_opcode_version(26)");
}

// After a good answer, any failed one forgets the chip state and the host interface.
TEST(ZepHwInfo, AFailedAnswerForgetsTheChipStateAndTheHostInterface) {
    const std::vector<std::pair<T_Result, uint8_t>> failures = {
        {{1, ""}, T_RESULT_FAILED}, {{0, "1\r\nERROR\r\n"}, T_RESULT_ERROR}, {{}, 2}};
    for (const auto& [reply, code] : failures) {
        SCOPED_TRACE(static_cast<int>(code));
        LocalHost host;
        ScriptedTransport link;
        link.ReplyOnce("at@bt:hw_info", "1\r\n1\r\n0\r\nOK\r\n");
        link.Reply("at@bt:hw_info", reply.text, reply.code);
        // Another confirm version: checked on the second object's first use.
        if (code == T_RESULT_VERSION_MISMATCH) link.Versions(HW_INFO, 1, 2);
        BluetoothZep first(&link);
        if (code != T_RESULT_VERSION_MISMATCH) {
            ASSERT_EQ(first.GetHwInfo(1).code, T_RESULT_OK);
            ASSERT_EQ(first.GetHostInterface(), 1);
            ASSERT_EQ(first.IsBtOn(), 1);
        }
        const T_Result r = first.GetHwInfo(1);
        EXPECT_EQ(r.code, code);
        if (code == T_RESULT_FAILED) {
            EXPECT_EQ(r.text, "Error: communication error");
        }
        EXPECT_EQ(first.IsBtOn(), 0);
        EXPECT_EQ(first.GetHostInterface(), 2);
    }
}

TEST_F(Zep, InitializeStartsAndStopsTheChipOnlyWhenThePhoneAgrees) {
    EXPECT_EQ(bt.IsBtOn(), 0);
    EXPECT_EQ(bt.Initialize(1).code, T_RESULT_OK);
    EXPECT_EQ(link.Operations().back(), "at@bt:initialize(1)");
    EXPECT_EQ(bt.IsBtOn(), 1);
    EXPECT_EQ(host.Count("Initializing Bluetooth chip"), 1u);

    link.Reply("at@bt:initialize", "4\r\nOK\r\n");
    EXPECT_EQ(bt.Initialize(1).code, T_RESULT_OK);
    EXPECT_EQ(link.Operations().back(), "at@bt:initialize(0)");
    EXPECT_EQ(host.Count("Stopping Bluetooth chip"), 1u);
    EXPECT_EQ(bt.IsBtOn(), 1);

    link.Reply("at@bt:initialize", "0\r\n");
    EXPECT_EQ(bt.Initialize(1).code, T_RESULT_ERROR);
    EXPECT_EQ(bt.IsBtOn(), 1);

    link.Reply("at@bt:initialize", "0\r\nOK\r\n");
    EXPECT_EQ(bt.Initialize(1).code, T_RESULT_OK);
    EXPECT_EQ(bt.IsBtOn(), 0);
}

TEST_F(Zep, ResetHciTellsNoErrorAndThePhoneCodeApart) {
    bool resetOk = false;
    EXPECT_TRUE(bt.ResetHci(1, &resetOk));
    EXPECT_TRUE(resetOk);
    link.Reply("at@bt:reset", "3\r\nOK\r\n");
    EXPECT_TRUE(bt.ResetHci(1, &resetOk));
    EXPECT_FALSE(resetOk);
    link.Reply("at@bt:reset", "", 1);
    resetOk = true;
    EXPECT_FALSE(bt.ResetHci(1, &resetOk));
    EXPECT_FALSE(resetOk);
    EXPECT_EQ(host.Count("Resetting HCI interface"), 3u);
}

TEST_F(Zep, ActionLinesOfTheDeviceOperations) {
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[&] { bt.SetRfTestMode(1, {}); }, "Entering RF test mode"},
        {[&] { bt.SetTxContinuousMode(1, {}); }, "Start TX continuous wave mode"},
        {[&] { bt.SetRxContinuousMode(1, {}); }, "Start RX continuous wave mode"},
        {[&] { bt.SetTxLeMode(1, {}); }, "Start LE TX mode"},
        {[&] { bt.RxLeStart(1, {}); }, "Start LE RX mode"},
        {[&] { bt.RxLeEnd(1, nullptr); }, "Getting Le Rx result"},
        {[&] { bt.GetLumoraVersion(1, nullptr); }, "Getting Lumora Universal information"},
        {[&] { bt.GetRssiValue(1, {}, nullptr); }, "Getting RSSI value"},
        {[&] { bt.GetRtrimValues(1, nullptr); }, "Getting RTRIM manual values"},
        {[&] { bt.GetKfreqIbiasdacValues(1, nullptr); },
         "Getting KFREQ and IBIASDAC manual values"},
        {[&] { bt.SetKfreqIbiasdacManualValues(1, {}); },
         "Setting KFREQ and IBIASDAC manual values"},
        {[&] { bt.GetTemperatureValues(1, nullptr); }, "Getting TMEAS manual values"},
        {[&] { bt.SetTemperatureValues(1, {}); }, "Setting TMEAS manual values"},
        {[&] { bt.GetVoltageValues(1, nullptr); }, "Getting VMEAS manual values"},
        {[&] { bt.SetVoltageValues(1, {}); }, "Setting VMEAS manual values"},
        {[&] { bt.GetPcmUartWakeupInterfaceStatus(1, nullptr); },
         "Getting PCM UART WAKEUP Interface status"},
        {[&] {
             bt.SetPcmUartWakeupInterface(1, {0, 1, 0x102});
         },
         "Setting PCM interface - Internal connection\nSetting UART interface - External "
         "connection\nSetting WAKEUP interface - Should not happen"},
        {[&] {
             bt.SetPcmUartWakeupInterface(1, {0x100, 0x201, 0});
         },
         "Setting PCM interface - Internal connection\nSetting UART interface - External "
         "connection\nSetting WAKEUP interface - Internal connection"},
        {[&] { bt.SetPcmLoopback(1, {0}); }, "Disabling PCM loopback"},
        {[&] { bt.SetPcmLoopback(1, {1}); }, "Enabling PCM loopback - Air->Air"},
        {[&] { bt.SetPcmLoopback(1, {2}); }, "Enabling PCM loopback - PCM->PCM"},
        {[&] { bt.SetPcmLoopback(1, {3}); }, "Enabling PCM loopback - Should not happen"},
    };
    for (const auto& [operation, line] : cases) {
        operation();
        host.lines.clear();
        operation(); // versions known: the action line comes first
        ASSERT_FALSE(host.lines.empty()) << line;
        EXPECT_EQ(host.lines.front().text, line);
        EXPECT_EQ(host.lines.front().flag, 1);
    }
}

TEST_F(Zep, CheckHostInterfaceAndSleepxHaveNoCommand) {
    uint8_t result = 9;
    EXPECT_FALSE(bt.CheckHostInterface(&result));
    EXPECT_EQ(result, 0);
    result = 9;
    EXPECT_FALSE(bt.CheckSleepxSignal(&result));
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(link.sent.empty());
    EXPECT_EQ(host.Texts(),
              (std::vector<std::string>{"Checking host interface", "Checking SleepX signal"}));
}

// Regression: a length byte above 150 made the log step read past the 150 data bytes.
TEST_F(Zep, HciCommandLogsItsBytesInTheDisplayRadixAndNoMoreThanTheRecordHolds) {
    T_BT_HCI_COMMAND_REQ req{3, {0x03, 0x0C, 0xFF}};
    bt.HciCommand(1, req, nullptr, 16);
    host.lines.clear();
    bt.HciCommand(1, req, nullptr, 16);
    bt.HciCommand(1, req, nullptr, 10);
    req.length = 0;
    bt.HciCommand(1, req, nullptr, 16);
    req.length = 255;
    std::memset(req.data, 0xAB, sizeof req.data);
    bt.HciCommand(1, req, nullptr, 16);
    std::string all = "Sending HCI command: ";
    for (int i = 0; i < 150; ++i)
        all += "AB ";
    EXPECT_EQ(host.lines[0].text, "Sending HCI command: 03 0C FF ");
    EXPECT_EQ(host.lines[2].text, "Sending HCI command: 3 12 255 ");
    EXPECT_EQ(host.lines[4].text, "Sending HCI command: ");
    EXPECT_EQ(host.lines[6].text, all);
}

TEST_F(Zep, GetNvmDataVersionIsTheConfirmVersionOfReadFromNvm) {
    link.Versions(READ_FROM_NVM, 1, 4);
    EXPECT_EQ(bt.GetNvmDataVersion(0), 4);
    EXPECT_EQ(bt.GetNvmDataVersion(42), 4);
    EXPECT_EQ(link.sent, std::vector<std::string>{"at@bt:get_opcode_version(26)"});
}

TEST_F(Zep, ReadAllFillsTheRecordAndTheGetters) {
    link.Reply("at@bt:read_all_nvm_params", testzep::GoldenReadAllReply());
    T_BT_ALL_NVM_PARAMS params{};
    const T_Result r = bt.ReadAllNvmParams(1, &params);
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(host.Count("Getting NVM: All NVM parameters"), 1u);
    const T_BT_ALL_NVM_PARAMS golden = testzep::GoldenNvm();
    testzep::ExpectSameNvm(golden, params);
    // Every getter returns its own field of the last read-all.
#define BT_NVM_CHECK_GETTER(Camel, field, id, kind, transfer)                                      \
    {                                                                                              \
        T_BT_ALL_NVM_PARAMS got;                                                                   \
        std::memset(&got, 0x5A, sizeof got);                                                       \
        EXPECT_EQ(bt.GetNvm##Camel(1, reinterpret_cast<BT_NVM_VALUE_T_##kind*>(&got.field)).code,  \
                  T_RESULT_OK);                                                                    \
        EXPECT_EQ(std::memcmp(&got.field, &golden.field, sizeof golden.field), 0) << #field;       \
    }
    BT_NVM_PARAMS(BT_NVM_CHECK_GETTER)
#undef BT_NVM_CHECK_GETTER
}

TEST_F(Zep, ReadAllWithAFortyFourthValueOrACodeBeforeOkFailsButStillFillsTheCache) {
    link.ReplyOnce("at@bt:read_all_nvm_params", testzep::GoldenReadAllReply("0\r\nOK\r\n"));
    EXPECT_EQ(bt.ReadAllNvmParams(1, nullptr).code, T_RESULT_ERROR);
    link.Reply("at@bt:read_all_nvm_params", testzep::GoldenReadAllReply("44\r\nOK\r\n"));
    T_BT_ALL_NVM_PARAMS params{};
    const T_Result r = bt.ReadAllNvmParams(1, &params);
    EXPECT_EQ(r.code, T_RESULT_ERROR);
    uint16_t rx = 0;
    bt.GetNvmRxCurrent(1, &rx);
    EXPECT_EQ(rx, 43);
}

TEST_F(Zep, AFailedReadAllCopiesTheCallersRecordIntoTheCache) {
    link.Reply("at@bt:read_all_nvm_params", "", 1);
    T_BT_ALL_NVM_PARAMS params = testzep::GoldenNvm();
    EXPECT_EQ(bt.ReadAllNvmParams(1, &params).code, T_RESULT_FAILED);
    int8_t rssiMin = 0;
    bt.GetNvmRssiMin(1, &rssiMin);
    EXPECT_EQ(rssiMin, -90);
}

TEST_F(Zep, PerParameterWritesReportOnlyTheStatusAndLeaveTheCache) {
    link.Reply("at@bt:write_nvm_rssi_min", "7\r\nOK\r\n");
    T_Result r = bt.SetNvmRssiMin(1, -90);
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(link.Operations().back(), "at@bt:write_nvm_rssi_min(-90)");
    EXPECT_EQ(LinesAfterVersions(),
              (std::vector<std::string>{"Setting NVM: 'BNPT_RSSI_MINIMUM'", "OK"}));
    int8_t rssiMin = 1;
    bt.GetNvmRssiMin(1, &rssiMin);
    EXPECT_EQ(rssiMin, 0);

    link.Reply("at@bt:write_nvm_bdaddr", "0\r\n");
    const uint8_t bd[6] = {1, 2, 3, 4, 5, 6};
    r = bt.SetNvmBdaddr(1, bd);
    EXPECT_EQ(r.code, T_RESULT_ERROR);
    EXPECT_EQ(host.Count("Setting NVM: 'BNPT_BT_ADDRESS'"), 1u);
}

TEST_F(Zep, EverySetterLogsItsIdentifierAndSendsItsCommand) {
    const T_BT_ALL_NVM_PARAMS golden = testzep::GoldenNvm();
#define BT_NVM_SET(Camel, field, id, kind, transfer)                                               \
    EXPECT_EQ(bt.SetNvm##Camel(1, golden.field).code, T_RESULT_OK) << #field;                      \
    EXPECT_EQ(link.Operations().back().rfind("at@bt:write_nvm_" #field "(", 0), 0u);               \
    EXPECT_EQ(host.Count("Setting NVM: " + t_nvm_param_type_to_string(id)), 1u) << #field;
    BT_NVM_PARAMS(BT_NVM_SET)
#undef BT_NVM_SET
    EXPECT_EQ(link.Count("at@bt:get_opcode_version"), 1u) << "all share WRITE_TO_NVM";
}

TEST_F(Zep, ASetterWithoutItsBytesSendsNothing) {
    EXPECT_EQ(bt.SetNvmBdaddr(1, nullptr).code, T_RESULT_ERROR);
    EXPECT_EQ(bt.SetNvmLmpFeatures(1, nullptr).code, T_RESULT_ERROR);
    EXPECT_TRUE(link.sent.empty());
}

} // namespace
