// The phone's answers to binary test functions, checked byte by byte.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "phonesim.h"

using phonesim::Fault;
using phonesim::FaultSpec;
using phonesim::Simulator;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Confirm(Simulator& sim, int32_t function, const Bytes& request = {}) {
    const phonesim::BinaryAnswer answer = sim.HandleBinary(function, request);
    EXPECT_TRUE(answer.hostOk);
    EXPECT_EQ(answer.reportedLength, answer.confirm.size());
    return answer.confirm;
}

Bytes HciRequest(const Bytes& command) {
    Bytes request(152, 0);
    request[0] = 1;
    request[1] = static_cast<uint8_t>(command.size());
    std::copy(command.begin(), command.end(), request.begin() + 2);
    return request;
}

Bytes Padded(Bytes head, std::size_t size) {
    head.resize(size, 0);
    return head;
}

} // namespace

struct GoldenConfirm {
    int32_t function;
    Bytes request;
    Bytes confirm;
};

class PhoneBinaryGolden : public ::testing::TestWithParam<GoldenConfirm> {};

TEST_P(PhoneBinaryGolden, AnswersAtPowerUpWithTheFixedSize) {
    Simulator sim;
    EXPECT_EQ(Confirm(sim, GetParam().function, GetParam().request), GetParam().confirm);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFunction, PhoneBinaryGolden,
    ::testing::Values(
        GoldenConfirm{0, {}, {1}},
        GoldenConfirm{1, Padded({1, 0, 0x11, 0x22, 0x33, 0x44, 0x55}, 22), {1}},
        GoldenConfirm{2, Padded({1}, 30), {1}}, GoldenConfirm{3, {1, 39, 2, 3, 1, 0xAA, 1}, {1}},
        GoldenConfirm{4, {1, 78}, {1}},
        GoldenConfirm{5, {}, {1, 1, 4, 6, 0, 0, 0x12, 0x34, 2, 0, 0, 1}},
        GoldenConfirm{6, {1, 2}, {1}}, GoldenConfirm{7, {}, {1}},
        GoldenConfirm{8, {}, {1, 1, 0, 0}}, GoldenConfirm{9, {1, 1}, {1}},
        GoldenConfirm{10, {}, {1}}, GoldenConfirm{11, {}, {1, 1, 0, 0, 0x17}},
        GoldenConfirm{12, {1, 1, 7}, {1}}, GoldenConfirm{13, {}, {1, 1, 0, 0, 0x2A, 0, 0, 0x0C}},
        GoldenConfirm{14, {1, 1, 40, 0, 0}, {1}}, GoldenConfirm{15, {}, {1, 1, 0, 0, 0}},
        GoldenConfirm{16, {1, 1, 0, 1}, {1}}, GoldenConfirm{17, {}, {1, 1, 0, 0, 0, 0, 0xF4, 0x01}},
        GoldenConfirm{18, {1, 0, 1, 0, 0x34, 0x12}, {1}},
        GoldenConfirm{19, {}, {1, 1, 0, 0, 0, 0x5C}}, GoldenConfirm{20, {1, 1, 2, 90}, {1}},
        GoldenConfirm{21, {1, 0x0A, 0x02}, {1, 1, 0xC4}}, GoldenConfirm{22, {}, {2}},
        GoldenConfirm{23, {14, 1, 0xF6, 0, 0, 0, 0, 0}, {1}},
        GoldenConfirm{24, {0}, {1, 0, 1, 0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13}},
        GoldenConfirm{24, {15}, {1, 15, 1, 0, 0, 0, 0, 0, 0}},
        GoldenConfirm{25, {1, 19, 37, 0xFC, 0}, {1}}, GoldenConfirm{26, {1, 19}, {1}},
        GoldenConfirm{27, {}, {1, 1, 0, 0}}, GoldenConfirm{29, {8, 0}, {1, 1, 1}},
        GoldenConfirm{29, {22, 0}, {2, 0, 0}}, GoldenConfirm{29, {30, 0}, {2, 0, 0}},
        GoldenConfirm{30, {}, {2}}, GoldenConfirm{-1, {}, {2}},
        // HCI_Reset answers Command Complete; a length above 150 is refused.
        GoldenConfirm{28, HciRequest({0x01, 0x03, 0x0C, 0x00}),
                      Padded({1, 1, 6, 0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}, 153)},
        GoldenConfirm{28, Padded({1, 151}, 152), Padded({3, 1}, 153)},
        // A request of another size or version is refused with status 3.
        GoldenConfirm{9, {1}, {3}}, GoldenConfirm{9, {2, 1}, {3}},
        GoldenConfirm{5, {1}, Padded({3, 1}, 12)},
        // The NVM store refuses unknown wire ids.
        GoldenConfirm{24, {16}, {3, 16, 0, 0, 0, 0, 0, 0, 0}},
        GoldenConfirm{23, {16, 1, 0, 0, 0, 0, 0, 0}, {3}}),
    [](const auto& info) {
        return "Case" + std::to_string(info.index) + "_Function" +
               (info.param.function < 0 ? std::string("Minus") : std::string()) +
               std::to_string(std::abs(info.param.function));
    });

