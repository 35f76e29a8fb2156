#pragma once
// Every IBluetooth operation as one table entry, so that fuzz targets and the fault
// suite can drive all of them the same way. Requests are filled from caller bytes; the
// outputs of every operation land in one Outputs record that starts out filled with a
// marker byte, so a caller can see what an operation wrote.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "bt/ibluetooth.h"

namespace btops {

constexpr uint8_t kUntouched = 0xEE;

struct Outputs {
    bool resetOk;
    uint8_t check;
    T_BT_RX_LE_END_CON rxLeEnd;
    T_BT_GET_LUMORA_VERSION_CON lumora;
    T_BT_GET_RSSI_VALUE_CON rssi;
    T_BT_GET_RTRIM_VALUES_CON rtrim;
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON kfreq;
    T_BT_GET_TEMPERATURE_VALUES_CON temperature;
    T_BT_GET_VOLTAGE_VALUES_CON voltage;
    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON interfaces;
    T_BT_HCI_COMMAND_CON hci;
    uint8_t nvm[8];
    T_BT_ALL_NVM_PARAMS all;

    Outputs() { std::memset(this, kUntouched, sizeof *this); }
};

// Request bytes: the operation copies as many as its record takes, zero-padded.
struct Request {
    std::vector<uint8_t> bytes;

