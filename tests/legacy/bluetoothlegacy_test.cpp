// BluetoothLegacy against a scripted slot 18: every wire record byte by byte (golden
// vectors written out here, independent of the codec), the version checks with their
// record names, and the refusals. Operations that work are run against the simulator.

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
    const Bytes& LastRequest() const { return scripted::requests.back().bytes; }

    BluetoothLegacy bt;
};

// --- request records ------------------------------------------------------------------

struct RequestCase {
    const char* record;
    int function;
    std::function<T_Result(BluetoothLegacy&)> call;
    Bytes wire; // empty: the record is pinned elsewhere
};

// Each request record byte by byte, and refused before anything is sent or logged when the
// phone reports another request version.
TEST_F(Legacy, RequestRecordsAreExactAndRefusedForAnotherVersion) {
    const std::vector<RequestCase> cases = {
        {"T_ATCTST_BT_SET_RF_TEST_MODE_REQ",
         1,
         [](auto& b) {
             return b.SetRfTestMode(1, {{0x00, 0x11, 0x22, 0x33, 0x44, 0x55},
                                        0x0A,
                                        0x0B,
                                        0x0C,
                                        0x0D,
                                        0x0E,
                                        0x0F,
                                        0x10,
                                        -1,
                                        -2,
                                        -3,
                                        4,
                                        5,
                                        6,
                                        -7,
                                        8});
         },
         // 22 bytes, version first, the address in input order.
         {0x01, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0xFF, 0xFE, 0xFD, 0x0A,
          0x0B, 0x0C, 0x0D, 0x0E, 0x04, 0x05, 0x06, 0x0F, 0x10, 0xF9, 0x08}},
        {"T_ATCTST_BT_SET_TX_BURST_MODE_REQ",
         2,
         [](auto& b) {
             return b.SetTxBurstMode(1,
                                     {{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5},
                                      39,
                                      3,
                                      1,
                                      0x55,
                                      0x20,
                                      1,
                                      0,
                                      7,
                                      2,
                                      {0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9},
                                      -10,
                                      2,
                                      3,
                                      0x105});
         },
         // 30 bytes, the AFH map at offset 14.
         {0x01, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0x27, 0x03, 0x01,
          0x55, 0x05, 0x20, 0x01, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5,
          0xF6, 0xF7, 0xF8, 0xF9, 0x00, 0xF6, 0x02, 0x03, 0x07, 0x02}},
        {"T_ATCTST_BT_SET_TX_CONTINUOUS_MODE_REQ",
         3,
         [](auto& b) {
             return b.SetTxContinuousMode(1, {40, 9, 3, 0, 0xAA, 0x0302});
         },
         {1, 40, 9, 3, 0, 0xAA, 0x02}},
        {"T_ATCTST_BT_SET_RX_CONTINUOUS_MODE_REQ",
         4,
         [](auto& b) { return b.SetRxContinuousMode(1, {78}); },
         {1, 78}},
        {"T_ATCTST_BT_SET_TX_LE_MODE_REQ",
         25,
         [](auto& b) {
             return b.SetTxLeMode(1, {19, 37, -5, 0x107});
         },
         {1, 19, 37, 0xFB, 0x07}},
        {"T_ATCTST_BT_RX_LE_START_REQ", 26, [](auto& b) { return b.RxLeStart(1, {12}); }, {1, 12}},
        {"atctst_bt_initialize", 9, [](auto& b) { return b.Initialize(1); }, {1, 1}},
        {"T_ATCTST_BT_GET_RSSI_VALUE_REQ",
         21,
         [](auto& b) {
             T_BT_GET_RSSI_VALUE_CON con{};
             scripted::Queue({1, 1, 0xC4});
             return b.GetRssiValue(1, {{0x0B, 0x00}}, &con);
         },
         {1, 0x0B, 0x00}},
        {"T_ATCTST_BT_SET_RTRIM_MANUAL_VALUE_REQ",
         12,
         [](auto& b) {
             return b.SetRtrimManualValues(1, {1, 0x1F});
         },
         {1, 1, 0x1F}},
        {"T_ATCTST_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ",
         14,
         [](auto& b) {
             return b.SetKfreqIbiasdacManualValues(1, {1, 0x22, 0, 0x33});
         },
         {1, 1, 0x22, 0, 0x33}},
        {"T_ATCTST_BT_SET_TEMPERATURE_VALUES_REQ",
         18,
         [](auto& b) {
             return b.SetTemperatureValues(1, {1, 0xBEEF});
         },
         {1, 0, 1, 0, 0xEF, 0xBE}},
        {"T_ATCTST_BT_SET_VOLTAGE_VALUES_REQ",
         20,
         [](auto& b) {
             return b.SetVoltageValues(1, {1, 1, 0x44});
         },
         {1, 1, 1, 0x44}},
        // The wide interface and loopback fields go out as their low bytes.
        {"T_ATCTST_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ",
         16,
         [](auto& b) {
             return b.SetPcmUartWakeupInterface(1, {0x101, 0, 0x1FF});
         },
         {1, 0x01, 0x00, 0xFF}},
        {"T_ATCTST_BT_SET_PCM_LOOPBACK_REQ",
         6,
         [](auto& b) { return b.SetPcmLoopback(1, {0x102}); },
         {1, 2}},
        {"T_ATCTST_BT_HCI_COMMAND_REQ",
         28,
         [](auto& b) {
             T_BT_HCI_COMMAND_CON con{};
             Bytes confirm(153, 0);
             confirm[0] = confirm[1] = 1;
             scripted::Queue(confirm);
             return b.HciCommand(1, {}, &con, 16);
         },
         {}},
    };
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.record);
        Negotiate(static_cast<uint16_t>(c.function), 1, 1);
        EXPECT_EQ(c.call(bt).code, T_RESULT_OK);
        ASSERT_EQ(scripted::requests.size(), 1u);
        EXPECT_EQ(scripted::requests[0].opcode, c.function);
        if (!c.wire.empty()) {
            EXPECT_EQ(LastRequest(), c.wire);
        }

        legacy_framing::detail::ClearOpcodeVersionTable();
        Negotiate(static_cast<uint16_t>(c.function), 2, 1);
        const T_Result r = c.call(bt);
        EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
        EXPECT_EQ(r.text, std::string("\nData version mismatch. ") + c.record +
                              ": expected = 1, actual = 2");
        EXPECT_TRUE(scripted::requests.empty());
        EXPECT_TRUE(scripted::lines.empty());
        legacy_framing::detail::ClearOpcodeVersionTable();
        scripted::answers.clear();
    }
}

