// The RF test page over both protocols: golden command lines and wire records for each
// mode, the input checks, channels, track bars and the LE result.

#include "form_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Runs each case over the text protocol (2) and the binary protocol (0).
class RfPage : public FormTest, public testing::WithParamInterface<int> {
protected:
    bool TextProtocol() const { return GetParam() == 2; }

    void SetAddress() {
        const char* const bytes[6] = {"00", "1A", "7D", "DA", "71", "13"};
        for (int i = 0; i < 6; ++i)
            SetText(("ed_BTAddress_" + std::to_string(i)).c_str(), bytes[i]);
    }

    // What the phone received for the press: the command line or the request bytes.
    void ExpectSent(const std::string& line, int function, const Bytes& request) {
        if (TextProtocol()) {
            EXPECT_EQ(Phone().LastCommand(), line);
        } else {
            ASSERT_FALSE(Phone().BinaryLog().empty());
            EXPECT_EQ(Phone().BinaryLog().back().function, function);
            EXPECT_EQ(Phone().LastRequest(), request);
        }
        EXPECT_TRUE(ParameterErrors().empty());
    }
};

TEST_P(RfPage, TestModeSendsAddressAndPowerControl) {
    Start(GetParam());
    ChooseMode("Test");
    SetAddress();
    Slide("tb_EPCPowerControlNOfSteps", 8);
    Slide("tb_EPCPowerControlStepSize", 3);
    Slide("tb_LPCPowerControlNOfSteps", 10);
    Slide("tb_LPCPowerControlStepSize", 5);
    SetText("ed_EPCMaxPwrLvlOneMbitS", "-5");
    SetText("ed_EPCMaxPwrLvlTwoMbitS", "4");
    SetText("ed_EPCMaxPwrLvlThreeMbitS", "3");
    SetText("ed_EPCMaxPwrStepOneMbitS", "6");
    SetText("ed_EPCMaxPwrStepTwoMbitS", "5");
    SetText("ed_EPCMaxPwrStepThreeMbitS", "4");
    SetText("ed_LPCMaxPwrLvlOneMbitS", "9");
    SetText("ed_LPCMaxPwrLvlTwoMbitS", "7");
    SetText("ed_LPCMaxPwrLvlThreeMbitS", "-35");
    SetText("ed_BRSubStates", "2");
    SetText("ed_LE", "-1");
    Click("btn_BTDTest");
    ExpectSent("at@bt:set_rf_test_mode({0,26,125,218,113,19},8,3,6,5,4,10,5,-5,4,3,9,7,-35,2,-1)",
               atctst_bt_set_rf_test_mode,
               {1, 0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13, 0xFB, 4, 3, 8,
                3, 6,    5,    4,    9,    7,    0xDD, 10,   5, 2, 0xFF});
}

TEST_P(RfPage, TxBurstSendsTheDefaultAfhMapWithoutHopping) {
    Start(GetParam());
    ChooseMode("TX Burst");
    SetAddress();
    Slide("tb_LPCPowerControlNOfSteps", 8);
    Slide("tb_LPCPowerControlStepSize", 6);
    Slide("tb_PowerLevel", 3);
    SetText("ed_TXChannel", "5");
    Select("cb_PatternSelection", 1);
    Select("cb_PacketType", 2);
    Select("cb_TXInterval", 4);
    SetChecked("chkbx_Whitening", true);
    SetText("ed_AFHChannel0_7", "01"); // ignored without hopping
    SetText("ed_LPCMaxPwrLvlOneMbitS", "10");
    SetText("ed_LPCMaxPwrLvlTwoMbitS", "8");
    SetText("ed_LPCMaxPwrLvlThreeMbitS", "8");
    Click("btn_BTDTest");
    ExpectSent("at@bt:set_tx_burst_mode({0,26,125,218,113,19},5,3,0,51,10,0,1,8,6,"
               "{247,255,255,255,255,255,255,255,255,255},10,8,8,2)",
               atctst_bt_set_tx_burst_mode,
               {1,    0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13, 5,    3,    0, 0x33, 2, 10, 0, 0xF7,
                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 10,   8, 8,  8, 6});
}

