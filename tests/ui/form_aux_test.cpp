// The firmware information box and the auxiliary page over the simulated phone.

#include "form_fixture.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST_F(FormTest, GetInformationShowsTheVersionPieces) {
    Phone().Chip().lumoraVersion = {0, 4, 6, 0, 2, 11, 9, 23, 4, 7};
    Start(2);
    ChooseMode("TX CW");
    EXPECT_TRUE(Enabled("ed_TXChannel"));
    Click("btn_GetInformation");
    EXPECT_EQ(Phone().LastCommand(), "at@bt:get_lumora_version()");
    EXPECT_EQ(W<QGroupBox>("gb_HWInfo")->title(), "Lumora universal");
    EXPECT_EQ(Text("lbl_LLMVersion"), "Hardware version:");
    EXPECT_EQ(Text("lbl_LBBVersion"), "Firmware version:");
    EXPECT_EQ(Text("lbl_LLMVersionValue"), "4.6");
    EXPECT_EQ(Text("lbl_LBBVersionValue"), "2.11");
    EXPECT_EQ(Text("lbl_FWBuildNoValue"), "Year: 2009 CW: 23 Build: 4");
    EXPECT_EQ(Text("lbl_FWPatchValue"), "7");
    EXPECT_EQ(Text("lbl_SerialInterfaceMode"), "UART");
    for (const char* name : {"lbl_FWBuildNo", "lbl_FWPatch", "lbl_FWBuildNoValue"})
        EXPECT_TRUE(Enabled(name)) << name;
    // The channel box waits for the next enabling pass.
    EXPECT_FALSE(Enabled("ed_TXChannel"));
}

TEST_F(FormTest, FailedGetInformationShowsNothing) {
    Start(0);
    Phone().InjectBinary({phonesim::Fault::ErrorCode, 5, "", {}, false},
                         atctst_bt_get_lumora_version);
    Click("btn_GetInformation");
    EXPECT_EQ(Text("lbl_LLMVersionValue"), "?");
    EXPECT_EQ(W<QGroupBox>("gb_HWInfo")->title(), "Lumora firmware information");
}

TEST_F(FormTest, PictureDoubleClickAsksForTheHardwareAgain) {
    Start(2);
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5),
                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(W("Image1"), &doubleClick);
    EXPECT_EQ(Phone().TextCount("at@bt:hw_info"), 2u);
}

TEST_F(FormTest, RssiOfHandle42SendsItsNibblesAndShowsTheSignedValue) {
    for (int kind : {2, 0}) {
        SCOPED_TRACE(kind);
        Start(kind);
        SetText("le_ConnectionHandle", "42");
        Click("btn_GetRSSI");
        if (kind == 2)
            EXPECT_EQ(Phone().LastCommand(), "at@bt:get_rssi_value({10,2})");
        else
            EXPECT_EQ(Phone().LastRequest(), (Bytes{1, 0x0A, 0x02}));
        EXPECT_EQ(Text("ed_ReadOutRSSI"), "-60");
        TearDown();
    }
}

TEST_F(FormTest, RssiWithoutAHandleShowsTheConversionBoxAndSendsNothing) {
    Start(2);
    Phone().ClearLogs();
    const std::vector<QString> boxes = AnswerBoxes([this] { Click("btn_GetRSSI"); });
    EXPECT_EQ(boxes, std::vector<QString>{"'' is not a valid integer value"});
    EXPECT_EQ(Phone().TextCount("at@bt:get_rssi_value"), 0u);
}

TEST_F(FormTest, TrimmingGetShowsHexOrDecimalAndTheUseFlag) {
    Phone().Chip().rtrimUseManual = 1;
    Phone().Chip().rtrimManual = 0x0B;
    Start(2);
    Click("btn_GetRTRIMValues");
    EXPECT_EQ(Text("ed_RTRIMFusedValue"), "17");
    EXPECT_EQ(Text("ed_RTRIMManualValue"), "0B");
    EXPECT_TRUE(W<QCheckBox>("chkbx_UseRTRIMManualValue")->isChecked());
    EXPECT_FALSE(W<QLineEdit>("ed_RTRIMManualValue")->isReadOnly());
    SetChecked("chkbx_RTRIMUseHex", false);
    Click("btn_GetRTRIMValues");
    EXPECT_EQ(Text("ed_RTRIMFusedValue"), "23");
    EXPECT_EQ(Text("ed_RTRIMManualValue"), "11");
}

