#include "phone/host_slots.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace phonesim {
namespace {

Simulator* Bound = nullptr;

} // namespace

Simulator* BindHostSlots(Simulator* sim) {
    Simulator* previous = Bound;
    Bound = sim;
    return previous;
}

Simulator* BoundSimulator() {
    return Bound;
}

void* HostSlotEntry(int slot) {
    switch (slot) {
    case 18:
        return reinterpret_cast<void*>(&PhonesimBluetoothGeneric);
    case 54:
        return reinterpret_cast<void*>(&PhonesimZepGeneric);
    case 175:
        return reinterpret_cast<void*>(&PhonesimZepSendReceive);
    default:
        return nullptr;
    }
}

} // namespace phonesim

extern "C" uint8_t PhonesimBluetoothGeneric(int32_t function, uint16_t requestLength,
                                            const uint8_t* request, uint16_t* confirmLength,
                                            uint8_t* confirm, int32_t /*comHandle*/) {
    phonesim::Simulator* sim = phonesim::Bound;
    if (sim == nullptr || (request == nullptr && requestLength > 0)) return 0;
    const std::span<const uint8_t> bytes(request, request ? requestLength : 0);
    const phonesim::BinaryAnswer answer = sim->HandleBinary(function, bytes);
    if (!answer.hostOk) return 0;
    // The caller's buffer is 15000 bytes and it does not say so: never write more.
    const std::size_t written = std::min(answer.confirm.size(), phonesim::kConfirmBufferSize);
    if (confirm != nullptr && written > 0) std::memcpy(confirm, answer.confirm.data(), written);
    if (confirmLength != nullptr)
        *confirmLength = static_cast<uint16_t>(std::min<uint32_t>(answer.reportedLength, 0xFFFF));
    return 1;
}

extern "C" uint8_t PhonesimZepGeneric(int32_t /*zero*/, uint16_t commandLength,
                                      const uint8_t* command, uint16_t* responseLength,
                                      uint8_t* response, int32_t /*comHandle*/) {
    phonesim::Simulator* sim = phonesim::Bound;
    if (sim == nullptr || (command == nullptr && commandLength > 0)) return 0;
    // The command buffer holds 512 bytes; a longer length cannot be read from it.
    const std::size_t length = std::min<std::size_t>(commandLength, phonesim::kZepBufferSize);
    const std::string text(reinterpret_cast<const char*>(command), command ? length : 0);
    const phonesim::TextAnswer answer = sim->HandleText(text, 54);
    if (!answer.hostOk) return 0;
    const std::size_t written = std::min(answer.reply.size(), phonesim::kZepBufferSize);
    if (response != nullptr && written > 0) std::memcpy(response, answer.reply.data(), written);
    if (responseLength != nullptr) *responseLength = static_cast<uint16_t>(written);
    return 1;
}

extern "C" uint8_t PhonesimZepSendReceive(const char* command, phonesim::SlotHostText* reply,
                                          int32_t /*a*/, int32_t /*b*/, int32_t /*c*/,
                                          int32_t /*d*/) {
    phonesim::Simulator* sim = phonesim::Bound;
    if (sim == nullptr || command == nullptr) return 0;
    const phonesim::TextAnswer answer = sim->HandleText(command, 175);
    if (reply != nullptr && reply->assign != nullptr && (answer.hostOk || !answer.reply.empty()))
        reply->assign(reply, answer.reply.data(), static_cast<uint32_t>(answer.reply.size()));
    return answer.hostOk ? 1 : 0;
}
