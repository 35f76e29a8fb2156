#include <functional>
#include <gtest/gtest.h>

#include "bt/bt_types.h"

namespace {

// Every value of each vocabulary has a name, the first value past it has none, and the
// names a log reader or peer matches on are spelt exactly.
TEST(Vocabulary, NamesEveryValueAndOnlyThose) {
    struct Row {
        std::function<std::string(uint32_t)> text;
        uint32_t count; // first value outside the vocabulary
        std::vector<std::pair<uint32_t, const char*>> names;
    };
    const Row rows[] = {
        {t_packet_type_to_string, 9, {{0, "DH1"}, {8, "3-DH5"}}},
        {t_br_pattern_to_string, 6, {{0, "00000000"}, {5, "PRBS 9"}}},
        {t_le_pattern_to_string,
         8,
         {{0, "PRBS 9"}, {BT_LE_PATTERN_PRBS15, "PRBS15"}, {7, "01010101"}}},
        {t_modulation_to_string,
         4,
         {{0, "No modulation"}, {BT_MODULATION_PI4_DQPSK, "pi/4-DQPSK"}, {3, "8DPSK"}}},
        {t_nvm_param_to_string,
         16,
         {{0, "Bluetooth address"},
          {BT_NVM_LPC_PWR_CTRL_STEP_SIZE, "LPC power control step size"},
          {BT_NVM_EPC_HIGHEST_STEP_2MBPS, "EPC maximum step size 2 MBit/S"},
          {15, "LE power level"}}},
        {t_nvm_param_type_to_string,
         44,
         {{0, "'BNPT_BT_ADDRESS'"},
          {BNPT_RSSI_THRESHOLD, "'BNPT_RSSI_THRESHOLD'"},
          {BNPT_RX_CURRENT, "'BNPT_RX_CURRENT'"},
          {43, "'BNPT_MAX_COUNT'"}}},
        {[](uint32_t v) { return t_atctst_function_to_string(static_cast<uint16_t>(v)); },
         30,
         {{0, "'atctst_bt_reset'"},
          {28, "'atctst_bt_hci_command'"},
          {29, "'atctst_bt_get_opcode_version'"}}},
        {t_opcode_to_string,
         34,
         {{0, "'NONE'"},
          {30, "'HCI_COMMAND'"},
          {SET_AFH_CHANNEL_MAP, "'SET_AFH_CHANNEL_MAP'"},
          {33, "'READ_ALL_NVM_PARAMS'"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.names.front().second);
        for (const auto& [value, name] : row.names)
            EXPECT_EQ(row.text(value), name) << value;
        for (uint32_t v = 0; v < row.count; ++v)
            EXPECT_NE(row.text(v), "Not defined") << v;
        for (uint32_t v : {row.count, row.count + 1, 0xFFFFu})
            EXPECT_EQ(row.text(v), "Not defined") << v;
    }
}

TEST(Vocabulary, ResultCodesHaveTheirTextsAndOthersAreCustom) {
    EXPECT_EQ(t_result_to_string(-1), "FAIL");
    EXPECT_EQ(t_result_to_string(0), "OK");
    EXPECT_EQ(t_result_to_string(1), "Not supported");
    EXPECT_EQ(t_result_to_string(2), "CUSTOM ERROR 2");
    EXPECT_EQ(t_result_to_string(255), "CUSTOM ERROR 255");
    EXPECT_EQ(t_result_to_string(INT32_MIN), "CUSTOM ERROR -2147483648");
}

} // namespace
