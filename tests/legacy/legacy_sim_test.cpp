// Every BluetoothLegacy operation end to end: the plug-in's slot 18 served by the phone
// simulator through the tests' fake host.

#include <gtest/gtest.h>

#include "fake_host.h"
#include "legacy/bluetoothlegacy.h"

using phonesim::Fault;
using phonesim::FaultSpec;
using phonesim::TestMode;
using Bytes = std::vector<uint8_t>;

namespace {

class LegacySim : public ::testing::Test {
protected:
    void SetUp() override {
        host.InstallIntoPlugin();
        legacy_framing::detail::ClearOpcodeVersionTable();
    }
    void TearDown() override { ShowLineCallback = nullptr; }

    phonesim::Simulator& Phone() { return host.Phone(); }
    phonesim::ChipState& Chip() { return host.Phone().Chip(); }
    Bytes LastRequest() { return host.Phone().LastRequest(); }

    fakehost::FakeHost host;
    BluetoothLegacy bt;
};

// --- device operations ----------------------------------------------------------------

TEST_F(LegacySim, HwInfoReportsTheChipsInterfaceAndState) {
    Chip().on = true;
    Chip().hostInterface = 1;
    const T_Result r = bt.GetHwInfo(1);
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(bt.IsBtOn(), 1);
    EXPECT_EQ(bt.GetHostInterface(), 1);
    EXPECT_TRUE(host.HasLine("Getting Hw information", 1));
}

TEST_F(LegacySim, InitializeSwitchesTheChipOnAndOff) {
    ASSERT_EQ(bt.Initialize(1).code, T_RESULT_OK);
    EXPECT_TRUE(Chip().on);
    EXPECT_EQ(LastRequest(), (Bytes{1, 1}));
    ASSERT_EQ(bt.Initialize(1).code, T_RESULT_OK);
    EXPECT_FALSE(Chip().on);
    EXPECT_EQ(LastRequest(), (Bytes{1, 0}));
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_get_opcode_version), 1u);
}

TEST_F(LegacySim, InitializeAfterARejectedStartAsksToStartAgain) {
    Phone().InjectBinary({Fault::ErrorCode, 5}, atctst_bt_initialize);
    EXPECT_EQ(bt.Initialize(1).code, T_RESULT_FAILED);
    EXPECT_TRUE(host.HasLine("CUSTOM ERROR 5", 1));
    EXPECT_FALSE(Chip().on);
    ASSERT_EQ(bt.Initialize(1).code, T_RESULT_OK);
    EXPECT_EQ(LastRequest(), (Bytes{1, 1}));
    EXPECT_TRUE(Chip().on);
    EXPECT_EQ(bt.IsBtOn(), 1);
}

TEST_F(LegacySim, HwInfoWithoutAnAnswerLeavesTheChipOffAndNoInterface) {
    Chip().on = true;
    ASSERT_EQ(bt.GetHwInfo(1).code, T_RESULT_OK);
    host.SetLastError("Timeout waiting for the phone");
    Phone().InjectBinary({Fault::HostCallFails}, atctst_bt_hw_info);
    const T_Result r = bt.GetHwInfo(1);
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "Error: not able to retrieve BT HW information\n");
    EXPECT_EQ(bt.IsBtOn(), 0);
    EXPECT_EQ(bt.GetHostInterface(), 2);
    EXPECT_TRUE(host.HasLine("Timeout waiting for the phone", 1));
}

