#include <QMdiArea>
#include <QMdiSubWindow>
#include <array>
#include <cstdio>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
    std::set<std::string> names;
    const std::string command = "nm -D --defined-only '" + path + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return names;
    std::array<char, 512> line{};
    while (std::fgets(line.data(), line.size(), pipe)) {
        std::string text(line.data());
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        const std::size_t blank = text.find_last_of(' ');
        names.insert(blank == std::string::npos ? text : text.substr(blank + 1));
    }
    ::pclose(pipe);
    return names;
}

TEST(PluginExports, ExactlyTheHostContract) {
    const std::set<std::string> expected = {
        "_SetFuncInterface", "_SetShowLineFunc", "_SetGetInterface", "_SetComHandle",
        "_SetBasebandType", "_ShowMDIChildForm", "_CloseMDIChildForm", "_CanRun",
        "_WantCOMPortClosed", "_frm_main"};
    EXPECT_EQ(DefinedDynamicSymbols(BT_PLUGIN_PATH), expected);
}

class LoadedPlugin : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = ::dlopen(BT_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << ::dlerror();
    }
    void TearDown() override {
        if (handle_) ::dlclose(handle_);
    }
    template <typename F> F Symbol(const char* name) {
        void* address = ::dlsym(handle_, name);
        EXPECT_NE(address, nullptr) << name;
        return reinterpret_cast<F>(address);
    }
    void* handle_ = nullptr;
};

TEST_F(LoadedPlugin, AnswersItsConstants) {
    EXPECT_EQ(Symbol<int32_t (*)()>("_CanRun")(), 1);
    EXPECT_EQ(Symbol<int32_t (*)()>("_WantCOMPortClosed")(), 0);
    EXPECT_EQ(*Symbol<void**>("_frm_main"), nullptr);
    Symbol<void (*)(int32_t)>("_SetBasebandType")(7); // accepted and ignored
}

TEST_F(LoadedPlugin, CloseWithoutAFormDoesNothing) {
    QMdiArea area;
    auto close = Symbol<void (*)(void*)>("_CloseMDIChildForm");
    close(&area);
    close(&area);
    EXPECT_EQ(*Symbol<void**>("_frm_main"), nullptr);
    EXPECT_TRUE(area.subWindowList().isEmpty());
}

} // namespace
