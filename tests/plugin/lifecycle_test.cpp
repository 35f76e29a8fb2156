// The host's show and close sequence through the built plug-in, with the fake host's
// simulated phone behind the table.
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "fake_host.h"

namespace {

class Lifecycle : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        handle_ = ::dlopen(BT_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << ::dlerror();
        host_.SetInterfaceKind(GetParam());
        Symbol<void (*)(const void*, int32_t)>("_SetFuncInterface")(host_.Table(), host_.TableBytes());
        Symbol<void (*)(int32_t)>("_SetComHandle")(fakehost::FakeHost::kComHandle);
        Symbol<void (*)(fakehost::LogCallbackFunc)>("_SetShowLineFunc")(host_.LogCallback());
        show_ = Symbol<void (*)(void*)>("_ShowMDIChildForm");
        close_ = Symbol<void (*)(void*)>("_CloseMDIChildForm");
        form_ = Symbol<QWidget**>("_frm_main");
    }
    void TearDown() override {
        if (!handle_) return;
        // Forms still open belong to the host's area; they must go before their code does.
        qDeleteAll(area_.subWindowList());
        Symbol<void (*)(fakehost::LogCallbackFunc)>("_SetShowLineFunc")(nullptr);
        ::dlclose(handle_);
    }
    template <typename F> F Symbol(const char* name) {
        void* address = ::dlsym(handle_, name);
        EXPECT_NE(address, nullptr) << name;
        return reinterpret_cast<F>(address);
    }

    void* handle_ = nullptr;
    fakehost::FakeHost host_;
    QMdiArea area_;
    void (*show_)(void*) = nullptr;
    void (*close_)(void*) = nullptr;
    QWidget** form_ = nullptr;
};

TEST_P(Lifecycle, ShowAddsOneMaximisedChildWithTheVersionCaption) {
    show_(&area_);
    QWidget* form = *form_;
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->objectName(), "frm_main");
    EXPECT_EQ(form->windowTitle(), " - Version: 4.6.0.0");
    ASSERT_EQ(area_.subWindowList().size(), 1);
    EXPECT_EQ(area_.subWindowList().first()->widget(), form);
    EXPECT_TRUE(area_.subWindowList().first()->isMaximized());
    EXPECT_FALSE(host_.Phone().TextLog().empty() && host_.Phone().BinaryLog().empty())
        << "start-up talks to the phone";
    close_(&area_);
    EXPECT_EQ(*form_, nullptr);
    EXPECT_TRUE(area_.subWindowList().isEmpty());
}

TEST_P(Lifecycle, EveryShowMakesANewFormAndCloseTakesTheNewest) {
    show_(&area_);
    QWidget* first = *form_;
    show_(&area_);
    QWidget* second = *form_;
    EXPECT_NE(first, second);
    EXPECT_EQ(area_.subWindowList().size(), 2);
    close_(&area_);
    EXPECT_EQ(*form_, nullptr);
    ASSERT_EQ(area_.subWindowList().size(), 1);
    EXPECT_EQ(area_.subWindowList().first()->widget(), first) << "an older form stays with its owner";
    close_(&area_); // nothing left to close
    EXPECT_EQ(area_.subWindowList().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Protocols, Lifecycle, ::testing::Values(2, 0),
                         [](const auto& info) { return info.param == 2 ? "Text" : "Binary"; });

} // namespace
