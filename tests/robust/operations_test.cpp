// Every operation of the operation table through every back-end against every fault of
// the phone simulator: the binary back-end over slot 18, the text back-end over slots 54
// and 175. Each case runs the operation once on a healthy phone (the record versions are
// then known and the chip set up), then again with the fault aimed at its exchange, and
// checks the code, the text and every log line the operator sees, the command line or
// request bytes sent, and what reached the chip or came back from it.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fake_host.h"
#include "ibluetooth_ops.h"
#include "legacy/bluetoothlegacy.h"
#include "nvm_golden.h"
#include "zep/bluetoothzep.h"

namespace {

using phonesim::Fault;
using phonesim::TestMode;
using Lines = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

enum class Backend { Legacy, Text54, Text175 };
// How the test sees an operation: what it sends and which record versions it checks.
enum class Kind { Set, Get, Query, Check, Reset, NvmAll };

struct Rig {
    explicit Rig(Backend backend) : text(backend != Backend::Legacy) {
        host.SetInterfaceKind(backend == Backend::Text175 ? 2 : 1);
        host.SetLastError("link down");
        host.InstallIntoPlugin();
        legacy_framing::detail::ClearOpcodeVersionTable();
        bt = text ? std::unique_ptr<IBluetooth>(new BluetoothZep)
                  : std::unique_ptr<IBluetooth>(new BluetoothLegacy);
        // Distinct values everywhere, so that a field read from the wrong place shows.
        auto& c = Chip();
        // clang-format off
        c.on = true; c.hostInterface = 1; c.mode = TestMode::TxLe; c.leRxPackets = 0x1234;
        c.rssi = -70; c.pcm = c.wakeup = 1; c.vmeasPropagation = 1; c.vmeasManual = 100;
        c.rtrimUseManual = c.kfreqUseManual = c.ibiasdacUseManual = c.tmeasUseManual = 1;
        c.rtrimManual = 9; c.kfreqManual = 42; c.ibiasdacManual = 7; c.tmeasManual = 60000;
        // clang-format on
        setUp = c;
        host.ClearLog();
    }
    phonesim::Simulator& Phone() { return host.Phone(); }
    phonesim::ChipState& Chip() { return host.Phone().Chip(); }

