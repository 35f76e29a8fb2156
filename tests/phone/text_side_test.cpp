// The phone's answers to text commands, checked against replies written out in full, and
// the host slots 54 and 175 that carry them, with slot 18 of the binary test functions.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "phone/host_slots.h"
#include "phone/phonesim.h"

using phonesim::Fault;
using phonesim::FaultSpec;
using phonesim::Simulator;

namespace {

// "{a,b,...}" of `head` followed by zeros up to 150 elements.
std::string Array150(const std::vector<int>& head) {
    std::string out = "{";
    for (std::size_t i = 0; i < 150; ++i)
        out += (i ? "," : "") + std::to_string(i < head.size() ? head[i] : 0);
    return out + "}";
}

std::string HciCommand(const std::vector<int>& bytes) {
    return "at@bt:hci_command(" + std::to_string(bytes.size()) + "," + Array150(bytes) + ")";
}

std::string HciReply(int length, const std::vector<int>& event) {
    return std::to_string(length) + "\r\n" + Array150(event) + "\r\n0\r\nOK\r\n";
}

// The 43 NVM values at power-up in transfer order, without result code and "OK".
const std::string kReadAll =
    "{0,26,125,218,113,19}\r\n291\r\n26000000\r\n{191,254,207,254,219,255,123,135}\r\n"
    "1\r\n3\r\n250\r\n8\r\n9\r\n4\r\n2\r\n-2\r\n7\r\n3\r\n6\r\n5\r\n4\r\n0\r\n-2\r\n-4\r\n"
    "5\r\n2\r\n4\r\n-70\r\n0\r\n-90\r\n-40\r\n1\r\n6\r\n0\r\n1\r\n5\r\n6\r\n7\r\n17\r\n"
    "12\r\n2\r\n9\r\n15\r\n120\r\n9000\r\n32000\r\n28000\r\n";

struct Exchange {
    std::string command;
    std::string reply;
};

} // namespace

