#include "bt/ibluetooth.h"

#include <algorithm>
#include <cstring>

#include "plugin/plugin.h"
#include "util/util.h"

namespace {

T_Result Logged(const std::string& text) {
    ShowLine(text, 1);
    return T_Result{};
}

} // namespace

IBluetooth::IBluetooth() = default;
IBluetooth::~IBluetooth() = default;

#define BT_NVM_GETTER(Camel, field, id, kind, transfer)                                            \
    T_Result IBluetooth::GetNvm##Camel(uint8_t, BT_NVM_VALUE_T_##kind* value) {                    \
        if (value != nullptr) std::memcpy(value, &nvm_params.field, sizeof nvm_params.field);      \
        return T_Result{};                                                                         \
    }
BT_NVM_PARAMS(BT_NVM_GETTER)
#undef BT_NVM_GETTER

std::string IBluetooth::FormatVersionMismatch(const std::string& name, uint8_t expected,
                                              uint8_t actual) {
    return "\nData version mismatch. " + name + ": expected = " + std::to_string(expected) +
           ", actual = " + std::to_string(actual);
}

std::string IBluetooth::LoopbackTypeText(uint32_t type) {
    switch (type) {
    case 1:
        return "Air->Air";
    case 2:
        return "PCM->PCM";
    default:
        return "Should not happen";
    }
}

std::string IBluetooth::ConnectionTypeText(uint32_t type) {
    switch (type) {
    case 0:
        return "Internal connection";
    case 1:
        return "External connection";
    default:
        return "Should not happen";
    }
}

T_Result IBluetooth::LogGetHwInfo(uint8_t) {
    return Logged("Getting Hw information");
}

T_Result IBluetooth::LogInitialize(uint8_t) {
    return Logged(bt_on == 1 ? "Stopping Bluetooth chip" : "Initializing Bluetooth chip");
}

T_Result IBluetooth::LogResetHci(uint8_t) {
    return Logged("Resetting HCI interface");
}

T_Result IBluetooth::LogSetRfTestMode(uint8_t, const T_BT_SET_RF_TEST_MODE_REQ&) {
    return Logged("Entering RF test mode");
}

T_Result IBluetooth::LogSetTxBurstMode(uint8_t, const T_BT_SET_TX_BURST_MODE_REQ&) {
    return Logged("Start TX burst mode");
}

T_Result IBluetooth::LogSetTxContinuousMode(uint8_t, const T_BT_SET_TX_CONTINUOUS_MODE_REQ&) {
    return Logged("Start TX continuous wave mode");
}

T_Result IBluetooth::LogSetRxContinuousMode(uint8_t, const T_BT_SET_RX_CONTINUOUS_MODE_REQ&) {
    return Logged("Start RX continuous wave mode");
}

T_Result IBluetooth::LogSetTxLeMode(uint8_t, const T_BT_SET_TX_LE_MODE_REQ&) {
    return Logged("Start LE TX mode");
}

T_Result IBluetooth::LogRxLeStart(uint8_t, const T_BT_RX_LE_START_REQ&) {
    return Logged("Start LE RX mode");
}

T_Result IBluetooth::LogRxLeEnd(uint8_t) {
    return Logged("Getting Le Rx result");
}

T_Result IBluetooth::LogCheckHostInterface() {
    return Logged("Checking host interface");
}

T_Result IBluetooth::LogCheckSleepxSignal() {
    return Logged("Checking SleepX signal");
}

T_Result IBluetooth::LogGetLumoraVersion(uint8_t) {
    return Logged("Getting Lumora Universal information");
}

T_Result IBluetooth::LogGetRssiValue(uint8_t, const T_BT_GET_RSSI_VALUE_REQ&) {
    return Logged("Getting RSSI value");
}

T_Result IBluetooth::LogGetRtrimValues(uint8_t) {
    return Logged("Getting RTRIM manual values");
}

T_Result IBluetooth::LogSetRtrimManualValues(uint8_t, const T_BT_SET_RTRIM_MANUAL_VALUE_REQ&) {
    return Logged("Setting RTRIM manual values");
}

T_Result IBluetooth::LogGetKfreqIbiasdacValues(uint8_t) {
    return Logged("Getting KFREQ and IBIASDAC manual values");
}

T_Result
IBluetooth::LogSetKfreqIbiasdacManualValues(uint8_t,
                                            const T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ&) {
    return Logged("Setting KFREQ and IBIASDAC manual values");
}

T_Result IBluetooth::LogGetTemperatureValues(uint8_t) {
    return Logged("Getting TMEAS manual values");
}

T_Result IBluetooth::LogSetTemperatureValues(uint8_t, const T_BT_SET_TEMPERATURE_VALUES_REQ&) {
    return Logged("Setting TMEAS manual values");
}

T_Result IBluetooth::LogGetVoltageValues(uint8_t) {
    return Logged("Getting VMEAS manual values");
}

T_Result IBluetooth::LogSetVoltageValues(uint8_t, const T_BT_SET_VOLTAGE_VALUES_REQ&) {
    return Logged("Setting VMEAS manual values");
}

T_Result
IBluetooth::LogSetPcmUartWakeupInterface(uint8_t,
                                         const T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ& req) {
    // The connection values are shown by their low byte.
    auto text = [](uint32_t value) { return ConnectionTypeText(static_cast<uint8_t>(value)); };
    return Logged("Setting PCM interface - " + text(req.pcm) + "\nSetting UART interface - " +
                  text(req.uart) + "\nSetting WAKEUP interface - " + text(req.wakeup));
}

T_Result IBluetooth::LogGetPcmUartWakeupInterfaceStatus(uint8_t) {
    return Logged("Getting PCM UART WAKEUP Interface status");
}

T_Result IBluetooth::LogSetPcmLoopback(uint8_t, const T_BT_SET_PCM_LOOPBACK_REQ& req) {
    if (req.loopback_type == 0) return Logged("Disabling PCM loopback");
    return Logged("Enabling PCM loopback - " + LoopbackTypeText(req.loopback_type));
}

T_Result IBluetooth::LogHciCommand(uint8_t, const T_BT_HCI_COMMAND_REQ& req, int radix) {
    std::string text = "Sending HCI command: ";
    const int count = std::min<int>(req.length, kHciDataSize);
    for (int i = 0; i < count; ++i)
        text += NumberToText(req.data[i], static_cast<int8_t>(radix), 2, false) + " ";
    return Logged(text);
}