    bool text;
    fakehost::FakeHost host;
    std::unique_ptr<IBluetooth> bt;
    phonesim::ChipState setUp;
};

template <typename T> btops::Request Req(const T& record) {
    btops::Request r{Bytes(sizeof record)};
    std::memcpy(r.bytes.data(), &record, sizeof record);
    return r;
}

// The HCI command of the table: 3 bytes, and a last data byte past its length that is
// still sent as it stands.
T_BT_HCI_COMMAND_REQ Hci() {
    T_BT_HCI_COMMAND_REQ hci{3, {0x03, 0x0C, 0x00}};
    hci.data[149] = 9;
    return hci;
}
std::string HciArgs() {
    std::string args = "3,{3,12,0";
    for (int i = 3; i < 149; ++i)
        args += ",0";
    return args + ",9}";
}
Bytes HciWire() {
    Bytes wire(152, 0);
    wire[0] = 1, wire[1] = 3, wire[2] = 3, wire[3] = 12, wire[151] = 9;
    return wire;
}

// `code`: the phone's result code when the operation delivered its answer, else -1.
using Effect = std::function<void(Rig&, btops::Outputs&, int32_t code)>;

struct Row {
    const char* op;
    Kind kind;
    std::string suffix; // of the text command and of the test function "atctst_bt_..."
    std::string args;   // of the text command for `request`
    Bytes wire;         // the binary request for `request`
    const char* action;
    int confirmSize; // of the binary confirm
    btops::Request request;
    Effect effect;
    // The binary record a version mismatch names when not T_ATCTST_BT_<SUFFIX>_REQ / _CON.
    const char* record = nullptr;
    // The opcode a text version mismatch names when not the command in capitals.
    const char* opcode = nullptr;
};

template <typename Con> Effect Delivers(std::function<void(const Con&)> check) {
    return [check](Rig&, btops::Outputs& o, int32_t code) {
        if (code < 0) return;
        check(o.As<Con>());
        EXPECT_EQ(o.As<Con>().result, code);
    };
}
Effect Reaches(std::function<bool(const phonesim::ChipState&)> reached) {
    return [reached](Rig& s, btops::Outputs&, int32_t code) {
        if (code < 0) return;
        EXPECT_EQ(reached(s.Chip()), code == 0) << "the chip carried it out";
    };
}
using V = std::vector<int>;

// clang-format off
const std::vector<Row>& Rows() {
    using C = phonesim::ChipState;
    static const std::vector<Row> rows = {
        {"GetHwInfo", Kind::Get, "hw_info", "", {}, "Getting Hw information", 4, {},
         [](Rig& s, btops::Outputs&, int32_t code) {
             EXPECT_EQ(s.bt->IsBtOn(), code == 0 ? 1 : 0);
             EXPECT_EQ(s.bt->GetHostInterface(), code == 0 ? 1 : 2);
         }, "T_ATCTST_BT_HW_INFO_CON_UNION"},
        // Run before on a healthy phone, so the chip is running and this stops it.
        {"Initialize", Kind::Set, "initialize", "0", {1, 0}, "Stopping Bluetooth chip", 1, {},
         [](Rig& s, btops::Outputs&, int32_t code) {
             if (code < 0) return;
             EXPECT_EQ(s.bt->IsBtOn(), code == 0 ? 0 : 1);
             EXPECT_EQ(s.Chip().on, code != 0);
         }, "atctst_bt_initialize"},
        {"ResetHci", Kind::Reset, "reset", "", {}, "Resetting HCI interface", 1, {},
         Reaches([](const C& c) { return c.mode == TestMode::None; })},
        {"SetRfTestMode", Kind::Set, "set_rf_test_mode",
         "{0,17,34,51,68,85},1,2,3,4,5,6,7,-4,0,127,-128,-1,8,-20,9",
         {1, 0, 0x11, 0x22, 0x33, 0x44, 0x55, 0xFC, 0, 0x7F, 1, 2, 3, 4, 5, 0x80, 0xFF, 8, 6, 7,
          0xEC, 9}, "Entering RF test mode", 1,
         Req(T_BT_SET_RF_TEST_MODE_REQ{{0, 0x11, 0x22, 0x33, 0x44, 0x55},
                                       1, 2, 3, 4, 5, 6, 7, -4, 0, 127, -128, -1, 8, -20, 9}),
         Reaches([](const C& c) { return c.mode == TestMode::RfTest; })},
        {"SetTxBurstMode", Kind::Set, "set_tx_burst_mode",
         "{1,2,3,4,5,6},39,7,1,170,2,1,0,8,9,{255,255,255,255,255,255,255,255,255,127},"
         "-10,-11,-12,4294967295",
         {1, 1, 2, 3, 4, 5, 6, 39, 7, 1, 0xAA, 0xFF, 2, 1, 255, 255, 255, 255, 255, 255, 255, 255,
          255, 127, 0, 0xF6, 0xF5, 0xF4, 8, 9}, "Start TX burst mode", 1,
         Req(T_BT_SET_TX_BURST_MODE_REQ{{1, 2, 3, 4, 5, 6}, 39, 7, 1, 0xAA, 2, 1, 0, 8, 9,
                                        {255, 255, 255, 255, 255, 255, 255, 255, 255, 127},
                                        -10, -11, -12, 0xFFFFFFFF}),
         Reaches([](const C& c) { return c.mode == TestMode::TxBurst && c.channel == 39; })},
        {"SetTxContinuousMode", Kind::Set, "set_tx_continuous_mode", "78,3,250,4,15,3",
         {1, 78, 3, 250, 4, 15, 3}, "Start TX continuous wave mode", 1,
         Req(T_BT_SET_TX_CONTINUOUS_MODE_REQ{78, 3, 250, 4, 0x0F, BT_MODULATION_8DPSK}),
         Reaches([](const C& c) { return c.mode == TestMode::TxContinuous && c.channel == 78; })},
        {"SetRxContinuousMode", Kind::Set, "set_rx_continuous_mode", "255", {1, 255},
         "Start RX continuous wave mode", 1, Req(T_BT_SET_RX_CONTINUOUS_MODE_REQ{255}),
         Reaches([](const C& c) { return c.mode == TestMode::RxContinuous && c.channel == 255; })},
        {"SetTxLeMode", Kind::Set, "set_tx_le_mode", "39,37,-7,7", {1, 39, 37, 0xF9, 7},
         "Start LE TX mode", 1, Req(T_BT_SET_TX_LE_MODE_REQ{39, 37, -7, BT_LE_PATTERN_01010101}),
         Reaches([](const C& c) { return c.mode == TestMode::TxLe && c.channel == 39; })},
        {"RxLeStart", Kind::Set, "rx_le_start", "19", {1, 19}, "Start LE RX mode", 1,
         Req(T_BT_RX_LE_START_REQ{19}),
         Reaches([](const C& c) { return c.mode == TestMode::RxLe && c.channel == 19; })},
        {"RxLeEnd", Kind::Get, "rx_le_end", "", {}, "Getting Le Rx result", 4, {},
         Delivers<T_BT_RX_LE_END_CON>([](const auto& r) {
             EXPECT_EQ(V({r.packets_high, r.packets_low}), V({0x12, 0x34}));
         })},
        {"CheckHostInterface", Kind::Check, "check_host_interface", "", {},
         "Checking host interface", 1, {}, nullptr},
        {"CheckSleepxSignal", Kind::Check, "check_sleepx_signal", "", {}, "Checking SleepX signal",
         1, {}, nullptr},
        {"GetLumoraVersion", Kind::Get, "get_lumora_version", "", {},
         "Getting Lumora Universal information", 12, {},
         Delivers<T_BT_GET_LUMORA_VERSION_CON>([](const auto& r) {
             EXPECT_EQ(V(r.version_info, r.version_info + 10), V({4, 6, 0, 0, 18, 52, 2, 0, 0, 1}));
         })},
        {"GetRssiValue", Kind::Query, "get_rssi_value", "{1,128}", {1, 1, 128},
         "Getting RSSI value", 3, Req(T_BT_GET_RSSI_VALUE_REQ{{1, 128}}),
         Delivers<T_BT_GET_RSSI_VALUE_CON>([](const auto& r) { EXPECT_EQ(r.rssi, -70); })},
        {"GetRtrimValues", Kind::Get, "get_rtrim_values", "", {}, "Getting RTRIM manual values",
         5, {}, Delivers<T_BT_GET_RTRIM_VALUES_CON>([](const auto& r) {
             EXPECT_EQ(V({r.use_manual, r.manual_value, r.fused_value}), V({1, 9, 0x17}));
         })},
        {"SetRtrimManualValues", Kind::Set, "set_rtrim_manual_values", "12,7", {1, 12, 7},
         "Setting RTRIM manual values", 1, Req(T_BT_SET_RTRIM_MANUAL_VALUE_REQ{12, 7}),
         Reaches([](const C& c) { return c.rtrimUseManual == 12 && c.rtrimManual == 7; }),
         "T_ATCTST_BT_SET_RTRIM_MANUAL_VALUE_REQ"},
        {"GetKfreqIbiasdacValues", Kind::Get, "get_kfreq_ibiasdac_values", "", {},
         "Getting KFREQ and IBIASDAC manual values", 8, {},
         Delivers<T_BT_GET_KFREQ_IBIASDAC_VALUES_CON>([](const auto& r) {
             EXPECT_EQ(V({r.use_manual_kfreq, r.manual_kfreq, r.fused_kfreq, r.use_manual_ibiasdac,
                          r.manual_ibiasdac, r.fused_ibiasdac}), V({1, 42, 0x2A, 1, 7, 0x0C}));
         })},
        {"SetKfreqIbiasdacManualValues", Kind::Set, "set_kfreq_ibiasdac_manual_values",
         "1,42,0,12", {1, 1, 42, 0, 12}, "Setting KFREQ and IBIASDAC manual values", 1,
         Req(T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ{1, 42, 0, 12}),
         Reaches([](const C& c) { return c.ibiasdacUseManual == 0 && c.ibiasdacManual == 12; })},
        {"GetTemperatureValues", Kind::Get, "get_temperature_values", "", {},
         "Getting TMEAS manual values", 8, {},
         Delivers<T_BT_GET_TEMPERATURE_VALUES_CON>([](const auto& r) {
             EXPECT_EQ(V({r.use_manual, r.manual_value, r.fused_value}), V({1, 60000, 500}));
         })},
        {"SetTemperatureValues", Kind::Set, "set_temperature_values", "1,65535",
         {1, 0, 1, 0, 0xFF, 0xFF}, "Setting TMEAS manual values", 1,
         Req(T_BT_SET_TEMPERATURE_VALUES_REQ{1, 65535}),
         Reaches([](const C& c) { return c.tmeasManual == 65535; })},
        {"GetVoltageValues", Kind::Get, "get_voltage_values", "", {},
         "Getting VMEAS manual values", 6, {},
         Delivers<T_BT_GET_VOLTAGE_VALUES_CON>([](const auto& r) {
             EXPECT_EQ(V({r.use_manual, r.propagation, r.manual_value, r.fused_value}),
                       V({0, 1, 100, 0x5C}));
         })},
        {"SetVoltageValues", Kind::Set, "set_voltage_values", "1,2,200", {1, 1, 2, 200},
         "Setting VMEAS manual values", 1, Req(T_BT_SET_VOLTAGE_VALUES_REQ{1, 2, 200}),
         Reaches([](const C& c) { return c.vmeasPropagation == 2 && c.vmeasManual == 200; })},
        {"SetPcmUartWakeupInterface", Kind::Set, "set_pcm_uart_wakeup_interface", "0,1,0",
         {1, 0, 1, 0}, "Setting PCM interface - Internal connection\nSetting UART interface - "
         "External connection\nSetting WAKEUP interface - Internal connection", 1,
         Req(T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ{0, 1, 0}),
         Reaches([](const C& c) { return c.pcm == 0 && c.uart == 1 && c.wakeup == 0; })},
        {"GetPcmUartWakeupInterfaceStatus", Kind::Get, "get_pcm_uart_wakeup_interface_status",
         "", {}, "Getting PCM UART WAKEUP Interface status", 5, {},
         Delivers<T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON>([](const auto& r) {
             EXPECT_EQ(V({int(r.pcm), int(r.uart), int(r.wakeup)}), V({1, 0, 1}));
         })},
        {"SetPcmLoopback", Kind::Set, "set_pcm_loopback", "2", {1, 2},
         "Enabling PCM loopback - PCM->PCM", 1, Req(T_BT_SET_PCM_LOOPBACK_REQ{2}),
         Reaches([](const C& c) { return c.loopback == 2; })},
        {"HciCommand", Kind::Query, "hci_command", HciArgs(), HciWire(),
         "Sending HCI command: 03 0C 00 ", 153, Req(Hci()),
         Delivers<T_BT_HCI_COMMAND_CON>([](const auto& r) {
             EXPECT_EQ(V(r.data, r.data + r.length), V({0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}));
         })},
        {"ReadAllNvmParams", Kind::NvmAll, "read_all_nvm_params", "", {},
         "Getting NVM: All NVM parameters", 0, {},
         [](Rig& s, btops::Outputs& o, int32_t code) {
             if (code != 0) return;
             EXPECT_EQ(o.As<T_BT_ALL_NVM_PARAMS>().rx_current, s.Chip().nvm[BNPT_RX_CURRENT][0]);
         }, nullptr, "READ_FROM_NVM"},
        {"WriteAllNvmParams", Kind::NvmAll, "write_all_nvm_params", testzep::GoldenNvmArguments(),
         {}, "Setting NVM: All NVM parameters", 0, Req(testzep::GoldenNvm()),
         Reaches([](const C& c) { return c.nvm[BNPT_RF_REFERENCE_CLOCK][0] == 4294967295; }),
         nullptr, "WRITE_TO_NVM"},
    };
    return rows;
}

enum class Column {
    Healthy, HostCallFails, NoReply, Garbage, MissingOk, ErrorCode, ValueShort, ValueExtra,
    WrongSize, OversizeLength, HciTooLong, RequestVersion2, ConfirmVersion2
};
// How the exchange with each fault ends: the text back-end's last line and code, the
// binary back-end's last line and whether the phone's status says failure. The slot 54
// link reports its own error, and only the HCI command can be too long.
struct Ending {
    const char* name;
    bool injected;
    Fault fault;
    const char* textLine;
    uint8_t textCode;
    const char* binaryLine;
    bool binaryFails;
};
const Ending kEndings[] = {
    {"Healthy",         false, Fault::NoReply,        "OK",   0, "OK",               false},
    {"HostCallFails",   true,  Fault::HostCallFails,  "FAIL", 3, "link down",        true},
    {"NoReply",         true,  Fault::NoReply,        "FAIL", 3, "FAIL",             true},
    {"Garbage",         true,  Fault::Garbage,        "FAIL", 3, "CUSTOM ERROR 165", true},
    {"MissingOk",       true,  Fault::MissingOk,      "FAIL", 3, "OK",               false},
    {"ErrorCode",       true,  Fault::ErrorCode,      "OK",   0, "CUSTOM ERROR 5",   true},
    {"ValueShort",      true,  Fault::ValueShort,     "FAIL", 3, "OK",               false},
    {"ValueExtra",      true,  Fault::ValueExtra,     "FAIL", 3, "OK",               false},
    {"WrongSize",       true,  Fault::WrongSize,      "OK",   0, "OK",               false},
    {"OversizeLength",  true,  Fault::OversizeLength, "OK",   0, "OK",               false},
    {"HciTooLong",      true,  Fault::HciTooLong,     "OK",   0, "OK",               false},
    {"RequestVersion2", false, Fault::NoReply,        "OK",   0, "OK",               false},
    {"ConfirmVersion2", false, Fault::NoReply,        "OK",   0, "OK",               false},
};
// clang-format on

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

struct Outcome {
    uint8_t code = 0;
    std::string text;
    Lines log;
    bool delivered = true; // the answer reached the caller's record or flag
};

// What the operator sees: the action line, the command as sent (text back-end), then how
// the exchange ended.
Outcome Expected(const Row& r, Backend backend, Column f) {
    const bool text = backend != Backend::Legacy, hci = r.suffix == "hci_command";
    const bool readAll = r.kind == Kind::NvmAll && r.suffix[0] == 'r';
    const bool reads = r.kind == Kind::Get || r.kind == Kind::Query || readAll;
    const bool writes = r.kind == Kind::Set || r.kind == Kind::Query ||
                        (text && r.kind == Kind::Reset) || (r.kind == Kind::NvmAll && !readAll);
    const char* refused = "NVM command not supported";
    if (!text && r.kind == Kind::NvmAll) return {3, refused, {refused}, false};
    if (text && r.kind == Kind::Check) return {1, "", {r.action}}; // no such text command
    if ((f == Column::RequestVersion2 && writes) || (f == Column::ConfirmVersion2 && reads)) {
        const bool req = f == Column::RequestVersion2;
        const std::string opcode = r.opcode ? r.opcode : Upper(r.suffix);
        const std::string name = text ? "'" + opcode + (req ? "' Req" : "' Con")
                                 : r.record
                                     ? r.record
                                     : "T_ATCTST_BT_" + Upper(r.suffix) + (req ? "_REQ" : "_CON");
        // Only the binary confirm is judged after its exchange.
        const Lines log = text || req ? Lines{} : Lines{r.action, "OK"};
        if (r.kind == Kind::Reset) return {1, "", log, false};
        return {2, "\nData version mismatch. " + name + ": expected = 1, actual = 2", log, false};
    }
    const Ending& end = kEndings[static_cast<int>(f)];
    Outcome o{0, "", {r.action}};
    if (text) {
        o.log.push_back("at@bt:" + r.suffix + "(" + r.args + ")");
        if (hci && f == Column::HciTooLong)
            return {4, "HCI command response data length above limit: 150", o.log, false};
        const bool link = f == Column::HostCallFails && backend == Backend::Text54;
        // Read-all has no result code: the one the phone puts before "OK" is a 44th value.
        const bool fails = link || end.textCode != 0 || (readAll && f == Column::ErrorCode);
        o.log.push_back(link ? "link down" : fails ? "FAIL" : "OK");
        o.code = link || (fails && r.kind == Kind::Reset) ? 1 : fails ? 3 : 0;
        o.text = r.kind == Kind::Reset ? ""
                 : link                ? "Error: communication error"
                 : fails               ? "FAIL"
                                       : "";
        o.delivered = !fails;
        return o;
    }
    o.log.push_back(end.binaryLine);
    const int actual = f == Column::NoReply          ? 0
                       : f == Column::WrongSize      ? r.confirmSize + 1
                       : f == Column::OversizeLength ? 16000
                                                     : -1;
    if (actual >= 0)
        o.log.push_back("WARNING ---> 'atctst_bt_" + r.suffix +
                        "' - Datasize from target does not match expected data size\nExpected "
                        "data size :" +
                        std::to_string(r.confirmSize) +
                        "   Actual data size :" + std::to_string(actual));
    o.delivered = !end.binaryFails && !(hci && f == Column::HciTooLong);
    if (r.kind == Kind::Check || r.kind == Kind::Reset) // true when the exchange took place
        o.code = f == Column::HostCallFails ? 1 : 0;
    else if (!o.delivered)
        o.code = hci && f == Column::HciTooLong ? 4 : 1;
    if (end.binaryFails && hci) o.text = "Error: communication error when sending HCI command";
    if (end.binaryFails && r.suffix == "hw_info")
        o.text = "Error: not able to retrieve BT HW information\n";
    return o;
}

struct Cell {
    Backend backend;
    Column column;
};

class OperationTable : public testing::TestWithParam<Cell> {};

TEST_P(OperationTable, ShowsTheOperatorWhatHappened) {
    const auto [backend, column] = GetParam();
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.op);
        Rig s(backend);
        const btops::Operation& op = btops::Find(row.op);
        for (int n = 0; n < phonesim::kOpcodeCount || n < phonesim::kFunctionCount; ++n) {
            const uint8_t req = column == Column::RequestVersion2 ? 2 : 1;
            const uint8_t con = column == Column::ConfirmVersion2 ? 2 : 1;
            s.Phone().SetTextVersions(n, req, con);
            s.Phone().SetBinaryVersions(n, req, con);
        }
        btops::Outputs first(0);
        op.run(*s.bt, 1, row.request, first);
        s.Chip() = s.setUp;
        s.host.ClearLog();
        s.Phone().ClearLogs();
        const Ending& end = kEndings[static_cast<int>(column)];
        if (end.injected) {
            s.Phone().InjectText({end.fault});
            s.Phone().InjectBinary({end.fault});
        }
        // A failed call must not judge what the caller's record held before it: that column
        // starts from a record of stale bytes, the others from a cleared one like the form's.
        const uint8_t fill = column == Column::HostCallFails ? btops::kUntouched : 0;
        btops::Outputs out(fill);
        const T_Result result = op.run(*s.bt, 1, row.request, out);

