// The form's input rules and HCI command lists, free of widgets: exact values and messages.

#include <gtest/gtest.h>

#include <clocale>

#include "ui/hci_commands.h"
#include "ui/rules.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(NumberRule, GivesTheValueOrTheExactMessage) {
    const std::string kBad = "\n LE. Default power level: Please enter a valid value\n";
    const struct {
        const char* text;
        int64_t minimum, maximum, value;
        std::string message;
    } kCases[] = {{"-3.9", -128, 127, -3, ""},
                  {" 7 ", 0, 10, 7, ""},
                  {"1e1", 0, 10, 10, ""},
                  {"-40", -35, 10, 0, "\nLE. Default power level below minimum (-35)\n"},
                  // A number too long for any field is still reported against the limit.
                  {"99999999999999999999999", 0, 4294967295, 0,
                   "\nLE. Default power level above maximum (4294967295)\n"},
                  {"", 0, 10, 0, kBad},
                  {"1-2", 0, 10, 0, kBad},
                  {"inf", 0, 10, 0, kBad}};
    for (const auto& c : kCases) {
        const ui::Checked checked =
            ui::CheckNumber(c.text, "LE. Default power level", c.minimum, c.maximum);
        EXPECT_EQ(checked.message, c.message) << c.text;
        EXPECT_EQ(checked.value, c.value) << c.text;
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
    EXPECT_EQ(ui::ReadWholeNumber(" -7"), -7);
    EXPECT_EQ(ui::ReadWholeNumber("2147483647"), 2147483647);
    for (const char* bad : {"", "-", "1.5", "4x", "2147483648", "0x10", "?"})
        EXPECT_FALSE(ui::ReadWholeNumber(bad).has_value()) << bad;
    const std::pair<const char*, uint32_t> kHex[] = {
        {"7f", 0x7F}, {"1Az", 0x1A}, {"?", 0}, {"", 0}, {"123456789", 0}, {"FFFFFFFF", 0xFFFFFFFF}};
    for (const auto& [text, value] : kHex)
        EXPECT_EQ(ui::ReadHexLeading(text), value) << text;
    EXPECT_EQ(ui::AddressByte("1A3", true), 0xA3);
    EXPECT_EQ(ui::AddressByte("300", false), 300 & 0xFF);
}

TEST(ManualValue, IsCheckedOnlyWhenUsed) {
    const struct {
        const char* text;
        bool use, hex;
        uint32_t maximum;
        int64_t value;
        const char* message;
    } kCases[] = {{"1F", true, true, 31, 31, ""},
                  {"20", true, true, 31, 0, "Value above maximum (31)\n"},
                  {"anything", false, true, 31, 0, ""},
                  {"300", true, false, 255, 0, "Value above maximum (255)\n"},
                  {"3FF", true, true, 1023, 1023, ""},
                  {"", true, false, 31, 0, "Please enter a valid value\n"},
                  {"1G", true, true, 31, 0, "Please enter a valid value\n"},
                  // Regression: a minus sign passed the digit check and became 251.
                  {"-5", true, false, 31, 0, "Please enter a valid value\n"},
                  // Regression: nine hex digits read as 0 and slipped under the limit.
                  {"100000000", true, true, 1023, 0, "Value above maximum (1023)\n"}};
    for (const auto& c : kCases) {
        const ui::Checked checked = ui::CheckManualValue(c.text, c.use, c.hex, c.maximum);
        EXPECT_EQ(checked.message, c.message) << c.text;
        EXPECT_EQ(checked.value, c.value) << c.text;
    }
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

TEST(HciReply, NeverReadsPastTheRecordWhateverTheLengthSays) {
    const Bytes data(ui::kMaxHciCommandBytes, 0x11);
    EXPECT_EQ(ui::HciReplyText(data.data(), 255, 16).size(), ui::kMaxHciCommandBytes * 3);
}

TEST(HciCommandsIni, ReadsAWindowsFileAndRewritesOnlyItsSection) {
    const auto tabs = ui::ParseHciCommandsIni("[Other]\r\nKey=1\r\n\r\n[HCI Commands]\r\n"
                                              "HCICommand0Name=Two lines\r\n"
                                              "HCICommand0DataLine0=01 02\r\n"
                                              "HCICommand0DataLine1=03\r\n"
                                              "HCICommand0DataLine3=lost\r\n");
    ASSERT_EQ(tabs.size(), 1u);
    EXPECT_EQ(tabs[0].sequence, "01 02\r\n03");
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
