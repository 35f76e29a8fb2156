// Every operation of the text back-end against arbitrary replies. Input: operation,
// data version, request length and bytes, then the replies the phone gives, one after
// the other, separated by 0xFF bytes (a reply after the last one: the host call fails).
// Also the cleaning and the reader alone over the same text.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ibluetooth_ops.h"
#include "plugin/host.h"
#include "transport/itransportservice.h"
#include "zep/bluetoothzep.h"
#include "zep/managed_if.h"

namespace {

class ScriptedReplies : public ITransportService {
public:
    explicit ScriptedReplies(std::vector<std::string> replies) : replies_(std::move(replies)) {}

    T_Result DoSendReceive(const std::string& command) override {
        if (command.empty()) __builtin_trap();
        if (next_ >= replies_.size()) return T_Result{1, {}};
        return T_Result{0, replies_[next_++]};
    }

private:
    std::vector<std::string> replies_;
    std::size_t next_ = 0;
};

void ReadEveryWidth(const std::string& text) {
    MANAGED_IF::ReplyReader reader(MANAGED_IF::CleanReply(text));
    int32_t i32 = 0;
    uint32_t u32 = 0;
    uint16_t u16 = 0;
    uint8_t u8 = 0;
    int8_t i8 = 0;
    uint8_t bytes[kHciDataSize];
    reader.I32(i32);
    reader.U8(u8);
    reader.Bytes(bytes, 6);
    reader.U16(u16);
    reader.U32(u32);
    reader.I8(i8);
    reader.Bytes(bytes, sizeof bytes);
    const uint8_t status = reader.Status();
    if (status != 0 && status != 3) __builtin_trap();
}

// A failed call is reported with the host's last error text.
extern "C" const char* LastError() {
    return "link down";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    std::array<void*, host::kSlotCount> table{};
    table[host::kGetLastError] = reinterpret_cast<void*>(&LastError);
    SetFuncInterface(table.data(), static_cast<int32_t>(host::kTableBytes));
    const auto& ops = btops::AllOperations();
    const btops::Operation& op = ops[data[0] % ops.size()];
    const uint8_t version = data[1];
    std::size_t at = 3;
    const std::size_t requestSize = std::min<std::size_t>(data[2], size - at);
    btops::Request request{std::vector<uint8_t>(data + at, data + at + requestSize)};
    at += requestSize;

    std::vector<std::string> replies(1);
    for (; at < size; ++at) {
        if (data[at] == 0xFF)
            replies.emplace_back();
        else
            replies.back().push_back(static_cast<char>(data[at]));
    }
    for (const std::string& reply : replies)
        ReadEveryWidth(reply);

    ScriptedReplies transport(replies);
    BluetoothZep zep(&transport);
    btops::Outputs out;
    const T_Result result = op.run(zep, version, request, out);
    if (result.code == 0 && result.text.size() > 4096) __builtin_trap();
    return 0;
}
