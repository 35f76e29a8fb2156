#include "ui/hci_commands.h"

#include <gtest/gtest.h>

#include "util/util.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct SequenceCase {
    const char* label;
    std::string text;
    int base;
    char separator;
    Bytes bytes;
    std::string error;
    int32_t selectionStart;
    int32_t selectionLength;
};

void PrintTo(const SequenceCase& c, std::ostream* os) {
    *os << c.label;
}

class HciSequenceCases : public testing::TestWithParam<SequenceCase> {};

TEST_P(HciSequenceCases, GivesTheBytesOrTheMessageAndSelection) {
    const SequenceCase& c = GetParam();
    const ui::HciSequence result = ui::ParseHciSequence(c.text, c.base, c.separator);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.bytes, c.bytes);
    if (!c.error.empty()) {
        EXPECT_EQ(result.selectionStart, c.selectionStart);
        EXPECT_EQ(result.selectionLength, c.selectionLength);
    }
}

INSTANTIATE_TEST_SUITE_P(
    HciSequence, HciSequenceCases,
    testing::Values(
        SequenceCase{"HexWithBlanks", "01 03 0c 00", 16, ' ', {0x01, 0x03, 0x0C, 0x00}, "", 0, 0},
        SequenceCase{"DecimalWithCommasAndBlanks", "1, 3, 12", 10, ',', {1, 3, 12}, "", 0, 0},
        SequenceCase{
            "SurroundingBlanksAndLineBreaksTrimmed", " \t01 02\r\n", 16, ' ', {1, 2}, "", 0, 0},
        SequenceCase{"TwoBlanksGiveAnEmptyField",
                     "01  02",
                     16,
                     ' ',
                     {},
                     "Invalid HEX value found in command sequence: ",
                     3,
                     1},
        SequenceCase{"HexKeepsTheLowByte", "1FF", 16, ' ', {0xFF}, "", 0, 0},
        SequenceCase{"HexOverEightDigitsIsZero", "123456789", 16, ' ', {0x00}, "", 0, 0},
        SequenceCase{"DecimalKeepsTheLowByte", "300", 10, ' ', {0x2C}, "", 0, 0},
        SequenceCase{"NegativeDecimalIsItsLowByte", "-1", 10, ' ', {0xFF}, "", 0, 0},
        SequenceCase{"BlanksOnlySendNothing", "   ", 16, ' ', {}, "", 0, 0},
        SequenceCase{"EmptyRequest", "", 16, ' ', {}, "HCI command request is empty", 0, 1},
        SequenceCase{"LetterInDecimal",
                     "1 2a 3",
                     10,
                     ' ',
                     {},
                     "Invalid DECIMAL value found in command sequence: 2a",
                     2,
                     2},
        SequenceCase{"UntrimmedFieldInTheMessage",
                     "1, x ,2",
                     10,
                     ',',
                     {},
                     "Invalid DECIMAL value found in command sequence:  x ",
                     2,
                     3},
        SequenceCase{"MinusInsideADecimal",
                     "1 1-2 3",
                     10,
                     ' ',
                     {},
                     "Invalid DECIMAL value found in command sequence: 1-2",
                     2,
                     3},
        SequenceCase{"MinusAlone",
                     "-",
                     10,
                     ' ',
                     {},
                     "Invalid DECIMAL value found in command sequence: -",
                     0,
                     1},
        SequenceCase{"DecimalBeyond32Bits",
                     "4294967296",
                     10,
                     ' ',
                     {},
                     "Invalid DECIMAL value found in command sequence: 4294967296",
                     0,
                     10},
        SequenceCase{"CommaSeparatedTextWithSpaceSeparator",
                     "01,02",
                     16,
                     ' ',
                     {},
                     "Invalid HEX value found in command sequence: 01,02",
                     0,
                     5}));

std::string Repeat(const std::string& value, int count, char separator) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += (i ? std::string(1, separator) : std::string()) + value;
    return text;
}

