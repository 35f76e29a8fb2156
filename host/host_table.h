#pragma once
// The station's side of the host function table: 216 pointer-sized entries, of which the
// station fills those the plug-in calls.

#include <array>
#include <cstdint>
#include <string>

#include "phone/phonesim.h"

class SerialLink;

struct HostTable {
    static constexpr int kSlots = 216;
    std::array<void*, kSlots> entries{};

    const void* Data() const { return entries.data(); }
    int32_t SizeInBytes() const { return static_cast<int32_t>(kSlots * sizeof(void*)); }
};

// What the station's own entries answer: the interface kind of information item 31, the
// host's last error text and the reply time-out in seconds.
struct HostState {
    int32_t interfaceKind = 2;
    std::string lastError = "No errors";
    int32_t timeoutSeconds = 2;
};

// The station's host state, used by its slot functions (the table holds plain C
// function pointers, so they reach the station through this one object).
HostState& StationHostState();

// The phone the station talks to by default: a simulator in the station's own process.
phonesim::Simulator& StationPhone();

// Fills the entries that the station serves itself (3, 147, 149, 174) and the link slots
// 18, 54 and 175, served by StationPhone().
void FillStationSlots(HostTable& table);

// Serves the link slots 18, 54 and 175 over `link` instead (null: StationPhone() again).
// The link must outlive its use by the table's callers.
void UseSerialLink(HostTable& table, SerialLink* link);
