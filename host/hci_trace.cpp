#include "host/hci_trace.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "phone/host_slots.h"
#include "trace/btsnoop.h"

namespace {

using Bytes = std::vector<uint8_t>;

using BinarySlot = uint8_t (*)(int32_t, uint16_t, const uint8_t*, uint16_t*, uint8_t*, int32_t);
using ZepGenericSlot = uint8_t (*)(int32_t, uint16_t, const uint8_t*, uint16_t*, uint8_t*, int32_t);
using SendReceiveSlot = uint8_t (*)(const char*, phonesim::SlotHostText*, int32_t, int32_t, int32_t,
                                    int32_t);

constexpr int32_t kHciFunction = 28;
constexpr std::size_t kHciDataSize = 150;
constexpr std::string_view kHciCommandText = "at@bt:hci_command(";

BinarySlot InnerBinary = nullptr;
ZepGenericSlot InnerZepGeneric = nullptr;
SendReceiveSlot InnerSendReceive = nullptr;
bttrace::BtsnoopWriter* Writer = nullptr;
HciTraceNote Note;

// Function 28's request: version, command length, 150 command bytes.
std::optional<Bytes> CommandOfRequest(std::span<const uint8_t> request) {
    if (request.size() < 2 || request[1] > kHciDataSize || request.size() < 2u + request[1])
        return std::nullopt;
    return Bytes(request.begin() + 2, request.begin() + 2 + request[1]);
}

// Function 28's confirm: status (1 success), version, answer length, 150 answer bytes.
std::optional<Bytes> AnswerOfConfirm(std::span<const uint8_t> confirm) {
    if (confirm.size() < 3 || confirm[0] != 1 || confirm[2] > kHciDataSize ||
        confirm.size() < 3u + confirm[2])
        return std::nullopt;
    return Bytes(confirm.begin() + 3, confirm.begin() + 3 + confirm[2]);
}

// The words of a text command or reply: the firmware separates them by commas, braces,
// blanks and line breaks.
std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find_first_of(",{} \t\r\n", pos), text.size());
        if (end > pos) words.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return words;
}

std::optional<uint8_t> ByteOf(std::string_view word) {
    int value = -1;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (ec != std::errc() || end != word.data() + word.size() || value < 0 || value > 255)
        return std::nullopt;
    return static_cast<uint8_t>(value);
}

// Length and data bytes from words[0], words[1..]; the data must hold `length` bytes.
std::optional<Bytes> LengthAndData(std::span<const std::string_view> words) {
    const auto length = words.empty() ? std::nullopt : ByteOf(words[0]);
    if (!length || *length > kHciDataSize || words.size() < 1u + *length) return std::nullopt;
    Bytes data;
    for (std::size_t i = 1; i <= *length; ++i) {
        const auto byte = ByteOf(words[i]);
        if (!byte) return std::nullopt;
        data.push_back(*byte);
    }
    return data;
}

// "at@bt:hci_command(length,{150 bytes})".
std::optional<Bytes> CommandOfLine(std::string_view line) {
    if (!line.starts_with(kHciCommandText)) return std::nullopt;
    line.remove_prefix(kHciCommandText.size());
    const std::size_t close = line.find(')');
    if (close == std::string_view::npos) return std::nullopt;
    const std::vector<std::string_view> words = Words(line.substr(0, close));
    return LengthAndData(words);
}

// The reply: length, the 150 answer bytes, result code 0, "OK".
std::optional<Bytes> AnswerOfReply(std::string_view reply) {
    std::vector<std::string_view> words = Words(reply);
    if (words.size() < 3 || words.back() != "OK" || words[words.size() - 2] != "0")
        return std::nullopt;
    words.resize(words.size() - 2);
    return LengthAndData(words);
}

void Stopped() {
    const std::string text = "HCI trace: writing " + Writer->Path() + " failed (" +
                             Writer->Error() + "); recording stopped";
    Writer->Close();
    Writer = nullptr;
    // The note may clear the trace, and with it Note itself.
    const HciTraceNote note = Note;
    if (note) note(text, true);
}

void RecordCommand(const Bytes& command) {
    if (Writer != nullptr && !Writer->RecordCommand(command)) Stopped();
}

// `answer` is what the wire record carried, or, when it could not be read, the record.
void RecordAnswer(bool exchanged, std::span<const uint8_t> answer) {
    if (Writer == nullptr) return;
    if (!exchanged) {
        if (Note) Note("HCI trace: the exchange failed, no answer to record", false);
        return;
    }
    switch (Writer->RecordAnswer(answer)) {
    case bttrace::AnswerKind::Event:
        break;
    case bttrace::AnswerKind::NotEvent:
        if (Note)
            Note("HCI trace: the answer is no HCI event; its " + std::to_string(answer.size()) +
                     " bytes are recorded as a vendor event (0xff)",
                 false);
        break;
    case bttrace::AnswerKind::NotWritten:
        Stopped();
        break;
    }
}

