// BluetoothLegacy against a scripted slot 18: every wire record byte by byte (golden
// vectors written out here, independent of the codec), the version checks with their
// record names, the chip state, HCI commands and the NVM parameters.

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <type_traits>

#include <gtest/gtest.h>

#include "legacy/bluetoothlegacy.h"
#include "scripted_link.h"

using scripted::Line;
using Bytes = std::vector<uint8_t>;

namespace {

class Legacy : public scripted::Test {
protected:
    // The phone's versions for `function`, learnt before the operation under test.
    void Negotiate(uint16_t function, uint8_t request, uint8_t confirm) {
        scripted::QueueVersions(request, confirm);
        bt.GetReqVersion(function);
        scripted::requests.clear();
        scripted::lines.clear();
    }
    std::size_t Sent(int32_t function) const {
        std::size_t n = 0;
        for (const auto& r : scripted::requests)
            n += r.opcode == function;
        return n;
    }
    const Bytes& LastRequest() const { return scripted::requests.back().bytes; }

    BluetoothLegacy bt;
};

// --- request records ------------------------------------------------------------------

TEST_F(Legacy, RfTestModeRecordIs22BytesVersionFirstAddressInInputOrder) {
    Negotiate(atctst_bt_set_rf_test_mode, 1, 1);
    T_BT_SET_RF_TEST_MODE_REQ req{};
    const uint8_t address[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::copy(address, address + 6, req.bd_address);
    req.epc_num_steps = 0x0A;
    req.epc_step_size = 0x0B;
    req.epc_max_step_1mbps = 0x0C;
    req.epc_max_step_2mbps = 0x0D;
    req.epc_max_step_3mbps = 0x0E;
    req.lpc_num_steps = 0x0F;
    req.lpc_step_size = 0x10;
    req.epc_max_power_1mbps = -1;
    req.epc_max_power_2mbps = -2;
    req.epc_max_power_3mbps = -3;
    req.lpc_power_1mbps = 4;
    req.lpc_power_2mbps = 5;
    req.lpc_power_3mbps = 6;
    req.br_power_level = -7;
    req.le_power_level = 8;
    const T_Result r = bt.SetRfTestMode(1, req);
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(r.text, "");
    ASSERT_EQ(scripted::requests.size(), 1u);
    EXPECT_EQ(scripted::requests[0].opcode, 1);
    EXPECT_EQ(LastRequest(),
              (Bytes{0x01, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0xFF, 0xFE, 0xFD, 0x0A,
                     0x0B, 0x0C, 0x0D, 0x0E, 0x04, 0x05, 0x06, 0x0F, 0x10, 0xF9, 0x08}));
    EXPECT_EQ(scripted::lines, (std::vector<Line>{{"Entering RF test mode", 1}, {"OK", 1}}));
}

TEST_F(Legacy, TxBurstRecordIs30BytesWithTheAfhMapAtOffset14) {
    Negotiate(atctst_bt_set_tx_burst_mode, 1, 1);
    T_BT_SET_TX_BURST_MODE_REQ req{};
    for (int i = 0; i < 6; ++i)
        req.bd_address[i] = static_cast<uint8_t>(0xA0 + i);
    req.channel = 39;
    req.power_step = 3;
    req.pattern_kind = 1;
    req.pattern_byte = 0x55;
    req.packet_type = 0x105;
    req.tx_interval = 0x20;
    req.hopping = 1;
    for (int i = 0; i < 10; ++i)
        req.afh_channel_map[i] = static_cast<uint8_t>(0xF0 + i);
    req.whitening = 0;
    req.lpc_power_1mbps = -10;
    req.lpc_power_2mbps = 2;
    req.lpc_power_3mbps = 3;
    req.lpc_num_steps = 7;
    req.lpc_step_size = 2;
    EXPECT_EQ(bt.SetTxBurstMode(1, req).code, T_RESULT_OK);
    EXPECT_EQ(scripted::requests.back().opcode, 2);
    EXPECT_EQ(LastRequest(), (Bytes{0x01, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0x27, 0x03, 0x01,
                                    0x55, 0x05, 0x20, 0x01, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5,
                                    0xF6, 0xF7, 0xF8, 0xF9, 0x00, 0xF6, 0x02, 0x03, 0x07, 0x02}));
}

struct RecordCase {
    const char* what;
    int function;
    std::function<T_Result(BluetoothLegacy&)> call;
    Bytes expected;
};

TEST_F(Legacy, SmallRequestRecordsCarryLowBytesOfTheWideFields) {
    const std::vector<RecordCase> cases = {
        {"tx cw",
         3,
         [](BluetoothLegacy& b) {
             return b.SetTxContinuousMode(1, {40, 9, 3, 0, 0xAA, 0x0302});
         },
         {1, 40, 9, 3, 0, 0xAA, 0x02}},
        {"rx cw", 4, [](BluetoothLegacy& b) { return b.SetRxContinuousMode(1, {78}); }, {1, 78}},
        {"le tx",
         25,
         [](BluetoothLegacy& b) {
             return b.SetTxLeMode(1, {19, 37, -5, 0x107});
         },
         {1, 19, 37, 0xFB, 0x07}},
        {"le rx", 26, [](BluetoothLegacy& b) { return b.RxLeStart(1, {12}); }, {1, 12}},
        {"rtrim",
         12,
         [](BluetoothLegacy& b) {
             return b.SetRtrimManualValues(1, {1, 0x1F});
         },
         {1, 1, 0x1F}},
        {"kfreq",
         14,
         [](BluetoothLegacy& b) {
             return b.SetKfreqIbiasdacManualValues(1, {1, 0x22, 0, 0x33});
         },
         {1, 1, 0x22, 0, 0x33}},
        {"tmeas",
         18,
         [](BluetoothLegacy& b) {
             return b.SetTemperatureValues(1, {1, 0xBEEF});
         },
         {1, 0, 1, 0, 0xEF, 0xBE}},
        {"vmeas",
         20,
         [](BluetoothLegacy& b) {
             return b.SetVoltageValues(1, {1, 1, 0x44});
         },
         {1, 1, 1, 0x44}},
        {"interfaces",
         16,
         [](BluetoothLegacy& b) {
             return b.SetPcmUartWakeupInterface(1, {0x101, 0, 0x1FF});
         },
         {1, 0x01, 0x00, 0xFF}},
        {"loopback", 6, [](BluetoothLegacy& b) { return b.SetPcmLoopback(1, {0x102}); }, {1, 2}},
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.what);
        Negotiate(static_cast<uint16_t>(c.function), 1, 1);
        EXPECT_EQ(c.call(bt).code, T_RESULT_OK);
        ASSERT_EQ(scripted::requests.size(), 1u);
        EXPECT_EQ(scripted::requests[0].opcode, c.function);
        EXPECT_EQ(LastRequest(), c.expected);
    }
}

TEST_F(Legacy, SetFailsWithCodeOneAndNoTextOnAFailureStatus) {
    Negotiate(atctst_bt_rx_le_start, 1, 1);
    scripted::Queue({5});
    const T_Result r = bt.RxLeStart(1, {3});
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(scripted::lines.back(), (Line{"CUSTOM ERROR 5", 1}));
}

// --- request version check --------------------------------------------------------------

struct NameCase {
    int function;
    const char* record;
    std::function<T_Result(BluetoothLegacy&)> call;
};

TEST_F(Legacy, RequestVersionMismatchRefusesBeforeAnythingIsSentOrLogged) {
    const std::vector<NameCase> cases = {
        {1, "T_ATCTST_BT_SET_RF_TEST_MODE_REQ", [](auto& b) { return b.SetRfTestMode(1, {}); }},
        {2, "T_ATCTST_BT_SET_TX_BURST_MODE_REQ", [](auto& b) { return b.SetTxBurstMode(1, {}); }},
        {3, "T_ATCTST_BT_SET_TX_CONTINUOUS_MODE_REQ",
         [](auto& b) { return b.SetTxContinuousMode(1, {}); }},
        {4, "T_ATCTST_BT_SET_RX_CONTINUOUS_MODE_REQ",
         [](auto& b) { return b.SetRxContinuousMode(1, {}); }},
        {25, "T_ATCTST_BT_SET_TX_LE_MODE_REQ", [](auto& b) { return b.SetTxLeMode(1, {}); }},
        {26, "T_ATCTST_BT_RX_LE_START_REQ", [](auto& b) { return b.RxLeStart(1, {}); }},
        {9, "atctst_bt_initialize", [](auto& b) { return b.Initialize(1); }},
        {21, "T_ATCTST_BT_GET_RSSI_VALUE_REQ",
         [](auto& b) {
             T_BT_GET_RSSI_VALUE_CON con{};
             return b.GetRssiValue(1, {}, &con);
         }},
        {12, "T_ATCTST_BT_SET_RTRIM_MANUAL_VALUE_REQ",
         [](auto& b) { return b.SetRtrimManualValues(1, {}); }},
        {14, "T_ATCTST_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ",
         [](auto& b) { return b.SetKfreqIbiasdacManualValues(1, {}); }},
        {18, "T_ATCTST_BT_SET_TEMPERATURE_VALUES_REQ",
         [](auto& b) { return b.SetTemperatureValues(1, {}); }},
        {20, "T_ATCTST_BT_SET_VOLTAGE_VALUES_REQ",
         [](auto& b) { return b.SetVoltageValues(1, {}); }},
        {16, "T_ATCTST_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ",
         [](auto& b) { return b.SetPcmUartWakeupInterface(1, {}); }},
        {6, "T_ATCTST_BT_SET_PCM_LOOPBACK_REQ", [](auto& b) { return b.SetPcmLoopback(1, {}); }},
        {28, "T_ATCTST_BT_HCI_COMMAND_REQ",
         [](auto& b) {
             T_BT_HCI_COMMAND_CON con{};
             return b.HciCommand(1, {}, &con, 16);
         }},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.record);
        Negotiate(static_cast<uint16_t>(c.function), 2, 1);
        const T_Result r = c.call(bt);
        EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
        EXPECT_EQ(r.text, std::string("\nData version mismatch. ") + c.record +
                              ": expected = 1, actual = 2");
        EXPECT_TRUE(scripted::requests.empty());
        EXPECT_TRUE(scripted::lines.empty());
    }
}

