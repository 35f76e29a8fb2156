// Start-up, the chip switch, the enabling rule, refused record versions and the marks.

#include "form_fixture.h"

namespace {

TEST_F(FormTest, InterfaceKindTwoGivesTheTextProtocolWithTheNvmBoxAnyOtherTheBinaryOne) {
    const int kinds[] = {2, 0, 1, 3};
    for (int i = 0; i < 4; ++i) {
        const bool text = kinds[i] == 2;
        Phone().ClearLogs();
        EXPECT_TRUE(Start(kinds[i]).empty());
        EXPECT_EQ(form->IsZepBackEnd(), text);
        for (const char* name : {"gbNvmNew", "gbNvmRssi", "btnWriteAllNvm"})
            EXPECT_EQ(!W(name)->isHidden(), text) << name << kinds[i];
        EXPECT_EQ(Phone().TextCount("at@bt:hw_info"), text ? 1u : 0u);
        EXPECT_EQ(Phone().BinaryCount(atctst_bt_hw_info), text ? 0u : 1u);
        EXPECT_EQ(host.TimeoutCalls(), std::vector<int32_t>(i + 1, 5));
        EXPECT_EQ(host.ResetTimeoutCalls(), i + 1);
    }
}

// Regression: the pattern list, enabled in the layout, was disabled by a failed start-up.
TEST_F(FormTest, SilentPhoneAtStartUpGivesTheErrorBoxAndLocksTheSwitch) {
    Phone().InjectBinary({phonesim::Fault::NoReply, 0, "", {}, true});
    const Texts boxes = Start(0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].endsWith("\n\nOperation not possible\n")) << boxes[0].toStdString();
    EXPECT_FALSE(boxes[0].startsWith("Bluetooth|\n\nOperation"));
    ExpectEnabled("btn_BluetoothInit btn_GetInformation", false);
    ExpectEnabled("cb_PatternSelection", true);
    EXPECT_EQ(W("shp_BTOnOff")->property("lampColor").toString(), "red");
    EXPECT_EQ(host.ResetTimeoutCalls(), 0);
}

TEST_F(FormTest, StartUpWithoutTheFormPointerOrABackEndSaysSoAndSendsNothing) {
    host.InstallIntoPlugin();
    form = std::make_unique<Tfrm_main>();
    EXPECT_EQ(Dialogs([this] { form->StartUp(); }), Texts{"Bluetooth|Out of Memory!"});
    form = std::make_unique<Tfrm_main>(nullptr, true);
    frm_main = form.get();
    EXPECT_EQ(Dialogs([this] { form->StartUp(); }),
              Texts{"Bluetooth|Target baseband version cannot be found or is not support"});
    EXPECT_TRUE(host.TimeoutCalls().empty());
    EXPECT_TRUE(Phone().TextLog().empty());
}

TEST_F(FormTest, SwitchTurnsTheChipOnAndOffAndTheControlsFollow) {
    Start(2, false);
    for (bool on : {false, true, false}) {
        EXPECT_EQ(form->IsBtOn(), on);
        EXPECT_EQ(Phone().Chip().on, on);
        EXPECT_EQ(W<QAbstractButton>("btn_BluetoothInit")->isChecked(), on);
        EXPECT_EQ(W("shp_BTOnOff")->property("lampColor").toString(), on ? "green" : "red");
        ExpectEnabled("btn_BluetoothInit", true);
        ExpectEnabled("btn_GetInformation btn_BTDSwReset chkbx_NvmDataMode rg_TestModes "
                      "btn_BTDTest ed_BTAddress_0 ed_EPCMaxPwrLvlOneMbitS btn_GetRTRIMValues "
                      "btn_GetRSSI btn_PCMLoopbackOn btn_SendHCICommand",
                      on);
        ExpectEnabled("btn_WriteToNVM", false);
        Phone().ClearLogs();
        Click("btn_BluetoothInit");
        // Switched on, the page reads the interface settings.
        EXPECT_EQ(Phone().LastCommand() == "at@bt:get_pcm_uart_wakeup_interface_status()", !on);
    }
}

TEST_F(FormTest, FailedSwitchKeepsTheChipStateOrLogsAMismatchAndResetsTheCheckLabels) {
    Start(2, true);
    W<QLabel>("lbl_CheckHostInterfaceResult")->setText("OK.");
    Phone().InjectText({phonesim::Fault::ErrorCode, 5}, "at@bt:initialize");
    Click("btn_BluetoothInit");
    EXPECT_TRUE(W<QAbstractButton>("btn_BluetoothInit")->isChecked());
    ExpectShown("lbl_CheckHostInterfaceResult=?");
    ExpectEnabled("btn_BTDTest", true);
    Phone().SetTextVersions(INITIALIZE, 2, 1);
    Start(2, false);
    Phone().ClearLogs();
    Click("btn_BluetoothInit");
    ASSERT_EQ(ParameterErrors().size(), 1u);
    EXPECT_EQ(ParameterErrors()[0].rfind("Parameter error:\nData version mismatch. ", 0), 0u);
    EXPECT_EQ(Phone().TextCount("at@bt:initialize"), 0u);
    EXPECT_FALSE(form->IsBtOn());
}

