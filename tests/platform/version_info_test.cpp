#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

#include "platform/version_info.h"

namespace {

std::vector<char> Block(const std::string& text) {
    return std::vector<char>(text.begin(), text.end());
}

// The caption built from the plug-in's resource is checked with the plug-in's services.
TEST(VersionInfo, TruncatedPluginFileIsOneWithoutAResource) {
    std::ifstream in(BT_PLUGIN_PATH, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(platform::GetFileVersionInfoSize(BT_PLUGIN_PATH), 0u);
    const std::string path = std::string(std::getenv("HOME")) + "/cut.so";
    for (std::size_t size :
         {std::size_t{10}, std::size_t{64}, std::size_t{4096}, whole.size() - 200}) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << whole.substr(0, size);
        EXPECT_EQ(platform::GetFileVersionInfoSize(path), 0u) << size;
    }
    EXPECT_EQ(platform::GetFileVersionInfoSize("/etc/hostname"), 0u);
    std::vector<char> block;
    EXPECT_FALSE(platform::GetFileVersionInfo("/no/such/file", block));
}

TEST(VersionInfo, QueriesMatchPathsWithoutCaseAndCheckTheBlock) {
    std::string value;
    const auto good = Block("VS_VERSION_INFO\n\\VarFileInfo\\Translation=0407 04b0\n"
                            "\\StringFileInfo\\040704b0\\ProductName=Tester\n");
    ASSERT_TRUE(platform::VerQueryValue(good, "\\varfileinfo\\translation", value));
    EXPECT_EQ(value, std::string("\x07\x04\xB0\x04", 4));
    ASSERT_TRUE(platform::VerQueryValue(good, "\\StringFileInfo\\040704B0\\PRODUCTNAME", value));
    EXPECT_EQ(value, "Tester");
    EXPECT_FALSE(platform::VerQueryValue(good, "\\StringFileInfo\\040704b0\\FileVersion", value));
    EXPECT_FALSE(platform::VerQueryValue(Block("junk\n\\a=b\n"), "\\a", value));
    EXPECT_FALSE(
        platform::VerQueryValue(Block("VS_VERSION_INFO\n\\VarFileInfo\\Translation=04zz 04b0\n"),
                                "\\VarFileInfo\\Translation", value));
    EXPECT_FALSE(platform::VerQueryValue({}, "\\VarFileInfo\\Translation", value));
}

} // namespace
