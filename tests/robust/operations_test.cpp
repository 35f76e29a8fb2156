// Every operation of the operation table through every back-end (binary over slot 18, text
// over slots 54 and 175) against every fault of the phone simulator. Each case runs the
// operation once on a healthy phone, so the record versions are known, then again with the
// fault aimed at its exchange, and checks the code, the text, every log line the operator
// sees, the command line or request bytes sent and what came back.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fake_host.h"
#include "ibluetooth_ops.h"
#include "legacy/bluetoothlegacy.h"
#include "zep/bluetoothzep.h"

namespace {

using phonesim::Fault;
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
        c.on = true; c.hostInterface = 1; c.leRxPackets = 0x1234; c.rssi = -70;
        c.pcm = c.wakeup = 1; c.vmeasPropagation = 1; c.vmeasManual = 100;
        c.rtrimUseManual = c.kfreqUseManual = c.ibiasdacUseManual = c.tmeasUseManual = 1;
        c.rtrimManual = 9; c.kfreqManual = 42; c.ibiasdacManual = 7; c.tmeasManual = 60000;
        // clang-format on
        host.ClearLog();
    }
    phonesim::Simulator& Phone() { return host.Phone(); }
    phonesim::ChipState& Chip() { return host.Phone().Chip(); }

    bool text;
    fakehost::FakeHost host;
    std::unique_ptr<IBluetooth> bt;
};

template <typename T> btops::Request Req(const T& r) {
    return {Bytes(reinterpret_cast<const uint8_t*>(&r), reinterpret_cast<const uint8_t*>(&r + 1))};
}

// The table's HCI command: 3 bytes, and a data byte past its length still sent as it is.
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
Bytes HciWire() { // version, length, the 150 data bytes
    Bytes wire{1, 3, 3, 12};
    wire.resize(152);
    wire.back() = 9;
    return wire;
}

// One NVM record with a distinct value in every field (in field order), and the same
// values in the order the write-all command carries them.
// clang-format off
const T_BT_ALL_NVM_PARAMS kGoldenNvm{
    {0, 26, 125, 218, 113, 19}, 1234, 4294967295u, {255, 254, 143, 254, 216, 63, 91, 135}, 1, 2, 3,
    4, 5, 15, 16, 17, 13, 14, -1, -2, -3, -18, -19, -20, 21, 22, -23, -25, -90, -27, 28, 29, 30, 31,
    32, 33, 34, 35, 36, 37, 38, 65535, 40, 41, 42, 43, -24};
const char* const kGoldenNvmArguments =
    "{0,26,125,218,113,19},1234,4294967295,{255,254,143,254,216,63,91,135},1,2,3,4,5,-1,-2,-3,"
    "13,14,15,16,17,-18,-19,-20,21,22,-23,-24,-25,-90,-27,28,29,30,31,32,33,34,35,36,37,38,65535,"
    "40,41,42,43";
// clang-format on

// `code`: the phone's result code when the operation delivered its answer, else -1.
using Effect = std::function<void(Rig&, btops::Outputs&, int32_t code)>;
using V = std::vector<int>;

// `suffix`: of the text command and of the test function "atctst_bt_..."; `args` and
// `wire`: the text arguments and binary request of `request`; `record` and `opcode`: what
// a version mismatch names when not T_ATCTST_BT_<SUFFIX>_REQ / _CON or SUFFIX.
struct Row {
    const char* op;
    Kind kind;
    std::string suffix, args;
    Bytes wire;
    const char* action;
    int confirmSize; // of the binary confirm
    btops::Request request;
    Effect effect;
    const char* record = nullptr;
    const char* opcode = nullptr;
};

// The fields of the confirm record the operation filled, and its result: the phone's code.
template <typename Con> Effect Delivers(V (*fields)(const Con&), V expected) {
    return [=](Rig&, btops::Outputs& o, int32_t code) {
        if (code < 0) return;
        EXPECT_EQ(fields(o.As<Con>()), expected);
        EXPECT_EQ(o.As<Con>().result, code);
    };
}

