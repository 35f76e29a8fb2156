// Command lines and reply parsing of the text protocol, with no host: a scripted transport
// stands in for the link.
#include <clocale>
#include <cstring>
#include <gtest/gtest.h>
#include <locale>

#include "nvm_golden.h"
#include "scripted_transport.h"
#include "zep/managed_if.h"
#include "zep/orv_ostringstream.h"

namespace {

using testzep::ScriptedTransport;

TEST(OrvOstringstream, StartsEmptyWithRoomFor5000Characters) {
    orv::ostringstream out;
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(out.capacity(), 5000);
}

TEST(OrvOstringstream, FormatsSignedAndUnsignedFullRange) {
    orv::ostringstream out;
    out << "a" << static_cast<int32_t>(-2147483647 - 1) << "," << 4294967295u << ","
        << static_cast<int32_t>(0) << static_cast<const char*>(nullptr) << "";
    EXPECT_EQ(out.str(), "a-2147483648,4294967295,0");
}

TEST(OrvOstringstream, GrowsToTwiceTheNeededLengthAndKeepsTheText) {
    orv::ostringstream out;
    const std::string first(4999, 'a');
    out << first.c_str();
    EXPECT_EQ(out.capacity(), 5000);
    out << "b";
    EXPECT_EQ(out.capacity(), 10000);
    EXPECT_EQ(out.str(), first + "b");
    EXPECT_EQ(out.length(), 5000);
}

class Codec : public ::testing::Test {
protected:
    ScriptedTransport link;
    MANAGED_IF::bt command{&link};

