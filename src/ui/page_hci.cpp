// The HCI command page: sending a typed sequence, the reply, and the stored command tabs.

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QInputDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTextCursor>
#include <cstring>

#include "bt/ibluetooth.h"
#include "plugin/plugin.h"
#include "ui/form_util.h"
#include "ui/hci_commands.h"
#include "ui/main.h"
#include "util/util.h"

using ui::kVersion;
using ui::Q;
using ui::WaitCursor;

namespace {

// The request field holds LF line breaks; the records keep CR LF.
std::string RecordText(QString fieldText) {
    return fieldText.replace("\n", "\r\n").toStdString();
}

QString FieldText(const std::string& recordText) {
    return Q(recordText).replace("\r\n", "\n");
}

void ShowError(const QString& text) {
    QMessageBox box(QMessageBox::Critical, "Error", text, QMessageBox::Ok);
    box.exec();
}

// Asks for a tab name; nothing when the operator cancels.
std::optional<std::string> AskName(QWidget* owner, const char* caption, const QString& current) {
    QInputDialog dialog(owner);
    dialog.setWindowTitle(caption);
    dialog.setLabelText("HCI command tab name:");
    dialog.setTextValue(current);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().toStdString();
}

} // namespace

void Tfrm_main::WireHciPage() {
    connect(C<QAbstractButton>("btn_SendHCICommand"), &QAbstractButton::clicked, this,
            &Tfrm_main::btn_SendHCICommandClick);
    connect(C<QAbstractButton>("btn_AddHciCommand"), &QAbstractButton::clicked, this,
            &Tfrm_main::btn_AddHciCommandClick);
    connect(C<QAbstractButton>("btn_EditHciCommand"), &QAbstractButton::clicked, this,
            &Tfrm_main::btn_EditHciCommandClick);
    connect(C<QAbstractButton>("btn_DeleteHciCommand"), &QAbstractButton::clicked, this,
            &Tfrm_main::btn_DeleteHciCommandClick);
    auto* tabs = C<QTabBar>("tc_HciCommands");
    connect(tabs, &QTabBar::currentChanged, this, &Tfrm_main::tc_HciCommandsChange);
    connect(tabs, &QTabBar::tabMoved, this, &Tfrm_main::tc_HciCommandsMoved);
}

std::vector<ui::HciCommandTab> Tfrm_main::HciCommandTabs() const {
    auto* tabs = C<QTabBar>("tc_HciCommands");
    std::vector<ui::HciCommandTab> result;
    for (int i = 0; i < tabs->count() && i < static_cast<int>(hciCommands.size()); ++i)
        result.push_back({tabs->tabText(i).toStdString(), hciCommands[i]->text});
    return result;
}

// ---------------------------------------------------------------------------------------
// Sending

