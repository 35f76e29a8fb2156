// The host slots served by the simulator: buffer limits a host must keep, and the reply
// object of slot 175.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host_slots.h"

using phonesim::Fault;
using phonesim::FaultSpec;
using phonesim::Simulator;

namespace {

// Binds a fresh simulator for one test and unbinds it afterwards.
class BoundPhone : public ::testing::Test {
protected:
    void SetUp() override { previous_ = phonesim::BindHostSlots(&sim_); }
    void TearDown() override { phonesim::BindHostSlots(previous_); }
    Simulator sim_;
    Simulator* previous_ = nullptr;
};

struct ReplyText {
    phonesim::SlotHostText object{&ReplyText::Assign, this};
    std::string text;
    int assigned = 0;
    static void Assign(phonesim::SlotHostText* self, const char* data, uint32_t length) {
        auto* owner = static_cast<ReplyText*>(self->context);
        owner->text.assign(data, length);
        ++owner->assigned;
    }
};

constexpr uint8_t kGuard = 0xEE;

} // namespace

using HostSlots = BoundPhone;

TEST_F(HostSlots, OversizeConfirmNeverWritesPast15000Bytes) {
    std::vector<uint8_t> buffer(phonesim::kConfirmBufferSize + 64, kGuard);
    uint16_t length = 0;
    sim_.InjectBinary({Fault::OversizeLength, 20000});
    EXPECT_EQ(PhonesimBluetoothGeneric(8, 0, nullptr, &length, buffer.data(), 7), 1);
    EXPECT_EQ(length, 20000);
    for (std::size_t i = phonesim::kConfirmBufferSize; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], kGuard) << "written past the confirm buffer at " << i;
}

TEST_F(HostSlots, TextSlot54CutsALongReplyTo512Bytes) {
    sim_.InjectText({Fault::Verbatim, 0, std::string(600, '7')});
    std::vector<uint8_t> response(phonesim::kZepBufferSize + 64, kGuard);
    uint16_t length = 0;
    const std::string command = "at@bt:reset()";
    EXPECT_EQ(PhonesimZepGeneric(0, static_cast<uint16_t>(command.size()),
                                 reinterpret_cast<const uint8_t*>(command.data()), &length,
                                 response.data(), 7),
              1);
    EXPECT_EQ(length, 512);
    for (std::size_t i = phonesim::kZepBufferSize; i < response.size(); ++i)
        ASSERT_EQ(response[i], kGuard) << "written past the response buffer at " << i;
}

TEST_F(HostSlots, TextSlot54ReadsNoMoreThanTheCommandBuffer) {
    std::vector<uint8_t> command(600, 'x');
    std::vector<uint8_t> response(phonesim::kZepBufferSize, 0);
    uint16_t length = 0;
    PhonesimZepGeneric(0, 600, command.data(), &length, response.data(), 7);
    ASSERT_EQ(sim_.TextLog().size(), 1u);
    EXPECT_EQ(sim_.TextLog()[0].command.size(), 512u);
}

TEST_F(HostSlots, TextSlot54AnswersTheCommandOfTheGivenLength) {
    const std::string buffer = "at@bt:hw_info()garbage-after-length";
    std::vector<uint8_t> response(phonesim::kZepBufferSize, 0);
    uint16_t length = 0;
    EXPECT_EQ(PhonesimZepGeneric(0, 15, reinterpret_cast<const uint8_t*>(buffer.data()), &length,
                                 response.data(), 7),
              1);
    EXPECT_EQ(std::string(response.begin(), response.begin() + length), "0\r\n0\r\n0\r\nOK\r\n");
    EXPECT_EQ(sim_.TextLog()[0].slot, 54);
}

TEST_F(HostSlots, TextSlot175FillsTheReplyObjectAlsoOnAFailure) {
    ReplyText ok;
    EXPECT_EQ(PhonesimZepSendReceive("at@bt:reset()", &ok.object, 1, -1, 1, 0), 1);
    EXPECT_EQ(ok.text, "0\r\nOK\r\n");
    EXPECT_EQ(sim_.TextLog()[0].slot, 175);
    ReplyText reply;
    sim_.InjectText({Fault::HostCallFails, 0, "timeout"});
    EXPECT_EQ(PhonesimZepSendReceive("at@bt:reset()", &reply.object, 1, -1, 1, 0), 0);
    EXPECT_EQ(reply.text, "timeout");
    ReplyText untouched;
    sim_.InjectText({Fault::HostCallFails});
    EXPECT_EQ(PhonesimZepSendReceive("at@bt:reset()", &untouched.object, 1, -1, 1, 0), 0);
    EXPECT_EQ(untouched.assigned, 0);
}

TEST(HostSlotsUnbound, EverySlotFailsWithoutASimulator) {
    Simulator* previous = phonesim::BindHostSlots(nullptr);
    uint8_t buffer[phonesim::kZepBufferSize] = {};
    uint16_t length = 0;
    ReplyText reply;
    EXPECT_EQ(PhonesimBluetoothGeneric(0, 0, nullptr, &length, buffer, 7), 0);
    EXPECT_EQ(PhonesimZepGeneric(0, 1, buffer, &length, buffer, 7), 0);
    EXPECT_EQ(PhonesimZepSendReceive("at@bt:?", &reply.object, 1, -1, 1, 0), 0);
    EXPECT_EQ(reply.assigned, 0);
    phonesim::BindHostSlots(previous);
}
