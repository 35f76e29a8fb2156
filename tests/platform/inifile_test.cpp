#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

#include "platform/inifile.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir_); }
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    int FilesInFolder() const {
        return static_cast<int>(std::distance(fs::directory_iterator(dir_), {}));
    }
    const fs::path dir_ = fs::path(std::getenv("HOME")) / "ini";
    const std::string path_ = (dir_ / "HCICommands.ini").string();
};

TEST_F(IniFileTest, ReadsAFileWrittenOnWindowsWithoutMindingCaseOrBadLines) {
    Write("[HCI Commands]\r\nCount = 2\r\n0= Reset \r\nNAME1=\"Read BD ADDR\"\r\n; a comment\r\n"
          "\r\n[other]\r\nKey=v\r\n");
    IniFile ini(path_);
    EXPECT_EQ(ini.ReadString("hci commands", "COUNT", "x"), "2");
    EXPECT_EQ(ini.ReadString("HCI Commands", "0", "x"), "Reset");
    EXPECT_EQ(ini.ReadString("HCI Commands", "name1", "x"), "Read BD ADDR");
    EXPECT_EQ(ini.ReadString("HCI Commands", "missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("nosection", "Key", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("OTHER", "key", "x"), "v");
    ini.Parse("[unterminated\nnoequals\n=novalue\n[]\nk=v\n");
    EXPECT_EQ(ini.ReadString("unterminated", "k", "d"), "d");
    EXPECT_EQ(ini.ReadString("", "k", "d"), "v");
}

TEST_F(IniFileTest, RewriteKeepsCommentsOrderAndCaseAndLeavesNoTemporaryFile) {
    IniFile fresh(path_);
    EXPECT_EQ(fresh.ReadString("S", "k", "d"), "d");
    ASSERT_TRUE(fresh.WriteString("S", "Key", "old")) << "a missing file is created";
    EXPECT_EQ(IniFile(path_).ReadString("s", "key", ""), "old");
    Write(
        "; kept\r\n[Keep]\r\nA=1\r\n[S]\r\n; also kept\r\nKey=old\r\nOther=1\r\n[Drop]\r\nB=2\r\n");
    IniFile ini(path_);
    ASSERT_TRUE(ini.WriteString("s", "KEY", "new"));
    ASSERT_TRUE(ini.EraseSection("DROP"));
    IniFile again(path_);
    EXPECT_EQ(again.ReadString("S", "Key", ""), "new");
    EXPECT_EQ(again.Keys("S"), (std::vector<std::string>{"Key", "Other"}));
    EXPECT_EQ(again.Sections(), (std::vector<std::string>{"Keep", "S"}));
    const std::string text = ReadAll(path_);
    EXPECT_NE(text.find("; kept"), std::string::npos);
    EXPECT_NE(text.find("; also kept"), std::string::npos);
    EXPECT_EQ(FilesInFolder(), 1);
}

TEST_F(IniFileTest, ReadOnlyFileOrMissingFolderIsLeftAsItWas) {
    Write("[S]\r\nA=1\r\n");
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

    IniFile orphan((dir_ / "no-such-folder" / "x.ini").string());
    EXPECT_FALSE(orphan.WriteString("S", "A", "1"));
    EXPECT_FALSE(orphan.LastError().empty());
    EXPECT_FALSE(fs::exists(dir_ / "no-such-folder"));
}

TEST_F(IniFileTest, DiskFullDuringRewriteKeepsTheOldFile) {
    Write("[S]\r\nA=1\r\n");
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
    EXPECT_EQ(FilesInFolder(), 1) << "the temporary file is removed";
}

} // namespace
