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
    // The confirm version of READ_FROM_NVM, whatever the index.
    uint8_t GetNvmDataVersion(uint8_t index) override;

    // CheckHostInterface and CheckSleepxSignal have no text command: they log, set *result
    // to 0 and return false. A HCI reply length above 150 gives status 4. ReadAllNvmParams
    // puts the caller's record into the cache whenever the version check passed, also
    // after a failed read.
    BT_OPERATIONS(BT_OP_OVERRIDE)

    // The phone's result code of a write does not change the outcome; only the status does.
#define BT_NVM_SETTER(Camel, field, id, kind, transfer, units)                                            \
    T_Result SetNvm##Camel(uint8_t version, BT_NVM_SET_T_##kind value) override;
    BT_NVM_PARAMS(BT_NVM_SETTER)
#undef BT_NVM_SETTER

    const OpcodeVersionTable& Versions() const {
        return versions;
    }

private:
    void CheckVersion(VersionCheck check, uint8_t version, uint16_t opcode, T_Result& result);
    // The common shape: check, then (on status 0) `body` logs and exchanges and returns
    // the status, leaving the phone's code in its argument; then ReportResult.
    template <typename Body>
    T_Result Operate(VersionCheck check, uint8_t version, uint16_t opcode, Body&& body);
    // The bodies of the operations that follow their shape (bt/operations.h); each of
    // those overrides is one call of its shape's body.
    template <typename Op, typename Request> T_Result SetBody(uint8_t version, const Request& req);
    template <typename Op, typename Confirm> T_Result GetBody(uint8_t version, Confirm* con);
    template <typename Op, typename Request, typename Confirm>
    T_Result QueryBody(uint8_t version, const Request& req, Confirm* con);
    template <typename Op> bool CheckBody(uint8_t* result);

    MANAGED_IF::bt command;
    OpcodeVersionTable versions;
};
