// BluetoothZep's operations over a scripted link: the common shape (check, log, exchange,
// report), the chip state rules, the HCI length limit and the NVM cache.
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

TEST_F(Zep, AVersionMismatchContactsNothingAndLogsNoAction) {
    link.Versions(SET_TX_BURST_MODE, 2, 1);
    const T_Result r = bt.SetTxBurstMode(1, T_BT_SET_TX_BURST_MODE_REQ{});
    EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(r.text, "\nData version mismatch. 'SET_TX_BURST_MODE' Req: expected = 1, actual = 2");
    EXPECT_TRUE(link.Operations().empty());
    EXPECT_EQ(host.Count("Start TX burst mode"), 0u);
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

TEST_F(Zep, GetHwInfoStoresHostInterfaceAndChipStateOnSuccess) {
    link.Reply("at@bt:hw_info", "1\r\n1\r\n0\r\nOK\r\n");
    const T_Result r = bt.GetHwInfo(1);
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(bt.GetHostInterface(), 1);
    EXPECT_EQ(bt.IsBtOn(), 1);
    EXPECT_EQ(host.Count("Getting Hw information"), 1u);
}

TEST_F(Zep, GetHwInfoLeavesTheChipUnknownWhenThePhoneReportsAnError) {
    link.Reply("at@bt:hw_info", "1\r\n1\r\n0\r\nOK\r\n");
    bt.GetHwInfo(1);
    link.Reply("at@bt:hw_info", "0\r\n1\r\n5\r\nOK\r\n");
    const T_Result r = bt.GetHwInfo(1);
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(bt.IsBtOn(), 0);
    EXPECT_EQ(bt.GetHostInterface(), 2);
}

TEST_F(Zep, GetHwInfoFailuresResetTheStateAndExplain) {
    link.Reply("at@bt:hw_info", "1\r\n1\r\n0\r\nOK\r\n");
    bt.GetHwInfo(1);
    link.Reply("at@bt:hw_info", "", 1);
    T_Result r = bt.GetHwInfo(1);
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "Error: communication error");
    EXPECT_EQ(bt.IsBtOn(), 0);
    EXPECT_EQ(bt.GetHostInterface(), 2);

    link.Reply("at@bt:hw_info", "1\r\n1\r\n0\r\nOK\r\n");
    bt.GetHwInfo(1);
    link.Reply("at@bt:hw_info", "1\r\nERROR\r\n");
    r = bt.GetHwInfo(1);
    EXPECT_EQ(r.code, T_RESULT_ERROR);
    EXPECT_EQ(bt.IsBtOn(), 0);
    EXPECT_EQ(bt.GetHostInterface(), 2);
}

