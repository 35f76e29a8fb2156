// The firmware information box and the auxiliary page: RSSI, the four trimming boxes,
// the interface settings and PCM loopback.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <cstring>

#include "bt/ibluetooth.h"
#include "plugin/plugin.h"
#include "ui/form_util.h"
#include "ui/main.h"
#include "ui/rules.h"
#include "util/util.h"

using ui::kVersion;
using ui::Q;
using ui::WaitCursor;

namespace {

// The boxes whose controls follow one record version.
struct AuxiliaryBox {
    const char* box;
    T_ATCTST_BT_FUNCTION function;
    bool confirm; // the confirm record's version decides, else the request's
    const char* refusal;
};
const AuxiliaryBox kAuxiliaryBoxes[] = {
    {"gb_PCMLoopBack", atctst_bt_set_pcm_loopback, false,
     "\nUnknown data version. T_BT_SET_PCM_LOOPBACK_REQ = "},
    {"gb_ConnectionType", atctst_bt_get_pcm_uart_wakeup_interface_status, true,
     "T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON. Unknown version retrieved = "},
    {"gb_RTRIMFuse", atctst_bt_get_rtrim_values, true,
     "\nUnknown data version. T_BT_GET_RTRIM_VALUES_CON = "},
    {"gb_IBIASDAC_KFREQ_Fuse", atctst_bt_get_kfreq_ibiasdac_values, true,
     "\nUnknown data version. T_BT_GET_KFREQ_IBIASDAC_VALUES_CON = "},
    {"gb_VMEASFuse", atctst_bt_get_voltage_values, true,
     "\nUnknown data version. T_BT_GET_VOLTAGE_VALUES_CON = "},
    {"gb_TMEASFuse", atctst_bt_get_temperature_values, true,
     "\nUnknown data version. T_BT_GET_TEMPERATURE_VALUES_CON = "},
};

// Manual edits and the check boxes that make them editable.
const char* const kManualEdits[][2] = {
    {"ed_RTRIMManualValue", "chkbx_UseRTRIMManualValue"},
    {"ed_IBIASDACManualValue", "chkbx_UseIBIASDACManualValue"},
    {"ed_KFREQManualValue", "chkbx_UseKFREQManualValue"},
    {"ed_VMEASManualValue", "chkbx_UseVMEASManualValue"},
    {"ed_TMEASManualValue", "chkbx_UseTMEASManualValue"},
};

const char* const kInterfaceLists[3] = {"cb_PCMInterfaceConnectionType",
                                        "cb_UARTInterfaceConnectionType",
                                        "cb_WakeUpInterfaceConnectionType"};

} // namespace

void Tfrm_main::SetUpAuxiliaryBox(const char* name, bool atStartUp) {
    for (const AuxiliaryBox& box : kAuxiliaryBoxes) {
        if (std::strcmp(box.box, name) != 0) continue;
        SetChildrenEnabled(C(box.box), false);
        const uint8_t version = box.confirm ? ConVersion(box.function) : ReqVersion(box.function);
        if (version != 1) {
            if (atStartUp) LogParameterError(box.refusal + std::to_string(version));
            return;
        }
        SetChildrenEnabled(C(box.box), btOn);
        if (!atStartUp) break;
        if (std::strcmp(name, "gb_PCMLoopBack") == 0) {
            auto* list = C<QComboBox>("cb_PCMLoopbackSelectionType");
            list->addItem("Air->Air", 1);
            list->addItem("PCM->PCM", 2);
            list->setCurrentIndex(0);
        } else if (std::strcmp(name, "gb_ConnectionType") == 0) {
            for (const char* listName : kInterfaceLists) {
                auto* list = C<QComboBox>(listName);
                list->addItem("Internal connection", 0);
                list->addItem("External connection", 1);
                list->setCurrentIndex(-1);
            }
        }
        break;
    }
    ApplyManualEditStates();
}