TEST(HciSequence, Accepts150Values) {
    const ui::HciSequence result = ui::ParseHciSequence(Repeat("AB", 150, ' '), 16, ' ');
    EXPECT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.bytes, Bytes(150, 0xAB));
}

TEST(HciSequence, RejectsThe151stValueAndSelectsTheRest) {
    const std::string text = Repeat("1", 151, ',') + ",2";
    const ui::HciSequence result = ui::ParseHciSequence(text, 10, ',');
    EXPECT_EQ(result.error, "Maximum number of HCI commands reached: 150");
    EXPECT_TRUE(result.bytes.empty());
    EXPECT_EQ(result.selectionStart, 300);
    EXPECT_EQ(result.selectionLength, static_cast<int32_t>(text.size()) - 300);
}

TEST(HciSequence, TrailingSeparatorAfter150ValuesIsNoField) {
    const ui::HciSequence result = ui::ParseHciSequence(Repeat("1", 150, ',') + ",", 10, ',');
    EXPECT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.bytes.size(), 150u);
}

TEST(HciReply, ListsEachByteWithABlankInTheChosenBase) {
    const uint8_t reply[] = {0x0E, 0x04, 0x01};
    EXPECT_EQ(ui::HciReplyText(reply, 3, 16), "0E 04 01 ");
    EXPECT_EQ(ui::HciReplyText(reply, 3, 10), "14 4 1 ");
    EXPECT_EQ(ui::HciReplyText(reply, 0, 16), "");
}

TEST(HciReply, NeverReadsPastTheRecordWhateverTheLengthSays) {
    std::vector<uint8_t> data(ui::kMaxHciCommandBytes, 0x11);
    EXPECT_EQ(ui::HciReplyText(data.data(), 255, 16).size(), ui::kMaxHciCommandBytes * 3);
}

TEST(HciCommandsIni, ReadsAWindowsWrittenFileAndJoinsLinesWithCrLf) {
    const auto tabs = ui::ParseHciCommandsIni("[HCI Commands]\r\n"
                                              "HCICommand0Name=Two lines\r\n"
                                              "HCICommand0DataLine0=01 02\r\n"
                                              "HCICommand0DataLine1=03\r\n"
                                              "HCICommand0DataLine3=lost\r\n");
    ASSERT_EQ(tabs.size(), 1u);
    EXPECT_EQ(tabs[0].sequence, "01 02\r\n03");
}

TEST(HciCommandsIni, RewriteReplacesTheOldTabsAndKeepsOtherSections) {
    const std::string text = ui::HciCommandsIniText("[Other]\r\nKey=1\r\n\r\n[HCI Commands]\r\n"
                                                    "HCICommand0Name=Old\r\n"
                                                    "HCICommand1Name=Older\r\n",
                                                    {{"New", ""}});
    const auto tabs = ui::ParseHciCommandsIni(text);
    ASSERT_EQ(tabs.size(), 1u);
    EXPECT_EQ(tabs[0].name, "New");
    EXPECT_NE(text.find("[Other]\r\nKey=1\r\n"), std::string::npos);
}

TEST(HciCommandsIni, SavedTabsLoadBackTheSame) {
    const std::string path = GetSettingsFolder() + "roundtrip.ini";
    const std::vector<ui::HciCommandTab> tabs = {{"A", "01\r\n\r\n02"}, {"B", "x y"}};
    std::string error;
    ASSERT_TRUE(ui::SaveHciCommandsFile(path, tabs, error)) << error;
    const auto loaded = ui::LoadHciCommandsFile(path);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].sequence, "01\r\n\r\n02");
    EXPECT_EQ(loaded[1].name, "B");
}

TEST(HciCommandsIni, SequenceLinesSplitAtAnyLineBreak) {
    EXPECT_EQ(ui::SequenceLines(""), std::vector<std::string>{});
    EXPECT_EQ(ui::SequenceLines("a\r\nb\nc\rd\r\n"),
              (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(ui::SequenceLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
}

} // namespace