TEST(PhoneBinaryNvm, WritesReadsAndStatusShareTheStoreWithTheTextSide) {
    Simulator sim;
    EXPECT_EQ(Confirm(sim, 23, {14, 1, 0xF6, 9, 9, 9, 9, 9}), (Bytes{1}));
    EXPECT_EQ(Confirm(sim, 24, {14}), (Bytes{1, 14, 1, 0xF6, 0, 0, 0, 0, 0}));
    EXPECT_NE(sim.HandleText("at@bt:read_all_nvm_params()").reply.find("\r\n-10\r\n-70\r\n"),
              std::string::npos);
    sim.HandleText("at@bt:write_nvm_lpc_power_2mbps(-7)");
    EXPECT_EQ(Confirm(sim, 24, {10}), (Bytes{1, 10, 1, 0xF9, 0, 0, 0, 0, 0}));
    sim.Chip().wireStatus[4] = 2;
    sim.Chip().wireVersion[4] = 3;
    EXPECT_EQ(Confirm(sim, 24, {4}), (Bytes{2, 4, 3, 7, 0, 0, 0, 0, 0}));
    Confirm(sim, 23, {4, 1, 8, 0, 0, 0, 0, 0});
    EXPECT_EQ(Confirm(sim, 24, {4}), (Bytes{1, 4, 1, 8, 0, 0, 0, 0, 0})) << "a write validates";
}

TEST(PhoneBinaryVersions, ScriptedVersionsShowInQueryAndConfirms) {
    Simulator sim;
    sim.SetBinaryVersions(8, 2, 3);
    EXPECT_EQ(Confirm(sim, 29, {8, 0}), (Bytes{1, 2, 3}));
    EXPECT_EQ(Confirm(sim, 8), (Bytes{1, 3, 0, 0}));
    sim.SetBinaryVersions(9, 2, 1);
    EXPECT_EQ(Confirm(sim, 9, {1, 1}), (Bytes{3})) << "request version 1 no longer accepted";
    EXPECT_EQ(Confirm(sim, 9, {2, 1}), (Bytes{1}));
    sim.SetBinarySupported(5, false);
    EXPECT_EQ(Confirm(sim, 29, {5, 0}), (Bytes{2, 0, 0}));
    EXPECT_EQ(Confirm(sim, 5)[0], 2);
}

struct BinaryFaultCase {
    const char* name;
    FaultSpec fault;
    int32_t function;
    Bytes request;
    bool hostOk;
    Bytes confirm;
    uint32_t reported;
};

class PhoneBinaryFault : public ::testing::TestWithParam<BinaryFaultCase> {};

