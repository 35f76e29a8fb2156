#include "host/link_frame.h"

#include <algorithm>

namespace seriallink {

uint16_t Crc16(const uint8_t* data, std::size_t length, uint16_t crc) {
    for (std::size_t i = 0; i < length; ++i) {
        crc = static_cast<uint16_t>(crc ^ (uint16_t{data[i]} << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::vector<uint8_t> Encode(uint8_t function, const uint8_t* payload, std::size_t length) {
    length = std::min(length, kMaxPayload);
    std::vector<uint8_t> frame;
    frame.reserve(length + kOverhead);
    frame.push_back(kStartByte);
    frame.push_back(function);
    frame.push_back(static_cast<uint8_t>(length & 0xFF));
    frame.push_back(static_cast<uint8_t>(length >> 8));
    if (length > 0) frame.insert(frame.end(), payload, payload + length);
    const uint16_t crc = Crc16(frame.data() + 1, frame.size() - 1);
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

void FrameReader::Feed(const uint8_t* data, std::size_t length) {
    if (length > 0) buffer_.insert(buffer_.end(), data, data + length);
}

namespace {

enum class Check { Incomplete, Good, Bad };

// Judges the frame that would start at `at` (a start byte).
Check CheckAt(const std::vector<uint8_t>& buffer, std::size_t at, std::size_t& length) {
    if (buffer.size() - at < 4) return Check::Incomplete;
    length = buffer[at + 2] | (std::size_t{buffer[at + 3]} << 8);
    if (length > kMaxPayload) return Check::Bad;
    if (buffer.size() - at < length + kOverhead) return Check::Incomplete;
    const uint16_t crc = Crc16(buffer.data() + at + 1, length + 3);
    const uint16_t sent =
        static_cast<uint16_t>(buffer[at + length + 4] | (buffer[at + length + 5] << 8));
    return crc == sent ? Check::Good : Check::Bad;
}

} // namespace

std::optional<Frame> FrameReader::Next() {
    for (;;) {
        const auto start = std::find(buffer_.begin(), buffer_.end(), kStartByte);
        buffer_.erase(buffer_.begin(), start);
        if (buffer_.empty()) return std::nullopt;
        std::size_t length = 0;
        Check check = CheckAt(buffer_, 0, length);
        if (check == Check::Incomplete) {
            // A stray start byte in noise may announce a long frame that never comes; a
            // whole good frame further on shows that it was noise.
            for (std::size_t at = 1; at < buffer_.size(); ++at) {
                std::size_t laterLength = 0;
                if (buffer_[at] == kStartByte && CheckAt(buffer_, at, laterLength) == Check::Good) {
                    ++badFrames_;
                    buffer_.erase(buffer_.begin(),
                                  buffer_.begin() + static_cast<std::ptrdiff_t>(at));
                    length = laterLength;
                    check = Check::Good;
                    break;
                }
            }
            if (check == Check::Incomplete) return std::nullopt;
        }
        if (check == Check::Good) {
            Frame frame;
            frame.function = buffer_[1];
            frame.payload.assign(buffer_.begin() + 4,
                                 buffer_.begin() + 4 + static_cast<std::ptrdiff_t>(length));
            buffer_.erase(buffer_.begin(),
                          buffer_.begin() + static_cast<std::ptrdiff_t>(length + kOverhead));
            return frame;
        }
        // Not a frame after all: resynchronise on the next start byte after this one.
        ++badFrames_;
        buffer_.erase(buffer_.begin());
    }
}

} // namespace seriallink
