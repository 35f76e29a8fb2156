// Every NVM write command is answered, and whatever a host sends is answered without harm.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "chip_tables.h"
#include "phonesim.h"

TEST(PhoneNvmTable, EveryWriteCommandIsAnswered) {
    phonesim::Simulator sim;
    for (const phonesim::NvmParam& p : phonesim::kNvmParams) {
        std::string value = "1";
        if (phonesim::ElementCount(p.kind) > 1) {
            value = "{1";
            for (int i = 1; i < phonesim::ElementCount(p.kind); ++i)
                value += ",1";
            value += "}";
        }
        const std::string command = "at@bt:write_nvm_" + std::string(p.suffix) + "(" + value + ")";
        EXPECT_EQ(sim.HandleText(command).reply, "0\r\nOK\r\n") << command;
    }
}

// Random input of every length: the simulator answers something and never reads or writes
// out of bounds (the sanitizer build checks the latter).
TEST(PhoneRobustness, RandomTextAndRequestsAreAnsweredWithoutHarm) {
    phonesim::Simulator sim;
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::string alphabet = "at@bt:(){},-0123456789_";
    for (int round = 0; round < 2000; ++round) {
        std::string text = round % 2 ? "at@bt:hci_command(" : "at@bt:";
        const int length = round % 97;
        for (int i = 0; i < length; ++i)
            text += round % 3 ? alphabet[static_cast<std::size_t>(byte(random)) % alphabet.size()]
                              : static_cast<char>(byte(random));
        const phonesim::TextAnswer answer = sim.HandleText(text);
        EXPECT_TRUE(answer.hostOk);
        EXPECT_FALSE(answer.reply.empty());

        std::vector<uint8_t> request(static_cast<std::size_t>(round % 160));
        for (uint8_t& b : request)
            b = static_cast<uint8_t>(byte(random));
        const phonesim::BinaryAnswer confirm = sim.HandleBinary(round % 34 - 2, request);
        EXPECT_FALSE(confirm.confirm.empty());
    }
}