// clang-format off
const std::vector<Row>& Rows() {
    static const std::vector<Row> rows = {
        {"GetHwInfo", Kind::Get, "hw_info", "", {}, "Getting Hw information", 4, {},
         [](Rig& s, btops::Outputs&, int32_t code) {
             EXPECT_EQ(V({s.bt->IsBtOn(), s.bt->GetHostInterface()}), code ? V({0, 2}) : V({1, 1}));
         }, "T_ATCTST_BT_HW_INFO_CON_UNION"},
        // Run before on a healthy phone, so the chip is running and this stops it.
        {"Initialize", Kind::Set, "initialize", "0", {1, 0}, "Stopping Bluetooth chip", 1, {},
         [](Rig& s, btops::Outputs&, int32_t code) {
             if (code >= 0) { EXPECT_EQ(V({s.bt->IsBtOn(), s.Chip().on}), V(2, code ? 1 : 0)); }
         }, "atctst_bt_initialize"},
        {"ResetHci", Kind::Reset, "reset", "", {}, "Resetting HCI interface", 1, {}},
        {"SetRfTestMode", Kind::Set, "set_rf_test_mode",
         "{0,17,34,51,68,85},1,2,3,4,5,6,7,-4,0,127,-128,-1,8,-20,9",
         {1, 0, 0x11, 0x22, 0x33, 0x44, 0x55, 0xFC, 0, 0x7F, 1, 2, 3, 4, 5, 0x80, 0xFF, 8, 6, 7,
          0xEC, 9}, "Entering RF test mode", 1, Req(T_BT_SET_RF_TEST_MODE_REQ{
             {0, 0x11, 0x22, 0x33, 0x44, 0x55}, 1, 2, 3, 4, 5, 6, 7, -4, 0, 127, -128, -1, 8, -20,
             9})},
        {"SetTxBurstMode", Kind::Set, "set_tx_burst_mode",
         "{1,2,3,4,5,6},39,7,1,170,2,1,0,8,9,{255,255,255,255,255,255,255,255,255,127},-10,-11,-12,"
         "4294967295", {1, 1, 2, 3, 4, 5, 6, 39, 7, 1, 0xAA, 0xFF, 2, 1, 255, 255, 255, 255, 255,
         255, 255, 255, 255, 127, 0, 0xF6, 0xF5, 0xF4, 8, 9}, "Start TX burst mode", 1,
         Req(T_BT_SET_TX_BURST_MODE_REQ{{1, 2, 3, 4, 5, 6}, 39, 7, 1, 0xAA, 2, 1, 0, 8, 9,
             {255, 255, 255, 255, 255, 255, 255, 255, 255, 127}, -10, -11, -12, 0xFFFFFFFF})},
        {"SetTxContinuousMode", Kind::Set, "set_tx_continuous_mode", "78,3,250,4,15,3",
         {1, 78, 3, 250, 4, 15, 3}, "Start TX continuous wave mode", 1,
         Req(T_BT_SET_TX_CONTINUOUS_MODE_REQ{78, 3, 250, 4, 0x0F, BT_MODULATION_8DPSK})},
        {"SetRxContinuousMode", Kind::Set, "set_rx_continuous_mode", "255", {1, 255},
         "Start RX continuous wave mode", 1, Req(T_BT_SET_RX_CONTINUOUS_MODE_REQ{255})},
        {"SetTxLeMode", Kind::Set, "set_tx_le_mode", "39,37,-7,7", {1, 39, 37, 0xF9, 7},
         "Start LE TX mode", 1, Req(T_BT_SET_TX_LE_MODE_REQ{39, 37, -7, BT_LE_PATTERN_01010101})},
        {"RxLeStart", Kind::Set, "rx_le_start", "19", {1, 19}, "Start LE RX mode", 1,
         Req(T_BT_RX_LE_START_REQ{19})},
        {"RxLeEnd", Kind::Get, "rx_le_end", "", {}, "Getting Le Rx result", 4, {},
         Delivers<T_BT_RX_LE_END_CON>(
             [](const auto& r) { return V{r.packets_high, r.packets_low}; }, {0x12, 0x34})},
        {"CheckHostInterface", Kind::Check, "check_host_interface", "", {},
         "Checking host interface", 1, {}},
        {"CheckSleepxSignal", Kind::Check, "check_sleepx_signal", "", {}, "Checking SleepX signal",
         1, {}},
        {"GetLumoraVersion", Kind::Get, "get_lumora_version", "", {},
         "Getting Lumora Universal information", 12, {}, Delivers<T_BT_GET_LUMORA_VERSION_CON>(
             [](const auto& r) { return V(r.version_info, r.version_info + 10); },
             {4, 6, 0, 0, 0x12, 0x34, 2, 0, 0, 1})},
        {"GetRssiValue", Kind::Query, "get_rssi_value", "{1,128}", {1, 1, 128},
         "Getting RSSI value", 3, Req(T_BT_GET_RSSI_VALUE_REQ{{1, 128}}),
         Delivers<T_BT_GET_RSSI_VALUE_CON>([](const auto& r) { return V{r.rssi}; }, {-70})},
        {"GetRtrimValues", Kind::Get, "get_rtrim_values", "", {}, "Getting RTRIM manual values", 5,
         {}, Delivers<T_BT_GET_RTRIM_VALUES_CON>(
             [](const auto& r) { return V{r.use_manual, r.manual_value, r.fused_value}; },
             {1, 9, 0x17})},
        {"SetRtrimManualValues", Kind::Set, "set_rtrim_manual_values", "12,7", {1, 12, 7},
         "Setting RTRIM manual values", 1, Req(T_BT_SET_RTRIM_MANUAL_VALUE_REQ{12, 7}), nullptr,
         "T_ATCTST_BT_SET_RTRIM_MANUAL_VALUE_REQ"},
        {"GetKfreqIbiasdacValues", Kind::Get, "get_kfreq_ibiasdac_values", "", {},
         "Getting KFREQ and IBIASDAC manual values", 8, {},
         Delivers<T_BT_GET_KFREQ_IBIASDAC_VALUES_CON>([](const auto& r) {
             return V{r.use_manual_kfreq, r.manual_kfreq, r.fused_kfreq, r.use_manual_ibiasdac,
                      r.manual_ibiasdac, r.fused_ibiasdac}; }, {1, 42, 0x2A, 1, 7, 0x0C})},
        {"SetKfreqIbiasdacManualValues", Kind::Set, "set_kfreq_ibiasdac_manual_values", "1,42,0,12",
         {1, 1, 42, 0, 12}, "Setting KFREQ and IBIASDAC manual values", 1,
         Req(T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ{1, 42, 0, 12})},
        {"GetTemperatureValues", Kind::Get, "get_temperature_values", "", {},
         "Getting TMEAS manual values", 8, {}, Delivers<T_BT_GET_TEMPERATURE_VALUES_CON>(
             [](const auto& r) { return V{r.use_manual, r.manual_value, r.fused_value}; },
             {1, 60000, 500})},
        {"SetTemperatureValues", Kind::Set, "set_temperature_values", "1,65535",
         {1, 0, 1, 0, 0xFF, 0xFF}, "Setting TMEAS manual values", 1,
         Req(T_BT_SET_TEMPERATURE_VALUES_REQ{1, 65535})},
        {"GetVoltageValues", Kind::Get, "get_voltage_values", "", {}, "Getting VMEAS manual values",
         6, {}, Delivers<T_BT_GET_VOLTAGE_VALUES_CON>([](const auto& r) {
             return V{r.use_manual, r.propagation, r.manual_value, r.fused_value}; },
             {0, 1, 100, 0x5C})},
        {"SetVoltageValues", Kind::Set, "set_voltage_values", "1,2,200", {1, 1, 2, 200},
         "Setting VMEAS manual values", 1, Req(T_BT_SET_VOLTAGE_VALUES_REQ{1, 2, 200})},
        {"SetPcmUartWakeupInterface", Kind::Set, "set_pcm_uart_wakeup_interface", "0,1,0",
         {1, 0, 1, 0}, "Setting PCM interface - Internal connection\nSetting UART interface - "
         "External connection\nSetting WAKEUP interface - Internal connection", 1,
         Req(T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ{0, 1, 0})},
        {"GetPcmUartWakeupInterfaceStatus", Kind::Get, "get_pcm_uart_wakeup_interface_status", "",
         {}, "Getting PCM UART WAKEUP Interface status", 5, {},
         Delivers<T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON>(
             [](const auto& r) { return V{int(r.pcm), int(r.uart), int(r.wakeup)}; }, {1, 0, 1})},
        {"SetPcmLoopback", Kind::Set, "set_pcm_loopback", "2", {1, 2},
         "Enabling PCM loopback - PCM->PCM", 1, Req(T_BT_SET_PCM_LOOPBACK_REQ{2})},
        {"HciCommand", Kind::Query, "hci_command", HciArgs(), HciWire(),
         "Sending HCI command: 03 0C 00 ", 153, Req(Hci()), Delivers<T_BT_HCI_COMMAND_CON>(
             [](const auto& r) { return V(r.data, r.data + r.length); }, {14, 4, 1, 3, 12, 0})},
        {"ReadAllNvmParams", Kind::NvmAll, "read_all_nvm_params", "", {},
         "Getting NVM: All NVM parameters", 0, {}, [](Rig& s, btops::Outputs& o, int32_t code) {
             const auto rx = s.Chip().nvm[BNPT_RX_CURRENT][0];
             if (code == 0) { EXPECT_EQ(o.As<T_BT_ALL_NVM_PARAMS>().rx_current, rx); }
         }, nullptr, "READ_FROM_NVM"},
        {"WriteAllNvmParams", Kind::NvmAll, "write_all_nvm_params", kGoldenNvmArguments, {},
         "Setting NVM: All NVM parameters", 0, Req(kGoldenNvm), nullptr, nullptr, "WRITE_TO_NVM"},
    };
    return rows;
}

