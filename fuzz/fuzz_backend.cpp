// Every operation of one back-end against whatever the phone answers, built twice. Input:
// the head ReadHead takes, then the phone's side:
//  - fuzz_zep_reply (text): the replies in turn, separated by 0xFF bytes;
//  - fuzz_legacy_confirm (binary, BT_FUZZ_BINARY): per host call a flags byte (bit 0: the
//    call fails), the confirm length the host reports (16-bit, any value, also beyond the
//    buffer), the number of bytes it writes (16-bit, capped at what is left and at the
//    buffer) and those bytes.
// Past the phone's last answer the host call fails.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "ibluetooth_ops.h"
#include "legacy/bluetoothlegacy.h"
#include "plugin/host.h"
#include "plugin/plugin.h"
#include "transport/itransportservice.h"
#include "zep/bluetoothzep.h"

namespace {

const uint8_t* g_data = nullptr;
std::size_t g_size = 0, g_at = 0;

uint16_t Take16() {
    uint16_t value = 0;
    for (int i = 0; i < 2 && g_at < g_size; ++i)
        value |= static_cast<uint16_t>(g_data[g_at++] << (8 * i));
    return value;
}

extern "C" uint8_t ScriptedConfirm(int32_t, uint16_t requestLength, const uint8_t* request,
                                   uint16_t* confirmLength, uint8_t* confirm, int32_t) {
    volatile uint8_t sink = 0; // the request must be readable in full
    for (uint16_t i = 0; i < requestLength; ++i)
        sink = sink ^ request[i];
    if (g_at >= g_size) return 0;
    const uint8_t flags = g_data[g_at++];
    *confirmLength = Take16();
    const std::size_t written =
        std::min<std::size_t>({Take16(), g_size - g_at, host::kConfirmBufferSize});
    if (written) std::memcpy(confirm, g_data + g_at, written);
    g_at += written;
    return (flags & 1) ? 0 : 1;
}

struct ScriptedReplies : ITransportService {
    T_Result DoSendReceive(const std::string& command) override {
        if (command.empty()) __builtin_trap();
        if (g_at > g_size) return T_Result{1, {}};
        const uint8_t* end = std::find(g_data + g_at, g_data + g_size, 0xFF);
        const std::string reply(g_data + g_at, end);
        g_at = static_cast<std::size_t>(end - g_data) + 1; // past the end after the last one
        return T_Result{0, reply};
    }
};

// Gives the plug-in a host whose generic Bluetooth call (slot 18) is `bluetooth` and
// whose last error reads "link down".
const char* LinkDown() {
    return "link down";
}
void InstallHost(void* bluetooth) {
    static std::array<void*, host::kSlotCount> table{};
    table[host::kBluetoothGeneric] = bluetooth;
    table[host::kGetLastError] = reinterpret_cast<void*>(&LinkDown);
    SetFuncInterface(table.data(), static_cast<int32_t>(host::kTableBytes));
}

// A fuzz input's head: the operation (first byte), the data version (second), the request
// length (third) and that many request bytes. Returns where the rest starts, 0 when the
// input is too short.
std::size_t ReadHead(const uint8_t* data, std::size_t size, const btops::Operation** op,
                     uint8_t* version, btops::Request* request) {
    if (size < 3) return 0;
    *op = &btops::AllOperations()[data[0] % btops::AllOperations().size()];
    *version = data[1];
    const std::size_t length = std::min<std::size_t>(data[2], size - 3);
    request->bytes.assign(data + 3, data + 3 + length);
    return 3 + length;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const btops::Operation* op = nullptr;
    uint8_t version = 0;
    btops::Request request;
    g_at = ReadHead(data, size, &op, &version, &request);
    if (g_at == 0) return 0;
    g_data = data;
    g_size = size;
    btops::Outputs out;
#ifdef BT_FUZZ_BINARY
    InstallHost(reinterpret_cast<void*>(&ScriptedConfirm));
    legacy_framing::detail::ClearOpcodeVersionTable();
    BluetoothLegacy bt;
    // A second call goes through the remembered versions and the caches.
    (void)op->run(bt, version, request, out);
#else
    InstallHost(nullptr);
    ScriptedReplies transport;
    BluetoothZep bt(&transport);
#endif
    const T_Result result = op->run(bt, version, request, out);
    if (result.code == 0 && result.text.size() > 4096) __builtin_trap();
    g_data = nullptr;
    return 0;
}
