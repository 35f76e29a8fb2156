#pragma once
// HCI traffic in the btsnoop file format (version 1, datalink 1002 "HCI UART (H4)"), the
// format btmon ("btmon -r FILE") and Wireshark open directly.
//
// A file is the 16-byte header followed by one record per packet; every number is
// big-endian. A record is: original length, included length (always equal here), flags
// (bit 0 set for controller to host, bit 1 set for commands and events), cumulative drops
// (always 0), the time in microseconds since midnight of 1 January of year 0, then the
// packet with its H4 type byte. Each record is flushed as it is written, so a trace cut
// short by a crash stays readable up to its last whole record.
//
// Use:
//   bttrace::BtsnoopWriter trace;
//   if (!trace.Open("reset.btsnoop")) report(trace.Error());
//   trace.RecordCommand(bytesSent);            // with or without the 0x01 indicator
//   trace.RecordAnswer(bytesReceived);         // an event, or whatever else came back
//   trace.Close();                             // also done by the destructor

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace bttrace {

// H4 packet indicators.
constexpr uint8_t kH4Command = 0x01;
constexpr uint8_t kH4Event = 0x04;
// The event code Bluetooth reserves for vendor-specific events; answers that are no HCI
// event are recorded under it, so btmon shows their bytes instead of skipping them.
constexpr uint8_t kVendorEvent = 0xFF;
// Microseconds from 1 January of year 0 to the Unix epoch.
constexpr int64_t kUnixEpochMicros = 0x00dcddb30f2f8000;

// The file header.
std::vector<uint8_t> BtsnoopHeader();
// One record: the H4 packet `type` + `packet`, from the controller or to it, at
// `unixMicros` (microseconds since the Unix epoch).
std::vector<uint8_t> BtsnoopRecord(uint8_t type, bool fromController,
                                   std::span<const uint8_t> packet, int64_t unixMicros);

// Whether `bytes` (without an indicator) are one whole HCI command: opcode, parameter
// length, exactly that many parameters.
bool IsHciCommand(std::span<const uint8_t> bytes);
// Whether `bytes` (without an indicator) are one whole HCI event: code, parameter
// length, exactly that many parameters.
bool IsHciEvent(std::span<const uint8_t> bytes);

// How an answer went into the trace.
enum class AnswerKind {
    Event,     // one HCI event
    NotEvent,  // not readable as an event: kept whole in vendor events (0xFF)
    NotWritten // the file is not open or could not be written
};

class BtsnoopWriter {
public:
    using Clock = int64_t (*)(); // microseconds since the Unix epoch
    static int64_t SystemClock();

    explicit BtsnoopWriter(Clock clock = &SystemClock) : clock_(clock) {}
    ~BtsnoopWriter() { Close(); }
    BtsnoopWriter(const BtsnoopWriter&) = delete;
    BtsnoopWriter& operator=(const BtsnoopWriter&) = delete;

    // Creates (or empties) `path` and writes the header. On failure Error() says why.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }
    const std::string& Error() const { return error_; }
    // Records written since Open.
    uint64_t Records() const { return records_; }

    // One packet as it is: H4 `type` and the bytes after it.
    bool WritePacket(uint8_t type, bool fromController, std::span<const uint8_t> packet);
    // A command as it was sent to the chip. A leading 0x01 indicator is dropped when the
    // rest reads as a command; bytes that are no whole command are still recorded as sent.
    bool RecordCommand(std::span<const uint8_t> bytes);
    // What the chip answered. An event (with or without its 0x04 indicator) is recorded as
    // the event; anything else, also an empty answer, in vendor events holding its bytes
    // (255 bytes each, the most an event carries).
    AnswerKind RecordAnswer(std::span<const uint8_t> bytes);

private:
    Clock clock_;
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string error_;
    uint64_t records_ = 0;
};

} // namespace bttrace