void Tfrm_main::SetUpRssiBox(bool atStartUp) {
    SetChildrenEnabled(C("gb_RSSI"), false);
    std::string message;
    const uint8_t confirm = ConVersion(atctst_bt_get_rssi_value);
    if (confirm == 1)
        SetEnabled({"lbl_RSSI", "ed_ReadOutRSSI", "btn_GetRSSI"}, btOn);
    else
        message = "\nUnknown data version. T_BT_GET_RSSI_VALUE_CON = " + std::to_string(confirm);
    const uint8_t request = ReqVersion(atctst_bt_get_rssi_value);
    if (request == 1) {
        SetEnabled({"lbl_ConnectionHandle", "le_ConnectionHandle"}, btOn);
    } else {
        message += "\nUnknown data version. T_BT_GET_RSSI_VALUE_REQ = " + std::to_string(request);
    }
    if (atStartUp && !message.empty()) LogParameterError(message);
}

void Tfrm_main::SetUpAuxiliaryBoxes(bool atStartUp) {
    SetUpAuxiliaryBox("gb_RTRIMFuse", atStartUp);
    SetUpAuxiliaryBox("gb_IBIASDAC_KFREQ_Fuse", atStartUp);
    SetUpRssiBox(atStartUp);
    SetUpAuxiliaryBox("gb_VMEASFuse", atStartUp);
    SetUpAuxiliaryBox("gb_TMEASFuse", atStartUp);
    SetUpAuxiliaryBox("gb_ConnectionType", atStartUp);
    SetUpAuxiliaryBox("gb_PCMLoopBack", atStartUp);
}

void Tfrm_main::ApplyManualEditStates() {
    for (const auto& pair : kManualEdits)
        SetEditEditable(Edit(pair[0]), C<QCheckBox>(pair[1])->isChecked());
}

void Tfrm_main::HandleFailure(const T_Result& result, const char* box) {
    if (result.code != T_RESULT_VERSION_MISMATCH) return;
    if (box != nullptr) SetChildrenEnabled(C(box), false);
    LogParameterError(result.text);
}

void Tfrm_main::ShowTrimming(const char* edit, uint32_t value, bool hex) {
    const int8_t base = hex ? 16 : 10;
    Edit(edit)->setText(Q(NumberToText(value, base, ui::TrimmingHexWidth(value), false)));
}

// ---------------------------------------------------------------------------------------
// Firmware information

void Tfrm_main::btn_GetInformationClick() {
    SetChildrenEnabled(C("gb_Channel"), false);
    WaitCursor wait;
    T_BT_GET_LUMORA_VERSION_CON con{};
    const T_Result result = bluetooth->GetLumoraVersion(kVersion, &con);
    if (result.code != T_RESULT_OK) return;
    const uint8_t* v = con.version_info;
    C<QGroupBox>("gb_HWInfo")->setTitle("Lumora universal");
    auto* hardware = C<QLabel>("lbl_LLMVersion");
    hardware->setEnabled(true);
    hardware->setText("Hardware version:");
    auto* firmware = C<QLabel>("lbl_LBBVersion");
    firmware->setEnabled(true);
    firmware->setText("Firmware version:");
    SetEnabled({"lbl_FWBuildNo", "lbl_FWPatch", "lbl_FWBuildNoValue", "lbl_FWPatchValue"}, true);
    C<QLabel>("lbl_LLMVersionValue")->setText(QString("%1.%2").arg(v[1]).arg(v[2]));
    C<QLabel>("lbl_LBBVersionValue")->setText(QString("%1.%2").arg(v[4]).arg(v[5]));
    C<QLabel>("lbl_FWBuildNoValue")->setText(Q(ui::BuildText(v[6], v[7], v[8])));
    C<QLabel>("lbl_FWPatchValue")->setText(QString::number(v[9]));
    SetSerialInterfaceModeLabel();
}

void Tfrm_main::Image1DblClick() {
    WaitCursor wait;
    bluetooth->GetHwInfo(kVersion);
}

