#pragma once
// IBluetooth for phones that speak the binary test protocol: each operation becomes one
// fixed-size request record and one confirm record, sent through the legacy engine.

#include <array>
#include <cstdint>
#include <string>

#include "bt/bluetooth_engine.h"
#include "bt/ibluetooth.h"

class BluetoothLegacy : public IBluetooth {
public:
    BluetoothLegacy();
    ~BluetoothLegacy() override;

    // The command number is a T_ATCTST_BT_FUNCTION.
    uint8_t GetReqVersion(uint16_t command) override;
    uint8_t GetConVersion(uint16_t command) override;

    T_Result GetHwInfo(uint8_t version) override;
    T_Result Initialize(uint8_t version) override;
    // True when the exchange took place; *resetOk receives whether the phone's status was 1.
    bool ResetHci(uint8_t version, bool* resetOk) override;
    T_Result SetRfTestMode(uint8_t version, T_BT_SET_RF_TEST_MODE_REQ req) override;
    T_Result SetTxBurstMode(uint8_t version, T_BT_SET_TX_BURST_MODE_REQ req) override;
    T_Result SetTxContinuousMode(uint8_t version, T_BT_SET_TX_CONTINUOUS_MODE_REQ req) override;
    T_Result SetRxContinuousMode(uint8_t version, T_BT_SET_RX_CONTINUOUS_MODE_REQ req) override;
    T_Result SetTxLeMode(uint8_t version, T_BT_SET_TX_LE_MODE_REQ req) override;
    T_Result RxLeStart(uint8_t version, T_BT_RX_LE_START_REQ req) override;
    T_Result RxLeEnd(uint8_t version, T_BT_RX_LE_END_CON* con) override;
    // True when the exchange took place; *result receives 1 when the phone's status was 1.
    bool CheckHostInterface(uint8_t* result) override;
    bool CheckSleepxSignal(uint8_t* result) override;
    T_Result GetLumoraVersion(uint8_t version, T_BT_GET_LUMORA_VERSION_CON* con) override;
    T_Result GetRssiValue(uint8_t version, T_BT_GET_RSSI_VALUE_REQ req,
                          T_BT_GET_RSSI_VALUE_CON* con) override;
    T_Result GetRtrimValues(uint8_t version, T_BT_GET_RTRIM_VALUES_CON* con) override;
    T_Result SetRtrimManualValues(uint8_t version, T_BT_SET_RTRIM_MANUAL_VALUE_REQ req) override;
    T_Result GetKfreqIbiasdacValues(uint8_t version,
                                    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON* con) override;
    T_Result SetKfreqIbiasdacManualValues(uint8_t version,
                                          T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ req) override;
    T_Result GetTemperatureValues(uint8_t version, T_BT_GET_TEMPERATURE_VALUES_CON* con) override;
    T_Result SetTemperatureValues(uint8_t version, T_BT_SET_TEMPERATURE_VALUES_REQ req) override;
    T_Result GetVoltageValues(uint8_t version, T_BT_GET_VOLTAGE_VALUES_CON* con) override;
    T_Result SetVoltageValues(uint8_t version, T_BT_SET_VOLTAGE_VALUES_REQ req) override;
    T_Result SetPcmUartWakeupInterface(uint8_t version,
                                       T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ req) override;
    T_Result
    GetPcmUartWakeupInterfaceStatus(uint8_t version,
                                    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON* con) override;
    T_Result SetPcmLoopback(uint8_t version, T_BT_SET_PCM_LOOPBACK_REQ req) override;
    // The index is a T_BT_NVM_PARAM_TYPE; 0 for parameters outside the binary protocol.
    uint8_t GetNvmDataVersion(uint8_t index) override;
    T_Result HciCommand(uint8_t version, T_BT_HCI_COMMAND_REQ req, T_BT_HCI_COMMAND_CON* con,
                        int radix) override;

    // The 16 parameters of the binary protocol are read from the phone (once, then from the
    // cache until they are written); the other 27 are refused.
#define BT_LEGACY_GETTER(Camel, field, id, kind, transfer)                                         \
    T_Result GetNvm##Camel(uint8_t version, BT_NVM_VALUE_T_##kind* value) override;
    BT_NVM_PARAMS(BT_LEGACY_GETTER)
#undef BT_LEGACY_GETTER

    // A parameter is written only in the data version last read of it; one never read is
    // refused with code 2.
#define BT_LEGACY_SETTER(Camel, field, id, kind, transfer)                                         \
    T_Result SetNvm##Camel(uint8_t version, BT_NVM_SET_T_##kind value) override;
    BT_NVM_PARAMS(BT_LEGACY_SETTER)
#undef BT_LEGACY_SETTER

    T_Result ReadAllNvmParams(uint8_t version, T_BT_ALL_NVM_PARAMS* params) override;
    T_Result WriteAllNvmParams(uint8_t version, T_BT_ALL_NVM_PARAMS params) override;

    // Marks a T_BT_NVM_PARAM_TYPE without a wire id in the parameter map.
    static constexpr uint8_t kNoWireId = 0xFF;
    // The wire id (T_BT_NVM_PARAM) of a T_BT_NVM_PARAM_TYPE, or kNoWireId.
    uint8_t WireIdOf(uint32_t paramType) const;

private:
    // Reads one parameter through the engine's cache and checks its data version.
    T_Result ReadNvmParam(uint8_t version, uint32_t paramType, T_BT_NVM_VALUE* value);
    // Logs the set and writes `value` through the engine.
    T_Result WriteNvmParam(const T_BT_NVM_VALUE& value);
    T_Result GetSupportedNvm(uint8_t version, uint32_t paramType, void* out, void* cacheField,
                             std::size_t width);
    T_Result SetSupportedNvm(uint8_t version, uint32_t paramType, const void* bytes,
                             std::size_t width);
    static T_Result Refuse();

    // The request version check: code 2 with the record's name when the phone's version
    // of `function` differs from the caller's.
    bool RequestVersionDiffers(uint8_t version, T_ATCTST_BT_FUNCTION function,
                               const char* recordName, T_Result* result);
    T_Result StatusOnly(bool sent);

    LegacyEngine engine_;
    std::array<uint8_t, BNPT_MAX_COUNT> nvm_param_map_{};
};
