// The binary framing against a scripted slot 18: status judgement, log lines, the size
// warning, fixed sizes per function and the library-wide version table.

#include <functional>

#include <gtest/gtest.h>

#include "bt/bluetooth_transport.h"
#include "scripted_link.h"

using scripted::Line;

namespace {

class Framing : public scripted::Test {
protected:
    LegacyTransport transport;
};

TEST_F(Framing, StatusOneLogsOkAndSucceeds) {
    scripted::Queue({1});
    EXPECT_TRUE(transport.Reset());
    EXPECT_EQ(scripted::lines, (std::vector<Line>{{"OK", 1}}));
    ASSERT_EQ(scripted::requests.size(), 1u);
    EXPECT_EQ(scripted::requests[0].opcode, 0);
    EXPECT_TRUE(scripted::requests[0].requestPointerNull);
    EXPECT_EQ(scripted::requests[0].comHandle, 7);
}

TEST_F(Framing, Status5LogsCustomError5AndFails) {
    scripted::Queue({5});
    EXPECT_FALSE(transport.CheckHostInterface());
    EXPECT_EQ(scripted::lines, (std::vector<Line>{{"CUSTOM ERROR 5", 1}}));
}

TEST_F(Framing, ShortConfirmWarnsWithBothSizesAndStillSucceeds) {
    scripted::Queue({1, 1, 4, 6});
    LegacyConfirm<atctst_bt_get_lumora_version> confirm{};
    EXPECT_TRUE(transport.GetLumoraVersion(&confirm));
    EXPECT_EQ(scripted::lines,
              (std::vector<Line>{{"OK", 1},
                                 {"WARNING ---> 'atctst_bt_get_lumora_version' - Datasize from "
                                  "target does not match expected data size\nExpected data size "
                                  ":12   Actual data size :4",
                                  1}}));
}

TEST_F(Framing, WrongSizeWarningDoesNotTurnAFailureIntoSuccess) {
    scripted::Queue({2, 0, 0});
    EXPECT_FALSE(transport.SetRxContinuousMode({1, 39}));
    ASSERT_EQ(scripted::lines.size(), 2u);
    EXPECT_EQ(scripted::lines[0], (Line{"CUSTOM ERROR 2", 1}));
    EXPECT_NE(scripted::lines[1].text.find("Expected data size :1   Actual data size :3"),
              std::string::npos);
}

TEST_F(Framing, HostFailureReportsTheHostErrorAndSkipsTheSizeCheck) {
    scripted::lastError = "COM port closed";
    scripted::QueueHostFailure();
    EXPECT_FALSE(transport.Reset());
    EXPECT_EQ(scripted::lines, (std::vector<Line>{{"COM port closed", 1}}));
}

TEST_F(Framing, HostFailureWithoutErrorTextLogsErrorWithFlagZero) {
    scripted::QueueHostFailure();
    EXPECT_FALSE(transport.Reset());
    EXPECT_EQ(scripted::lines, (std::vector<Line>{{"Error!", 0}}));
}

TEST_F(Framing, EmptyHostSlotCountsAsAFailedHostCall) {
    scripted::table[host::kBluetoothGeneric] = nullptr;
    SetFuncInterface(scripted::table, sizeof scripted::table);
    scripted::lastError = "no link";
    EXPECT_FALSE(transport.Reset());
    EXPECT_EQ(scripted::lines, (std::vector<Line>{{"no link", 1}}));
}

TEST_F(Framing, ReportedLengthAboveTheBufferIsNamedButNeverRead) {
    std::vector<uint8_t> confirm(12, 0x11);
    confirm[0] = 1;
    scripted::Queue(confirm, 40000);
    LegacyConfirm<atctst_bt_get_lumora_version> out{};
    EXPECT_TRUE(transport.GetLumoraVersion(&out));
    EXPECT_EQ(out[11], 0x11);
    ASSERT_EQ(scripted::lines.size(), 2u);
    EXPECT_NE(scripted::lines[1].text.find("Expected data size :12   Actual data size :40000"),
              std::string::npos);
}

// Regression: a confirm shorter than its record used to show the tail of the confirm
// before it as its own data.
TEST_F(Framing, ShortConfirmNeverCarriesBytesOfThePreviousOne) {
    scripted::Queue(std::vector<uint8_t>(12, 0xAA));
    scripted::Queue({1, 1});
    LegacyConfirm<atctst_bt_get_lumora_version> out{};
    transport.GetLumoraVersion(&out);
    ASSERT_TRUE(transport.GetLumoraVersion(&out));
    EXPECT_EQ(out, (LegacyConfirm<atctst_bt_get_lumora_version>{1, 1}));
}

TEST_F(Framing, EmptyConfirmIsAFailureNotTheLastStatusAgain) {
    scripted::Queue({1});
    scripted::Queue({});
    EXPECT_TRUE(transport.Reset());
    EXPECT_FALSE(transport.Reset());
}

TEST_F(Framing, ConfirmBytesReachTheCallerAlsoOnAFailureStatus) {
    scripted::Queue({9, 1, 2, 3, 4});
    LegacyConfirm<atctst_bt_get_rtrim_values> out{};
    EXPECT_FALSE(transport.GetRtrimValues(&out));
    EXPECT_EQ(out, (LegacyConfirm<atctst_bt_get_rtrim_values>{9, 1, 2, 3, 4}));
    EXPECT_EQ(LegacyConfirmBuffer[4], 4);
}

struct SizeCase {
    int function;
    std::size_t requestSize;
    std::size_t confirmSize;
    std::function<bool(LegacyTransport&)> call;
};

template <T_ATCTST_BT_FUNCTION F> LegacyRequest<F> Req() {
    return {};
}
template <T_ATCTST_BT_FUNCTION F> LegacyConfirm<F>* Con() {
    static LegacyConfirm<F> c;
    return &c;
}

// Golden sizes of the binary protocol, written out independently of the framing's table.
TEST_F(Framing, EveryFunctionSendsItsFixedRequestAndExpectsItsFixedConfirm) {
    const std::vector<SizeCase> cases = {
        {0, 0, 1, [](auto& t) { return t.Reset(); }},
        {1, 22, 1, [](auto& t) { return t.SetRfTestMode(Req<atctst_bt_set_rf_test_mode>()); }},
        {2, 30, 1, [](auto& t) { return t.SetTxBurstMode(Req<atctst_bt_set_tx_burst_mode>()); }},
        {3, 7, 1,
         [](auto& t) { return t.SetTxContinuousMode(Req<atctst_bt_set_tx_continuous_mode>()); }},
        {4, 2, 1,
         [](auto& t) { return t.SetRxContinuousMode(Req<atctst_bt_set_rx_continuous_mode>()); }},
        {5, 0, 12, [](auto& t) { return t.GetLumoraVersion(Con<atctst_bt_get_lumora_version>()); }},
        {6, 2, 1, [](auto& t) { return t.SetPcmLoopback(Req<atctst_bt_set_pcm_loopback>()); }},
        {7, 0, 1, [](auto& t) { return t.CheckHostInterface(); }},
        {8, 0, 4, [](auto& t) { return t.HwInfo(Con<atctst_bt_hw_info>()); }},
        {9, 2, 1, [](auto& t) { return t.Initialize(Req<atctst_bt_initialize>()); }},
        {10, 0, 1, [](auto& t) { return t.CheckSleepxSignal(); }},
        {11, 0, 5, [](auto& t) { return t.GetRtrimValues(Con<atctst_bt_get_rtrim_values>()); }},
        {12, 3, 1,
         [](auto& t) { return t.SetRtrimManualValues(Req<atctst_bt_set_rtrim_manual_values>()); }},
        {13, 0, 8,
         [](auto& t) {
             return t.GetKfreqIbiasdacValues(Con<atctst_bt_get_kfreq_ibiasdac_values>());
         }},
        {14, 5, 1,
         [](auto& t) {
             return t.SetKfreqIbiasdacManualValues(
                 Req<atctst_bt_set_kfreq_ibiasdac_manual_values>());
         }},
        {15, 0, 5,
         [](auto& t) {
             return t.GetPcmUartWakeupInterfaceStatus(
                 Con<atctst_bt_get_pcm_uart_wakeup_interface_status>());
         }},
        {16, 4, 1,
         [](auto& t) {
             return t.SetPcmUartWakeupInterface(Req<atctst_bt_set_pcm_uart_wakeup_interface>());
         }},
        {17, 0, 8,
         [](auto& t) { return t.GetTemperatureValues(Con<atctst_bt_get_temperature_values>()); }},
        {18, 6, 1,
         [](auto& t) { return t.SetTemperatureValues(Req<atctst_bt_set_temperature_values>()); }},
        {19, 0, 6, [](auto& t) { return t.GetVoltageValues(Con<atctst_bt_get_voltage_values>()); }},
        {20, 4, 1, [](auto& t) { return t.SetVoltageValues(Req<atctst_bt_set_voltage_values>()); }},
        {21, 3, 3,
         [](auto& t) {
             return t.GetRssiValue(Req<atctst_bt_get_rssi_value>(),
                                   Con<atctst_bt_get_rssi_value>());
         }},
        {23, 8, 1, [](auto& t) { return t.WriteToNvm(Req<atctst_bt_write_to_nvm>()); }},
        {24, 1, 9,
         [](auto& t) {
             return t.ReadFromNvm(Req<atctst_bt_read_from_nvm>(), Con<atctst_bt_read_from_nvm>());
         }},
        {25, 5, 1, [](auto& t) { return t.SetTxLeMode(Req<atctst_bt_set_tx_le_mode>()); }},
        {26, 2, 1, [](auto& t) { return t.RxLeStart(Req<atctst_bt_rx_le_start>()); }},
        {27, 0, 4, [](auto& t) { return t.RxLeEnd(Con<atctst_bt_rx_le_end>()); }},
        {28, 152, 153,
         [](auto& t) {
             return t.HciCommand(Req<atctst_bt_hci_command>(), Con<atctst_bt_hci_command>());
         }},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.function);
        scripted::requests.clear();
        scripted::lines.clear();
        std::vector<uint8_t> confirm(c.confirmSize, 0);
        confirm[0] = 1;
        scripted::Queue(confirm);
        EXPECT_TRUE(c.call(transport));
        ASSERT_EQ(scripted::requests.size(), 1u);
        EXPECT_EQ(scripted::requests[0].opcode, c.function);
        EXPECT_EQ(scripted::requests[0].bytes.size(), c.requestSize);
        EXPECT_EQ(scripted::requests[0].requestPointerNull, c.requestSize == 0);
        // A confirm of exactly the expected size draws no warning.
        EXPECT_EQ(scripted::lines, (std::vector<Line>{{"OK", 1}}));
    }
}

