#include "zep/bluetoothzep.h"

#include <cstring>

#include "plugin/plugin.h"
#include "transport/host_info.h"

namespace {

constexpr char kHwInfoFailed[] = "Error: not able to retrieve BT HW information\n";
constexpr char kHciTooLong[] = "HCI command response data length above limit: 150";
constexpr char kNoValue[] = "No value to write";

template <typename T> bool IsMissing(T) {
    return false;
}
bool IsMissing(const uint8_t* value) {
    return value == nullptr;
}

} // namespace

BluetoothZep::BluetoothZep() : BluetoothZep(HostInfo::Instance().GetTransportService()) {}

BluetoothZep::BluetoothZep(ITransportService* transport) : command(transport), versions(command) {}

BluetoothZep::~BluetoothZep() = default;

uint8_t BluetoothZep::GetReqVersion(uint16_t opcode) {
    return versions.GetReqVersion(opcode);
}

uint8_t BluetoothZep::GetConVersion(uint16_t opcode) {
    return versions.GetConVersion(opcode);
}

void BluetoothZep::CheckVersion(Check check, uint8_t version, uint16_t opcode, T_Result& result) {
    switch (check) {
    case Check::Req:
        versions.CheckReqVersion(version, opcode, result);
        break;
    case Check::Con:
        versions.CheckConVersion(version, opcode, result);
        break;
    case Check::Both:
        versions.CheckVersions(version, opcode, result);
        break;
    }
}

template <typename Body>
T_Result BluetoothZep::Operate(Check check, uint8_t version, uint16_t opcode, Body&& body) {
    T_Result result;
    CheckVersion(check, version, opcode, result);
    int32_t code = 0;
    if (result.code == T_RESULT_OK) result.code = body(code);
    ReportResult(result, code);
    return result;
}

T_Result BluetoothZep::GetHwInfo(uint8_t version) {
    T_Result result;
    CheckVersion(Check::Con, version, HW_INFO, result);
    host_interface = 2;
    int32_t code = 0;
    if (result.code == T_RESULT_OK) {
        LogGetHwInfo(version);
        bt_on = 0;
        uint32_t hostInterface = 0, chipState = 0;
        result.code = command.hw_info(&hostInterface, &chipState, &code);
        if (result.code == T_RESULT_OK && code == 0) {
            host_interface = static_cast<uint8_t>(hostInterface);
            bt_on = static_cast<uint8_t>(chipState);
        } else if (result.code != T_RESULT_OK) {
            result.text = kHwInfoFailed;
        }
    }
    ReportResult(result, code);
    return result;
}

T_Result BluetoothZep::Initialize(uint8_t version) {
    return Operate(Check::Req, version, INITIALIZE, [&](int32_t& code) {
        LogInitialize(version);
        const uint8_t status = command.initialize(bt_on == 1 ? 0u : 1u, &code);
        if (status == T_RESULT_OK && code == 0) bt_on = bt_on == 1 ? 0 : 1;
        return status;
    });
}

bool BluetoothZep::ResetHci(uint8_t version, bool* resetOk) {
    int32_t phoneCode = -1;
    const T_Result result = Operate(Check::Req, version, RESET, [&](int32_t& code) {
        LogResetHci(version);
        const uint8_t status = command.reset(&code);
        phoneCode = code;
        return status;
    });
    if (resetOk != nullptr) *resetOk = result.code == T_RESULT_OK && phoneCode == 0;
    return result.code == T_RESULT_OK;
}

T_Result BluetoothZep::SetRfTestMode(uint8_t version, T_BT_SET_RF_TEST_MODE_REQ req) {
    return Operate(Check::Req, version, SET_RF_TEST_MODE, [&](int32_t& code) {
        LogSetRfTestMode(version, req);
        return command.set_rf_test_mode(req, &code);
    });
}

T_Result BluetoothZep::SetTxBurstMode(uint8_t version, T_BT_SET_TX_BURST_MODE_REQ req) {
    return Operate(Check::Req, version, SET_TX_BURST_MODE, [&](int32_t& code) {
        LogSetTxBurstMode(version, req);
        return command.set_tx_burst_mode(req, &code);
    });
}

T_Result BluetoothZep::SetTxContinuousMode(uint8_t version, T_BT_SET_TX_CONTINUOUS_MODE_REQ req) {
    return Operate(Check::Req, version, SET_TX_CONTINUOUS_MODE, [&](int32_t& code) {
        LogSetTxContinuousMode(version, req);
        return command.set_tx_continuous_mode(req, &code);
    });
}

T_Result BluetoothZep::SetRxContinuousMode(uint8_t version, T_BT_SET_RX_CONTINUOUS_MODE_REQ req) {
    return Operate(Check::Req, version, SET_RX_CONTINUOUS_MODE, [&](int32_t& code) {
        LogSetRxContinuousMode(version, req);
        return command.set_rx_continuous_mode(req, &code);
    });
}

T_Result BluetoothZep::SetTxLeMode(uint8_t version, T_BT_SET_TX_LE_MODE_REQ req) {
    return Operate(Check::Req, version, SET_TX_LE_MODE, [&](int32_t& code) {
        LogSetTxLeMode(version, req);
        return command.set_tx_le_mode(req, &code);
    });
}