        const Outcome e = Expected(row, backend, column);
        EXPECT_EQ(result.code, e.code);
        EXPECT_EQ(result.text, e.text);
        EXPECT_EQ(s.host.LogTexts(), e.log);
        for (const auto& line : s.host.Log())
            EXPECT_EQ(line.flag, 1) << line.text;
        // One exchange, or none when nothing was sent: versions are asked once, not again.
        const std::size_t exchanges = e.log.size() >= 2 ? 1 : 0;
        ASSERT_EQ(s.Phone().TextLog().size() + s.Phone().BinaryLog().size(), exchanges);
        for (const auto& sent : s.Phone().TextLog())
            EXPECT_EQ(sent.slot, backend == Backend::Text175 ? 175 : 54);
        if (!s.text && exchanges) {
            EXPECT_EQ(s.Phone().BinaryLog()[0].request, row.wire);
        }
        const int32_t code = e.delivered ? (s.text && column == Column::ErrorCode ? 5 : 0) : -1;
        if (row.kind == Kind::Check) {
            EXPECT_EQ(out.check, !s.text && code == 0);
        }
        if (row.kind == Kind::Reset) {
            EXPECT_EQ(out.resetOk, code == 0);
        }
        // Nothing reaches the caller's record from a failed call or a refused version.
        const bool reads = row.kind == Kind::Get || row.kind == Kind::Query ||
                           (row.kind == Kind::NvmAll && row.suffix[0] == 'r');
        if (reads && !e.delivered &&
            (column == Column::HostCallFails || column >= Column::RequestVersion2 || !s.text)) {
            EXPECT_EQ(std::count(out.record, out.record + sizeof out.record, fill),
                      static_cast<long>(sizeof out.record));
        }
        if (row.effect) row.effect(s, out, code);
    }
}

