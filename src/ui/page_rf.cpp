// The RF test page: lists, mode items, channel limits, track bars, the enabling of each
// mode and the six request builders.

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <cstring>

#include "bt/ibluetooth.h"
#include "plugin/plugin.h"
#include "ui/form_util.h"
#include "ui/main.h"
#include "ui/rules.h"
#include "ui/widgets.h"

using ui::kVersion;
using ui::Q;
using ui::WaitCursor;

namespace {

constexpr T_ATCTST_BT_FUNCTION kModeFunctions[6] = {
    atctst_bt_set_rf_test_mode,       atctst_bt_set_tx_burst_mode, atctst_bt_set_tx_continuous_mode,
    atctst_bt_set_rx_continuous_mode, atctst_bt_set_tx_le_mode,    atctst_bt_rx_le_start,
};
const char* const kModeRecords[6] = {
    "T_BT_SET_RF_TEST_MODE_REQ",       "T_BT_SET_TX_BURST_MODE_REQ",
    "T_BT_SET_TX_CONTINUOUS_MODE_REQ", "T_BT_SET_RX_CONTINUOUS_MODE_REQ",
    "T_BT_SET_TX_LE_MODE_REQ",         "T_BT_RX_LE_START_REQ",
};

// Filling is no operator's choice: the list's change handler does not run.
void Fill(QComboBox* list, uint32_t count, std::string (*name)(uint32_t)) {
    const QSignalBlocker quiet(list);
    for (uint32_t value = 0; value < count; ++value)
        list->addItem(Q(name(value)), value);
    list->setCurrentIndex(-1);
}

} // namespace

void Tfrm_main::FillLists() {
    Fill(C<QComboBox>("cb_PacketType"), BT_PACKET_TYPE_COUNT, t_packet_type_to_string);
    Fill(C<QComboBox>("cb_PatternSelection"), BT_BR_PATTERN_COUNT, t_br_pattern_to_string);
    Fill(C<QComboBox>("cb_LePatternSelection"), BT_LE_PATTERN_COUNT, t_le_pattern_to_string);
    Fill(C<QComboBox>("cb_ModulationType"), BT_MODULATION_COUNT, t_modulation_to_string);
}

void Tfrm_main::FillTestModes() {
    auto* group = C<QGroupBox>("rg_TestModes");
    auto* grid = static_cast<QGridLayout*>(group->layout());
    for (uint32_t mode = 0; mode < 6; ++mode) {
        const uint8_t version = ReqVersion(kModeFunctions[mode]);
        if (version != 1) {
            LogParameterError(std::string("\nUnknown data version. ") + kModeRecords[mode] + " = " +
                              std::to_string(version));
            continue;
        }
        auto* item = new QRadioButton(QString::fromLatin1(t_test_mode_names[mode]), group);
        item->setProperty("mode", mode);
        const int index = static_cast<int>(modeItems.size());
        grid->addWidget(item, index / 3, index % 3);
        modeGroup->addButton(item);
        modeItems.push_back(item);
    }
    if (!modeItems.empty()) modeItems.front()->setChecked(true);
}

void Tfrm_main::SetChannelLimits(uint32_t mode) {
    const uint8_t txStep = mode == BT_TEST_MODE_LE_TX ? 2 : 1;
    txChannelMax = mode == BT_TEST_MODE_LE_TX ? 39 : 78;
    C<TUpDown>("ud_TxChannelUpDown")->setMaximum(txChannelMax);
    if (txStep != txChannelStep) {
        txChannelStep = txStep;
        ed_TXChannelChange();
    }
    const uint8_t rxStep = mode == BT_TEST_MODE_LE_RX ? 2 : 1;
    rxChannelMax = mode == BT_TEST_MODE_LE_RX ? 39 : 78;
    C<TUpDown>("ud_RxChannelUpDown")->setMaximum(rxChannelMax);
    if (rxStep != rxChannelStep) {
        rxChannelStep = rxStep;
        ed_RXChannelChange();
    }
}

