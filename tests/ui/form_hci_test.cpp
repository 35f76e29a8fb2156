// The HCI command page over the simulated phone: sending, the reply, and the stored tabs.

#include <QInputDialog>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "form_fixture.h"
#include "util/util.h"
#include "zep/bluetoothzep.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string IniPath() {
    return GetSettingsFolder() + "HCICommands.ini";
}

void WriteIni(const std::string& text) {
    std::ofstream(IniPath(), std::ios::binary | std::ios::trunc) << text;
}

std::string ReadIni() {
    std::ifstream in(IniPath(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string HciLine(const std::string& head, int zeros) {
    std::string line = "at@bt:hci_command(" + head;
    for (int i = 0; i < zeros; ++i)
        line += ",0";
    return line + "})";
}

// A text back-end whose HCI records no longer match the phone's once the page is up.
class MismatchZep : public BluetoothZep {
public:
    T_Result HciCommand(uint8_t, T_BT_HCI_COMMAND_REQ, T_BT_HCI_COMMAND_CON*, int) override {
        return {T_RESULT_VERSION_MISMATCH,
                "\nData version mismatch. 'HCI_COMMAND' Req: expected = 1, actual = 2"};
    }
};

class HciPage : public FormTest {
protected:
    QPlainTextEdit* Request() { return W<QPlainTextEdit>("memo_HCICommandSequence"); }
    QString Reply() { return W<QPlainTextEdit>("memo_HCICommandResponse")->toPlainText(); }
    QTabBar* Tabs() { return W<QTabBar>("tc_HciCommands"); }
    void Type(const QString& text) { Request()->setPlainText(text); }

    std::vector<QString> Send() {
        return Dialogs([this] { Click("btn_SendHCICommand"); }, nullptr);
    }
    void UseComma() {
        for (auto* item : W("rg_HCISequenceSeparator")->findChildren<QRadioButton*>())
            if (item->text() == "Comma") item->click();
    }

    // Runs `action`, answering input dialogs with `name` (or cancelling them when `name`
    // is null), question boxes with `yes`, and other boxes with OK; returns the box texts.
    static std::vector<QString> Dialogs(const std::function<void()>& action, const char* name,
                                        bool yes = true) {
        std::vector<QString> texts;
        QTimer timer;
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* input = qobject_cast<QInputDialog*>(modal)) {
                texts.push_back(input->windowTitle() + "|" + input->labelText() + "|" +
                                input->textValue());
                if (name == nullptr) {
                    input->reject();
                } else {
                    input->setTextValue(name);
                    input->accept();
                }
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                texts.push_back(box->windowTitle() + "|" + box->text());
                box->done(box->standardButtons().testFlag(QMessageBox::Yes)
                              ? (yes ? QMessageBox::Yes : QMessageBox::No)
                              : QMessageBox::Ok);
            }
        });
        timer.start();
        action();
        timer.stop();
        return texts;
    }

    std::vector<std::pair<std::string, std::string>> Stored() const {
        std::vector<std::pair<std::string, std::string>> tabs;
        for (const auto& tab : form->HciCommandTabs())
            tabs.emplace_back(tab.name, tab.sequence);
        return tabs;
    }
    using Pairs = std::vector<std::pair<std::string, std::string>>;

    void StartWithTabs() {
        WriteIni("[HCI Commands]\r\n"
                 "HCICommand0Name=Reset\r\nHCICommand0DataLine0=01 03 0C 00\r\n"
                 "HCICommand1Name=Version\r\nHCICommand1DataLine0=01 01 10\r\n"
                 "HCICommand1DataLine1=00\r\n"
                 "HCICommand2Name=Empty\r\n");
        Start(2);
    }
};

class HciBothProtocols : public HciPage, public testing::WithParamInterface<int32_t> {};

TEST_P(HciBothProtocols, HexSequenceWithBlanksIsSentAndTheReplyShownAndLogged) {
    Start(GetParam());
    Type("01 03 0c 00");
    EXPECT_TRUE(Send().empty());
    if (GetParam() == 2) {
        EXPECT_EQ(Phone().LastCommand(), HciLine("4,{1,3,12,0", 146));
    } else {
        Bytes request(152, 0);
        request[0] = 1; // record version
        request[1] = 4;
        request[2] = 0x01;
        request[3] = 0x03;
        request[4] = 0x0C;
        EXPECT_EQ(Phone().LastRequest(), request);
    }
    EXPECT_EQ(Reply(), "0E 04 01 03 0C 00 ");
    EXPECT_EQ(host.Log().back().text, "HCI repsonse: 0E 04 01 03 0C 00 ");
    EXPECT_EQ(host.Log().back().flag, 1);
}