std::vector<Cell> AllCells() {
    std::vector<Cell> cells;
    for (Backend b : {Backend::Legacy, Backend::Text54, Backend::Text175})
        for (int c = 0; c < static_cast<int>(std::size(kEndings)); ++c)
            cells.push_back({b, static_cast<Column>(c)});
    return cells;
}

std::string CellName(const testing::TestParamInfo<Cell>& info) {
    static const char* const backends[] = {"Binary", "TextSlot54", "TextSlot175"};
    return std::string(backends[static_cast<int>(info.param.backend)]) + "_" +
           kEndings[static_cast<int>(info.param.column)].name;
}
INSTANTIATE_TEST_SUITE_P(EveryOperation, OperationTable, testing::ValuesIn(AllCells()), CellName);

// --- NVM parameters ------------------------------------------------------------------

// clang-format off
// The identifiers the text back-end logs, in the order of the getters and setters.
const char* const kIdentifiers[] = {
    "BT_ADDRESS", "EPC_NUM_OF_PWR_CTRL_STEPS", "EPC_PWR_CTRL_STEP_SIZE", "EPC_HIGHEST_STEP_1MBPS",
    "EPC_HIGHEST_STEP_2MBPS", "EPC_HIGHEST_STEP_3MBPS", "LPC_NUM_OF_PWR_CTRL_STEPS",
    "LPC_PWR_CTRL_STEP_SIZE", "EPC_MAX_POWER_1MBPS", "EPC_MAX_POWER_2MBPS", "EPC_MAX_POWER_3MBPS",
    "LPC_MAX_POWER_1MBPS", "LPC_MAX_POWER_2MBPS", "LPC_MAX_POWER_3MBPS", "BR_PWR_LEVEL",
    "LE_PWR_LEVEL", "CHANNEL_WORD_OFFSET_RF_PLL", "RF_REFERENCE_CLOCK", "LMP_FEATURES_BIT_MASK",
    "LE_FEATURES_BIT_MASK", "LPM_CONFIGURATION", "LPM_DRIFT", "LPM_THRESHOLD",
    "ULTRA_LPM_THRESHOLD", "RSSI_MINIMUM", "RSSI_MAXIMUM", "RSSI_GOTO_MAX", "UART_BAUDRATE",
    "UART_INVERT", "UART_LPM_LEVEL", "OSC_SETTLE", "PLL_SETTLE", "DIG_SETTLE", "BB_CONFIG",
    "IDAC_COMPENSATION", "RF_CONFIG", "LMP_VERSION", "ULPM_CURRENT", "IDLE_CURRENT",
    "ACTIVE_CURRENT", "TX_CURRENT", "RX_CURRENT", "RSSI_THRESHOLD"};