std::span<const uint8_t> AsBytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

extern "C" uint8_t TapBinary(int32_t function, uint16_t requestLength, const uint8_t* request,
                             uint16_t* confirmLength, uint8_t* confirm, int32_t comHandle) {
    std::optional<Bytes> command;
    if (Writer != nullptr && function == kHciFunction && request != nullptr)
        command = CommandOfRequest({request, requestLength});
    if (command) RecordCommand(*command);
    const uint8_t ok =
        InnerBinary(function, requestLength, request, confirmLength, confirm, comHandle);
    if (command && confirm != nullptr && confirmLength != nullptr) {
        // The host writes no more than the caller's 15000 bytes, whatever length it reports.
        const std::span<const uint8_t> record(
            confirm, std::min<std::size_t>(*confirmLength, phonesim::kConfirmBufferSize));
        const std::optional<Bytes> answer = AnswerOfConfirm(record);
        RecordAnswer(ok != 0, answer ? std::span<const uint8_t>(*answer) : record);
    }
    return ok;
}

extern "C" uint8_t TapZepGeneric(int32_t zero, uint16_t commandLength, const uint8_t* command,
                                 uint16_t* responseLength, uint8_t* response, int32_t comHandle) {
    std::optional<Bytes> hci;
    // The command buffer holds 512 bytes; a longer length cannot be read from it.
    if (Writer != nullptr && command != nullptr)
        hci = CommandOfLine({reinterpret_cast<const char*>(command),
                             std::min<std::size_t>(commandLength, phonesim::kZepBufferSize)});
    if (hci) RecordCommand(*hci);
    const uint8_t ok =
        InnerZepGeneric(zero, commandLength, command, responseLength, response, comHandle);
    if (hci && response != nullptr && responseLength != nullptr) {
        const std::string_view reply(
            reinterpret_cast<const char*>(response),
            std::min<std::size_t>(*responseLength, phonesim::kZepBufferSize));
        const std::optional<Bytes> answer = AnswerOfReply(reply);
        RecordAnswer(ok != 0, answer ? std::span<const uint8_t>(*answer) : AsBytes(reply));
    }
    return ok;
}

// Stands between the serving function and the plug-in's reply object: passes every text
// on at once and keeps the last one.
struct ReplyCopy {
    phonesim::SlotHostText self;
    phonesim::SlotHostText* original;
    std::optional<std::string> text;
};

extern "C" void CopyReply(phonesim::SlotHostText* self, const char* data, uint32_t length) {
    auto* copy = reinterpret_cast<ReplyCopy*>(self);
    copy->text = std::string(data != nullptr ? data : "", data != nullptr ? length : 0);
    if (copy->original != nullptr && copy->original->assign != nullptr)
        copy->original->assign(copy->original, data, length);
}

extern "C" uint8_t TapSendReceive(const char* command, phonesim::SlotHostText* reply, int32_t a,
                                  int32_t b, int32_t c, int32_t d) {
    std::optional<Bytes> hci;
    if (Writer != nullptr && command != nullptr) hci = CommandOfLine(command);
    if (!hci) return InnerSendReceive(command, reply, a, b, c, d);
    RecordCommand(*hci);
    ReplyCopy copy{{&CopyReply, nullptr}, reply, std::nullopt};
    const uint8_t ok = InnerSendReceive(command, reply ? &copy.self : nullptr, a, b, c, d);
    const std::string text = copy.text.value_or("");
    const std::optional<Bytes> answer = AnswerOfReply(text);
    // A failed call that still gave a text gave an answer.
    RecordAnswer(ok != 0 || copy.text.has_value(),
                 answer ? std::span<const uint8_t>(*answer) : AsBytes(text));
    return ok;
}

template <typename Slot> void Tap(HostTable& table, int slot, Slot tap, Slot& inner) {
    void*& entry = table.entries[static_cast<std::size_t>(slot)];
    if (entry == nullptr || entry == reinterpret_cast<void*>(tap)) return;
    inner = reinterpret_cast<Slot>(entry);
    entry = reinterpret_cast<void*>(tap);
}

} // namespace

void TapHciSlots(HostTable& table) {
    Tap<BinarySlot>(table, 18, &TapBinary, InnerBinary);
    Tap<ZepGenericSlot>(table, 54, &TapZepGeneric, InnerZepGeneric);
    Tap<SendReceiveSlot>(table, 175, &TapSendReceive, InnerSendReceive);
}

void SetHciTraceWriter(bttrace::BtsnoopWriter* writer, HciTraceNote note) {
    Writer = writer;
    Note = std::move(note);
}