TEST_P(PhoneBinaryFault, ShapesTheConfirm) {
    Simulator sim;
    sim.InjectBinary(GetParam().fault);
    const phonesim::BinaryAnswer answer = sim.HandleBinary(GetParam().function, GetParam().request);
    EXPECT_EQ(answer.hostOk, GetParam().hostOk);
    EXPECT_EQ(answer.confirm, GetParam().confirm);
    EXPECT_EQ(answer.reportedLength, GetParam().reported);
    EXPECT_EQ(Confirm(sim, 0), (Bytes{1})) << "a fault is used once unless persistent";
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, PhoneBinaryFault,
    ::testing::Values(
        BinaryFaultCase{"HostCallFails", {Fault::HostCallFails}, 8, {}, false, {}, 0},
        BinaryFaultCase{"NoReply", {Fault::NoReply}, 8, {}, true, {}, 0},
        BinaryFaultCase{"Status5", {Fault::ErrorCode}, 8, {}, true, {5, 1, 0, 0}, 4},
        BinaryFaultCase{"StatusGiven", {Fault::ErrorCode, 2}, 0, {}, true, {2}, 1},
        BinaryFaultCase{"WrongSizeShort", {Fault::WrongSize, 4}, 5, {}, true, {1, 1, 4, 6}, 4},
        BinaryFaultCase{"WrongSizeLong", {Fault::WrongSize}, 8, {}, true, {1, 1, 0, 0, 0}, 5},
        BinaryFaultCase{
            "WrongNvmId", {Fault::WrongNvmId}, 24, {3}, true, {1, 4, 1, 0xFE, 0, 0, 0, 0, 0}, 9},
        BinaryFaultCase{"Garbage", {Fault::Garbage}, 8, {}, true, {0xA5, 0xA5, 0xA5, 0xA5}, 4},
        BinaryFaultCase{"Verbatim", {Fault::Verbatim, 0, "", {1, 7}}, 8, {}, true, {1, 7}, 2},
        BinaryFaultCase{"HciTooLong",
                        {Fault::HciTooLong},
                        28,
                        HciRequest({0x03, 0x0C, 0x00}),
                        true,
                        Padded({1, 1, 151, 0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}, 153),
                        153}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PhoneBinaryFaultLong, OversizeLengthReportsMoreThanItWrites) {
    Simulator sim;
    sim.InjectBinary({Fault::OversizeLength});
    phonesim::BinaryAnswer answer = sim.HandleBinary(8, {});
    EXPECT_EQ(answer.reportedLength, 16000u);
    EXPECT_EQ(answer.confirm.size(), phonesim::kConfirmBufferSize);
    EXPECT_EQ(Bytes(answer.confirm.begin(), answer.confirm.begin() + 4), (Bytes{1, 1, 0, 0}));

    sim.InjectBinary({Fault::OversizeLength, 65535});
    answer = sim.HandleBinary(0, {});
    EXPECT_EQ(answer.reportedLength, 65535u);
    EXPECT_EQ(answer.confirm.size(), phonesim::kConfirmBufferSize);
}

TEST(PhoneBinaryFaultScope, TargetsOneFunctionAndPersists) {
    Simulator sim;
    FaultSpec fault{Fault::ErrorCode, 5};
    fault.persistent = true;
    sim.InjectBinary(fault, 9);
    EXPECT_EQ(Confirm(sim, 0), (Bytes{1}));
    EXPECT_EQ(Confirm(sim, 9, {1, 1}), (Bytes{5}));
    EXPECT_EQ(Confirm(sim, 9, {1, 1}), (Bytes{5}));
    EXPECT_FALSE(sim.Chip().on) << "a refused request must not change the chip";
    sim.ClearFaults();
    EXPECT_EQ(Confirm(sim, 9, {1, 1}), (Bytes{1}));
}

TEST(PhoneBinaryRecords, KeepsEveryRequestWithItsConfirm) {
    Simulator sim;
    sim.InjectBinary({Fault::HostCallFails}, 8);
    sim.HandleBinary(8, {});
    sim.HandleBinary(9, Bytes{1, 1});
    sim.HandleBinary(9, Bytes{1, 0});
    ASSERT_EQ(sim.BinaryLog().size(), 3u);
    EXPECT_EQ(sim.BinaryCount(8), 1u);
    EXPECT_EQ(sim.BinaryCount(9), 2u);
    EXPECT_FALSE(sim.BinaryLog()[0].hostOk);
    EXPECT_EQ(sim.BinaryLog()[1].request, (Bytes{1, 1}));
    EXPECT_EQ(sim.BinaryLog()[1].confirm, (Bytes{1}));
    EXPECT_EQ(sim.LastRequest(), (Bytes{1, 0}));
}