TEST_P(HciBothProtocols, ReplyLongerThan150BytesShowsTheResultText) {
    Start(GetParam());
    if (GetParam() == 2)
        Phone().InjectText({phonesim::Fault::HciTooLong}, "at@bt:hci_command");
    else
        Phone().InjectBinary({phonesim::Fault::HciTooLong}, atctst_bt_hci_command);
    Type("01 03 0c 00");
    Send();
    EXPECT_FALSE(Reply().startsWith("0E")) << Reply().toStdString();
    if (GetParam() == 2) {
        EXPECT_EQ(Reply(), "HCI command response data length above limit: 150");
    }
    for (const auto& line : host.Log())
        EXPECT_EQ(line.text.rfind("HCI repsonse: ", 0), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, HciBothProtocols, testing::Values(2, 0),
                         [](const testing::TestParamInfo<int32_t>& info) {
                             return info.param == 2 ? "Text" : "Binary";
                         });

TEST_F(HciPage, DecimalWithCommasShowsTheReplyInDecimal) {
    Start(2);
    SetChecked("chkbx_HCICommandUseHex", false);
    UseComma();
    Type("1, 3, 12, 0");
    EXPECT_TRUE(Send().empty());
    EXPECT_EQ(Phone().LastCommand(), HciLine("4,{1,3,12,0", 146));
    EXPECT_EQ(Reply(), "14 4 1 3 12 0 ");
}

TEST_F(HciPage, BlanksOnlySendAnEmptyCommandAndEmptyTheField) {
    Start(2);
    Type("   ");
    EXPECT_TRUE(Send().empty());
    EXPECT_EQ(Phone().LastCommand(), HciLine("0,{0", 149));
    EXPECT_EQ(Request()->toPlainText(), "");
}

// The sequence rules have their own table; this is their wiring to the box and the field.
TEST_F(HciPage, RejectedSequenceWarnsSelectsTheFieldAndSendsNothing) {
    Start(2);
    SetChecked("chkbx_HCICommandUseHex", false);
    Type(" 1 1-2 3");
    Phone().ClearLogs();
    EXPECT_EQ(Send(), std::vector<QString>{
                          "Warning|Invalid DECIMAL value found in command sequence: 1-2\n\n"});
    EXPECT_EQ(Phone().TextCount("at@bt:hci_command"), 0u);
    EXPECT_EQ(Request()->textCursor().selectionStart(), 2);
    EXPECT_EQ(Request()->textCursor().selectionEnd(), 5);
}

TEST_F(HciPage, VersionMismatchOnSendIsAParameterError) {
    host.SetInterfaceKind(2);
    Phone().Chip().on = true;
    host.InstallIntoPlugin();
    form = std::make_unique<Tfrm_main>(std::make_unique<MismatchZep>(), true);
    frm_main = form.get();
    AnswerBoxes([this] { form->StartUp(); });
    Type("01 03 0c 00");
    Send();
    EXPECT_EQ(
        ParameterErrors().back(),
        "Parameter error:\nData version mismatch. 'HCI_COMMAND' Req: expected = 1, actual = 2");
    EXPECT_EQ(Reply(), "");
}

// --- the stored tabs ---------------------------------------------------------------------

TEST_F(HciPage, LoadingStopsAtTheFirstMissingNameAndShowsTabZero) {
    WriteIni("[HCI Commands]\r\n"
             "HCICommand0Name=Reset\r\nHCICommand0DataLine0=01 03 0C 00\r\n"
             "HCICommand1Name=Two lines\r\nHCICommand1DataLine0=01 01\r\n"
             "HCICommand1DataLine1=10 00\r\n"
             "HCICommand3Name=Lost\r\n");
    Start(2);
    ASSERT_EQ(Tabs()->count(), 2);
    EXPECT_EQ(Tabs()->tabText(1), "Two lines");
    EXPECT_EQ(Tabs()->currentIndex(), 0);
    EXPECT_EQ(Request()->toPlainText(), "01 03 0C 00");
    Tabs()->setCurrentIndex(1);
    EXPECT_EQ(Request()->toPlainText(), "01 01\n10 00");
}

TEST_F(HciPage, EmptyNameInTheFileIsSkippedWithALogLine) {
    WriteIni("[HCI Commands]\nHCICommand0Name=\nHCICommand1Name=Kept\n");
    Start(2);
    ASSERT_EQ(Tabs()->count(), 1);
    EXPECT_EQ(Tabs()->tabText(0), "Kept");
    bool logged = false;
    for (const auto& line : host.Log())
        logged =
            logged ||
            (line.text == "\nFound empty HCI command name text in .ini file please correct\n" &&
             line.flag == 1);
    EXPECT_TRUE(logged);
}

TEST_F(HciPage, CloseStoresEveryTabInOrderWithTheFieldsEdits) {
    StartWithTabs();
    Tabs()->setCurrentIndex(2);
    Type("05 06\n07");
    form->close();
    EXPECT_EQ(ReadIni(), "[HCI Commands]\r\n"
                         "HCICommand0Name=Reset\r\n"
                         "HCICommand0DataLine0=01 03 0C 00\r\n"
                         "HCICommand1Name=Version\r\n"
                         "HCICommand1DataLine0=01 01 10\r\n"
                         "HCICommand1DataLine1=00\r\n"
                         "HCICommand2Name=Empty\r\n"
                         "HCICommand2DataLine0=05 06\r\n"
                         "HCICommand2DataLine1=07\r\n");
}

TEST_F(HciPage, ReadOnlyFileWarnsOnCloseAndKeepsTheOldTabs) {
    StartWithTabs();
    const std::string before = ReadIni();
    ASSERT_EQ(::chmod(IniPath().c_str(), 0444), 0);
    Type("99");
    const auto boxes = Dialogs([this] { form->close(); }, nullptr);
    EXPECT_EQ(
        boxes,
        std::vector<QString>{
            "Warning|File: HCICommands.ini is read only\nHCI command data has not been saved"});
    EXPECT_EQ(ReadIni(), before);
}

TEST_F(HciPage, SwitchingTabsStoresTheEditsOfTheTabLeft) {
    StartWithTabs();
    Type("0A 0B");
    Tabs()->setCurrentIndex(1);
    EXPECT_EQ(Request()->toPlainText(), "01 01 10\n00");
    Tabs()->setCurrentIndex(0);
    EXPECT_EQ(Request()->toPlainText(), "0A 0B");
}

TEST_F(HciPage, AddStoresTheFieldThenSelectsTheNewEmptyTab) {
    StartWithTabs();
    Type("0C");
    const auto dialogs = Dialogs([this] { Click("btn_AddHciCommand"); }, "Added");
    EXPECT_EQ(dialogs, std::vector<QString>{"New HCI command tab|HCI command tab name:|"});
    EXPECT_EQ(
        Stored(),
        (Pairs{{"Reset", "0C"}, {"Version", "01 01 10\r\n00"}, {"Empty", ""}, {"Added", ""}}));
    EXPECT_EQ(Tabs()->currentIndex(), 3);
    EXPECT_EQ(Request()->toPlainText(), "");
}

TEST_F(HciPage, AddOrRenameWithAnEmptyNameIsRefused) {
    StartWithTabs();
    EXPECT_EQ(Dialogs([this] { Click("btn_AddHciCommand"); }, ""),
              (std::vector<QString>{"New HCI command tab|HCI command tab name:|",
                                    "Error|HCI command name cannot be empty"}));
    EXPECT_EQ(Tabs()->count(), 3);
    EXPECT_EQ(Dialogs([this] { Click("btn_EditHciCommand"); }, ""),
              (std::vector<QString>{"Edit HCI command tab|HCI command tab name:|Reset",
                                    "Error|HCI command name cannot be empty"}));
    EXPECT_EQ(Tabs()->tabText(0), "Reset");
}

TEST_F(HciPage, RenameChangesOnlyTheCaption) {
    StartWithTabs();
    Tabs()->setCurrentIndex(1);
    Dialogs([this] { Click("btn_EditHciCommand"); }, "Local version");
    EXPECT_EQ(Stored()[1],
              (std::pair<std::string, std::string>{"Local version", "01 01 10\r\n00"}));
}

TEST_F(HciPage, DeleteAsksThenSelectsTheTabNowAtTheSamePlace) {
    StartWithTabs();
    EXPECT_EQ(Dialogs([this] { Click("btn_DeleteHciCommand"); }, nullptr, false),
              std::vector<QString>{
                  "Please confirm|Do you want to delete the HCI command tab with the name: Reset"});
    EXPECT_EQ(Tabs()->count(), 3);
    Dialogs([this] { Click("btn_DeleteHciCommand"); }, nullptr, true);
    EXPECT_EQ(Stored(), (Pairs{{"Version", "01 01 10\r\n00"}, {"Empty", ""}}));
    EXPECT_EQ(Tabs()->currentIndex(), 0);
    EXPECT_EQ(Request()->toPlainText(), "01 01 10\n00");
    Tabs()->setCurrentIndex(1);
    Dialogs([this] { Click("btn_DeleteHciCommand"); }, nullptr, true);
    EXPECT_EQ(Tabs()->currentIndex(), 0);
    Dialogs([this] { Click("btn_DeleteHciCommand"); }, nullptr, true);
    EXPECT_EQ(Tabs()->count(), 0);
    EXPECT_EQ(Request()->toPlainText(), "");
    EXPECT_EQ(Dialogs([this] { Click("btn_DeleteHciCommand"); }, nullptr),
              std::vector<QString>{"Error|No HCI command tab to delete"});
}

// Regression: moving the selected tab replaced the operator's unsaved edit.
TEST_F(HciPage, MovedTabTakesItsRecordWithTheFieldsEdit) {
    StartWithTabs();
    Type("0D 0E");
    Tabs()->moveTab(0, 2);
    EXPECT_EQ(Stored(), (Pairs{{"Version", "01 01 10\r\n00"}, {"Empty", ""}, {"Reset", "0D 0E"}}));
    EXPECT_EQ(Tabs()->currentIndex(), 2);
    EXPECT_EQ(Request()->toPlainText(), "0D 0E");
    Tabs()->setCurrentIndex(0);
    EXPECT_EQ(Request()->toPlainText(), "01 01 10\n00");
}

TEST_F(HciPage, DraggingATabWithTheMouseMovesItsRecordWithIt) {
    StartWithTabs();
    form->resize(1200, 800);
    form->show();
    W<QTabWidget>("pc_Bluetooth")->setCurrentIndex(2);
    QTabBar* tabs = Tabs();
    // Regression: tabs loaded while the page was hidden left the strip 0 px high.
    EXPECT_TRUE(QTest::qWaitFor([tabs] { return tabs->rect().contains(tabs->tabRect(2)); }));
    tabs->setCurrentIndex(0);
    const QPoint from = tabs->tabRect(0).center();
    const QPoint to = tabs->tabRect(2).center() + QPoint(tabs->tabRect(2).width() / 4, 0);
    auto send = [tabs](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), QPointF(tabs->mapToGlobal(at)), Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(tabs, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    for (int step = 1; step <= 20; ++step)
        send(QEvent::MouseMove, from + (to - from) * step / 20, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    QTest::qWait(400);
    EXPECT_EQ(Stored(),
              (Pairs{{"Version", "01 01 10\r\n00"}, {"Empty", ""}, {"Reset", "01 03 0C 00"}}));
    EXPECT_EQ(Tabs()->currentIndex(), 2);
    EXPECT_EQ(Request()->toPlainText(), "01 03 0C 00");
}

TEST_F(HciPage, StartUpThatStopsEarlyLeavesTheStoredTabsAlone) {
    const std::string stored = "[HCI Commands]\r\nHCICommand0Name=Kept\r\n";
    WriteIni(stored);
    host.SetInterfaceKind(2);
    host.InstallIntoPlugin();
    form = std::make_unique<Tfrm_main>(nullptr, true);
    frm_main = form.get();
    AnswerBoxes([this] { form->StartUp(); });
    form->close();
    EXPECT_EQ(ReadIni(), stored);
}

} // namespace
