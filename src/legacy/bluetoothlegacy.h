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
    // The index is a T_BT_NVM_PARAM_TYPE; 0 for parameters outside the binary protocol.
    uint8_t GetNvmDataVersion(uint8_t index) override;

    // ResetHci and the two checks are true when the exchange took place and say whether
    // the phone's status was 1 in *resetOk and *result; ReadAllNvmParams and
    // WriteAllNvmParams are refused.
    BT_OPERATIONS(BT_OP_OVERRIDE)

    // The 16 parameters of the binary protocol are read from the phone (once, then from the
    // cache until they are written); the other 27 are refused.
#define BT_LEGACY_GETTER(Camel, field, id, kind, transfer, units)                                         \
    T_Result GetNvm##Camel(uint8_t version, BT_NVM_VALUE_T_##kind* value) override;
    BT_NVM_PARAMS(BT_LEGACY_GETTER)
#undef BT_LEGACY_GETTER

    // A parameter is written only in the data version last read of it; one never read is
    // refused with code 2.
#define BT_LEGACY_SETTER(Camel, field, id, kind, transfer, units)                                         \
    T_Result SetNvm##Camel(uint8_t version, BT_NVM_SET_T_##kind value) override;
    BT_NVM_PARAMS(BT_LEGACY_SETTER)
#undef BT_LEGACY_SETTER

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
    // The same, naming the request record of `F`.
    template <T_ATCTST_BT_FUNCTION F> bool RequestRecordDiffers(uint8_t version, T_Result* result);
    // Sends a request whose confirm is the status alone: code 1 unless it is 1.
    template <T_ATCTST_BT_FUNCTION F> T_Result Sent(const LegacyRequest<F>& request);
    // Exchanges `request` (or none) and hands a confirm of the caller's data version to
    // `out`: a failed exchange is code 1, a confirm of another data version code 2.
    template <T_ATCTST_BT_FUNCTION F, typename Out>
    T_Result Delivered(uint8_t version, const LegacyRequest<F>* request, Out* out);
    // The bodies of the operations that follow their shape (bt/operations.h); each of
    // those overrides is one call of its shape's body.
    template <typename Op, typename Request> T_Result SetBody(uint8_t version, const Request& req);
    template <typename Op, typename Confirm> T_Result GetBody(uint8_t version, Confirm* con);
    template <typename Op, typename Request, typename Confirm>
    T_Result QueryBody(uint8_t version, const Request& req, Confirm* con);
    template <typename Op> bool CheckBody(uint8_t* result);

    LegacyEngine engine_;
    std::array<uint8_t, BNPT_MAX_COUNT> nvm_param_map_{};
};
