// The phone's answers to text commands, checked against replies written out in full.

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "phonesim.h"

using phonesim::Fault;
using phonesim::FaultSpec;
using phonesim::Simulator;

namespace {

std::string Ask(Simulator& sim, const std::string& command) {
    const phonesim::TextAnswer answer = sim.HandleText(command);
    EXPECT_TRUE(answer.hostOk) << command;
    return answer.reply;
}

// "{a,b,...}" of `head` followed by zeros up to 150 elements.
std::string Array150(const std::vector<int>& head) {
    std::string out = "{";
    for (int i = 0; i < 150; ++i) {
        out += i ? "," : "";
        out += std::to_string(i < static_cast<int>(head.size()) ? head[static_cast<std::size_t>(i)]
                                                                : 0);
    }
    return out + "}";
}

std::string HciCommand(const std::vector<int>& bytes) {
    return "at@bt:hci_command(" + std::to_string(bytes.size()) + "," + Array150(bytes) + ")";
}

} // namespace

struct GoldenReply {
    const char* command;
    const char* reply;
};

class PhoneTextGolden : public ::testing::TestWithParam<GoldenReply> {};

TEST_P(PhoneTextGolden, AnswersAtPowerUp) {
    Simulator sim;
    EXPECT_EQ(Ask(sim, GetParam().command), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, PhoneTextGolden,
    ::testing::Values(
        GoldenReply{"at@bt:hw_info()", "0\r\n0\r\n0\r\nOK\r\n"},
        GoldenReply{"at@bt:initialize(1)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:reset()", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:set_rf_test_mode({0,17,34,51,68,85},7,3,6,5,4,5,2,4,2,-2,0,-2,-4,4,0)",
                    "0\r\nOK\r\n"},
        GoldenReply{"at@bt:set_tx_burst_mode({0,17,34,51,68,85},39,3,0,170,1,0,1,5,2,"
                    "{255,255,255,255,255,255,255,255,255,127},0,-2,-4,4294967295)",
                    "0\r\nOK\r\n"},
        GoldenReply{"at@bt:set_tx_continuous_mode(39,2,3,1,170,1)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:set_rx_continuous_mode(78)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:set_tx_le_mode(19,37,-4,0)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:rx_le_start(19)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:rx_le_end()", "0\r\n0\r\n0\r\nOK\r\n"},
        GoldenReply{"at@bt:get_lumora_version()", "{4,6,0,0,18,52,2,0,0,1}\r\n0\r\nOK\r\n"},
        GoldenReply{"at@bt:get_rssi_value({10,2})", "-60\r\n0\r\nOK\r\n"},
        GoldenReply{"at@bt:get_rtrim_values()", "0\r\n0\r\n23\r\n0\r\nOK\r\n"},
        GoldenReply{"at@bt:set_rtrim_manual_values(1,7)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:get_kfreq_ibiasdac_values()",
                    "0\r\n0\r\n42\r\n0\r\n0\r\n12\r\n0\r\nOK\r\n"},
        GoldenReply{"at@bt:set_kfreq_ibiasdac_manual_values(1,40,0,0)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:get_temperature_values()", "0\r\n0\r\n500\r\n0\r\nOK\r\n"},
        GoldenReply{"at@bt:set_temperature_values(1,700)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:get_voltage_values()", "0\r\n0\r\n0\r\n92\r\n0\r\nOK\r\n"},
        GoldenReply{"at@bt:set_voltage_values(1,2,90)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:set_pcm_uart_wakeup_interface(1,0,1)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:get_pcm_uart_wakeup_interface_status()", "0\r\n0\r\n0\r\n0\r\nOK\r\n"},
        GoldenReply{"at@bt:set_pcm_loopback(2)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:get_opcode_version(30)", "1\r\n1\r\n0\r\nOK\r\n"},
        GoldenReply{"at@bt:get_opcode_version(34)", "0\r\n0\r\n1\r\nOK\r\n"},
        GoldenReply{"at@bt:write_nvm_bdaddr({1,2,3,4,5,6})", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:write_nvm_rssi_min(-90)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:write_nvm_input_freq(4294967295)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:write_nvm_lmp_features({255,254,253,252,251,250,249,248})",
                    "0\r\nOK\r\n"},
        GoldenReply{"at@bt:write_nvm_rx_current(65535)", "0\r\nOK\r\n"},
        GoldenReply{"at@bt:?", "OK\r\n"}),
    [](const auto& info) {
        // The command's name, letters and digits only, numbered to keep repeats apart.
        std::string name = std::to_string(info.index) + "_";
        const std::string command = info.param.command;
        for (char c : command.substr(6, command.find('(') - 6))
            if (std::isalnum(static_cast<unsigned char>(c))) name += c;
        return name;
    });

TEST(PhoneText, ReadAllCarriesTheFortyThreeValuesInTransferOrderWithoutCode) {
    Simulator sim;
    EXPECT_EQ(
        Ask(sim, "at@bt:read_all_nvm_params()"),
        "{0,26,125,218,113,19}\r\n291\r\n26000000\r\n{191,254,207,254,219,255,123,135}\r\n"
        "1\r\n3\r\n250\r\n8\r\n9\r\n4\r\n2\r\n-2\r\n7\r\n3\r\n6\r\n5\r\n4\r\n0\r\n-2\r\n-4\r\n"
        "5\r\n2\r\n4\r\n-70\r\n0\r\n-90\r\n-40\r\n1\r\n6\r\n0\r\n1\r\n5\r\n6\r\n7\r\n17\r\n"
        "12\r\n2\r\n9\r\n15\r\n120\r\n9000\r\n32000\r\n28000\r\nOK\r\n");
}

// The reply: how many parameters were stored and the 16-bit sum of their values.
TEST(PhoneText, WriteAllAnswersTheCountAndSumOfTheValues) {
    Simulator sim;
    EXPECT_EQ(Ask(sim, "at@bt:write_all_nvm_params({1,2,3,4,5,6},7,8,{9,10,11,12,13,14,15,16},"
                       "17,18,19,20,21,-22,-23,-24,25,26,27,28,29,-30,-31,-32,33,34,-35,-36,-37,"
                       "-38,-39,40,41,42,43,44,45,46,47,48,49,50,51,52,53,54,55)"),
              "43\r\n846\r\n0\r\nOK\r\n");
}

TEST(PhoneText, OutOfRangeSettingsAnswerNotSupported) {
    Simulator sim;
    EXPECT_EQ(Ask(sim, "at@bt:initialize(2)"), "1\r\nOK\r\n");
    EXPECT_EQ(Ask(sim, "at@bt:set_pcm_loopback(3)"), "1\r\nOK\r\n");
    EXPECT_EQ(Ask(sim, "at@bt:set_pcm_uart_wakeup_interface(0,2,0)"), "1\r\nOK\r\n");
    EXPECT_FALSE(sim.Chip().on);
    EXPECT_EQ(sim.Chip().loopback, 0u);
}

TEST(PhoneText, ReportsScriptedOpcodeVersions) {
    Simulator sim;
    sim.SetTextVersions(3, 2, 1);
    sim.SetTextVersions(9, 1, 3, 7);
    EXPECT_EQ(Ask(sim, "at@bt:get_opcode_version(3)"), "2\r\n1\r\n0\r\nOK\r\n");
    EXPECT_EQ(Ask(sim, "at@bt:get_opcode_version(9)"), "1\r\n3\r\n7\r\nOK\r\n");
    EXPECT_EQ(Ask(sim, "at@bt:get_opcode_version(4)"), "1\r\n1\r\n0\r\nOK\r\n");
}

struct HciCase {
    const char* name;
    std::vector<int> command;
    int length;
    std::vector<int> event;
};

class PhoneTextHci : public ::testing::TestWithParam<HciCase> {};

TEST_P(PhoneTextHci, AnswersLikeTheChip) {
    Simulator sim;
    sim.SetBdAddress({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
    sim.Chip().mode = phonesim::TestMode::TxBurst;
    EXPECT_EQ(Ask(sim, HciCommand(GetParam().command)), std::to_string(GetParam().length) + "\r\n" +
                                                            Array150(GetParam().event) +
                                                            "\r\n0\r\nOK\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Commands, PhoneTextHci,
    ::testing::Values(HciCase{"Reset", {0x03, 0x0C, 0x00}, 6, {0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}},
                      HciCase{"ResetWithPacketIndicator",
                              {0x01, 0x03, 0x0C, 0x00},
                              6,
                              {0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}},
                      HciCase{
                          "ReadBdAddrLeastSignificantByteFirst",
                          {0x09, 0x10, 0x00},
                          12,
                          {0x0E, 0x0A, 0x01, 0x09, 0x10, 0x00, 0x55, 0x44, 0x33, 0x22, 0x11, 0x00}},
                      HciCase{"UnknownOpcodeIsCommandStatusUnknownCommand",
                              {0x00, 0xFC, 0x01, 0x07},
                              6,
                              {0x0F, 0x04, 0x01, 0x01, 0x00, 0xFC}},
                      HciCase{"ParameterLengthMismatchIsInvalidParameters",
                              {0x03, 0x0C, 0x02},
                              6,
                              {0x0F, 0x04, 0x12, 0x01, 0x03, 0x0C}},
                      HciCase{"ReadLocalFeaturesIsTheNvmFeatureMask",
                              {0x03, 0x10, 0x00},
                              14,
                              {0x0E, 0x0C, 0x01, 0x03, 0x10, 0x00, 0xBF, 0xFE, 0xCF, 0xFE, 0xDB,
                               0xFF, 0x7B, 0x87}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PhoneTextHciState, ResetEndsTheTestMode) {
    Simulator sim;
    sim.Chip().mode = phonesim::TestMode::TxBurst;
    Ask(sim, HciCommand({0x03, 0x0C, 0x00}));
    EXPECT_EQ(sim.Chip().mode, phonesim::TestMode::None);
}

TEST(PhoneText, MalformedCommandsAnswerError) {
    const char* malformed[] = {
        "at@bt:reset",                         // no parentheses
        "at@bt:reset( )",                      // blank
        "at@bt:initialize(1,2)",               // one argument too many
        "at@bt:initialize()",                  // one too few
        "at@bt:unknown_command()",             // not a command
        "at@bt:write_nvm_rssi_min(-129)",      // below a signed byte
        "at@bt:write_nvm_epc_step_1mbps(256)", // above a byte
        "at@bt:write_nvm_bdaddr({1,2,3})",     // short array
        "at@bt:write_nvm_bdaddr(1)",           // array expected
        "at@bt:set_rx_continuous_mode({5})",   // number expected
        "at@bt:set_rx_continuous_mode(0x10)",  // decimal only
        "at@bt:get_rssi_value({1,2)",          // unclosed brace
        "AT@BT:reset()",                       // prefix is lower case
        "",
    };
    Simulator sim;
    for (const char* command : malformed)
        EXPECT_EQ(Ask(sim, command), "ERROR\r\n") << command;
    EXPECT_EQ(sim.TextLog().size(), std::size(malformed));
}

TEST(PhoneText, ToleratesALineTerminatorAfterTheCommand) {
    Simulator sim;
    EXPECT_EQ(Ask(sim, "at@bt:reset()\r\n"), "0\r\nOK\r\n");
    EXPECT_EQ(sim.LastCommand(), "at@bt:reset()");
}

struct FaultCase {
    const char* name;
    FaultSpec fault;
    const char* command;
    bool hostOk;
    const char* reply;
};

class PhoneTextFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(PhoneTextFault, ShapesTheReply) {
    Simulator sim;
    sim.InjectText(GetParam().fault);
    const phonesim::TextAnswer answer = sim.HandleText(GetParam().command);
    EXPECT_EQ(answer.hostOk, GetParam().hostOk);
    EXPECT_EQ(answer.reply, GetParam().reply);
    // Used once: the next exchange is answered normally.
    EXPECT_EQ(sim.HandleText("at@bt:reset()").reply, "0\r\nOK\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, PhoneTextFault,
    ::testing::Values(
        FaultCase{"HostCallFails", {Fault::HostCallFails}, "at@bt:reset()", false, ""},
        FaultCase{"HostCallFailsWithText",
                  {Fault::HostCallFails, 0, "partial"},
                  "at@bt:reset()",
                  false,
                  "partial"},
        FaultCase{"NoReply", {Fault::NoReply}, "at@bt:reset()", true, ""},
        FaultCase{"Garbage", {Fault::Garbage}, "at@bt:reset()", true, "~#?%GARBAGE&@!~\r\n"},
        FaultCase{"MissingOk",
                  {Fault::MissingOk},
                  "at@bt:get_rtrim_values()",
                  true,
                  "0\r\n0\r\n23\r\n0\r\n"},
        FaultCase{"ErrorCodeDefault", {Fault::ErrorCode}, "at@bt:reset()", true, "5\r\nOK\r\n"},
        FaultCase{"ErrorCodeGiven",
                  {Fault::ErrorCode, -1},
                  "at@bt:hw_info()",
                  true,
                  "0\r\n0\r\n-1\r\nOK\r\n"},
        FaultCase{"ValueShort",
                  {Fault::ValueShort},
                  "at@bt:get_rtrim_values()",
                  true,
                  "0\r\n0\r\n0\r\nOK\r\n"},
        FaultCase{"ValueShortWithoutValues", {Fault::ValueShort}, "at@bt:reset()", true, "OK\r\n"},
        FaultCase{"ValueShortInArray",
                  {Fault::ValueShort},
                  "at@bt:get_lumora_version()",
                  true,
                  "{4,6,0,0,18,52,2,0,0}\r\n0\r\nOK\r\n"},
        FaultCase{"ValueExtra",
                  {Fault::ValueExtra},
                  "at@bt:get_rssi_value({0,1})",
                  true,
                  "-60\r\n0\r\n0\r\nOK\r\n"},
        FaultCase{"Verbatim", {Fault::Verbatim, 0, "0,OK"}, "at@bt:reset()", true, "0,OK"}),
    [](const auto& info) { return std::string(info.param.name); });

// The cases above whose reply is too long to write inline.
TEST(PhoneTextFaultLong, ErrorCodeInReadAllGoesBeforeOk) {
    Simulator sim;
    sim.InjectText({Fault::ErrorCode, 5});
    const std::string reply = sim.HandleText("at@bt:read_all_nvm_params()").reply;
    EXPECT_TRUE(reply.ends_with("\r\n28000\r\n5\r\nOK\r\n")) << reply;
}

TEST(PhoneTextFaultLong, HciTooLongReportsLength151) {
    Simulator sim;
    sim.InjectText({Fault::HciTooLong});
    EXPECT_EQ(sim.HandleText(HciCommand({0x03, 0x0C, 0x00})).reply,
              "151\r\n" + Array150({0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}) + "\r\n0\r\nOK\r\n");
}

TEST(PhoneTextFaultScope, TargetsOneCommandPersistsWhenAskedAndQueuesInOrder) {
    Simulator sim;
    sim.InjectText({Fault::ErrorCode, 3}, "at@bt:initialize");
    EXPECT_EQ(Ask(sim, "at@bt:reset()"), "0\r\nOK\r\n");
    EXPECT_EQ(Ask(sim, "at@bt:initialize(1)"), "3\r\nOK\r\n");
    EXPECT_FALSE(sim.Chip().on) << "an error answer must not change the chip";
    EXPECT_EQ(Ask(sim, "at@bt:initialize(1)"), "0\r\nOK\r\n");

    FaultSpec fault{Fault::NoReply};
    fault.persistent = true;
    sim.InjectText(fault);
    EXPECT_EQ(Ask(sim, "at@bt:reset()"), "");
    EXPECT_EQ(Ask(sim, "at@bt:hw_info()"), "");
    sim.ClearFaults();
    sim.InjectText({Fault::ErrorCode, 1});
    sim.InjectText({Fault::ErrorCode, 2});
    EXPECT_EQ(Ask(sim, "at@bt:reset()"), "1\r\nOK\r\n");
    EXPECT_EQ(Ask(sim, "at@bt:reset()"), "2\r\nOK\r\n");
    EXPECT_EQ(Ask(sim, "at@bt:reset()"), "0\r\nOK\r\n");
}

TEST(PhoneTextRecords, KeepsEveryCommandWithItsSlotAndReply) {
    Simulator sim;
    sim.InjectText({Fault::HostCallFails}, "at@bt:reset");
    sim.HandleText("at@bt:reset()", 175);
    sim.HandleText("at@bt:reset()", 54);
    sim.HandleText("at@bt:hw_info()");
    ASSERT_EQ(sim.TextLog().size(), 3u);
    EXPECT_EQ(sim.TextCount("at@bt:reset"), 2u);
    EXPECT_FALSE(sim.TextLog()[0].hostOk);
    EXPECT_EQ(sim.TextLog()[0].slot, 175);
    EXPECT_EQ(sim.TextLog()[1].reply, "0\r\nOK\r\n");
    EXPECT_EQ(sim.LastCommand(), "at@bt:hw_info()");
}