    template <typename T> T As() const {
        static_assert(std::is_trivially_copyable_v<T>);
        T value{};
        if (!bytes.empty()) std::memcpy(&value, bytes.data(), std::min(bytes.size(), sizeof value));
        return value;
    }
};

// What an operation gives back. Operations that answer with a bool report it as code 0
// (true) or 1 (false) with an empty text.
struct Call {
    T_Result result;
    // Name of the output record, or null when the operation fills none.
    const char* output = nullptr;
};

struct Operation {
    const char* name;
    Call (*run)(IBluetooth& bt, uint8_t version, const Request& req, Outputs& out);
};

// An NVM setter's argument: the number, or the 6 or 8 bytes of an array parameter.
template <typename T> T NvmArg(const Request& r) {
    if constexpr (std::is_pointer_v<T>) {
        static uint8_t bytes[8];
        std::memset(bytes, 0, sizeof bytes);
        if (!r.bytes.empty())
            std::memcpy(bytes, r.bytes.data(), std::min(r.bytes.size(), sizeof bytes));
        return bytes;
    } else {
        return r.As<T>();
    }
}

inline T_Result FromBool(bool done) {
    return T_Result{static_cast<uint8_t>(done ? 0 : 1), {}};
}

inline const std::vector<Operation>& AllOperations() {
    static const std::vector<Operation> ops = [] {
        std::vector<Operation> v = {
            {"GetHwInfo", [](IBluetooth& b, uint8_t ver, const Request&,
                             Outputs&) { return Call{b.GetHwInfo(ver)}; }},
            {"Initialize", [](IBluetooth& b, uint8_t ver, const Request&,
                              Outputs&) { return Call{b.Initialize(ver)}; }},
            {"ResetHci",
             [](IBluetooth& b, uint8_t ver, const Request&, Outputs& o) {
                 return Call{FromBool(b.ResetHci(ver, &o.resetOk)), "resetOk"};
             }},
            {"SetRfTestMode",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.SetRfTestMode(ver, r.As<T_BT_SET_RF_TEST_MODE_REQ>())};
             }},
            {"SetTxBurstMode",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.SetTxBurstMode(ver, r.As<T_BT_SET_TX_BURST_MODE_REQ>())};
             }},
            {"SetTxContinuousMode",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.SetTxContinuousMode(ver, r.As<T_BT_SET_TX_CONTINUOUS_MODE_REQ>())};
             }},
            {"SetRxContinuousMode",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.SetRxContinuousMode(ver, r.As<T_BT_SET_RX_CONTINUOUS_MODE_REQ>())};
             }},
            {"SetTxLeMode",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.SetTxLeMode(ver, r.As<T_BT_SET_TX_LE_MODE_REQ>())};
             }},
            {"RxLeStart",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.RxLeStart(ver, r.As<T_BT_RX_LE_START_REQ>())};
             }},
            {"RxLeEnd",
             [](IBluetooth& b, uint8_t ver, const Request&, Outputs& o) {
                 return Call{b.RxLeEnd(ver, &o.rxLeEnd), "rxLeEnd"};
             }},
            {"CheckHostInterface",
             [](IBluetooth& b, uint8_t, const Request&, Outputs& o) {
                 return Call{FromBool(b.CheckHostInterface(&o.check)), "check"};
             }},
            {"CheckSleepxSignal",
             [](IBluetooth& b, uint8_t, const Request&, Outputs& o) {
                 return Call{FromBool(b.CheckSleepxSignal(&o.check)), "check"};
             }},
            {"GetLumoraVersion",
             [](IBluetooth& b, uint8_t ver, const Request&, Outputs& o) {
                 return Call{b.GetLumoraVersion(ver, &o.lumora), "lumora"};
             }},
            {"GetRssiValue",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs& o) {
                 return Call{b.GetRssiValue(ver, r.As<T_BT_GET_RSSI_VALUE_REQ>(), &o.rssi), "rssi"};
             }},
            {"GetRtrimValues",
             [](IBluetooth& b, uint8_t ver, const Request&, Outputs& o) {
                 return Call{b.GetRtrimValues(ver, &o.rtrim), "rtrim"};
             }},
            {"SetRtrimManualValues",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.SetRtrimManualValues(ver, r.As<T_BT_SET_RTRIM_MANUAL_VALUE_REQ>())};
             }},
            {"GetKfreqIbiasdacValues",
             [](IBluetooth& b, uint8_t ver, const Request&, Outputs& o) {
                 return Call{b.GetKfreqIbiasdacValues(ver, &o.kfreq), "kfreq"};
             }},
            {"SetKfreqIbiasdacManualValues",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.SetKfreqIbiasdacManualValues(
                     ver, r.As<T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ>())};
             }},
            {"GetTemperatureValues",
             [](IBluetooth& b, uint8_t ver, const Request&, Outputs& o) {
                 return Call{b.GetTemperatureValues(ver, &o.temperature), "temperature"};
             }},
            {"SetTemperatureValues",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.SetTemperatureValues(ver, r.As<T_BT_SET_TEMPERATURE_VALUES_REQ>())};
             }},
            {"GetVoltageValues",
             [](IBluetooth& b, uint8_t ver, const Request&, Outputs& o) {
                 return Call{b.GetVoltageValues(ver, &o.voltage), "voltage"};
             }},
            {"SetVoltageValues",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.SetVoltageValues(ver, r.As<T_BT_SET_VOLTAGE_VALUES_REQ>())};
             }},
            {"SetPcmUartWakeupInterface",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.SetPcmUartWakeupInterface(
                     ver, r.As<T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ>())};
             }},
            {"GetPcmUartWakeupInterfaceStatus",
             [](IBluetooth& b, uint8_t ver, const Request&, Outputs& o) {
                 return Call{b.GetPcmUartWakeupInterfaceStatus(ver, &o.interfaces), "interfaces"};
             }},
            {"SetPcmLoopback",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.SetPcmLoopback(ver, r.As<T_BT_SET_PCM_LOOPBACK_REQ>())};
             }},
            {"HciCommand",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs& o) {
                 return Call{b.HciCommand(ver, r.As<T_BT_HCI_COMMAND_REQ>(), &o.hci, 16), "hci"};
             }},
            {"ReadAllNvmParams",
             [](IBluetooth& b, uint8_t ver, const Request&, Outputs& o) {
                 return Call{b.ReadAllNvmParams(ver, &o.all), "all"};
             }},
            {"WriteAllNvmParams",
             [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {
                 return Call{b.WriteAllNvmParams(ver, r.As<T_BT_ALL_NVM_PARAMS>())};
             }},
        };
#define BTOPS_NVM(Camel, field, id, kind, transfer)                                                \
    v.push_back({"GetNvm" #Camel, [](IBluetooth& b, uint8_t ver, const Request&, Outputs& o) {     \
                     return Call{                                                                  \
                         b.GetNvm##Camel(ver, reinterpret_cast<BT_NVM_VALUE_T_##kind*>(o.nvm)),    \
                         "nvm"};                                                                   \
                 }});                                                                              \
    v.push_back({"SetNvm" #Camel, [](IBluetooth& b, uint8_t ver, const Request& r, Outputs&) {     \
                     return Call{b.SetNvm##Camel(ver, btops::NvmArg<BT_NVM_SET_T_##kind>(r))};     \
                 }});
        BT_NVM_PARAMS(BTOPS_NVM)
#undef BTOPS_NVM
        return v;
    }();
    return ops;
}

} // namespace btops
