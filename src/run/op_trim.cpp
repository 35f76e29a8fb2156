#include "run/op_steps.h"

namespace run::op {

T_Result RtrimRead(OpContext& c) {
    T_BT_GET_RTRIM_VALUES_CON con{};
    const T_Result r = Checked(c.bt.GetRtrimValues(kVersion, &con), con.result);
    c.readings["rtrim_use_manual"] = double(con.use_manual);
    c.readings["rtrim_manual"] = double(con.manual_value);
    c.readings["rtrim_fused"] = double(con.fused_value);
    return r;
}

T_Result RtrimWrite(OpContext& c) {
    return c.bt.SetRtrimManualValues(kVersion,
                                     {uint8_t(c.Int("use_manual")), uint8_t(c.Int("value"))});
}

T_Result KfreqIbiasdacRead(OpContext& c) {
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON con{};
    const T_Result r = Checked(c.bt.GetKfreqIbiasdacValues(kVersion, &con), con.result);
    c.readings["kfreq_use_manual"] = double(con.use_manual_kfreq);
    c.readings["kfreq_manual"] = double(con.manual_kfreq);
    c.readings["kfreq_fused"] = double(con.fused_kfreq);
    c.readings["ibiasdac_use_manual"] = double(con.use_manual_ibiasdac);
    c.readings["ibiasdac_manual"] = double(con.manual_ibiasdac);
    c.readings["ibiasdac_fused"] = double(con.fused_ibiasdac);
    return r;
}

T_Result KfreqIbiasdacWrite(OpContext& c) {
    return c.bt.SetKfreqIbiasdacManualValues(
        kVersion, {uint8_t(c.Int("use_manual_kfreq")), uint8_t(c.Int("kfreq")),
                   uint8_t(c.Int("use_manual_ibiasdac")), uint8_t(c.Int("ibiasdac"))});
}

T_Result TmeasRead(OpContext& c) {
    T_BT_GET_TEMPERATURE_VALUES_CON con{};
    const T_Result r = Checked(c.bt.GetTemperatureValues(kVersion, &con), con.result);
    c.readings["tmeas_use_manual"] = double(con.use_manual);
    c.readings["tmeas_manual"] = double(con.manual_value);
    c.readings["tmeas_fused"] = double(con.fused_value);
    return r;
}

T_Result TmeasWrite(OpContext& c) {
    return c.bt.SetTemperatureValues(kVersion,
                                     {uint8_t(c.Int("use_manual")), uint16_t(c.Int("value"))});
}

T_Result VmeasRead(OpContext& c) {
    T_BT_GET_VOLTAGE_VALUES_CON con{};
    const T_Result r = Checked(c.bt.GetVoltageValues(kVersion, &con), con.result);
    c.readings["vmeas_use_manual"] = double(con.use_manual);
    c.readings["vmeas_propagation"] = double(con.propagation);
    c.readings["vmeas_manual"] = double(con.manual_value);
    c.readings["vmeas_fused"] = double(con.fused_value);
    return r;
}

T_Result VmeasWrite(OpContext& c) {
    return c.bt.SetVoltageValues(kVersion, {uint8_t(c.Int("use_manual")),
                                            uint8_t(c.Int("propagation")), uint8_t(c.Int("value"))});
}

T_Result InterfacesRead(OpContext& c) {
    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON con{};
    const T_Result r = Checked(c.bt.GetPcmUartWakeupInterfaceStatus(kVersion, &con), con.result);
    c.readings["pcm"] = double(con.pcm);
    c.readings["uart"] = double(con.uart);
    c.readings["wakeup"] = double(con.wakeup);
    return r;
}

T_Result InterfacesWrite(OpContext& c) {
    return c.bt.SetPcmUartWakeupInterface(
        kVersion, {uint32_t(c.Int("pcm")), uint32_t(c.Int("uart")), uint32_t(c.Int("wakeup"))});
}

T_Result PcmLoopback(OpContext& c) {
    return c.bt.SetPcmLoopback(kVersion, {uint32_t(c.Int("type"))});
}

} // namespace run::op