void Tfrm_main::btn_CheckHostInterfaceClick() {
    auto* label = C<QLabel>("lbl_CheckHostInterfaceResult");
    label->setText("?");
    uint8_t status = 0;
    if (!bluetooth->CheckHostInterface(&status)) return;
    label->setText(status != 0 ? "OK." : "Not OK!!!");
}

void Tfrm_main::btn_CheckSleepXSignalClick() {
    auto* label = C<QLabel>("lbl_CheckSleepXSignalResult");
    label->setText("?");
    uint8_t status = 0;
    if (!bluetooth->CheckSleepxSignal(&status)) return;
    label->setText(status == 1 ? "Ok." : " Not Ok!!!");
}

// ---------------------------------------------------------------------------------------
// RSSI

void Tfrm_main::btn_GetRSSIClick() {
    const std::optional<int32_t> handle = WholeNumber(Edit("le_ConnectionHandle"));
    if (!handle) return;
    T_BT_GET_RSSI_VALUE_REQ req{};
    ui::RssiRequestBytes(*handle, req.connection_handle);
    T_BT_GET_RSSI_VALUE_CON con{};
    const T_Result result = bluetooth->GetRssiValue(kVersion, req, &con);
    if (result.code == T_RESULT_OK) {
        SetEnabled({"lbl_RSSI", "ed_ReadOutRSSI", "btn_GetRSSI"}, btOn);
        Edit("ed_ReadOutRSSI")->setText(QString::number(con.rssi));
    } else if (result.code == T_RESULT_VERSION_MISMATCH) {
        SetEnabled({"lbl_RSSI", "ed_ReadOutRSSI", "btn_GetRSSI"}, false);
        LogParameterError(result.text);
    }
}

// ---------------------------------------------------------------------------------------
// Trimming

void Tfrm_main::btn_GetRTRIMValuesClick() {
    T_BT_GET_RTRIM_VALUES_CON con{};
    const T_Result result = bluetooth->GetRtrimValues(kVersion, &con);
    if (result.code != T_RESULT_OK) return HandleFailure(result, "gb_RTRIMFuse");
    SetChildrenEnabled(C("gb_RTRIMFuse"), btOn);
    const bool hex = C<QCheckBox>("chkbx_RTRIMUseHex")->isChecked();
    ShowTrimming("ed_RTRIMFusedValue", con.fused_value, hex);
    ShowTrimming("ed_RTRIMManualValue", con.manual_value, hex);
    C<QCheckBox>("chkbx_UseRTRIMManualValue")->setChecked(con.use_manual == 1);
    ApplyManualEditStates();
}

void Tfrm_main::btn_GetKFREQIBIASDACValuesClick() {
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON con{};
    const T_Result result = bluetooth->GetKfreqIbiasdacValues(kVersion, &con);
    if (result.code != T_RESULT_OK) return HandleFailure(result, "gb_IBIASDAC_KFREQ_Fuse");
    SetChildrenEnabled(C("gb_IBIASDAC_KFREQ_Fuse"), btOn);
    const bool hex = C<QCheckBox>("chkbx_KFREQIBIASDACUseHex")->isChecked();
    ShowTrimming("ed_IBIASDACFusedValue", con.fused_ibiasdac, hex);
    ShowTrimming("ed_IBIASDACManualValue", con.manual_ibiasdac, hex);
    ShowTrimming("ed_KFREQFusedValue", con.fused_kfreq, hex);
    ShowTrimming("ed_KFREQManualValue", con.manual_kfreq, hex);
    C<QCheckBox>("chkbx_UseIBIASDACManualValue")->setChecked(con.use_manual_ibiasdac == 1);
    C<QCheckBox>("chkbx_UseKFREQManualValue")->setChecked(con.use_manual_kfreq == 1);
    ApplyManualEditStates();
}