TEST_F(LegacySim, TestModesReachTheChip) {
    T_BT_SET_RF_TEST_MODE_REQ rf{{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
    ASSERT_EQ(bt.SetRfTestMode(1, rf).code, T_RESULT_OK);
    EXPECT_EQ(Chip().mode, TestMode::RfTest);
    const Bytes sent = LastRequest();
    ASSERT_EQ(sent.size(), 22u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 7),
              (Bytes{1, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55}));

    T_BT_SET_TX_BURST_MODE_REQ burst{};
    burst.channel = 39;
    burst.afh_channel_map[0] = 0xFF;
    ASSERT_EQ(bt.SetTxBurstMode(1, burst).code, T_RESULT_OK);
    EXPECT_EQ(Chip().mode, TestMode::TxBurst);
    EXPECT_EQ(Chip().channel, 39);
    EXPECT_EQ(LastRequest().size(), 30u);
    EXPECT_EQ(LastRequest()[14], 0xFF);

    ASSERT_EQ(bt.SetTxContinuousMode(1, {10, 1, 2, 0, 0, BT_MODULATION_GFSK}).code, T_RESULT_OK);
    EXPECT_EQ(Chip().mode, TestMode::TxContinuous);
    EXPECT_EQ(Chip().channel, 10);

    ASSERT_EQ(bt.SetRxContinuousMode(1, {20}).code, T_RESULT_OK);
    EXPECT_EQ(Chip().mode, TestMode::RxContinuous);
    EXPECT_EQ(Chip().channel, 20);

    ASSERT_EQ(bt.SetTxLeMode(1, {30, 37, -4, BT_LE_PATTERN_PRBS15}).code, T_RESULT_OK);
    EXPECT_EQ(Chip().mode, TestMode::TxLe);
    EXPECT_EQ(LastRequest(), (Bytes{1, 30, 37, 0xFC, 3}));

    ASSERT_EQ(bt.RxLeStart(1, {5}).code, T_RESULT_OK);
    EXPECT_EQ(Chip().mode, TestMode::RxLe);
    Chip().leRxPackets = 0x1234;
    T_BT_RX_LE_END_CON le{};
    ASSERT_EQ(bt.RxLeEnd(1, &le).code, T_RESULT_OK);
    EXPECT_EQ(le.packets_high, 0x12);
    EXPECT_EQ(le.packets_low, 0x34);

    bool resetOk = false;
    EXPECT_TRUE(bt.ResetHci(1, &resetOk));
    EXPECT_TRUE(resetOk);
    EXPECT_EQ(Chip().mode, TestMode::None);
}

TEST_F(LegacySim, ChecksAndInformationQueries) {
    uint8_t flag = 0;
    EXPECT_TRUE(bt.CheckHostInterface(&flag));
    EXPECT_EQ(flag, 1);
    flag = 0;
    EXPECT_TRUE(bt.CheckSleepxSignal(&flag));
    EXPECT_EQ(flag, 1);

    T_BT_GET_LUMORA_VERSION_CON lumora{};
    ASSERT_EQ(bt.GetLumoraVersion(1, &lumora).code, T_RESULT_OK);
    EXPECT_TRUE(
        std::equal(Chip().lumoraVersion.begin(), Chip().lumoraVersion.end(), lumora.version_info));

    Chip().rssi = -71;
    T_BT_GET_RSSI_VALUE_CON rssi{};
    ASSERT_EQ(bt.GetRssiValue(1, {{0x01, 0x00}}, &rssi).code, T_RESULT_OK);
    EXPECT_EQ(rssi.rssi, -71);
    EXPECT_EQ(LastRequest(), (Bytes{1, 0x01, 0x00}));
}

TEST_F(LegacySim, TrimmingValuesRoundTrip) {
    ASSERT_EQ(bt.SetRtrimManualValues(1, {1, 0x1F}).code, T_RESULT_OK);
    T_BT_GET_RTRIM_VALUES_CON rtrim{};
    ASSERT_EQ(bt.GetRtrimValues(1, &rtrim).code, T_RESULT_OK);
    EXPECT_EQ(rtrim.use_manual, 1);
    EXPECT_EQ(rtrim.manual_value, 0x1F);
    EXPECT_EQ(rtrim.fused_value, Chip().rtrimFused);

    ASSERT_EQ(bt.SetKfreqIbiasdacManualValues(1, {1, 0x21, 0, 0x05}).code, T_RESULT_OK);
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON kfreq{};
    ASSERT_EQ(bt.GetKfreqIbiasdacValues(1, &kfreq).code, T_RESULT_OK);
    EXPECT_EQ(kfreq.use_manual_kfreq, 1);
    EXPECT_EQ(kfreq.manual_kfreq, 0x21);
    EXPECT_EQ(kfreq.fused_kfreq, Chip().kfreqFused);
    EXPECT_EQ(kfreq.use_manual_ibiasdac, 0);
    EXPECT_EQ(kfreq.manual_ibiasdac, 0x05);
    EXPECT_EQ(kfreq.fused_ibiasdac, Chip().ibiasdacFused);

    ASSERT_EQ(bt.SetTemperatureValues(1, {1, 0x1234}).code, T_RESULT_OK);
    EXPECT_EQ(Chip().tmeasManual, 0x1234);
    T_BT_GET_TEMPERATURE_VALUES_CON temp{};
    ASSERT_EQ(bt.GetTemperatureValues(1, &temp).code, T_RESULT_OK);
    EXPECT_EQ(temp.use_manual, 1);
    EXPECT_EQ(temp.manual_value, 0x1234);
    EXPECT_EQ(temp.fused_value, 0x01F4);

    ASSERT_EQ(bt.SetVoltageValues(1, {1, 1, 0x40}).code, T_RESULT_OK);
    T_BT_GET_VOLTAGE_VALUES_CON volt{};
    ASSERT_EQ(bt.GetVoltageValues(1, &volt).code, T_RESULT_OK);
    EXPECT_EQ(volt.use_manual, 1);
    EXPECT_EQ(volt.propagation, 1);
    EXPECT_EQ(volt.manual_value, 0x40);
    EXPECT_EQ(volt.fused_value, Chip().vmeasFused);
}

TEST_F(LegacySim, InterfacesAndLoopback) {
    ASSERT_EQ(bt.SetPcmUartWakeupInterface(1, {1, 0, 1}).code, T_RESULT_OK);
    EXPECT_TRUE(host.HasLine("Setting PCM interface - External connection\nSetting UART "
                             "interface - Internal connection\nSetting WAKEUP interface - "
                             "External connection",
                             1));
    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON status{};
    ASSERT_EQ(bt.GetPcmUartWakeupInterfaceStatus(1, &status).code, T_RESULT_OK);
    EXPECT_EQ(status.pcm, 1u);
    EXPECT_EQ(status.uart, 0u);
    EXPECT_EQ(status.wakeup, 1u);

    ASSERT_EQ(bt.SetPcmLoopback(1, {2}).code, T_RESULT_OK);
    EXPECT_EQ(Chip().loopback, 2u);
    ASSERT_EQ(bt.SetPcmLoopback(1, {0}).code, T_RESULT_OK);
    EXPECT_EQ(Chip().loopback, 0u);
}

TEST_F(LegacySim, HciReadBdAddrReturnsTheAddressLeastSignificantByteFirst) {
    T_BT_HCI_COMMAND_REQ req{3, {0x09, 0x10, 0x00}};
    T_BT_HCI_COMMAND_CON con{};
    ASSERT_EQ(bt.HciCommand(1, req, &con, 16).code, T_RESULT_OK);
    EXPECT_TRUE(host.HasLine("Sending HCI command: 09 10 00 ", 1));
    ASSERT_EQ(con.length, 12);
    EXPECT_EQ(Bytes(con.data, con.data + 12),
              (Bytes{0x0E, 0x0A, 0x01, 0x09, 0x10, 0x00, 0x13, 0x71, 0xDA, 0x7D, 0x1A, 0x00}));
}

TEST_F(LegacySim, HciReplyLongerThan150IsRefused) {
    Phone().InjectBinary({Fault::HciTooLong}, atctst_bt_hci_command);
    T_BT_HCI_COMMAND_CON con{};
    const T_Result r = bt.HciCommand(1, {3, {0x03, 0x0C, 0x00}}, &con, 16);
    EXPECT_EQ(r.code, T_RESULT_DATA_TOO_LONG);
    EXPECT_EQ(con.length, 0);
}

// --- framing faults -------------------------------------------------------------------

TEST_F(LegacySim, OversizeConfirmLengthIsNamedAndNothingPastTheBufferIsRead) {
    Phone().InjectBinary({Fault::OversizeLength, 16000}, atctst_bt_get_voltage_values);
    T_BT_GET_VOLTAGE_VALUES_CON volt{};
    EXPECT_EQ(bt.GetVoltageValues(1, &volt).code, T_RESULT_OK);
    EXPECT_TRUE(host.HasLine("WARNING ---> 'atctst_bt_get_voltage_values' - Datasize from target "
                             "does not match expected data size\nExpected data size :6   Actual "
                             "data size :16000",
                             1));
    EXPECT_EQ(volt.fused_value, Chip().vmeasFused);
}

TEST_F(LegacySim, GarbageConfirmIsAFailureNotData) {
    Phone().InjectBinary({Fault::Garbage}, atctst_bt_get_rtrim_values);
    T_BT_GET_RTRIM_VALUES_CON rtrim{};
    EXPECT_EQ(bt.GetRtrimValues(1, &rtrim).code, T_RESULT_FAILED);
    EXPECT_EQ(rtrim.fused_value, 0);
    EXPECT_TRUE(host.HasLine("CUSTOM ERROR 165", 1));
}

// --- record versions ------------------------------------------------------------------

TEST_F(LegacySim, NewerRequestVersionOnThePhoneRefusesBeforeSending) {
    Phone().SetBinaryVersions(atctst_bt_set_tx_burst_mode, 2, 1);
    const T_Result r = bt.SetTxBurstMode(1, {});
    EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(r.text, "\nData version mismatch. T_ATCTST_BT_SET_TX_BURST_MODE_REQ: expected = 1, "
                      "actual = 2");
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_set_tx_burst_mode), 0u);
    EXPECT_FALSE(host.HasLine("Start TX burst mode"));
    EXPECT_TRUE(
        host.HasLine("Opcode versions for 'atctst_bt_set_tx_burst_mode' is req=2 con=1", 1));
}

