#pragma once
// IBluetooth over the text command protocol.

#include <cstdint>

#include "bt/ibluetooth.h"
#include "zep/managed_if.h"
#include "zep/zep_engine.h"

class ITransportService;

class BluetoothZep : public IBluetooth {
public:
    // Uses the transport the host's interface kind selects.
    BluetoothZep();
    // Uses `transport`, which stays owned by the caller.
    explicit BluetoothZep(ITransportService* transport);
    ~BluetoothZep() override;

    uint8_t GetReqVersion(uint16_t command) override;
    uint8_t GetConVersion(uint16_t command) override;

    T_Result GetHwInfo(uint8_t version) override;
    T_Result Initialize(uint8_t version) override;
    bool ResetHci(uint8_t version, bool* resetOk) override;
    T_Result SetRfTestMode(uint8_t version, T_BT_SET_RF_TEST_MODE_REQ req) override;
    T_Result SetTxBurstMode(uint8_t version, T_BT_SET_TX_BURST_MODE_REQ req) override;
    T_Result SetTxContinuousMode(uint8_t version, T_BT_SET_TX_CONTINUOUS_MODE_REQ req) override;
    T_Result SetRxContinuousMode(uint8_t version, T_BT_SET_RX_CONTINUOUS_MODE_REQ req) override;
    T_Result SetTxLeMode(uint8_t version, T_BT_SET_TX_LE_MODE_REQ req) override;
    T_Result RxLeStart(uint8_t version, T_BT_RX_LE_START_REQ req) override;
    T_Result RxLeEnd(uint8_t version, T_BT_RX_LE_END_CON* con) override;
    // No text command exists for these two: they log, set *result to 0 and return false.
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
    // The confirm version of READ_FROM_NVM, whatever the index.
    uint8_t GetNvmDataVersion(uint8_t index) override;
    // A reply length above 150 gives status 4.
    T_Result HciCommand(uint8_t version, T_BT_HCI_COMMAND_REQ req, T_BT_HCI_COMMAND_CON* con,
                        int radix) override;

    // The phone's result code of a write does not change the outcome; only the status does.
#define BT_NVM_SETTER(Camel, field, id, kind, transfer)                                            \
    T_Result SetNvm##Camel(uint8_t version, BT_NVM_SET_T_##kind value) override;
    BT_NVM_PARAMS(BT_NVM_SETTER)
#undef BT_NVM_SETTER

    // The caller's record goes into the cache whenever the version check passed, also
    // after a failed read.
    T_Result ReadAllNvmParams(uint8_t version, T_BT_ALL_NVM_PARAMS* params) override;
    T_Result WriteAllNvmParams(uint8_t version, T_BT_ALL_NVM_PARAMS params) override;

    const OpcodeVersionTable& Versions() const {
        return versions;
    }

private:
    enum class Check { Req, Con, Both };

    void CheckVersion(Check check, uint8_t version, uint16_t opcode, T_Result& result);
    // The common shape: check, then (on status 0) `body` logs and exchanges and returns
    // the status, leaving the phone's code in its argument; then ReportResult.
    template <typename Body>
    T_Result Operate(Check check, uint8_t version, uint16_t opcode, Body&& body);

    MANAGED_IF::bt command;
    OpcodeVersionTable versions;
};