// The binary protocol carries the first 16 of them, under these names and wire ids.
const std::pair<const char*, uint8_t> kWireParams[] = {
    {"Bluetooth address", 0}, {"EPC number of power control steps", 4},
    {"EPC power control step size", 5}, {"EPC maximum step size 1 MBit/S", 6},
    {"EPC maximum step size 2 MBit/S", 7}, {"EPC maximum step size 3 MBit/S", 8},
    {"LPC number of power control steps", 12}, {"LPC power control step size", 13},
    {"EPC maximum power 1 MBit/S", 1}, {"EPC maximum power 2 MBit/S", 2},
    {"EPC maximum power 3 MBit/S", 3}, {"LPC maximum power 1 MBit/S", 9},
    {"LPC maximum power 2 MBit/S", 10}, {"LPC maximum power 3 MBit/S", 11},
    {"BR power level", 14}, {"LE power level", 15}};
// clang-format on
// In the operation list the table's operations come first, then each parameter's getter
// and setter.
const btops::Operation& NvmOperation(std::size_t param, bool set) {
    return btops::AllOperations()[std::size(Rows()) + 2 * param + (set ? 1 : 0)];
}

TEST(NvmParameters, TextSettersWriteTheirOwnParameterAndGettersAnswerFromTheReadAll) {
    Rig s(Backend::Text54);
    s.bt->GetReqVersion(WRITE_TO_NVM);
    s.host.ClearLog();
    const T_BT_ALL_NVM_PARAMS golden = testzep::GoldenNvm();
    const auto* bytes = reinterpret_cast<const uint8_t*>(&golden);
    Lines expected;
    for (std::size_t p = 0; p < std::size(kIdentifiers); ++p) {
        const nvm::ParamInfo& field = nvm::Params()[p]; // where the golden value lies
        btops::Outputs out;
        const btops::Request value{Bytes(bytes + field.offset, bytes + field.offset + field.width)};
        EXPECT_EQ(NvmOperation(p, true).run(*s.bt, 1, value, out).code, T_RESULT_OK);
        expected.insert(expected.end(), {std::string("Setting NVM: 'BNPT_") + kIdentifiers[p] + "'",
                                         s.Phone().LastCommand(), "OK"});
    }
    EXPECT_EQ(s.host.LogTexts(), expected);
    T_BT_ALL_NVM_PARAMS read{};
    EXPECT_EQ(s.bt->ReadAllNvmParams(1, &read).code, T_RESULT_OK);
    testzep::ExpectSameNvm(golden, read);
    for (std::size_t p = 0; p < std::size(kIdentifiers); ++p) {
        const nvm::ParamInfo& field = nvm::Params()[p];
        btops::Outputs out;
        EXPECT_EQ(NvmOperation(p, false).run(*s.bt, 1, {}, out).code, T_RESULT_OK);
        EXPECT_EQ(Bytes(out.record, out.record + field.width),
                  Bytes(bytes + field.offset, bytes + field.offset + field.width))
            << kIdentifiers[p];
    }
}

