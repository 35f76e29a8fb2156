// What the plug-in does with the host's table and how it talks back to the host.

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "plugin/plugin.h"
#include "ui/form_util.h"

namespace {

// Slot i of a numbered table holds the recognisable pointer value i + 1.
std::vector<void*> Numbered(std::size_t length) {
    std::vector<void*> table(length);
    for (std::size_t i = 0; i < length; ++i)
        table[i] = reinterpret_cast<void*>(i + 1);
    return table;
}

TEST(HostTable, CopiesTheSlotsTheHostGivesAndNoMore) {
    struct Row {
        const char* name;
        std::size_t length; // of the table handed in
        int32_t bytes;      // size the host claims
        std::size_t filled; // slots of the plug-in's copy set afterwards
    };
    const int32_t all = 216 * sizeof(void*);
    const Row rows[] = {
        {"whole table", 216, all, 216},
        {"larger table claimed", 400, 400 * sizeof(void*), 216},
        {"short table leaves the rest null", 216, 100 * sizeof(void*), 100},
        {"size 0 leaves the old table", 216, 0, 216},
        {"negative size leaves the old table", 216, -8, 216},
        {"null table leaves the old table", 0, all, 216},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<void*> before = Numbered(216), table = Numbered(row.length);
        SetFuncInterface(before.data(), all);
        SetFuncInterface(row.length ? table.data() : nullptr, row.bytes);
        std::size_t filled = 0;
        for (std::size_t i = 0; i < 216; ++i) {
            filled += HostFunctions[i] != nullptr;
            EXPECT_TRUE(!HostFunctions[i] || HostFunctions[i] == reinterpret_cast<void*>(i + 1))
                << i;
        }
        EXPECT_EQ(filled, row.filled);
        EXPECT_EQ(HostFunctions[row.filled - 1], reinterpret_cast<void*>(row.filled));
    }
}

std::vector<std::pair<std::string, int>> Lines;
const char* LastErrorText = "No errors";
void Record(const char* text, uint8_t flag) {
    Lines.emplace_back(text ? text : "<null>", flag);
}

TEST(HostServices, LinesReachTheHostUnchangedAndHostErrorsAreReported) {
    ShowLineCallback = &Record;
    std::vector<void*> table(216);
    table[host::kGetLastError] = reinterpret_cast<void*>(+[] { return LastErrorText; });
    SetFuncInterface(table.data(), static_cast<int32_t>(table.size() * sizeof(void*)));
    ShowLine("Parameter error: x", 0);
    ShowLine("two\nlines", 1);
    ShowLine("", 1);
    ShowOk();
    ReportHostError();
    LastErrorText = "Time-out waiting for the phone";
    ReportHostError();
    const std::vector<std::pair<std::string, int>> expected = {
        {"Parameter error: x", 0},
        {"two\nlines", 1},
        {"<null>", 1}, // an empty line reaches the host as null
        {"OK", 1},
        {"Error!", 0}, // the host says "No errors"
        {"Time-out waiting for the phone", 1}};
    EXPECT_EQ(Lines, expected);
    ShowLineCallback = nullptr;
    ShowLine("dropped without a callback", 1);
    EXPECT_EQ(Lines.size(), expected.size());
}

TEST(HostServices, WithoutTheErrorSlotTheSystemErrorIsShownInABox) {
    Lines.clear();
    ShowLineCallback = &Record;
    std::vector<void*> empty(216);
    SetFuncInterface(empty.data(), static_cast<int32_t>(empty.size() * sizeof(void*)));
    QString shown;
    QTimer::singleShot(0, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        shown = box->text();
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->parentWidget(), nullptr);
        box->accept();
    });
    ui::InstallMessageBoxes();
    errno = ENOENT;
    ReportHostError();
    EXPECT_EQ(shown.toStdString(), std::strerror(ENOENT));
    EXPECT_TRUE(Lines.empty()) << "the box replaces the log line";
    // A program without a display installs no box: the text goes to the log instead.
    platform::SetLastErrorBox(nullptr);
    errno = EACCES;
    ReportHostError();
    EXPECT_EQ(Lines, (std::vector<std::pair<std::string, int>>{{std::strerror(EACCES), 1}}));
    ShowLineCallback = nullptr;
}

TEST(Caption, IsTheVersionOfThePluginFile) {
    EXPECT_EQ(VersionTextOfFile(BT_PLUGIN_PATH), " - Version: 4.6.0.0");
    EXPECT_EQ(VersionTextOfFile("/proc/self/exe"), "About: No version information available.");
    EXPECT_EQ(VersionTextOfFile("/no/such/file.so"), "About: No version information available.");
}

TEST(EditableLook, ReadOnlyEditsLookLikeButtonsAndAreSkippedByTab) {
    QLineEdit edit;
    SetEditEditable(&edit, false);
    EXPECT_TRUE(edit.isReadOnly());
    EXPECT_EQ(edit.palette().color(QPalette::Base), QPalette().color(QPalette::Button));
    EXPECT_FALSE(edit.focusPolicy() & Qt::TabFocus);
    SetEditEditable(&edit, true);
    EXPECT_FALSE(edit.isReadOnly());
    EXPECT_EQ(edit.palette().color(QPalette::Base), QPalette().color(QPalette::Base));
    EXPECT_TRUE(edit.focusPolicy() & Qt::TabFocus);
}

} // namespace
