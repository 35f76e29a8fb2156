#include "ui/page_aux.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "bt/ibluetooth.h"
#include "plugin/plugin.h"
#include "ui/form_context.h"
#include "ui/form_util.h"
#include "ui/rules.h"
#include "util/util.h"

namespace ui {

namespace {

struct Manual {
    uint8_t use = 0;
    uint32_t value = 0;
};

Manual CheckManual(std::string& message, const TrimControls& trim, const QCheckBox* hex,
                   uint32_t maximum) {
    const bool use = trim.useManual->isChecked();
    const Checked checked =
        CheckManualValue(trim.manual->text().toStdString(), use, hex->isChecked(), maximum);
    message += checked.message;
    return {static_cast<uint8_t>(use ? 1 : 0),
            checked.ok() ? static_cast<uint32_t>(checked.value) : 0};
}

} // namespace

AuxPage::AuxPage(FormContext& form, const FormControls& controls)
    : form_(form), h_(controls.header), c_(controls.aux), channelBox_(controls.rf.channel),
      boxes_{{
          {c_.loopback, atctst_bt_set_pcm_loopback, false,
           "\nUnknown data version. T_BT_SET_PCM_LOOPBACK_REQ = "},
          {c_.connection, atctst_bt_get_pcm_uart_wakeup_interface_status, true,
           "T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON. Unknown version retrieved = "},
          {c_.rtrimBox.box, atctst_bt_get_rtrim_values, true,
           "\nUnknown data version. T_BT_GET_RTRIM_VALUES_CON = "},
          {c_.kfreqBox.box, atctst_bt_get_kfreq_ibiasdac_values, true,
           "\nUnknown data version. T_BT_GET_KFREQ_IBIASDAC_VALUES_CON = "},
          {c_.vmeasBox.box, atctst_bt_get_voltage_values, true,
           "\nUnknown data version. T_BT_GET_VOLTAGE_VALUES_CON = "},
          {c_.tmeasBox.box, atctst_bt_get_temperature_values, true,
           "\nUnknown data version. T_BT_GET_TEMPERATURE_VALUES_CON = "},
      }} {
    auto click = [this](QAbstractButton* button, void (AuxPage::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };
    click(h_.getInformation, &AuxPage::GetInformationClick);
    h_.image->installEventFilter(this);
    click(c_.hostCheck, &AuxPage::CheckHostInterfaceClick);
    click(c_.sleepxCheck, &AuxPage::CheckSleepXSignalClick);
    click(c_.rssiGet, &AuxPage::GetRssiClick);
    click(c_.rtrimBox.get, &AuxPage::GetRtrimClick);
    click(c_.rtrimBox.set, &AuxPage::SetRtrimClick);
    click(c_.kfreqBox.get, &AuxPage::GetKfreqIbiasdacClick);
    click(c_.kfreqBox.set, &AuxPage::SetKfreqIbiasdacClick);
    click(c_.tmeasBox.get, &AuxPage::GetTmeasClick);
    click(c_.tmeasBox.set, &AuxPage::SetTmeasClick);
    click(c_.vmeasBox.get, &AuxPage::GetVmeasClick);
    click(c_.vmeasBox.set, &AuxPage::SetVmeasClick);
    // "Enable Propagation" shares the RTRIM box's handler.
    for (QCheckBox* box : {c_.rtrim.useManual, c_.propagation, c_.ibiasdac.useManual,
                           c_.kfreq.useManual, c_.tmeas.useManual, c_.vmeas.useManual})
        click(box, &AuxPage::ApplyManualEditStates);
    click(c_.interfaceSet, &AuxPage::SetInterfacesClick);
    click(c_.interfaceGet, &AuxPage::GetInterfaces);
    connect(c_.loopbackOn, &QAbstractButton::clicked, this, [this] {
        const QVariant type = GetSelectedObject(c_.loopbackType);
        SetLoopback(type.isValid() ? type.toUInt() : 0);
    });
    connect(c_.loopbackOff, &QAbstractButton::clicked, this, [this] { SetLoopback(0); });
}

bool AuxPage::eventFilter(QObject* watched, QEvent* event) {
    // A double click on the chip picture asks for the hardware information again.
    if (watched == h_.image && event->type() == QEvent::MouseButtonDblClick) {
        WaitCursor wait;
        form_.Bluetooth().GetHwInfo(kVersion);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
// Set-up and enabling

void AuxPage::SetUpBox(Box which, bool atStartUp) {
    const VersionedBox& box = boxes_[which];
    SetChildrenEnabled(box.box, false);
    const uint8_t version =
        box.confirm ? form_.ConVersion(box.function) : form_.ReqVersion(box.function);
    if (version != 1) {
        if (atStartUp) LogParameterError(box.refusal + std::to_string(version));
        return;
    }
    SetChildrenEnabled(box.box, form_.BtOn());
    if (atStartUp && which == Loopback) {
        c_.loopbackType->addItem("Air->Air", 1);
        c_.loopbackType->addItem("PCM->PCM", 2);
        c_.loopbackType->setCurrentIndex(0);
    } else if (atStartUp && which == Connection) {
        for (QComboBox* list : {c_.pcm, c_.uart, c_.wakeup}) {
            list->addItem("Internal connection", 0);
            list->addItem("External connection", 1);
            list->setCurrentIndex(-1);
        }
    }
    ApplyManualEditStates();
}

void AuxPage::SetUpRssiBox(bool atStartUp) {
    const bool on = form_.BtOn();
    SetChildrenEnabled(c_.rssi, false);
    std::string message;
    const uint8_t confirm = form_.ConVersion(atctst_bt_get_rssi_value);
    if (confirm == 1)
        EnableRssi(on);
    else
        message = "\nUnknown data version. T_BT_GET_RSSI_VALUE_CON = " + std::to_string(confirm);
    const uint8_t request = form_.ReqVersion(atctst_bt_get_rssi_value);
    if (request == 1) {
        c_.handleLabel->setEnabled(on);
        c_.handle->setEnabled(on);
    } else {
        message += "\nUnknown data version. T_BT_GET_RSSI_VALUE_REQ = " + std::to_string(request);
    }
    if (atStartUp && !message.empty()) LogParameterError(message);
}

void AuxPage::SetUpBoxes() {
    SetUpBox(Rtrim, false);
    SetUpBox(Kfreq, false);
    SetUpRssiBox(false);
    SetUpBox(Vmeas, false);
    SetUpBox(Tmeas, false);
    SetUpBox(Connection, false);
    SetUpBox(Loopback, false);
}

void AuxPage::HideChecks() {
    c_.hostCheckBox->setVisible(false);
    c_.sleepxBox->setVisible(false);
}

void AuxPage::EnableChecks(bool enabled) {
    c_.hostCheck->setEnabled(enabled);
    c_.sleepxCheck->setEnabled(enabled);
}

void AuxPage::ResetCheckLabels() {
    c_.hostCheckResult->setText("?");
    c_.sleepxResult->setText("?");
}

void AuxPage::EnableRssi(bool enabled) {
    c_.rssiLabel->setEnabled(enabled);
    c_.rssiValue->setEnabled(enabled);
    c_.rssiGet->setEnabled(enabled);
}

void AuxPage::ApplyManualEditStates() {
    for (const TrimControls* trim : {&c_.rtrim, &c_.ibiasdac, &c_.kfreq, &c_.vmeas, &c_.tmeas})
        SetEditEditable(trim->manual, trim->useManual->isChecked());
}

void AuxPage::HandleFailure(const T_Result& result, QGroupBox* box) {
    if (result.code != T_RESULT_VERSION_MISMATCH) return;
    if (box != nullptr) SetChildrenEnabled(box, false);
    LogParameterError(result.text);
}

void AuxPage::ShowTrimming(QLineEdit* edit, uint32_t value, bool hex) {
    const int8_t base = hex ? 16 : 10;
    edit->setText(Q(NumberToText(value, base, TrimmingHexWidth(value), false)));
}

void AuxPage::ShowTrimmings(const TrimControls& trim, uint32_t fused, uint32_t manual, uint8_t use,
                            bool hex) {
    ShowTrimming(trim.fused, fused, hex);
    ShowTrimming(trim.manual, manual, hex);
    trim.useManual->setChecked(use == 1);
}

// ---------------------------------------------------------------------------------------
// Firmware information and the checks

void AuxPage::SetSerialInterfaceModeLabel() {
    switch (form_.Bluetooth().GetHostInterface()) {
    case 0:
        h_.serialMode->setText("UART");
        c_.hostCheck->setEnabled(true);
        break;
    case 1:
        h_.serialMode->setText("BT-IF");
        c_.hostCheck->setEnabled(true);
        break;
    default:
        h_.serialMode->setText("?");
        break;
    }
}

void AuxPage::GetInformationClick() {
    SetChildrenEnabled(channelBox_, false);
    WaitCursor wait;
    T_BT_GET_LUMORA_VERSION_CON con{};
    const T_Result result = form_.Bluetooth().GetLumoraVersion(kVersion, &con);
    if (result.code != T_RESULT_OK) return;
    const uint8_t* v = con.version_info;
    h_.hwInfo->setTitle("Lumora universal");
    h_.llmVersion->setEnabled(true);
    h_.llmVersion->setText("Hardware version:");
    h_.lbbVersion->setEnabled(true);
    h_.lbbVersion->setText("Firmware version:");
    for (QLabel* label : {h_.buildNo, h_.patch, h_.buildNoValue, h_.patchValue})
        label->setEnabled(true);
    h_.llmVersionValue->setText(QString("%1.%2").arg(v[1]).arg(v[2]));
    h_.lbbVersionValue->setText(QString("%1.%2").arg(v[4]).arg(v[5]));
    h_.buildNoValue->setText(Q(BuildText(v[6], v[7], v[8])));
    h_.patchValue->setText(QString::number(v[9]));
    SetSerialInterfaceModeLabel();
}

void AuxPage::CheckHostInterfaceClick() {
    c_.hostCheckResult->setText("?");
    uint8_t status = 0;
    if (!form_.Bluetooth().CheckHostInterface(&status)) return;
    c_.hostCheckResult->setText(status != 0 ? "OK." : "Not OK!!!");
}

void AuxPage::CheckSleepXSignalClick() {
    c_.sleepxResult->setText("?");
    uint8_t status = 0;
    if (!form_.Bluetooth().CheckSleepxSignal(&status)) return;
    c_.sleepxResult->setText(status == 1 ? "Ok." : " Not Ok!!!");
}

// ---------------------------------------------------------------------------------------
// RSSI

void AuxPage::GetRssiClick() {
    const std::optional<int32_t> handle = form_.WholeNumber(c_.handle);
    if (!handle) return;
    T_BT_GET_RSSI_VALUE_REQ req{};
    RssiRequestBytes(*handle, req.connection_handle);
    T_BT_GET_RSSI_VALUE_CON con{};
    const T_Result result = form_.Bluetooth().GetRssiValue(kVersion, req, &con);
    if (result.code == T_RESULT_OK) {
        EnableRssi(form_.BtOn());
        c_.rssiValue->setText(QString::number(con.rssi));
    } else if (result.code == T_RESULT_VERSION_MISMATCH) {
        EnableRssi(false);
        LogParameterError(result.text);
    }
}

// ---------------------------------------------------------------------------------------
// Trimming

void AuxPage::GetRtrimClick() {
    T_BT_GET_RTRIM_VALUES_CON con{};
    const T_Result result = form_.Bluetooth().GetRtrimValues(kVersion, &con);
    if (result.code != T_RESULT_OK) return HandleFailure(result, c_.rtrimBox.box);
    SetChildrenEnabled(c_.rtrimBox.box, form_.BtOn());
    ShowTrimmings(c_.rtrim, con.fused_value, con.manual_value, con.use_manual,
                  c_.rtrimBox.hex->isChecked());
    ApplyManualEditStates();
}

void AuxPage::GetKfreqIbiasdacClick() {
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON con{};
    const T_Result result = form_.Bluetooth().GetKfreqIbiasdacValues(kVersion, &con);
    if (result.code != T_RESULT_OK) return HandleFailure(result, c_.kfreqBox.box);
    SetChildrenEnabled(c_.kfreqBox.box, form_.BtOn());
    const bool hex = c_.kfreqBox.hex->isChecked();
    ShowTrimmings(c_.ibiasdac, con.fused_ibiasdac, con.manual_ibiasdac, con.use_manual_ibiasdac,
                  hex);
    ShowTrimmings(c_.kfreq, con.fused_kfreq, con.manual_kfreq, con.use_manual_kfreq, hex);
    ApplyManualEditStates();
}

void AuxPage::GetTmeasClick() {
    T_BT_GET_TEMPERATURE_VALUES_CON con{};
    const T_Result result = form_.Bluetooth().GetTemperatureValues(kVersion, &con);
    if (result.code != T_RESULT_OK) return HandleFailure(result, c_.tmeasBox.box);
    SetChildrenEnabled(c_.tmeasBox.box, form_.BtOn());
    ShowTrimmings(c_.tmeas, con.fused_value, con.manual_value, con.use_manual,
                  c_.tmeasBox.hex->isChecked());
    ApplyManualEditStates();
}

void AuxPage::GetVmeasClick() {
    T_BT_GET_VOLTAGE_VALUES_CON con{};
    const T_Result result = form_.Bluetooth().GetVoltageValues(kVersion, &con);
    if (result.code != T_RESULT_OK) return HandleFailure(result, c_.vmeasBox.box);
    SetChildrenEnabled(c_.vmeasBox.box, form_.BtOn());
    ShowTrimmings(c_.vmeas, con.fused_value, con.manual_value, con.use_manual,
                  c_.vmeasBox.hex->isChecked());
    c_.propagation->setChecked(con.propagation == 1);
    ApplyManualEditStates();
}

void AuxPage::SetRtrimClick() {
    std::string message;
    const Manual rtrim = CheckManual(message, c_.rtrim, c_.rtrimBox.hex, 31);
    if (!message.empty()) return LogParameterError("RTRIM: " + message);
    T_BT_SET_RTRIM_MANUAL_VALUE_REQ req{rtrim.use, static_cast<uint8_t>(rtrim.value)};
    HandleFailure(form_.Bluetooth().SetRtrimManualValues(kVersion, req), nullptr);
}

void AuxPage::SetKfreqIbiasdacClick() {
    std::string message;
    const Manual ibiasdac = CheckManual(message, c_.ibiasdac, c_.kfreqBox.hex, 255);
    const Manual kfreq = CheckManual(message, c_.kfreq, c_.kfreqBox.hex, 31);
    if (!message.empty()) return LogParameterError("IBIASDAC/KFREQ: " + message);
    T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ req{kfreq.use, static_cast<uint8_t>(kfreq.value),
                                                  ibiasdac.use,
                                                  static_cast<uint8_t>(ibiasdac.value)};
    HandleFailure(form_.Bluetooth().SetKfreqIbiasdacManualValues(kVersion, req), nullptr);
}

void AuxPage::SetTmeasClick() {
    std::string message;
    const Manual tmeas = CheckManual(message, c_.tmeas, c_.tmeasBox.hex, 1023);
    if (!message.empty()) return LogParameterError("TMEAS: " + message);
    T_BT_SET_TEMPERATURE_VALUES_REQ req{tmeas.use, static_cast<uint16_t>(tmeas.value)};
    HandleFailure(form_.Bluetooth().SetTemperatureValues(kVersion, req), nullptr);
}

void AuxPage::SetVmeasClick() {
    std::string message;
    const Manual vmeas = CheckManual(message, c_.vmeas, c_.vmeasBox.hex, 31);
    if (!message.empty()) return LogParameterError("VMEAS: " + message);
    const uint8_t propagation = c_.propagation->isChecked() ? 1 : 0;
    T_BT_SET_VOLTAGE_VALUES_REQ req{vmeas.use, propagation, static_cast<uint8_t>(vmeas.value)};
    HandleFailure(form_.Bluetooth().SetVoltageValues(kVersion, req), nullptr);
}

// ---------------------------------------------------------------------------------------
// Interfaces and loopback

void AuxPage::SetInterfacesClick() {
    const QVariant pcm = GetSelectedObject(c_.pcm);
    const QVariant uart = GetSelectedObject(c_.uart);
    const QVariant wakeup = GetSelectedObject(c_.wakeup);
    const std::string message = InterfaceSelectionMessages(
        pcm.isValid() ? 0 : -1, uart.isValid() ? 0 : -1, wakeup.isValid() ? 0 : -1);
    if (!message.empty()) return LogParameterError(message);
    T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ req{pcm.toUInt(), uart.toUInt(), wakeup.toUInt()};
    HandleFailure(form_.Bluetooth().SetPcmUartWakeupInterface(kVersion, req), nullptr);
}

void AuxPage::GetInterfaces() {
    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON con{};
    const T_Result result = form_.Bluetooth().GetPcmUartWakeupInterfaceStatus(kVersion, &con);
    if (result.code != T_RESULT_OK) return HandleFailure(result, c_.connection);
    SetChildrenEnabled(c_.connection, form_.BtOn());
    const std::pair<QComboBox*, uint32_t> shown[3] = {
        {c_.pcm, con.pcm}, {c_.uart, con.uart}, {c_.wakeup, con.wakeup}};
    for (const auto& [list, value] : shown)
        list->setCurrentIndex(value < static_cast<uint32_t>(list->count()) ? static_cast<int>(value)
                                                                           : -1);
}

void AuxPage::SetLoopback(uint32_t type) {
    T_BT_SET_PCM_LOOPBACK_REQ req{type};
    HandleFailure(form_.Bluetooth().SetPcmLoopback(kVersion, req), nullptr);
}

} // namespace ui