void Tfrm_main::ChannelChange(QLineEdit* edit, QLabel* label, uint8_t step, uint8_t maximum) {
    const std::optional<int32_t> channel = WholeNumber(edit);
    if (!channel) return;
    label->setText(Q(ui::ChannelFrequencyText(*channel, step)));
    if (*channel > maximum) edit->setText(QString::number(maximum));
}

void Tfrm_main::ed_TXChannelChange() {
    ChannelChange(Edit("ed_TXChannel"), C<QLabel>("lbl_TxChannelMhz"), txChannelStep, txChannelMax);
}

void Tfrm_main::ed_RXChannelChange() {
    ChannelChange(Edit("ed_RXChannel"), C<QLabel>("lbl_RxChannelMhz"), rxChannelStep, rxChannelMax);
}

void Tfrm_main::tb_TxPowerCoarseChange() {
    C<QLabel>("lbl_TxPowerCoarseValue")
        ->setText(QString::number(ui::CoarsePowerDb(C<QSlider>("tb_TxPowerCoarse")->value())));
}

void Tfrm_main::tb_TxPowerFineChange() {
    C<QLabel>("lbl_TxPowerFineValue")
        ->setText(QString::number(ui::FinePowerDb(C<QSlider>("tb_TxPowerFine")->value())));
}

void Tfrm_main::tb_PowerLevelChange() {
    C<QLabel>("PowerLevelNOfStepsValue")
        ->setText(QString::number(C<QSlider>("tb_PowerLevel")->value()));
}

void Tfrm_main::tb_LPCPowerControlChange() {
    const int steps = C<QSlider>("tb_LPCPowerControlNOfSteps")->value();
    auto* label = C<QLabel>("lbl_LPCPowerControlNOfStepsValue");
    label->setText(QString::number(steps));
    if (CurrentTestMode() == BT_TEST_MODE_TX_BURST) {
        C<QSlider>("tb_PowerLevel")->setMaximum(steps - 1);
        tb_PowerLevelChange();
    }
    MarkChanged(label);
}

void Tfrm_main::tb_LPCPowerControlStepSizeChange() {
    auto* label = C<QLabel>("lbl_LPCPowerControlStepSizeValue");
    label->setText(QString::number(C<QSlider>("tb_LPCPowerControlStepSize")->value()));
    MarkChanged(label);
}

void Tfrm_main::tb_EPCPowerControlStepSizeChange() {
    auto* label = C<QLabel>("lbl_EPCPowerControlStepSizeValue");
    label->setText(QString::number(C<QSlider>("tb_EPCPowerControlStepSize")->value()));
    MarkChanged(label);
}

void Tfrm_main::tb_EPCPowerControlNOfStepsChange() {
    auto* slider = C<QSlider>("tb_EPCPowerControlNOfSteps");
    C<QLabel>("lbl_EPCPowerControlNOfStepsValue")->setText(QString::number(slider->value()));
    EpcStepCountUpdate(slider);
}

void Tfrm_main::EpcStepCountUpdate(QObject* sender) {
    const uint32_t mode = CurrentTestMode();
    if (mode == BT_TEST_MODE_TEST || mode == BT_TEST_MODE_NVM_DATA) {
        const int highest = C<QSlider>("tb_EPCPowerControlNOfSteps")->value() - 1;
        const char* const edits[3] = {"ed_EPCMaxPwrStepOneMbitS", "ed_EPCMaxPwrStepTwoMbitS",
                                      "ed_EPCMaxPwrStepThreeMbitS"};
        for (const char* upDown : {"ud_EPCPwrStepOneMbitSUpDown", "ud_EPCPwrStepTwoMbitSUpDown",
                                   "ud_EPCPwrStepThreeMbitSUpDown"}) {
            C<TUpDown>(upDown)->setMaximum(highest);
        }
        epcMaxStep = static_cast<uint8_t>(highest);
        // A text that is no number stops the update there; the edits before it keep their
        // new values.
        for (const char* name : edits) {
            const std::optional<int32_t> step = WholeNumber(Edit(name));
            if (!step) return;
            if (*step > highest) Edit(name)->setText(QString::number(highest));
        }
    }
    if (qobject_cast<QSlider*>(sender) != nullptr)
        MarkChanged(C("lbl_EPCPowerControlNOfStepsValue"));
}