// --- confirm records --------------------------------------------------------------------

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

struct ConfirmCase {
    const char* record;
    int function;
    std::size_t size;
    std::function<T_Result(BluetoothLegacy&, void*)> call;
};

TEST_F(Legacy, ConfirmVersionMismatchNamesTheRecordAndWritesNoOutput) {
    const std::vector<ConfirmCase> cases = {
        {"T_ATCTST_BT_RX_LE_END_CON", 27, 4,
         [](auto& b, void* o) { return b.RxLeEnd(1, static_cast<T_BT_RX_LE_END_CON*>(o)); }},
        {"T_ATCTST_BT_GET_LUMORA_VERSION_CON", 5, 12,
         [](auto& b, void* o) {
             return b.GetLumoraVersion(1, static_cast<T_BT_GET_LUMORA_VERSION_CON*>(o));
         }},
        {"T_ATCTST_BT_GET_RSSI_VALUE_CON", 21, 3,
         [](auto& b, void* o) {
             return b.GetRssiValue(1, {}, static_cast<T_BT_GET_RSSI_VALUE_CON*>(o));
         }},
        {"T_ATCTST_BT_GET_RTRIM_VALUES_CON", 11, 5,
         [](auto& b, void* o) {
             return b.GetRtrimValues(1, static_cast<T_BT_GET_RTRIM_VALUES_CON*>(o));
         }},
        {"T_ATCTST_BT_GET_KFREQ_IBIASDAC_VALUES_CON", 13, 8,
         [](auto& b, void* o) {
             return b.GetKfreqIbiasdacValues(1,
                                             static_cast<T_BT_GET_KFREQ_IBIASDAC_VALUES_CON*>(o));
         }},
        {"T_ATCTST_BT_GET_TEMPERATURE_VALUES_CON", 17, 8,
         [](auto& b, void* o) {
             return b.GetTemperatureValues(1, static_cast<T_BT_GET_TEMPERATURE_VALUES_CON*>(o));
         }},
        {"T_ATCTST_BT_GET_VOLTAGE_VALUES_CON", 19, 6,
         [](auto& b, void* o) {
             return b.GetVoltageValues(1, static_cast<T_BT_GET_VOLTAGE_VALUES_CON*>(o));
         }},
        {"T_ATCTST_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON", 15, 5,
         [](auto& b, void* o) {
             return b.GetPcmUartWakeupInterfaceStatus(
                 1, static_cast<T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON*>(o));
         }},
        {"T_ATCTST_BT_HCI_COMMAND_CON", 28, 153,
         [](auto& b, void* o) {
             return b.HciCommand(1, {}, static_cast<T_BT_HCI_COMMAND_CON*>(o), 16);
         }},
    };
    for (const ConfirmCase& c : cases) {
        SCOPED_TRACE(c.record);
        if (c.function == 21 || c.function == 28)
            Negotiate(static_cast<uint16_t>(c.function), 1, 1);
        Bytes confirm(c.size, 0x07);
        confirm[0] = 1;
        confirm[1] = 3;
        scripted::Queue(confirm);
        alignas(8) uint8_t out[256];
        std::memset(out, 0xCC, sizeof out);
        const T_Result r = c.call(bt, out);
        EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
        EXPECT_EQ(r.text, std::string("\nData version mismatch. ") + c.record +
                              ": expected = 1, actual = 3");
        EXPECT_TRUE(std::all_of(out, out + sizeof out, [](uint8_t x) { return x == 0xCC; }));
    }
}