TEST_P(RfPage, TxBurstWithHoppingReadsTheMapInReverse) {
    Start(GetParam());
    ChooseMode("TX Burst");
    SetAddress();
    SetText("ed_TXChannel", "0");
    Select("cb_PatternSelection", 5);
    Select("cb_PacketType", 8);
    Select("cb_TXInterval", 126);
    SetChecked("chkbx_Hopping", true);
    EXPECT_TRUE(Enabled("ed_AFHChannel40_47"));
    SetText("ed_AFHChannel0_7", "01");
    SetText("ed_AFHChannel72_78", "7f");
    SetText("ed_AFHChannel40_47", "zz");
    Click("btn_BTDTest");
    if (TextProtocol()) {
        EXPECT_NE(
            Phone().LastCommand().find(",1,0,254,1,0,5,2,{127,255,255,255,0,255,255,255,255,1}"),
            std::string::npos)
            << Phone().LastCommand();
    } else {
        const Bytes request = Phone().LastRequest();
        ASSERT_EQ(request.size(), 30u);
        EXPECT_EQ(request[9], 1);    // PRBS 9
        EXPECT_EQ(request[11], 8);   // 3-DH5
        EXPECT_EQ(request[12], 254); // the last interval
        EXPECT_EQ(request[13], 1);
        EXPECT_EQ(Bytes(request.begin() + 14, request.begin() + 24),
                  (Bytes{0x7F, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}));
    }
}

TEST_P(RfPage, TxContinuousSendsPowerPatternAndModulation) {
    Start(GetParam());
    ChooseMode("TX CW");
    SetText("ed_TXChannel", "10");
    Slide("tb_TxPowerCoarse", 3);
    Slide("tb_TxPowerFine", 2);
    Select("cb_PatternSelection", 5);
    Select("cb_ModulationType", 2);
    Click("btn_BTDTest");
    ExpectSent("at@bt:set_tx_continuous_mode(10,3,2,1,0,2)", atctst_bt_set_tx_continuous_mode,
               {1, 10, 3, 2, 1, 0, 2});
}

TEST_P(RfPage, TxContinuousWithoutModulationNeedsNoPattern) {
    Start(GetParam());
    ChooseMode("TX CW");
    SetText("ed_TXChannel", "1");
    Select("cb_ModulationType", 0);
    EXPECT_FALSE(Enabled("cb_PatternSelection"));
    EXPECT_FALSE(Enabled("lbl_PatternSelection"));
    Click("btn_BTDTest");
    EXPECT_TRUE(ParameterErrors().empty());
    if (TextProtocol())
        EXPECT_EQ(Phone().TextCount("at@bt:set_tx_continuous_mode"), 1u);
    else
        EXPECT_EQ(Phone().BinaryCount(atctst_bt_set_tx_continuous_mode), 1u);
}

TEST_P(RfPage, RxContinuousSendsTheChannel) {
    Start(GetParam());
    ChooseMode("RX CW");
    SetText("ed_RXChannel", "78");
    EXPECT_EQ(Text("lbl_RxChannelMhz"), "2480 Mhz");
    Click("btn_BTDTest");
    ExpectSent("at@bt:set_rx_continuous_mode(78)", atctst_bt_set_rx_continuous_mode, {1, 78});
}

TEST_P(RfPage, LeTxSendsChannelLengthPowerAndPattern) {
    Start(GetParam());
    ChooseMode("LE TX");
    SetText("ed_TXChannel", "20");
    SetText("ed_LeDataLength", "37");
    SetText("ed_LPCMaxPwrLvlOneMbitS", "-35");
    Select("cb_LePatternSelection", 3);
    Click("btn_BTDTest");
    ExpectSent("at@bt:set_tx_le_mode(20,37,-35,3)", atctst_bt_set_tx_le_mode, {1, 20, 37, 0xDD, 3});
}