void Tfrm_main::btn_SendHCICommandClick() {
    const int base = C<QCheckBox>("chkbx_HCICommandUseHex")->isChecked() ? 16 : 10;
    bool comma = false;
    for (auto* item : C("rg_HCISequenceSeparator")->findChildren<QRadioButton*>()) {
        if (item->text() == "Comma") comma = item->isChecked();
    }
    auto* request = C<QPlainTextEdit>("memo_HCICommandSequence");
    const QString typed = request->toPlainText();
    // One 8-bit character per character of the field, so positions carry over.
    const ui::HciSequence sequence =
        ui::ParseHciSequence(typed.toLatin1().toStdString(), base, comma ? ',' : ' ');
    if (!typed.isEmpty()) {
        C<QPlainTextEdit>("memo_HCICommandResponse")->clear();
        int first = 0;
        while (first < typed.size() && typed[first].unicode() <= ' ')
            ++first;
        request->setPlainText(typed.mid(first, static_cast<int>(sequence.trimmed.size())));
    }
    if (!sequence.ok()) {
        QMessageBox box(QMessageBox::Warning, "Warning", Q(sequence.error + "\n\n"),
                        QMessageBox::Ok, this);
        box.exec();
        QTextCursor cursor = request->textCursor();
        const int length = static_cast<int>(request->toPlainText().size());
        const int start = std::min(sequence.selectionStart, length);
        cursor.setPosition(start);
        cursor.setPosition(std::min(start + sequence.selectionLength, length),
                           QTextCursor::KeepAnchor);
        request->setTextCursor(cursor);
        request->setFocus();
        return;
    }
    // Zero-filled, so the bytes past the length are never leftover memory.
    T_BT_HCI_COMMAND_REQ req{};
    req.length = static_cast<uint8_t>(sequence.bytes.size());
    if (!sequence.bytes.empty())
        std::memcpy(req.data, sequence.bytes.data(), sequence.bytes.size());
    T_BT_HCI_COMMAND_CON con{};
    T_Result result;
    {
        WaitCursor wait;
        result = bluetooth->HciCommand(kVersion, req, &con, base);
    }
    auto* reply = C<QPlainTextEdit>("memo_HCICommandResponse");
    if (result.code == T_RESULT_OK) {
        const std::string text = ui::HciReplyText(con.data, con.length, base);
        reply->setPlainText(Q(text));
        ShowLine("HCI repsonse: " + text, 1);
    } else if (result.code == T_RESULT_VERSION_MISMATCH) {
        LogParameterError(result.text);
    } else {
        reply->setPlainText(Q(result.text));
    }
}

// ---------------------------------------------------------------------------------------
// The stored tabs

void Tfrm_main::LoadHciCommands() {
    const std::vector<ui::HciCommandTab> stored =
        ui::LoadHciCommandsFile(GetSettingsFolder() + ui::kHciCommandsFileName);
    for (const ui::HciCommandTab& tab : stored) {
        std::string error;
        if (!AddHciCommandTab(tab.name, tab.sequence, error))
            ShowLine("\nFound empty HCI command name text in .ini file please correct\n", 1);
    }
    hciCommandsLoaded = true;
    auto* tabs = C<QTabBar>("tc_HciCommands");
    {
        const QSignalBlocker quiet(tabs);
        tabs->setCurrentIndex(0);
    }
    ShowCurrentHciCommand();
}

