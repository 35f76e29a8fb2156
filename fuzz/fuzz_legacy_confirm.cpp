// Every operation of the binary back-end against arbitrary confirms and confirm lengths.
// Input: operation, data version, request length and bytes, then one record per host
// call: a flags byte (bit 0: the call fails), the confirm length the host reports (16-bit,
// any value, also beyond the buffer), the number of bytes it writes (16-bit, capped at
// what is left and at the buffer) and those bytes. Past the last record the call fails.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "bt/bluetooth_transport.h"
#include "ibluetooth_ops.h"
#include "legacy/bluetoothlegacy.h"
#include "plugin/host.h"

namespace {

const uint8_t* g_data = nullptr;
std::size_t g_size = 0;
std::size_t g_at = 0;

uint16_t Take16() {
    uint16_t value = 0;
    for (int i = 0; i < 2 && g_at < g_size; ++i)
        value |= static_cast<uint16_t>(g_data[g_at++] << (8 * i));
    return value;
}

extern "C" uint8_t ScriptedConfirm(int32_t, uint16_t requestLength, const uint8_t* request,
                                   uint16_t* confirmLength, uint8_t* confirm, int32_t) {
    // The request must be readable in full.
    volatile uint8_t sink = 0;
    for (uint16_t i = 0; i < requestLength; ++i)
        sink = sink ^ request[i];
    if (g_at >= g_size) return 0;
    const uint8_t flags = g_data[g_at++];
    const uint16_t reported = Take16();
    std::size_t written = Take16();
    written = std::min({written, g_size - g_at, host::kConfirmBufferSize});
    if (written) std::memcpy(confirm, g_data + g_at, written);
    g_at += written;
    *confirmLength = reported;
    return (flags & 1) ? 0 : 1;
}

// A failed call is reported with the host's last error text.
extern "C" const char* LastError() {
    return "link down";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    std::array<void*, host::kSlotCount> table{};
    table[host::kBluetoothGeneric] = reinterpret_cast<void*>(&ScriptedConfirm);
    table[host::kGetLastError] = reinterpret_cast<void*>(&LastError);
    SetFuncInterface(table.data(), static_cast<int32_t>(host::kTableBytes));
    legacy_framing::detail::ClearOpcodeVersionTable();

    const auto& ops = btops::AllOperations();
    const btops::Operation& op = ops[data[0] % ops.size()];
    const uint8_t version = data[1];
    std::size_t at = 3;
    const std::size_t requestSize = std::min<std::size_t>(data[2], size - at);
    btops::Request request{std::vector<uint8_t>(data + at, data + at + requestSize)};
    at += requestSize;
    g_data = data;
    g_size = size;
    g_at = at;

    BluetoothLegacy legacy;
    btops::Outputs out;
    (void)op.run(legacy, version, request, out);
    // A second call of the same operation goes through the remembered versions and caches.
    (void)op.run(legacy, version, request, out);
    g_data = nullptr;
    return 0;
}