// --- confirm records --------------------------------------------------------------------

TEST_F(Legacy, TemperatureConfirmGivesByteAndTwoLittleEndianWords) {
    scripted::Queue({0x01, 0x01, 0x05, 0xEE, 0x34, 0x12, 0x78, 0x56});
    T_BT_GET_TEMPERATURE_VALUES_CON con{};
    con.result = -77;
    const T_Result r = bt.GetTemperatureValues(1, &con);
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(con.use_manual, 5);
    EXPECT_EQ(con.manual_value, 0x1234);
    EXPECT_EQ(con.fused_value, 0x5678);
    EXPECT_EQ(con.result, -77);
    EXPECT_EQ(scripted::requests[0].opcode, 17);
    EXPECT_TRUE(scripted::requests[0].bytes.empty());
    EXPECT_EQ(scripted::lines, (std::vector<Line>{{"Getting TMEAS manual values", 1}, {"OK", 1}}));
}

TEST_F(Legacy, InterfaceStatusBytesAreWidenedWithoutSign) {
    scripted::Queue({1, 1, 1, 0, 0x80});
    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON con{};
    ASSERT_EQ(bt.GetPcmUartWakeupInterfaceStatus(1, &con).code, T_RESULT_OK);
    EXPECT_EQ(con.pcm, 1u);
    EXPECT_EQ(con.uart, 0u);
    EXPECT_EQ(con.wakeup, 0x80u);
}