// --- record versions ------------------------------------------------------------------

TEST_F(Framing, FirstVersionQueryAsksAndLogsThenTheAnswerIsRemembered) {
    scripted::QueueVersions(1, 3);
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_set_tx_burst_mode), 1);
    ASSERT_EQ(scripted::requests.size(), 1u);
    EXPECT_EQ(scripted::requests[0].opcode, 29);
    EXPECT_EQ(scripted::requests[0].bytes, (std::vector<uint8_t>{2, 0}));
    EXPECT_EQ(scripted::lines,
              (std::vector<Line>{
                  {"Get header version for opcode 'atctst_bt_set_tx_burst_mode'", 1},
                  {"OK", 1},
                  {"Opcode versions for 'atctst_bt_set_tx_burst_mode' is req=1 con=3", 1}}));

    scripted::lines.clear();
    EXPECT_EQ(transport.GetConVersion(atctst_bt_set_tx_burst_mode), 3);
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_set_tx_burst_mode), 1);
    EXPECT_EQ(scripted::requests.size(), 1u);
    EXPECT_TRUE(scripted::lines.empty());
}

TEST_F(Framing, VersionQueryCarriesTheFunctionLittleEndian) {
    scripted::QueueVersions(1, 1);
    transport.GetReqVersion(atctst_bt_hci_command);
    ASSERT_EQ(scripted::requests.size(), 1u);
    EXPECT_EQ(scripted::requests[0].bytes, (std::vector<uint8_t>{28, 0}));
}

