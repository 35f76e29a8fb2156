#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "link_frame.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(LinkCrc, MatchesTheCcittFalseCheckValue) {
    const std::string text = "123456789";
    EXPECT_EQ(seriallink::Crc16(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
              0x29B1);
}

TEST(LinkFrame, EncodesGoldenBytes) {
    // Hardware information request: function 8, no payload.
    EXPECT_EQ(seriallink::Encode(8, nullptr, 0), (Bytes{0xA5, 0x08, 0x00, 0x00, 0x3D, 0x65}));
    const Bytes confirm = {0x01, 0x01, 0x00, 0x01};
    EXPECT_EQ(seriallink::Encode(8, confirm.data(), confirm.size()),
              (Bytes{0xA5, 0x08, 0x04, 0x00, 0x01, 0x01, 0x00, 0x01, 0x67, 0x35}));
}

TEST(LinkFrame, PayloadIsCutToTheConfirmBuffer) {
    const Bytes big(20000, 0x11);
    const Bytes frame = seriallink::Encode(2, big.data(), big.size());
    EXPECT_EQ(frame.size(), seriallink::kMaxPayload + seriallink::kOverhead);
    EXPECT_EQ(frame[2] | (frame[3] << 8), 15000);
}

Bytes Decode(seriallink::FrameReader& reader) {
    auto frame = reader.Next();
    return frame ? frame->payload : Bytes{0xDE, 0xAD};
}

TEST(LinkReader, FrameSplitAcrossManyReads) {
    const Bytes payload = {1, 2, 3, 4, 5};
    const Bytes frame = seriallink::Encode(21, payload.data(), payload.size());
    seriallink::FrameReader reader;
    for (std::size_t i = 0; i + 1 < frame.size(); ++i) {
        reader.Feed(&frame[i], 1);
        EXPECT_FALSE(reader.Next().has_value()) << "no frame before its last byte";
    }
    reader.Feed(&frame.back(), 1);
    auto whole = reader.Next();
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(whole->function, 21);
    EXPECT_EQ(whole->payload, payload);
}

TEST(LinkReader, SkipsGarbageBeforeAFrameEvenWithAStartByteInIt) {
    const Bytes payload = {9, 8, 7};
    const Bytes frame = seriallink::Encode(5, payload.data(), payload.size());
    Bytes stream = {'x', 0x00, 0xA5, 0x10, 0x20, 0xFF};
    stream.insert(stream.end(), frame.begin(), frame.end());
    seriallink::FrameReader reader;
    reader.Feed(stream.data(), stream.size());
    EXPECT_EQ(Decode(reader), payload);
    EXPECT_FALSE(reader.Next().has_value());
}

TEST(LinkReader, DropsABadCrcAndResynchronises) {
    const Bytes first = {1, 1, 1}, second = {2, 2};
    Bytes bad = seriallink::Encode(3, first.data(), first.size());
    bad[5] ^= 0xFF; // a byte damaged on the line
    const Bytes good = seriallink::Encode(4, second.data(), second.size());
    Bytes stream = bad;
    stream.insert(stream.end(), good.begin(), good.end());
    seriallink::FrameReader reader;
    reader.Feed(stream.data(), stream.size());
    auto frame = reader.Next();
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->function, 4);
    EXPECT_EQ(frame->payload, second);
    EXPECT_GE(reader.BadFrames(), 1u);
}

TEST(LinkReader, LengthAboveTheConfirmBufferIsNoFrame) {
    Bytes stream = {0xA5, 0x01, 0x99, 0x3A}; // 15001
    const Bytes ok = {7};
    const Bytes good = seriallink::Encode(1, ok.data(), ok.size());
    stream.insert(stream.end(), good.begin(), good.end());
    seriallink::FrameReader reader;
    reader.Feed(stream.data(), stream.size());
    EXPECT_EQ(Decode(reader), ok);
}

TEST(LinkReader, TwoFramesInOneRead) {
    const Bytes a = {1}, b = {2, 3};
    Bytes stream = seriallink::Encode(1, a.data(), a.size());
    const Bytes second = seriallink::Encode(2, b.data(), b.size());
    stream.insert(stream.end(), second.begin(), second.end());
    seriallink::FrameReader reader;
    reader.Feed(stream.data(), stream.size());
    EXPECT_EQ(Decode(reader), a);
    EXPECT_EQ(Decode(reader), b);
}

} // namespace
