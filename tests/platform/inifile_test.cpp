#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/inifile.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(std::getenv("HOME")) / "ini";
        fs::create_directories(dir_);
        path_ = (dir_ / "HCICommands.ini").string();
    }
    fs::path dir_;
    std::string path_;
};

TEST_F(IniFileTest, ReadsAFileWrittenOnWindows) {
    WriteAll(path_, "[HCI Commands]\r\n"
                    "Count = 2\r\n"
                    "0= Reset \r\n"
                    "NAME1=\"Read BD ADDR\"\r\n"
                    "; a comment\r\n"
                    "\r\n"
                    "[other]\r\nKey=v\r\n");
    IniFile ini(path_);
    EXPECT_EQ(ini.ReadString("hci commands", "COUNT", "x"), "2");
    EXPECT_EQ(ini.ReadString("HCI Commands", "0", "x"), "Reset");
    EXPECT_EQ(ini.ReadString("HCI Commands", "name1", "x"), "Read BD ADDR");
    EXPECT_EQ(ini.ReadString("HCI Commands", "missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("nosection", "Key", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("OTHER", "key", "x"), "v");
}

TEST_F(IniFileTest, MissingFileReadsDefaultsAndIsCreatedOnWrite) {
    IniFile ini(path_);
    EXPECT_EQ(ini.ReadString("s", "k", "d"), "d");
    ASSERT_TRUE(ini.WriteString("Section", "Key", "Value")) << ini.LastError();
    IniFile again(path_);
    EXPECT_EQ(again.ReadString("section", "key", ""), "Value");
}

TEST_F(IniFileTest, WriteReplacesTheKeyWhateverItsCase) {
    WriteAll(path_, "[S]\nKey=old\nOther=1\n");
    IniFile ini(path_);
    ASSERT_TRUE(ini.WriteString("s", "KEY", "new"));
    IniFile again(path_);
    EXPECT_EQ(again.ReadString("S", "Key", ""), "new");
    EXPECT_EQ(again.Keys("S"), (std::vector<std::string>{"Key", "Other"}));
}

TEST_F(IniFileTest, EraseSectionRemovesOnlyThatSection) {
    WriteAll(path_, "[Keep]\r\nA=1\r\n[Drop]\r\nB=2\r\nC=3\r\n[Also]\r\nD=4\r\n");
    IniFile ini(path_);
    ASSERT_TRUE(ini.EraseSection("DROP"));
    IniFile again(path_);
    EXPECT_EQ(again.Sections(), (std::vector<std::string>{"Keep", "Also"}));
    EXPECT_EQ(again.ReadString("Drop", "B", "gone"), "gone");
    EXPECT_EQ(again.ReadString("Also", "D", ""), "4");
}

TEST_F(IniFileTest, CommentsSurviveARewrite) {
    WriteAll(path_, "; kept\n[S]\n; also kept\nA=1\n");
    IniFile ini(path_);
    ASSERT_TRUE(ini.WriteString("S", "B", "2"));
    const std::string text = ReadAll(path_);
    EXPECT_NE(text.find("; kept"), std::string::npos);
    EXPECT_NE(text.find("; also kept"), std::string::npos);
}

TEST_F(IniFileTest, ReadOnlyFileIsLeftAsItWas) {
    WriteAll(path_, "[S]\r\nA=1\r\n");
    const std::string before = ReadAll(path_);
    IniFile ini(path_);
    ::chmod(path_.c_str(), 0444);
    EXPECT_FALSE(ini.WriteString("S", "A", "2"));
    EXPECT_FALSE(ini.EraseSection("S"));
    EXPECT_NE(ini.LastError().find("Permission denied"), std::string::npos) << ini.LastError();
    EXPECT_EQ(ReadAll(path_), before);
    EXPECT_EQ(ini.ReadString("S", "A", ""), "1") << "memory stays as the file is";
    struct stat st {};
    ::stat(path_.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST_F(IniFileTest, FailedWriteIntoAMissingFolderReportsIt) {
    IniFile orphan((dir_ / "no-such-folder" / "x.ini").string());
    EXPECT_FALSE(orphan.WriteString("S", "A", "1"));
    EXPECT_FALSE(orphan.LastError().empty());
    EXPECT_FALSE(fs::exists(dir_ / "no-such-folder"));
}

TEST_F(IniFileTest, DiskFullDuringRewriteKeepsTheOldFile) {
    WriteAll(path_, "[S]\r\nA=1\r\n");
    const std::string before = ReadAll(path_);
    IniFile ini(path_);
    // A file-size limit makes the write fail part-way, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool written = ini.WriteString("S", "B", std::string(1000, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadAll(path_), before);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir_)) files += entry.is_regular_file();
    EXPECT_EQ(files, 1) << "the temporary file is removed";
}

TEST_F(IniFileTest, RewriteLeavesNoTemporaryFiles) {
    IniFile ini(path_);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(ini.WriteString("S", "K" + std::to_string(i), "v"));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

TEST(IniParse, ToleratesMalformedLines) {
    IniFile ini("/nonexistent/never-written.ini");
    ini.Parse("[unterminated\nnoequals\n=novalue\n[]\nk=v\n");
    EXPECT_EQ(ini.ReadString("unterminated", "k", "d"), "d");
    EXPECT_EQ(ini.ReadString("", "k", "d"), "v");
}

} // namespace
