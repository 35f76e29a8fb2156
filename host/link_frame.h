#pragma once
// Frames of the binary test functions on the serial link (docs/link.md): start byte,
// function, 16-bit length, payload, CRC-16. Pure byte handling, no I/O.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace seriallink {

constexpr uint8_t kStartByte = 0xA5;
constexpr std::size_t kMaxPayload = 15000;
constexpr std::size_t kOverhead = 6; // start, function, length (2), CRC (2)

// CRC-16/CCITT-FALSE.
uint16_t Crc16(const uint8_t* data, std::size_t length, uint16_t crc = 0xFFFF);

struct Frame {
    uint8_t function = 0;
    std::vector<uint8_t> payload;
};

// The bytes of one frame; payloads above kMaxPayload are cut to it.
std::vector<uint8_t> Encode(uint8_t function, const uint8_t* payload, std::size_t length);

// Collects bytes as they arrive and hands out whole frames with a good CRC. Everything
// that is not part of such a frame is skipped; frames with a bad CRC or length are counted.
class FrameReader {
public:
    void Feed(const uint8_t* data, std::size_t length);
    // The next whole frame, if one has arrived.
    std::optional<Frame> Next();
    // Frames skipped so far for a bad CRC or length.
    std::size_t BadFrames() const { return badFrames_; }

private:
    std::vector<uint8_t> buffer_;
    std::size_t badFrames_ = 0;
};

} // namespace seriallink
