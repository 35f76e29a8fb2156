#pragma once
// The host's side of the three link slots, served by a phone simulator in the same process:
// slot 18 (binary test functions), slot 54 (text commands through the I/O library) and
// slot 175 (text commands through the host's send-and-receive service). The station and
// the tests' fake host put these functions into their host function tables.
//
// The slots are plain C function pointers, so they reach their simulator through one
// process-wide binding: only one simulator is served at a time. With none bound every slot
// fails (returns 0) and writes nothing.
//
// As a host must, they never write more than 15000 bytes into the slot-18 confirm buffer
// nor more than 512 bytes into the slot-54 response buffer (a longer text reply is cut to
// 512 bytes and reported as 512).

#include <cstdint>

#include "phone/phonesim.h"

namespace phonesim {

// Layout of the reply text object of slot 175 (owned by the caller; the host fills it with
// assign, the last call wins).
struct SlotHostText {
    void (*assign)(SlotHostText* self, const char* data, uint32_t length);
    void* context;
};

// Size of the command and response buffers of slot 54.
constexpr std::size_t kZepBufferSize = 512;

// Makes `sim` the simulator the slots serve (null: none). Returns the previous one.
Simulator* BindHostSlots(Simulator* sim);
Simulator* BoundSimulator();

} // namespace phonesim

// The slot functions with the host's signatures (C linkage, as the table's callers expect).
extern "C" {
uint8_t PhonesimBluetoothGeneric(int32_t function, uint16_t requestLength, const uint8_t* request,
                                 uint16_t* confirmLength, uint8_t* confirm, int32_t comHandle);
uint8_t PhonesimZepGeneric(int32_t zero, uint16_t commandLength, const uint8_t* command,
                           uint16_t* responseLength, uint8_t* response, int32_t comHandle);
uint8_t PhonesimZepSendReceive(const char* command, phonesim::SlotHostText* reply, int32_t a,
                               int32_t b, int32_t c, int32_t d);
}

namespace phonesim {

// The slot function for table entry `slot` (18, 54 or 175) as a table entry; null otherwise.
void* HostSlotEntry(int slot);

} // namespace phonesim
