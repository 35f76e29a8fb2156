// Start-up, the chip switch, the enabling rule and the marks, over the simulated phone.

#include "form_fixture.h"

namespace {

TEST_F(FormTest, TextProtocolShowsTheNvmBoxAndWriteAll) {
    EXPECT_TRUE(Start(2).empty());
    EXPECT_TRUE(form->IsZepBackEnd());
    EXPECT_TRUE(Visible("gbNvmNew"));
    EXPECT_TRUE(Visible("btnWriteAllNvm"));
    EXPECT_TRUE(Visible("gbNvmRssi"));
    EXPECT_EQ(host.TimeoutCalls(), std::vector<int32_t>{5});
    EXPECT_EQ(host.ResetTimeoutCalls(), 1);
    EXPECT_EQ(Phone().TextCount("at@bt:hw_info"), 1u);
    EXPECT_TRUE(host.HasLine("at@bt:hw_info()", 1));
    EXPECT_EQ(Phone().BinaryLog().size(), 0u);
}

TEST_F(FormTest, OtherInterfaceKindsGiveTheBinaryProtocolWithoutTheNvmBox) {
    for (int kind : {0, 1, 3}) {
        SCOPED_TRACE(kind);
        Phone().ClearLogs();
        EXPECT_TRUE(Start(kind).empty());
        EXPECT_FALSE(form->IsZepBackEnd());
        EXPECT_FALSE(Visible("gbNvmNew"));
        EXPECT_FALSE(Visible("btnWriteAllNvm"));
        EXPECT_EQ(Phone().BinaryCount(atctst_bt_hw_info), 1u);
        EXPECT_EQ(Phone().TextLog().size(), 0u);
        TearDown();
    }
}

TEST_F(FormTest, SilentPhoneAtStartUpGivesTheErrorBoxAndLocksTheSwitch) {
    for (int kind : {2, 0}) {
        SCOPED_TRACE(kind);
        if (kind == 2)
            Phone().InjectText({phonesim::Fault::NoReply, 0, "", {}, true});
        else
            Phone().InjectBinary({phonesim::Fault::NoReply, 0, "", {}, true});
        const std::vector<QString> boxes = Start(kind);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_TRUE(boxes[0].endsWith("\n\nOperation not possible\n")) << boxes[0].toStdString();
        EXPECT_FALSE(boxes[0].startsWith("\n\nOperation"));
        EXPECT_FALSE(Enabled("btn_BluetoothInit"));
        EXPECT_FALSE(Enabled("btn_GetInformation"));
        EXPECT_TRUE(Enabled("cb_PatternSelection")) << "as in the layout";
        EXPECT_EQ(W("shp_BTOnOff")->property("lampColor").toString(), "red");
        EXPECT_EQ(host.ResetTimeoutCalls(), 0);
        TearDown();
    }
}

TEST_F(FormTest, ChipOffLeavesOnlyTheSwitchUsable) {
    Start(2, false);
    EXPECT_FALSE(form->IsBtOn());
    EXPECT_TRUE(Enabled("btn_BluetoothInit"));
    EXPECT_FALSE(W<QAbstractButton>("btn_BluetoothInit")->isChecked());
    for (const char* name :
         {"btn_GetInformation", "btn_BTDSwReset", "chkbx_NvmDataMode", "rg_TestModes",
          "btn_BTDTest", "btn_WriteToNVM", "btn_ReadFromNVM", "btnWriteAllNvm", "ed_BTAddress_0",
          "ed_EPCMaxPwrLvlOneMbitS", "btn_GetRTRIMValues", "btn_GetRSSI", "btn_PCMLoopbackOn"}) {
        EXPECT_FALSE(Enabled(name)) << name;
    }
}

TEST_F(FormTest, SwitchStartsTheChipAndEnablesItsControls) {
    Start(2, false);
    Click("btn_BluetoothInit");
    EXPECT_TRUE(form->IsBtOn());
    EXPECT_TRUE(Phone().Chip().on);
    EXPECT_EQ(Phone().LastCommand(), "at@bt:get_pcm_uart_wakeup_interface_status()");
    EXPECT_TRUE(W<QAbstractButton>("btn_BluetoothInit")->isChecked());
    EXPECT_EQ(W("shp_BTOnOff")->property("lampColor").toString(), "green");
    for (const char* name : {"btn_GetInformation", "btn_BTDSwReset", "chkbx_NvmDataMode",
                             "rg_TestModes", "btn_BTDTest", "ed_BTAddress_0",
                             "ed_EPCMaxPwrLvlOneMbitS", "btn_GetRTRIMValues", "btn_GetRSSI"}) {
        EXPECT_TRUE(Enabled(name)) << name;
    }
    Click("btn_BluetoothInit");
    EXPECT_FALSE(form->IsBtOn());
    EXPECT_FALSE(Phone().Chip().on);
    EXPECT_FALSE(W<QAbstractButton>("btn_BluetoothInit")->isChecked());
    EXPECT_FALSE(Enabled("btn_BTDTest"));
}

TEST_F(FormTest, FailedSwitchKeepsTheChipStateButResetsTheCheckLabels) {
    Start(2, true);
    W<QLabel>("lbl_CheckHostInterfaceResult")->setText("OK.");
    Phone().InjectText({phonesim::Fault::ErrorCode, 5, "", {}, false}, "at@bt:initialize");
    Click("btn_BluetoothInit");
    EXPECT_TRUE(form->IsBtOn());
    EXPECT_TRUE(W<QAbstractButton>("btn_BluetoothInit")->isChecked());
    EXPECT_EQ(W("shp_BTOnOff")->property("lampColor").toString(), "green");
    EXPECT_EQ(Text("lbl_CheckHostInterfaceResult"), "?");
    EXPECT_TRUE(Enabled("btn_BTDTest"));
}

TEST_F(FormTest, SwitchRefusedForItsRecordVersionLogsTheMismatch) {
    Phone().SetTextVersions(INITIALIZE, 2, 1);
    Start(2, false);
    host.ClearLog();
    Click("btn_BluetoothInit");
    ASSERT_EQ(ParameterErrors().size(), 1u);
    EXPECT_EQ(ParameterErrors()[0].rfind("Parameter error:\nData version mismatch. ", 0), 0u)
        << ParameterErrors()[0];
    EXPECT_EQ(Phone().TextCount("at@bt:initialize"), 0u);
    EXPECT_FALSE(form->IsBtOn());
}

TEST_F(FormTest, HciResetSendsTheReset) {
    Start(2);
    Click("btn_BTDSwReset");
    EXPECT_EQ(Phone().LastCommand(), "at@bt:reset()");
}

TEST_F(FormTest, NvmDataSwapsTheModeButtons) {
    Start(2);
    EXPECT_TRUE(Enabled("rg_TestModes"));
    EXPECT_TRUE(Enabled("btn_BTDTest"));
    EXPECT_FALSE(Enabled("btn_WriteToNVM"));
    Click("chkbx_NvmDataMode");
    EXPECT_FALSE(Enabled("rg_TestModes"));
    EXPECT_FALSE(Enabled("btn_BTDTest"));
    for (const char* name :
         {"btn_WriteToNVM", "btn_ReadFromNVM", "btnWriteAllNvm", "ed_EPCMaxPwrLvlOneMbitS",
          "tb_LPCPowerControlStepSize", "ed_BTAddress_3", "editLpmDrift", "editLmpFeatures7"}) {
        EXPECT_TRUE(Enabled(name)) << name;
    }
    Click("chkbx_NvmDataMode");
    EXPECT_TRUE(Enabled("rg_TestModes"));
    EXPECT_TRUE(Enabled("btn_BTDTest"));
    EXPECT_FALSE(Enabled("btnWriteAllNvm"));
}

TEST_F(FormTest, EditsAreMarkedAfterStartUpAndPlainAfterAModeClick) {
    Start(2);
    EXPECT_TRUE(form->MarksChanges());
    SetText("ed_LPCMaxPwrLvlTwoMbitS", "5");
    EXPECT_TRUE(Marked(W("ed_LPCMaxPwrLvlTwoMbitS")));
    ChooseMode("Test");
    SetText("ed_LPCMaxPwrLvlTwoMbitS", "6");
    EXPECT_FALSE(Marked(W("ed_LPCMaxPwrLvlTwoMbitS")));
    Click("chkbx_NvmDataMode");
    SetText("ed_BTAddress_0", "12");
    EXPECT_TRUE(Marked(W("ed_BTAddress_0")));
}

TEST_F(FormTest, RefusedRecordVersionLeavesTheModeOutAndItsControlsOff) {
    Phone().SetTextVersions(SET_TX_CONTINUOUS_MODE, 2, 1);
    Start(2);
    EXPECT_EQ(ModeItem("TX CW"), nullptr);
    EXPECT_NE(ModeItem("TX Burst"), nullptr);
    EXPECT_EQ(W<QGroupBox>("rg_TestModes")->findChildren<QRadioButton*>().size(), 5);
    const std::vector<std::string> errors = ParameterErrors();
    EXPECT_EQ(
        std::count(errors.begin(), errors.end(),
                   "Parameter error:\nUnknown data version. T_BT_SET_TX_CONTINUOUS_MODE_REQ = 2"),
        1);
    EXPECT_FALSE(Enabled("tb_TxPowerCoarse"));
}

TEST_F(FormTest, TextBackEndAsksVersionsByOpcodeNotByFunctionNumber) {
    // Regression: function 28 (HCI command) was asked as opcode 28 (RX_LE_START).
    Phone().SetTextVersions(RX_LE_START, 2, 2);
    Start(2);
    EXPECT_TRUE(Enabled("btn_SendHCICommand"));
    EXPECT_TRUE(Enabled("memo_HCICommandResponse"));
    EXPECT_EQ(ModeItem("LE RX"), nullptr);
    EXPECT_TRUE(host.HasLine("at@bt:get_opcode_version(30)"));
}

TEST_F(FormTest, RefusedHciRecordsAreLoggedAndStayOff) {
    Phone().SetBinaryVersions(atctst_bt_hci_command, 3, 4);
    Start(0);
    const std::vector<std::string> errors = ParameterErrors();
    EXPECT_NE(std::find(errors.begin(), errors.end(),
                        "Parameter error:\nUnknown data version. T_BT_HCI_COMMAND_REQ = 3"),
              errors.end());
    EXPECT_NE(std::find(errors.begin(), errors.end(),
                        "Parameter error:\nUnknown data version. T_BT_HCI_COMMAND_CON = 4"),
              errors.end());
    EXPECT_FALSE(Enabled("btn_SendHCICommand"));
    EXPECT_FALSE(Enabled("memo_HCICommandResponse"));
    EXPECT_TRUE(Enabled("btn_BTDTest"));
}

TEST_F(FormTest, CheckBoxesStayHiddenAndStartUpLabelsShowTheirValues) {
    Start(2);
    EXPECT_FALSE(Visible("gb_CheckHostInterface"));
    EXPECT_FALSE(Visible("gb_CheckSleepXSignal"));
    EXPECT_EQ(Text("lbl_TxPowerCoarseValue"), "0");
    EXPECT_EQ(Text("lbl_TxPowerFineValue"), "-1");
    // The power-control values come from the chip's NVM, read at start-up.
    EXPECT_EQ(Text("lbl_LPCPowerControlNOfStepsValue"), "5");
    EXPECT_EQ(Text("lbl_LPCPowerControlStepSizeValue"), "2");
    EXPECT_EQ(Text("lbl_EPCPowerControlNOfStepsValue"), "7");
    EXPECT_EQ(Text("lbl_EPCPowerControlStepSizeValue"), "3");
    EXPECT_EQ(Text("lbl_SerialInterfaceMode"), "?");
    EXPECT_FALSE(Marked(W("lbl_LPCPowerControlNOfStepsValue")));
}

} // namespace