    std::string Last() const { return link.sent.empty() ? "" : link.sent.back(); }
};

// Golden lines written out in full for commands of every argument shape.
TEST_F(Codec, WritesCommandsWithoutArgumentsWithEmptyParentheses) {
    int32_t code = 0;
    command.reset(&code);
    EXPECT_EQ(Last(), "at@bt:reset()");
    uint32_t a = 0, b = 0;
    command.hw_info(&a, &b, &code);
    EXPECT_EQ(Last(), "at@bt:hw_info()");
    command.read_all_nvm_params(nullptr);
    EXPECT_EQ(Last(), "at@bt:read_all_nvm_params()");
}

TEST_F(Codec, WritesRfTestModeWithTheAddressArrayAndSignedBytes) {
    T_BT_SET_RF_TEST_MODE_REQ req{
        {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, 1, 2, 3, 4, 5, 6, 7, -4, 0, 127, -128, -1, 8, -20, 9};
    int32_t code = 0;
    command.set_rf_test_mode(req, &code);
    EXPECT_EQ(Last(),
              "at@bt:set_rf_test_mode({0,17,34,51,68,85},1,2,3,4,5,6,7,-4,0,127,-128,-1,8,-20,9)");
}

TEST_F(Codec, WritesTxBurstWithBothArraysAndTheFullUnsignedPacketType) {
    T_BT_SET_TX_BURST_MODE_REQ req{{1, 2, 3, 4, 5, 6},
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
                                   0xFFFFFFFFu};
    int32_t code = 0;
    command.set_tx_burst_mode(req, &code);
    EXPECT_EQ(Last(), "at@bt:set_tx_burst_mode({1,2,3,4,5,6},39,7,1,170,2,1,0,8,9,"
                      "{255,255,255,255,255,255,255,255,255,127},-10,-11,-12,4294967295)");
}

TEST_F(Codec, WritesEveryDeviceCommandWithItsArguments) {
    int32_t code = 0;
    command.initialize(1, &code);
    EXPECT_EQ(Last(), "at@bt:initialize(1)");
    command.set_tx_continuous_mode({78, 3, 250, 4, 0x0F, 3}, &code);
    EXPECT_EQ(Last(), "at@bt:set_tx_continuous_mode(78,3,250,4,15,3)");
    command.set_rx_continuous_mode({255}, &code);
    EXPECT_EQ(Last(), "at@bt:set_rx_continuous_mode(255)");
    command.set_tx_le_mode({39, 37, -7, 7}, &code);
    EXPECT_EQ(Last(), "at@bt:set_tx_le_mode(39,37,-7,7)");
    command.rx_le_start({19}, &code);
    EXPECT_EQ(Last(), "at@bt:rx_le_start(19)");
    command.rx_le_end(nullptr);
    EXPECT_EQ(Last(), "at@bt:rx_le_end()");
    command.get_lumora_version(nullptr);
    EXPECT_EQ(Last(), "at@bt:get_lumora_version()");
    command.get_rssi_value({{0x01, 0x80}}, nullptr);
    EXPECT_EQ(Last(), "at@bt:get_rssi_value({1,128})");
    command.get_rtrim_values(nullptr);
    EXPECT_EQ(Last(), "at@bt:get_rtrim_values()");
    command.set_rtrim_manual_values({12, 7}, &code);
    EXPECT_EQ(Last(), "at@bt:set_rtrim_manual_values(12,7)");
    command.get_kfreq_ibiasdac_values(nullptr);
    EXPECT_EQ(Last(), "at@bt:get_kfreq_ibiasdac_values()");
    command.set_kfreq_ibiasdac_manual_values({1, 42, 0, 12}, &code);
    EXPECT_EQ(Last(), "at@bt:set_kfreq_ibiasdac_manual_values(1,42,0,12)");
    command.get_temperature_values(nullptr);
    EXPECT_EQ(Last(), "at@bt:get_temperature_values()");
    command.set_temperature_values({1, 65535}, &code);
    EXPECT_EQ(Last(), "at@bt:set_temperature_values(1,65535)");
    command.get_voltage_values(nullptr);
    EXPECT_EQ(Last(), "at@bt:get_voltage_values()");
    command.set_voltage_values({1, 2, 200}, &code);
    EXPECT_EQ(Last(), "at@bt:set_voltage_values(1,2,200)");
    command.set_pcm_uart_wakeup_interface({0, 1, 4000000000u}, &code);
    EXPECT_EQ(Last(), "at@bt:set_pcm_uart_wakeup_interface(0,1,4000000000)");
    command.get_pcm_uart_wakeup_interface_status(nullptr);
    EXPECT_EQ(Last(), "at@bt:get_pcm_uart_wakeup_interface_status()");
    command.set_pcm_loopback({2}, &code);
    EXPECT_EQ(Last(), "at@bt:set_pcm_loopback(2)");
    command.get_opcode_version(65535, nullptr);
    EXPECT_EQ(Last(), "at@bt:get_opcode_version(65535)");
}

TEST_F(Codec, WritesAllHundredFiftyHciBytesWhateverTheLength) {
    T_BT_HCI_COMMAND_REQ req{};
    req.length = 3;
    req.data[0] = 0x03;
    req.data[1] = 0x0C;
    req.data[2] = 0x00;
    req.data[149] = 9; // past the length, still written as it stands
    command.hci_command(req, nullptr);
    std::string expected = "at@bt:hci_command(3,{3,12,0";
    for (int i = 3; i < 149; ++i)
        expected += ",0";
    expected += ",9})";
    EXPECT_EQ(Last(), expected);
}

TEST_F(Codec, TheLongestHciCommandIs624Characters) {
    T_BT_HCI_COMMAND_REQ req{};
    req.length = 150;
    std::memset(req.data, 200, sizeof req.data);
    command.hci_command(req, nullptr);
    EXPECT_EQ(Last().size(), 624u);
}

TEST_F(Codec, WritesEachNvmParameterCommandWithItsValue) {
    int32_t code = 0;
    command.write_nvm_rssi_min(-90, &code);
    EXPECT_EQ(Last(), "at@bt:write_nvm_rssi_min(-90)");
    command.write_nvm_epc_step_1mbps(200, &code);
    EXPECT_EQ(Last(), "at@bt:write_nvm_epc_step_1mbps(200)");
    command.write_nvm_input_freq(0xFFFFFFFFu, &code);
    EXPECT_EQ(Last(), "at@bt:write_nvm_input_freq(4294967295)");
    command.write_nvm_tx_current(65535, &code);
    EXPECT_EQ(Last(), "at@bt:write_nvm_tx_current(65535)");
    const uint8_t bd[6] = {0, 0x1A, 0x7D, 0xDA, 0x71, 0x13};
    command.write_nvm_bdaddr(bd, &code);
    EXPECT_EQ(Last(), "at@bt:write_nvm_bdaddr({0,26,125,218,113,19})");
    const uint8_t lmp[8] = {255, 254, 143, 254, 216, 63, 91, 135};
    command.write_nvm_lmp_features(lmp, &code);
    EXPECT_EQ(Last(), "at@bt:write_nvm_lmp_features({255,254,143,254,216,63,91,135})");
}

// Every setter of the table sends the table's command with the golden record's value.
TEST_F(Codec, EverySetterCommandCarriesItsTableName) {
    const T_BT_ALL_NVM_PARAMS golden = testzep::GoldenNvm();
    int32_t code = 0;
#define BT_NVM_SEND(Camel, field, id, kind, transfer)                                              \
    command.write_nvm_##field(golden.field, &code);                                                \
    EXPECT_EQ(Last().rfind(std::string(nvm::FindById(id)->command) + "(", 0), 0u) << Last();
    BT_NVM_PARAMS(BT_NVM_SEND)
#undef BT_NVM_SEND
    EXPECT_EQ(link.sent.size(), 43u);
}

TEST_F(Codec, WritesAllNvmParametersInTransferOrder) {
    command.write_all_nvm_params(testzep::GoldenNvm(), nullptr);
    EXPECT_EQ(Last(),
              std::string("at@bt:write_all_nvm_params(") + testzep::GoldenNvmArguments() + ")");
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

TEST(ReplyParsing, ReadsEveryConfirmRecordInOrder) {
    ScriptedTransport link;
    MANAGED_IF::bt command(&link);
    link.Reply("at@bt:rx_le_end", "1\r\n244\r\n0\r\nOK\r\n");
    T_BT_RX_LE_END_CON le{};
    EXPECT_EQ(command.rx_le_end(&le), 0);
    EXPECT_EQ(le.packets_high, 1);
    EXPECT_EQ(le.packets_low, 244);
    link.Reply("at@bt:get_lumora_version", "{4,6,0,0,18,52,2,0,0,1}\r\n2\r\nOK\r\n");
    T_BT_GET_LUMORA_VERSION_CON lumora{};
    EXPECT_EQ(command.get_lumora_version(&lumora), 0);
    EXPECT_EQ(lumora.version_info[5], 52);
    EXPECT_EQ(lumora.version_info[9], 1);
    EXPECT_EQ(lumora.result, 2);
    link.Reply("at@bt:get_voltage_values", "1 2 3 4 0 OK");
    T_BT_GET_VOLTAGE_VALUES_CON voltage{};
    EXPECT_EQ(command.get_voltage_values(&voltage), 0);
    EXPECT_EQ(voltage.fused_value, 4);
    link.Reply("at@bt:get_pcm_uart_wakeup_interface_status", "1\r\n0\r\n4294967295\r\n0\r\nOK");
    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON status{};
    EXPECT_EQ(command.get_pcm_uart_wakeup_interface_status(&status), 0);
    EXPECT_EQ(status.pcm, 1u);
    EXPECT_EQ(status.wakeup, 4294967295u);
    link.Reply("at@bt:hw_info", "1\r\n1\r\n0\r\nOK\r\n");
    uint32_t hostInterface = 9, chip = 9;
    int32_t code = 9;
    EXPECT_EQ(command.hw_info(&hostInterface, &chip, &code), 0);
    EXPECT_EQ(hostInterface, 1u);
    EXPECT_EQ(chip, 1u);
    EXPECT_EQ(code, 0);
}

TEST(ReplyParsing, ReadsTheHciReplyLengthAndAllItsBytes) {
    ScriptedTransport link;
    MANAGED_IF::bt command(&link);
    std::string reply = "6\r\n{14,4,1,3,12,0";
    for (int i = 6; i < 150; ++i)
        reply += ",0";
    reply += "}\r\n0\r\nOK\r\n";
    link.Reply("at@bt:hci_command", reply);
    T_BT_HCI_COMMAND_CON con{};
    EXPECT_EQ(command.hci_command(T_BT_HCI_COMMAND_REQ{}, &con), 0);
    EXPECT_EQ(con.length, 6);
    EXPECT_EQ(std::vector<uint8_t>(con.data, con.data + 6),
              (std::vector<uint8_t>{0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}));
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

TEST(ReplyParsing, ReadsTheOpcodeVersions) {
    ScriptedTransport link;
    MANAGED_IF::bt command(&link);
    link.Versions(30, 2, 3, -1);
    OpcodeVersions v;
    EXPECT_EQ(command.get_opcode_version(30, &v), 0);
    EXPECT_EQ(v.request, 2);
    EXPECT_EQ(v.confirm, 3);
    EXPECT_EQ(v.result, -1);
}

TEST(ReplyParsing, ReadAllFillsTheRecordInTransferOrder) {
    ScriptedTransport link;
    MANAGED_IF::bt command(&link);
    link.Reply("at@bt:read_all_nvm_params", testzep::GoldenReadAllReply());
    T_BT_ALL_NVM_PARAMS params{};
    EXPECT_EQ(command.read_all_nvm_params(&params), 0);
    testzep::ExpectSameNvm(testzep::GoldenNvm(), params);
}

TEST(ReplyParsing, ReadsTheWriteAllReplyValues) {
    ScriptedTransport link;
    MANAGED_IF::bt command(&link);
    link.Reply("at@bt:write_all_nvm_params", "1\r\n512\r\n0\r\nOK\r\n");
    T_BT_WRITE_ALL_NVM_PARAMS_CON con;
    EXPECT_EQ(command.write_all_nvm_params(testzep::GoldenNvm(), &con), 0);
    EXPECT_EQ(con.value, 1);
    EXPECT_EQ(con.word, 512);
    EXPECT_EQ(con.result, 0);
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

} // namespace

namespace {

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
