// The HCI command page beyond single presses: failed sends, the selection of a rejected
// sequence, and the stored tabs with HCICommands.ini.

#include <QTest>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "form_fixture.h"

namespace {

const std::string kIni = GetSettingsFolder() + "HCICommands.ini";
const char* const kTabs = "[HCI Commands]\r\nHCICommand0Name=Reset\r\n"
                          "HCICommand0DataLine0=01 03 0C 00\r\nHCICommand1Name=Version\r\n"
                          "HCICommand1DataLine0=01 01 10\r\nHCICommand1DataLine1=00\r\n"
                          "HCICommand2Name=Empty\r\n";

class HciPage : public FormTest {
protected:
    QTabBar* Tabs() { return W<QTabBar>("tc_HciCommands"); }
    static std::string Ini() {
        std::ostringstream text;
        text << std::ifstream(kIni, std::ios::binary).rdbuf();
        return text.str();
    }
    void StartWithTabs(const std::string& ini = kTabs) {
        std::ofstream(kIni, std::ios::binary | std::ios::trunc) << ini;
        Start(2);
    }
    QString Stored() const {
        QStringList tabs;
        for (const auto& tab : form->HciCommandTabs())
            tabs.push_back(QString::fromStdString(tab.name + "=" + tab.sequence));
        return tabs.join(';');
    }
    Texts Press(const char* button, const char* name = nullptr, bool yes = true) {
        return Dialogs([&] { Click(button); }, name, yes);
    }
};

TEST_F(HciPage, FailedSendShowsTheResultTextAndARejectedFieldIsSelected) {
    Start(2);
    Phone().InjectText({phonesim::Fault::HciTooLong}, "at@bt:hci_command");
    Apply("memo_HCICommandSequence=01 03 0c 00");
    Press("btn_SendHCICommand");
    ExpectShown("memo_HCICommandResponse=HCI command response data length above limit: 150");
    EXPECT_TRUE(Lines("HCI repsonse: ").empty());
    Apply("chkbx_HCICommandUseHex=0;memo_HCICommandSequence= 1 1-2 3");
    Press("btn_SendHCICommand");
    auto* field = W<QPlainTextEdit>("memo_HCICommandSequence");
    EXPECT_EQ(field->toPlainText(), "1 1-2 3");
    EXPECT_EQ(field->textCursor().selectionStart(), 2);
    EXPECT_EQ(field->textCursor().selectionEnd(), 5);
}

TEST_F(HciPage, LoadingSkipsEmptyNamesAndCloseStoresEveryTabInOrderUnlessReadOnlyOrNeverLoaded) {
    StartWithTabs("[HCI Commands]\r\nHCICommand0Name=\r\nHCICommand1Name=Reset\r\n"
                  "HCICommand1DataLine0=01 03 0C 00\r\nHCICommand2Name=Two lines\r\n"
                  "HCICommand2DataLine0=01 01\r\nHCICommand2DataLine1=10 00\r\n"
                  "HCICommand4Name=Lost\r\n");
    EXPECT_TRUE(
        host.HasLine("\nFound empty HCI command name text in .ini file please correct\n", 1));
    EXPECT_EQ(Stored(), "Reset=01 03 0C 00;Two lines=01 01\r\n10 00");
    EXPECT_EQ(Tabs()->currentIndex(), 0);
    ExpectShown("memo_HCICommandSequence=01 03 0C 00");
    Apply("memo_HCICommandSequence=0A 0B");
    Tabs()->setCurrentIndex(1);
    ExpectShown("memo_HCICommandSequence=01 01\n10 00");
    Tabs()->setCurrentIndex(0);
    ExpectShown("memo_HCICommandSequence=0A 0B");
    Tabs()->setCurrentIndex(1);
    Apply("memo_HCICommandSequence=05 06\n07");
    form->close();
    EXPECT_EQ(Ini(), "[HCI Commands]\r\nHCICommand0Name=Reset\r\nHCICommand0DataLine0=0A 0B\r\n"
                     "HCICommand1Name=Two lines\r\nHCICommand1DataLine0=05 06\r\n"
                     "HCICommand1DataLine1=07\r\n");
    StartWithTabs(kTabs);
    ASSERT_EQ(::chmod(kIni.c_str(), 0444), 0);
    Apply("memo_HCICommandSequence=99");
    EXPECT_EQ(
        Dialogs([this] { form->close(); }),
        Texts{"Warning|File: HCICommands.ini is read only\nHCI command data has not been saved"});
    EXPECT_EQ(Ini(), kTabs);
    ASSERT_EQ(::chmod(kIni.c_str(), 0644), 0);
    frm_main = nullptr; // the next start-up stops before it loads the tabs
    form = std::make_unique<Tfrm_main>();
    EXPECT_EQ(Dialogs([this] { form->StartUp(); }), Texts{"Bluetooth|Out of Memory!"});
    form->close();
    EXPECT_EQ(Ini(), kTabs);
}

TEST_F(HciPage, TabButtonsAskAddRenameAndDeleteRefusingAnEmptyName) {
    StartWithTabs();
    Apply("memo_HCICommandSequence=0C");
    EXPECT_EQ(Press("btn_AddHciCommand", ""), (Texts{"New HCI command tab|HCI command tab name:|",
                                                     "Error|HCI command name cannot be empty"}));
    Press("btn_AddHciCommand", "Added");
    EXPECT_EQ(Tabs()->currentIndex(), 3);
    ExpectShown("memo_HCICommandSequence=");
    Tabs()->setCurrentIndex(1);
    EXPECT_EQ(Press("btn_EditHciCommand", "Local"),
              Texts{"Edit HCI command tab|HCI command tab name:|Version"});
    EXPECT_EQ(Stored(), "Reset=0C;Local=01 01 10\r\n00;Empty=;Added=");
    EXPECT_EQ(
        Press("btn_DeleteHciCommand", nullptr, false),
        Texts{"Please confirm|Do you want to delete the HCI command tab with the name: Local"});
    Press("btn_DeleteHciCommand");
    EXPECT_EQ(Stored(), "Reset=0C;Empty=;Added=");
    Tabs()->setCurrentIndex(2);
    Press("btn_DeleteHciCommand"); // the last tab: the one before it is selected
    EXPECT_EQ(Tabs()->currentIndex(), 1);
    Press("btn_DeleteHciCommand");
    Press("btn_DeleteHciCommand");
    EXPECT_EQ(Press("btn_DeleteHciCommand"), Texts{"Error|No HCI command tab to delete"});
}

// Regression: moving the selected tab replaced the operator's unsaved edit, and tabs loaded
// while the page was hidden left the strip 0 px high.
TEST_F(HciPage, DraggingATabMovesItsRecordWithTheFieldsEdit) {
    StartWithTabs();
    form->resize(1200, 800);
    form->show();
    W<QTabWidget>("pc_Bluetooth")->setCurrentIndex(2);
    QTabBar* tabs = Tabs();
    EXPECT_TRUE(QTest::qWaitFor([tabs] { return tabs->rect().contains(tabs->tabRect(2)); }));
    Apply("memo_HCICommandSequence=0D 0E");
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
    EXPECT_EQ(Stored(), "Version=01 01 10\r\n00;Empty=;Reset=0D 0E");
    EXPECT_EQ(tabs->currentIndex(), 2);
    ExpectShown("memo_HCICommandSequence=0D 0E");
}

} // namespace
