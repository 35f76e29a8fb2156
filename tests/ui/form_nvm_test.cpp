// The NVM parameter page over the simulated phone, with both protocols.

#include "form_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kReadFailedLine =
    "Unknown version of data retrieved for following NVM parameter(s):\n";

class NvmPage : public FormTest {
protected:
    void StartInNvmMode(int32_t kind) {
        Start(kind);
        SetChecked("chkbx_NvmDataMode", true);
        Phone().ClearLogs();
        host.ClearLog();
    }
    // The text commands received, without the record-version queries.
    std::vector<std::string> Commands() {
        std::vector<std::string> commands;
        for (const auto& record : Phone().TextLog()) {
            if (record.command.rfind("at@bt:get_opcode_version", 0) != 0)
                commands.push_back(record.command);
        }
        return commands;
    }
    std::vector<std::string> LinesStartingWith(const std::string& prefix) const {
        std::vector<std::string> lines;
        for (const auto& line : host.Log())
            if (line.text.rfind(prefix, 0) == 0) lines.push_back(line.text);
        return lines;
    }
};

class NvmBothProtocols : public NvmPage, public testing::WithParamInterface<int32_t> {
protected:
    bool TextProtocol() const { return GetParam() == 2; }
};

TEST_P(NvmBothProtocols, StartUpShowsTheChipsValuesUnmarked) {
    StartInNvmMode(GetParam());
    EXPECT_EQ(Text("ed_BTAddress_1"), "1A");
    EXPECT_EQ(Text("ed_EPCMaxPwrLvlOneMbitS"), "4");
    EXPECT_EQ(Text("ed_EPCMaxPwrLvlThreeMbitS"), "-2");
    EXPECT_EQ(Text("ed_LPCMaxPwrLvlThreeMbitS"), "-4");
    EXPECT_EQ(Text("ed_BRSubStates"), "4");
    EXPECT_EQ(W<QSlider>("tb_EPCPowerControlNOfSteps")->value(), 7);
    EXPECT_EQ(W<QSlider>("tb_LPCPowerControlStepSize")->value(), 2);
    EXPECT_FALSE(Marked(W("ed_EPCMaxPwrLvlOneMbitS")));
    EXPECT_FALSE(Marked(W("lbl_EPCPowerControlNOfStepsValue")));
    EXPECT_TRUE(Enabled("ed_LE"));
    if (TextProtocol()) {
        EXPECT_EQ(Text("editRssiMin"), "-90");
        EXPECT_EQ(Text("editInputFreq"), "26000000");
        EXPECT_EQ(Text("editLmpFeatures0"), "191");
        EXPECT_EQ(Text("editTxCurrent"), "32000");
        EXPECT_TRUE(Enabled("editUartInvert"));
    }
}

TEST_P(NvmBothProtocols, AboveMaximumIsLoggedAndNothingIsWrittenForIt) {
    StartInNvmMode(GetParam());
    SetText("ed_EPCMaxPwrLvlOneMbitS", "12");
    EXPECT_TRUE(Marked(W("ed_EPCMaxPwrLvlOneMbitS")));
    Click("btn_WriteToNVM");
    EXPECT_EQ(ParameterErrors(),
              std::vector<std::string>{
                  "Parameter error:\nEPC GFSK (1 Mbit/s) max. power level above maximum (10)\n"});
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_write_to_nvm), 0u);
}