void Tfrm_main::cb_ModulationTypeChange() {
    const uint32_t mode = CurrentTestMode();
    bool enable = false;
    if (mode == BT_TEST_MODE_TX_BURST) {
        enable = true;
    } else if (mode == BT_TEST_MODE_TX_CW) {
        const QVariant modulation = GetSelectedObject(C<QComboBox>("cb_ModulationType"));
        enable = !modulation.isValid() || modulation.toUInt() != BT_MODULATION_NONE;
    }
    SetEnabled({"cb_PatternSelection", "lbl_PatternSelection"}, enable);
}

void Tfrm_main::chkbx_HoppingClick() {
    SetChildrenEnabled(C("rg_AFHChannelMap"), C<QCheckBox>("chkbx_Hopping")->isChecked() &&
                                                  CurrentTestMode() == BT_TEST_MODE_TX_BURST);
}

void Tfrm_main::EnableForMode(uint32_t mode) {
    const bool on = btOn;
    auto groups = [this, on](std::initializer_list<const char*> boxes) {
        for (const char* box : boxes)
            SetChildrenEnabled(C(box), on);
    };
    auto tx = [this, on] {
        SetEnabled({"lbl_TxChannel", "ed_TXChannel", "ud_TxChannelUpDown", "lbl_TxChannelMhz"}, on);
    };
    auto rx = [this, on] {
        SetEnabled({"lbl_RxChannel", "ed_RXChannel", "ud_RxChannelUpDown", "lbl_RxChannelMhz"}, on);
    };
    if (mode == BT_TEST_MODE_LE_RX) {
        if (ReqVersion(atctst_bt_rx_le_start) == 1) rx();
        if (ConVersion(atctst_bt_rx_le_end) == 1) {
            SetChildrenEnabled(C("gb_LeRxResult"), true);
            C("btn_LeRxResult")->setEnabled(false);
        }
        return;
    }
    if (ReqVersion(kModeFunctions[mode]) != 1) return;
    switch (mode) {
    case BT_TEST_MODE_TEST:
        groups({"gb_BTDeviceAddressTest", "gb_LPCPowerControl", "gb_LPCOneMbitS", "gb_LPCTwoMbitS",
                "gb_LPCThreeMbitS", "gb_EPCPowerControl", "gb_EPCOneMbitS", "gb_EPCTwoMbitS",
                "gb_EPCThreeMbitS", "gb_LE", "gb_BRSubStates"});
        break;
    case BT_TEST_MODE_TX_BURST:
        groups({"gb_BTDeviceAddressTest"});
        tx();
        groups({"gb_PowerLevel"});
        SetEnabled({"lbl_PatternSelection", "cb_PatternSelection", "lbl_PacketType",
                    "cb_PacketType", "lbl_TXInterval", "cb_TXInterval", "lbl_Slot", "chkbx_Hopping",
                    "chkbx_Whitening"},
                   on);
        groups({"gb_LPCPowerControl", "gb_LPCOneMbitS", "gb_LPCTwoMbitS", "gb_LPCThreeMbitS"});
        chkbx_HoppingClick();
        break;
    case BT_TEST_MODE_TX_CW:
        tx();
        groups({"gb_TXPower"});
        SetEnabled({"lbl_PatternSelection", "cb_PatternSelection", "lbl_ModulationType",
                    "cb_ModulationType"},
                   on);
        break;
    case BT_TEST_MODE_RX_CW:
        rx();
        break;
    case BT_TEST_MODE_LE_TX:
        tx();
        groups({"gb_LeTxData", "gb_LPCOneMbitS"});
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------
// "Test" and the builders

void Tfrm_main::btn_BTDTestClick() {
    WaitCursor wait;
    switch (CurrentTestMode()) {
    case BT_TEST_MODE_TEST:
        BuildRfTestMode();
        break;
    case BT_TEST_MODE_TX_BURST:
        BuildTxBurstMode();
        break;
    case BT_TEST_MODE_TX_CW:
        BuildTxContinuousMode();
        break;
    case BT_TEST_MODE_RX_CW:
        BuildRxContinuousMode();
        break;
    case BT_TEST_MODE_LE_TX:
        BuildTxLeMode();
        break;
    case BT_TEST_MODE_LE_RX:
        BuildRxLeStart();
        break;
    default:
        break;
    }
}

bool Tfrm_main::ReadAddress(uint8_t address[6]) {
    const bool useHex = C<QCheckBox>("chkbx_BTAddressUseHex")->isChecked();
    for (int i = 0; i < 6; ++i) {
        const std::string name = "ed_BTAddress_" + std::to_string(i);
        const std::string text = Text(name.c_str());
        const std::optional<uint8_t> byte = ui::AddressByte(text, useHex);
        if (!byte) {
            ShowConversionError(text);
            return false;
        }
        address[i] = *byte;
    }
    return true;
}

int64_t Tfrm_main::CheckInto(std::string& message, const char* edit, const std::string& name,
                             int64_t minimum, int64_t maximum) {
    const ui::Checked checked = ui::CheckNumber(Text(edit), name, minimum, maximum);
    message += checked.message;
    return checked.value;
}

namespace {

// Checked values go through int64 and land in their record field here.
template <typename Field> void Put(Field& field, int64_t value) {
    field = static_cast<Field>(value);
}

std::string CheckedPattern(QComboBox* list, uint8_t& kind, uint8_t& byte) {
    const QVariant pattern = GetSelectedObject(list);
    if (pattern.isValid()) {
        const ui::PatternPair pair = ui::PatternBytes(pattern.toUInt());
        kind = pair.kind;
        byte = pair.byte;
        return {};
    }
    return ui::PatternMessage(-1, list->isEnabled());
}

std::string CheckedSelection(QComboBox* list, const std::string& name, uint32_t& value) {
    const QVariant selected = GetSelectedObject(list);
    if (!selected.isValid()) return ui::SelectionMessage(-1, name);
    value = selected.toUInt();
    return {};
}

} // namespace

void Tfrm_main::BuildRfTestMode() {
    T_BT_SET_RF_TEST_MODE_REQ req{};
    if (!ReadAddress(req.bd_address)) return;
    req.epc_num_steps = static_cast<uint8_t>(C<QSlider>("tb_EPCPowerControlNOfSteps")->value());
    req.epc_step_size = static_cast<uint8_t>(C<QSlider>("tb_EPCPowerControlStepSize")->value());
    req.lpc_num_steps = static_cast<uint8_t>(C<QSlider>("tb_LPCPowerControlNOfSteps")->value());
    req.lpc_step_size = static_cast<uint8_t>(C<QSlider>("tb_LPCPowerControlStepSize")->value());
    std::string message;
    Put(req.epc_max_power_1mbps, CheckInto(message, "ed_EPCMaxPwrLvlOneMbitS",
                                           "EPC GFSK (1 Mbit/s) max. power level", -35, 10));
    Put(req.epc_max_step_1mbps, CheckInto(message, "ed_EPCMaxPwrStepOneMbitS",
                                          "EPC GFSK (1 Mbit/s) max. power step", 0, epcMaxStep));
    Put(req.epc_max_power_2mbps, CheckInto(message, "ed_EPCMaxPwrLvlTwoMbitS",
                                           "EPC Pi/4-DQPSK (2 Mbit/s) max. power level", -35, 8));
    Put(req.epc_max_step_2mbps,
        CheckInto(message, "ed_EPCMaxPwrStepTwoMbitS", "EPC Pi/4-DQPSK (2 Mbit/s) max. power step",
                  0, epcMaxStep));
    Put(req.epc_max_power_3mbps, CheckInto(message, "ed_EPCMaxPwrLvlThreeMbitS",
                                           "EPC 8DPSK (3 Mbit/s) max. power level", -35, 8));
    Put(req.epc_max_step_3mbps, CheckInto(message, "ed_EPCMaxPwrStepThreeMbitS",
                                          "EPC 8DPSK (3 Mbit/s) max. power step", 0, epcMaxStep));
    Put(req.lpc_power_1mbps,
        CheckInto(message, "ed_LPCMaxPwrLvlOneMbitS", "LPC GFSK (1 Mbit/s) power level", -35, 10));
    Put(req.lpc_power_2mbps, CheckInto(message, "ed_LPCMaxPwrLvlTwoMbitS",
                                       "LPC Pi/4-DQPSK (2 Mbit/s) power level", -35, 8));
    Put(req.lpc_power_3mbps, CheckInto(message, "ed_LPCMaxPwrLvlThreeMbitS",
                                       "LPC 8DPSK (3 Mbit/s) power level", -35, 8));
    Put(req.br_power_level,
        CheckInto(message, "ed_BRSubStates", "BR sub state. Default power level", -35, 10));
    Put(req.le_power_level, CheckInto(message, "ed_LE", "LE. Default power level", -35, 10));
    if (!message.empty()) {
        LogParameterError(message);
        return;
    }
    bluetooth->SetRfTestMode(kVersion, req);
}

void Tfrm_main::BuildTxBurstMode() {
    T_BT_SET_TX_BURST_MODE_REQ req{};
    if (!ReadAddress(req.bd_address)) return;
    std::string message;
    Put(req.channel, CheckInto(message, "ed_TXChannel", "Tx Channel value", 0, txChannelMax));
    req.power_step = static_cast<uint8_t>(C<QSlider>("tb_PowerLevel")->value());
    message +=
        CheckedPattern(C<QComboBox>("cb_PatternSelection"), req.pattern_kind, req.pattern_byte);
    message +=
        CheckedSelection(C<QComboBox>("cb_PacketType"), "Data, Packet type", req.packet_type);
    const QVariant interval = GetSelectedObject(C<QComboBox>("cb_TXInterval"));
    if (interval.isValid())
        req.tx_interval = ui::CappedInterval(interval.toLongLong());
    else
        message += ui::IntervalMessage(-1);
    const bool hopping = C<QCheckBox>("chkbx_Hopping")->isChecked();
    req.hopping = hopping ? 1 : 0;
    req.whitening = C<QCheckBox>("chkbx_Whitening")->isChecked() ? 1 : 0;
    req.lpc_num_steps = static_cast<uint8_t>(C<QSlider>("tb_LPCPowerControlNOfSteps")->value());
    req.lpc_step_size = static_cast<uint8_t>(C<QSlider>("tb_LPCPowerControlStepSize")->value());
    if (hopping) {
        const char* const afh[10] = {
            "ed_AFHChannel72_78", "ed_AFHChannel64_71", "ed_AFHChannel56_63", "ed_AFHChannel48_55",
            "ed_AFHChannel40_47", "ed_AFHChannel32_39", "ed_AFHChannel24_31", "ed_AFHChannel16_23",
            "ed_AFHChannel8_15",  "ed_AFHChannel0_7",
        };
        for (int i = 0; i < 10; ++i)
            req.afh_channel_map[i] = static_cast<uint8_t>(ui::ReadHexLeading(Text(afh[i])) & 0xFF);
    } else {
        std::memcpy(req.afh_channel_map, ui::kDefaultAfhMap, sizeof req.afh_channel_map);
    }
    Put(req.lpc_power_1mbps,
        CheckInto(message, "ed_LPCMaxPwrLvlOneMbitS", "LPC GFSK (1 Mbit/s) power level", -35, 10));
    Put(req.lpc_power_2mbps, CheckInto(message, "ed_LPCMaxPwrLvlTwoMbitS",
                                       "LPC Pi/4-DQPSK (2 Mbit/s) power level", -35, 8));
    Put(req.lpc_power_3mbps, CheckInto(message, "ed_LPCMaxPwrLvlThreeMbitS",
                                       "LPC 8DPSK (3 Mbit/s) power level", -35, 8));
    if (!message.empty()) {
        LogParameterError(message);
        return;
    }
    bluetooth->SetTxBurstMode(kVersion, req);
}

void Tfrm_main::BuildTxContinuousMode() {
    T_BT_SET_TX_CONTINUOUS_MODE_REQ req{};
    std::string message;
    Put(req.channel, CheckInto(message, "ed_TXChannel", "Tx Channel value", 0, txChannelMax));
    req.coarse_power = static_cast<uint8_t>(C<QSlider>("tb_TxPowerCoarse")->value());
    req.fine_power = static_cast<uint8_t>(C<QSlider>("tb_TxPowerFine")->value());
    message +=
        CheckedPattern(C<QComboBox>("cb_PatternSelection"), req.pattern_kind, req.pattern_byte);
    message += CheckedSelection(C<QComboBox>("cb_ModulationType"), "Data, Modulation type",
                                req.modulation);
    if (!message.empty()) {
        LogParameterError(message);
        return;
    }
    bluetooth->SetTxContinuousMode(kVersion, req);
}

void Tfrm_main::BuildRxContinuousMode() {
    T_BT_SET_RX_CONTINUOUS_MODE_REQ req{};
    std::string message;
    Put(req.channel, CheckInto(message, "ed_RXChannel", "Rx Channel value", 0, 78));
    if (!message.empty()) {
        LogParameterError(message);
        return;
    }
    bluetooth->SetRxContinuousMode(kVersion, req);
}

void Tfrm_main::BuildTxLeMode() {
    T_BT_SET_TX_LE_MODE_REQ req{};
    std::string message;
    Put(req.channel, CheckInto(message, "ed_TXChannel", "Tx Channel value", 0, txChannelMax));
    Put(req.data_length, CheckInto(message, "ed_LeDataLength", "LE Data, Data length", 0, 37));
    Put(req.power_level,
        CheckInto(message, "ed_LPCMaxPwrLvlOneMbitS", "LPC GFSK (1 Mbit/s) power level", -35, 10));
    message += CheckedSelection(C<QComboBox>("cb_LePatternSelection"),
                                "LE Tx Data, Pattern selection", req.pattern);
    if (!message.empty()) {
        LogParameterError(message);
        return;
    }
    bluetooth->SetTxLeMode(kVersion, req);
}

void Tfrm_main::BuildRxLeStart() {
    T_BT_RX_LE_START_REQ req{};
    std::string message;
    Put(req.channel, CheckInto(message, "ed_RXChannel", "Rx Channel value", 0, 78));
    if (!message.empty()) {
        LogParameterError(message);
        return;
    }
    const T_Result result = bluetooth->RxLeStart(kVersion, req);
    C("btn_LeRxResult")->setEnabled(result.code == T_RESULT_OK);
}

void Tfrm_main::btn_LeRxResultClick() {
    T_BT_RX_LE_END_CON con{};
    const T_Result result = bluetooth->RxLeEnd(kVersion, &con);
    if (result.code != T_RESULT_OK) return;
    Edit("ed_LeRxResult")->setText(QString::number(con.packets_high * 256 + con.packets_low));
    C("btn_LeRxResult")->setEnabled(false);
}