TEST_F(Legacy, DataConfirmsAreCopiedInTheirOrder) {
    scripted::Queue({1, 1, 0x12, 0x34});
    T_BT_RX_LE_END_CON le{};
    ASSERT_EQ(bt.RxLeEnd(1, &le).code, T_RESULT_OK);
    EXPECT_EQ(le.packets_high, 0x12);
    EXPECT_EQ(le.packets_low, 0x34);

    scripted::Queue({1, 1, 4, 6, 0, 0, 0x12, 0x34, 2, 0, 0, 9});
    T_BT_GET_LUMORA_VERSION_CON lumora{};
    ASSERT_EQ(bt.GetLumoraVersion(1, &lumora).code, T_RESULT_OK);
    EXPECT_EQ(Bytes(lumora.version_info, lumora.version_info + 10),
              (Bytes{4, 6, 0, 0, 0x12, 0x34, 2, 0, 0, 9}));

    scripted::Queue({1, 1, 1, 0x1F, 0x17});
    T_BT_GET_RTRIM_VALUES_CON rtrim{};
    ASSERT_EQ(bt.GetRtrimValues(1, &rtrim).code, T_RESULT_OK);
    EXPECT_EQ(rtrim.use_manual, 1);
    EXPECT_EQ(rtrim.manual_value, 0x1F);
    EXPECT_EQ(rtrim.fused_value, 0x17);

    scripted::Queue({1, 1, 1, 2, 3, 4, 5, 6});
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON kfreq{};
    ASSERT_EQ(bt.GetKfreqIbiasdacValues(1, &kfreq).code, T_RESULT_OK);
    EXPECT_EQ(Bytes({kfreq.use_manual_kfreq, kfreq.manual_kfreq, kfreq.fused_kfreq,
                     kfreq.use_manual_ibiasdac, kfreq.manual_ibiasdac, kfreq.fused_ibiasdac}),
              (Bytes{1, 2, 3, 4, 5, 6}));

    scripted::Queue({1, 1, 1, 0, 0x40, 0x5C});
    T_BT_GET_VOLTAGE_VALUES_CON volt{};
    ASSERT_EQ(bt.GetVoltageValues(1, &volt).code, T_RESULT_OK);
    EXPECT_EQ(Bytes({volt.use_manual, volt.propagation, volt.manual_value, volt.fused_value}),
              (Bytes{1, 0, 0x40, 0x5C}));
}