TEST_F(FormTest, TmeasAboveFFKeepsAllItsHexDigits) {
    Phone().Chip().tmeasManual = 0x3FF;
    Start(0);
    Click("btn_GetTMEASValues");
    EXPECT_EQ(Text("ed_TMEASFusedValue"), "1F4");
    EXPECT_EQ(Text("ed_TMEASManualValue"), "3FF");
    EXPECT_FALSE(W<QCheckBox>("chkbx_UseTMEASManualValue")->isChecked());
    EXPECT_TRUE(W<QLineEdit>("ed_TMEASManualValue")->isReadOnly());
}

TEST_F(FormTest, KfreqIbiasdacAndVmeasGetFillTheirBoxes) {
    Phone().Chip().vmeasPropagation = 1;
    Start(2);
    Click("btn_GetKFREQIBIASDACValues");
    EXPECT_EQ(Text("ed_KFREQFusedValue"), "2A");
    EXPECT_EQ(Text("ed_IBIASDACFusedValue"), "0C");
    Click("btn_GetVMEASValues");
    EXPECT_EQ(Text("ed_VMEASFusedValue"), "5C");
    EXPECT_TRUE(W<QCheckBox>("chkbx_EnablePropagation")->isChecked());
}

TEST_F(FormTest, RtrimSetChecksTheManualValue) {
    Start(2);
    SetChecked("chkbx_UseRTRIMManualValue", true);
    EXPECT_FALSE(W<QLineEdit>("ed_RTRIMManualValue")->isReadOnly());
    SetText("ed_RTRIMManualValue", "1F");
    Click("btn_SetRTRIMManualValue");
    EXPECT_EQ(Phone().LastCommand(), "at@bt:set_rtrim_manual_values(1,31)");
    Phone().ClearLogs();
    SetText("ed_RTRIMManualValue", "20");
    Click("btn_SetRTRIMManualValue");
    EXPECT_EQ(ParameterErrors(),
              std::vector<std::string>{"Parameter error:RTRIM: Value above maximum (31)\n"});
    EXPECT_EQ(Phone().TextCount("at@bt:set_rtrim_manual_values"), 0u);
}

TEST_F(FormTest, UnusedManualValueIsSentAsZeroWithoutComplaint) {
    Start(0);
    SetChecked("chkbx_UseRTRIMManualValue", false);
    SetText("ed_RTRIMManualValue", "nonsense");
    Click("btn_SetRTRIMManualValue");
    EXPECT_EQ(Phone().LastRequest(), (Bytes{1, 0, 0}));
    EXPECT_TRUE(ParameterErrors().empty());
}

TEST_F(FormTest, IbiasdacAndKfreqMessagesShareOneLine) {
    Start(2);
    SetChecked("chkbx_KFREQIBIASDACUseHex", false);
    SetChecked("chkbx_UseIBIASDACManualValue", true);
    SetChecked("chkbx_UseKFREQManualValue", true);
    SetText("ed_IBIASDACManualValue", "300");
    SetText("ed_KFREQManualValue", "40");
    Click("btn_SetKFREQIBIASDACValues");
    EXPECT_EQ(ParameterErrors(), std::vector<std::string>{"Parameter error:IBIASDAC/KFREQ: Value "
                                                          "above maximum (255)\nValue above "
                                                          "maximum (31)\n"});
    SetText("ed_IBIASDACManualValue", "200");
    SetText("ed_KFREQManualValue", "31");
    Click("btn_SetKFREQIBIASDACValues");
    EXPECT_EQ(Phone().LastCommand(), "at@bt:set_kfreq_ibiasdac_manual_values(1,31,1,200)");
}

TEST_F(FormTest, TmeasAndVmeasSetSendTheirRecords) {
    Start(0);
    SetChecked("chkbx_UseTMEASManualValue", true);
    SetText("ed_TMEASManualValue", "3FF");
    Click("btn_SetTMEASValues");
    EXPECT_EQ(Phone().LastRequest(), (Bytes{1, 0, 1, 0, 0xFF, 0x03}));
    SetChecked("chkbx_UseVMEASManualValue", true);
    SetChecked("chkbx_EnablePropagation", true);
    SetText("ed_VMEASManualValue", "05");
    Click("btn_SetVMEASValues");
    EXPECT_EQ(Phone().BinaryLog().back().function, atctst_bt_set_voltage_values);
    EXPECT_EQ(Phone().LastRequest(), (Bytes{1, 1, 1, 5}));
    SetText("ed_TMEASManualValue", "400");
    Click("btn_SetTMEASValues");
    EXPECT_EQ(ParameterErrors(),
              std::vector<std::string>{"Parameter error:TMEAS: Value above maximum (1023)\n"});
}

