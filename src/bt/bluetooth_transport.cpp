#include "bt/bluetooth_transport.h"

#include <algorithm>
#include <iterator>

uint8_t LegacyConfirmBuffer[kLegacyConfirmBufferSize] = {};
TOpcodeVersionEntry LegacyOpcodeVersionTable[ATCTST_BT_FUNCTION_COUNT] = {};

bool HostBluetoothGeneric::Call(int32_t opcode, uint16_t requestLength, const uint8_t* request,
                                uint16_t* confirmLength, uint8_t* confirm) {
    const VRX_bluetooth_generic_t slot = host::BluetoothGenericSlot();
    if (slot == nullptr) return false;
    return slot(opcode, requestLength, request, confirmLength, confirm, ComHandle) != 0;
}

namespace legacy_framing {

std::string SizeWarning(uint16_t function, uint32_t expected, uint32_t actual) {
    return "WARNING ---> " + t_atctst_function_to_string(function) +
           " - Datasize from target does not match expected data size\n" +
           "Expected data size :" + std::to_string(expected) +
           "   Actual data size :" + std::to_string(actual);
}

std::string VersionAnswerText(uint16_t function, const OpcodeVersion& version) {
    switch (version.status) {
    case 1:
        return "Opcode versions for " + t_atctst_function_to_string(function) +
               " is req=" + std::to_string(version.request_version) +
               " con=" + std::to_string(version.confirm_version);
    case 2:
        return "Opcode for " + t_atctst_function_to_string(function) + " is not supported";
    default:
        return {};
    }
}

namespace detail {
void ClearOpcodeVersionTable() {
    std::fill(std::begin(LegacyOpcodeVersionTable), std::end(LegacyOpcodeVersionTable),
              TOpcodeVersionEntry{});
}
} // namespace detail

} // namespace legacy_framing
