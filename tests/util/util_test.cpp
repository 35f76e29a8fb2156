#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "util/util.h"

namespace {

struct NumberCase {
    uint32_t value;
    int8_t base, width;
    bool signed16;
    const char* text;
};

const NumberCase kNumbers[] = {
    {255, 16, 2, false, "FF"},
    {5, 16, 2, false, "05"},
    {0x1A3, 16, 2, false, "A3"}, // high digits dropped
    {0x1A3, 16, 3, false, "1A3"},
    {0xABCDEF01, 16, 8, false, "ABCDEF01"},
    {7, 16, 0, false, ""},      // no width, no digits
    {255, 10, 2, false, "255"}, // base 10 is never cut
    {0xFFFFFFFF, 10, 1, false, "4294967295"},
    {1234567, 10, 2, false, "1234567"},
    {0xFFFF, 10, 2, true, "-1"},
    {0x18000, 10, 2, true, "-32768"}, // only the low 16 bits
    {0, 10, 2, false, "0"},
    {5, 2, 4, false, "0101"},
    {0xFF, 2, 4, false, "1111"},
    {5, 8, 4, false, "0005"},
    {0, 8, 3, false, "000"},
    {35, 3, 4, false, "1022"},
    {5, 1, 4, false, "INVALID DATA"},
    {5, 17, 4, false, "INVALID DATA"},
    {5, -16, 4, false, "INVALID DATA"},
};

struct ValidCase {
    const char* text;
    int base;
    bool valid;
};

const ValidCase kValid[] = {
    {"", 16, false},    {"1f", 16, true},        {"1F", 16, true},  {"1G", 16, false},
    {"12:", 16, false}, {" 12", 16, false},      {"-1", 16, false}, {"", 10, false},
    {"-12", 10, true},  {"1-2", 10, true},       {"--", 10, true},  {"1.5", 10, false},
    {"1,5", 10, false}, {"12a", 10, false},      {"0101", 2, true}, {"012", 2, false},
    {"zz", 36, true},   {"\xC3\xA9", 16, false},
};

// The same under a locale with a decimal comma (installed by scripts/deps.sh).
TEST(NumberText, GivesFixedTextAndJudgesDigitsOfTheBaseInAnyLocale) {
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr) << locale << " is not installed";
        for (const NumberCase& c : kNumbers)
            EXPECT_EQ(NumberToText(c.value, c.base, c.width, c.signed16), c.text)
                << c.value << " base " << int(c.base) << " width " << int(c.width) << " " << locale;
        for (const ValidCase& c : kValid)
            EXPECT_EQ(IsValidNumber(c.text, c.base), c.valid)
                << '"' << c.text << "\" base " << c.base << " " << locale;
    }
    std::setlocale(LC_ALL, "C");
}

TEST(GetField, CutsFieldsWithTheirPositionsOrReportsAMissingOne) {
    struct Row {
        const char* text;
        int index;
        const char* result;
        const char* field;
        int32_t start, end; // -1: left alone
    };
    const Row rows[] = {
        {"01 02 03", 0, "", "01", 0, 2},
        {"01 02 03", 1, "", "02", 3, 5},
        {"01 02 03", 2, "", "03", 6, 8},
        {"01  02", 1, "", "", 3, 3}, // two separators in a row: an empty field
        {"01  02", 2, "", "02", 4, 6},
        {"01 02 03", 3, "<Missing parameter>", "", -1, -1},
        {"01 02 ", 2, "<Missing parameter>", "", -1, -1},
        {"", 0, "<Missing parameter>", "", -1, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.text) + " #" + std::to_string(row.index));
        std::string field = "stale";
        int32_t start = -1, end = -1;
        EXPECT_EQ(GetField(row.text, row.index, ' ', field, &start, &end), row.result);
        EXPECT_EQ(field, row.field);
        EXPECT_EQ(start, row.start);
        EXPECT_EQ(end, row.end);
    }
}

TEST(SettingsFolder, FollowsAppdataThenXdgThenHomeAndIsMadeOnce) {
    EXPECT_EQ(SettingsFolderFor("/data/app", "/x", "/h"), "/data/app/Halvex/Tessaly/");
    EXPECT_EQ(SettingsFolderFor("/data/app/", "/x", "/h"), "/data/app/Halvex/Tessaly/");
    EXPECT_EQ(SettingsFolderFor(nullptr, "/x/cfg", "/h"), "/x/cfg/Halvex/Tessaly/");
    EXPECT_EQ(SettingsFolderFor("", "/x/cfg", "/h"), "/x/cfg/Halvex/Tessaly/");
    EXPECT_EQ(SettingsFolderFor(nullptr, nullptr, "/home/op"), "/home/op/.config/Halvex/Tessaly/");
    EXPECT_EQ(SettingsFolderFor("/", nullptr, nullptr), "/Halvex/Tessaly/");

    const std::string appdata = std::getenv("APPDATA");
    const std::string& folder = GetSettingsFolder();
    EXPECT_EQ(folder, appdata + "/Halvex/Tessaly/");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    ::setenv("APPDATA", "/elsewhere", 1);
    EXPECT_EQ(GetSettingsFolder(), folder) << "worked out once per library life";
    ::setenv("APPDATA", appdata.c_str(), 1);
}

} // namespace
