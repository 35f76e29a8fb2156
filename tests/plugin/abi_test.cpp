// The built plug-in loaded the way a host loads it: its exports, its constants and the
// host's show and close sequence, with the fake host's simulated phone behind the table.

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <set>
#include <string>

#include "fake_host.h"

namespace {

TEST(PluginExports, ExactlyTheHostContract) {
    QProcess nm;
    nm.start("nm", {"-D", "--defined-only", BT_PLUGIN_PATH});
    ASSERT_TRUE(nm.waitForFinished());
    std::set<std::string> names;
    for (const QString& line : QString(nm.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        names.insert(line.section(' ', -1).toStdString());
    const std::set<std::string> expected = {
        "_SetFuncInterface",  "_SetShowLineFunc",  "_SetGetInterface",   "_SetComHandle",
        "_SetBasebandType",   "_ShowMDIChildForm", "_CloseMDIChildForm", "_CanRun",
        "_WantCOMPortClosed", "_frm_main"};
    EXPECT_EQ(names, expected);
}

TEST(LoadedPlugin, AnswersItsConstantsAndShowsAndClosesFormsInTheHostsArea) {
    void* handle = ::dlopen(BT_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << ::dlerror();
    auto symbol = [handle](const char* name) {
        void* address = ::dlsym(handle, name);
        EXPECT_NE(address, nullptr) << name;
        return address;
    };
    EXPECT_EQ(reinterpret_cast<int32_t (*)()>(symbol("_CanRun"))(), 1);
    EXPECT_EQ(reinterpret_cast<int32_t (*)()>(symbol("_WantCOMPortClosed"))(), 0);
    reinterpret_cast<void (*)(int32_t)>(symbol("_SetBasebandType"))(7); // accepted, ignored
    auto** form = static_cast<QWidget**>(symbol("_frm_main"));
    auto show = reinterpret_cast<void (*)(void*)>(symbol("_ShowMDIChildForm"));
    auto close = reinterpret_cast<void (*)(void*)>(symbol("_CloseMDIChildForm"));
    auto setLog = reinterpret_cast<void (*)(fakehost::LogCallbackFunc)>(symbol("_SetShowLineFunc"));
    fakehost::FakeHost host;
    reinterpret_cast<void (*)(const void*, int32_t)>(symbol("_SetFuncInterface"))(
        host.Table(), host.TableBytes());
    reinterpret_cast<void (*)(int32_t)>(symbol("_SetComHandle"))(fakehost::FakeHost::kComHandle);
    setLog(host.LogCallback());
    QMdiArea area;
    close(&area); // nothing to close yet
    EXPECT_EQ(*form, nullptr);

    show(&area);
    QWidget* first = *form;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->objectName(), "frm_main");
    EXPECT_EQ(first->windowTitle(), " - Version: 4.6.0.0");
    ASSERT_EQ(area.subWindowList().size(), 1);
    EXPECT_EQ(area.subWindowList().first()->widget(), first);
    EXPECT_TRUE(area.subWindowList().first()->isMaximized());
    EXPECT_FALSE(host.Log().empty()) << "start-up talks to the phone";

    show(&area);
    EXPECT_NE(*form, first) << "every show makes a new form";
    EXPECT_EQ(area.subWindowList().size(), 2);
    close(&area);
    EXPECT_EQ(*form, nullptr);
    ASSERT_EQ(area.subWindowList().size(), 1) << "close takes the newest";
    EXPECT_EQ(area.subWindowList().first()->widget(), first) << "an older form stays";
    close(&area);
    EXPECT_EQ(area.subWindowList().size(), 1);

    // Forms still open belong to the host's area; they must go before their code does.
    qDeleteAll(area.subWindowList());
    setLog(nullptr);
    ::dlclose(handle);
}

} // namespace