TEST_F(Framing, UnsupportedFunctionIsAnsweredOnceAndCountsAsVersionZero) {
    scripted::Queue({2, 7, 7});
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_rx_le_end), 0);
    EXPECT_EQ(scripted::lines,
              (std::vector<Line>{{"Get header version for opcode 'atctst_bt_rx_le_end'", 1},
                                 {"CUSTOM ERROR 2", 1},
                                 {"Opcode for 'atctst_bt_rx_le_end' is not supported", 1}}));
    scripted::lines.clear();
    EXPECT_EQ(transport.GetConVersion(atctst_bt_rx_le_end), 0);
    EXPECT_EQ(transport.GetOpcodeVersion(atctst_bt_rx_le_end).status, 2);
    EXPECT_EQ(scripted::requests.size(), 1u);
    EXPECT_TRUE(scripted::lines.empty());
}

TEST_F(Framing, OtherStatusLogsAnEmptyLineAndIsRemembered) {
    scripted::Queue({5, 1, 1});
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_reset), 0);
    ASSERT_EQ(scripted::lines.size(), 3u);
    EXPECT_TRUE(scripted::lines[2].nullText);
    EXPECT_EQ(scripted::lines[2].flag, 1);
    transport.GetReqVersion(atctst_bt_reset);
    EXPECT_EQ(scripted::requests.size(), 1u);
}

TEST_F(Framing, FailedVersionQueryIsNotRememberedAndAsksAgain) {
    scripted::QueueHostFailure();
    scripted::QueueVersions(1, 1);
    const OpcodeVersion failed = transport.GetOpcodeVersion(atctst_bt_initialize);
    EXPECT_EQ(failed.status, 0);
    EXPECT_EQ(failed.request_version, 0);
    EXPECT_EQ(failed.confirm_version, 0);
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_initialize), 1);
    EXPECT_EQ(scripted::requests.size(), 2u);
}

TEST_F(Framing, VersionTableIsSharedByEveryTransportOfTheLibrary) {
    scripted::QueueVersions(2, 1);
    EXPECT_EQ(transport.GetReqVersion(atctst_bt_set_tx_le_mode), 2);
    LegacyTransport second;
    EXPECT_EQ(second.GetReqVersion(atctst_bt_set_tx_le_mode), 2);
    EXPECT_EQ(scripted::requests.size(), 1u);
}

TEST_F(Framing, FunctionNumberOutsideTheTableSendsNothing) {
    EXPECT_EQ(transport.GetReqVersion(30), 0);
    EXPECT_EQ(transport.GetConVersion(0xFFFF), 0);
    EXPECT_TRUE(scripted::requests.empty());
    EXPECT_TRUE(scripted::lines.empty());
}

TEST(FramingText, SizeWarningIsBuiltExactly) {
    EXPECT_EQ(legacy_framing::SizeWarning(atctst_bt_hci_command, 153, 0),
              "WARNING ---> 'atctst_bt_hci_command' - Datasize from target does not match "
              "expected data size\nExpected data size :153   Actual data size :0");
}

} // namespace