TEST_P(RfPage, LeRxStartEnablesGetResultWhichShowsThePacketCount) {
    Start(GetParam());
    ChooseMode("LE RX");
    EXPECT_TRUE(Enabled("ed_LeRxResult"));
    EXPECT_FALSE(Enabled("btn_LeRxResult"));
    SetText("ed_RXChannel", "12");
    Click("btn_BTDTest");
    ExpectSent("at@bt:rx_le_start(12)", atctst_bt_rx_le_start, {1, 12});
    EXPECT_TRUE(Enabled("btn_LeRxResult"));
    Phone().Chip().leRxPackets = 300; // reply bytes 0x01 0x2C
    Click("btn_LeRxResult");
    EXPECT_EQ(Text("ed_LeRxResult"), "300");
    EXPECT_FALSE(Enabled("btn_LeRxResult"));
}

TEST_P(RfPage, TxBurstWithNothingSelectedLogsOneLineWithThreeMessages) {
    Start(GetParam());
    ChooseMode("TX Burst");
    host.ClearLog();
    Phone().ClearLogs();
    Click("btn_BTDTest");
    EXPECT_EQ(ParameterErrors(),
              std::vector<std::string>{"Parameter error:"
                                       "\nData, Pattern selection: Please select a pattern\n"
                                       "\nData, Packet type: Please make a valid selection\n"
                                       "\nData, Tx Interval: No interval is selected\n"});
    EXPECT_TRUE(Phone().TextLog().empty());
    EXPECT_TRUE(Phone().BinaryLog().empty());
}

TEST_P(RfPage, OutOfRangeValuesAreCollectedInCheckOrder) {
    Start(GetParam());
    ChooseMode("Test");
    SetText("ed_LPCMaxPwrLvlOneMbitS", "12.9");
    SetText("ed_EPCMaxPwrStepOneMbitS", "300");
    SetText("ed_LE", "-40");
    SetText("ed_BRSubStates", "x");
    Phone().ClearLogs();
    Click("btn_BTDTest");
    EXPECT_EQ(ParameterErrors(),
              std::vector<std::string>{"Parameter error:"
                                       "\nEPC GFSK (1 Mbit/s) max. power step above maximum (6)\n"
                                       "\nLPC GFSK (1 Mbit/s) power level above maximum (10)\n"
                                       "\n BR sub state. Default power level: Please enter a "
                                       "valid value\n"
                                       "\nLE. Default power level below minimum (-35)\n"});
    EXPECT_TRUE(Phone().TextLog().empty());
    EXPECT_TRUE(Phone().BinaryLog().empty());
}

TEST_P(RfPage, DecimalAddressThatIsNoNumberStopsThePressWithTheConversionBox) {
    Start(GetParam());
    ChooseMode("Test");
    SetChecked("chkbx_BTAddressUseHex", false);
    SetText("ed_BTAddress_0", "12");
    SetText("ed_BTAddress_1", "?");
    Phone().ClearLogs();
    const std::vector<QString> boxes = AnswerBoxes([this] { Click("btn_BTDTest"); });
    EXPECT_EQ(boxes, std::vector<QString>{"'?' is not a valid integer value"});
    EXPECT_TRUE(Phone().TextLog().empty());
    EXPECT_TRUE(Phone().BinaryLog().empty());
    EXPECT_TRUE(ParameterErrors().empty());
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, RfPage, testing::Values(2, 0),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == 2 ? std::string("Text") : std::string("Binary");
                         });

TEST_F(FormTest, LeTxClampsTheChannelAndStepsTwoMegahertz) {
    Start(2);
    SetText("ed_TXChannel", "78");
    EXPECT_EQ(Text("lbl_TxChannelMhz"), "2480 Mhz");
    ChooseMode("LE TX");
    EXPECT_EQ(Text("ed_TXChannel"), "39");
    EXPECT_EQ(Text("lbl_TxChannelMhz"), "2480 Mhz");
    SetText("ed_TXChannel", "40");
    EXPECT_EQ(Text("ed_TXChannel"), "39");
    EXPECT_EQ(Text("lbl_TxChannelMhz"), "2480 Mhz");
    SetText("ed_TXChannel", "1");
    EXPECT_EQ(Text("lbl_TxChannelMhz"), "2404 Mhz");
    ChooseMode("TX CW");
    EXPECT_EQ(Text("lbl_TxChannelMhz"), "2403 Mhz");
}