TEST_P(NvmBothProtocols, OneChangedFieldWritesOneParameter) {
    StartInNvmMode(GetParam());
    SetText("ed_LPCMaxPwrLvlTwoMbitS", "-5");
    Click("btn_WriteToNVM");
    if (TextProtocol()) {
        EXPECT_EQ(Commands(), std::vector<std::string>{"at@bt:write_nvm_lpc_power_2mbps(-5)"});
    } else {
        ASSERT_EQ(Phone().BinaryLog().size(), 1u);
        EXPECT_EQ(Phone().BinaryLog()[0].function, atctst_bt_write_to_nvm);
        // Wire id 10, the data version of the value read, the value.
        EXPECT_EQ(Phone().LastRequest(), (Bytes{10, 1, 0xFB, 0, 0, 0, 0, 0}));
        EXPECT_EQ(Phone().Chip().nvm[BNPT_LPC_MAX_POWER_2MBPS][0], -5);
    }
    EXPECT_FALSE(Marked(W("ed_LPCMaxPwrLvlTwoMbitS")));
    EXPECT_TRUE(ParameterErrors().empty());
}

TEST_P(NvmBothProtocols, MarkedAddressIsWrittenLast) {
    StartInNvmMode(GetParam());
    SetText("ed_BTAddress_0", "AA");
    SetText("ed_BRSubStates", "-3");
    Click("btn_WriteToNVM");
    if (TextProtocol()) {
        EXPECT_EQ(Commands(),
                  (std::vector<std::string>{"at@bt:write_nvm_br_pwr_level(-3)",
                                            "at@bt:write_nvm_bdaddr({170,26,125,218,113,19})"}));
    } else {
        ASSERT_EQ(Phone().BinaryLog().size(), 2u);
        EXPECT_EQ(Phone().BinaryLog()[0].request, (Bytes{14, 1, 0xFD, 0, 0, 0, 0, 0}));
        EXPECT_EQ(Phone().BinaryLog()[1].request,
                  (Bytes{0, 1, 0xAA, 0x1A, 0x7D, 0xDA, 0x71, 0x13}));
    }
    EXPECT_FALSE(Marked(W("ed_BTAddress_0")));
}

TEST_P(NvmBothProtocols, MarkedAddressWaitsWhileAnotherFieldIsWrong) {
    StartInNvmMode(GetParam());
    SetText("ed_BTAddress_0", "AA");
    SetText("ed_LE", "-36");
    SetText("ed_BRSubStates", "-3");
    Click("btn_WriteToNVM");
    EXPECT_EQ(ParameterErrors(),
              std::vector<std::string>{
                  "Parameter error:\nLE. Default power level below minimum (-35)\n"});
    if (TextProtocol()) {
        EXPECT_EQ(Commands(), std::vector<std::string>{"at@bt:write_nvm_br_pwr_level(-3)"});
    } else {
        EXPECT_EQ(Phone().BinaryLog().size(), 1u);
    }
    EXPECT_TRUE(Marked(W("ed_BTAddress_0")));
}

TEST_P(NvmBothProtocols, TrackBarChangeIsWrittenAsItsPosition) {
    StartInNvmMode(GetParam());
    Slide("tb_LPCPowerControlStepSize", 4);
    EXPECT_TRUE(Marked(W("lbl_LPCPowerControlStepSizeValue")));
    Click("btn_WriteToNVM");
    if (TextProtocol()) {
        EXPECT_EQ(Commands(), std::vector<std::string>{"at@bt:write_nvm_lpc_pwrctrl_stepsize(4)"});
    } else {
        EXPECT_EQ(Phone().LastRequest(), (Bytes{13, 1, 4, 0, 0, 0, 0, 0}));
    }
    EXPECT_FALSE(Marked(W("lbl_LPCPowerControlStepSizeValue")));
}