TEST_F(Legacy, RssiSendsTheHandleAndReadsASignedValue) {
    Negotiate(atctst_bt_get_rssi_value, 1, 1);
    scripted::Queue({1, 1, 0xC4});
    T_BT_GET_RSSI_VALUE_CON con{};
    ASSERT_EQ(bt.GetRssiValue(1, {{0x0B, 0x00}}, &con).code, T_RESULT_OK);
    EXPECT_EQ(LastRequest(), (Bytes{1, 0x0B, 0x00}));
    EXPECT_EQ(con.rssi, -60);
}

struct ConfirmCase {
    const char* record;
    int function;
    std::size_t size;
    std::function<T_Result(BluetoothLegacy&)> call;
};

TEST_F(Legacy, ConfirmVersionMismatchNamesTheRecordAndWritesNoOutput) {
    static T_BT_RX_LE_END_CON le;
    static T_BT_GET_LUMORA_VERSION_CON lumora;
    static T_BT_GET_RSSI_VALUE_CON rssi;
    static T_BT_GET_RTRIM_VALUES_CON rtrim;
    static T_BT_GET_KFREQ_IBIASDAC_VALUES_CON kfreq;
    static T_BT_GET_TEMPERATURE_VALUES_CON temp;
    static T_BT_GET_VOLTAGE_VALUES_CON volt;
    static T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON pcm;
    static T_BT_HCI_COMMAND_CON hci;
    std::memset(&le, 0xCC, sizeof le);
    std::memset(&lumora, 0xCC, sizeof lumora);
    std::memset(&rssi, 0xCC, sizeof rssi);
    std::memset(&rtrim, 0xCC, sizeof rtrim);
    std::memset(&kfreq, 0xCC, sizeof kfreq);
    std::memset(&temp, 0xCC, sizeof temp);
    std::memset(&volt, 0xCC, sizeof volt);
    std::memset(&pcm, 0xCC, sizeof pcm);
    std::memset(&hci, 0xCC, sizeof hci);
    const std::vector<ConfirmCase> cases = {
        {"T_ATCTST_BT_RX_LE_END_CON", 27, 4, [](auto& b) { return b.RxLeEnd(1, &le); }},
        {"T_ATCTST_BT_GET_LUMORA_VERSION_CON", 5, 12,
         [](auto& b) { return b.GetLumoraVersion(1, &lumora); }},
        {"T_ATCTST_BT_GET_RSSI_VALUE_CON", 21, 3,
         [](auto& b) { return b.GetRssiValue(1, {}, &rssi); }},
        {"T_ATCTST_BT_GET_RTRIM_VALUES_CON", 11, 5,
         [](auto& b) { return b.GetRtrimValues(1, &rtrim); }},
        {"T_ATCTST_BT_GET_KFREQ_IBIASDAC_VALUES_CON", 13, 8,
         [](auto& b) { return b.GetKfreqIbiasdacValues(1, &kfreq); }},
        {"T_ATCTST_BT_GET_TEMPERATURE_VALUES_CON", 17, 8,
         [](auto& b) { return b.GetTemperatureValues(1, &temp); }},
        {"T_ATCTST_BT_GET_VOLTAGE_VALUES_CON", 19, 6,
         [](auto& b) { return b.GetVoltageValues(1, &volt); }},
        {"T_ATCTST_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON", 15, 5,
         [](auto& b) { return b.GetPcmUartWakeupInterfaceStatus(1, &pcm); }},
        {"T_ATCTST_BT_HCI_COMMAND_CON", 28, 153,
         [](auto& b) { return b.HciCommand(1, {}, &hci, 16); }},
    };
    for (const ConfirmCase& c : cases) {
        SCOPED_TRACE(c.record);
        if (c.function == 21 || c.function == 28)
            Negotiate(static_cast<uint16_t>(c.function), 1, 1);
        Bytes confirm(c.size, 0x07);
        confirm[0] = 1;
        confirm[1] = 3;
        scripted::Queue(confirm);
        const T_Result r = c.call(bt);
        EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
        EXPECT_EQ(r.text, std::string("\nData version mismatch. ") + c.record +
                              ": expected = 1, actual = 3");
    }
    const auto untouched = [](const void* p, std::size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        return std::all_of(b, b + n, [](uint8_t x) { return x == 0xCC; });
    };
    EXPECT_TRUE(untouched(&le, sizeof le));
    EXPECT_TRUE(untouched(&lumora, sizeof lumora));
    EXPECT_TRUE(untouched(&rssi, sizeof rssi));
    EXPECT_TRUE(untouched(&rtrim, sizeof rtrim));
    EXPECT_TRUE(untouched(&kfreq, sizeof kfreq));
    EXPECT_TRUE(untouched(&temp, sizeof temp));
    EXPECT_TRUE(untouched(&volt, sizeof volt));
    EXPECT_TRUE(untouched(&pcm, sizeof pcm));
    EXPECT_TRUE(untouched(&hci, sizeof hci));
}

