// Start-up, the chip switch, the enabling rule, refused record versions and the marks.

#include "form_fixture.h"

namespace {

TEST_F(FormTest, InterfaceKindTwoGivesTheTextProtocolWithTheNvmBoxAnyOtherTheBinaryOne) {
    const int kinds[] = {2, 0, 1, 3};
    for (int i = 0; i < 4; ++i) {
        const bool text = kinds[i] == 2;
        Phone().ClearLogs();
        EXPECT_TRUE(Start(kinds[i]).empty());
        EXPECT_EQ(form->ZepBackEnd(), text);
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

TEST_F(FormTest, SwitchTurnsTheChipOnAndOffOnlyWhenThePhoneAgreesAndTheControlsFollow) {
    Start(2, false);
    for (bool on : {false, true, false}) {
        EXPECT_EQ(W<QAbstractButton>("btn_BluetoothInit")->isChecked(), on);
        EXPECT_EQ(W("shp_BTOnOff")->property("lampColor").toString(), on ? "green" : "red");
        ExpectShown("lbl_CheckHostInterfaceResult=?");
        ExpectEnabled("btn_BluetoothInit", true);
        ExpectEnabled("btn_GetInformation btn_BTDSwReset chkbx_NvmDataMode rg_TestModes "
                      "btn_BTDTest ed_BTAddress_0 ed_EPCMaxPwrLvlOneMbitS btn_GetRTRIMValues "
                      "btn_GetRSSI btn_PCMLoopbackOn btn_SendHCICommand",
                      on);
        W<QLabel>("lbl_CheckHostInterfaceResult")->setText("OK.");
        Phone().ClearLogs();
        Click("btn_BluetoothInit");
        // Switched on, the page reads the interface settings.
        EXPECT_EQ(Phone().LastCommand() == "at@bt:get_pcm_uart_wakeup_interface_status()", !on);
    }
    // A switch the phone refuses leaves the chip on.
    Phone().InjectText({phonesim::Fault::ErrorCode, 5}, "at@bt:initialize");
    Click("btn_BluetoothInit");
    EXPECT_TRUE(form->BtOn() && W<QAbstractButton>("btn_BluetoothInit")->isChecked());
    ExpectShown("lbl_CheckHostInterfaceResult=?");
}

TEST_F(FormTest, AfterStartUpValuesShowUnmarkedAndNvmDataSwapsTheModeButtons) {
    Start(2);
    EXPECT_TRUE(W("gb_CheckHostInterface")->isHidden() && W("gb_CheckSleepXSignal")->isHidden());
    // Track bar positions of the layout, then the power-control values read from the chip.
    ExpectShown("lbl_TxPowerCoarseValue=0;lbl_TxPowerFineValue=-1;"
                "lbl_LPCPowerControlNOfStepsValue=5;lbl_LPCPowerControlStepSizeValue=2;"
                "lbl_EPCPowerControlNOfStepsValue=7;lbl_EPCPowerControlStepSizeValue=3;"
                "lbl_SerialInterfaceMode=?");
    // Changes are marked from start-up until a mode click, and while "NVM data" is checked.
    Apply("ed_LPCMaxPwrLvlTwoMbitS=5");
    EXPECT_TRUE(Marked("ed_LPCMaxPwrLvlTwoMbitS"));
    Apply("mode=Test;ed_LPCMaxPwrLvlTwoMbitS=6");
    EXPECT_FALSE(Marked("ed_LPCMaxPwrLvlTwoMbitS"));
    Apply("chkbx_NvmDataMode=1;ed_BTAddress_0=12");
    EXPECT_TRUE(Marked("ed_BTAddress_0"));
    ExpectEnabled("btn_WriteToNVM btn_ReadFromNVM btnWriteAllNvm tb_LPCPowerControlStepSize "
                  "ed_EPCMaxPwrStepOneMbitS editLpmDrift editLmpFeatures7",
                  true);
    for (bool nvm : {true, false}) {
        ExpectEnabled("rg_TestModes btn_BTDTest", !nvm);
        ExpectEnabled("btnWriteAllNvm", nvm);
        Click("chkbx_NvmDataMode");
    }
}

// A refused record version logs one line and leaves its controls off; the others stay.
TEST_F(FormTest, RefusedRecordVersionsAreLoggedOnceAndLeaveTheirControlsOff) {
    const struct {
        int32_t kind;
        int record; // opcode (text) or test function (binary)
        uint8_t request, confirm;
        int modes; // mode items offered: a refused mode is left out
        const char* lines;
        const char* off;
        const char* on;
    } kRefusals[] = {{2, SET_TX_CONTINUOUS_MODE, 2, 1, 5,
                      "\nUnknown data version. T_BT_SET_TX_CONTINUOUS_MODE_REQ = 2",
                      "tb_TxPowerCoarse", "btn_BTDTest"},
                     {0, atctst_bt_hci_command, 3, 4, 6,
                      "\nUnknown data version. T_BT_HCI_COMMAND_REQ = 3;"
                      "\nUnknown data version. T_BT_HCI_COMMAND_CON = 4",
                      "btn_SendHCICommand memo_HCICommandResponse", "btn_BTDTest"},
                     // Regression: function 28 (HCI command) was asked as opcode 28 (RX_LE_START).
                     {2, RX_LE_START, 2, 2, 5, "\nUnknown data version. T_BT_RX_LE_START_REQ = 2",
                      "", "btn_SendHCICommand memo_HCICommandResponse"},
                     {2, GET_RSSI_VALUE, 4, 5, 6,
                      "\nUnknown data version. T_BT_GET_RSSI_VALUE_CON = 5"
                      "\nUnknown data version. T_BT_GET_RSSI_VALUE_REQ = 4",
                      "btn_GetRSSI le_ConnectionHandle", "btn_PCMInterfaceGet"}};
    for (const auto& r : kRefusals) {
        SetUp();
        if (r.kind == 2) Phone().SetTextVersions(r.record, r.request, r.confirm);
        if (r.kind == 0) Phone().SetBinaryVersions(r.record, r.request, r.confirm);
        host.ClearLog();
        Start(r.kind);
        for (const QString& line : Split(r.lines))
            EXPECT_EQ(host.CountLine("Parameter error:" + line.toStdString()), 1u) << r.lines;
        ExpectEnabled(r.off, false);
        ExpectEnabled(r.on, true);
        EXPECT_EQ(W("rg_TestModes")->findChildren<QRadioButton*>().size(), r.modes);
        Phone().SetTextVersions(r.record, 1, 1);
        Phone().SetBinaryVersions(r.record, 1, 1);
    }
}

} // namespace