TEST(ZepVersionMismatch, GetHwInfoStillForgetsTheHostInterface) {
    LocalHost host;
    ScriptedTransport link;
    link.Reply("at@bt:hw_info", "1\r\n1\r\n0\r\nOK\r\n");
    BluetoothZep bt(&link);
    bt.GetHwInfo(1);
    ASSERT_EQ(bt.GetHostInterface(), 1);
    // A second object meets a phone reporting another confirm version.
    ScriptedTransport other;
    other.Versions(HW_INFO, 1, 2);
    BluetoothZep second(&other);
    EXPECT_EQ(second.GetHwInfo(1).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(second.GetHostInterface(), 2);
    EXPECT_EQ(second.IsBtOn(), 0);
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

TEST_F(Zep, ReadOperationsFillTheirRecordsAndReportThePhoneCode) {
    link.Reply("at@bt:get_rtrim_values", "3,4,5,0,OK");
    T_BT_GET_RTRIM_VALUES_CON rtrim{};
    EXPECT_EQ(bt.GetRtrimValues(1, &rtrim).code, T_RESULT_OK);
    EXPECT_EQ(rtrim.use_manual, 3);
    EXPECT_EQ(rtrim.fused_value, 5);

    link.Reply("at@bt:get_voltage_values", "1\r\n0\r\n9\r\n8\r\n1\r\n");
    T_BT_GET_VOLTAGE_VALUES_CON voltage{};
    const T_Result r = bt.GetVoltageValues(1, &voltage);
    EXPECT_EQ(r.code, T_RESULT_ERROR);
    EXPECT_EQ(r.text, "Not supported");
    EXPECT_EQ(voltage.result, 1);
    EXPECT_EQ(host.lines.back().text, "Not supported");
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

TEST_F(Zep, HciCommandLogsTheBytesInTheDisplayRadix) {
    T_BT_HCI_COMMAND_REQ req{};
    req.length = 3;
    req.data[0] = 0x03;
    req.data[1] = 0x0C;
    req.data[2] = 0xFF;
    bt.HciCommand(1, req, nullptr, 16);
    host.lines.clear();
    bt.HciCommand(1, req, nullptr, 16);
    bt.HciCommand(1, req, nullptr, 10);
    req.length = 0;
    bt.HciCommand(1, req, nullptr, 16);
    EXPECT_EQ(host.lines[0].text, "Sending HCI command: 03 0C FF ");
    EXPECT_EQ(host.lines[2].text, "Sending HCI command: 3 12 255 ");
    EXPECT_EQ(host.lines[4].text, "Sending HCI command: ");
}

// Regression: a length byte above 150 made the log step read past the 150 data bytes.
TEST_F(Zep, HciCommandLogsAtMostTheBytesTheRecordHolds) {
    T_BT_HCI_COMMAND_REQ req{};
    req.length = 255;
    std::memset(req.data, 0xAB, sizeof req.data);
    bt.HciCommand(1, req, nullptr, 16);
    std::string expected = "Sending HCI command: ";
    for (int i = 0; i < 150; ++i)
        expected += "AB ";
    EXPECT_EQ(host.Count(expected), 1u);
}

TEST_F(Zep, HciReplyLongerThan150BytesGivesStatus4) {
    std::string reply = "151\r\n{1";
    for (int i = 1; i < 150; ++i)
        reply += ",2";
    reply += "}\r\n0\r\nOK\r\n";
    link.Reply("at@bt:hci_command", reply);
    T_BT_HCI_COMMAND_CON con{};
    const T_Result r = bt.HciCommand(1, {}, &con, 16);
    EXPECT_EQ(r.code, T_RESULT_DATA_TOO_LONG);
    EXPECT_EQ(r.text, "HCI command response data length above limit: 150");
    EXPECT_EQ(con.length, 151);
    EXPECT_EQ(host.lines.back().text.rfind("Sending HCI command: ", 0), 0u) << "no OK after it";

    reply.replace(0, 3, "150");
    link.Reply("at@bt:hci_command", reply);
    EXPECT_EQ(bt.HciCommand(1, {}, &con, 16).code, T_RESULT_OK);
}

TEST_F(Zep, GetNvmDataVersionIsTheConfirmVersionOfReadFromNvm) {
    link.Versions(READ_FROM_NVM, 1, 4);
    EXPECT_EQ(bt.GetNvmDataVersion(0), 4);
    EXPECT_EQ(bt.GetNvmDataVersion(42), 4);
    EXPECT_EQ(link.sent, std::vector<std::string>{"at@bt:get_opcode_version(26)"});
}

TEST_F(Zep, GettersAnswerZeroBeforeAnyReadAll) {
    uint8_t bd[6] = {9, 9, 9, 9, 9, 9};
    uint8_t lmp[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    uint32_t freq = 9;
    int8_t rssi = 9;
    T_Result r = bt.GetNvmBdaddr(1, bd);
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(bt.GetNvmLmpFeatures(1, lmp).code, T_RESULT_OK);
    EXPECT_EQ(bt.GetNvmInputFreq(1, &freq).code, T_RESULT_OK);
    EXPECT_EQ(bt.GetNvmRssiThreshold(1, &rssi).code, T_RESULT_OK);
    EXPECT_EQ(std::vector<uint8_t>(bd, bd + 6), std::vector<uint8_t>(6, 0));
    EXPECT_EQ(std::vector<uint8_t>(lmp, lmp + 8), std::vector<uint8_t>(8, 0));
    EXPECT_EQ(freq, 0u);
    EXPECT_EQ(rssi, 0);
    EXPECT_TRUE(link.sent.empty());
    EXPECT_TRUE(host.lines.empty());
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

TEST_F(Zep, ReadAllWithAFortyFourthValueFailsButStillFillsTheCache) {
    link.Reply("at@bt:read_all_nvm_params", testzep::GoldenReadAllReply("44\r\nOK\r\n"));
    T_BT_ALL_NVM_PARAMS params{};
    const T_Result r = bt.ReadAllNvmParams(1, &params);
    EXPECT_EQ(r.code, T_RESULT_ERROR);
    uint16_t rx = 0;
    bt.GetNvmRxCurrent(1, &rx);
    EXPECT_EQ(rx, 43);
}

TEST_F(Zep, ReadAllRejectsAResultCodeBeforeOk) {
    link.Reply("at@bt:read_all_nvm_params", testzep::GoldenReadAllReply("0\r\nOK\r\n"));
    EXPECT_EQ(bt.ReadAllNvmParams(1, nullptr).code, T_RESULT_ERROR);
}

TEST_F(Zep, AFailedReadAllCopiesTheCallersRecordIntoTheCache) {
    link.Reply("at@bt:read_all_nvm_params", "", 1);
    T_BT_ALL_NVM_PARAMS params = testzep::GoldenNvm();
    EXPECT_EQ(bt.ReadAllNvmParams(1, &params).code, T_RESULT_FAILED);
    int8_t rssiMin = 0;
    bt.GetNvmRssiMin(1, &rssiMin);
    EXPECT_EQ(rssiMin, -90);
}

TEST_F(Zep, AShortReadAllZeroesUnreadBytesAndKeepsUnreadWideFields) {
    link.Reply("at@bt:read_all_nvm_params", "{1,2,3,4,5,6}\r\n700\r\nOK\r\n");
    T_BT_ALL_NVM_PARAMS params = testzep::GoldenNvm();
    EXPECT_EQ(bt.ReadAllNvmParams(1, &params).code, T_RESULT_ERROR);
    EXPECT_EQ(params.channel_word_offset, 700);
    EXPECT_EQ(params.input_freq, 4294967295u) << "u32 kept";
    EXPECT_EQ(params.lmp_features[0], 0) << "bytes zeroed";
    EXPECT_EQ(params.rssi_min, 0);
    EXPECT_EQ(params.ulpm_current, 65535) << "u16 kept";
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

TEST_F(Zep, WriteAllSendsTheRecordAndLeavesTheCache) {
    link.Reply("at@bt:write_all_nvm_params", "1\r\n2\r\n9\r\nOK\r\n");
    const T_Result r = bt.WriteAllNvmParams(1, testzep::GoldenNvm());
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(link.Operations().back(),
              std::string("at@bt:write_all_nvm_params(") + testzep::GoldenNvmArguments() + ")");
    EXPECT_EQ(LinesAfterVersions(),
              (std::vector<std::string>{"Setting NVM: All NVM parameters", "OK"}));
    uint16_t tx = 1;
    bt.GetNvmTxCurrent(1, &tx);
    EXPECT_EQ(tx, 0);
}

TEST_F(Zep, ACommunicationErrorIsReportedThroughTheHost) {
    host.lastError = "Timeout";
    link.Reply("at@bt:set_pcm_loopback", "", 1);
    const T_Result r = bt.SetPcmLoopback(1, {1});
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "Error: communication error");
    EXPECT_EQ(host.lines.back().text, "Timeout");
}

} // namespace