TEST_F(Legacy, FailedDataExchangeIsCodeOneWithOutputUntouched) {
    scripted::Queue({5, 1, 9, 9, 9});
    T_BT_GET_RTRIM_VALUES_CON con{3, 3, 3, 0};
    const T_Result r = bt.GetRtrimValues(1, &con);
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(con.use_manual, 3);
    EXPECT_EQ(con.fused_value, 3);
}

// --- chip state ---------------------------------------------------------------------------

TEST_F(Legacy, HwInfoStoresInterfaceAndChipState) {
    scripted::Queue({1, 1, 0, 1});
    const T_Result r = bt.GetHwInfo(1);
    EXPECT_EQ(r.code, T_RESULT_OK);
    EXPECT_EQ(bt.GetHostInterface(), 0);
    EXPECT_EQ(bt.IsBtOn(), 1);
    EXPECT_EQ(scripted::requests[0].opcode, 8);
    EXPECT_EQ(scripted::lines.front(), (Line{"Getting Hw information", 1}));
}

TEST_F(Legacy, HwInfoWithNoAnswerLeavesTheChipOffAndNoInterface) {
    scripted::Queue({1, 1, 1, 1});
    ASSERT_EQ(bt.GetHwInfo(1).code, T_RESULT_OK);
    scripted::QueueHostFailure();
    const T_Result r = bt.GetHwInfo(1);
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "Error: not able to retrieve BT HW information\n");
    EXPECT_EQ(bt.IsBtOn(), 0);
    EXPECT_EQ(bt.GetHostInterface(), 2);
}

TEST_F(Legacy, HwInfoOfAnotherVersionReportsNoInterface) {
    scripted::Queue({1, 2, 1, 1});
    const T_Result r = bt.GetHwInfo(1);
    EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(r.text,
              "\nData version mismatch. T_ATCTST_BT_HW_INFO_CON_UNION: expected = 1, actual = 2");
    EXPECT_EQ(bt.IsBtOn(), 0);
    EXPECT_EQ(bt.GetHostInterface(), 2);
}

TEST_F(Legacy, InitializeTwiceStartsThenStops) {
    Negotiate(atctst_bt_initialize, 1, 1);
    ASSERT_EQ(bt.Initialize(1).code, T_RESULT_OK);
    EXPECT_EQ(bt.IsBtOn(), 1);
    ASSERT_EQ(bt.Initialize(1).code, T_RESULT_OK);
    EXPECT_EQ(bt.IsBtOn(), 0);
    ASSERT_EQ(scripted::requests.size(), 2u);
    EXPECT_EQ(scripted::requests[0].opcode, 9);
    EXPECT_EQ(scripted::requests[0].bytes, (Bytes{1, 1}));
    EXPECT_EQ(scripted::requests[1].bytes, (Bytes{1, 0}));
    EXPECT_EQ(scripted::lines[0], (Line{"Initializing Bluetooth chip", 1}));
    EXPECT_EQ(scripted::lines[2], (Line{"Stopping Bluetooth chip", 1}));
}

TEST_F(Legacy, InitializeAfterAFailureAsksForTheSameStateAgain) {
    Negotiate(atctst_bt_initialize, 1, 1);
    scripted::Queue({5});
    EXPECT_EQ(bt.Initialize(1).code, T_RESULT_FAILED);
    EXPECT_EQ(bt.IsBtOn(), 0);
    EXPECT_EQ(bt.Initialize(1).code, T_RESULT_OK);
    ASSERT_EQ(scripted::requests.size(), 2u);
    EXPECT_EQ(scripted::requests[0].bytes, (Bytes{1, 1}));
    EXPECT_EQ(scripted::requests[1].bytes, (Bytes{1, 1}));
    EXPECT_EQ(bt.IsBtOn(), 1);
}