TEST(PhoneText, AnswersEveryCommandAtPowerUp) {
    const Exchange rows[] = {
        {"at@bt:hw_info()", "0\r\n0\r\n0\r\nOK\r\n"},
        {"at@bt:initialize(1)", "0\r\nOK\r\n"},
        {"at@bt:reset()", "0\r\nOK\r\n"},
        {"at@bt:reset()\r\n", "0\r\nOK\r\n"}, // a line terminator is tolerated
        {"at@bt:set_rf_test_mode({0,17,34,51,68,85},7,3,6,5,4,5,2,4,2,-2,0,-2,-4,4,0)",
         "0\r\nOK\r\n"},
        {"at@bt:set_tx_burst_mode({0,17,34,51,68,85},39,3,0,170,1,0,1,5,2,"
         "{255,255,255,255,255,255,255,255,255,127},0,-2,-4,4294967295)",
         "0\r\nOK\r\n"},
        {"at@bt:set_tx_continuous_mode(39,2,3,1,170,1)", "0\r\nOK\r\n"},
        {"at@bt:set_rx_continuous_mode(78)", "0\r\nOK\r\n"},
        {"at@bt:set_tx_le_mode(19,37,-4,0)", "0\r\nOK\r\n"},
        {"at@bt:rx_le_start(19)", "0\r\nOK\r\n"},
        {"at@bt:rx_le_end()", "0\r\n0\r\n0\r\nOK\r\n"},
        {"at@bt:get_lumora_version()", "{4,6,0,0,18,52,2,0,0,1}\r\n0\r\nOK\r\n"},
        {"at@bt:get_rssi_value({10,2})", "-60\r\n0\r\nOK\r\n"},
        {"at@bt:get_rtrim_values()", "0\r\n0\r\n23\r\n0\r\nOK\r\n"},
        {"at@bt:set_rtrim_manual_values(1,7)", "0\r\nOK\r\n"},
        {"at@bt:get_kfreq_ibiasdac_values()", "0\r\n0\r\n42\r\n0\r\n0\r\n12\r\n0\r\nOK\r\n"},
        {"at@bt:set_kfreq_ibiasdac_manual_values(1,40,0,0)", "0\r\nOK\r\n"},
        {"at@bt:get_temperature_values()", "0\r\n0\r\n500\r\n0\r\nOK\r\n"},
        {"at@bt:set_temperature_values(1,700)", "0\r\nOK\r\n"},
        {"at@bt:get_voltage_values()", "0\r\n0\r\n0\r\n92\r\n0\r\nOK\r\n"},
        {"at@bt:set_voltage_values(1,2,90)", "0\r\nOK\r\n"},
        {"at@bt:set_pcm_uart_wakeup_interface(1,0,1)", "0\r\nOK\r\n"},
        {"at@bt:get_pcm_uart_wakeup_interface_status()", "0\r\n0\r\n0\r\n0\r\nOK\r\n"},
        {"at@bt:set_pcm_loopback(2)", "0\r\nOK\r\n"},
        {"at@bt:get_opcode_version(30)", "1\r\n1\r\n0\r\nOK\r\n"},
        {"at@bt:get_opcode_version(34)", "0\r\n0\r\n1\r\nOK\r\n"},
        {"at@bt:write_nvm_bdaddr({1,2,3,4,5,6})", "0\r\nOK\r\n"},
        {"at@bt:write_nvm_rssi_min(-90)", "0\r\nOK\r\n"},
        {"at@bt:write_nvm_input_freq(4294967295)", "0\r\nOK\r\n"},
        {"at@bt:write_nvm_lmp_features({255,254,253,252,251,250,249,248})", "0\r\nOK\r\n"},
        {"at@bt:write_nvm_rx_current(65535)", "0\r\nOK\r\n"},
        {"at@bt:?", "OK\r\n"},
        {"at@bt:read_all_nvm_params()", kReadAll + "OK\r\n"},
        // The reply: how many parameters were stored and the 16-bit sum of their values.
        {"at@bt:write_all_nvm_params({1,2,3,4,5,6},7,8,{9,10,11,12,13,14,15,16},17,18,19,20,"
         "21,-22,-23,-24,25,26,27,28,29,-30,-31,-32,33,34,-35,-36,-37,-38,-39,40,41,42,43,44,"
         "45,46,47,48,49,50,51,52,53,54,55)",
         "43\r\n846\r\n0\r\nOK\r\n"},
        // Settings outside what the chip offers: not supported.
        {"at@bt:initialize(2)", "1\r\nOK\r\n"},
        {"at@bt:set_pcm_loopback(3)", "1\r\nOK\r\n"},
        {"at@bt:set_pcm_uart_wakeup_interface(0,2,0)", "1\r\nOK\r\n"},
        // HCI: Command Complete, BD address least significant byte first, "Unknown HCI
        // Command", Command Status "invalid parameters", the NVM feature mask, the LE tests
        // (a channel above 39 refused) and the end of an LE test that received nothing.
        {HciCommand({0x03, 0x0C, 0x00}), HciReply(6, {0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00})},
        {HciCommand({0x01, 0x03, 0x0C, 0x00}), HciReply(6, {0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00})},
        {HciCommand({0x09, 0x10, 0x00}),
         HciReply(12, {0x0E, 0x0A, 0x01, 0x09, 0x10, 0x00, 0x13, 0x71, 0xDA, 0x7D, 0x1A, 0x00})},
        {HciCommand({0x00, 0xFC, 0x01, 0x07}), HciReply(6, {0x0E, 0x04, 0x01, 0x00, 0xFC, 0x01})},
        {HciCommand({0x03, 0x0C, 0x02}), HciReply(6, {0x0F, 0x04, 0x12, 0x01, 0x03, 0x0C})},
        {HciCommand({0x03, 0x10, 0x00}), HciReply(14, {0x0E, 0x0C, 0x01, 0x03, 0x10, 0x00, 0xBF,
                                                       0xFE, 0xCF, 0xFE, 0xDB, 0xFF, 0x7B, 0x87})},
        {HciCommand({0x1D, 0x20, 0x01, 0x27}), HciReply(6, {0x0E, 0x04, 0x01, 0x1D, 0x20, 0x00})},
        {HciCommand({0x1D, 0x20, 0x01, 0x28}), HciReply(6, {0x0E, 0x04, 0x01, 0x1D, 0x20, 0x12})},
        {HciCommand({0x1E, 0x20, 0x03, 0x00, 0x25, 0x07}),
         HciReply(6, {0x0E, 0x04, 0x01, 0x1E, 0x20, 0x00})},
        {HciCommand({0x1F, 0x20, 0x00}), HciReply(8, {0x0E, 0x06, 0x01, 0x1F, 0x20, 0x00, 0, 0})},
        // Malformed commands.
        {"at@bt:reset", "ERROR\r\n"},                         // no parentheses
        {"at@bt:reset( )", "ERROR\r\n"},                      // blank
        {"at@bt:initialize(1,2)", "ERROR\r\n"},               // one argument too many
        {"at@bt:initialize()", "ERROR\r\n"},                  // one too few
        {"at@bt:unknown_command()", "ERROR\r\n"},             // not a command
        {"at@bt:write_nvm_rssi_min(-129)", "ERROR\r\n"},      // below a signed byte
        {"at@bt:write_nvm_epc_step_1mbps(256)", "ERROR\r\n"}, // above a byte
        {"at@bt:write_nvm_bdaddr({1,2,3})", "ERROR\r\n"},     // short array
        {"at@bt:write_nvm_bdaddr(1)", "ERROR\r\n"},           // array expected
        {"at@bt:set_rx_continuous_mode({5})", "ERROR\r\n"},   // number expected
        {"at@bt:set_rx_continuous_mode(0x10)", "ERROR\r\n"},  // decimal only
        {"at@bt:get_rssi_value({1,2)", "ERROR\r\n"},          // unclosed brace
        {"AT@BT:reset()", "ERROR\r\n"},                       // prefix is lower case
        {"", "ERROR\r\n"},
    };
    for (const Exchange& row : rows) {
        SCOPED_TRACE(row.command);
        Simulator sim;
        const phonesim::TextAnswer answer = sim.HandleText(row.command);
        EXPECT_TRUE(answer.hostOk);
        EXPECT_EQ(answer.reply, row.reply);
    }
}