TEST_F(FormTest, AfterStartUpValuesShowUnmarkedAndNvmDataSwapsTheModeButtons) {
    Start(2);
    EXPECT_TRUE(W("gb_CheckHostInterface")->isHidden() && W("gb_CheckSleepXSignal")->isHidden());
    // Track bar positions of the layout, then the power-control values read from the chip.
    ExpectShown("lbl_TxPowerCoarseValue=0;lbl_TxPowerFineValue=-1;"
                "lbl_LPCPowerControlNOfStepsValue=5;lbl_LPCPowerControlStepSizeValue=2;"
                "lbl_EPCPowerControlNOfStepsValue=7;lbl_EPCPowerControlStepSizeValue=3;"
                "lbl_SerialInterfaceMode=?");
    EXPECT_FALSE(Marked("lbl_LPCPowerControlNOfStepsValue"));
    // Changes are marked from start-up until a mode click, and while "NVM data" is checked.
    Apply("ed_LPCMaxPwrLvlTwoMbitS=5");
    EXPECT_TRUE(Marked("ed_LPCMaxPwrLvlTwoMbitS"));
    Apply("mode=Test;ed_LPCMaxPwrLvlTwoMbitS=6");
    EXPECT_FALSE(Marked("ed_LPCMaxPwrLvlTwoMbitS"));
    for (bool nvm : {true, false}) {
        Click("chkbx_NvmDataMode");
        Apply(nvm ? "ed_BTAddress_0=12" : "ed_BTAddress_0=13");
        EXPECT_EQ(Marked("ed_BTAddress_0"), nvm);
        ExpectEnabled("rg_TestModes btn_BTDTest", !nvm);
        ExpectEnabled("btn_WriteToNVM btn_ReadFromNVM btnWriteAllNvm", nvm);
        ExpectEnabled("tb_LPCPowerControlStepSize ed_EPCMaxPwrStepOneMbitS editLpmDrift "
                      "editLmpFeatures7",
                      true);
    }
}

// A refused record version logs one line and leaves its controls off; the others stay.
TEST_F(FormTest, RefusedRecordVersionsAreLoggedOnceAndLeaveTheirControlsOff) {
    const struct {
        int32_t kind;
        int record; // opcode (text) or test function (binary)
        uint8_t request, confirm;
        const char* lines;
        const char* off;
        const char* on;
    } kRefusals[] = {
        {2, SET_TX_CONTINUOUS_MODE, 2, 1,
         "\nUnknown data version. T_BT_SET_TX_CONTINUOUS_MODE_REQ = 2", "tb_TxPowerCoarse",
         "btn_BTDTest"},
        {0, atctst_bt_hci_command, 3, 4,
         "\nUnknown data version. T_BT_HCI_COMMAND_REQ = 3;"
         "\nUnknown data version. T_BT_HCI_COMMAND_CON = 4",
         "btn_SendHCICommand memo_HCICommandResponse", "btn_BTDTest"},
        // Regression: function 28 (HCI command) was asked as opcode 28 (RX_LE_START).
        {2, RX_LE_START, 2, 2, "\nUnknown data version. T_BT_RX_LE_START_REQ = 2", "",
         "btn_SendHCICommand memo_HCICommandResponse"},
        {2, GET_RTRIM_VALUES, 1, 2, "\nUnknown data version. T_BT_GET_RTRIM_VALUES_CON = 2",
         "btn_GetRTRIMValues ed_RTRIMManualValue", "btn_GetTMEASValues"},
        {2, GET_PCM_UART_WAKEUP_INTERFACE_STATUS, 1, 3,
         "T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON. Unknown version retrieved = 3",
         "btn_PCMInterfaceGet cb_PCMInterfaceConnectionType", "btn_GetRSSI"},
        {2, GET_RSSI_VALUE, 4, 5,
         "\nUnknown data version. T_BT_GET_RSSI_VALUE_CON = 5"
         "\nUnknown data version. T_BT_GET_RSSI_VALUE_REQ = 4",
         "btn_GetRSSI le_ConnectionHandle", "btn_PCMInterfaceGet"}};
    for (const auto& r : kRefusals) {
        SetUp();
        if (r.kind == 2) Phone().SetTextVersions(r.record, r.request, r.confirm);
        if (r.kind == 0) Phone().SetBinaryVersions(r.record, r.request, r.confirm);
        host.ClearLog();
        Start(r.kind);
        const Strings errors = ParameterErrors();
        for (const QString& line : Split(r.lines))
            EXPECT_EQ(
                std::count(errors.begin(), errors.end(), "Parameter error:" + line.toStdString()),
                1)
                << r.lines;
        ExpectEnabled(r.off, false);
        ExpectEnabled(r.on, true);
        EXPECT_EQ(ModeItem("TX CW") == nullptr, r.record == SET_TX_CONTINUOUS_MODE);
        Phone().SetTextVersions(r.record, 1, 1);
        Phone().SetBinaryVersions(r.record, 1, 1);
    }
}

} // namespace