TEST(NvmParameters, BinaryGettersAndSettersCarrySixteenAndRefuseTheOthers) {
    Rig s(Backend::Legacy);
    for (uint8_t wire = 0; wire < 16; ++wire)
        s.Chip().nvm[phonesim::kWireToParam[wire]][0] = 0x40 + wire;
    const btops::Request value{{0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28}};
    for (std::size_t p = 0; p < std::size(kIdentifiers); ++p) {
        SCOPED_TRACE(kIdentifiers[p]);
        s.host.ClearLog();
        s.Phone().ClearLogs();
        btops::Outputs out;
        const T_Result got = NvmOperation(p, false).run(*s.bt, 1, {}, out);
        const T_Result set = NvmOperation(p, true).run(*s.bt, 1, value, out);
        if (p >= std::size(kWireParams)) {
            for (const T_Result& r : {got, set}) {
                EXPECT_EQ(r.code, T_RESULT_ERROR);
                EXPECT_EQ(r.text, "NVM command not supported");
            }
            EXPECT_EQ(s.host.LogTexts(), Lines(2, "NVM command not supported"));
            EXPECT_TRUE(s.Phone().BinaryLog().empty());
            continue;
        }
        const auto [name, wire] = kWireParams[p];
        EXPECT_EQ(got.code, T_RESULT_OK);
        EXPECT_EQ(set.code, T_RESULT_OK);
        EXPECT_EQ(s.host.LogTexts(), (Lines{std::string("Getting ") + name + " value", "OK",
                                            std::string("Setting ") + name + " value", "OK"}));
        EXPECT_EQ(out.record[0], 0x40 + wire);
        EXPECT_EQ(out.record[1] == btops::kUntouched, wire != 0) << "a value writes its width";
        ASSERT_EQ(s.Phone().BinaryLog().size(), 2u);
        EXPECT_EQ(s.Phone().BinaryLog()[0].request, Bytes{wire});
        EXPECT_EQ(s.Phone().BinaryLog()[1].request,
                  (wire ? Bytes{wire, 1, 0x21, 0, 0, 0, 0, 0}
                        : Bytes{0, 1, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26}));
        EXPECT_EQ(s.Chip().nvm[phonesim::kWireToParam[wire]][0], 0x21);
    }
}

