// One press of a button after the operator set some controls, and exactly what it makes:
// the text commands or binary records the phone receives, the "Parameter error:" line,
// the boxes, the log and what the page shows and marks afterwards.

#include "form_fixture.h"

namespace {

struct Press {
    const char* name;
    const char* input; // "control=value;..." set in this order before the press
    const char* button;
    std::string lines;   // text protocol: the commands of the press, one a line
    int function;        // binary protocol: the test function of the press's records
    std::string records; // their request bytes in hex, ";" between records
    std::string error;   // the press's one "Parameter error:" line
    // "control=text;..." shown afterwards, "box=" and "log=" lines, "marked=" and "plain="
    // controls (blank-separated)
    const char* after;
};

// The unused bytes of an HCI request, `count` times.
std::string Zeros(const char* zero, int count) {
    return QString(zero).repeated(count).toStdString();
}

const char* const kTest = "btn_BTDTest";
const char* const kWrite = "btn_WriteToNVM";
// The address shown after start-up, read from the phone, is 00 1A 7D DA 71 13.
const Press kPresses[] = {
    {"TestMode",
     "mode=Test;ed_BTAddress_5=14;tb_EPCPowerControlNOfSteps=8;tb_EPCPowerControlStepSize=3;"
     "tb_LPCPowerControlNOfSteps=10;tb_LPCPowerControlStepSize=5;ed_EPCMaxPwrLvlOneMbitS=-5;"
     "ed_EPCMaxPwrLvlTwoMbitS=4;ed_EPCMaxPwrLvlThreeMbitS=3;ed_EPCMaxPwrStepOneMbitS=6;"
     "ed_EPCMaxPwrStepTwoMbitS=5;ed_EPCMaxPwrStepThreeMbitS=4;ed_LPCMaxPwrLvlOneMbitS=9;"
     "ed_LPCMaxPwrLvlTwoMbitS=7;ed_LPCMaxPwrLvlThreeMbitS=-35;ed_BRSubStates=2;ed_LE=-1",
     kTest, "at@bt:set_rf_test_mode({0,26,125,218,113,20},8,3,6,5,4,10,5,-5,4,3,9,7,-35,2,-1)",
     atctst_bt_set_rf_test_mode,
     "01 00 1A 7D DA 71 14 FB 04 03 08 03 06 05 04 09 07 DD 0A 05 02 FF"},
    {"TxBurstSendsTheDefaultMapWithoutHopping",
     "mode=TX Burst;tb_LPCPowerControlNOfSteps=8;tb_LPCPowerControlStepSize=6;tb_PowerLevel=3;"
     "ed_TXChannel=5;cb_PatternSelection=1;cb_PacketType=2;cb_TXInterval=4;chkbx_Whitening=1;"
     "ed_AFHChannel0_7=01;ed_LPCMaxPwrLvlOneMbitS=10;ed_LPCMaxPwrLvlTwoMbitS=8;"
     "ed_LPCMaxPwrLvlThreeMbitS=8",
     kTest,
     "at@bt:set_tx_burst_mode({0,26,125,218,113,19},5,3,0,51,10,0,1,8,6,"
     "{247,255,255,255,255,255,255,255,255,255},10,8,8,2)",
     atctst_bt_set_tx_burst_mode,
     "01 00 1A 7D DA 71 13 05 03 00 33 02 0A 00 F7 FF FF FF FF FF FF FF FF FF 01 0A 08 08 08 06"},
    {"TxBurstWithHoppingReadsTheMapInReverse",
     "mode=TX Burst;ed_TXChannel=0;cb_PatternSelection=5;cb_PacketType=8;cb_TXInterval=126;"
     "chkbx_Hopping=1;ed_AFHChannel0_7=01;ed_AFHChannel72_78=7f;ed_AFHChannel40_47=zz",
     kTest,
     "at@bt:set_tx_burst_mode({0,26,125,218,113,19},0,0,1,0,254,1,0,5,2,"
     "{127,255,255,255,0,255,255,255,255,1},0,-2,-4,8)",
     atctst_bt_set_tx_burst_mode,
     "01 00 1A 7D DA 71 13 00 00 01 00 08 FE 01 7F FF FF FF 00 FF FF FF FF 01 00 00 FE FC 05 02"},
    {"TxContinuous",
     "mode=TX CW;ed_TXChannel=10;tb_TxPowerCoarse=3;tb_TxPowerFine=2;cb_PatternSelection=5;"
     "cb_ModulationType=2",
     kTest, "at@bt:set_tx_continuous_mode(10,3,2,1,0,2)", atctst_bt_set_tx_continuous_mode,
     "01 0A 03 02 01 00 02"},
    {"TxContinuousWithoutModulationNeedsNoPattern", "mode=TX CW;ed_TXChannel=1;cb_ModulationType=0",
     kTest, "at@bt:set_tx_continuous_mode(1,7,4,0,0,0)"},
    {"RxContinuous", "mode=RX CW;ed_RXChannel=78", kTest, "at@bt:set_rx_continuous_mode(78)",
     atctst_bt_set_rx_continuous_mode, "01 4E", "", "lbl_RxChannelMhz=2480 Mhz"},
    {"LeTx",
     "mode=LE TX;ed_TXChannel=20;ed_LeDataLength=37;ed_LPCMaxPwrLvlOneMbitS=-35;"
     "cb_LePatternSelection=3",
     kTest, "at@bt:set_tx_le_mode(20,37,-35,3)", atctst_bt_set_tx_le_mode, "01 14 25 DD 03"},
    {"LeRxStart", "mode=LE RX;ed_RXChannel=12", kTest, "at@bt:rx_le_start(12)",
     atctst_bt_rx_le_start, "01 0C"},
    {"TxBurstWithNothingSelectedLogsThreeMessagesInOneLine", "mode=TX Burst", kTest, "", 0, "",
     "Parameter error:\nData, Pattern selection: Please select a pattern\n"
     "\nData, Packet type: Please make a valid selection\n"
     "\nData, Tx Interval: No interval is selected\n"},
    {"OutOfRangeValuesAreCollectedInCheckOrder",
     "mode=Test;ed_LPCMaxPwrLvlOneMbitS=12.9;ed_EPCMaxPwrStepOneMbitS=300;ed_LE=-40;"
     "ed_BRSubStates=x",
     kTest, "", 0, "",
     "Parameter error:\nEPC GFSK (1 Mbit/s) max. power step above maximum (6)\n"
     "\nLPC GFSK (1 Mbit/s) power level above maximum (10)\n"
     "\n BR sub state. Default power level: Please enter a valid value\n"
     "\nLE. Default power level below minimum (-35)\n"},
    {"DecimalAddressThatIsNoNumberStopsThePress",
     "mode=Test;chkbx_BTAddressUseHex=0;ed_BTAddress_0=12;ed_BTAddress_1=?", kTest, "", 0, "", "",
     "box=Error|'?' is not a valid integer value"},
    {"GetInformation", "", "btn_GetInformation", "at@bt:get_lumora_version()", 0, "", "",
     "gb_HWInfo=Lumora universal;lbl_LLMVersion=Hardware version:;lbl_LLMVersionValue=6.0;"
     "lbl_LBBVersion=Firmware version:;lbl_LBBVersionValue=18.52;lbl_FWPatchValue=1;"
     "lbl_FWBuildNoValue=Year: 2002 CW: 0 Build: 0;lbl_SerialInterfaceMode=UART"},
    {"RtrimGetInDecimal", "chkbx_RTRIMUseHex=0", "btn_GetRTRIMValues", "at@bt:get_rtrim_values()",
     0, "", "", "ed_RTRIMFusedValue=23;ed_RTRIMManualValue=0"},
    {"TmeasGetKeepsEveryHexDigit", "", "btn_GetTMEASValues", "at@bt:get_temperature_values()", 0,
     "", "", "ed_TMEASFusedValue=1F4;ed_TMEASManualValue=00"},
    {"KfreqIbiasdacGet", "", "btn_GetKFREQIBIASDACValues", "at@bt:get_kfreq_ibiasdac_values()", 0,
     "", "", "ed_KFREQFusedValue=2A;ed_IBIASDACFusedValue=0C"},
    {"VmeasGet", "", "btn_GetVMEASValues", "at@bt:get_voltage_values()", 0, "", "",
     "ed_VMEASFusedValue=5C"},
    {"HciReset", "", "btn_BTDSwReset", "at@bt:reset()"},
    {"RssiOfHandle42", "le_ConnectionHandle=42", "btn_GetRSSI", "at@bt:get_rssi_value({10,2})",
     atctst_bt_get_rssi_value, "01 0A 02", "", "ed_ReadOutRSSI=-60"},
    {"RssiWithoutAHandle", "", "btn_GetRSSI", "", 0, "", "",
     "box=Error|'' is not a valid integer value"},
    {"RtrimSet", "chkbx_UseRTRIMManualValue=1;ed_RTRIMManualValue=1F", "btn_SetRTRIMManualValue",
     "at@bt:set_rtrim_manual_values(1,31)", atctst_bt_set_rtrim_manual_values, "01 01 1F"},
    {"RtrimAboveMaximum", "chkbx_UseRTRIMManualValue=1;ed_RTRIMManualValue=20",
     "btn_SetRTRIMManualValue", "", 0, "", "Parameter error:RTRIM: Value above maximum (31)\n"},
    {"UnusedManualValueIsSentAsZero", "ed_RTRIMManualValue=nonsense", "btn_SetRTRIMManualValue", "",
     atctst_bt_set_rtrim_manual_values, "01 00 00"},
    {"IbiasdacAndKfreqMessagesShareOneLine",
     "chkbx_KFREQIBIASDACUseHex=0;chkbx_UseIBIASDACManualValue=1;chkbx_UseKFREQManualValue=1;"
     "ed_IBIASDACManualValue=300;ed_KFREQManualValue=40",
     "btn_SetKFREQIBIASDACValues", "", 0, "",
     "Parameter error:IBIASDAC/KFREQ: Value above maximum (255)\nValue above maximum (31)\n"},
    {"IbiasdacAndKfreqSet",
     "chkbx_KFREQIBIASDACUseHex=0;chkbx_UseIBIASDACManualValue=1;chkbx_UseKFREQManualValue=1;"
     "ed_IBIASDACManualValue=200;ed_KFREQManualValue=31",
     "btn_SetKFREQIBIASDACValues", "at@bt:set_kfreq_ibiasdac_manual_values(1,31,1,200)"},
    {"TmeasSet", "chkbx_UseTMEASManualValue=1;ed_TMEASManualValue=3FF", "btn_SetTMEASValues", "",
     atctst_bt_set_temperature_values, "01 00 01 00 FF 03"},
    {"TmeasAboveMaximum", "chkbx_UseTMEASManualValue=1;ed_TMEASManualValue=400",
     "btn_SetTMEASValues", "", 0, "", "Parameter error:TMEAS: Value above maximum (1023)\n"},
    {"VmeasSet", "chkbx_UseVMEASManualValue=1;chkbx_EnablePropagation=1;ed_VMEASManualValue=05",
     "btn_SetVMEASValues", "", atctst_bt_set_voltage_values, "01 01 01 05"},
    {"InterfacesSetNeedsAllThreeSelections",
     "cb_PCMInterfaceConnectionType=-1;cb_UARTInterfaceConnectionType=-1;"
     "cb_WakeUpInterfaceConnectionType=-1",
     "btn_PcmUartWakeupInterfaceSet", "", 0, "",
     "Parameter error:\nPCM Interface: Please select connnection type\n"
     "\nUART Interface: Please select connection type\n"
     "\nWake-up signal interface: Please select connection type\n"},
    {"InterfacesSet",
     "cb_PCMInterfaceConnectionType=1;cb_UARTInterfaceConnectionType=0;"
     "cb_WakeUpInterfaceConnectionType=1",
     "btn_PcmUartWakeupInterfaceSet", "at@bt:set_pcm_uart_wakeup_interface(1,0,1)"},
    {"LoopbackOnSendsTheSelectedType", "cb_PCMLoopbackSelectionType=1", "btn_PCMLoopbackOn", "",
     atctst_bt_set_pcm_loopback, "01 02"},
    {"LoopbackOffSendsZero", "", "btn_PCMLoopbackOff", "", atctst_bt_set_pcm_loopback, "01 00", "",
     "cb_PCMLoopbackSelectionType=Air->Air"},
    {"HciHexWithBlanks", "memo_HCICommandSequence=01 03 0c 00", "btn_SendHCICommand",
     "at@bt:hci_command(4,{1,3,12,0" + Zeros(",0", 146) + "})", atctst_bt_hci_command,
     "01 04 01 03 0C" + Zeros(" 00", 147), "",
     "memo_HCICommandResponse=0E 04 01 03 0C 00 ;log=HCI repsonse: 0E 04 01 03 0C 00 "},
    {"HciDecimalWithCommas",
     "chkbx_HCICommandUseHex=0;separator=Comma;memo_HCICommandSequence=1, 3, 12, 0",
     "btn_SendHCICommand", "at@bt:hci_command(4,{1,3,12,0" + Zeros(",0", 146) + "})", 0, "", "",
     "memo_HCICommandResponse=14 4 1 3 12 0 "},
    {"HciBlanksOnlySendAnEmptyCommand", "memo_HCICommandSequence=   ", "btn_SendHCICommand",
     "at@bt:hci_command(0,{0" + Zeros(",0", 149) + "})", 0, "", "", "memo_HCICommandSequence="},
    {"HciRejectedSequenceSendsNothing", "chkbx_HCICommandUseHex=0;memo_HCICommandSequence= 1 1-2 3",
     "btn_SendHCICommand", "", 0, "", "",
     "box=Warning|Invalid DECIMAL value found in command sequence: 1-2\n\n"},
    // Binary NVM records: wire id, the data version of the value read, the value.
    {"NvmChangedFieldsAreWrittenOneByOne",
     "chkbx_NvmDataMode=1;ed_LPCMaxPwrLvlTwoMbitS=-5;tb_LPCPowerControlStepSize=4", kWrite,
     "at@bt:write_nvm_lpc_power_2mbps(-5)\nat@bt:write_nvm_lpc_pwrctrl_stepsize(4)",
     atctst_bt_write_to_nvm, "0A 01 FB 00 00 00 00 00;0D 01 04 00 00 00 00 00"},
    {"NvmMarkedAddressIsWrittenLast", "chkbx_NvmDataMode=1;ed_BTAddress_0=AA;ed_BRSubStates=-3",
     kWrite, "at@bt:write_nvm_br_pwr_level(-3)\nat@bt:write_nvm_bdaddr({170,26,125,218,113,19})",
     atctst_bt_write_to_nvm, "0E 01 FD 00 00 00 00 00;00 01 AA 1A 7D DA 71 13"},
    {"NvmMarkedAddressWaitsWhileAnotherFieldIsWrong",
     "chkbx_NvmDataMode=1;ed_BTAddress_0=AA;ed_LE=-36;ed_BRSubStates=-3", kWrite,
     "at@bt:write_nvm_br_pwr_level(-3)", atctst_bt_write_to_nvm, "0E 01 FD 00 00 00 00 00",
     "Parameter error:\nLE. Default power level below minimum (-35)\n"},
    {"NvmBadFieldsAreReportedInOrderAndOnlyTheGoodOnesWritten",
     "chkbx_NvmDataMode=1;ed_EPCMaxPwrLvlOneMbitS=12;ed_EPCMaxPwrStepTwoMbitS=7;editLpmDrift=ab;"
     "editUartInvert=300;editTxCurrent=65536;editRssiMin=3.9;editInputFreq=4294967295",
     kWrite, "at@bt:write_nvm_input_freq(4294967295)\nat@bt:write_nvm_rssi_min(3)", 0, "",
     "Parameter error:\nEPC GFSK (1 Mbit/s) max. power level above maximum (10)\n"
     "\nEPC Pi/4-DQPSK (2 Mbit/s) max. power step above maximum (6)\n"
     "\n Lpm drift: Please enter a valid value\n\nUart invert above maximum (255)\n"
     "\nTx current above maximum (65535)\n"},
    {"NvmLmpFeaturesAreWrittenTogetherAfterTheRfPage",
     "chkbx_NvmDataMode=1;editLmpVersion=10;editLmpFeatures7=1;ed_LE=-2", kWrite,
     "at@bt:write_nvm_le_pwr_level(-2)\n"
     "at@bt:write_nvm_lmp_features({191,254,207,254,219,255,123,1})\n"
     "at@bt:write_nvm_lmp_version(10)"},
    {"NvmLmpByteThatIsNoNumberStopsThePressAtItsTurn",
     "chkbx_NvmDataMode=1;ed_BTAddress_0=AA;ed_BRSubStates=-3;ed_LE=-36;editLmpFeatures2=x;"
     "editLmpVersion=10",
     kWrite, "at@bt:write_nvm_br_pwr_level(-3)", 0, "",
     "Parameter error:\nLE. Default power level below minimum (-35)\n",
     "box=Error|'x' is not a valid integer value;plain=ed_BRSubStates ed_LE;"
     "marked=editLmpFeatures2 editLmpVersion ed_BTAddress_0"},
    {"NvmWriteAllWithABadFieldWritesNothing",
     "chkbx_NvmDataMode=1;editUartInvert=300;editRssiMin=-80", "btnWriteAllNvm", "", 0, "",
     "Parameter error:\nUart invert above maximum (255)\n"},
};

void PrintTo(const Press& press, std::ostream* os) {
    *os << press.name;
}

class Presses : public FormTest, public testing::WithParamInterface<Press> {};

// Each row runs over the text protocol when it names command lines or no binary records,
// and over the binary protocol when it names records.
TEST_P(Presses, ReachThePhoneExactly) {
    const Press& press = GetParam();
    for (int32_t kind : {2, 0}) {
        if (kind == 2 ? press.lines.empty() && !press.records.empty() : press.records.empty())
            continue;
        SetUp();
        Phone().Chip() = phonesim::DefaultChip();
        Start(kind);
        Apply(press.input);
        Phone().ClearLogs();
        host.ClearLog();
        const Texts boxes = Dialogs([&] { Click(press.button); });
        QStringList sent, expected = Split(QString::fromStdString(press.lines), '\n');
        for (const auto& record : Phone().TextLog())
            if (record.command.rfind("at@bt:get_opcode_version", 0) != 0)
                sent.push_back(QString::fromStdString(record.command));
        if (kind == 0) {
            expected = Split(QString::fromStdString(press.records));
            for (const auto& record : Phone().BinaryLog()) {
                if (record.function == atctst_bt_get_opcode_version) continue;
                EXPECT_EQ(record.function, press.function);
                QStringList bytes;
                for (uint8_t byte : record.request)
                    bytes.push_back(QString("%1").arg(byte, 2, 16, QChar('0')).toUpper());
                sent.push_back(bytes.join(' '));
            }
        }
        EXPECT_EQ(sent, expected) << kind;
        EXPECT_EQ(ParameterErrors(), press.error.empty() ? Strings() : Strings{press.error});
        Texts expectedBoxes;
        for (const QString& entry : Split(press.after)) {
            if (entry.startsWith("box="))
                expectedBoxes.push_back(entry.mid(4));
            else if (entry.startsWith("marked=") || entry.startsWith("plain="))
                for (const QString& name : Split(entry.section('=', 1), ' '))
                    EXPECT_EQ(Marked(name), entry[0] == 'm') << name.toStdString();
            else if (entry.startsWith("log="))
                EXPECT_TRUE(host.HasLine(entry.mid(4).toStdString(), 1)) << entry.toStdString();
            else
                ExpectShown(entry);
        }
        EXPECT_EQ(boxes, expectedBoxes);
    }
}

INSTANTIATE_TEST_SUITE_P(Form, Presses, testing::ValuesIn(kPresses),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