T_Result BluetoothZep::RxLeStart(uint8_t version, T_BT_RX_LE_START_REQ req) {
    return Operate(Check::Req, version, RX_LE_START, [&](int32_t& code) {
        LogRxLeStart(version, req);
        return command.rx_le_start(req, &code);
    });
}

// The confirm-reading operations report the code the reply left in the record's result.
// Without a reply the record still holds the caller's old values, which say nothing.
#define BT_ZEP_READ(Operation, method)                                                             \
    [&](int32_t& code) {                                                                           \
        Log##Operation(version);                                                                   \
        const uint8_t status = command.method(out);                                                \
        if (command.reply_read()) code = out->result;                                              \
        return status;                                                                             \
    }

T_Result BluetoothZep::RxLeEnd(uint8_t version, T_BT_RX_LE_END_CON* con) {
    T_BT_RX_LE_END_CON local{};
    T_BT_RX_LE_END_CON* out = con != nullptr ? con : &local;
    return Operate(Check::Con, version, RX_LE_END, BT_ZEP_READ(RxLeEnd, rx_le_end));
}

bool BluetoothZep::CheckHostInterface(uint8_t* result) {
    LogCheckHostInterface();
    if (result != nullptr) *result = 0;
    return false;
}

bool BluetoothZep::CheckSleepxSignal(uint8_t* result) {
    LogCheckSleepxSignal();
    if (result != nullptr) *result = 0;
    return false;
}

T_Result BluetoothZep::GetLumoraVersion(uint8_t version, T_BT_GET_LUMORA_VERSION_CON* con) {
    T_BT_GET_LUMORA_VERSION_CON local{};
    T_BT_GET_LUMORA_VERSION_CON* out = con != nullptr ? con : &local;
    return Operate(Check::Con, version, GET_LUMORA_VERSION,
                   BT_ZEP_READ(GetLumoraVersion, get_lumora_version));
}

T_Result BluetoothZep::GetRssiValue(uint8_t version, T_BT_GET_RSSI_VALUE_REQ req,
                                    T_BT_GET_RSSI_VALUE_CON* con) {
    T_BT_GET_RSSI_VALUE_CON local{};
    T_BT_GET_RSSI_VALUE_CON* out = con != nullptr ? con : &local;
    return Operate(Check::Both, version, GET_RSSI_VALUE, [&](int32_t& code) {
        LogGetRssiValue(version, req);
        const uint8_t status = command.get_rssi_value(req, out);
        if (command.reply_read()) code = out->result;
        return status;
    });
}

T_Result BluetoothZep::GetRtrimValues(uint8_t version, T_BT_GET_RTRIM_VALUES_CON* con) {
    T_BT_GET_RTRIM_VALUES_CON local{};
    T_BT_GET_RTRIM_VALUES_CON* out = con != nullptr ? con : &local;
    return Operate(Check::Con, version, GET_RTRIM_VALUES,
                   BT_ZEP_READ(GetRtrimValues, get_rtrim_values));
}

T_Result BluetoothZep::SetRtrimManualValues(uint8_t version, T_BT_SET_RTRIM_MANUAL_VALUE_REQ req) {
    return Operate(Check::Req, version, SET_RTRIM_MANUAL_VALUES, [&](int32_t& code) {
        LogSetRtrimManualValues(version, req);
        return command.set_rtrim_manual_values(req, &code);
    });
}

T_Result BluetoothZep::GetKfreqIbiasdacValues(uint8_t version,
                                              T_BT_GET_KFREQ_IBIASDAC_VALUES_CON* con) {
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON local{};
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON* out = con != nullptr ? con : &local;
    return Operate(Check::Con, version, GET_KFREQ_IBIASDAC_VALUES,
                   BT_ZEP_READ(GetKfreqIbiasdacValues, get_kfreq_ibiasdac_values));
}

T_Result BluetoothZep::SetKfreqIbiasdacManualValues(uint8_t version,
                                                    T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ req) {
    return Operate(Check::Req, version, SET_KFREQ_IBIASDAC_MANUAL_VALUES, [&](int32_t& code) {
        LogSetKfreqIbiasdacManualValues(version, req);
        return command.set_kfreq_ibiasdac_manual_values(req, &code);
    });
}

T_Result BluetoothZep::GetTemperatureValues(uint8_t version, T_BT_GET_TEMPERATURE_VALUES_CON* con) {
    T_BT_GET_TEMPERATURE_VALUES_CON local{};
    T_BT_GET_TEMPERATURE_VALUES_CON* out = con != nullptr ? con : &local;
    return Operate(Check::Con, version, GET_TEMPERATURE_VALUES,
                   BT_ZEP_READ(GetTemperatureValues, get_temperature_values));
}

T_Result BluetoothZep::SetTemperatureValues(uint8_t version, T_BT_SET_TEMPERATURE_VALUES_REQ req) {
    return Operate(Check::Req, version, SET_TEMPERATURE_VALUES, [&](int32_t& code) {
        LogSetTemperatureValues(version, req);
        return command.set_temperature_values(req, &code);
    });
}

