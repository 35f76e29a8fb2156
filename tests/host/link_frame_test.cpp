// Both ends of the serial link, byte by byte, without a pseudo-terminal. The frames are the
// golden vectors of docs/link.md: the station's codec and the phone's server meet the same bytes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link_frame.h"
#include "wire_server.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Str(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

Bytes Encode(uint8_t function, const Bytes& payload) {
    return seriallink::Encode(function, payload.data(), payload.size());
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

struct GoldenFrame {
    const char* name;
    uint8_t function;
    Bytes payload;
    Bytes frame;
};

const GoldenFrame kGolden[] = {
    {"HardwareInformationRequest", 8, {}, {0xA5, 0x08, 0x00, 0x00, 0x3D, 0x65}},
    {"SwitchOnRequest", 9, {1, 1}, {0xA5, 0x09, 0x02, 0x00, 0x01, 0x01, 0x08, 0x77}},
    {"OpcodeVersionRequest", 29, {1, 8}, {0xA5, 0x1D, 0x02, 0x00, 0x01, 0x08, 0x7D, 0x6B}},
    {"HardwareInformationConfirm",
     8,
     {0x01, 0x01, 0x00, 0x01},
     {0xA5, 0x08, 0x04, 0x00, 0x01, 0x01, 0x00, 0x01, 0x67, 0x35}},
};

void PrintTo(const GoldenFrame& g, std::ostream* out) {
    *out << g.name;
}

class GoldenFrames : public testing::TestWithParam<GoldenFrame> {};

TEST_P(GoldenFrames, BothEndsWriteTheSameBytes) {
    const GoldenFrame& golden = GetParam();
    EXPECT_EQ(phonesim::wire::Frame(golden.function, golden.payload), Str(golden.frame));
    EXPECT_EQ(Encode(golden.function, golden.payload), golden.frame);
}

INSTANTIATE_TEST_SUITE_P(LinkGolden, GoldenFrames, testing::ValuesIn(kGolden),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LinkCrc, BothEndsMatchTheCcittFalseCheckValue) {
    const std::string text = "123456789";
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    EXPECT_EQ(seriallink::Crc16(bytes, text.size()), 0x29B1);
    EXPECT_EQ(phonesim::wire::Crc16(bytes, text.size()), 0x29B1);
}

TEST(LinkFrame, PayloadIsCutToTheConfirmBuffer) {
    const Bytes big(20000, 0x11);
    const Bytes frame = Encode(2, big);
    EXPECT_EQ(frame.size(), seriallink::kMaxPayload + seriallink::kOverhead);
    EXPECT_EQ(frame[2] | (frame[3] << 8), 15000);
}

struct ReaderCase {
    const char* name;
    Bytes stream;
    std::vector<seriallink::Frame> frames;
    bool badFrames;
};

void PrintTo(const ReaderCase& c, std::ostream* out) {
    *out << c.name;
}

Bytes Damaged(Bytes frame) {
    frame[5] ^= 0xFF; // a byte damaged on the line
    return frame;
}

const ReaderCase kReaderCases[] = {
    {"OneFrame", Encode(21, {1, 2, 3, 4, 5}), {{21, {1, 2, 3, 4, 5}}}, false},
    {"TwoFramesBackToBack",
     Cat({Encode(1, {1}), Encode(2, {2, 3})}),
     {{1, {1}}, {2, {2, 3}}},
     false},
    {"GarbageWithAStartByteBeforeAFrame",
     Cat({{'x', 0x00, 0xA5, 0x10, 0x20, 0xFF}, Encode(5, {9, 8, 7})}),
     {{5, {9, 8, 7}}},
     true},
    {"BadCrcDroppedThenResynchronised",
     Cat({Damaged(Encode(3, {1, 1, 1})), Encode(4, {2, 2})}),
     {{4, {2, 2}}},
     true},
    {"LengthAboveTheConfirmBufferIsNoFrame",
     Cat({{0xA5, 0x01, 0x99, 0x3A}, Encode(1, {7})}),
     {{1, {7}}},
     true},
};

class LinkReader : public testing::TestWithParam<ReaderCase> {
protected:
    static std::vector<seriallink::Frame> Drain(seriallink::FrameReader& reader) {
        std::vector<seriallink::Frame> frames;
        while (auto frame = reader.Next())
            frames.push_back(*frame);
        return frames;
    }
    static void ExpectFrames(const std::vector<seriallink::Frame>& got,
                             const std::vector<seriallink::Frame>& want) {
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].function, want[i].function) << "frame " << i;
            EXPECT_EQ(got[i].payload, want[i].payload) << "frame " << i;
        }
    }
};

TEST_P(LinkReader, FindsTheSameFramesInOneReadOrByteByByte) {
    const ReaderCase& c = GetParam();
    seriallink::FrameReader whole;
    whole.Feed(c.stream.data(), c.stream.size());
    ExpectFrames(Drain(whole), c.frames);
    EXPECT_EQ(whole.BadFrames() > 0, c.badFrames);

    seriallink::FrameReader split;
    std::vector<seriallink::Frame> frames;
    for (uint8_t byte : c.stream) {
        split.Feed(&byte, 1);
        for (const auto& frame : Drain(split))
            frames.push_back(frame);
    }
    ExpectFrames(frames, c.frames);
}