TEST_F(LegacySim, NewerConfirmVersionIsRefusedWithoutOutput) {
    Phone().SetBinaryVersions(atctst_bt_get_temperature_values, 1, 2);
    T_BT_GET_TEMPERATURE_VALUES_CON temp{};
    const T_Result r = bt.GetTemperatureValues(1, &temp);
    EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(r.text, "\nData version mismatch. T_ATCTST_BT_GET_TEMPERATURE_VALUES_CON: "
                      "expected = 1, actual = 2");
    EXPECT_EQ(temp.fused_value, 0);
}

TEST_F(LegacySim, UnsupportedFunctionIsAskedOnceAndRefused) {
    Phone().SetBinarySupported(atctst_bt_rx_le_start, false);
    EXPECT_EQ(bt.RxLeStart(1, {1}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.RxLeStart(1, {1}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(host.CountLine("Opcode for 'atctst_bt_rx_le_start' is not supported"), 1u);
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_get_opcode_version), 1u);
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_rx_le_start), 0u);
    EXPECT_EQ(bt.GetConVersion(atctst_bt_rx_le_start), 0);
}

TEST_F(LegacySim, FailedVersionQueryIsAskedAgainByTheNextOperation) {
    Phone().InjectBinary({Fault::HostCallFails}, atctst_bt_get_opcode_version);
    EXPECT_EQ(bt.SetPcmLoopback(1, {1}).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(bt.SetPcmLoopback(1, {1}).code, T_RESULT_OK);
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_get_opcode_version), 2u);
    EXPECT_EQ(Chip().loopback, 1u);
}