// A refused or failed command changes nothing; an HCI reset ends the test mode.
TEST(PhoneText, ChipStateFollowsOnlyCommandsCarriedOut) {
    Simulator sim;
    sim.HandleText("at@bt:initialize(2)");
    sim.HandleText("at@bt:set_pcm_loopback(3)");
    sim.InjectText({Fault::ErrorCode, 3}, "at@bt:initialize");
    EXPECT_EQ(sim.HandleText("at@bt:reset()").reply, "0\r\nOK\r\n") << "another command";
    EXPECT_EQ(sim.HandleText("at@bt:initialize(1)").reply, "3\r\nOK\r\n");
    EXPECT_FALSE(sim.Chip().on);
    EXPECT_EQ(sim.Chip().loopback, 0u);
    EXPECT_EQ(sim.HandleText("at@bt:initialize(1)").reply, "0\r\nOK\r\n") << "used once";
    EXPECT_TRUE(sim.Chip().on);
    sim.Chip().mode = phonesim::TestMode::TxBurst;
    sim.HandleText(HciCommand({0x03, 0x0C, 0x00}));
    EXPECT_EQ(sim.Chip().mode, phonesim::TestMode::None);
}

TEST(PhoneText, InjectedFaultsShapeOneReply) {
    struct Row {
        FaultSpec fault;
        std::string command;
        bool hostOk;
        std::string reply;
    };
    const Row rows[] = {
        {{Fault::HostCallFails}, "at@bt:reset()", false, ""},
        {{Fault::HostCallFails, 0, "partial"}, "at@bt:reset()", false, "partial"},
        {{Fault::NoReply}, "at@bt:reset()", true, ""},
        {{Fault::Garbage}, "at@bt:reset()", true, "~#?%GARBAGE&@!~\r\n"},
        {{Fault::MissingOk}, "at@bt:get_rtrim_values()", true, "0\r\n0\r\n23\r\n0\r\n"},
        {{Fault::ErrorCode}, "at@bt:reset()", true, "5\r\nOK\r\n"},
        {{Fault::ErrorCode, -1}, "at@bt:hw_info()", true, "0\r\n0\r\n-1\r\nOK\r\n"},
        {{Fault::ErrorCode, 5}, "at@bt:read_all_nvm_params()", true, kReadAll + "5\r\nOK\r\n"},
        {{Fault::ValueShort}, "at@bt:get_rtrim_values()", true, "0\r\n0\r\n0\r\nOK\r\n"},
        {{Fault::ValueShort}, "at@bt:reset()", true, "OK\r\n"},
        {{Fault::ValueShort},
         "at@bt:get_lumora_version()",
         true,
         "{4,6,0,0,18,52,2,0,0}\r\n0\r\nOK\r\n"},
        {{Fault::ValueExtra}, "at@bt:get_rssi_value({0,1})", true, "-60\r\n0\r\n0\r\nOK\r\n"},
        {{Fault::Verbatim, 0, "0,OK"}, "at@bt:reset()", true, "0,OK"},
        {{Fault::HciTooLong},
         HciCommand({0x03, 0x0C, 0x00}),
         true,
         HciReply(151, {0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command + " fault " + std::to_string(static_cast<int>(row.fault.kind)));
        Simulator sim;
        sim.InjectText(row.fault);
        const phonesim::TextAnswer answer = sim.HandleText(row.command);
        EXPECT_EQ(answer.hostOk, row.hostOk);
        EXPECT_EQ(answer.reply, row.reply);
        EXPECT_EQ(sim.HandleText("at@bt:reset()").reply, "0\r\nOK\r\n") << "used once";
    }
}

// Slot 18 never writes past its 15000-byte confirm buffer, slot 54 reads exactly the length
// it is given and never writes past its 512-byte buffer; slot 175 hands the reply to the
// host's object, also the text of a failed call.
TEST(PhoneSlots, KeepTheHostsBuffersAndReplyObject) {
    Simulator sim;
    Simulator* previous = phonesim::BindHostSlots(&sim);
    std::vector<uint8_t> confirm(15000 + 64, 0xEE), response(512 + 64, 0xEE);
    uint16_t length = 0;
    sim.InjectBinary({Fault::WrongSize, 20000}); // a confirm longer than the buffer
    EXPECT_EQ(PhonesimBluetoothGeneric(8, 0, nullptr, &length, confirm.data(), 7), 1);
    EXPECT_EQ(length, 20000);
    EXPECT_EQ(confirm[15000], 0xEE) << "written past the confirm buffer";

    const std::string padded = "at@bt:hw_info()garbage-after-length";
    EXPECT_EQ(PhonesimZepGeneric(0, 15, reinterpret_cast<const uint8_t*>(padded.data()), &length,
                                 response.data(), 7),
              1);
    EXPECT_EQ(std::string(response.begin(), response.begin() + length), "0\r\n0\r\n0\r\nOK\r\n");

    sim.InjectText({Fault::Verbatim, 0, std::string(600, '7')});
    const std::vector<uint8_t> long_(600, 'x');
    EXPECT_EQ(PhonesimZepGeneric(0, 600, long_.data(), &length, response.data(), 7), 1);
    EXPECT_EQ(length, 512);
    EXPECT_EQ(sim.LastCommand().size(), 512u) << "read past the command buffer";
    EXPECT_EQ(response[512], 0xEE) << "written past the response buffer";

    struct Reply {
        phonesim::SlotHostText object{&Reply::Assign, this};
        std::string text = "untouched";
        static void Assign(phonesim::SlotHostText* self, const char* data, uint32_t size) {
            static_cast<Reply*>(self->context)->text.assign(data, size);
        }
    } ok, failed, silent;
    EXPECT_EQ(PhonesimZepSendReceive("at@bt:reset()", &ok.object, 1, -1, 1, 0), 1);
    EXPECT_EQ(ok.text, "0\r\nOK\r\n");
    sim.InjectText({Fault::HostCallFails, 0, "timeout"});
    EXPECT_EQ(PhonesimZepSendReceive("at@bt:reset()", &failed.object, 1, -1, 1, 0), 0);
    EXPECT_EQ(failed.text, "timeout");
    sim.InjectText({Fault::HostCallFails});
    EXPECT_EQ(PhonesimZepSendReceive("at@bt:reset()", &silent.object, 1, -1, 1, 0), 0);
    EXPECT_EQ(silent.text, "untouched");
    phonesim::BindHostSlots(previous);
}
