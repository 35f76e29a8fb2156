#include "ui/page_hci.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QInputDialog>
#include <QKeyEvent>
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
#include "ui/form_context.h"
#include "ui/form_util.h"
#include "util/util.h"

namespace ui {

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

} // namespace

HciPage::HciPage(FormContext& form, QWidget* window, const FormControls& controls)
    : form_(form), window_(window), c_(controls.hci) {
    connect(c_.send, &QAbstractButton::clicked, this, &HciPage::SendClick);
    connect(c_.add, &QAbstractButton::clicked, this, &HciPage::AddClick);
    connect(c_.edit, &QAbstractButton::clicked, this, &HciPage::EditClick);
    connect(c_.remove, &QAbstractButton::clicked, this, &HciPage::DeleteClick);
    connect(c_.tabs, &QTabBar::currentChanged, this, &HciPage::TabChanged);
    connect(c_.tabs, &QTabBar::tabMoved, this, &HciPage::TabMoved);
    c_.sequence->installEventFilter(this);
}

HciPage::~HciPage() = default;

bool HciPage::eventFilter(QObject* watched, QEvent* event) {
    // The request field takes no line breaks from the keyboard.
    if (watched == c_.sequence && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return QObject::eventFilter(watched, event);
}

void HciPage::ApplyVersions(bool atStartUp) {
    // At start-up the controls are enabled whatever the chip state.
    const bool on = atStartUp || form_.BtOn();
    SetChildrenEnabled(c_.box, false);
    const uint8_t request = form_.ReqVersion(atctst_bt_hci_command);
    if (request == 1) {
        for (QWidget* control : c_.request)
            control->setEnabled(on);
    } else if (atStartUp) {
        LogParameterError("\nUnknown data version. T_BT_HCI_COMMAND_REQ = " +
                          std::to_string(request));
    }
    const uint8_t confirm = form_.ConVersion(atctst_bt_hci_command);
    if (confirm == 1) {
        for (QWidget* control : c_.response)
            control->setEnabled(on);
    } else if (atStartUp) {
        LogParameterError("\nUnknown data version. T_BT_HCI_COMMAND_CON = " +
                          std::to_string(confirm));
    }
}

// Asks for a tab name; nothing when the operator cancels.
std::optional<std::string> HciPage::AskName(const char* caption, const QString& current) {
    QInputDialog dialog(window_);
    dialog.setWindowTitle(caption);
    dialog.setLabelText("HCI command tab name:");
    dialog.setTextValue(current);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().toStdString();
}

std::vector<HciCommandTab> HciPage::Tabs() const {
    auto* tabs = c_.tabs;
    std::vector<HciCommandTab> result;
    for (int i = 0; i < tabs->count() && i < static_cast<int>(commands_.size()); ++i)
        result.push_back({tabs->tabText(i).toStdString(), commands_[i]->text});
    return result;
}

// ---------------------------------------------------------------------------------------
// Sending

void HciPage::SendClick() {
    const int base = c_.hex->isChecked() ? 16 : 10;
    const bool comma = c_.comma->isChecked();
    auto* request = c_.sequence;
    const QString typed = request->toPlainText();
    // One 8-bit character per character of the field, so positions carry over.
    const HciSequence sequence =
        ParseHciSequence(typed.toLatin1().toStdString(), base, comma ? ',' : ' ');
    if (!typed.isEmpty()) {
        c_.reply->clear();
        int first = 0;
        while (first < typed.size() && typed[first].unicode() <= ' ')
            ++first;
        request->setPlainText(typed.mid(first, static_cast<int>(sequence.trimmed.size())));
    }
    if (!sequence.ok()) {
        QMessageBox box(QMessageBox::Warning, "Warning", Q(sequence.error + "\n\n"),
                        QMessageBox::Ok, window_);
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
        result = form_.Bluetooth().HciCommand(kVersion, req, &con, base);
    }
    auto* reply = c_.reply;
    if (result.code == T_RESULT_OK) {
        const std::string text = HciReplyText(con.data, con.length, base);
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

void HciPage::Load() {
    const std::vector<HciCommandTab> stored =
        LoadHciCommandsFile(GetSettingsFolder() + kHciCommandsFileName);
    for (const HciCommandTab& tab : stored) {
        std::string error;
        if (!AddTab(tab.name, tab.sequence, error))
            ShowLine("\nFound empty HCI command name text in .ini file please correct\n", 1);
    }
    loaded_ = true;
    auto* tabs = c_.tabs;
    {
        const QSignalBlocker quiet(tabs);
        tabs->setCurrentIndex(0);
    }
    ShowCurrent();
}

void HciPage::Save() {
    // A form whose start-up stopped before the tabs were loaded must not wipe the file.
    if (!loaded_) return;
    StoreCurrent();
    std::string error;
    if (SaveHciCommandsFile(GetSettingsFolder() + kHciCommandsFileName, Tabs(), error)) return;
    QMessageBox box(QMessageBox::Warning, "Warning",
                    QString("File: ") + kHciCommandsFileName +
                        " is read only\nHCI command data has not been saved",
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

bool HciPage::AddTab(const std::string& name, const std::string& sequence, std::string& error) {
    if (name.empty()) {
        error = "HCI command name cannot be empty";
        return false;
    }
    commands_.push_back(std::make_unique<THCICommandTextData>(THCICommandTextData{sequence}));
    auto* tabs = c_.tabs;
    const QSignalBlocker quiet(tabs);
    tabs->addTab(Q(name));
    // A strip on a hidden page does not tell its layout that it grew; without this the
    // tabs loaded at start-up sit in a strip 0 px high.
    tabs->updateGeometry();
    return true;
}

bool HciPage::RenameTab(const std::string& name, std::string& error) {
    if (name.empty()) {
        error = "HCI command name cannot be empty";
        return false;
    }
    auto* tabs = c_.tabs;
    tabs->setTabText(tabs->currentIndex(), Q(name));
    return true;
}

void HciPage::DeleteTab(int index) {
    auto* tabs = c_.tabs;
    if (index < 0 || index >= tabs->count()) return;
    commands_.erase(commands_.begin() + index);
    {
        const QSignalBlocker quiet(tabs);
        tabs->removeTab(index);
        tabs->setCurrentIndex(std::min(index, tabs->count() - 1));
    }
    shownTab_ = -1;
}

void HciPage::StoreCurrent() {
    const int index = c_.tabs->currentIndex();
    if (index < 0 || index >= static_cast<int>(commands_.size())) return;
    commands_[index]->text = RecordText(c_.sequence->toPlainText());
}

void HciPage::StoreShown() {
    if (shownTab_ >= 0 && shownTab_ < static_cast<int>(commands_.size()))
        commands_[shownTab_]->text = RecordText(c_.sequence->toPlainText());
}

void HciPage::ShowCurrent() {
    const int index = c_.tabs->currentIndex();
    auto* request = c_.sequence;
    if (index < 0 || index >= static_cast<int>(commands_.size()))
        request->clear();
    else
        request->setPlainText(FieldText(commands_[index]->text));
    shownTab_ = index;
}

void HciPage::TabChanged(int index) {
    if (index == shownTab_) return;
    // The toolkit reports the change afterwards: the field still shows the tab left.
    StoreShown();
    ShowCurrent();
}

void HciPage::TabMoved(int from, int to) {
    if (from < 0 || to < 0 || from >= static_cast<int>(commands_.size()) ||
        to >= static_cast<int>(commands_.size()))
        return;
    // The field's edit belongs to the tab it shows, wherever that tab goes.
    StoreShown();
    std::unique_ptr<THCICommandTextData> moved = std::move(commands_[from]);
    commands_.erase(commands_.begin() + from);
    commands_.insert(commands_.begin() + to, std::move(moved));
    ShowCurrent();
}

// ---------------------------------------------------------------------------------------
// Tab buttons

void HciPage::AddClick() {
    const std::optional<std::string> name = AskName("New HCI command tab", QString());
    if (!name) return;
    std::string error;
    if (!AddTab(*name, std::string(), error)) {
        ShowError(Q(error));
        return;
    }
    auto* tabs = c_.tabs;
    auto* request = c_.sequence;
    if (shownTab_ >= 0 && shownTab_ < static_cast<int>(commands_.size()) - 1)
        commands_[shownTab_]->text = RecordText(request->toPlainText());
    request->clear();
    {
        const QSignalBlocker quiet(tabs);
        tabs->setCurrentIndex(tabs->count() - 1);
    }
    shownTab_ = tabs->currentIndex();
}

void HciPage::EditClick() {
    auto* tabs = c_.tabs;
    const int index = tabs->currentIndex();
    if (index < 0) return;
    const std::optional<std::string> name = AskName("Edit HCI command tab", tabs->tabText(index));
    if (!name) return;
    std::string error;
    if (!RenameTab(*name, error)) ShowError(Q(error));
}

void HciPage::DeleteClick() {
    auto* tabs = c_.tabs;
    const int index = tabs->currentIndex();
    if (index < 0) {
        ShowError("No HCI command tab to delete");
        return;
    }
    QMessageBox box(QMessageBox::Question, "Please confirm",
                    "Do you want to delete the HCI command tab with the name: " +
                        tabs->tabText(index),
                    QMessageBox::Yes | QMessageBox::No, window_->window());
    if (box.exec() != QMessageBox::Yes) return;
    DeleteTab(index);
    ShowCurrent();
}

} // namespace ui
