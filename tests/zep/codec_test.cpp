// Command lines and reply parsing of the text protocol, with no host: a scripted transport
// stands in for the link.
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <locale>

#include "nvm_golden.h"
#include "scripted_transport.h"
#include "zep/managed_if.h"

namespace {

using testzep::ScriptedTransport;

std::string HciLine(const char* head, int zeros, const char* last) {
    std::string line = head;
    for (int i = 0; i < zeros; ++i)
        line += ",0";
    return line + last;
}

struct GoldenLine {
    std::function<void(MANAGED_IF::bt&)> send;
    std::string line;
};

// Golden lines written out in full, one per command, covering every argument shape: the
// address array, signed bytes, u32 with all bits set, the 150 HCI bytes.
TEST(Codec, WritesEveryCommandLineExactly) {
    int32_t code = 0;
    uint32_t a = 0, b = 0;
    T_BT_HCI_COMMAND_REQ hci{3, {0x03, 0x0C, 0x00}};
    hci.data[149] = 9; // past the length, still written as it stands
    const uint8_t bd[6] = {0, 0x1A, 0x7D, 0xDA, 0x71, 0x13};
    const uint8_t lmp[8] = {255, 254, 143, 254, 216, 63, 91, 135};
    const std::vector<GoldenLine> cases = {
        {[&](auto& c) { c.reset(&code); }, "at@bt:reset()"},
        {[&](auto& c) { c.hw_info(&a, &b, &code); }, "at@bt:hw_info()"},
        {[&](auto& c) { c.initialize(1, &code); }, "at@bt:initialize(1)"},
        {[&](auto& c) {
             c.set_rf_test_mode({{0x00, 0x11, 0x22, 0x33, 0x44, 0x55},
                                 1,
                                 2,
                                 3,
                                 4,
                                 5,
                                 6,
                                 7,
                                 -4,
                                 0,
                                 127,
                                 -128,
                                 -1,
                                 8,
                                 -20,
                                 9},
                                &code);
         },
         "at@bt:set_rf_test_mode({0,17,34,51,68,85},1,2,3,4,5,6,7,-4,0,127,-128,-1,8,-20,9)"},
        {[&](auto& c) {
             c.set_tx_burst_mode({{1, 2, 3, 4, 5, 6},
                                  39,
                                  7,
                                  1,
                                  0xAA,
                                  2,
                                  1,
                                  0,
                                  8,
                                  9,
                                  {255, 255, 255, 255, 255, 255, 255, 255, 255, 127},
                                  -10,
                                  -11,
                                  -12,
                                  0xFFFFFFFFu},
                                 &code);
         },
         "at@bt:set_tx_burst_mode({1,2,3,4,5,6},39,7,1,170,2,1,0,8,9,"
         "{255,255,255,255,255,255,255,255,255,127},-10,-11,-12,4294967295)"},
        {[&](auto& c) {
             c.set_tx_continuous_mode({78, 3, 250, 4, 0x0F, 3}, &code);
         },
         "at@bt:set_tx_continuous_mode(78,3,250,4,15,3)"},
        {[&](auto& c) { c.set_rx_continuous_mode({255}, &code); },
         "at@bt:set_rx_continuous_mode(255)"},
        {[&](auto& c) {
             c.set_tx_le_mode({39, 37, -7, 7}, &code);
         },
         "at@bt:set_tx_le_mode(39,37,-7,7)"},
        {[&](auto& c) { c.rx_le_start({19}, &code); }, "at@bt:rx_le_start(19)"},
        {[&](auto& c) { c.rx_le_end(nullptr); }, "at@bt:rx_le_end()"},
        {[&](auto& c) { c.get_lumora_version(nullptr); }, "at@bt:get_lumora_version()"},
        {[&](auto& c) {
             c.get_rssi_value({{0x01, 0x80}}, nullptr);
         },
         "at@bt:get_rssi_value({1,128})"},
        {[&](auto& c) { c.get_rtrim_values(nullptr); }, "at@bt:get_rtrim_values()"},
        {[&](auto& c) {
             c.set_rtrim_manual_values({12, 7}, &code);
         },
         "at@bt:set_rtrim_manual_values(12,7)"},
        {[&](auto& c) { c.get_kfreq_ibiasdac_values(nullptr); },
         "at@bt:get_kfreq_ibiasdac_values()"},
        {[&](auto& c) {
             c.set_kfreq_ibiasdac_manual_values({1, 42, 0, 12}, &code);
         },
         "at@bt:set_kfreq_ibiasdac_manual_values(1,42,0,12)"},
        {[&](auto& c) { c.get_temperature_values(nullptr); }, "at@bt:get_temperature_values()"},
        {[&](auto& c) {
             c.set_temperature_values({1, 65535}, &code);
         },
         "at@bt:set_temperature_values(1,65535)"},
        {[&](auto& c) { c.get_voltage_values(nullptr); }, "at@bt:get_voltage_values()"},
        {[&](auto& c) {
             c.set_voltage_values({1, 2, 200}, &code);
         },
         "at@bt:set_voltage_values(1,2,200)"},
        {[&](auto& c) {
             c.set_pcm_uart_wakeup_interface({0, 1, 4000000000u}, &code);
         },
         "at@bt:set_pcm_uart_wakeup_interface(0,1,4000000000)"},
        {[&](auto& c) { c.get_pcm_uart_wakeup_interface_status(nullptr); },
         "at@bt:get_pcm_uart_wakeup_interface_status()"},
        {[&](auto& c) { c.set_pcm_loopback({2}, &code); }, "at@bt:set_pcm_loopback(2)"},
        {[&](auto& c) { c.get_opcode_version(65535, nullptr); }, "at@bt:get_opcode_version(65535)"},
        {[&](auto& c) { c.hci_command(hci, nullptr); },
         HciLine("at@bt:hci_command(3,{3,12,0", 146, ",9})")},
        {[&](auto& c) { c.read_all_nvm_params(nullptr); }, "at@bt:read_all_nvm_params()"},
        {[&](auto& c) { c.write_all_nvm_params(testzep::GoldenNvm(), nullptr); },
         std::string("at@bt:write_all_nvm_params(") + testzep::GoldenNvmArguments() + ")"},
        {[&](auto& c) { c.write_nvm_rssi_min(-90, &code); }, "at@bt:write_nvm_rssi_min(-90)"},
        {[&](auto& c) { c.write_nvm_epc_step_1mbps(200, &code); },
         "at@bt:write_nvm_epc_step_1mbps(200)"},
        {[&](auto& c) { c.write_nvm_input_freq(0xFFFFFFFFu, &code); },
         "at@bt:write_nvm_input_freq(4294967295)"},
        {[&](auto& c) { c.write_nvm_tx_current(65535, &code); },
         "at@bt:write_nvm_tx_current(65535)"},
        {[&](auto& c) { c.write_nvm_bdaddr(bd, &code); },
         "at@bt:write_nvm_bdaddr({0,26,125,218,113,19})"},
        {[&](auto& c) { c.write_nvm_lmp_features(lmp, &code); },
         "at@bt:write_nvm_lmp_features({255,254,143,254,216,63,91,135})"},
    };
    for (const GoldenLine& c : cases) {
        ScriptedTransport link;
        MANAGED_IF::bt command{&link};
        c.send(command);
        ASSERT_EQ(link.sent.size(), 1u) << c.line;
        EXPECT_EQ(link.sent[0], c.line);
    }
}

TEST(Codec, TheLongestHciCommandIs624Characters) {
    ScriptedTransport link;
    MANAGED_IF::bt command{&link};
    T_BT_HCI_COMMAND_REQ req{};
    req.length = 150;
    std::memset(req.data, 200, sizeof req.data);
    command.hci_command(req, nullptr);
    EXPECT_EQ(link.sent.back().size(), 624u);
}

TEST(ReplyCleaning, TurnsSeparatorsIntoBlanksAndDropsCarriageReturns) {
    EXPECT_EQ(MANAGED_IF::CleanReply("{1,2}\r\n3\r\nO\rK"), " 1 2  3 OK");
}

// One result-code reply in the shapes the protocol allows and the ones it rejects.
struct CodeReplyCase {
    const char* name;
    const char* reply;
    uint8_t status;
    int32_t code;
};

class CodeReplies : public ::testing::TestWithParam<CodeReplyCase> {};

TEST_P(CodeReplies, JudgeTheFinalWord) {
    ScriptedTransport link;
    MANAGED_IF::bt command(&link);
    link.Reply("at@bt:reset", GetParam().reply);
    int32_t code = 77;
    EXPECT_EQ(command.reset(&code), GetParam().status);
    EXPECT_EQ(code, GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    TextProtocol, CodeReplies,
    ::testing::Values(
        CodeReplyCase{"CrLfLines", "0\r\nOK\r\n", 0, 0}, CodeReplyCase{"Comma", "0,OK", 0, 0},
        CodeReplyCase{"BracesThenOk", "{0}OK", 0, 0},
        CodeReplyCase{"NegativeCode", "-5\r\nOK\r\n", 0, -5},
        CodeReplyCase{"WordsAfterOkIgnored", "0\r\nOK\r\nEXTRA 1", 0, 0},
        CodeReplyCase{"CarriageReturnInsideOk", "3\r\nO\rK\r\n", 0, 3},
        CodeReplyCase{"LoneOk", "OK\r\n", 3, 77}, CodeReplyCase{"LowerCaseOk", "0\r\nok\r\n", 3, 0},
        CodeReplyCase{"OneValueTooMany", "0\r\n1\r\nOK\r\n", 3, 0},
        CodeReplyCase{"OkWithSuffix", "0\r\nOKAY\r\n", 3, 0},
        CodeReplyCase{"ErrorWord", "ERROR\r\n", 3, 77}, CodeReplyCase{"Empty", "", 3, 77},
        CodeReplyCase{"CodeAboveInt32", "2147483648\r\nOK\r\n", 3, 77}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplyParsing, StoresLowEightBitsOfAByteAndKeepsTheSignOfASignedByte) {
    ScriptedTransport link;
    MANAGED_IF::bt command(&link);
    link.Reply("at@bt:get_rtrim_values", "300,4,{5}\r\n0\r\nOK\r\n");
    T_BT_GET_RTRIM_VALUES_CON rtrim{};
    EXPECT_EQ(command.get_rtrim_values(&rtrim), 0);
    EXPECT_EQ(rtrim.use_manual, 44);
    EXPECT_EQ(rtrim.manual_value, 4);
    EXPECT_EQ(rtrim.fused_value, 5);
    EXPECT_EQ(rtrim.result, 0);
    for (const auto& [reply, rssi] :
         {std::pair{"-1\r\n0\r\nOK\r\n", -1}, std::pair{"-70\r\n0\r\nOK\r\n", -70}}) {
        link.Reply("at@bt:get_rssi_value", reply);
        T_BT_GET_RSSI_VALUE_CON con{};
        EXPECT_EQ(command.get_rssi_value({{0, 1}}, &con), 0);
        EXPECT_EQ(con.rssi, rssi);
    }
}

TEST(ReplyParsing, AMalformedValueZeroesByteFieldsAndKeepsWiderOnes) {
    ScriptedTransport link;
    MANAGED_IF::bt command(&link);
    link.Reply("at@bt:get_temperature_values", "1\r\nERROR\r\n7\r\n0\r\nOK\r\n");
    T_BT_GET_TEMPERATURE_VALUES_CON con{9, 1111, 2222, 33};
    EXPECT_EQ(command.get_temperature_values(&con), 3);
    EXPECT_EQ(con.use_manual, 1);
    EXPECT_EQ(con.manual_value, 1111);
    EXPECT_EQ(con.fused_value, 2222);
    EXPECT_EQ(con.result, 33);

    link.Reply("at@bt:get_kfreq_ibiasdac_values", "1,2,x,4,5,6,0,OK");
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON kfreq{9, 9, 9, 9, 9, 9, 44};
    EXPECT_EQ(command.get_kfreq_ibiasdac_values(&kfreq), 3);
    EXPECT_EQ(kfreq.use_manual_kfreq, 1);
    EXPECT_EQ(kfreq.manual_kfreq, 2);
    EXPECT_EQ(kfreq.fused_kfreq, 0);
    EXPECT_EQ(kfreq.fused_ibiasdac, 0);
    EXPECT_EQ(kfreq.result, 44);
}

TEST(ReplyParsing, ATransportFailureLeavesTheOutputUntouched) {
    for (const uint8_t failure : {uint8_t{1}, uint8_t{3}}) {
        ScriptedTransport link;
        MANAGED_IF::bt command(&link);
        link.Reply("at@bt:get_rtrim_values", "1,2,3,0,OK", failure);
        T_BT_GET_RTRIM_VALUES_CON con{7, 8, 9, 10};
        EXPECT_EQ(command.get_rtrim_values(&con), failure);
        EXPECT_EQ(con.use_manual, 7);
        EXPECT_EQ(con.manual_value, 8);
        EXPECT_EQ(con.fused_value, 9);
        EXPECT_EQ(con.result, 10);
    }
}

// A process locale with digit grouping must not change how replies are read.
TEST(ReplyParsing, IgnoresTheProcessLocale) {
    std::locale grouped;
    try {
        grouped = std::locale("de_DE.UTF-8");
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    const std::locale previous = std::locale::global(grouped);
    ScriptedTransport link;
    MANAGED_IF::bt command(&link);
    link.Reply("at@bt:get_temperature_values", "1\r\n1000\r\n65535\r\n0\r\nOK\r\n");
    T_BT_GET_TEMPERATURE_VALUES_CON con{};
    const uint8_t status = command.get_temperature_values(&con);
    std::locale::global(previous);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(con.manual_value, 1000);
    EXPECT_EQ(con.fused_value, 65535);
}

// Replies made of the protocol's own characters in random order, plus a few hostile
// shapes: nothing may crash or read past a record, and a reply is only accepted with "OK".
TEST(ReplyParsing, HostileRepliesNeverCrashAndNeedTheFinalOk) {
    const char letters[] = "0123456789--,,{}\r\n  OKok\0x9";
    const std::string alphabet(letters, sizeof letters - 1);
    std::vector<std::string> replies = {
        std::string(100000, '9') + " OK", std::string(5000, '{') + "OK",
        "18446744073709551616 OK",        "-2147483649 OK",
        std::string("0\0OK", 4),          "OK OK OK"};
    uint32_t seed = 12345;
    for (int i = 0; i < 300; ++i) {
        std::string reply;
        const int length = static_cast<int>(seed % 400);
        for (int j = 0; j < length; ++j) {
            seed = seed * 1103515245u + 12345u;
            reply += alphabet[(seed >> 16) % alphabet.size()];
        }
        replies.push_back(reply);
    }
    ScriptedTransport link;
    MANAGED_IF::bt command(&link);
    for (const std::string& reply : replies) {
        for (const char* name :
             {"at@bt:hci_command", "at@bt:read_all_nvm_params", "at@bt:get_lumora_version",
              "at@bt:hw_info", "at@bt:get_temperature_values", "at@bt:write_all_nvm_params"})
            link.Reply(name, reply);
        T_BT_HCI_COMMAND_CON hci{};
        T_BT_ALL_NVM_PARAMS nvm{};
        T_BT_GET_LUMORA_VERSION_CON lumora{};
        T_BT_GET_TEMPERATURE_VALUES_CON temperature{};
        uint32_t a = 0, b = 0;
        int32_t code = 0;
        const bool hasOk = MANAGED_IF::CleanReply(reply).find("OK") != std::string::npos;
        for (const uint8_t status :
             {command.hci_command(T_BT_HCI_COMMAND_REQ{}, &hci), command.read_all_nvm_params(&nvm),
              command.get_lumora_version(&lumora), command.hw_info(&a, &b, &code),
              command.get_temperature_values(&temperature),
              command.write_all_nvm_params(nvm, nullptr)}) {
            EXPECT_TRUE(status == T_RESULT_ERROR || (status == T_RESULT_OK && hasOk));
        }
    }
}

} // namespace