TEST_F(Legacy, StatusOnlyChecksTellExchangeAndStatusApart) {
    uint8_t flag = 9;
    scripted::Queue({1});
    EXPECT_TRUE(bt.CheckHostInterface(&flag));
    EXPECT_EQ(flag, 1);
    scripted::Queue({3});
    EXPECT_TRUE(bt.CheckSleepxSignal(&flag));
    EXPECT_EQ(flag, 0);
    scripted::QueueHostFailure();
    EXPECT_FALSE(bt.CheckHostInterface(&flag));
    EXPECT_EQ(flag, 0);
    bool reset = false;
    scripted::Queue({1});
    EXPECT_TRUE(bt.ResetHci(1, &reset));
    EXPECT_TRUE(reset);
    std::vector<int32_t> functions;
    for (const auto& r : scripted::requests)
        functions.push_back(r.opcode);
    EXPECT_EQ(functions, (std::vector<int32_t>{7, 10, 7, 0}));
    EXPECT_EQ(scripted::lines[0], (Line{"Checking host interface", 1}));
}

// --- HCI ----------------------------------------------------------------------------------

TEST_F(Legacy, HciCommandSendsLengthAndAll150DataBytes) {
    Negotiate(atctst_bt_hci_command, 1, 1);
    T_BT_HCI_COMMAND_REQ req{};
    req.length = 3;
    req.data[0] = 0x01;
    req.data[1] = 0x03;
    req.data[2] = 0x0C;
    req.data[149] = 0x77;
    Bytes confirm(153, 0);
    confirm[0] = 1;
    confirm[1] = 1;
    confirm[2] = 150;
    confirm[3] = 0x0E;
    confirm[152] = 0x99;
    scripted::Queue(confirm);
    T_BT_HCI_COMMAND_CON con{};
    const T_Result r = bt.HciCommand(1, req, &con, 16);
    EXPECT_EQ(r.code, T_RESULT_OK);
    ASSERT_EQ(LastRequest().size(), 152u);
    EXPECT_EQ(Bytes(LastRequest().begin(), LastRequest().begin() + 5), (Bytes{1, 3, 1, 3, 0x0C}));
    EXPECT_EQ(LastRequest()[151], 0x77);
    EXPECT_EQ(con.length, 150);
    EXPECT_EQ(con.data[0], 0x0E);
    EXPECT_EQ(con.data[149], 0x99);
    EXPECT_EQ(scripted::lines.front(), (Line{"Sending HCI command: 01 03 0C ", 1}));
}

TEST_F(Legacy, HciResponseAbove150BytesIsRefusedWithCodeFour) {
    Negotiate(atctst_bt_hci_command, 1, 1);
    Bytes confirm(153, 0x42);
    confirm[0] = 1;
    confirm[1] = 1;
    confirm[2] = 151;
    scripted::Queue(confirm);
    T_BT_HCI_COMMAND_CON con{};
    const T_Result r = bt.HciCommand(1, {}, &con, 10);
    EXPECT_EQ(r.code, T_RESULT_DATA_TOO_LONG);
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(con.length, 0);
    EXPECT_EQ(con.data[0], 0);
}

TEST_F(Legacy, HciExchangeFailureCarriesItsText) {
    Negotiate(atctst_bt_hci_command, 1, 1);
    scripted::QueueHostFailure();
    T_BT_HCI_COMMAND_CON con{};
    const T_Result r = bt.HciCommand(1, {}, &con, 16);
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "Error: communication error when sending HCI command");
}

// --- NVM parameters -----------------------------------------------------------------------

Bytes ReadConfirm(uint8_t status, uint8_t id, uint8_t version, Bytes value) {
    Bytes confirm{status, id, version};
    value.resize(6);
    confirm.insert(confirm.end(), value.begin(), value.end());
    return confirm;
}

template <typename T> T SetterArgument() {
    static const uint8_t bytes[8] = {};
    if constexpr (std::is_pointer_v<T>)
        return bytes;
    else
        return T{};
}

struct Refusal {
    const char* name;
    std::function<T_Result(BluetoothLegacy&)> call;
};

// The 16 identifiers the binary protocol carries, by T_BT_NVM_PARAM_TYPE number.
const std::set<uint32_t> kWireParams = {0,  9,  10, 11, 12, 13, 14, 15,
                                        16, 17, 18, 19, 20, 21, 22, 24};

TEST_F(Legacy, TheOther27ParametersAndReadWriteAllAreRefused) {
    std::vector<Refusal> refused;
#define BT_TEST_REFUSAL(Camel, field, id, kind, transfer)                                          \
    if (!kWireParams.count(id)) {                                                                  \
        refused.push_back({"GetNvm" #Camel, [](BluetoothLegacy& b) {                               \
                               BT_NVM_VALUE_T_##kind v[8] = {};                                    \
                               return b.GetNvm##Camel(1, v);                                       \
                           }});                                                                    \
        refused.push_back({"SetNvm" #Camel, [](BluetoothLegacy& b) {                               \
                               return b.SetNvm##Camel(1, SetterArgument<BT_NVM_SET_T_##kind>());   \
                           }});                                                                    \
    }
    BT_NVM_PARAMS(BT_TEST_REFUSAL)
