#include "ui/rules.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>

namespace {

struct NumberCase {
    const char* text;
    int64_t minimum;
    int64_t maximum;
    const char* message;
    int64_t value;
};

class NumberRule : public testing::TestWithParam<NumberCase> {};

TEST_P(NumberRule, GivesTheValueOrTheExactMessage) {
    const NumberCase& c = GetParam();
    const ui::Checked checked =
        ui::CheckNumber(c.text, "LE. Default power level", c.minimum, c.maximum);
    EXPECT_EQ(checked.message, c.message);
    if (checked.ok()) {
        EXPECT_EQ(checked.value, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberRule,
    testing::Values(
        NumberCase{"10", -35, 10, "", 10}, NumberCase{"-35", -35, 10, "", -35},
        NumberCase{"-40", -35, 10, "\nLE. Default power level below minimum (-35)\n", 0},
        // The fraction is cut before the comparison: 12.9 is 12, above 10.
        NumberCase{"12.9", -35, 10, "\nLE. Default power level above maximum (10)\n", 0},
        NumberCase{"3.9", -128, 127, "", 3}, NumberCase{"-3.9", -128, 127, "", -3},
        NumberCase{" 7 ", 0, 10, "", 7}, NumberCase{"1e1", 0, 10, "", 10},
        NumberCase{"abc", 0, 10, "\n LE. Default power level: Please enter a valid value\n", 0},
        NumberCase{"", 0, 10, "\n LE. Default power level: Please enter a valid value\n", 0},
        NumberCase{"1-2", 0, 10, "\n LE. Default power level: Please enter a valid value\n", 0},
        NumberCase{"inf", 0, 10, "\n LE. Default power level: Please enter a valid value\n", 0},
        // A number too long for any field is still reported against the limit.
        NumberCase{"99999999999999999999999", 0, 4294967295,
                   "\nLE. Default power level above maximum (4294967295)\n", 0},
        NumberCase{"300", 0, 255, "\nLE. Default power level above maximum (255)\n", 0}));

TEST(NumberRule, IgnoresALocaleWithADecimalComma) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE locale";
    const ui::Checked checked = ui::CheckNumber("3.9", "x", -128, 127);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_TRUE(checked.ok());
    EXPECT_EQ(checked.value, 3);
}

TEST(WholeNumber, AcceptsOnlyWholeDecimalNumbers) {
    EXPECT_EQ(ui::ReadWholeNumber("42"), 42);
    EXPECT_EQ(ui::ReadWholeNumber("-7"), -7);
    EXPECT_EQ(ui::ReadWholeNumber(" 5"), 5);
    EXPECT_EQ(ui::ReadWholeNumber("2147483647"), 2147483647);
    for (const char* bad : {"", "-", "1.5", "4x", "2147483648", "0x10", "?"})
        EXPECT_FALSE(ui::ReadWholeNumber(bad).has_value()) << bad;
    EXPECT_EQ(ui::NotAnIntegerMessage("?"), "'?' is not a valid integer value");
}

TEST(SelectionRules, GiveTheirMessagesOnlyWithoutSelection) {
    EXPECT_EQ(ui::SelectionMessage(-1, "Data, Packet type"),
              "\nData, Packet type: Please make a valid selection\n");
    EXPECT_EQ(ui::SelectionMessage(0, "Data, Packet type"), "");
    EXPECT_EQ(ui::PatternMessage(-1, true), "\nData, Pattern selection: Please select a pattern\n");
    // TX CW with "No modulation" disables the list: an empty pattern is then fine.
    EXPECT_EQ(ui::PatternMessage(-1, false), "");
    EXPECT_EQ(ui::IntervalMessage(-1), "\nData, Tx Interval: No interval is selected\n");
    EXPECT_EQ(ui::CappedInterval(254), 254);
    EXPECT_EQ(ui::CappedInterval(300), 254);
}

TEST(HexReading, ReadsLeadingDigitsOfShortTexts) {
    EXPECT_EQ(ui::ReadHexLeading("FF"), 0xFFu);
    EXPECT_EQ(ui::ReadHexLeading("7f"), 0x7Fu);
    EXPECT_EQ(ui::ReadHexLeading("1Az"), 0x1Au);
    EXPECT_EQ(ui::ReadHexLeading("?"), 0u);
    EXPECT_EQ(ui::ReadHexLeading(""), 0u);
    EXPECT_EQ(ui::ReadHexLeading("123456789"), 0u);
    EXPECT_EQ(ui::ReadHexLeading("FFFFFFFF"), 0xFFFFFFFFu);
}

TEST(DeviceAddress, HexTakesTheLowByteAndDecimalStopsOnText) {
    EXPECT_EQ(ui::AddressByte("?", true), 0);
    EXPECT_EQ(ui::AddressByte("1A3", true), 0xA3);
    EXPECT_EQ(ui::AddressByte("200", false), 200);
    EXPECT_EQ(ui::AddressByte("300", false), 300 & 0xFF);
    EXPECT_FALSE(ui::AddressByte("?", false).has_value());
}

TEST(Patterns, TravelAsKindAndByte) {
    const uint8_t expected[6][2] = {{0, 0x00}, {0, 0x33}, {0, 0x55}, {0, 0x0F}, {0, 0xFF}, {1, 0}};
    for (uint32_t p = 0; p < 6; ++p) {
        EXPECT_EQ(ui::PatternBytes(p).kind, expected[p][0]) << p;
        EXPECT_EQ(ui::PatternBytes(p).byte, expected[p][1]) << p;
    }
    EXPECT_EQ(ui::kDefaultAfhMap[0], 0xF7);
    EXPECT_EQ(ui::kDefaultAfhMap[9], 0xFF);
}

TEST(Channels, TurnIntoFrequencies) {
    EXPECT_EQ(ui::ChannelFrequencyText(0, 1), "2402 Mhz");
    EXPECT_EQ(ui::ChannelFrequencyText(78, 1), "2480 Mhz");
    EXPECT_EQ(ui::ChannelFrequencyText(39, 2), "2480 Mhz");
}

TEST(TrackBarLabels, ShowDecibels) {
    EXPECT_EQ(ui::CoarsePowerDb(0), -42);
    EXPECT_EQ(ui::CoarsePowerDb(7), 0);
    EXPECT_EQ(ui::FinePowerDb(5), 0);
    EXPECT_EQ(ui::FinePowerDb(0), -5);
}

struct ManualCase {
    const char* text;
    bool use;
    bool hex;
    uint32_t maximum;
    const char* message;
    int64_t value;
};

class ManualValue : public testing::TestWithParam<ManualCase> {};

TEST_P(ManualValue, IsCheckedOnlyWhenUsed) {
    const ManualCase& c = GetParam();
    const ui::Checked checked = ui::CheckManualValue(c.text, c.use, c.hex, c.maximum);
    EXPECT_EQ(checked.message, c.message);
    EXPECT_EQ(checked.value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManualValue,
    testing::Values(ManualCase{"1F", true, true, 31, "", 31},
                    ManualCase{"20", true, true, 31, "Value above maximum (31)\n", 0},
                    ManualCase{"anything", false, true, 31, "", 0},
                    ManualCase{"300", true, false, 255, "Value above maximum (255)\n", 0},
                    ManualCase{"3FF", true, true, 1023, "", 1023},
                    ManualCase{"", true, false, 31, "Please enter a valid value\n", 0},
                    ManualCase{"1G", true, true, 31, "Please enter a valid value\n", 0},
                    // Regression: a minus sign passed the digit check and became 251.
                    ManualCase{"-5", true, false, 31, "Please enter a valid value\n", 0},
                    // Regression: nine hex digits read as 0 and slipped under the limit.
                    ManualCase{"100000000", true, true, 1023, "Value above maximum (1023)\n", 0}));

TEST(Opcodes, EveryTestFunctionMapsToTheOpcodeOfItsName) {
    for (uint16_t f = 0; f < ATCTST_BT_FUNCTION_COUNT; ++f) {
        // Both name functions quote their names: 'atctst_bt_reset', 'RESET'.
        const std::string function = t_atctst_function_to_string(f);
        const std::string opcode =
            t_opcode_to_string(ui::OpcodeOfFunction(static_cast<T_ATCTST_BT_FUNCTION>(f)));
        std::string upper;
        for (char c : function.substr(std::string("'atctst_bt_").size()))
            upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        upper = "'" + upper;
        EXPECT_EQ(opcode, upper) << function;
    }
    EXPECT_EQ(ui::OpcodeOfFunction(atctst_bt_hci_command), HCI_COMMAND);
}

} // namespace