TEST_F(FormTest, InterfacesSetNeedsAllThreeSelections) {
    Start(2);
    Select("cb_PCMInterfaceConnectionType", -1);
    Select("cb_UARTInterfaceConnectionType", -1);
    Select("cb_WakeUpInterfaceConnectionType", -1);
    Phone().ClearLogs();
    Click("btn_PcmUartWakeupInterfaceSet");
    EXPECT_EQ(ParameterErrors(),
              std::vector<std::string>{"Parameter error:"
                                       "\nPCM Interface: Please select connnection type\n"
                                       "\nUART Interface: Please select connection type\n"
                                       "\nWake-up signal interface: Please select connection "
                                       "type\n"});
    EXPECT_TRUE(Phone().TextLog().empty());
    Select("cb_PCMInterfaceConnectionType", 1);
    Select("cb_UARTInterfaceConnectionType", 0);
    Select("cb_WakeUpInterfaceConnectionType", 1);
    Click("btn_PcmUartWakeupInterfaceSet");
    EXPECT_EQ(Phone().LastCommand(), "at@bt:set_pcm_uart_wakeup_interface(1,0,1)");
    EXPECT_EQ(Phone().Chip().pcm, 1u);
    EXPECT_EQ(Phone().Chip().wakeup, 1u);
}

TEST_F(FormTest, InterfacesGetSelectsTheReportedTypes) {
    Phone().Chip().pcm = 1;
    Phone().Chip().uart = 0;
    Phone().Chip().wakeup = 1;
    Start(2);
    // Start-up with the chip on already read them.
    EXPECT_EQ(W<QComboBox>("cb_PCMInterfaceConnectionType")->currentIndex(), 1);
    EXPECT_EQ(W<QComboBox>("cb_UARTInterfaceConnectionType")->currentIndex(), 0);
    Phone().Chip().uart = 5;
    Click("btn_PCMInterfaceGet");
    EXPECT_EQ(W<QComboBox>("cb_UARTInterfaceConnectionType")->currentIndex(), -1);
    EXPECT_EQ(W<QComboBox>("cb_WakeUpInterfaceConnectionType")->currentIndex(), 1);
}

TEST_F(FormTest, LoopbackOnSendsTheSelectedTypeAndOffSendsZero) {
    Start(0);
    EXPECT_EQ(W<QComboBox>("cb_PCMLoopbackSelectionType")->currentText(), "Air->Air");
    Select("cb_PCMLoopbackSelectionType", 1);
    Click("btn_PCMLoopbackOn");
    EXPECT_EQ(Phone().BinaryLog().back().function, atctst_bt_set_pcm_loopback);
    EXPECT_EQ(Phone().LastRequest(), (Bytes{1, 2}));
    EXPECT_EQ(Phone().Chip().loopback, 2u);
    Click("btn_PCMLoopbackOff");
    EXPECT_EQ(Phone().LastRequest(), (Bytes{1, 0}));
}

TEST_F(FormTest, RefusedAuxiliaryRecordsDisableTheirBoxes) {
    Phone().SetTextVersions(GET_RTRIM_VALUES, 1, 2);
    Phone().SetTextVersions(GET_PCM_UART_WAKEUP_INTERFACE_STATUS, 1, 3);
    Phone().SetTextVersions(GET_RSSI_VALUE, 4, 5);
    Start(2);
    const std::vector<std::string> errors = ParameterErrors();
    for (const char* line :
         {"Parameter error:\nUnknown data version. T_BT_GET_RTRIM_VALUES_CON = 2",
          "Parameter error:T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON. Unknown version "
          "retrieved = 3",
          "Parameter error:\nUnknown data version. T_BT_GET_RSSI_VALUE_CON = 5"
          "\nUnknown data version. T_BT_GET_RSSI_VALUE_REQ = 4"}) {
        EXPECT_EQ(std::count(errors.begin(), errors.end(), line), 1) << line;
    }
    for (const char* name :
         {"btn_GetRTRIMValues", "ed_RTRIMManualValue", "btn_PCMInterfaceGet",
          "cb_PCMInterfaceConnectionType", "btn_GetRSSI", "le_ConnectionHandle"}) {
        EXPECT_FALSE(Enabled(name)) << name;
    }
    EXPECT_EQ(W<QComboBox>("cb_PCMInterfaceConnectionType")->count(), 0);
    EXPECT_TRUE(Enabled("btn_GetTMEASValues"));
}

TEST_F(FormTest, HostInterfaceCheckReportsOnlyWhereThePhoneCanCheck) {
    Start(0);
    Click("btn_CheckHostInterface");
    EXPECT_EQ(Text("lbl_CheckHostInterfaceResult"), "OK.");
    Click("btn_CheckSleepXSignal");
    EXPECT_EQ(Text("lbl_CheckSleepXSignalResult"), "Ok.");
    TearDown();
    Start(2);
    Click("btn_CheckHostInterface");
    EXPECT_EQ(Text("lbl_CheckHostInterfaceResult"), "?");
}

} // namespace
