#include "host_table.h"

#include "host_slots.h"

namespace {

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