// --- sequences ------------------------------------------------------------------------

TEST(Sequences, TheFirstUseAsksForTheRecordVersionsAndSaysWhatThePhoneAnswered) {
    const std::pair<Backend, Lines> cases[] = {
        {Backend::Legacy,
         {"Get header version for opcode 'atctst_bt_set_rtrim_manual_values'", "OK",
          "Opcode versions for 'atctst_bt_set_rtrim_manual_values' is req=1 con=1",
          "Setting RTRIM manual values", "OK"}},
        {Backend::Text54,
         {"Get header version for opcode 'SET_RTRIM_MANUAL_VALUES'", "at@bt:get_opcode_version(14)",
          "OK", "Opcode versions for 'SET_RTRIM_MANUAL_VALUES' is req=1 con=1",
          "Setting RTRIM manual values", "at@bt:set_rtrim_manual_values(1,9)", "OK"}}};
    for (const auto& [backend, lines] : cases) {
        Rig s(backend);
        EXPECT_EQ(s.bt->SetRtrimManualValues(1, {1, 9}).code, T_RESULT_OK);
        EXPECT_EQ(s.host.LogTexts(), lines);
    }
}

TEST(Sequences, AStartThePhoneRefusedIsAskedForAgain) {
    for (Backend backend : {Backend::Legacy, Backend::Text54}) {
        Rig s(backend);
        s.Chip().on = false;
        s.Phone().InjectText({Fault::ErrorCode}, "at@bt:initialize");
        s.Phone().InjectBinary({Fault::ErrorCode}, atctst_bt_initialize);
        EXPECT_EQ(s.bt->Initialize(1).code, s.text ? T_RESULT_OK : T_RESULT_FAILED);
        EXPECT_EQ(s.bt->IsBtOn(), 0);
        s.host.ClearLog();
        EXPECT_EQ(s.bt->Initialize(1).code, T_RESULT_OK);
        EXPECT_EQ(s.bt->IsBtOn(), 1);
        EXPECT_TRUE(s.Chip().on);
        const Lines started =
            s.text ? Lines{"Initializing Bluetooth chip", "at@bt:initialize(1)", "OK"}
                   : Lines{"Initializing Bluetooth chip", "OK"};
        EXPECT_EQ(s.host.LogTexts(), started);
        EXPECT_EQ(s.Phone().LastRequest(), (s.text ? Bytes{} : Bytes{1, 1}));
    }
}