void Tfrm_main::SaveHciCommands() {
    // A form whose start-up stopped before the tabs were loaded must not wipe the file.
    if (!hciCommandsLoaded) return;
    StoreCurrentHciCommand();
    std::string error;
    if (ui::SaveHciCommandsFile(GetSettingsFolder() + ui::kHciCommandsFileName, HciCommandTabs(),
                                error))
        return;
    QMessageBox box(QMessageBox::Warning, "Warning",
                    QString("File: ") + ui::kHciCommandsFileName +
                        " is read only\nHCI command data has not been saved",
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool Tfrm_main::AddHciCommandTab(const std::string& name, const std::string& sequence,
                                 std::string& error) {
    if (name.empty()) {
        error = "HCI command name cannot be empty";
        return false;
    }
    hciCommands.push_back(std::make_unique<THCICommandTextData>(THCICommandTextData{sequence}));
    auto* tabs = C<QTabBar>("tc_HciCommands");
    const QSignalBlocker quiet(tabs);
    tabs->addTab(Q(name));
    // A strip on a hidden page does not tell its layout that it grew; without this the
    // tabs loaded at start-up sit in a strip 0 px high.
    tabs->updateGeometry();
    return true;
}

bool Tfrm_main::RenameHciCommandTab(const std::string& name, std::string& error) {
    if (name.empty()) {
        error = "HCI command name cannot be empty";
        return false;
    }
    auto* tabs = C<QTabBar>("tc_HciCommands");
    tabs->setTabText(tabs->currentIndex(), Q(name));
    return true;
}

void Tfrm_main::DeleteHciCommandTab(int index) {
    auto* tabs = C<QTabBar>("tc_HciCommands");
    if (index < 0 || index >= tabs->count()) return;
    hciCommands.erase(hciCommands.begin() + index);
    {
        const QSignalBlocker quiet(tabs);
        tabs->removeTab(index);
        tabs->setCurrentIndex(std::min(index, tabs->count() - 1));
    }
    hciShownTab = -1;
}

void Tfrm_main::StoreCurrentHciCommand() {
    const int index = C<QTabBar>("tc_HciCommands")->currentIndex();
    if (index < 0 || index >= static_cast<int>(hciCommands.size())) return;
    hciCommands[index]->text =
        RecordText(C<QPlainTextEdit>("memo_HCICommandSequence")->toPlainText());
}

void Tfrm_main::StoreShownHciCommand() {
    if (hciShownTab >= 0 && hciShownTab < static_cast<int>(hciCommands.size()))
        hciCommands[hciShownTab]->text =
            RecordText(C<QPlainTextEdit>("memo_HCICommandSequence")->toPlainText());
}

void Tfrm_main::ShowCurrentHciCommand() {
    const int index = C<QTabBar>("tc_HciCommands")->currentIndex();
    auto* request = C<QPlainTextEdit>("memo_HCICommandSequence");
    if (index < 0 || index >= static_cast<int>(hciCommands.size()))
        request->clear();
    else
        request->setPlainText(FieldText(hciCommands[index]->text));
    hciShownTab = index;
}

void Tfrm_main::tc_HciCommandsChange(int index) {
    if (index == hciShownTab) return;
    // The toolkit reports the change afterwards: the field still shows the tab left.
    StoreShownHciCommand();
    ShowCurrentHciCommand();
}

void Tfrm_main::tc_HciCommandsMoved(int from, int to) {
    if (from < 0 || to < 0 || from >= static_cast<int>(hciCommands.size()) ||
        to >= static_cast<int>(hciCommands.size()))
        return;
    // The field's edit belongs to the tab it shows, wherever that tab goes.
    StoreShownHciCommand();
    std::unique_ptr<THCICommandTextData> moved = std::move(hciCommands[from]);
    hciCommands.erase(hciCommands.begin() + from);
    hciCommands.insert(hciCommands.begin() + to, std::move(moved));
    ShowCurrentHciCommand();
}

// ---------------------------------------------------------------------------------------
// Tab buttons

void Tfrm_main::btn_AddHciCommandClick() {
    const std::optional<std::string> name = AskName(this, "New HCI command tab", QString());
    if (!name) return;
    std::string error;
    if (!AddHciCommandTab(*name, std::string(), error)) {
        ShowError(Q(error));
        return;
    }
    auto* tabs = C<QTabBar>("tc_HciCommands");
    auto* request = C<QPlainTextEdit>("memo_HCICommandSequence");
    if (hciShownTab >= 0 && hciShownTab < static_cast<int>(hciCommands.size()) - 1)
        hciCommands[hciShownTab]->text = RecordText(request->toPlainText());
    request->clear();
    {
        const QSignalBlocker quiet(tabs);
        tabs->setCurrentIndex(tabs->count() - 1);
    }
    hciShownTab = tabs->currentIndex();
}

void Tfrm_main::btn_EditHciCommandClick() {
    auto* tabs = C<QTabBar>("tc_HciCommands");
    const int index = tabs->currentIndex();
    if (index < 0) return;
    const std::optional<std::string> name =
        AskName(this, "Edit HCI command tab", tabs->tabText(index));
    if (!name) return;
    std::string error;
    if (!RenameHciCommandTab(*name, error)) ShowError(Q(error));
}

void Tfrm_main::btn_DeleteHciCommandClick() {
    auto* tabs = C<QTabBar>("tc_HciCommands");
    const int index = tabs->currentIndex();
    if (index < 0) {
        ShowError("No HCI command tab to delete");
        return;
    }
    QMessageBox box(QMessageBox::Question, "Please confirm",
                    "Do you want to delete the HCI command tab with the name: " +
                        tabs->tabText(index),
                    QMessageBox::Yes | QMessageBox::No, window());
    if (box.exec() != QMessageBox::Yes) return;
    DeleteHciCommandTab(index);
    ShowCurrentHciCommand();
}