void Tfrm_main::btn_GetTMEASValuesClick() {
    T_BT_GET_TEMPERATURE_VALUES_CON con{};
    const T_Result result = bluetooth->GetTemperatureValues(kVersion, &con);
    if (result.code != T_RESULT_OK) return HandleFailure(result, "gb_TMEASFuse");
    SetChildrenEnabled(C("gb_TMEASFuse"), btOn);
    const bool hex = C<QCheckBox>("chkbx_TMEASUseHex")->isChecked();
    ShowTrimming("ed_TMEASFusedValue", con.fused_value, hex);
    ShowTrimming("ed_TMEASManualValue", con.manual_value, hex);
    C<QCheckBox>("chkbx_UseTMEASManualValue")->setChecked(con.use_manual == 1);
    ApplyManualEditStates();
}

void Tfrm_main::btn_GetVMEASValuesClick() {
    T_BT_GET_VOLTAGE_VALUES_CON con{};
    const T_Result result = bluetooth->GetVoltageValues(kVersion, &con);
    if (result.code != T_RESULT_OK) return HandleFailure(result, "gb_VMEASFuse");
    SetChildrenEnabled(C("gb_VMEASFuse"), btOn);
    const bool hex = C<QCheckBox>("chkbx_VMEASUseHex")->isChecked();
    ShowTrimming("ed_VMEASFusedValue", con.fused_value, hex);
    ShowTrimming("ed_VMEASManualValue", con.manual_value, hex);
    C<QCheckBox>("chkbx_UseVMEASManualValue")->setChecked(con.use_manual == 1);
    C<QCheckBox>("chkbx_EnablePropagation")->setChecked(con.propagation == 1);
    ApplyManualEditStates();
}

namespace {

struct Manual {
    uint8_t use = 0;
    uint32_t value = 0;
};

Manual CheckManual(std::string& message, const std::string& text, bool use, bool hex,
                   uint32_t maximum) {
    const ui::Checked checked = ui::CheckManualValue(text, use, hex, maximum);
    message += checked.message;
    return {static_cast<uint8_t>(use ? 1 : 0),
            checked.ok() ? static_cast<uint32_t>(checked.value) : 0};
}

} // namespace

void Tfrm_main::btn_SetRTRIMManualValueClick() {
    std::string message;
    const Manual rtrim = CheckManual(message, Text("ed_RTRIMManualValue"),
                                     C<QCheckBox>("chkbx_UseRTRIMManualValue")->isChecked(),
                                     C<QCheckBox>("chkbx_RTRIMUseHex")->isChecked(), 31);
    if (!message.empty()) return LogParameterError("RTRIM: " + message);
    T_BT_SET_RTRIM_MANUAL_VALUE_REQ req{rtrim.use, static_cast<uint8_t>(rtrim.value)};
    HandleFailure(bluetooth->SetRtrimManualValues(kVersion, req), nullptr);
}

void Tfrm_main::btn_SetKFREQIBIASDACManualValueClick() {
    std::string message;
    const Manual ibiasdac =
        CheckManual(message, Text("ed_IBIASDACManualValue"),
                    C<QCheckBox>("chkbx_UseIBIASDACManualValue")->isChecked(),
                    C<QCheckBox>("chkbx_KFREQIBIASDACUseHex")->isChecked(), 255);
    const Manual kfreq = CheckManual(message, Text("ed_KFREQManualValue"),
                                     C<QCheckBox>("chkbx_UseKFREQManualValue")->isChecked(),
                                     C<QCheckBox>("chkbx_KFREQIBIASDACUseHex")->isChecked(), 31);
    if (!message.empty()) return LogParameterError("IBIASDAC/KFREQ: " + message);
    T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ req{kfreq.use, static_cast<uint8_t>(kfreq.value),
                                                  ibiasdac.use,
                                                  static_cast<uint8_t>(ibiasdac.value)};
    HandleFailure(bluetooth->SetKfreqIbiasdacManualValues(kVersion, req), nullptr);
}

