#include "host/host_table.h"

#include <algorithm>
#include <cstring>

#include "host/serial_link.h"
#include "phone/host_slots.h"

namespace {

SerialLink* Link = nullptr;

int TimeoutMs() {
    return std::max(StationHostState().timeoutSeconds, 0) * 1000;
}

uint8_t Failed(const QString& why) {
    StationHostState().lastError = why.toStdString();
    return 0;
}

uint8_t Succeeded() {
    StationHostState().lastError = "No errors";
    return 1;
}

extern "C" uint8_t StationSerialBinary(int32_t function, uint16_t requestLength,
                                       const uint8_t* request, uint16_t* confirmLength,
                                       uint8_t* confirm, int32_t /*comHandle*/) {
    if (Link == nullptr) return Failed("Serial port closed");
    if (request == nullptr && requestLength > 0) return Failed("No request data");
    const SerialLink::BinaryResult result = Link->ExchangeBinary(
        function, std::span<const uint8_t>(request, request ? requestLength : 0), TimeoutMs());
    if (!result.ok) return Failed(result.error);
    // The frame reader never hands out more than the 15000 bytes the caller's buffer holds.
    const std::size_t written = std::min(result.confirm.size(), phonesim::kConfirmBufferSize);
    if (confirm != nullptr && written > 0) std::memcpy(confirm, result.confirm.data(), written);
    if (confirmLength != nullptr) *confirmLength = static_cast<uint16_t>(written);
    return Succeeded();
}

extern "C" uint8_t StationSerialZepGeneric(int32_t /*zero*/, uint16_t commandLength,
                                           const uint8_t* command, uint16_t* responseLength,
                                           uint8_t* response, int32_t /*comHandle*/) {
    if (Link == nullptr) return Failed("Serial port closed");
    if (command == nullptr && commandLength > 0) return Failed("No command text");
    if (commandLength > phonesim::kZepBufferSize)
        return Failed("Command longer than the 512-byte buffer");
    const QByteArray text(reinterpret_cast<const char*>(command), command ? commandLength : 0);
    const SerialLink::TextResult result = Link->ExchangeText(text, TimeoutMs());
    if (!result.ok) return Failed(result.error);
    const std::size_t written =
        std::min(static_cast<std::size_t>(result.reply.size()), phonesim::kZepBufferSize);
    if (response != nullptr && written > 0)
        std::memcpy(response, result.reply.constData(), written);
    if (responseLength != nullptr) *responseLength = static_cast<uint16_t>(written);
    return Succeeded();
}

extern "C" uint8_t StationSerialSendReceive(const char* command, phonesim::SlotHostText* reply,
                                            int32_t /*a*/, int32_t /*b*/, int32_t /*c*/,
                                            int32_t /*d*/) {
    if (Link == nullptr) return Failed("Serial port closed");
    if (command == nullptr) return Failed("No command text");
    const SerialLink::TextResult result = Link->ExchangeText(QByteArray(command), TimeoutMs());
    if (reply != nullptr && reply->assign != nullptr)
        reply->assign(reply, result.reply.constData(), static_cast<uint32_t>(result.reply.size()));
    return result.ok ? Succeeded() : Failed(result.error);
}

extern "C" const char* StationGetLastError() {
    return StationHostState().lastError.c_str();
}

extern "C" uint8_t StationResetTimeoutDelay() {
    StationHostState().timeoutSeconds = 2;
    return 1;
}

extern "C" uint8_t StationSetTimeOutDelay(int32_t delay) {
    StationHostState().timeoutSeconds = delay;
    return 1;
}

extern "C" uint8_t StationGetInfoAsInt(int32_t item, int32_t* value) {
    if (value == nullptr) return 0;
    if (item != 31) return 0;
    *value = StationHostState().interfaceKind;
    return 1;
}

} // namespace

HostState& StationHostState() {
    static HostState state;
    return state;
}

phonesim::Simulator& StationPhone() {
    static phonesim::Simulator phone;
    return phone;
}

void FillStationSlots(HostTable& table) {
    phonesim::BindHostSlots(&StationPhone());
    for (int slot : {18, 54, 175})
        table.entries[static_cast<std::size_t>(slot)] = phonesim::HostSlotEntry(slot);
    table.entries[3] = reinterpret_cast<void*>(&StationGetLastError);
    table.entries[147] = reinterpret_cast<void*>(&StationResetTimeoutDelay);
    table.entries[149] = reinterpret_cast<void*>(&StationSetTimeOutDelay);
    table.entries[174] = reinterpret_cast<void*>(&StationGetInfoAsInt);
}

void UseSerialLink(HostTable& table, SerialLink* link) {
    Link = link;
    if (link == nullptr) {
        FillStationSlots(table);
        return;
    }
    table.entries[18] = reinterpret_cast<void*>(&StationSerialBinary);
    table.entries[54] = reinterpret_cast<void*>(&StationSerialZepGeneric);
    table.entries[175] = reinterpret_cast<void*>(&StationSerialSendReceive);
}
