#include "zep/zep_engine.h"

#include "bt/ibluetooth.h"
#include "plugin/plugin.h"
#include "transport/itransportservice.h"

void ReportResult(T_Result& result, int32_t phoneCode) {
    switch (result.code) {
    case T_RESULT_OK:
        ShowOk();
        break;
    case T_RESULT_FAILED:
        ReportHostError();
        result.text = "Error: communication error";
        break;
    case ITransportService::kNotSent:
        // The transport has logged why; the host's last error is not about this command.
        result.code = T_RESULT_FAILED;
        result.text = "Error: communication error";
        break;
    case T_RESULT_ERROR:
        result.text = t_result_to_string(phoneCode != 0 ? phoneCode : -1);
        ShowLine(result.text, 1);
        break;
    default:
        break;
    }
}

OpcodeVersionTable::OpcodeVersionTable(MANAGED_IF::bt& command) : command_(command) {}

bool OpcodeVersionTable::IsKnown(uint16_t opcode) const {
    return opcode < kEntries && entries_[opcode].known == 1;
}

T_Result OpcodeVersionTable::GetOpcodeVersions(uint16_t opcode, OpcodeVersions* versions) {
    OpcodeVersions local;
    OpcodeVersions& out = versions != nullptr ? *versions : local;
    T_Result result;
    if (IsKnown(opcode)) {
        const Entry& e = entries_[opcode];
        out = OpcodeVersions{e.request, e.confirm, e.result};
        return result;
    }
    const std::string name = t_opcode_to_string(opcode);
    ShowLine("Get header version for opcode " + name, 1);
    OpcodeVersions asked;
    result.code = command_.get_opcode_version(opcode, &asked);
    ReportResult(result, asked.result);
    if (result.code != T_RESULT_OK) {
        out = OpcodeVersions{};
        return result;
    }
    out = asked;
    if (opcode < kEntries) entries_[opcode] = Entry{1, asked.request, asked.confirm, asked.result};
    ShowLine("Opcode versions for " + name + " is req=" + std::to_string(asked.request) +
                 " con=" + std::to_string(asked.confirm),
             1);
    return result;
}

uint8_t OpcodeVersionTable::GetReqVersion(uint16_t opcode) {
    OpcodeVersions versions;
    GetOpcodeVersions(opcode, &versions);
    return versions.request;
}

uint8_t OpcodeVersionTable::GetConVersion(uint16_t opcode) {
    OpcodeVersions versions;
    GetOpcodeVersions(opcode, &versions);
    return versions.confirm;
}

namespace {

void Compare(uint8_t version, uint8_t actual, uint16_t opcode, const char* which,
             T_Result& result) {
    if (version == actual) {
        result.code = T_RESULT_OK;
        return;
    }
    result.code = T_RESULT_VERSION_MISMATCH;
    result.text =
        IBluetooth::FormatVersionMismatch(t_opcode_to_string(opcode) + which, version, actual);
}

} // namespace

void OpcodeVersionTable::CheckReqVersion(uint8_t version, uint16_t opcode, T_Result& result) {
    Compare(version, GetReqVersion(opcode), opcode, " Req", result);
}

void OpcodeVersionTable::CheckConVersion(uint8_t version, uint16_t opcode, T_Result& result) {
    Compare(version, GetConVersion(opcode), opcode, " Con", result);
}

void OpcodeVersionTable::CheckVersions(uint8_t version, uint16_t opcode, T_Result& result) {
    OpcodeVersions versions;
    GetOpcodeVersions(opcode, &versions);
    if (version != versions.request)
        Compare(version, versions.request, opcode, " Req", result);
    else
        Compare(version, versions.confirm, opcode, " Con", result);
}