#undef BT_TEST_REFUSAL
    ASSERT_EQ(refused.size(), 54u);
    refused.push_back({"ReadAllNvmParams", [](BluetoothLegacy& b) {
                           T_BT_ALL_NVM_PARAMS all{};
                           return b.ReadAllNvmParams(1, &all);
                       }});
    refused.push_back({"WriteAllNvmParams", [](BluetoothLegacy& b) {
                           return b.WriteAllNvmParams(1, T_BT_ALL_NVM_PARAMS{});
                       }});
    for (const Refusal& c : refused) {
        SCOPED_TRACE(c.name);
        scripted::lines.clear();
        const T_Result r = c.call(bt);
        EXPECT_EQ(r.code, T_RESULT_ERROR);
        EXPECT_EQ(r.text, "NVM command not supported");
        EXPECT_EQ(scripted::lines, (std::vector<Line>{{"NVM command not supported", 1}}));
    }
    EXPECT_TRUE(scripted::requests.empty());
}

struct WireCase {
    const char* name;
    uint8_t wire;
    std::function<T_Result(BluetoothLegacy&, uint8_t*)> get;
};

TEST_F(Legacy, EachOfTheSixteenGettersReadsItsWireId) {
    const std::vector<WireCase> cases = {
        {"Bdaddr", 0, [](auto& b, uint8_t* v) { return b.GetNvmBdaddr(1, v); }},
        {"EpcPower1mbps", 1,
         [](auto& b, uint8_t* v) {
             return b.GetNvmEpcPower1mbps(1, reinterpret_cast<int8_t*>(v));
         }},
        {"EpcPower2mbps", 2,
         [](auto& b, uint8_t* v) {
             return b.GetNvmEpcPower2mbps(1, reinterpret_cast<int8_t*>(v));
         }},
        {"EpcPower3mbps", 3,
         [](auto& b, uint8_t* v) {
             return b.GetNvmEpcPower3mbps(1, reinterpret_cast<int8_t*>(v));
         }},
        {"EpcPwrctrlSteps", 4, [](auto& b, uint8_t* v) { return b.GetNvmEpcPwrctrlSteps(1, v); }},
        {"EpcPwrctrlStepsize", 5,
         [](auto& b, uint8_t* v) { return b.GetNvmEpcPwrctrlStepsize(1, v); }},
        {"EpcStep1mbps", 6, [](auto& b, uint8_t* v) { return b.GetNvmEpcStep1mbps(1, v); }},
        {"EpcStep2mbps", 7, [](auto& b, uint8_t* v) { return b.GetNvmEpcStep2mbps(1, v); }},
        {"EpcStep3mbps", 8, [](auto& b, uint8_t* v) { return b.GetNvmEpcStep3mbps(1, v); }},
        {"LpcPower1mbps", 9,
         [](auto& b, uint8_t* v) {
             return b.GetNvmLpcPower1mbps(1, reinterpret_cast<int8_t*>(v));
         }},
        {"LpcPower2mbps", 10,
         [](auto& b, uint8_t* v) {
             return b.GetNvmLpcPower2mbps(1, reinterpret_cast<int8_t*>(v));
         }},
        {"LpcPower3mbps", 11,
         [](auto& b, uint8_t* v) {
             return b.GetNvmLpcPower3mbps(1, reinterpret_cast<int8_t*>(v));
         }},
        {"LpcPwrctrlSteps", 12, [](auto& b, uint8_t* v) { return b.GetNvmLpcPwrctrlSteps(1, v); }},
        {"LpcPwrctrlStepsize", 13,
         [](auto& b, uint8_t* v) { return b.GetNvmLpcPwrctrlStepsize(1, v); }},
        {"BrPwrLevel", 14,
         [](auto& b, uint8_t* v) { return b.GetNvmBrPwrLevel(1, reinterpret_cast<int8_t*>(v)); }},
        {"LePwrLevel", 15,
         [](auto& b, uint8_t* v) { return b.GetNvmLePwrLevel(1, reinterpret_cast<int8_t*>(v)); }},
    };
    for (const WireCase& c : cases) {
        SCOPED_TRACE(c.name);
        scripted::requests.clear();
        scripted::lines.clear();
        scripted::Queue(ReadConfirm(1, c.wire, 1, {0x3C, 0x21, 0x22, 0x23, 0x24, 0x25}));
        uint8_t value[6] = {};
        const T_Result r = c.get(bt, value);
        EXPECT_EQ(r.code, T_RESULT_OK);
        ASSERT_EQ(scripted::requests.size(), 1u);
        EXPECT_EQ(scripted::requests[0].opcode, 24);
        EXPECT_EQ(scripted::requests[0].bytes, (Bytes{c.wire}));
        EXPECT_EQ(value[0], 0x3C);
        // One-byte parameters write exactly one byte.
        EXPECT_EQ(value[1], c.wire == 0 ? 0x21 : 0);
        EXPECT_EQ(scripted::lines.front().text,
                  "Getting " + t_nvm_param_to_string(c.wire) + " value");
    }
}