// --- NVM parameters -------------------------------------------------------------------

TEST_F(LegacySim, AllSixteenParametersReadTheChipsValues) {
    uint8_t address[6] = {};
    ASSERT_EQ(bt.GetNvmBdaddr(1, address).code, T_RESULT_OK);
    EXPECT_EQ(Bytes(address, address + 6), (Bytes{0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13}));

    const auto byteOf = [&](T_BT_NVM_PARAM_TYPE id) {
        return static_cast<uint8_t>(Chip().nvm[id][0]);
    };
    uint8_t u = 0;
    int8_t s = 0;
    ASSERT_EQ(bt.GetNvmEpcPwrctrlSteps(1, &u).code, T_RESULT_OK);
    EXPECT_EQ(u, byteOf(BNPT_EPC_NUM_OF_PWR_CTRL_STEPS));
    ASSERT_EQ(bt.GetNvmEpcPwrctrlStepsize(1, &u).code, T_RESULT_OK);
    EXPECT_EQ(u, byteOf(BNPT_EPC_PWR_CTRL_STEP_SIZE));
    ASSERT_EQ(bt.GetNvmEpcStep1mbps(1, &u).code, T_RESULT_OK);
    EXPECT_EQ(u, byteOf(BNPT_EPC_HIGHEST_STEP_1MBPS));
    ASSERT_EQ(bt.GetNvmEpcStep2mbps(1, &u).code, T_RESULT_OK);
    EXPECT_EQ(u, byteOf(BNPT_EPC_HIGHEST_STEP_2MBPS));
    ASSERT_EQ(bt.GetNvmEpcStep3mbps(1, &u).code, T_RESULT_OK);
    EXPECT_EQ(u, byteOf(BNPT_EPC_HIGHEST_STEP_3MBPS));
    ASSERT_EQ(bt.GetNvmLpcPwrctrlSteps(1, &u).code, T_RESULT_OK);
    EXPECT_EQ(u, byteOf(BNPT_LPC_NUM_OF_PWR_CTRL_STEPS));
    ASSERT_EQ(bt.GetNvmLpcPwrctrlStepsize(1, &u).code, T_RESULT_OK);
    EXPECT_EQ(u, byteOf(BNPT_LPC_PWR_CTRL_STEP_SIZE));
    ASSERT_EQ(bt.GetNvmEpcPower1mbps(1, &s).code, T_RESULT_OK);
    EXPECT_EQ(static_cast<uint8_t>(s), byteOf(BNPT_EPC_MAX_POWER_1MBPS));
    ASSERT_EQ(bt.GetNvmEpcPower2mbps(1, &s).code, T_RESULT_OK);
    EXPECT_EQ(static_cast<uint8_t>(s), byteOf(BNPT_EPC_MAX_POWER_2MBPS));
    ASSERT_EQ(bt.GetNvmEpcPower3mbps(1, &s).code, T_RESULT_OK);
    EXPECT_EQ(static_cast<uint8_t>(s), byteOf(BNPT_EPC_MAX_POWER_3MBPS));
    ASSERT_EQ(bt.GetNvmLpcPower1mbps(1, &s).code, T_RESULT_OK);
    EXPECT_EQ(static_cast<uint8_t>(s), byteOf(BNPT_LPC_MAX_POWER_1MBPS));
    ASSERT_EQ(bt.GetNvmLpcPower2mbps(1, &s).code, T_RESULT_OK);
    EXPECT_EQ(static_cast<uint8_t>(s), byteOf(BNPT_LPC_MAX_POWER_2MBPS));
    ASSERT_EQ(bt.GetNvmLpcPower3mbps(1, &s).code, T_RESULT_OK);
    EXPECT_EQ(static_cast<uint8_t>(s), byteOf(BNPT_LPC_MAX_POWER_3MBPS));
    ASSERT_EQ(bt.GetNvmBrPwrLevel(1, &s).code, T_RESULT_OK);
    EXPECT_EQ(static_cast<uint8_t>(s), byteOf(BNPT_BR_PWR_LEVEL));
    ASSERT_EQ(bt.GetNvmLePwrLevel(1, &s).code, T_RESULT_OK);
    EXPECT_EQ(static_cast<uint8_t>(s), byteOf(BNPT_LE_PWR_LEVEL));

    EXPECT_EQ(Phone().BinaryCount(atctst_bt_read_from_nvm), 16u);
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_get_opcode_version), 0u);
}