TEST_P(NvmBothProtocols, GetterWithAnotherVersionDisablesItsBoxAndIsReportedOnce) {
    if (TextProtocol()) {
        Phone().InjectText({phonesim::Fault::MissingOk}, "at@bt:read_all_nvm_params");
    } else {
        Phone().Chip().wireVersion[14] = 2; // BR power level
        Phone().Chip().wireVersion[15] = 2; // LE power level
    }
    StartInNvmMode(GetParam());
    EXPECT_FALSE(Enabled("ed_BRSubStates"));
    EXPECT_FALSE(Enabled("ed_LE"));
    if (TextProtocol()) {
        EXPECT_FALSE(Enabled("ed_BTAddress_0"));
        EXPECT_FALSE(Enabled("editRssiMin"));
    } else {
        EXPECT_TRUE(Enabled("ed_BTAddress_0"));
        EXPECT_TRUE(Enabled("ed_EPCMaxPwrLvlOneMbitS"));
    }
    host.ClearLog();
    Click("btn_ReadFromNVM");
    const auto again = LinesStartingWith(kReadFailedLine);
    if (!TextProtocol()) {
        ASSERT_EQ(again.size(), 1u);
        EXPECT_EQ(again[0],
                  std::string(kReadFailedLine) +
                      "\nData version mismatch. NVM:BR power level: expected = 1, actual = 2"
                      "\nData version mismatch. NVM:LE power level: expected = 1, actual = 2");
    } else {
        // The fault was used up: the second read finds the values again.
        EXPECT_TRUE(again.empty());
        EXPECT_TRUE(Enabled("editRssiMin"));
    }
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, NvmBothProtocols, testing::Values(2, 0),
                         [](const testing::TestParamInfo<int32_t>& info) {
                             return info.param == 2 ? "Text" : "Binary";
                         });

struct MessageCase {
    const char* label;
    const char* edit;
    const char* text;
    const char* message;
};
void PrintTo(const MessageCase& c, std::ostream* os) {
    *os << c.label;
}

class NvmMessages : public NvmPage, public testing::WithParamInterface<MessageCase> {};

TEST_P(NvmMessages, BadEntryIsReportedAndNotWritten) {
    StartInNvmMode(2);
    SetText(GetParam().edit, GetParam().text);
    Click("btn_WriteToNVM");
    EXPECT_EQ(ParameterErrors(),
              std::vector<std::string>{std::string("Parameter error:") + GetParam().message});
    EXPECT_TRUE(Commands().empty());
}

INSTANTIATE_TEST_SUITE_P(
    NvmChecks, NvmMessages,
    testing::Values(MessageCase{"LettersInLpmDrift", "editLpmDrift", "ab",
                                "\n Lpm drift: Please enter a valid value\n"},
                    MessageCase{"UartInvertAboveMaximum", "editUartInvert", "300",
                                "\nUart invert above maximum (255)\n"},
                    MessageCase{"CurrentAbove16Bits", "editTxCurrent", "65536",
                                "\nTx current above maximum (65535)\n"},
                    MessageCase{"EpcStepAboveTheHighestStep", "ed_EPCMaxPwrStepTwoMbitS", "7",
                                "\nEPC Pi/4-DQPSK (2 Mbit/s) max. power step above maximum (6)\n"}),
    [](const testing::TestParamInfo<MessageCase>& info) { return info.param.label; });

TEST_F(NvmPage, FractionIsCutTowardZero) {
    StartInNvmMode(2);
    SetText("editRssiMin", "3.9");
    SetText("editInputFreq", "4294967295");
    Click("btn_WriteToNVM");
    EXPECT_EQ(Commands(), (std::vector<std::string>{"at@bt:write_nvm_input_freq(4294967295)",
                                                    "at@bt:write_nvm_rssi_min(3)"}));
}

TEST_F(NvmPage, LmpFeaturesAreWrittenTogetherBeforeTheOtherBoxFields) {
    StartInNvmMode(2);
    SetText("editLmpVersion", "10");
    SetText("editLmpFeatures7", "1");
    Click("btn_WriteToNVM");
    EXPECT_EQ(Commands(), (std::vector<std::string>{
                              "at@bt:write_nvm_lmp_features({191,254,207,254,219,255,123,1})",
                              "at@bt:write_nvm_lmp_version(10)"}));
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(Marked(W(("editLmpFeatures" + std::to_string(i)).c_str())));
}