namespace {

TEST_F(FormTest, StartUpWithoutTheFormPointerStopsAtOutOfMemory) {
    host.InstallIntoPlugin();
    form = std::make_unique<Tfrm_main>();
    frm_main = nullptr;
    const std::vector<QString> boxes = AnswerBoxes([this] { form->StartUp(); });
    EXPECT_EQ(boxes, std::vector<QString>{"Out of Memory!"});
    EXPECT_EQ(Phone().TextCount("at@bt:hw_info"), 0u);
    EXPECT_TRUE(host.TimeoutCalls().empty());
}

TEST_F(FormTest, StartUpWithoutABackEndSaysSoAndSendsNothing) {
    host.InstallIntoPlugin();
    form = std::make_unique<Tfrm_main>(nullptr, true);
    frm_main = form.get();
    const std::vector<QString> boxes = AnswerBoxes([this] { form->StartUp(); });
    EXPECT_EQ(boxes,
              std::vector<QString>{"Target baseband version cannot be found or is not support"});
    EXPECT_TRUE(host.TimeoutCalls().empty());
}

TEST_F(FormTest, UpDownWritesItsPositionIntoTheEditWithinTheModeLimit) {
    Start(2);
    ChooseMode("LE TX");
    SetText("ed_TXChannel", "38");
    auto buttons = W("ud_TxChannelUpDown")->findChildren<QAbstractButton*>();
    ASSERT_EQ(buttons.size(), 2);
    buttons[0]->click();
    EXPECT_EQ(Text("ed_TXChannel"), "39");
    buttons[0]->click();
    EXPECT_EQ(Text("ed_TXChannel"), "39");
    buttons[1]->click();
    EXPECT_EQ(Text("ed_TXChannel"), "38");
    EXPECT_EQ(Text("lbl_TxChannelMhz"), "2478 Mhz");
}

} // namespace
