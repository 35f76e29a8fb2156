// The phone's end of the serial link, byte by byte, without a pseudo-terminal. The frames
// are the golden vectors of docs/link.md; the station's codec meets the same bytes.

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

std::string Joined(const std::vector<std::string>& pieces) {
    std::string all;
    for (const std::string& piece : pieces)
        all += piece;
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
    EXPECT_EQ(seriallink::Encode(golden.function, golden.payload.data(), golden.payload.size()),
              golden.frame);
}

INSTANTIATE_TEST_SUITE_P(LinkGolden, GoldenFrames, testing::ValuesIn(kGolden),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PhoneWireCrc, MatchesTheCheckValue) {
    const std::string text = "123456789";
    EXPECT_EQ(phonesim::wire::Crc16(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
              0x29B1);
}

class PhoneWire : public testing::Test {
protected:
    std::string Feed(const std::string& bytes) {
        return Joined(server_.Feed(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    }
    // The confirm the in-process phone gives for the same request.
    static std::string Reply(const char* command) {
        phonesim::Simulator reference;
        return reference.HandleText(command).reply;
    }
    std::string Expected(uint8_t function, const Bytes& request) {
        phonesim::Simulator reference;
        const phonesim::BinaryAnswer answer = reference.HandleBinary(function, request);
        return phonesim::wire::Frame(function, answer.confirm);
    }

    phonesim::Simulator sim_;
    phonesim::WireServer server_{sim_};
};

TEST_F(PhoneWire, TextCommandEndedByCrIsAnswered) {
    EXPECT_EQ(Feed("at@bt:hw_info()\r"), Reply("at@bt:hw_info()"));
    EXPECT_EQ(sim_.LastCommand(), "at@bt:hw_info()");
}

TEST_F(PhoneWire, TextCommandInPiecesWaitsForItsCr) {
    EXPECT_EQ(Feed("at@bt:hw"), "");
    EXPECT_TRUE(server_.Pending());
    EXPECT_EQ(Feed("_info()"), "");
    EXPECT_EQ(Feed("\r"), Reply("at@bt:hw_info()"));
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
    Bytes bad = kGolden[1].frame;
    bad[5] ^= 0x40; // switch-on request damaged on the line: the chip must stay off
    const std::string in = Str(bad) + Str(kGolden[0].frame);
    EXPECT_EQ(Feed(in), Expected(8, {}));
    EXPECT_EQ(server_.BadFrames(), 1u);
    EXPECT_EQ(sim_.BinaryCount(9), 0u);
    EXPECT_FALSE(sim_.Chip().on);
}

TEST_F(PhoneWire, LengthAboveTheConfirmBufferIsNoRequest) {
    const std::string in = std::string("\xA5\x08\x99\x3A", 4) + Str(kGolden[0].frame);
    EXPECT_EQ(Feed(in), Expected(8, {}));
    EXPECT_EQ(sim_.BinaryCount(8), 1u);
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
    std::size_t badFrames;
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
    EXPECT_EQ(reader.BadFrames() > 0, c.badFrames > 0);
}

INSTANTIATE_TEST_SUITE_P(LinkFaults, PhoneWireFaults,
                         testing::Values(FaultCase{"Split", phonesim::LinkFault::Split, 4, 1, 0},
                                         FaultCase{"Noise", phonesim::LinkFault::Noise, 1, 1, 1},
                                         FaultCase{"DamagedCopy", phonesim::LinkFault::DamagedCopy,
                                                   1, 1, 1},
                                         FaultCase{"BadCrc", phonesim::LinkFault::BadCrc, 1, 0, 1},
                                         FaultCase{"Silent", phonesim::LinkFault::Silent, 0, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PhoneWireFaultNames, CommandLineNamesAreKnown) {
    phonesim::LinkFault fault{};
    for (const char* name : {"split", "noise", "damaged-copy", "bad-crc", "silent"})
        EXPECT_TRUE(phonesim::ParseLinkFault(name, fault)) << name;
    EXPECT_FALSE(phonesim::ParseLinkFault("Split", fault));
    EXPECT_FALSE(phonesim::ParseLinkFault("", fault));
}

} // namespace