TEST_F(NvmPage, WriteAllSendsEveryValueAndLeavesNoMarks) {
    // Regression: the three characters the operator may type also cut -128 read or stepped.
    Phone().Chip().nvm[BNPT_RSSI_THRESHOLD][0] = -128;
    StartInNvmMode(2);
    EXPECT_EQ(Text("editRssiThreshold"), "-128");
    SetText("editRssiMax", "-127");
    W("udRssiMax")->findChildren<QAbstractButton*>()[1]->click(); // down
    EXPECT_EQ(Text("editRssiMax"), "-128");
    SetText("editRssiMin", "-80");
    SetText("ed_EPCMaxPwrLvlOneMbitS", "5");
    Click("btnWriteAllNvm");
    EXPECT_EQ(Commands(),
              std::vector<std::string>{
                  "at@bt:write_all_nvm_params({0,26,125,218,113,19},291,26000000,"
                  "{191,254,207,254,219,255,123,135},1,3,250,8,9,5,2,-2,7,3,6,5,4,0,-2,-4,5,2,4,"
                  "-128,0,-80,-128,1,6,0,1,5,6,7,17,12,2,9,15,120,9000,32000,28000)"});
    EXPECT_FALSE(Marked(W("editRssiMin")));
    EXPECT_FALSE(Marked(W("ed_EPCMaxPwrLvlOneMbitS")));
}

TEST_F(NvmPage, WriteAllWithABadFieldWritesNothing) {
    StartInNvmMode(2);
    SetText("editUartInvert", "300");
    SetText("editRssiMin", "-80");
    Click("btnWriteAllNvm");
    EXPECT_EQ(ParameterErrors(),
              std::vector<std::string>{"Parameter error:\nUart invert above maximum (255)\n"});
    EXPECT_TRUE(Commands().empty());
    EXPECT_TRUE(Marked(W("editRssiMin")));
}

// Regression: a failed read-all left zeros on the page that "Write All" sent to the chip.
TEST_F(NvmPage, FailedReadAllIsReportedOnceKeepsEverythingDisabledAndWritesNothing) {
    Phone().InjectText({phonesim::Fault::MissingOk}, "at@bt:read_all_nvm_params");
    Start(2);
    const auto lines = LinesStartingWith(kReadFailedLine);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_GT(lines[0].size(), std::string(kReadFailedLine).size()) << "names no parameter";
    SetChecked("chkbx_NvmDataMode", true);
    Phone().ClearLogs();
    host.ClearLog();
    for (const char* name :
         {"ed_BTAddress_0", "ed_EPCMaxPwrLvlOneMbitS", "tb_LPCPowerControlNOfSteps", "ed_LE",
          "editRssiMin", "editLmpFeatures0"})
        EXPECT_FALSE(Enabled(name)) << name;
    Click("btnWriteAllNvm");
    EXPECT_EQ(ParameterErrors(),
              std::vector<std::string>{
                  "Parameter error:\nNVM parameters have not been read from the phone\n"});
    EXPECT_TRUE(Commands().empty());
    Click("btn_ReadFromNVM");
    EXPECT_TRUE(Enabled("editRssiMin"));
    Phone().ClearLogs();
    Click("btnWriteAllNvm");
    EXPECT_EQ(Phone().TextCount("at@bt:write_all_nvm_params"), 1u);
}

TEST_F(NvmPage, LegacyReadsEveryParameterOnceThenAnswersFromTheCacheUntilAWrite) {
    Start(0);
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_read_from_nvm), 16u);
    SetChecked("chkbx_NvmDataMode", true);
    Phone().ClearLogs();
    Click("btn_ReadFromNVM");
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_read_from_nvm), 0u);
    SetText("ed_LE", "-7");
    Click("btn_WriteToNVM");
    Click("btn_ReadFromNVM");
    EXPECT_EQ(Phone().BinaryCount(atctst_bt_read_from_nvm), 1u);
    EXPECT_EQ(Text("ed_LE"), "-7");
    EXPECT_FALSE(Marked(W("ed_LE")));
}

} // namespace
