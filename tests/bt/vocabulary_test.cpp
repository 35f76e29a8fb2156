#include <cstddef>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

#include "bt/bt_types.h"

namespace {

struct NameFunction {
    const char* name;
    std::function<std::string(uint32_t)> text;
    uint32_t count; // first value outside the enumeration
    const char* first;
    const char* last;
};

void PrintTo(const NameFunction& f, std::ostream* os) { *os << f.name; }

class NameFunctions : public ::testing::TestWithParam<NameFunction> {};

TEST_P(NameFunctions, NameEveryValueAndOnlyThose) {
    const NameFunction& f = GetParam();
    EXPECT_EQ(f.text(0), f.first);
    EXPECT_EQ(f.text(f.count - 1), f.last);
    for (uint32_t v = 0; v < f.count; ++v) EXPECT_NE(f.text(v), "Not defined") << v;
    EXPECT_EQ(f.text(f.count), "Not defined");
    EXPECT_EQ(f.text(f.count + 1), "Not defined");
    EXPECT_EQ(f.text(0xFFFFu), "Not defined");
}

INSTANTIATE_TEST_SUITE_P(
    Vocabulary, NameFunctions,
    ::testing::Values(
        NameFunction{"packet", t_packet_type_to_string, 9, "DH1", "3-DH5"},
        NameFunction{"br", t_br_pattern_to_string, 6, "00000000", "PRBS 9"},
        NameFunction{"le", t_le_pattern_to_string, 8, "PRBS 9", "01010101"},
        NameFunction{"modulation", t_modulation_to_string, 4, "No modulation", "8DPSK"},
        NameFunction{"nvm", t_nvm_param_to_string, 16, "Bluetooth address", "LE power level"},
        NameFunction{"nvmtype", t_nvm_param_type_to_string, 44, "'BNPT_BT_ADDRESS'",
                     "'BNPT_MAX_COUNT'"},
        NameFunction{"function",
                     [](uint32_t v) { return t_atctst_function_to_string(static_cast<uint16_t>(v)); },
                     30, "'atctst_bt_reset'", "'atctst_bt_get_opcode_version'"},
        NameFunction{"opcode", t_opcode_to_string, 34, "'NONE'", "'READ_ALL_NVM_PARAMS'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Vocabulary, NamesThatPeersMatchOn) {
    EXPECT_EQ(t_le_pattern_to_string(BT_LE_PATTERN_PRBS15), "PRBS15");
    EXPECT_EQ(t_modulation_to_string(BT_MODULATION_PI4_DQPSK), "pi/4-DQPSK");
    EXPECT_EQ(t_nvm_param_to_string(BT_NVM_LPC_PWR_CTRL_STEP_SIZE), "LPC power control step size");
    EXPECT_EQ(t_nvm_param_to_string(BT_NVM_EPC_HIGHEST_STEP_2MBPS), "EPC maximum step size 2 MBit/S");
    EXPECT_EQ(t_nvm_param_type_to_string(BNPT_RSSI_THRESHOLD), "'BNPT_RSSI_THRESHOLD'");
    EXPECT_EQ(t_nvm_param_type_to_string(BNPT_RX_CURRENT), "'BNPT_RX_CURRENT'");
    EXPECT_EQ(t_atctst_function_to_string(atctst_bt_hci_command), "'atctst_bt_hci_command'");
    EXPECT_EQ(t_opcode_to_string(HCI_COMMAND), "'HCI_COMMAND'");
    EXPECT_EQ(t_opcode_to_string(SET_AFH_CHANNEL_MAP), "'SET_AFH_CHANNEL_MAP'");
}

TEST(Vocabulary, FunctionsAndOpcodesAreDifferentNumberings) {
    EXPECT_EQ(atctst_bt_hci_command, 28);
    EXPECT_EQ(RX_LE_START, 28);
    EXPECT_EQ(HCI_COMMAND, 30);
    EXPECT_EQ(READ_ALL_NVM_PARAMS, 33);
    EXPECT_EQ(BNPT_MAX_COUNT, 43u);
}

TEST(ResultText, KnownCodesAndCustomOnes) {
    EXPECT_EQ(t_result_to_string(-1), "FAIL");
    EXPECT_EQ(t_result_to_string(0), "OK");
    EXPECT_EQ(t_result_to_string(1), "Not supported");
    EXPECT_EQ(t_result_to_string(2), "CUSTOM ERROR 2");
    EXPECT_EQ(t_result_to_string(255), "CUSTOM ERROR 255");
    EXPECT_EQ(t_result_to_string(-7), "CUSTOM ERROR -7");
    EXPECT_EQ(t_result_to_string(INT32_MIN), "CUSTOM ERROR -2147483648");
}

TEST(TestModeNames, AreZeroPaddedFixedFields) {
    EXPECT_EQ(sizeof t_test_mode_names, 7u * 30u);
    EXPECT_STREQ(t_test_mode_names[BT_TEST_MODE_TX_BURST], "TX Burst");
    EXPECT_STREQ(t_test_mode_names[BT_TEST_MODE_NVM_DATA], "NVM data");
    for (const auto& name : t_test_mode_names) {
        const std::size_t length = std::strlen(name);
        for (std::size_t i = length; i < 30; ++i) EXPECT_EQ(name[i], '\0');
    }
}

TEST(NvmValue, IsEightPackedBytes) {
    EXPECT_EQ(sizeof(T_BT_NVM_VALUE), 8u);
    EXPECT_EQ(offsetof(T_BT_NVM_VALUE, id), 0u);
    EXPECT_EQ(offsetof(T_BT_NVM_VALUE, version), 1u);
    EXPECT_EQ(offsetof(T_BT_NVM_VALUE, data), 2u);
    T_BT_NVM_VALUE address{BT_NVM_BT_ADDRESS, 1, {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
    unsigned char wire[8];
    std::memcpy(wire, &address, sizeof wire);
    EXPECT_EQ(wire[7], 0x55) << "an address fills all six value bytes";
}

TEST(NvmDetails, StartNamedInvalidAndUncached) {
    const TNVMDataDetails details(BT_NVM_BR_PWR_LEVEL);
    EXPECT_EQ(details.name, "BR power level");
    EXPECT_EQ(details.valid, 0);
    EXPECT_EQ(details.cached, 0);
}

} // namespace