enum class Column {
    Healthy, HostCallFails, NoReply, Garbage, MissingOk, ErrorCode, ValueShort, ValueExtra,
    WrongSize, OversizeLength, HciTooLong, RequestVersion2, ConfirmVersion2
};
// How the exchange with each fault ends: whether the text back-end's reply is refused, the
// binary back-end's last line, whether its status says failure, and the confirm size its
// warning reports (-1: none; 1000: one more than expected).
struct Ending {
    const char* name;
    bool injected;
    Fault fault;
    bool textFails;
    const char* binaryLine;
    bool binaryFails;
    int warned;
};
const Ending kEndings[] = {
    {"Healthy",         false, Fault::NoReply,        false, "OK",               false, -1},
    {"HostCallFails",   true,  Fault::HostCallFails,  true,  "link down",        true,  -1},
    {"NoReply",         true,  Fault::NoReply,        true,  "FAIL",             true,  0},
    {"Garbage",         true,  Fault::Garbage,        true,  "CUSTOM ERROR 165", true,  -1},
    {"MissingOk",       true,  Fault::MissingOk,      true,  "OK",               false, -1},
    {"ErrorCode",       true,  Fault::ErrorCode,      false, "CUSTOM ERROR 5",   true,  -1},
    {"ValueShort",      true,  Fault::ValueShort,     true,  "OK",               false, -1},
    {"ValueExtra",      true,  Fault::ValueExtra,     true,  "OK",               false, -1},
    {"WrongSize",       true,  Fault::WrongSize,      false, "OK",               false, 1000},
    {"OversizeLength",  true,  Fault::OversizeLength, false, "OK",               false, 16000},
    {"HciTooLong",      true,  Fault::HciTooLong,     false, "OK",               false, -1},
    {"RequestVersion2", false, Fault::NoReply,        false, "OK",               false, -1},
    {"ConfirmVersion2", false, Fault::NoReply,        false, "OK",               false, -1}};