TEST_F(LegacySim, CachedReadThenWriteThenFreshRead) {
    int8_t level = 0;
    ASSERT_EQ(bt.GetNvmBrPwrLevel(1, &level).code, T_RESULT_OK);
    ASSERT_EQ(bt.GetNvmBrPwrLevel(1, &level).code, T_RESULT_OK);
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_read_from_nvm), 1u);

    ASSERT_EQ(bt.SetNvmBrPwrLevel(1, -3).code, T_RESULT_OK);
    EXPECT_EQ(Chip().nvm[BNPT_BR_PWR_LEVEL][0], -3);
    EXPECT_TRUE(host.HasLine("Setting BR power level value", 1));

    ASSERT_EQ(bt.GetNvmBrPwrLevel(1, &level).code, T_RESULT_OK);
    EXPECT_EQ(level, -3);
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_read_from_nvm), 2u);
}

TEST_F(LegacySim, AddressWrittenToTheChip) {
    uint8_t address[6] = {};
    ASSERT_EQ(bt.GetNvmBdaddr(1, address).code, T_RESULT_OK);
    const uint8_t fresh[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    ASSERT_EQ(bt.SetNvmBdaddr(1, fresh).code, T_RESULT_OK);
    const auto stored = Phone().BdAddress();
    EXPECT_EQ(Bytes(stored.begin(), stored.end()), (Bytes{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}));
}

TEST_F(LegacySim, ValuePresentButNotValidIsDelivered) {
    Chip().wireStatus[BT_NVM_LE_PWR_LEVEL] = 2;
    int8_t level = 0;
    EXPECT_EQ(bt.GetNvmLePwrLevel(1, &level).code, T_RESULT_OK);
    EXPECT_EQ(static_cast<uint8_t>(level), static_cast<uint8_t>(Chip().nvm[BNPT_LE_PWR_LEVEL][0]));
}

TEST_F(LegacySim, WrongIdFailsZeroesTheVersionAndBlocksTheSet) {
    Phone().InjectBinary({Fault::WrongNvmId}, atctst_bt_read_from_nvm);
    uint8_t steps = 0;
    EXPECT_EQ(bt.GetNvmEpcPwrctrlSteps(1, &steps).code, T_RESULT_FAILED);
    EXPECT_EQ(bt.GetNvmDataVersion(BNPT_EPC_NUM_OF_PWR_CTRL_STEPS), 0);
    EXPECT_EQ(bt.SetNvmEpcPwrctrlSteps(1, 3).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_write_to_nvm), 0u);
    // The next read asks the phone again and succeeds.
    EXPECT_EQ(bt.GetNvmEpcPwrctrlSteps(1, &steps).code, T_RESULT_OK);
    EXPECT_EQ(bt.GetNvmDataVersion(BNPT_EPC_NUM_OF_PWR_CTRL_STEPS), 1);
}

