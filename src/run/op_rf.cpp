#include <QByteArray>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "run/op_steps.h"

namespace run::op {

namespace {

template <std::size_t N> void CopyBytes(uint8_t (&to)[N], const QByteArray& from) {
    std::memcpy(to, from.constData(), std::min<std::size_t>(N, from.size()));
}

} // namespace

T_Result RfTestMode(OpContext& c) {
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
}

T_Result TxBurst(OpContext& c) {
    T_BT_SET_TX_BURST_MODE_REQ q{};
    CopyBytes(q.bd_address, c.Bytes("bd_address"));
    q.channel = uint8_t(c.Int("channel"));
    q.power_step = uint8_t(c.Int("power_step"));
    q.pattern_kind = kBrPatternKind[c.Int("pattern")];
    q.pattern_byte = kBrPatternByte[c.Int("pattern")];
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
}

T_Result TxContinuous(OpContext& c) {
    T_BT_SET_TX_CONTINUOUS_MODE_REQ q{};
    q.channel = uint8_t(c.Int("channel"));
    q.coarse_power = uint8_t(c.Int("coarse_power"));
    q.fine_power = uint8_t(c.Int("fine_power"));
    q.pattern_kind = kBrPatternKind[c.Int("pattern")];
    q.pattern_byte = kBrPatternByte[c.Int("pattern")];
    q.modulation = uint32_t(c.Int("modulation"));
    return c.bt.SetTxContinuousMode(kVersion, q);
}

T_Result RxContinuous(OpContext& c) {
    return c.bt.SetRxContinuousMode(kVersion, {uint8_t(c.Int("channel"))});
}

T_Result LeTx(OpContext& c) {
    T_BT_SET_TX_LE_MODE_REQ q{};
    q.channel = uint8_t(c.Int("channel"));
    q.data_length = uint8_t(c.Int("data_length"));
    q.power_level = int8_t(c.Int("power_level"));
    q.pattern = uint32_t(c.Int("pattern"));
    return c.bt.SetTxLeMode(kVersion, q);
}

T_Result LeRxStart(OpContext& c) {
    return c.bt.RxLeStart(kVersion, {uint8_t(c.Int("channel"))});
}

T_Result LeRxEnd(OpContext& c) {
    T_BT_RX_LE_END_CON con{};
    const T_Result r = Checked(c.bt.RxLeEnd(kVersion, &con), con.result);
    KeepLeRxResult(c, con.packets_high << 8 | con.packets_low, int(c.Int("expected_packets")));
    return r;
}

T_Result Rssi(OpContext& c) {
    const auto h = uint8_t(c.Int("connection_handle"));
    T_BT_GET_RSSI_VALUE_REQ q{{uint8_t(h & 0x0F), uint8_t((h & 0xF0) >> 4)}};
    T_BT_GET_RSSI_VALUE_CON con{};
    const T_Result r = Checked(c.bt.GetRssiValue(kVersion, q, &con), con.result);
    c.readings["rssi"] = double(con.rssi);
    return r;
}

} // namespace run::op
