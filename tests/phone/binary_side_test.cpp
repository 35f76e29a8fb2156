// The phone's answers to binary test functions, checked byte by byte.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "phone/phonesim.h"

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

Bytes Padded(Bytes head, std::size_t size) {
    head.resize(size, 0);
    return head;
}

Bytes HciRequest(const Bytes& command) {
    Bytes request = Padded({1, static_cast<uint8_t>(command.size())}, 152);
    std::copy(command.begin(), command.end(), request.begin() + 2);
    return request;
}

} // namespace

TEST(PhoneBinary, AnswersEveryFunctionAtPowerUpWithTheFixedSize) {
    struct Row {
        int32_t function;
        Bytes request, confirm;
    };
    const Row rows[] = {
        {0, {}, {1}},
        {1, Padded({1, 0, 0x11, 0x22, 0x33, 0x44, 0x55}, 22), {1}},
        {2, Padded({1}, 30), {1}},
        {3, {1, 39, 2, 3, 1, 0xAA, 1}, {1}},
        {4, {1, 78}, {1}},
        {5, {}, {1, 1, 4, 6, 0, 0, 0x12, 0x34, 2, 0, 0, 1}},
        {6, {1, 2}, {1}},
        {7, {}, {1}},
        {8, {}, {1, 1, 0, 0}},
        {9, {1, 1}, {1}},
        {10, {}, {1}},
        {11, {}, {1, 1, 0, 0, 0x17}},
        {12, {1, 1, 7}, {1}},
        {13, {}, {1, 1, 0, 0, 0x2A, 0, 0, 0x0C}},
        {14, {1, 1, 40, 0, 0}, {1}},
        {15, {}, {1, 1, 0, 0, 0}},
        {16, {1, 1, 0, 1}, {1}},
        {17, {}, {1, 1, 0, 0, 0, 0, 0xF4, 0x01}},
        {18, {1, 0, 1, 0, 0x34, 0x12}, {1}},
        {19, {}, {1, 1, 0, 0, 0, 0x5C}},
        {20, {1, 1, 2, 90}, {1}},
        {21, {1, 0x0A, 0x02}, {1, 1, 0xC4}},
        {22, {}, {2}},
        {23, {14, 1, 0xF6, 0, 0, 0, 0, 0}, {1}},
        {24, {0}, {1, 0, 1, 0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13}},
        {24, {15}, {1, 15, 1, 0, 0, 0, 0, 0, 0}},
        {25, {1, 19, 37, 0xFC, 0}, {1}},
        {26, {1, 19}, {1}},
        {27, {}, {1, 1, 0, 0}},
        {29, {8, 0}, {1, 1, 1}},
        {29, {22, 0}, {2, 0, 0}},
        {29, {30, 0}, {2, 0, 0}},
        {30, {}, {2}},
        {-1, {}, {2}},
        // HCI_Reset answers Command Complete; a length above 150 is refused.
        {28, HciRequest({0x01, 0x03, 0x0C, 0x00}),
         Padded({1, 1, 6, 0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}, 153)},
        {28, Padded({1, 151}, 152), Padded({3, 1}, 153)},
        // A request of another size or version is refused with status 3.
        {9, {1}, {3}},
        {9, {2, 1}, {3}},
        {5, {1}, Padded({3, 1}, 12)},
        // The NVM store refuses unknown wire ids.
        {24, {16}, {3, 16, 0, 0, 0, 0, 0, 0, 0}},
        {23, {16, 1, 0, 0, 0, 0, 0, 0}, {3}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("function " + std::to_string(row.function) + ", request of " +
                     std::to_string(row.request.size()));
        Simulator sim;
        EXPECT_EQ(Confirm(sim, row.function, row.request), row.confirm);
    }
}

TEST(PhoneBinary, NvmWritesReadsAndStatusShareTheStoreWithTheTextSide) {
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

TEST(PhoneBinary, InjectedFaultsShapeOneConfirm) {
    struct Row {
        FaultSpec fault;
        int32_t function;
        Bytes request;
        bool hostOk;
        Bytes confirm;
        uint32_t reported;
    };
    const Row rows[] = {
        {{Fault::HostCallFails}, 8, {}, false, {}, 0},
        {{Fault::NoReply}, 8, {}, true, {}, 0},
        {{Fault::ErrorCode}, 8, {}, true, {5, 1, 0, 0}, 4},
        {{Fault::ErrorCode, 2}, 0, {}, true, {2}, 1},
        {{Fault::WrongSize, 4}, 5, {}, true, {1, 1, 4, 6}, 4},
        {{Fault::WrongSize}, 8, {}, true, {1, 1, 0, 0, 0}, 5},
        {{Fault::WrongNvmId}, 24, {3}, true, {1, 4, 1, 0xFE, 0, 0, 0, 0, 0}, 9},
        {{Fault::Garbage}, 8, {}, true, {0xA5, 0xA5, 0xA5, 0xA5}, 4},
        {{Fault::Verbatim, 0, "", {1, 7}}, 8, {}, true, {1, 7}, 2},
        {{Fault::HciTooLong},
         28,
         HciRequest({0x03, 0x0C, 0x00}),
         true,
         Padded({1, 1, 151, 0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}, 153),
         153},
        // A length above the host's buffer is reported; no more than the buffer is written.
        {{Fault::OversizeLength}, 8, {}, true, Padded({1, 1, 0, 0}, 15000), 16000},
        {{Fault::OversizeLength, 65535}, 0, {}, true, Padded({1}, 15000), 65535},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE("fault " + std::to_string(static_cast<int>(row.fault.kind)) + ", function " +
                     std::to_string(row.function));
        Simulator sim;
        sim.InjectBinary(row.fault);
        const phonesim::BinaryAnswer answer = sim.HandleBinary(row.function, row.request);
        EXPECT_EQ(answer.hostOk, row.hostOk);
        EXPECT_EQ(answer.confirm, row.confirm);
        EXPECT_EQ(answer.reportedLength, row.reported);
        EXPECT_EQ(Confirm(sim, 0), (Bytes{1})) << "a fault is used once unless persistent";
    }
}

// A fault may target one function or command, persist until cleared, or queue behind another.
TEST(PhoneFaults, TargetPersistAndQueue) {
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

    FaultSpec silent{Fault::NoReply};
    silent.persistent = true;
    sim.InjectText(silent);
    EXPECT_EQ(sim.HandleText("at@bt:reset()").reply, "");
    EXPECT_EQ(sim.HandleText("at@bt:hw_info()").reply, "");
    sim.ClearFaults();
    sim.InjectText({Fault::ErrorCode, 1});
    sim.InjectText({Fault::ErrorCode, 2});
    EXPECT_EQ(sim.HandleText("at@bt:reset()").reply, "1\r\nOK\r\n");
    EXPECT_EQ(sim.HandleText("at@bt:reset()").reply, "2\r\nOK\r\n");
    EXPECT_EQ(sim.HandleText("at@bt:reset()").reply, "0\r\nOK\r\n");
}

// Random input of every length: the simulator answers something and never reads or writes
// out of bounds (the sanitizer build checks the latter).
TEST(PhoneRobustness, RandomTextAndRequestsAreAnsweredWithoutHarm) {
    Simulator sim;
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::string alphabet = "at@bt:(){},-0123456789_";
    for (int round = 0; round < 2000; ++round) {
        std::string text = round % 2 ? "at@bt:hci_command(" : "at@bt:";
        for (int i = 0; i < round % 97; ++i)
            text += round % 3 ? alphabet[static_cast<std::size_t>(byte(random)) % alphabet.size()]
                              : static_cast<char>(byte(random));
        EXPECT_FALSE(sim.HandleText(text).reply.empty()) << text;
        Bytes request(static_cast<std::size_t>(round % 160));
        for (uint8_t& b : request)
            b = static_cast<uint8_t>(byte(random));
        EXPECT_FALSE(sim.HandleBinary(round % 34 - 2, request).confirm.empty());
    }
}