void Tfrm_main::btn_SetTMEASManualValueClick() {
    std::string message;
    const Manual tmeas = CheckManual(message, Text("ed_TMEASManualValue"),
                                     C<QCheckBox>("chkbx_UseTMEASManualValue")->isChecked(),
                                     C<QCheckBox>("chkbx_TMEASUseHex")->isChecked(), 1023);
    if (!message.empty()) return LogParameterError("TMEAS: " + message);
    T_BT_SET_TEMPERATURE_VALUES_REQ req{tmeas.use, static_cast<uint16_t>(tmeas.value)};
    HandleFailure(bluetooth->SetTemperatureValues(kVersion, req), nullptr);
}

void Tfrm_main::btn_SetVMEASManualValueClick() {
    std::string message;
    const Manual vmeas = CheckManual(message, Text("ed_VMEASManualValue"),
                                     C<QCheckBox>("chkbx_UseVMEASManualValue")->isChecked(),
                                     C<QCheckBox>("chkbx_VMEASUseHex")->isChecked(), 31);
    if (!message.empty()) return LogParameterError("VMEAS: " + message);
    const uint8_t propagation = C<QCheckBox>("chkbx_EnablePropagation")->isChecked() ? 1 : 0;
    T_BT_SET_VOLTAGE_VALUES_REQ req{vmeas.use, propagation, static_cast<uint8_t>(vmeas.value)};
    HandleFailure(bluetooth->SetVoltageValues(kVersion, req), nullptr);
}

// ---------------------------------------------------------------------------------------
// Interfaces and loopback

void Tfrm_main::btn_PcmUartWakeupInterfaceSetClick() {
    auto* pcm = C<QComboBox>(kInterfaceLists[0]);
    auto* uart = C<QComboBox>(kInterfaceLists[1]);
    auto* wakeup = C<QComboBox>(kInterfaceLists[2]);
    const std::string message = ui::InterfaceSelectionMessages(
        GetSelectedObject(pcm).isValid() ? 0 : -1, GetSelectedObject(uart).isValid() ? 0 : -1,
        GetSelectedObject(wakeup).isValid() ? 0 : -1);
    if (!message.empty()) return LogParameterError(message);
    T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ req{GetSelectedObject(pcm).toUInt(),
                                               GetSelectedObject(uart).toUInt(),
                                               GetSelectedObject(wakeup).toUInt()};
    HandleFailure(bluetooth->SetPcmUartWakeupInterface(kVersion, req), nullptr);
}

void Tfrm_main::btn_PCMUARTWAKEUPInterfaceGetClick() {
    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON con{};
    const T_Result result = bluetooth->GetPcmUartWakeupInterfaceStatus(kVersion, &con);
    if (result.code != T_RESULT_OK) return HandleFailure(result, "gb_ConnectionType");
    SetChildrenEnabled(C("gb_ConnectionType"), btOn);
    const uint32_t values[3] = {con.pcm, con.uart, con.wakeup};
    for (int i = 0; i < 3; ++i) {
        auto* list = C<QComboBox>(kInterfaceLists[i]);
        list->setCurrentIndex(
            values[i] < static_cast<uint32_t>(list->count()) ? static_cast<int>(values[i]) : -1);
    }
}

void Tfrm_main::btn_PCMLoopbackOnClick() {
    const QVariant type = GetSelectedObject(C<QComboBox>("cb_PCMLoopbackSelectionType"));
    T_BT_SET_PCM_LOOPBACK_REQ req{type.isValid() ? type.toUInt() : 0};
    HandleFailure(bluetooth->SetPcmLoopback(kVersion, req), nullptr);
}

void Tfrm_main::btn_PCMLoopbackOffClick() {
    T_BT_SET_PCM_LOOPBACK_REQ req{0};
    HandleFailure(bluetooth->SetPcmLoopback(kVersion, req), nullptr);
}
