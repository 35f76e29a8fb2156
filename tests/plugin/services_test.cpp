#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "platform/last_error.h"
#include "plugin/plugin.h"
#include "ui/form_util.h"

namespace {

std::vector<std::pair<std::string, int>> Lines;
std::vector<bool> NullTexts;

extern "C" void RecordLine(const char* text, uint8_t flag) {
    NullTexts.push_back(text == nullptr);
    Lines.emplace_back(text ? text : "", flag);
}

const char* LastErrorText = "No errors";
extern "C" const char* FakeLastError() { return LastErrorText; }

class ServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        Lines.clear();
        NullTexts.clear();
        ShowLineCallback = &RecordLine;
        std::vector<void*> table(host::kSlotCount);
        table[host::kGetLastError] = reinterpret_cast<void*>(&FakeLastError);
        SetFuncInterface(table.data(), static_cast<int32_t>(host::kTableBytes));
    }
    void TearDown() override { ShowLineCallback = nullptr; }
};

TEST_F(ServicesTest, ShowLinePassesTextAndFlagUnchanged) {
    ShowLine("Start TX burst mode", 1);
    ShowLine("Parameter error: x", 0);
    ShowLine("two\nlines", 1);
    ASSERT_EQ(Lines.size(), 3u);
    EXPECT_EQ(Lines[0], std::make_pair(std::string("Start TX burst mode"), 1));
    EXPECT_EQ(Lines[1], std::make_pair(std::string("Parameter error: x"), 0));
    EXPECT_EQ(Lines[2].first, "two\nlines");
}

TEST_F(ServicesTest, EmptyLineReachesTheHostAsNull) {
    ShowLine("", 1);
    ASSERT_EQ(NullTexts.size(), 1u);
    EXPECT_TRUE(NullTexts[0]);
}

TEST_F(ServicesTest, WithoutCallbackLinesAreDropped) {
    ShowLineCallback = nullptr;
    ShowLine("lost", 1);
    ShowOk();
    EXPECT_TRUE(Lines.empty());
}

TEST_F(ServicesTest, ShowOkLogsOkWithFlagOne) {
    ShowOk();
    ASSERT_EQ(Lines.size(), 1u);
    EXPECT_EQ(Lines[0], std::make_pair(std::string("OK"), 1));
}

TEST_F(ServicesTest, HostErrorNoErrorsBecomesThePluginsOwnErrorLine) {
    LastErrorText = "No errors";
    ReportHostError();
    ASSERT_EQ(Lines.size(), 1u);
    EXPECT_EQ(Lines[0], std::make_pair(std::string("Error!"), 0));
}

TEST_F(ServicesTest, HostErrorTextIsLoggedUnchanged) {
    LastErrorText = "Time-out waiting for the phone";
    ReportHostError();
    LastErrorText = "No errors";
    ASSERT_EQ(Lines.size(), 1u);
    EXPECT_EQ(Lines[0], std::make_pair(std::string("Time-out waiting for the phone"), 1));
}

TEST_F(ServicesTest, WithoutErrorSlotTheSystemErrorIsShownInABox) {
    std::vector<void*> empty(host::kSlotCount);
    SetFuncInterface(empty.data(), static_cast<int32_t>(host::kTableBytes));
    QString shownText;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    bool hadParent = true;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shownText = box->text();
        shownIcon = box->icon();
        hadParent = box->parentWidget() != nullptr;
        box->accept();
    });
    ui::InstallMessageBoxes();
    errno = ENOENT;
    ReportHostError();
    EXPECT_EQ(shownText.toStdString(), std::strerror(ENOENT));
    EXPECT_EQ(shownIcon, QMessageBox::Critical);
    EXPECT_FALSE(hadParent);
    EXPECT_TRUE(Lines.empty()) << "the box replaces the log line";
}

TEST_F(ServicesTest, WithoutErrorSlotOrBoxTheSystemErrorIsLogged) {
    std::vector<void*> empty(host::kSlotCount);
    SetFuncInterface(empty.data(), static_cast<int32_t>(host::kTableBytes));
    platform::SetLastErrorBox(nullptr);
    errno = EACCES;
    ReportHostError();
    ASSERT_EQ(Lines.size(), 1u);
    EXPECT_EQ(Lines[0], std::make_pair(std::string(std::strerror(EACCES)), 1));
}

TEST(Caption, PluginResourceGivesVersionAfterEmptyProductName) {
    EXPECT_EQ(VersionTextOfFile(BT_PLUGIN_PATH), " - Version: 4.6.0.0");
}

TEST(Caption, FileWithoutResourceSaysSo) {
    EXPECT_EQ(VersionTextOfFile("/proc/self/exe"), "About: No version information available.");
    EXPECT_EQ(VersionTextOfFile("/no/such/file.so"), "About: No version information available.");
}

TEST(EditableLook, TogglesReadOnlyColourAndTabStop) {
    QLineEdit edit;
    SetEditEditable(&edit, false);
    EXPECT_TRUE(edit.isReadOnly());
    EXPECT_EQ(edit.palette().color(QPalette::Base), QPalette().color(QPalette::Button));
    EXPECT_FALSE(edit.focusPolicy() & Qt::TabFocus);
    SetEditEditable(&edit, true);
    EXPECT_FALSE(edit.isReadOnly());
    EXPECT_EQ(edit.palette().color(QPalette::Base), QPalette().color(QPalette::Base));
    EXPECT_TRUE(edit.focusPolicy() & Qt::TabFocus);
    SetEditEditable(nullptr, true); // nothing to do, nothing breaks
}

TEST(SelectedObject, IsTheItemDataOrNothing) {
    QComboBox box;
    EXPECT_FALSE(GetSelectedObject(&box).isValid());
    box.addItem("DH3", 1);
    box.addItem("DH5", 2);
    box.setCurrentIndex(1);
    EXPECT_EQ(GetSelectedObject(&box).toInt(), 2);
    box.setCurrentIndex(-1);
    EXPECT_FALSE(GetSelectedObject(&box).isValid());
    EXPECT_FALSE(GetSelectedObject(nullptr).isValid());
}

} // namespace
