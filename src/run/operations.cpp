#include "run/operations.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "bt/ibluetooth.h"
#include "bt/nvm_params.h"

namespace run {

namespace {

constexpr uint8_t kVersion = 1;
constexpr int kBinaryNvmCount = 16;
using V = ValueType;

// A confirm whose result field is not 0: the phone refused what it was asked.
T_Result Checked(T_Result result, int32_t phoneCode) {
    if (result.code == T_RESULT_OK && phoneCode != 0) {
        result.code = T_RESULT_ERROR;
        result.text = "phone answered result code " + std::to_string(phoneCode) + " (" +
                      t_result_to_string(phoneCode) + ")";
    }
    return result;
}

// --- NVM parameters as values ---------------------------------------------------------

// Power levels and the RSSI limits are in dBm, the reference clock in Hz; the other
// parameters are codes, counts and flags.
const char* NvmUnits(const nvm::ParamInfo& p) {
    const std::string name = p.suffix;
    if (name.find("power") != std::string::npos || name.find("pwr_level") != std::string::npos ||
        (name.rfind("rssi_", 0) == 0 && name != "rssi_goto_max"))
        return "dBm";
    if (name == "input_freq") return "Hz";
    return "";
}

bool IsBytes(nvm::Kind kind) {
    return kind == nvm::Kind::A6 || kind == nvm::Kind::A8;
}

void KindRange(nvm::Kind kind, int64_t& low, int64_t& high) {
    switch (kind) {
    case nvm::Kind::I8:
        low = -128, high = 127;
        break;
    case nvm::Kind::U16:
        low = 0, high = 0xFFFF;
        break;
    case nvm::Kind::U32:
        low = 0, high = 0xFFFFFFFFLL;
        break;
    default:
        low = 0, high = 0xFF;
    }
}

QJsonValue FieldValue(const T_BT_ALL_NVM_PARAMS& all, const nvm::ParamInfo& p) {
    const auto* at = reinterpret_cast<const uint8_t*>(&all) + p.offset;
    switch (p.kind) {
    case nvm::Kind::U8:
        return double(*at);
    case nvm::Kind::I8:
        return double(static_cast<int8_t>(*at));
    case nvm::Kind::U16: {
        uint16_t v;
        std::memcpy(&v, at, sizeof v);
        return double(v);
    }
    case nvm::Kind::U32: {
        uint32_t v;
        std::memcpy(&v, at, sizeof v);
        return double(v);
    }
    default:
        return Hex(QByteArray(reinterpret_cast<const char*>(at), p.width));
    }
}

void SetField(T_BT_ALL_NVM_PARAMS& all, const nvm::ParamInfo& p, const ArgValue& value) {
    auto* at = reinterpret_cast<uint8_t*>(&all) + p.offset;
    if (IsBytes(p.kind)) {
        std::memcpy(at, value.bytes.constData(),
                    std::min<std::size_t>(p.width, value.bytes.size()));
        return;
    }
    const auto v32 = static_cast<uint32_t>(value.number);
    const auto v16 = static_cast<uint16_t>(value.number);
    const auto v8 = static_cast<uint8_t>(value.number);
    if (p.width == 4) std::memcpy(at, &v32, 4);
    if (p.width == 2) std::memcpy(at, &v16, 2);
    if (p.width == 1) *at = v8;
}

template <std::size_t N> uint8_t* Out(uint8_t (&field)[N]) {
    return field;
}
template <typename T> T* Out(T& field) {
    return &field;
}
template <std::size_t N> const uint8_t* In(const uint8_t (&field)[N]) {
    return field;
}
template <typename T> T In(const T& field) {
    return field;
}

// The IBluetooth getter and setter of each parameter, in Params() order.
struct NvmAccess {
    T_Result (*get)(IBluetooth&, T_BT_ALL_NVM_PARAMS&);
    T_Result (*set)(IBluetooth&, const T_BT_ALL_NVM_PARAMS&);
};

const std::array<NvmAccess, nvm::kParamCount>& NvmAccessors() {
#define RUN_NVM_ACCESS(Camel, field, id, kind, transfer)                                           \
    NvmAccess{[](IBluetooth& bt, T_BT_ALL_NVM_PARAMS& all) {                                       \
                  return bt.GetNvm##Camel(kVersion, Out(all.field));                               \
              },                                                                                   \
              [](IBluetooth& bt, const T_BT_ALL_NVM_PARAMS& all) {                                 \
                  return bt.SetNvm##Camel(kVersion, In(all.field));                                \
              }},
    static const std::array<NvmAccess, nvm::kParamCount> table = {{BT_NVM_PARAMS(RUN_NVM_ACCESS)}};
#undef RUN_NVM_ACCESS
    return table;
}

int NvmIndex(const QString& name) {
    const auto& params = nvm::Params();
    for (std::size_t i = 0; i < params.size(); ++i)
        if (name == params[i].suffix) return static_cast<int>(i);
    return -1;
}

// Checks one NVM value written in a plan against its parameter's kind.
bool ParseNvmValue(const nvm::ParamInfo& p, const QJsonValue& given, ArgValue& out,
                   QString& error) {
    if (IsBytes(p.kind)) {
        if (!given.isString() || !ParseHex(given.toString(), out.bytes) ||
            out.bytes.size() != p.width) {
            error = QString("'%1' must be hex text of %2 bytes").arg(p.suffix).arg(p.width);
            return false;
        }
        return true;
    }
    int64_t low = 0, high = 0;
    KindRange(p.kind, low, high);
    const double v = given.toDouble(std::nan(""));
    if (!given.isDouble() || v != std::floor(v) || v < double(low) || v > double(high)) {
        error =
            QString("'%1' must be a whole number from %2 to %3").arg(p.suffix).arg(low).arg(high);
        return false;
    }
    out.number = static_cast<int64_t>(v);
    return true;
}

// Reads the named parameters (all when `names` is empty) into `readings`. The text
// protocol reads all at once; the binary one has a getter per parameter.
T_Result ReadNvm(OpContext& c, const QStringList& names) {
    const auto& params = nvm::Params();
    T_BT_ALL_NVM_PARAMS all{};
    std::vector<int> wanted;
    for (const QString& n : names)
        wanted.push_back(NvmIndex(n));
    // The binary protocol offers only the first kBinaryNvmCount parameters one by one.
    if (names.isEmpty())
        for (int i = 0; i < (c.textProtocol ? nvm::kParamCount : kBinaryNvmCount); ++i)
            wanted.push_back(i);
    if (c.textProtocol) {
        const T_Result r = c.bt.ReadAllNvmParams(kVersion, &all);
        if (r.code != T_RESULT_OK) return r;
    } else {
        for (int i : wanted) {
            const T_Result r = NvmAccessors()[static_cast<std::size_t>(i)].get(c.bt, all);
            if (r.code != T_RESULT_OK) return r;
        }
    }
    for (int i : wanted)
        c.readings[params[static_cast<std::size_t>(i)].suffix] =
            FieldValue(all, params[static_cast<std::size_t>(i)]);
    return {};
}

// Writes one parameter. Phones with binary records take a write only in the parameter's
// data version, which the back-end learns when it reads the parameter: read it first.
T_Result WriteNvm(OpContext& c, int index, const T_BT_ALL_NVM_PARAMS& all) {
    const NvmAccess& access = NvmAccessors()[static_cast<std::size_t>(index)];
    if (!c.textProtocol) {
        T_BT_ALL_NVM_PARAMS current{};
        const T_Result r = access.get(c.bt, current);
        if (r.code != T_RESULT_OK) return r;
    }
    return access.set(c.bt, all);
}

// --- helpers for the table ------------------------------------------------------------

ArgSpec Int(const char* name, int64_t min, int64_t max, int64_t def) {
    return {name, ArgKind::Int, min, max, false, def};
}
ArgSpec Need(const char* name, int64_t min, int64_t max) {
    return {name, ArgKind::Int, min, max, true};
}
ArgSpec Bytes(const char* name, int count, const char* def) {
    return {name, ArgKind::Bytes, count, count, false, 0, def};
}

// Pattern pairs of the BR/EDR patterns: kind and fixed byte by T_BT_BR_PATTERN value.
constexpr uint8_t kPatternKind[] = {0, 0, 0, 0, 0, 1};
constexpr uint8_t kPatternByte[] = {0x00, 0x33, 0x55, 0x0F, 0xFF, 0x00};

template <std::size_t N> void CopyBytes(uint8_t (&to)[N], const QByteArray& from) {
    std::memcpy(to, from.constData(), std::min<std::size_t>(N, from.size()));
}

QString Dotted(uint8_t major, uint8_t minor) {
    return QString("%1.%2").arg(major).arg(minor);
}

T_Result ChipOnOff(OpContext& c, bool on) {
    T_Result r = c.bt.GetHwInfo(kVersion);
    if (r.code == T_RESULT_OK && (c.bt.IsBtOn() != 0) != on) r = c.bt.Initialize(kVersion);
    if (r.code != T_RESULT_OK) return r;
    if ((c.bt.IsBtOn() != 0) != on)
        return {T_RESULT_ERROR, on ? "the chip did not start" : "the chip did not stop"};
    c.readings["chip_state"] = double(c.bt.IsBtOn());
    return r;
}

// A 6-byte address as a big-endian number, the order in which it is written and read.
uint64_t Address(const QByteArray& bytes) {
    uint64_t value = 0;
    for (const char byte : bytes)
        value = value << 8 | static_cast<uint8_t>(byte);
    return value;
}

// Takes an address from the store and programs it: nothing reaches the phone unless the
// store handed one out, and what the phone reads back is the measurement.
T_Result AssignAddress(OpContext& c) {
    if (!c.assignAddress) return {T_RESULT_ERROR, "no address store to assign from"};
    uint64_t address = 0;
    QString why;
    if (!c.assignAddress(c.dutId, Address(c.Bytes("first")), Address(c.Bytes("last")), address,
                         why))
        return {T_RESULT_ERROR, why.toStdString()};
    T_BT_ALL_NVM_PARAMS all{};
    for (int i = 0; i < 6; ++i)
        all.bdaddr[i] = static_cast<uint8_t>(address >> (8 * (5 - i)));
    const T_Result r = WriteNvm(c, NvmIndex("bdaddr"), all);
    if (r.code != T_RESULT_OK) return r;
    const QString wanted = Hex(QByteArray(reinterpret_cast<const char*>(all.bdaddr), 6));
    const T_Result read = ReadNvm(c, {"bdaddr"});
    if (read.code != T_RESULT_OK) return read;
    const QString kept = c.readings.value("bdaddr").toString();
    if (kept != wanted)
        c.failure = QString("the phone kept bdaddr %1, not the assigned %2").arg(kept, wanted);
    return {};
}

std::vector<OperationSpec> BuildTable() {
    std::vector<OperationSpec> t;
    t.push_back({"chip_on", {}, {{"chip_state", V::Number, ""}}, false, [](OpContext& c) {
                     return ChipOnOff(c, true);
                 }});
    t.push_back({"chip_off", {}, {{"chip_state", V::Number, ""}}, false, [](OpContext& c) {
                     return ChipOnOff(c, false);
                 }});
    t.push_back({"hw_info",
                 {},
                 {{"chip_state", V::Number, ""}, {"host_interface", V::Number, ""}},
                 false,
                 [](OpContext& c) {
                     const T_Result r = c.bt.GetHwInfo(kVersion);
                     c.readings["chip_state"] = double(c.bt.IsBtOn());
                     c.readings["host_interface"] = double(c.bt.GetHostInterface());
                     return r;
                 }});
    t.push_back({"hci_reset", {}, {}, false, [](OpContext& c) -> T_Result {
                     bool resetOk = false;
                     if (!c.bt.ResetHci(kVersion, &resetOk))
                         return {T_RESULT_FAILED, "HCI reset failed"};
                     if (!resetOk) return {T_RESULT_ERROR, "the phone refused the HCI reset"};
                     return {};
                 }});
    t.push_back({"firmware_info",
                 {},
                 {{"hardware_version", V::Text, ""},
                  {"firmware_version", V::Text, ""},
                  {"build_year", V::Number, ""},
                  {"build_week", V::Number, ""},
                  {"build_number", V::Number, ""},
                  {"patch_number", V::Number, ""},
                  {"version_info", V::Text, ""}},
                 false,
                 [](OpContext& c) {
                     T_BT_GET_LUMORA_VERSION_CON con{};
                     const T_Result r = Checked(c.bt.GetLumoraVersion(kVersion, &con), con.result);
                     const uint8_t* v = con.version_info;
                     c.readings["hardware_version"] = Dotted(v[1], v[2]);
                     c.readings["firmware_version"] = Dotted(v[4], v[5]);
                     c.readings["build_year"] = 2000.0 + v[6];
                     c.readings["build_week"] = double(v[7]);
                     c.readings["build_number"] = double(v[8]);
                     c.readings["patch_number"] = double(v[9]);
                     c.readings["version_info"] =
                         Hex(QByteArray(reinterpret_cast<const char*>(v), sizeof con.version_info));
                     return r;
                 }});
    t.push_back({"rf_test_mode",
                 {Bytes("bd_address", 6, "001A7DDA7113"), Int("epc_num_steps", 0, 255, 7),
                  Int("epc_step_size", 0, 255, 3), Int("epc_max_step_1mbps", 0, 255, 6),
                  Int("epc_max_step_2mbps", 0, 255, 5), Int("epc_max_step_3mbps", 0, 255, 4),
                  Int("lpc_num_steps", 0, 255, 5), Int("lpc_step_size", 0, 255, 2),
                  Int("epc_max_power_1mbps", -35, 10, 4), Int("epc_max_power_2mbps", -35, 8, 2),
                  Int("epc_max_power_3mbps", -35, 8, -2), Int("lpc_power_1mbps", -35, 10, 0),
                  Int("lpc_power_2mbps", -35, 8, -2), Int("lpc_power_3mbps", -35, 8, -4),
                  Int("br_power_level", -35, 10, 4), Int("le_power_level", -35, 10, 0)},
                 {},
                 false,
                 [](OpContext& c) {
                     T_BT_SET_RF_TEST_MODE_REQ q{};
                     CopyBytes(q.bd_address, c.Bytes("bd_address"));
                     q.epc_num_steps = uint8_t(c.Int("epc_num_steps"));
                     q.epc_step_size = uint8_t(c.Int("epc_step_size"));
                     q.epc_max_step_1mbps = uint8_t(c.Int("epc_max_step_1mbps"));
                     q.epc_max_step_2mbps = uint8_t(c.Int("epc_max_step_2mbps"));
                     q.epc_max_step_3mbps = uint8_t(c.Int("epc_max_step_3mbps"));
                     q.lpc_num_steps = uint8_t(c.Int("lpc_num_steps"));
                     q.lpc_step_size = uint8_t(c.Int("lpc_step_size"));
                     q.epc_max_power_1mbps = int8_t(c.Int("epc_max_power_1mbps"));
                     q.epc_max_power_2mbps = int8_t(c.Int("epc_max_power_2mbps"));
                     q.epc_max_power_3mbps = int8_t(c.Int("epc_max_power_3mbps"));
                     q.lpc_power_1mbps = int8_t(c.Int("lpc_power_1mbps"));
                     q.lpc_power_2mbps = int8_t(c.Int("lpc_power_2mbps"));
                     q.lpc_power_3mbps = int8_t(c.Int("lpc_power_3mbps"));
                     q.br_power_level = int8_t(c.Int("br_power_level"));
                     q.le_power_level = int8_t(c.Int("le_power_level"));
                     return c.bt.SetRfTestMode(kVersion, q);
                 }});
    t.push_back(
        {"tx_burst",
         {Bytes("bd_address", 6, "001A7DDA7113"), Int("channel", 0, 78, 0),
          Int("power_step", 0, 255, 0), Int("pattern", 0, 5, 5), Int("tx_interval", 0, 254, 0),
          Int("hopping", 0, 1, 0), Int("whitening", 0, 1, 1), Int("lpc_num_steps", 0, 255, 5),
          Int("lpc_step_size", 0, 255, 2), Bytes("afh_channel_map", 10, "F7FFFFFFFFFFFFFFFFFF"),
          Int("lpc_power_1mbps", -35, 10, 0), Int("lpc_power_2mbps", -35, 8, -2),
          Int("lpc_power_3mbps", -35, 8, -4), Int("packet_type", 0, 8, BT_PACKET_DH5)},
         {},
         false,
         [](OpContext& c) {
             T_BT_SET_TX_BURST_MODE_REQ q{};
             CopyBytes(q.bd_address, c.Bytes("bd_address"));
             q.channel = uint8_t(c.Int("channel"));
             q.power_step = uint8_t(c.Int("power_step"));
             q.pattern_kind = kPatternKind[c.Int("pattern")];
             q.pattern_byte = kPatternByte[c.Int("pattern")];
             q.tx_interval = uint8_t(c.Int("tx_interval"));
             q.hopping = uint8_t(c.Int("hopping"));
             q.whitening = uint8_t(c.Int("whitening"));
             q.lpc_num_steps = uint8_t(c.Int("lpc_num_steps"));
             q.lpc_step_size = uint8_t(c.Int("lpc_step_size"));
             CopyBytes(q.afh_channel_map, c.Bytes("afh_channel_map"));
             q.lpc_power_1mbps = int8_t(c.Int("lpc_power_1mbps"));
             q.lpc_power_2mbps = int8_t(c.Int("lpc_power_2mbps"));
             q.lpc_power_3mbps = int8_t(c.Int("lpc_power_3mbps"));
             q.packet_type = uint32_t(c.Int("packet_type"));
             return c.bt.SetTxBurstMode(kVersion, q);
         }});
    t.push_back(
        {"tx_continuous",
         {Int("channel", 0, 78, 0), Int("coarse_power", 0, 7, 7), Int("fine_power", 0, 5, 5),
          Int("pattern", 0, 5, 5), Int("modulation", 0, 3, BT_MODULATION_GFSK)},
         {},
         false,
         [](OpContext& c) {
             T_BT_SET_TX_CONTINUOUS_MODE_REQ q{};
             q.channel = uint8_t(c.Int("channel"));
             q.coarse_power = uint8_t(c.Int("coarse_power"));
             q.fine_power = uint8_t(c.Int("fine_power"));
             q.pattern_kind = kPatternKind[c.Int("pattern")];
             q.pattern_byte = kPatternByte[c.Int("pattern")];
             q.modulation = uint32_t(c.Int("modulation"));
             return c.bt.SetTxContinuousMode(kVersion, q);
         }});
    t.push_back({"rx_continuous", {Int("channel", 0, 78, 0)}, {}, false, [](OpContext& c) {
                     return c.bt.SetRxContinuousMode(kVersion, {uint8_t(c.Int("channel"))});
                 }});
    t.push_back({"le_tx",
                 {Int("channel", 0, 39, 0), Int("data_length", 0, 37, 37),
                  Int("power_level", -35, 10, 0), Int("pattern", 0, 7, BT_LE_PATTERN_PRBS9)},
                 {},
                 false,
                 [](OpContext& c) {
                     T_BT_SET_TX_LE_MODE_REQ q{};
                     q.channel = uint8_t(c.Int("channel"));
                     q.data_length = uint8_t(c.Int("data_length"));
                     q.power_level = int8_t(c.Int("power_level"));
                     q.pattern = uint32_t(c.Int("pattern"));
                     return c.bt.SetTxLeMode(kVersion, q);
                 }});
    t.push_back({"le_rx_start", {Int("channel", 0, 39, 0)}, {}, false, [](OpContext& c) {
                     return c.bt.RxLeStart(kVersion, {uint8_t(c.Int("channel"))});
                 }});
    t.push_back({"le_rx_end",
                 {Need("expected_packets", 1, 65535)},
                 {{"le_rx_packets", V::Number, "packets"}, {"le_per", V::Number, "%"}},
                 false,
                 [](OpContext& c) {
                     T_BT_RX_LE_END_CON con{};
                     const T_Result r = Checked(c.bt.RxLeEnd(kVersion, &con), con.result);
                     const int received = con.packets_high << 8 | con.packets_low;
                     const double expected = double(c.Int("expected_packets"));
                     // Packet error rate in percent, to a thousandth of a percent; more
                     // packets than expected (another tester on the channel) count as none lost.
                     const double per = std::max(0.0, (expected - received) / expected * 100.0);
                     c.readings["le_rx_packets"] = double(received);
                     c.readings["le_per"] = std::round(per * 1000.0) / 1000.0;
                     return r;
                 }});
    t.push_back({"rssi",
                 {Int("connection_handle", 0, 255, 0)},
                 {{"rssi", V::Number, "dBm"}},
                 false,
                 [](OpContext& c) {
                     const auto h = uint8_t(c.Int("connection_handle"));
                     T_BT_GET_RSSI_VALUE_REQ q{{uint8_t(h & 0x0F), uint8_t((h & 0xF0) >> 4)}};
                     T_BT_GET_RSSI_VALUE_CON con{};
                     const T_Result r = Checked(c.bt.GetRssiValue(kVersion, q, &con), con.result);
                     c.readings["rssi"] = double(con.rssi);
                     return r;
                 }});
    t.push_back({"rtrim_read",
                 {},
                 {{"rtrim_use_manual", V::Number, ""},
                  {"rtrim_manual", V::Number, ""},
                  {"rtrim_fused", V::Number, ""}},
                 false,
                 [](OpContext& c) {
                     T_BT_GET_RTRIM_VALUES_CON con{};
                     const T_Result r = Checked(c.bt.GetRtrimValues(kVersion, &con), con.result);
                     c.readings["rtrim_use_manual"] = double(con.use_manual);
                     c.readings["rtrim_manual"] = double(con.manual_value);
                     c.readings["rtrim_fused"] = double(con.fused_value);
                     return r;
                 }});
    t.push_back({"rtrim_write",
                 {Int("use_manual", 0, 1, 1), Need("value", 0, 31)},
                 {},
                 false,
                 [](OpContext& c) {
                     return c.bt.SetRtrimManualValues(
                         kVersion, {uint8_t(c.Int("use_manual")), uint8_t(c.Int("value"))});
                 }});
    t.push_back({"kfreq_ibiasdac_read",
                 {},
                 {{"kfreq_use_manual", V::Number, ""},
                  {"kfreq_manual", V::Number, ""},
                  {"kfreq_fused", V::Number, ""},
                  {"ibiasdac_use_manual", V::Number, ""},
                  {"ibiasdac_manual", V::Number, ""},
                  {"ibiasdac_fused", V::Number, ""}},
                 false,
                 [](OpContext& c) {
                     T_BT_GET_KFREQ_IBIASDAC_VALUES_CON con{};
                     const T_Result r =
                         Checked(c.bt.GetKfreqIbiasdacValues(kVersion, &con), con.result);
                     c.readings["kfreq_use_manual"] = double(con.use_manual_kfreq);
                     c.readings["kfreq_manual"] = double(con.manual_kfreq);
                     c.readings["kfreq_fused"] = double(con.fused_kfreq);
                     c.readings["ibiasdac_use_manual"] = double(con.use_manual_ibiasdac);
                     c.readings["ibiasdac_manual"] = double(con.manual_ibiasdac);
                     c.readings["ibiasdac_fused"] = double(con.fused_ibiasdac);
                     return r;
                 }});
    t.push_back({"kfreq_ibiasdac_write",
                 {Int("use_manual_kfreq", 0, 1, 1), Need("kfreq", 0, 31),
                  Int("use_manual_ibiasdac", 0, 1, 1), Need("ibiasdac", 0, 255)},
                 {},
                 false,
                 [](OpContext& c) {
                     return c.bt.SetKfreqIbiasdacManualValues(
                         kVersion,
                         {uint8_t(c.Int("use_manual_kfreq")), uint8_t(c.Int("kfreq")),
                          uint8_t(c.Int("use_manual_ibiasdac")), uint8_t(c.Int("ibiasdac"))});
                 }});
    t.push_back({"tmeas_read",
                 {},
                 {{"tmeas_use_manual", V::Number, ""},
                  {"tmeas_manual", V::Number, ""},
                  {"tmeas_fused", V::Number, ""}},
                 false,
                 [](OpContext& c) {
                     T_BT_GET_TEMPERATURE_VALUES_CON con{};
                     const T_Result r =
                         Checked(c.bt.GetTemperatureValues(kVersion, &con), con.result);
                     c.readings["tmeas_use_manual"] = double(con.use_manual);
                     c.readings["tmeas_manual"] = double(con.manual_value);
                     c.readings["tmeas_fused"] = double(con.fused_value);
                     return r;
                 }});
    t.push_back({"tmeas_write",
                 {Int("use_manual", 0, 1, 1), Need("value", 0, 1023)},
                 {},
                 false,
                 [](OpContext& c) {
                     return c.bt.SetTemperatureValues(
                         kVersion, {uint8_t(c.Int("use_manual")), uint16_t(c.Int("value"))});
                 }});
    t.push_back({"vmeas_read",
                 {},
                 {{"vmeas_use_manual", V::Number, ""},
                  {"vmeas_propagation", V::Number, ""},
                  {"vmeas_manual", V::Number, ""},
                  {"vmeas_fused", V::Number, ""}},
                 false,
                 [](OpContext& c) {
                     T_BT_GET_VOLTAGE_VALUES_CON con{};
                     const T_Result r = Checked(c.bt.GetVoltageValues(kVersion, &con), con.result);
                     c.readings["vmeas_use_manual"] = double(con.use_manual);
                     c.readings["vmeas_propagation"] = double(con.propagation);
                     c.readings["vmeas_manual"] = double(con.manual_value);
                     c.readings["vmeas_fused"] = double(con.fused_value);
                     return r;
                 }});
    t.push_back({"vmeas_write",
                 {Int("use_manual", 0, 1, 1), Int("propagation", 0, 1, 0), Need("value", 0, 31)},
                 {},
                 false,
                 [](OpContext& c) {
                     return c.bt.SetVoltageValues(kVersion, {uint8_t(c.Int("use_manual")),
                                                             uint8_t(c.Int("propagation")),
                                                             uint8_t(c.Int("value"))});
                 }});
    t.push_back({"interfaces_read",
                 {},
                 {{"pcm", V::Number, ""}, {"uart", V::Number, ""}, {"wakeup", V::Number, ""}},
                 false,
                 [](OpContext& c) {
                     T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON con{};
                     const T_Result r =
                         Checked(c.bt.GetPcmUartWakeupInterfaceStatus(kVersion, &con), con.result);
                     c.readings["pcm"] = double(con.pcm);
                     c.readings["uart"] = double(con.uart);
                     c.readings["wakeup"] = double(con.wakeup);
                     return r;
                 }});
    t.push_back({"interfaces_write",
                 {Int("pcm", 0, 1, 0), Int("uart", 0, 1, 0), Int("wakeup", 0, 1, 0)},
                 {},
                 false,
                 [](OpContext& c) {
                     return c.bt.SetPcmUartWakeupInterface(kVersion, {uint32_t(c.Int("pcm")),
                                                                      uint32_t(c.Int("uart")),
                                                                      uint32_t(c.Int("wakeup"))});
                 }});
    t.push_back({"pcm_loopback", {Need("type", 0, 2)}, {}, false, [](OpContext& c) {
                     return c.bt.SetPcmLoopback(kVersion, {uint32_t(c.Int("type"))});
                 }});
    t.push_back(
        {"nvm_read", {{"param", ArgKind::NvmParam, 0, 0, true}}, {}, true, [](OpContext& c) {
             const QString name = c.args.value("param").text;
             return ReadNvm(c, name == "all" ? QStringList() : QStringList{name});
         }});
    t.push_back(
        {"nvm_write",
         {{"param", ArgKind::NvmParam, 0, 0, true}, {"value", ArgKind::NvmValue, 0, 0, true}},
         {},
         false,
         [](OpContext& c) {
             const int i = NvmIndex(c.args.value("param").text);
             T_BT_ALL_NVM_PARAMS all{};
             SetField(all, nvm::Params()[static_cast<std::size_t>(i)], c.args.value("value"));
             return WriteNvm(c, i, all);
         }});
    t.push_back(
        {"nvm_verify", {{"expected", ArgKind::Expected, 0, 0, true}}, {}, true, [](OpContext& c) {
             return ReadNvm(c, c.args.value("expected").map.keys());
         }});
    t.push_back({"bdaddr_assign",
                 {{"first", ArgKind::Bytes, 6, 6, true}, {"last", ArgKind::Bytes, 6, 6, true}},
                 {{"bdaddr", V::Text, ""}},
                 false,
                 &AssignAddress,
                 [](const Args& args, QString& error) {
                     if (Address(args.value("first").bytes) <= Address(args.value("last").bytes))
                         return true;
                     error =
                         QString("argument 'first' (%1) is above 'last' (%2)")
                             .arg(Hex(args.value("first").bytes), Hex(args.value("last").bytes));
                     return false;
                 }});
    t.push_back({"hci_command",
                 {{"bytes", ArgKind::HexRun, 1, kHciDataSize, true}},
                 {{"hci_reply", V::Text, ""},
                  {"hci_reply_length", V::Number, "bytes"},
                  {"hci_status", V::Number, ""}},
                 false,
                 [](OpContext& c) {
                     T_BT_HCI_COMMAND_REQ q{};
                     const QByteArray bytes = c.Bytes("bytes");
                     q.length = uint8_t(bytes.size());
                     std::memcpy(q.data, bytes.constData(), q.length);
                     T_BT_HCI_COMMAND_CON con{};
                     const T_Result r = Checked(c.bt.HciCommand(kVersion, q, &con, 16), con.result);
                     const int length = std::min<int>(con.length, kHciDataSize);
                     const QByteArray reply(reinterpret_cast<const char*>(con.data), length);
                     // A refused record version sent nothing; a failed exchange got nothing.
                     if (c.hciTraffic && r.code != T_RESULT_VERSION_MISMATCH) {
                         c.hciTraffic(bytes, false);
                         if (r.code != T_RESULT_FAILED) c.hciTraffic(reply, true);
                     }
                     c.readings["hci_reply"] = Hex(reply);
                     c.readings["hci_reply_length"] = double(con.length);
                     // The status of a Command Complete or Command Status event.
                     if (length >= 6 && con.data[0] == 0x0E)
                         c.readings["hci_status"] = double(con.data[5]);
                     if (length >= 3 && con.data[0] == 0x0F)
                         c.readings["hci_status"] = double(con.data[2]);
                     return r;
                 }});
    t.push_back({"wait", {Need("ms", 0, 600000)}, {}, false, [](OpContext& c) -> T_Result {
                     if (!c.waits) return {};
                     using Clock = std::chrono::steady_clock;
                     const auto end = Clock::now() + std::chrono::milliseconds(c.Int("ms"));
                     while (Clock::now() < end) {
                         if (c.aborted && c.aborted()) return {};
                         const auto left = end - Clock::now();
                         std::this_thread::sleep_for(
                             std::min<Clock::duration>(left, std::chrono::milliseconds(20)));
                     }
                     return {};
                 }});
    return t;
}

} // namespace

const std::vector<OperationSpec>& Operations() {
    static const std::vector<OperationSpec> table = BuildTable();
    return table;
}

const OperationSpec* FindOperation(const QString& name) {
    for (const OperationSpec& op : Operations())
        if (name == op.name) return &op;
    return nullptr;
}

std::vector<MeasurementSpec> MeasurementsOf(const OperationSpec& op, const Args& args) {
    if (!op.nvm) return op.measurements;
    // In the order of the parameters, whatever the order of the plan's object.
    const auto expected = args.value("expected").map;
    QStringList names;
    for (const QString& name : NvmParamNames())
        if (expected.contains(name)) names << name;
    const QString param = args.value("param").text;
    if (!param.isEmpty()) names = param == "all" ? NvmParamNames() : QStringList{param};
    std::vector<MeasurementSpec> out;
    for (const QString& name : names) {
        const int i = NvmIndex(name);
        if (i < 0) continue;
        const nvm::ParamInfo& p = nvm::Params()[static_cast<std::size_t>(i)];
        out.push_back({p.suffix, IsBytes(p.kind) ? V::Text : V::Number, NvmUnits(p)});
    }
    return out;
}

bool ParseArgs(const OperationSpec& op, const QJsonObject& given, Args& out, QString& error) {
    for (auto it = given.begin(); it != given.end(); ++it) {
        const bool known = std::any_of(op.args.begin(), op.args.end(),
                                       [&](const ArgSpec& a) { return it.key() == a.name; });
        if (!known) {
            QStringList names;
            for (const ArgSpec& a : op.args)
                names << a.name;
            error = QString("unknown argument '%1' of %2 (it takes %3)")
                        .arg(it.key(), op.name, names.isEmpty() ? "none" : names.join(", "));
            return false;
        }
    }
    for (const ArgSpec& a : op.args) {
        const QJsonValue v = given.value(a.name);
        ArgValue value;
        if (v.isUndefined()) {
            if (a.required) {
                error = QString("missing argument '%1' of %2").arg(a.name, op.name);
                return false;
            }
            value.number = a.number;
            if (a.bytes) ParseHex(a.bytes, value.bytes);
            out.insert(a.name, value);
            continue;
        }
        switch (a.kind) {
        case ArgKind::Int: {
            const double d = v.toDouble(std::nan(""));
            if (!v.isDouble() || d != std::floor(d) || d < double(a.min) || d > double(a.max)) {
                error = QString("argument '%1' must be a whole number from %2 to %3")
                            .arg(a.name)
                            .arg(a.min)
                            .arg(a.max);
                return false;
            }
            value.number = static_cast<int64_t>(d);
            break;
        }
        case ArgKind::Bytes:
        case ArgKind::HexRun:
            if (!v.isString() || !ParseHex(v.toString(), value.bytes) ||
                value.bytes.size() < a.min || value.bytes.size() > a.max) {
                error = a.min == a.max ? QString("argument '%1' must be hex text of %2 bytes")
                                             .arg(a.name)
                                             .arg(a.min)
                                       : QString("argument '%1' must be hex text of %2 to %3 bytes")
                                             .arg(a.name)
                                             .arg(a.min)
                                             .arg(a.max);
                return false;
            }
            break;
        case ArgKind::NvmParam:
            value.text = v.toString();
            if (!v.isString()) {
                error = QString("argument '%1' must be the name of an NVM parameter").arg(a.name);
                return false;
            }
            if (NvmIndex(value.text) < 0 && !(op.nvm && value.text == "all")) {
                error = QString("unknown NVM parameter '%1'").arg(value.text);
                return false;
            }
            break;
        case ArgKind::NvmValue: {
            const int i = NvmIndex(given.value("param").toString());
            if (i < 0) break; // the parameter's own check reports it
            if (!ParseNvmValue(nvm::Params()[static_cast<std::size_t>(i)], v, value, error))
                return false;
            break;
        }
        case ArgKind::Expected: {
            if (!v.isObject() || v.toObject().isEmpty()) {
                error =
                    QString("argument '%1' must be an object of NVM parameter values").arg(a.name);
                return false;
            }
            const QJsonObject expected = v.toObject();
            for (auto e = expected.begin(); e != expected.end(); ++e) {
                const int i = NvmIndex(e.key());
                if (i < 0) {
                    error = QString("unknown NVM parameter '%1'").arg(e.key());
                    return false;
                }
                const nvm::ParamInfo& p = nvm::Params()[static_cast<std::size_t>(i)];
                ArgValue one;
                if (!ParseNvmValue(p, e.value(), one, error)) return false;
                value.map.insert(e.key(), IsBytes(p.kind) ? QJsonValue(Hex(one.bytes))
                                                          : QJsonValue(double(one.number)));
            }
            break;
        }
        }
        out.insert(a.name, value);
    }
    return !op.check || op.check(out, error);
}

QString Hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex()).toUpper();
}

bool ParseHex(const QString& text, QByteArray& out) {
    QString digits;
    for (const QChar ch : text) {
        if (ch == ' ' || ch == ':' || ch == '-') continue;
        const bool hex =
            (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
        if (!hex) return false;
        digits += ch;
    }
    if (digits.isEmpty() || digits.size() % 2 != 0) return false;
    out = QByteArray::fromHex(digits.toLatin1());
    return true;
}

QStringList NvmParamNames() {
    QStringList names;
    for (const nvm::ParamInfo& p : nvm::Params())
        names << p.suffix;
    return names;
}

} // namespace run
