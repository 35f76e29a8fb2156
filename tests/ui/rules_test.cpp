// The form's input rules and HCI command lists, free of widgets: exact values and messages.

#include <gtest/gtest.h>

#include <clocale>

#include "ui/hci_commands.h"
#include "ui/rules.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The number rule of the RF test and NVM pages, and the manual value check of the trimming
// boxes: the value or the exact message.
TEST(Checks, GiveTheValueOrTheExactMessage) {
    const std::string kName = "LE. Default power level";
    const std::string kBad = "\n LE. Default power level: Please enter a valid value\n";
    const struct {
        ui::Checked checked;
        int64_t value;
        std::string message;
    } kCases[] = {
        {ui::CheckNumber("-3.9", kName, -128, 127), -3, ""},
        {ui::CheckNumber(" 7 ", kName, 0, 10), 7, ""},
        {ui::CheckNumber("1e1", kName, 0, 10), 10, ""},
        {ui::CheckNumber("-40", kName, -35, 10), 0,
         "\nLE. Default power level below minimum (-35)\n"},
        // A number too long for any field is still reported against the limit.
        {ui::CheckNumber("99999999999999999999999", kName, 0, 4294967295), 0,
         "\nLE. Default power level above maximum (4294967295)\n"},
        {ui::CheckNumber("", kName, 0, 10), 0, kBad},
        {ui::CheckNumber("1-2", kName, 0, 10), 0, kBad},
        {ui::CheckNumber("inf", kName, 0, 10), 0, kBad},
        {ui::CheckManualValue("", true, false, 31), 0, "Please enter a valid value\n"},
        {ui::CheckManualValue("1G", true, true, 31), 0, "Please enter a valid value\n"},
        // Regression: a minus sign passed the digit check and became 251.
        {ui::CheckManualValue("-5", true, false, 31), 0, "Please enter a valid value\n"},
        // Regression: nine hex digits read as 0 and slipped under the limit.
        {ui::CheckManualValue("100000000", true, true, 1023), 0, "Value above maximum (1023)\n"}};
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        EXPECT_EQ(kCases[i].checked.message, kCases[i].message) << i;
        EXPECT_EQ(kCases[i].checked.value, kCases[i].value) << i;
    }
}

TEST(NumberRule, IgnoresALocaleWithADecimalComma) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE locale";
    const ui::Checked checked = ui::CheckNumber("3.9", "x", -128, 127);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(checked.message, "");
    EXPECT_EQ(checked.value, 3);
}

TEST(NumberRule, WholeNumbersAndHexReadingOfTheAddressAndAfhEdits) {
    for (const char* bad : {"-", "1.5", "4x", "2147483648", "0x10"})
        EXPECT_FALSE(ui::ReadWholeNumber(bad).has_value()) << bad;
    const std::pair<const char*, uint32_t> kHex[] = {
        {"7f", 0x7F}, {"1Az", 0x1A}, {"?", 0}, {"", 0}, {"123456789", 0}, {"FFFFFFFF", 0xFFFFFFFF}};
    for (const auto& [text, value] : kHex)
        EXPECT_EQ(ui::ReadHexLeading(text), value) << text;
    EXPECT_EQ(ui::AddressByte("1A3", true), 0xA3);
    EXPECT_EQ(ui::AddressByte("300", false), 300 & 0xFF);
}

std::string Repeat(const std::string& value, int count, char separator) {
    std::string text = value;
    for (int i = 1; i < count; ++i)
        text += separator + value;
    return text;
}

TEST(HciSequence, GivesTheBytesOrTheMessageAndTheSelection) {
    const std::string kHex = "Invalid HEX value found in command sequence: ";
    const std::string kDec = "Invalid DECIMAL value found in command sequence: ";
    const std::string k151 = Repeat("1", 151, ',') + ",2";
    const struct {
        std::string text;
        int base;
        char separator;
        Bytes bytes;
        std::string error;
        int32_t start, length;
    } kCases[] = {{" \t01 02\r\n", 16, ' ', {1, 2}, "", 0, 0},
                  {"1FF", 16, ' ', {0xFF}, "", 0, 0},
                  {"123456789", 16, ' ', {0x00}, "", 0, 0},
                  {"300", 10, ' ', {0x2C}, "", 0, 0},
                  {"-1", 10, ' ', {0xFF}, "", 0, 0},
                  {Repeat("AB", 150, ' '), 16, ' ', Bytes(150, 0xAB), "", 0, 0},
                  {Repeat("1", 150, ',') + ",", 10, ',', Bytes(150, 1), "", 0, 0},
                  {"", 16, ' ', {}, "HCI command request is empty", 0, 1},
                  {"01  02", 16, ' ', {}, kHex, 3, 1},
                  {"01,02", 16, ' ', {}, kHex + "01,02", 0, 5},
                  {"1 2a 3", 10, ' ', {}, kDec + "2a", 2, 2},
                  {"1, x ,2", 10, ',', {}, kDec + " x ", 2, 3},
                  {"-", 10, ' ', {}, kDec + "-", 0, 1},
                  {"4294967296", 10, ' ', {}, kDec + "4294967296", 0, 10},
                  {k151,
                   10,
                   ',',
                   {},
                   "Maximum number of HCI commands reached: 150",
                   300,
                   static_cast<int32_t>(k151.size()) - 300}};
    for (const auto& c : kCases) {
        const ui::HciSequence result = ui::ParseHciSequence(c.text, c.base, c.separator);
        EXPECT_EQ(result.error, c.error) << c.text;
        EXPECT_EQ(result.bytes, c.bytes) << c.text;
        if (!c.error.empty()) {
            EXPECT_EQ(result.selectionStart, c.start) << c.text;
            EXPECT_EQ(result.selectionLength, c.length) << c.text;
        }
    }
}

TEST(HciCommandsIni, ReadsAWindowsFileAndRewritesOnlyItsSection) {
    const std::string text = ui::HciCommandsIniText("[Other]\r\nKey=1\r\n\r\n[HCI Commands]\r\n"
                                                    "HCICommand0Name=Old\r\n"
                                                    "HCICommand1Name=Older\r\n",
                                                    {{"New", ""}});
    EXPECT_EQ(text, "[Other]\r\nKey=1\r\n\r\n[HCI Commands]\r\nHCICommand0Name=New\r\n");
    EXPECT_EQ(ui::SequenceLines("a\r\nb\nc\rd\r\n"),
              (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(ui::SequenceLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
}

} // namespace
