#pragma once
// The host function table and typed access to the slots the plug-in calls.

#include <cstddef>
#include <cstdint>

#include "plugin/log.h"

extern "C" {

// The reply text object of slot 175: the host fills it by calling assign (the last call
// wins); context belongs to the plug-in.
typedef struct HostText {
    void (*assign)(struct HostText* self, const char* data, uint32_t length);
    void* context;
} HostText;

typedef const char* (*VRX_get_last_error_t)(void);
typedef uint8_t (*VRX_bluetooth_generic_t)(int32_t opcode, uint16_t requestLength,
                                           const uint8_t* request, uint16_t* confirmLength,
                                           uint8_t* confirm, int32_t comHandle);
typedef uint8_t (*VRX_zep_generic_t)(int32_t zero, uint16_t commandLength, const uint8_t* command,
                                     uint16_t* responseLength, uint8_t* response,
                                     int32_t comHandle);
typedef uint8_t (*VRXIO_ResetTimeoutDelay_t)(void);
typedef uint8_t (*VRXIO_SetTimeOutDelay_t)(int32_t delay);
typedef uint8_t (*TSI_GetInfoAsInt_t)(int32_t item, int32_t* value);
typedef uint8_t (*ZEP_SendReceive_t)(const char* command, HostText* reply, int32_t a, int32_t b,
                                     int32_t c, int32_t d);
}

namespace host {

constexpr int kSlotCount = 216;
constexpr std::size_t kTableBytes = kSlotCount * sizeof(void*);

enum Slot : int {
    kGetLastError = 3,
    kBluetoothGeneric = 18,
    kZepGeneric = 54,
    kResetTimeoutDelay = 147,
    kSetTimeOutDelay = 149,
    kGetInfoAsInt = 174,
    kZepSendReceive = 175,
};

// Size of the buffers that slot 54 takes and fills.
constexpr std::size_t kZepBufferSize = 512;
// Size of the confirm buffer handed to slot 18; a host never writes more.
constexpr std::size_t kConfirmBufferSize = 15000;

} // namespace host

// The plug-in's copy of the host's table: slot i is HostFunctions[i].
extern void* HostFunctions[host::kSlotCount];

// Replaces the whole table: zeroes it, then copies min(sizeInBytes, table size) bytes.
// A null table or a size below 1 leaves it as it was.
void SetFuncInterface(const void* table, int32_t sizeInBytes);

namespace host {

template <typename F> F SlotAs(int slot) {
    return reinterpret_cast<F>(HostFunctions[slot]);
}

inline VRX_get_last_error_t GetLastErrorSlot() {
    return SlotAs<VRX_get_last_error_t>(kGetLastError);
}
inline VRX_bluetooth_generic_t BluetoothGenericSlot() {
    return SlotAs<VRX_bluetooth_generic_t>(kBluetoothGeneric);
}
inline VRX_zep_generic_t ZepGenericSlot() {
    return SlotAs<VRX_zep_generic_t>(kZepGeneric);
}
inline VRXIO_ResetTimeoutDelay_t ResetTimeoutDelaySlot() {
    return SlotAs<VRXIO_ResetTimeoutDelay_t>(kResetTimeoutDelay);
}
inline VRXIO_SetTimeOutDelay_t SetTimeOutDelaySlot() {
    return SlotAs<VRXIO_SetTimeOutDelay_t>(kSetTimeOutDelay);
}
inline TSI_GetInfoAsInt_t GetInfoAsIntSlot() {
    return SlotAs<TSI_GetInfoAsInt_t>(kGetInfoAsInt);
}
inline ZEP_SendReceive_t ZepSendReceiveSlot() {
    return SlotAs<ZEP_SendReceive_t>(kZepSendReceive);
}

} // namespace host