// The binary back-end sends the low byte of the wide settings. Regression: a HCI length
// above 150 made the action line read past the record.
TEST(Sequences, ActionLinesNameTheSettingsAsAsked) {
    Rig s(Backend::Legacy);
    T_BT_HCI_COMMAND_REQ longest{255, {}};
    std::memset(longest.data, 0xAB, sizeof longest.data);
    std::string all = "Sending HCI command: ";
    for (int i = 0; i < kHciDataSize; ++i)
        all += "AB ";
    const std::tuple<std::function<void()>, std::string, Bytes> cases[] = {
        {[&] { s.bt->SetPcmLoopback(1, {0}); }, "Disabling PCM loopback", {1, 0}},
        {[&] { s.bt->SetPcmLoopback(1, {1}); }, "Enabling PCM loopback - Air->Air", {1, 1}},
        {[&] { s.bt->SetPcmLoopback(1, {0x103}); },
         "Enabling PCM loopback - Should not happen",
         {1, 3}},
        {[&] {
             s.bt->SetPcmUartWakeupInterface(1, {0x100, 0x201, 0x102});
         },
         "Setting PCM interface - Internal connection\nSetting UART interface - External "
         "connection\nSetting WAKEUP interface - Should not happen",
         {1, 0, 1, 2}},
        {[&] {
             s.bt->HciCommand(1, {3, {0x03, 0x0C, 0xFF}}, nullptr, 10);
         },
         "Sending HCI command: 3 12 255 ",
         {}},
        {[&] { s.bt->HciCommand(1, {}, nullptr, 16); }, "Sending HCI command: ", {}},
        {[&] { s.bt->HciCommand(1, longest, nullptr, 16); }, all, {}},
    };
    for (const auto& [operation, line, wire] : cases) {
        operation(); // the versions are known from here on
        s.host.ClearLog();
        operation();
        ASSERT_FALSE(s.host.Log().empty());
        EXPECT_EQ(s.host.LogTexts().front(), line);
        if (!wire.empty()) {
            EXPECT_EQ(s.Phone().LastRequest(), wire);
        }
    }
}

} // namespace