TEST_F(LegacySim, ValueOfAnotherVersionIsAMismatchAndNotWritable) {
    Chip().wireVersion[BT_NVM_EPC_MAX_POWER_3MBPS] = 2;
    int8_t power = 0;
    const T_Result r = bt.GetNvmEpcPower3mbps(1, &power);
    EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(r.text, "\nData version mismatch. NVM:EPC maximum power 3 MBit/S: expected = 1, "
                      "actual = 2");
    EXPECT_EQ(bt.SetNvmEpcPower3mbps(1, 1).code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_write_to_nvm), 0u);
}

TEST_F(LegacySim, SetBeforeReadAndUnsupportedParametersNeverReachThePhone) {
    EXPECT_EQ(bt.SetNvmEpcPower1mbps(1, 4).code, T_RESULT_VERSION_MISMATCH);
    uint8_t features[8] = {};
    const T_Result r = bt.GetNvmLmpFeatures(1, features);
    EXPECT_EQ(r.code, T_RESULT_ERROR);
    EXPECT_EQ(r.text, "NVM command not supported");
    T_BT_ALL_NVM_PARAMS all{};
    EXPECT_EQ(bt.ReadAllNvmParams(1, &all).code, T_RESULT_ERROR);
    EXPECT_EQ(bt.WriteAllNvmParams(1, all).code, T_RESULT_ERROR);
    EXPECT_TRUE(Phone().BinaryLog().empty());
}

} // namespace