TEST_F(Legacy, ValueOfAnotherDataVersionIsAMismatchNamingTheParameter) {
    scripted::Queue(ReadConfirm(1, 0, 2, {1, 2, 3, 4, 5, 6}));
    uint8_t address[6] = {9, 9, 9, 9, 9, 9};
    const T_Result r = bt.GetNvmBdaddr(1, address);
    EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(r.text, "\nData version mismatch. NVM:Bluetooth address: expected = 1, actual = 2");
    EXPECT_EQ(address[0], 9);
    EXPECT_EQ(bt.GetNvmDataVersion(BNPT_BT_ADDRESS), 2);
}

TEST_F(Legacy, SetBeforeAnyReadIsRefusedWithCodeTwo) {
    const T_Result r = bt.SetNvmEpcPower1mbps(1, 4);
    EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(r.text, "");
    EXPECT_TRUE(scripted::requests.empty());
    EXPECT_TRUE(scripted::lines.empty());
}

TEST_F(Legacy, SetAfterAReadWritesInTheReadVersionAndTheNextGetAsksAgain) {
    scripted::Queue(ReadConfirm(1, 14, 1, {0xFA}));
    int8_t level = 0;
    ASSERT_EQ(bt.GetNvmBrPwrLevel(1, &level).code, T_RESULT_OK);
    scripted::requests.clear();
    scripted::lines.clear();
    scripted::Queue({1});
    ASSERT_EQ(bt.SetNvmBrPwrLevel(1, -3).code, T_RESULT_OK);
    ASSERT_EQ(scripted::requests.size(), 1u);
    EXPECT_EQ(scripted::requests[0].opcode, 23);
    EXPECT_EQ(LastRequest(), (Bytes{14, 1, 0xFD, 0, 0, 0, 0, 0}));
    EXPECT_EQ(scripted::lines, (std::vector<Line>{{"Setting BR power level value", 1}, {"OK", 1}}));
    scripted::Queue(ReadConfirm(1, 14, 1, {0xFD}));
    ASSERT_EQ(bt.GetNvmBrPwrLevel(1, &level).code, T_RESULT_OK);
    EXPECT_EQ(level, -3);
    EXPECT_EQ(scripted::requests.size(), 2u);
}

TEST_F(Legacy, AddressSetWritesAllSixBytes) {
    scripted::Queue(ReadConfirm(1, 0, 1, {}));
    uint8_t address[6];
    ASSERT_EQ(bt.GetNvmBdaddr(1, address).code, T_RESULT_OK);
    const uint8_t fresh[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    scripted::Queue({5});
    EXPECT_EQ(bt.SetNvmBdaddr(1, fresh).code, T_RESULT_FAILED);
    EXPECT_EQ(LastRequest(), (Bytes{0, 1, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55}));
}

class ExposedLegacy : public BluetoothLegacy {
public:
    using BluetoothLegacy::nvm_params;
};

TEST_F(Legacy, SuccessfulGetRefreshesTheParameterInTheNvmRecord) {
    ExposedLegacy exposed;
    scripted::Queue(ReadConfirm(1, 12, 1, {6}));
    uint8_t steps = 0;
    ASSERT_EQ(exposed.GetNvmLpcPwrctrlSteps(1, &steps).code, T_RESULT_OK);
    EXPECT_EQ(exposed.nvm_params.lpc_pwrctrl_steps, 6);
    scripted::Queue({1});
    ASSERT_EQ(exposed.SetNvmLpcPwrctrlSteps(1, 9).code, T_RESULT_OK);
    EXPECT_EQ(exposed.nvm_params.lpc_pwrctrl_steps, 6);
}

TEST_F(Legacy, DataVersionOfParametersOutsideTheProtocolIsZero) {
    EXPECT_EQ(bt.GetNvmDataVersion(BNPT_LMP_FEATURES_BIT_MASK), 0);
    EXPECT_EQ(bt.GetNvmDataVersion(BNPT_MAX_COUNT), 0);
    EXPECT_EQ(bt.GetNvmDataVersion(255), 0);
}

} // namespace