T_Result BluetoothZep::GetVoltageValues(uint8_t version, T_BT_GET_VOLTAGE_VALUES_CON* con) {
    T_BT_GET_VOLTAGE_VALUES_CON local{};
    T_BT_GET_VOLTAGE_VALUES_CON* out = con != nullptr ? con : &local;
    return Operate(Check::Con, version, GET_VOLTAGE_VALUES,
                   BT_ZEP_READ(GetVoltageValues, get_voltage_values));
}

T_Result BluetoothZep::SetVoltageValues(uint8_t version, T_BT_SET_VOLTAGE_VALUES_REQ req) {
    return Operate(Check::Req, version, SET_VOLTAGE_VALUES, [&](int32_t& code) {
        LogSetVoltageValues(version, req);
        return command.set_voltage_values(req, &code);
    });
}

T_Result BluetoothZep::SetPcmUartWakeupInterface(uint8_t version,
                                                 T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ req) {
    return Operate(Check::Req, version, SET_PCM_UART_WAKEUP_INTERFACE, [&](int32_t& code) {
        LogSetPcmUartWakeupInterface(version, req);
        return command.set_pcm_uart_wakeup_interface(req, &code);
    });
}

T_Result
BluetoothZep::GetPcmUartWakeupInterfaceStatus(uint8_t version,
                                              T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON* con) {
    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON local{};
    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON* out = con != nullptr ? con : &local;
    return Operate(
        Check::Con, version, GET_PCM_UART_WAKEUP_INTERFACE_STATUS,
        BT_ZEP_READ(GetPcmUartWakeupInterfaceStatus, get_pcm_uart_wakeup_interface_status));
}

#undef BT_ZEP_READ

T_Result BluetoothZep::SetPcmLoopback(uint8_t version, T_BT_SET_PCM_LOOPBACK_REQ req) {
    return Operate(Check::Req, version, SET_PCM_LOOPBACK, [&](int32_t& code) {
        LogSetPcmLoopback(version, req);
        return command.set_pcm_loopback(req, &code);
    });
}

uint8_t BluetoothZep::GetNvmDataVersion(uint8_t) {
    return GetConVersion(READ_FROM_NVM);
}

T_Result BluetoothZep::HciCommand(uint8_t version, T_BT_HCI_COMMAND_REQ req,
                                  T_BT_HCI_COMMAND_CON* con, int radix) {
    T_BT_HCI_COMMAND_CON local{};
    T_BT_HCI_COMMAND_CON* out = con != nullptr ? con : &local;
    T_Result result;
    CheckVersion(Check::Both, version, HCI_COMMAND, result);
    int32_t code = 0;
    if (result.code == T_RESULT_OK) {
        LogHciCommand(version, req, radix);
        result.code = command.hci_command(req, out);
        // Only a reply fills the record: after a failed exchange its length and code are
        // the caller's old values, and the failure is reported as what it is.
        if (command.reply_read()) {
            code = out->result;
            if (out->length > kHciDataSize) {
                result.code = T_RESULT_DATA_TOO_LONG;
                result.text = kHciTooLong;
            }
        }
    }
    ReportResult(result, code);
    return result;
}

#define BT_NVM_SETTER(Camel, field, id, kind, transfer)                                            \
    T_Result BluetoothZep::SetNvm##Camel(uint8_t version, BT_NVM_SET_T_##kind value) {             \
        if (IsMissing(value)) return T_Result{T_RESULT_ERROR, kNoValue};                           \
        return Operate(Check::Req, version, WRITE_TO_NVM, [&](int32_t&) {                          \
            ShowLine("Setting NVM: " + t_nvm_param_type_to_string(id), 1);                         \
            int32_t phoneCode = 0;                                                                 \
            return command.write_nvm_##field(value, &phoneCode);                                   \
        });                                                                                        \
    }
BT_NVM_PARAMS(BT_NVM_SETTER)
#undef BT_NVM_SETTER

T_Result BluetoothZep::ReadAllNvmParams(uint8_t version, T_BT_ALL_NVM_PARAMS* params) {
    T_BT_ALL_NVM_PARAMS local{};
    T_BT_ALL_NVM_PARAMS* out = params != nullptr ? params : &local;
    return Operate(Check::Con, version, READ_FROM_NVM, [&](int32_t&) {
        ShowLine("Getting NVM: All NVM parameters", 1);
        const uint8_t status = command.read_all_nvm_params(out);
        std::memcpy(&nvm_params, out, sizeof nvm_params);
        return status;
    });
}

T_Result BluetoothZep::WriteAllNvmParams(uint8_t version, T_BT_ALL_NVM_PARAMS params) {
    return Operate(Check::Req, version, WRITE_TO_NVM, [&](int32_t&) {
        ShowLine("Setting NVM: All NVM parameters", 1);
        T_BT_WRITE_ALL_NVM_PARAMS_CON reply;
        return command.write_all_nvm_params(params, &reply);
    });
}