INSTANTIATE_TEST_SUITE_P(Streams, LinkReader, testing::ValuesIn(kReaderCases),
                         [](const auto& info) { return std::string(info.param.name); });

class PhoneWire : public testing::Test {
protected:
    std::string Feed(const std::string& bytes) {
        std::string all;
        for (const std::string& piece :
             server_.Feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
            all += piece;
        return all;
    }
    // The confirm the in-process phone gives for the same request.
    static std::string Expected(uint8_t function, const Bytes& request) {
        phonesim::Simulator reference;
        return phonesim::wire::Frame(function, reference.HandleBinary(function, request).confirm);
    }

    phonesim::Simulator sim_;
    phonesim::WireServer server_{sim_};
};

TEST_F(PhoneWire, TextCommandInPiecesWaitsForItsCr) {
    EXPECT_EQ(Feed("at@bt:hw"), "");
    EXPECT_TRUE(server_.Pending());
    EXPECT_EQ(Feed("_info()"), "");
    phonesim::Simulator reference;
    EXPECT_EQ(Feed("\r"), reference.HandleText("at@bt:hw_info()").reply);
    EXPECT_EQ(sim_.LastCommand(), "at@bt:hw_info()");
    EXPECT_FALSE(server_.Pending());
}

TEST_F(PhoneWire, FirstByteTellsTheProtocols) {
    // A frame, a text command and a frame back to back, with a stray LF of a CR LF host.
    const std::string in = Str(kGolden[0].frame) + "\nat@bt:?\r" + Str(kGolden[0].frame);
    const std::string hwInfo = Expected(8, {});
    EXPECT_EQ(Feed(in), hwInfo + "OK\r\n" + hwInfo);
    EXPECT_EQ(sim_.BinaryCount(8), 2u);
    EXPECT_EQ(sim_.TextLog().size(), 1u);
}

TEST_F(PhoneWire, DamagedRequestIsDroppedAndTheNextFrameAnswered) {
    // A damaged switch-on request and an oversized length: the chip must stay off.
    const std::string in =
        Str(Damaged(kGolden[1].frame)) + std::string("\xA5\x08\x99\x3A", 4) + Str(kGolden[0].frame);
    EXPECT_EQ(Feed(in), Expected(8, {}));
    EXPECT_GE(server_.BadFrames(), 1u);
    EXPECT_EQ(sim_.BinaryCount(9), 0u);
    EXPECT_EQ(sim_.BinaryCount(8), 1u);
    EXPECT_FALSE(sim_.Chip().on);
}

TEST_F(PhoneWire, MessageCutShortIsForgottenWhenTheLineGoesQuiet) {
    EXPECT_EQ(Feed(std::string("\xA5\x08\x10", 3)), "");
    server_.LineIdle();
    EXPECT_EQ(Feed("at@bt:?\r"), "OK\r\n");
}

TEST_F(PhoneWire, EndlessLineIsAnsweredErrorWithoutReachingTheChip) {
    EXPECT_EQ(Feed("at@bt:" + std::string(5000, '1')), "");
    EXPECT_EQ(Feed("\r"), "ERROR\r\n");
    EXPECT_TRUE(sim_.TextLog().empty());
    EXPECT_EQ(Feed("at@bt:?\r"), "OK\r\n");
}

TEST_F(PhoneWire, FailedHostCallLeavesTheLineSilent) {
    sim_.InjectText({phonesim::Fault::HostCallFails, 0, "partial", {}, false});
    EXPECT_EQ(Feed("at@bt:?\r"), "");
    EXPECT_EQ(Feed("at@bt:?\r"), "OK\r\n");
}

struct FaultCase {
    const char* name;
    phonesim::LinkFault fault;
    std::size_t pieces;
    std::size_t goodFrames;
    bool badFrames;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

class PhoneWireFaults : public testing::TestWithParam<FaultCase> {};

// What the station's reader makes of what a faulty phone sends.
TEST_P(PhoneWireFaults, StationReaderSeesTheFault) {
    const FaultCase& c = GetParam();
    phonesim::Simulator sim;
    phonesim::WireServer server(sim, {c.fault});
    const Bytes& request = kGolden[0].frame;
    const std::vector<std::string> pieces = server.Feed(request.data(), request.size());
    EXPECT_EQ(pieces.size(), c.pieces);
    seriallink::FrameReader reader;
    std::size_t frames = 0;
    for (const std::string& piece : pieces) {
        reader.Feed(reinterpret_cast<const uint8_t*>(piece.data()), piece.size());
        while (auto frame = reader.Next()) {
            ++frames;
            EXPECT_EQ(frame->function, 8);
        }
    }
    EXPECT_EQ(frames, c.goodFrames);
    EXPECT_EQ(reader.BadFrames() > 0, c.badFrames);
}

INSTANTIATE_TEST_SUITE_P(
    LinkFaults, PhoneWireFaults,
    testing::Values(FaultCase{"Split", phonesim::LinkFault::Split, 4, 1, false},
                    FaultCase{"Noise", phonesim::LinkFault::Noise, 1, 1, true},
                    FaultCase{"DamagedCopy", phonesim::LinkFault::DamagedCopy, 1, 1, true},
                    FaultCase{"BadCrc", phonesim::LinkFault::BadCrc, 1, 0, true},
                    FaultCase{"Silent", phonesim::LinkFault::Silent, 0, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
