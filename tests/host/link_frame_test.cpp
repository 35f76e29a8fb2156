// Both ends of the serial link, byte by byte, without a pseudo-terminal. The frames are the
// golden vectors of docs/link.md: the station's codec and the phone's server meet the same bytes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/link_frame.h"
#include "phone/wire_server.h"

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

Bytes Damaged(Bytes frame) {
    frame[5] ^= 0xFF; // a byte damaged on the line
    return frame;
}

const Bytes kHwInfoRequest = {0xA5, 0x08, 0x00, 0x00, 0x3D, 0x65};
const Bytes kSwitchOnRequest = {0xA5, 0x09, 0x02, 0x00, 0x01, 0x01, 0x08, 0x77};
// Hardware information of a chip that is off.
const Bytes kHwInfoConfirm = {0xA5, 0x08, 0x04, 0x00, 0x01, 0x01, 0x00, 0x00, 0x46, 0x25};

TEST(LinkFrame, BothEndsWriteTheGoldenBytes) {
    struct Row {
        uint8_t function;
        Bytes payload, frame;
    };
    const Row rows[] = {
        {8, {}, kHwInfoRequest},
        {9, {1, 1}, kSwitchOnRequest},
        {29, {1, 8}, {0xA5, 0x1D, 0x02, 0x00, 0x01, 0x08, 0x7D, 0x6B}},
        {8, {1, 1, 0, 0}, kHwInfoConfirm},
        {8, {1, 1, 0, 1}, {0xA5, 0x08, 0x04, 0x00, 0x01, 0x01, 0x00, 0x01, 0x67, 0x35}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Str(row.frame));
        EXPECT_EQ(phonesim::wire::Frame(row.function, row.payload), Str(row.frame));
        EXPECT_EQ(Encode(row.function, row.payload), row.frame);
    }
    const std::string check = "123456789"; // the CRC-16/CCITT-FALSE check value
    const auto* bytes = reinterpret_cast<const uint8_t*>(check.data());
    EXPECT_EQ(seriallink::Crc16(bytes, check.size()), 0x29B1);
    EXPECT_EQ(phonesim::wire::Crc16(bytes, check.size()), 0x29B1);

    const Bytes cut = Encode(2, Bytes(20000, 0x11)); // cut to the confirm buffer
    EXPECT_EQ(cut.size(), 15006u);
    EXPECT_EQ(cut[2] | (cut[3] << 8), 15000);
}

std::vector<seriallink::Frame> Drain(seriallink::FrameReader& reader) {
    std::vector<seriallink::Frame> frames;
    while (auto frame = reader.Next())
        frames.push_back(*frame);
    return frames;
}

TEST(LinkReader, FindsTheSameFramesInOneReadOrByteByByte) {
    struct Row {
        const char* name;
        Bytes stream;
        std::vector<seriallink::Frame> frames;
        bool badFrames;
    };
    const Row rows[] = {
        {"one frame", Encode(21, {1, 2, 3, 4, 5}), {{21, {1, 2, 3, 4, 5}}}, false},
        {"two back to back",
         Cat({Encode(1, {1}), Encode(2, {2, 3})}),
         {{1, {1}}, {2, {2, 3}}},
         false},
        {"garbage with a start byte",
         Cat({{'x', 0x00, 0xA5, 0x10, 0x20, 0xFF}, Encode(5, {9, 8, 7})}),
         {{5, {9, 8, 7}}},
         true},
        {"bad CRC, then in step",
         Cat({Damaged(Encode(3, {1, 1, 1})), Encode(4, {2, 2})}),
         {{4, {2, 2}}},
         true},
        {"length above the buffer",
         Cat({{0xA5, 0x01, 0x99, 0x3A}, Encode(1, {7})}),
         {{1, {7}}},
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        seriallink::FrameReader whole, split;
        whole.Feed(row.stream.data(), row.stream.size());
        std::vector<seriallink::Frame> frames[2] = {Drain(whole), {}};
        EXPECT_EQ(whole.BadFrames() > 0, row.badFrames);
        for (uint8_t byte : row.stream) {
            split.Feed(&byte, 1);
            for (const auto& frame : Drain(split))
                frames[1].push_back(frame);
        }
        for (const auto& got : frames) {
            ASSERT_EQ(got.size(), row.frames.size());
            for (std::size_t i = 0; i < got.size(); ++i) {
                EXPECT_EQ(got[i].function, row.frames[i].function) << "frame " << i;
                EXPECT_EQ(got[i].payload, row.frames[i].payload) << "frame " << i;
            }
        }
    }
}

// The phone's end: what each piece of input is answered with, in order. A step without
// input is a pause on the line.
TEST(PhoneWire, AnswersEachMessageOnceWholeAndDropsWhatIsDamaged) {
    struct Step {
        std::string in, out;
    };
    struct Row {
        const char* name;
        std::vector<Step> steps;
        bool hostFails = false;
        std::size_t chipCommands = 1;
    };
    const std::string hw = Str(kHwInfoRequest), confirm = Str(kHwInfoConfirm);
    const Row rows[] = {
        {"text in pieces waits for its CR",
         {{"at@bt:hw", ""}, {"_info()", ""}, {"\r", "0\r\n0\r\n0\r\nOK\r\n"}}},
        {"first byte tells the protocols, a stray LF is skipped",
         {{hw + "\nat@bt:?\r" + hw, confirm + "OK\r\n" + confirm}},
         false,
         3},
        // A damaged switch-on and an oversized length: the chip stays off.
        {"damaged request dropped",
         {{Str(Damaged(kSwitchOnRequest)) + std::string("\xA5\x08\x99\x3A", 4) + hw, confirm}}},
        {"message cut short forgotten when the line goes quiet",
         {{std::string("\xA5\x08\x10", 3), ""}, {"", ""}, {"at@bt:?\r", "OK\r\n"}}},
        {"endless line answered ERROR without reaching the chip",
         {{"at@bt:" + std::string(5000, '1'), ""}, {"\r", "ERROR\r\n"}, {"at@bt:?\r", "OK\r\n"}}},
        {"failed host call leaves the line silent",
         {{"at@bt:?\r", ""}, {"at@bt:?\r", "OK\r\n"}},
         true,
         2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        phonesim::Simulator sim;
        phonesim::WireServer server(sim);
        if (row.hostFails) sim.InjectText({phonesim::Fault::HostCallFails, 0, "partial"});
        for (const Step& step : row.steps) {
            if (step.in.empty()) server.LineIdle();
            std::string out;
            for (const std::string& piece :
                 server.Feed(reinterpret_cast<const uint8_t*>(step.in.data()), step.in.size()))
                out += piece;
            EXPECT_EQ(out, step.out) << step.in;
        }
        EXPECT_FALSE(server.Pending());
        EXPECT_EQ(sim.TextLog().size() + sim.BinaryLog().size(), row.chipCommands);
    }
}

} // namespace
