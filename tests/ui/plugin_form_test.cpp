// The form as the station gets it: the built plug-in loaded with dlopen, the fake host's
// table and the simulated phone behind it.

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "fake_host.h"

namespace {

// Binary test function numbers.
constexpr int kHwInfo = 8;
constexpr int kInterfaceStatus = 15;

class PluginForm : public testing::Test {
protected:
    void Load(int32_t interfaceKind) {
        handle_ = ::dlopen(BT_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << ::dlerror();
        host_.SetInterfaceKind(interfaceKind);
        Symbol<void (*)(const void*, int32_t)>("_SetFuncInterface")(host_.Table(),
                                                                    host_.TableBytes());
        Symbol<void (*)(int32_t)>("_SetComHandle")(fakehost::FakeHost::kComHandle);
        Symbol<void (*)(fakehost::LogCallbackFunc)>("_SetShowLineFunc")(host_.LogCallback());
    }
    void TearDown() override {
        if (handle_ == nullptr) return;
        Symbol<void (*)(void*)>("_CloseMDIChildForm")(&area_);
        Symbol<void (*)(fakehost::LogCallbackFunc)>("_SetShowLineFunc")(nullptr);
        ::dlclose(handle_);
    }
    template <typename F> F Symbol(const char* name) {
        void* address = ::dlsym(handle_, name);
        EXPECT_NE(address, nullptr) << name;
        return reinterpret_cast<F>(address);
    }
    // Shows the form; the texts of the modal boxes start-up opened are returned.
    std::vector<QString> Show() {
        std::vector<QString> texts;
        QTimer timer;
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&texts] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) texts.push_back(box->text());
            dialog->done(0);
        });
        timer.start();
        Symbol<void (*)(void*)>("_ShowMDIChildForm")(&area_);
        timer.stop();
        return texts;
    }
    QWidget* Form() { return *Symbol<QWidget**>("_frm_main"); }
    template <typename T = QWidget> T* W(const char* name) {
        return Form()->findChild<T*>(QString::fromLatin1(name));
    }

    void* handle_ = nullptr;
    fakehost::FakeHost host_;
    QMdiArea area_;
};

TEST_F(PluginForm, TextProtocolStartsWithTheNvmBoxAndTheChipOn) {
    Load(2);
    host_.Phone().Chip().on = true;
    EXPECT_TRUE(Show().empty());
    ASSERT_NE(W("gbNvmNew"), nullptr);
    EXPECT_FALSE(W("gbNvmNew")->isHidden());
    EXPECT_FALSE(W("btnWriteAllNvm")->isHidden());
    EXPECT_TRUE(W<QPushButton>("btn_BluetoothInit")->isChecked());
    EXPECT_EQ(W("shp_BTOnOff")->property("lampColor").toString(), "green");
    EXPECT_EQ(host_.Phone().TextCount("at@bt:hw_info"), 1u);
    EXPECT_EQ(host_.Phone().TextCount("at@bt:get_pcm_uart_wakeup_interface_status"), 1u);
    EXPECT_EQ(host_.TimeoutCalls(), std::vector<int32_t>{5});
}

TEST_F(PluginForm, BinaryProtocolStartsWithoutTheNvmBox) {
    Load(0);
    host_.Phone().Chip().on = false;
    EXPECT_TRUE(Show().empty());
    EXPECT_TRUE(W("gbNvmNew")->isHidden());
    EXPECT_TRUE(W("btnWriteAllNvm")->isHidden());
    EXPECT_FALSE(W<QPushButton>("btn_BluetoothInit")->isChecked());
    EXPECT_EQ(host_.Phone().BinaryCount(kHwInfo), 1u);
    EXPECT_EQ(host_.Phone().BinaryCount(kInterfaceStatus), 0u);
    EXPECT_TRUE(host_.Phone().TextLog().empty());
}

TEST_F(PluginForm, SilentPhoneShowsOperationNotPossible) {
    Load(2);
    host_.Phone().InjectText({phonesim::Fault::NoReply, 0, "", {}, true});
    const std::vector<QString> boxes = Show();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].endsWith("Operation not possible\n")) << boxes[0].toStdString();
    EXPECT_TRUE(W("btn_BluetoothInit")->testAttribute(Qt::WA_Disabled));
}

} // namespace