// clang-format on

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return std::toupper(c); });
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
    const bool boolean = r.kind == Kind::Check || r.kind == Kind::Reset;
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
        if (boolean) return {1, "", log, false};
        return {2, "\nData version mismatch. " + name + ": expected = 1, actual = 2", log, false};
    }
    const Ending& end = kEndings[static_cast<int>(f)];
    Outcome o{0, "", {r.action}, !(text ? end.textFails : end.binaryFails)};
    if (text) {
        o.log.push_back("at@bt:" + r.suffix + "(" + r.args + ")");
        if (hci && f == Column::HciTooLong)
            return {4, "HCI command response data length above limit: 150", o.log, false};
        // Read-all has no result code: the one the phone puts before "OK" is a 44th value.
        o.delivered = o.delivered && !(readAll && f == Column::ErrorCode);
        const bool link = f == Column::HostCallFails && backend == Backend::Text54;
        o.log.push_back(link ? "link down" : o.delivered ? "OK" : "FAIL");
        o.code = o.delivered ? 0 : link || boolean ? 1 : 3;
        o.text = boolean || o.delivered ? "" : link ? "Error: communication error" : "FAIL";
        return o;
    }
    o.log.push_back(end.binaryLine);
    const int size = end.warned == 1000 ? r.confirmSize + 1 : end.warned;
    if (size >= 0)
        o.log.push_back("WARNING ---> 'atctst_bt_" + r.suffix +
                        "' - Datasize from target does not "
                        "match expected data size\nExpected data size :" +
                        std::to_string(r.confirmSize) +
                        "   Actual data size :" + std::to_string(size));
    if (hci && f == Column::HciTooLong) return {4, "", o.log, false};
    if (boolean) return {uint8_t(f == Column::HostCallFails), "", o.log, o.delivered};
    o.code = o.delivered ? 0 : 1; // the checks and ResetHci: true when the exchange took place
    if (!o.delivered && hci) o.text = "Error: communication error when sending HCI command";
    if (!o.delivered && r.suffix == "hw_info")
        o.text = "Error: not able to retrieve BT HW information\n";
    return o;
}