TEST_F(FormTest, EmptiedChannelShowsTheConversionBoxAndKeepsTheLabel) {
    Start(2);
    SetText("ed_RXChannel", "3");
    const std::vector<QString> boxes = AnswerBoxes([this] { SetText("ed_RXChannel", ""); });
    EXPECT_EQ(boxes, std::vector<QString>{"'' is not a valid integer value"});
    EXPECT_EQ(Text("lbl_RxChannelMhz"), "2405 Mhz");
}

TEST_F(FormTest, TrackBarLabelsFollowTheirBars) {
    Start(2);
    Slide("tb_TxPowerCoarse", 0);
    EXPECT_EQ(Text("lbl_TxPowerCoarseValue"), "-42");
    Slide("tb_TxPowerFine", 5);
    EXPECT_EQ(Text("lbl_TxPowerFineValue"), "0");
    Slide("tb_EPCPowerControlStepSize", 2);
    EXPECT_EQ(Text("lbl_EPCPowerControlStepSizeValue"), "2");
    EXPECT_TRUE(Marked(W("lbl_EPCPowerControlStepSizeValue")));
    ChooseMode("TX Burst");
    Slide("tb_LPCPowerControlNOfSteps", 5);
    EXPECT_EQ(Text("lbl_LPCPowerControlNOfStepsValue"), "5");
    EXPECT_EQ(W<QSlider>("tb_PowerLevel")->maximum(), 4);
    Slide("tb_PowerLevel", 4);
    EXPECT_EQ(Text("PowerLevelNOfStepsValue"), "4");
}

// Regression: a step edit that was no number left the highest step of the larger count.
TEST_F(FormTest, FewerEpcStepsLowerTheMaximumPowerStepsUpToAnEditThatIsNoNumber) {
    Start(2);
    ChooseMode("Test");
    SetText("ed_EPCMaxPwrStepOneMbitS", "7");
    SetText("ed_EPCMaxPwrStepTwoMbitS", "x");
    SetText("ed_EPCMaxPwrStepThreeMbitS", "7");
    EXPECT_EQ(AnswerBoxes([this] { Slide("tb_EPCPowerControlNOfSteps", 4); }),
              std::vector<QString>{"'x' is not a valid integer value"});
    EXPECT_EQ(Text("lbl_EPCPowerControlNOfStepsValue"), "4");
    EXPECT_EQ(Text("ed_EPCMaxPwrStepOneMbitS"), "3");
    EXPECT_EQ(Text("ed_EPCMaxPwrStepThreeMbitS"), "7");
    SetText("ed_EPCMaxPwrStepTwoMbitS", "2");
    SetText("ed_EPCMaxPwrStepThreeMbitS", "4");
    Phone().ClearLogs();
    Click("btn_BTDTest");
    ASSERT_EQ(ParameterErrors().size(), 1u);
    EXPECT_EQ(ParameterErrors()[0],
              "Parameter error:\nEPC 8DPSK (3 Mbit/s) max. power step above maximum (3)\n");
}

TEST_F(FormTest, ModesEnableOnlyTheirOwnControls) {
    Start(2);
    ChooseMode("RX CW");
    EXPECT_TRUE(Enabled("ed_RXChannel"));
    EXPECT_FALSE(Enabled("ed_TXChannel"));
    EXPECT_FALSE(Enabled("ed_BTAddress_0"));
    EXPECT_FALSE(Enabled("cb_PatternSelection"));
    ChooseMode("LE TX");
    EXPECT_TRUE(Enabled("ed_TXChannel"));
    EXPECT_TRUE(Enabled("ed_LeDataLength"));
    EXPECT_TRUE(Enabled("ed_LPCMaxPwrLvlOneMbitS"));
    EXPECT_FALSE(Enabled("ed_LPCMaxPwrLvlTwoMbitS"));
    ChooseMode("TX Burst");
    EXPECT_TRUE(Enabled("cb_PatternSelection"));
    EXPECT_FALSE(Enabled("ed_AFHChannel0_7"));
    EXPECT_FALSE(Enabled("chkbx_Offset"));
    EXPECT_FALSE(Enabled("tb_TxPowerCoarse"));
}

} // namespace
