#pragma once
// The phone's end of the serial link (docs/link.md): it takes the bytes the station sends,
// tells the two protocols apart by the first byte of each message (0xA5 starts a binary
// frame, anything else a text command ended by CR), lets the Simulator answer and hands
// back the bytes to send. Pure byte handling with its own frame codec: it shares no code
// with the station's, so both are held to the same golden bytes.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "phone/phonesim.h"

namespace phonesim {

// How the program may misbehave on the line, for the station's tests.
enum class LinkFault {
    Split,       // every reply leaves in four pieces with pauses between them
    Noise,       // noise holding stray start bytes goes before every binary confirm
    DamagedCopy, // a copy of every confirm with a bad CRC goes before the good one
    BadCrc,      // every confirm leaves with a bad CRC only
    Silent,      // nothing is ever answered
};

// The fault named on the command line ("split", "noise", "damaged-copy", "bad-crc",
// "silent"); false for an unknown name.
bool ParseLinkFault(const std::string& name, LinkFault& fault);

namespace wire {

constexpr uint8_t kStartByte = 0xA5;
constexpr std::size_t kMaxPayload = 15000;
// A text command longer than this is answered "ERROR" without reaching the chip.
constexpr std::size_t kMaxCommand = 1024;

uint16_t Crc16(const uint8_t* data, std::size_t length);
std::string Frame(uint8_t function, const std::vector<uint8_t>& payload);

} // namespace wire

class WireServer {
public:
    explicit WireServer(Simulator& sim, std::set<LinkFault> faults = {});

    // Bytes from the station; the reply to send, in the pieces to send them in (several
    // only with LinkFault::Split; none when nothing is to be sent).
    std::vector<std::string> Feed(const uint8_t* data, std::size_t length);
    // Called when the line has been quiet for a while: a message cut short is dropped, so
    // that the next one is read from its first byte.
    void LineIdle();

    // Whether bytes of an unfinished message are waiting.
    bool Pending() const { return !in_.empty() || skipping_; }
    std::size_t BadFrames() const { return badFrames_; }

private:
    void Reply(std::string bytes, std::vector<std::string>& out) const;
    void AnswerText(const std::string& command, std::vector<std::string>& out);
    void AnswerBinary(uint8_t function, const std::vector<uint8_t>& request,
                      std::vector<std::string>& out);
    bool Has(LinkFault fault) const { return faults_.count(fault) != 0; }

    Simulator& sim_;
    std::set<LinkFault> faults_;
    std::vector<uint8_t> in_;
    // After a damaged frame everything up to the next start byte is skipped.
    bool skipping_ = false;
    std::size_t badFrames_ = 0;
};

} // namespace phonesim