TEST_F(Legacy, FailureStatusIsCodeOneWithNoTextAndOutputUntouched) {
    scripted::Queue({5, 1, 9, 9, 9});
    T_BT_GET_RTRIM_VALUES_CON con{3, 3, 3, 0};
    const T_Result r = bt.GetRtrimValues(1, &con);
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "");
    EXPECT_EQ(con.use_manual, 3);
    EXPECT_EQ(con.fused_value, 3);
    EXPECT_EQ(scripted::lines.back(), (Line{"CUSTOM ERROR 5", 1}));
}

// --- chip state ---------------------------------------------------------------------------

TEST_F(Legacy, HwInfoOfAnotherVersionReportsNoInterface) {
    scripted::Queue({1, 2, 1, 1});
    const T_Result r = bt.GetHwInfo(1);
    EXPECT_EQ(r.code, T_RESULT_VERSION_MISMATCH);
    EXPECT_EQ(r.text,
              "\nData version mismatch. T_ATCTST_BT_HW_INFO_CON_UNION: expected = 1, actual = 2");
    EXPECT_EQ(bt.IsBtOn(), 0);
    EXPECT_EQ(bt.GetHostInterface(), 2);
}

TEST_F(Legacy, StatusOnlyChecksTellExchangeAndStatusApart) {
    uint8_t flag = 9;
    scripted::Queue({3});
    EXPECT_TRUE(bt.CheckSleepxSignal(&flag));
    EXPECT_EQ(flag, 0);
    scripted::QueueHostFailure();
    EXPECT_FALSE(bt.CheckHostInterface(&flag));
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(scripted::lines[0], (Line{"Checking SleepX signal", 1}));
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

TEST_F(Legacy, HciExchangeFailureCarriesItsText) {
    Negotiate(atctst_bt_hci_command, 1, 1);
    scripted::QueueHostFailure();
    T_BT_HCI_COMMAND_CON con{};
    const T_Result r = bt.HciCommand(1, {}, &con, 16);
    EXPECT_EQ(r.code, T_RESULT_FAILED);
    EXPECT_EQ(r.text, "Error: communication error when sending HCI command");
}

// --- NVM parameters -----------------------------------------------------------------------

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

} // namespace
