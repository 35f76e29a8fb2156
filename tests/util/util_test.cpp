#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "util/util.h"

namespace {

struct NumberCase {
    uint32_t value;
    int8_t base;
    int8_t width;
    bool signed16;
    const char* text;
};

void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << c.value << " base " << int(c.base) << " width " << int(c.width);
}

class NumberToTextTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberToTextTest, GivesFixedText) {
    const NumberCase& c = GetParam();
    EXPECT_EQ(NumberToText(c.value, c.base, c.width, c.signed16), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Bases, NumberToTextTest,
    ::testing::Values(NumberCase{255, 16, 2, false, "FF"}, NumberCase{5, 16, 2, false, "05"},
                      NumberCase{0x1A3, 16, 2, false, "A3"},      // high digits dropped
                      NumberCase{0x1A3, 16, 3, false, "1A3"},
                      NumberCase{0xABCDEF01, 16, 8, false, "ABCDEF01"},
                      NumberCase{7, 16, 0, false, ""},            // no width, no digits
                      NumberCase{255, 10, 2, false, "255"},       // base 10 is never cut
                      NumberCase{0xFFFFFFFF, 10, 1, false, "4294967295"},
                      NumberCase{0xFFFF, 10, 2, true, "-1"},
                      NumberCase{0x18000, 10, 2, true, "-32768"}, // only the low 16 bits
                      NumberCase{0, 10, 2, false, "0"},
                      NumberCase{5, 2, 4, false, "0101"}, NumberCase{0xFF, 2, 4, false, "1111"},
                      NumberCase{5, 8, 4, false, "0005"}, NumberCase{0, 8, 3, false, "000"},
                      NumberCase{35, 3, 4, false, "1022"},
                      NumberCase{5, 1, 4, false, "INVALID DATA"},
                      NumberCase{5, 17, 4, false, "INVALID DATA"},
                      NumberCase{5, -16, 4, false, "INVALID DATA"}));

struct ValidCase {
    const char* text;
    int base;
    bool valid;
};

void PrintTo(const ValidCase& c, std::ostream* os) { *os << '"' << c.text << "\" base " << c.base; }

class IsValidNumberTest : public ::testing::TestWithParam<ValidCase> {};

TEST_P(IsValidNumberTest, JudgesDigitsOfTheBase) {
    const ValidCase& c = GetParam();
    EXPECT_EQ(IsValidNumber(c.text, c.base), c.valid) << '"' << c.text << "\" base " << c.base;
}

INSTANTIATE_TEST_SUITE_P(
    Bases, IsValidNumberTest,
    ::testing::Values(ValidCase{"", 16, false}, ValidCase{"1f", 16, true},
                      ValidCase{"1F", 16, true}, ValidCase{"1G", 16, false},
                      ValidCase{"12:", 16, false}, ValidCase{" 12", 16, false},
                      ValidCase{"-1", 16, false}, ValidCase{"", 10, false},
                      ValidCase{"-12", 10, true}, ValidCase{"1-2", 10, true},
                      ValidCase{"--", 10, true}, ValidCase{"1.5", 10, false},
                      ValidCase{"1,5", 10, false}, ValidCase{"12a", 10, false},
                      ValidCase{"0101", 2, true}, ValidCase{"012", 2, false},
                      ValidCase{"zz", 36, true}, ValidCase{"\xC3\xA9", 16, false}));

TEST(GetField, CutsFieldsWithPositions) {
    std::string field;
    int32_t start = -1, end = -1;
    EXPECT_EQ(GetField("01 02 03", 1, ' ', field, &start, &end), "");
    EXPECT_EQ(field, "02");
    EXPECT_EQ(start, 3);
    EXPECT_EQ(end, 5);
    EXPECT_EQ(GetField("01 02 03", 2, ' ', field, &start, &end), "");
    EXPECT_EQ(field, "03");
    EXPECT_EQ(end, 8);
    EXPECT_EQ(GetField("01 02 03", 0, ' ', field), "");
    EXPECT_EQ(field, "01");
}

TEST(GetField, ReportsMissingFieldAndClearsOutput) {
    std::string field = "stale";
    int32_t start = 77;
    EXPECT_EQ(GetField("01 02 03", 3, ' ', field, &start), "<Missing parameter>");
    EXPECT_EQ(field, "");
    EXPECT_EQ(start, 77) << "a missing field leaves the positions alone";
    EXPECT_EQ(GetField("01 02 ", 2, ' ', field), "<Missing parameter>");
    EXPECT_EQ(GetField("", 0, ' ', field), "<Missing parameter>");
}

TEST(GetField, TwoSeparatorsInARowGiveAnEmptyField) {
    std::string field = "x";
    int32_t start = -1, end = -1;
    EXPECT_EQ(GetField("01  02", 1, ' ', field, &start, &end), "");
    EXPECT_EQ(field, "");
    EXPECT_EQ(start, 3);
    EXPECT_EQ(end, 3);
    EXPECT_EQ(GetField("01  02", 2, ' ', field), "");
    EXPECT_EQ(field, "02");
}

TEST(FillText, RepeatsOrGivesNothing) {
    EXPECT_EQ(FillText('0', 3), "000");
    EXPECT_EQ(FillText('0', 0), "");
    EXPECT_EQ(FillText('0', -4), "");
}

TEST(CompareBytes, OrdersLikeMemcmp) {
    const unsigned char a[] = {1, 2, 3}, b[] = {1, 2, 4};
    EXPECT_EQ(CompareBytes(a, a, 3), 0);
    EXPECT_LT(CompareBytes(a, b, 3), 0);
    EXPECT_GT(CompareBytes(b, a, 3), 0);
    EXPECT_EQ(CompareBytes(a, b, 2), 0);
}

TEST(SettingsFolder, FollowsAppdataThenXdgThenHome) {
    EXPECT_EQ(SettingsFolderFor("/data/app", "/x", "/h"), "/data/app/Halvex/Tessaly/");
    EXPECT_EQ(SettingsFolderFor("/data/app/", "/x", "/h"), "/data/app/Halvex/Tessaly/");
    EXPECT_EQ(SettingsFolderFor(nullptr, "/x/cfg", "/h"), "/x/cfg/Halvex/Tessaly/");
    EXPECT_EQ(SettingsFolderFor("", "/x/cfg", "/h"), "/x/cfg/Halvex/Tessaly/");
    EXPECT_EQ(SettingsFolderFor(nullptr, nullptr, "/home/op"), "/home/op/.config/Halvex/Tessaly/");
    EXPECT_EQ(SettingsFolderFor("/", nullptr, nullptr), "/Halvex/Tessaly/");
}

TEST(SettingsFolder, IsCreatedOnFirstUseAndKept) {
    const std::string appdata = std::getenv("APPDATA");
    const std::string& folder = GetSettingsFolder();
    EXPECT_EQ(folder, appdata + "/Halvex/Tessaly/");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    ::setenv("APPDATA", "/elsewhere", 1);
    EXPECT_EQ(GetSettingsFolder(), folder) << "worked out once per library life";
    ::setenv("APPDATA", appdata.c_str(), 1);
}

TEST(Locale, NumbersIgnoreADecimalCommaLocale) {
    const char* chosen = std::setlocale(LC_ALL, "de_DE.UTF-8");
    if (!chosen) chosen = std::setlocale(LC_ALL, "fr_FR.UTF-8");
    if (!chosen) GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_EQ(NumberToText(1234567, 10, 2, false), "1234567");
    EXPECT_EQ(NumberToText(0xFFFF, 10, 2, true), "-1");
    EXPECT_FALSE(IsValidNumber("1,5", 10));
    std::setlocale(LC_ALL, "C");
}

} // namespace
