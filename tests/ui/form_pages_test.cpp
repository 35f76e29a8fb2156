// What the RF test, auxiliary and NVM controls show and enable, beyond single presses.

#include "form_fixture.h"

namespace {

TEST_F(FormTest, TrackBarLabelsAndChannelsFollowTheBarsAndTheModeLimits) {
    Start(2);
    Apply("tb_TxPowerCoarse=0;tb_TxPowerFine=5;tb_EPCPowerControlStepSize=2");
    ExpectShown("lbl_TxPowerCoarseValue=-42;lbl_TxPowerFineValue=0;"
                "lbl_EPCPowerControlStepSizeValue=2");
    EXPECT_TRUE(Marked("lbl_EPCPowerControlStepSizeValue"));
    Apply("mode=TX Burst;tb_LPCPowerControlNOfSteps=5;tb_PowerLevel=9");
    ExpectShown("lbl_LPCPowerControlNOfStepsValue=5;PowerLevelNOfStepsValue=4");
    Apply("ed_TXChannel=78;mode=LE TX");
    ExpectShown("ed_TXChannel=39;lbl_TxChannelMhz=2480 Mhz");
    auto buttons = W("ud_TxChannelUpDown")->findChildren<QAbstractButton*>();
    ASSERT_EQ(buttons.size(), 2);
    buttons[0]->click(); // up, past the highest channel of the mode
    ExpectShown("ed_TXChannel=39");
    buttons[1]->click();
    ExpectShown("ed_TXChannel=38;lbl_TxChannelMhz=2478 Mhz");
    Apply("mode=TX CW");
    ExpectShown("lbl_TxChannelMhz=2440 Mhz");
}

// Regression: a step edit that was no number left the highest step of the larger count.
TEST_F(FormTest, FewerEpcStepsLowerTheMaximumPowerStepsUpToAnEditThatIsNoNumber) {
    Start(2);
    Apply("mode=Test;ed_EPCMaxPwrStepOneMbitS=7;ed_EPCMaxPwrStepTwoMbitS=x;"
          "ed_EPCMaxPwrStepThreeMbitS=7");
    EXPECT_EQ(Dialogs([this] { Set("tb_EPCPowerControlNOfSteps", "4"); }),
              Texts{"Error|'x' is not a valid integer value"});
    ExpectShown("lbl_EPCPowerControlNOfStepsValue=4;ed_EPCMaxPwrStepOneMbitS=3;"
                "ed_EPCMaxPwrStepThreeMbitS=7");
    Apply("ed_EPCMaxPwrStepTwoMbitS=2;ed_EPCMaxPwrStepThreeMbitS=4");
    Click("btn_BTDTest");
    EXPECT_EQ(
        ParameterErrors(),
        Strings{"Parameter error:\nEPC 8DPSK (3 Mbit/s) max. power step above maximum (3)\n"});
}

TEST_F(FormTest, ModesEnableOnlyTheirOwnControlsAndLeRxOffersItsResultAfterAStart) {
    Phone().Chip().rtrimUseManual = 1;
    Start(0);
    const char* const kModes[] = {"TX Burst:ed_TXChannel cb_PatternSelection ed_BTAddress_0",
                                  "TX CW:ed_TXChannel tb_TxPowerCoarse cb_PatternSelection",
                                  "Test:ed_BTAddress_0 ed_LE tb_EPCPowerControlNOfSteps",
                                  "LE RX:ed_RXChannel ed_LeRxResult"};
    for (const QString mode : kModes) {
        Set("mode", mode.section(':', 0, 0));
        for (const QString& name : Split("ed_RXChannel ed_TXChannel tb_TxPowerCoarse ed_LE "
                                         "ed_BTAddress_0 cb_PatternSelection ed_AFHChannel0_7 "
                                         "tb_EPCPowerControlNOfSteps chkbx_Offset ed_LeRxResult",
                                         ' '))
            EXPECT_EQ(Enabled(name), mode.section(':', 1).split(' ').contains(name))
                << mode.toStdString() << " " << name.toStdString();
    }
    ExpectEnabled("btn_LeRxResult", false);
    Click("btn_BTDTest");
    ExpectEnabled("btn_LeRxResult", true);
    Phone().Chip().leRxPackets = 300; // reply bytes 0x01 0x2C
    Click("btn_LeRxResult");
    ExpectShown("ed_LeRxResult=300");
    ExpectEnabled("btn_LeRxResult", false);
    // A failed read shows nothing; the channel box waits for the next enabling pass.
    Phone().InjectBinary({phonesim::Fault::ErrorCode, 5}, atctst_bt_get_lumora_version);
    Click("btn_GetInformation");
    ExpectShown("lbl_LLMVersionValue=?;gb_HWInfo=Lumora firmware information");
    ExpectEnabled("ed_RXChannel", false);
    Click("btn_GetRTRIMValues");
    EXPECT_TRUE(W<QAbstractButton>("chkbx_UseRTRIMManualValue")->isChecked());
    EXPECT_FALSE(W<QLineEdit>("ed_RTRIMManualValue")->isReadOnly());
    Apply("mode=TX Burst;chkbx_Hopping=1");
    ExpectEnabled("ed_AFHChannel40_47", true);
}

// Regression: the three characters the operator may type also cut -128 read or stepped.
TEST_F(FormTest, WritePassesClearTheMarksOfWhatTheyHandledAndWriteAllSendsEveryValue) {
    Phone().Chip().nvm[BNPT_RSSI_THRESHOLD][0] = -128;
    Start(2);
    Apply("chkbx_NvmDataMode=1;ed_LPCMaxPwrLvlTwoMbitS=-5;ed_BTAddress_0=AA;ed_LE=-36;"
          "tb_LPCPowerControlStepSize=4;editRssiMax=-127");
    EXPECT_TRUE(Marked("lbl_LPCPowerControlStepSizeValue"));
    ExpectShown("editRssiThreshold=-128");
    W("udRssiMax")->findChildren<QAbstractButton*>()[1]->click(); // down
    ExpectShown("editRssiMax=-128");
    Click("btn_WriteToNVM");
    for (const char* name :
         {"ed_LPCMaxPwrLvlTwoMbitS", "lbl_LPCPowerControlStepSizeValue", "ed_LE", "editRssiMax"})
        EXPECT_FALSE(Marked(name)) << name;
    EXPECT_TRUE(Marked("ed_BTAddress_0")); // it waits for a pass without messages
    Apply("ed_LE=-3;editRssiMin=-80;ed_EPCMaxPwrLvlOneMbitS=5");
    Phone().ClearLogs();
    Click("btnWriteAllNvm");
    EXPECT_EQ(Phone().LastCommand(),
              "at@bt:write_all_nvm_params({170,26,125,218,113,19},291,26000000,"
              "{191,254,207,254,219,255,123,135},1,3,250,8,9,5,2,-2,7,3,6,5,4,0,-5,-4,5,4,4,"
              "-128,-3,-80,-128,1,6,0,1,5,6,7,17,12,2,9,15,120,9000,32000,28000)");
    EXPECT_EQ(Phone().TextCount("at@bt:write_nvm"), 0u);
    for (const char* name : {"editRssiMin", "ed_LE", "ed_BTAddress_0"})
        EXPECT_FALSE(Marked(name)) << name;
}

// Regression: a failed read-all left zeros on the page that "Write All" sent to the chip.
TEST_F(FormTest, FailedReadAllIsReportedOnceKeepsEverythingDisabledAndWritesNothing) {
    Phone().InjectText({phonesim::Fault::MissingOk}, "at@bt:read_all_nvm_params");
    Start(2);
    const Strings lines = Lines("Unknown version of data retrieved");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_GT(lines[0].size(), 66u) << "names no parameter";
    Apply("chkbx_NvmDataMode=1");
    ExpectEnabled("ed_BTAddress_0 ed_EPCMaxPwrLvlOneMbitS tb_LPCPowerControlNOfSteps ed_LE "
                  "editRssiMin editLmpFeatures0",
                  false);
    Phone().ClearLogs();
    Click("btnWriteAllNvm");
    EXPECT_EQ(ParameterErrors().back(),
              "Parameter error:\nNVM parameters have not been read from the phone\n");
    EXPECT_EQ(Phone().TextCount("at@bt:write"), 0u);
}

} // namespace