class OperationTable : public testing::TestWithParam<std::tuple<Backend, int>> {};

TEST_P(OperationTable, ShowsTheOperatorWhatHappened) {
    const auto [backend, index] = GetParam();
    const Column column = static_cast<Column>(index);
    const Ending& end = kEndings[index];
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.op);
        Rig s(backend);
        const btops::Operation& op = btops::AllOperations()[&row - Rows().data()];
        ASSERT_EQ(op.name, row.op) << "the rows follow the operation table";
        const uint8_t req = column == Column::RequestVersion2 ? 2 : 1;
        const uint8_t con = column == Column::ConfirmVersion2 ? 2 : 1;
        for (int n = 0; n < phonesim::kOpcodeCount; ++n)
            s.Phone().SetTextVersions(n, req, con), s.Phone().SetBinaryVersions(n, req, con);
        btops::Outputs first(0);
        op.run(*s.bt, 1, row.request, first);
        s.host.ClearLog();
        s.Phone().ClearLogs();
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
        if (row.kind == Kind::Check || row.kind == Kind::Reset) {
            EXPECT_EQ(row.kind == Kind::Check ? out.check : out.resetOk,
                      row.kind == Kind::Reset || !s.text ? code == 0 : false);
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

INSTANTIATE_TEST_SUITE_P(EveryOperation, OperationTable,
                         testing::Combine(testing::Values(Backend::Legacy, Backend::Text54,
                                                          Backend::Text175),
                                          testing::Range(0, static_cast<int>(std::size(kEndings)))),
                         [](const auto& info) {
                             const Backend b = std::get<0>(info.param);
                             return std::string(b == Backend::Legacy   ? "Binary"
                                                : b == Backend::Text54 ? "TextSlot54"
                                                                       : "TextSlot175") +
                                    "_" + kEndings[std::get<1>(info.param)].name;
                         });

// clang-format off
// The names and wire ids of the 16 NVM parameters the binary protocol carries, the first 16
// in the order of the getters and setters; it refuses the other 27.
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

// After the table's operations the list holds each parameter's getter and setter.
T_Result RunNvm(Rig& s, std::size_t param, bool set, const btops::Request& r, btops::Outputs& o) {
    return btops::AllOperations()[std::size(Rows()) + 2 * param + set].run(*s.bt, 1, r, o);
}

// Each setter writes its own parameter with its own command, as the read-all shows; a
// phone code does not fail a write, and a setter without its bytes sends nothing.
TEST(NvmParameters, TextSettersEachWriteTheirOwnParameter) {
    Rig s(Backend::Text54);
    EXPECT_EQ(s.bt->SetNvmLmpFeatures(1, nullptr).code, T_RESULT_ERROR);
    EXPECT_TRUE(s.Phone().TextLog().empty());
    const auto* golden = reinterpret_cast<const uint8_t*>(&kGoldenNvm);
    for (std::size_t p = 0; p < nvm::Params().size(); ++p) {
        const nvm::ParamInfo& at = nvm::Params()[p]; // where its golden value lies
        btops::Outputs out;
        const btops::Request value{Bytes(golden + at.offset, golden + at.offset + at.width)};
        EXPECT_EQ(RunNvm(s, p, true, value, out).code, T_RESULT_OK) << at.suffix;
    }
    T_BT_ALL_NVM_PARAMS read{};
    EXPECT_EQ(s.bt->ReadAllNvmParams(1, &read).code, T_RESULT_OK);
    EXPECT_EQ(std::memcmp(&read, &kGoldenNvm, sizeof read), 0);
    s.Phone().InjectText({Fault::ErrorCode, 7});
    EXPECT_EQ(s.bt->SetNvmRssiMin(1, -80).code, T_RESULT_OK);
}

// A value is read once, then answered from the cache until it is written; one the phone
// holds but calls not valid (status 2) is delivered too.
TEST(NvmParameters, BinaryGettersAndSettersCarrySixteenAndRefuseTheOthers) {
    Rig s(Backend::Legacy);
    for (uint8_t wire = 0; wire < 16; ++wire)
        s.Chip().nvm[phonesim::kWireToParam[wire]][0] = 0x40 + wire;
    s.Chip().wireStatus[15] = 2;
    const btops::Request value{{0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28}};
    for (std::size_t p = 0; p < nvm::Params().size(); ++p) {
        SCOPED_TRACE(p);
        s.host.ClearLog();
        s.Phone().ClearLogs();
        btops::Outputs out, again;
        const T_Result got = RunNvm(s, p, false, {}, out), cached = RunNvm(s, p, false, {}, out),
                       set = RunNvm(s, p, true, value, out), read = RunNvm(s, p, false, {}, again);
        if (p >= std::size(kWireParams)) {
            for (const T_Result& r : {got, set})
                EXPECT_EQ(r.code == T_RESULT_ERROR && r.text == "NVM command not supported", true);
            EXPECT_EQ(s.host.LogTexts(), Lines(4, "NVM command not supported"));
            EXPECT_TRUE(s.Phone().BinaryLog().empty());
            continue;
        }
        const auto [name, wire] = kWireParams[p];
        const std::string getting = std::string("Getting ") + name + " value";
        EXPECT_EQ(got.code + cached.code + set.code + read.code, T_RESULT_OK);
        const char* status = wire == 15 ? "CUSTOM ERROR 2" : "OK"; // logged, and still read
        EXPECT_EQ(s.host.LogTexts(),
                  (Lines{getting, status, getting, "OK", std::string("Setting ") + name + " value",
                         "OK", getting, "OK"}));
        EXPECT_EQ(out.record[0], 0x40 + wire);
        EXPECT_EQ(out.record[1] == btops::kUntouched, wire != 0) << "a value writes its width";
        EXPECT_EQ(again.record[0], 0x21);
        ASSERT_EQ(s.Phone().BinaryLog().size(), 3u) << "read, write, read again";
        EXPECT_EQ(s.Phone().BinaryLog()[0].request, Bytes{wire});
        EXPECT_EQ(s.Phone().BinaryLog()[1].request, (wire ? Bytes{wire, 1, 0x21, 0, 0, 0, 0, 0}
                                                          : Bytes{0, 1, 33, 34, 35, 36, 37, 38}));
    }
}

// The first use asks for the record versions and says what the phone answered; versions
// the phone did not give are asked again by the next use. A chip not known to run starts.
TEST(Sequences, TheFirstStartAsksForTheRecordVersionsUntilThePhoneAnswers) {
    // clang-format off
    const std::tuple<Backend, const char*, Lines, Lines, Bytes> cases[] = {
        {Backend::Legacy, "atctst_bt_initialize",
         {"Get header version for opcode 'atctst_bt_initialize'", "link down"},
         {"Get header version for opcode 'atctst_bt_initialize'", "OK",
          "Opcode versions for 'atctst_bt_initialize' is req=1 con=1",
          "Initializing Bluetooth chip", "OK"}, {1, 1}},
        {Backend::Text54, "'INITIALIZE' Req",
         {"Get header version for opcode 'INITIALIZE'", "at@bt:get_opcode_version(10)",
          "link down"},
         {"Get header version for opcode 'INITIALIZE'", "at@bt:get_opcode_version(10)", "OK",
          "Opcode versions for 'INITIALIZE' is req=1 con=1", "Initializing Bluetooth chip",
          "at@bt:initialize(1)", "OK"}, {}}};
    // clang-format on
    for (const auto& [backend, name, failed, lines, request] : cases) {
        Rig s(backend);
        s.Chip().on = false;
        s.Phone().InjectText({Fault::HostCallFails});
        s.Phone().InjectBinary({Fault::HostCallFails});
        EXPECT_EQ(s.bt->Initialize(1).text,
                  std::string("\nData version mismatch. ") + name + ": expected = 1, actual = 0");
        EXPECT_EQ(s.host.LogTexts(), failed);
        s.host.ClearLog();
        EXPECT_EQ(s.bt->Initialize(1).code, T_RESULT_OK);
        EXPECT_EQ(s.host.LogTexts(), lines);
        EXPECT_EQ(s.Phone().LastRequest(), request);
        EXPECT_TRUE(s.Chip().on);
        EXPECT_EQ(s.bt->IsBtOn(), 1);
    }
}

// The action lines of settings the table's rows do not use, and no more HCI bytes than the
// record holds (regression: a length byte above 150 made the line read past the record).
struct Probe : BluetoothLegacy {
    using IBluetooth::LogAction;
};

TEST(Sequences, ActionLinesNameTheSettingsAsAsked) {
    Rig s(Backend::Legacy);
    Probe p;
    T_BT_HCI_COMMAND_REQ longest{255, {}};
    std::memset(longest.data, 0xAB, sizeof longest.data);
    p.LogAction<bt_op::SetPcmLoopback>(T_BT_SET_PCM_LOOPBACK_REQ{0});
    p.LogAction<bt_op::SetPcmLoopback>(T_BT_SET_PCM_LOOPBACK_REQ{1});
    // The connection types are shown by their low byte.
    p.LogAction<bt_op::SetPcmUartWakeupInterface>(
        T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ{0x100, 0x201, 0x102});
    p.LogAction<bt_op::HciCommand>(T_BT_HCI_COMMAND_REQ{3, {3, 12, 255}}, 10);
    p.LogAction<bt_op::HciCommand>(longest, 16);
    Lines lines = s.host.LogTexts();
    EXPECT_EQ(lines.back().size(), 21u + 3 * kHciDataSize);
    lines.pop_back();
    EXPECT_EQ(lines, (Lines{"Disabling PCM loopback", "Enabling PCM loopback - Air->Air",
                            "Setting PCM interface - Internal connection\nSetting UART interface - "
                            "External connection\nSetting WAKEUP interface - Should not happen",
                            "Sending HCI command: 3 12 255 "}));
    // The binary records carry the low byte of the wide settings.
    EXPECT_EQ(s.bt->SetPcmLoopback(1, {0x102}).code, T_RESULT_OK);
    EXPECT_EQ(s.Phone().LastRequest(), (Bytes{1, 2}));
}

} // namespace
