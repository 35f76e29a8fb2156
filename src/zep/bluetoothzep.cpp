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

void BluetoothZep::CheckVersion(VersionCheck check, uint8_t version, uint16_t opcode,
                                T_Result& result) {
    switch (check) {
    case VersionCheck::None:
        break;
    case VersionCheck::Req:
        versions.CheckReqVersion(version, opcode, result);
        break;
    case VersionCheck::Con:
        versions.CheckConVersion(version, opcode, result);
        break;
    case VersionCheck::Both:
        versions.CheckVersions(version, opcode, result);
        break;
    }
}

template <typename Body>
T_Result BluetoothZep::Operate(VersionCheck check, uint8_t version, uint16_t opcode, Body&& body) {
    T_Result result;
    CheckVersion(check, version, opcode, result);
    int32_t code = 0;
    if (result.code == T_RESULT_OK) result.code = body(code);
    ReportResult(result, code);
    return result;
}

// --- the operations that follow their shape ----------------------------------------------

// The confirm-reading operations report the code the reply left in the record's result.
// Without a reply the record still holds the caller's old values, which say nothing.
#define BT_ZEP_BODY_Set(Name, Request, Confirm, Opcode, Command, Check)                            \
    BT_OP_SIGNATURE_Set(BluetoothZep::Name, Request, Confirm) {                                    \
        return Operate(VersionCheck::Check, version, Opcode, [&](int32_t& code) {                  \
            Log##Name(req);                                                                        \
            return command.Command(req, &code);                                                    \
        });                                                                                        \
    }
#define BT_ZEP_BODY_Get(Name, Request, Confirm, Opcode, Command, Check)                            \
    BT_OP_SIGNATURE_Get(BluetoothZep::Name, Request, Confirm) {                                    \
        Confirm local{};                                                                           \
        Confirm* out = con != nullptr ? con : &local;                                              \
        return Operate(VersionCheck::Check, version, Opcode, [&](int32_t& code) {                  \
            Log##Name();                                                                           \
            const uint8_t status = command.Command(out);                                           \
            if (command.reply_read()) code = out->result;                                          \
            return status;                                                                         \
        });                                                                                        \
    }
#define BT_ZEP_BODY_Query(Name, Request, Confirm, Opcode, Command, Check)                          \
    BT_OP_SIGNATURE_Query(BluetoothZep::Name, Request, Confirm) {                                  \
        Confirm local{};                                                                           \
        Confirm* out = con != nullptr ? con : &local;                                              \
        return Operate(VersionCheck::Check, version, Opcode, [&](int32_t& code) {                  \
            Log##Name(req);                                                                        \
            const uint8_t status = command.Command(req, out);                                      \
            if (command.reply_read()) code = out->result;                                          \
            return status;                                                                         \
        });                                                                                        \
    }
#define BT_ZEP_BODY_Check(Name, Request, Confirm, Opcode, Command, Check)                          \
    BT_OP_SIGNATURE_Check(BluetoothZep::Name, Request, Confirm) {                                  \
        static_assert(VersionCheck::Check == VersionCheck::None);                                  \
        Log##Name();                                                                               \
        if (result != nullptr) *result = 0;                                                        \
        return false;                                                                              \
    }
#define BT_ZEP_BODY_OwnVer(...)
#define BT_ZEP_BODY_OwnReset(...)
#define BT_ZEP_BODY_OwnHci(...)
#define BT_ZEP_BODY_OwnSet(...)
#define BT_ZEP_BODY_OwnGet(...)
#define BT_ZEP_BODY(Name, Shape, Request, Confirm, Function, Opcode, Command, Check, Action)       \
    BT_ZEP_BODY_##Shape(Name, Request, Confirm, Opcode, Command, Check)
BT_OPERATIONS(BT_ZEP_BODY)

// --- the operations of their own -------------------------------------------------------

T_Result BluetoothZep::GetHwInfo(uint8_t version) {
    using Op = bt_op::GetHwInfo;
    T_Result result;
    CheckVersion(Op::check, version, Op::opcode, result);
    host_interface = 2;
    int32_t code = 0;
    if (result.code == T_RESULT_OK) {
        LogGetHwInfo();
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
    using Op = bt_op::Initialize;
    return Operate(Op::check, version, Op::opcode, [&](int32_t& code) {
        LogInitialize();
        const uint8_t status = command.initialize(bt_on == 1 ? 0u : 1u, &code);
        if (status == T_RESULT_OK && code == 0) bt_on = bt_on == 1 ? 0 : 1;
        return status;
    });
}

bool BluetoothZep::ResetHci(uint8_t version, bool* resetOk) {
    using Op = bt_op::ResetHci;
    int32_t phoneCode = -1;
    const T_Result result = Operate(Op::check, version, Op::opcode, [&](int32_t& code) {
        LogResetHci();
        const uint8_t status = command.reset(&code);
        phoneCode = code;
        return status;
    });
    if (resetOk != nullptr) *resetOk = result.code == T_RESULT_OK && phoneCode == 0;
    return result.code == T_RESULT_OK;
}

uint8_t BluetoothZep::GetNvmDataVersion(uint8_t) {
    return GetConVersion(READ_FROM_NVM);
}

T_Result BluetoothZep::HciCommand(uint8_t version, T_BT_HCI_COMMAND_REQ req,
                                  T_BT_HCI_COMMAND_CON* con, int radix) {
    T_BT_HCI_COMMAND_CON local{};
    T_BT_HCI_COMMAND_CON* out = con != nullptr ? con : &local;
    using Op = bt_op::HciCommand;
    T_Result result;
    CheckVersion(Op::check, version, Op::opcode, result);
    int32_t code = 0;
    if (result.code == T_RESULT_OK) {
        LogHciCommand(req, radix);
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
        return Operate(VersionCheck::Req, version, WRITE_TO_NVM, [&](int32_t&) {                   \
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
    using Op = bt_op::ReadAllNvmParams;
    return Operate(Op::check, version, Op::opcode, [&](int32_t&) {
        LogReadAllNvmParams();
        const uint8_t status = command.read_all_nvm_params(out);
        std::memcpy(&nvm_params, out, sizeof nvm_params);
        return status;
    });
}

T_Result BluetoothZep::WriteAllNvmParams(uint8_t version, T_BT_ALL_NVM_PARAMS params) {
    using Op = bt_op::WriteAllNvmParams;
    return Operate(Op::check, version, Op::opcode, [&](int32_t&) {
        LogWriteAllNvmParams(params);
        T_BT_WRITE_ALL_NVM_PARAMS_CON reply;
        return command.write_all_nvm_params(params, &reply);
    });
}
