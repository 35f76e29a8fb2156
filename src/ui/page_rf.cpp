#include "ui/page_rf.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <cstring>

#include "bt/ibluetooth.h"
#include "plugin/plugin.h"
#include "ui/form_context.h"
#include "ui/form_util.h"
#include "ui/widgets.h"

namespace ui {

namespace {

// The test function and request record of each RF test mode.
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

uint8_t Position(const QSlider* bar) {
    return static_cast<uint8_t>(bar->value());
}

// Checked values go through int64 and land in their record field here.
template <typename Field> void Put(Field& field, int64_t value) {
    field = static_cast<Field>(value);
}

std::string CheckedPattern(QComboBox* list, uint8_t& kind, uint8_t& byte) {
    const QVariant pattern = GetSelectedObject(list);
    if (pattern.isValid()) {
        const PatternPair pair = PatternBytes(pattern.toUInt());
        kind = pair.kind;
        byte = pair.byte;
        return {};
    }
    return PatternMessage(-1, list->isEnabled());
}

std::string CheckedSelection(QComboBox* list, const std::string& name, uint32_t& value) {
    const QVariant selected = GetSelectedObject(list);
    if (!selected.isValid()) return SelectionMessage(-1, name);
    value = selected.toUInt();
    return {};
}

} // namespace

RfTestPage::RfTestPage(FormContext& form, const FormControls& controls)
    : form_(form), c_(controls.rf), nvm_(controls.nvm), modeGroup_(new QButtonGroup(this)) {
    connect(c_.test, &QAbstractButton::clicked, this, &RfTestPage::TestClick);
    connect(c_.leRxGet, &QAbstractButton::clicked, this, &RfTestPage::LeRxResultClick);
    connect(c_.hopping, &QAbstractButton::clicked, this, &RfTestPage::HoppingClick);
    auto txChange = [this] { ChannelChange(spin::TxChannel, txChannelStep_, txChannelMax_); };
    // The data length shares the TX channel's change handler.
    connect(c_.spins[spin::TxChannel].edit, &QLineEdit::textChanged, this, txChange);
    connect(c_.spins[spin::LeDataLength].edit, &QLineEdit::textChanged, this, txChange);
    connect(c_.spins[spin::RxChannel].edit, &QLineEdit::textChanged, this,
            [this] { ChannelChange(spin::RxChannel, rxChannelStep_, rxChannelMax_); });

    for (int id = 0; id < track::Count; ++id) {
        connect(c_.tracks[id].bar, &QSlider::valueChanged, this,
                [this, id] { TrackChanged(static_cast<track::Id>(id)); });
    }
    connect(c_.modulation, &QComboBox::currentIndexChanged, this, &RfTestPage::PatternEnabling);
}

uint32_t RfTestPage::CurrentTestMode() const {
    if (nvm_.dataMode->isChecked()) return BT_TEST_MODE_NVM_DATA;
    for (QRadioButton* item : modeItems_) {
        if (item->isChecked()) return item->property("mode").toUInt();
    }
    return BT_TEST_MODE_COUNT;
}

// ---------------------------------------------------------------------------------------
// Start-up

void RfTestPage::FillIntervals() {
    for (int value = 2; value <= 254; value += 2)
        c_.txInterval->addItem(QString::number(value), value);
    c_.txInterval->setCurrentIndex(-1);
}

void RfTestPage::FillLists() {
    Fill(c_.packetType, BT_PACKET_TYPE_COUNT, t_packet_type_to_string);
    Fill(c_.pattern, BT_BR_PATTERN_COUNT, t_br_pattern_to_string);
    Fill(c_.lePattern, BT_LE_PATTERN_COUNT, t_le_pattern_to_string);
    Fill(c_.modulation, BT_MODULATION_COUNT, t_modulation_to_string);
}

void RfTestPage::FillTestModes() {
    auto* grid = static_cast<QGridLayout*>(c_.modes->layout());
    for (uint32_t mode = 0; mode < 6; ++mode) {
        const uint8_t version = form_.ReqVersion(kModeFunctions[mode]);
        if (version != 1) {
            LogParameterError(std::string("\nUnknown data version. ") + kModeRecords[mode] + " = " +
                              std::to_string(version));
            continue;
        }
        auto* item = new QRadioButton(QString::fromLatin1(t_test_mode_names[mode]), c_.modes);
        item->setProperty("mode", mode);
        const int index = static_cast<int>(modeItems_.size());
        grid->addWidget(item, index / 3, index % 3);
        modeGroup_->addButton(item);
        modeItems_.push_back(item);
    }
    if (!modeItems_.empty()) modeItems_.front()->setChecked(true);
}

void RfTestPage::ShowTrackBarLabels() {
    for (track::Id id :
         {track::TxPowerCoarse, track::TxPowerFine, track::LpcSteps, track::LpcStepSize})
        TrackChanged(id);
    const TrackControls& epcSteps = c_.tracks[track::EpcSteps];
    epcSteps.value->setText(QString::number(epcSteps.bar->value()));
}

// ---------------------------------------------------------------------------------------
// Channels, track bars and the enabling

void RfTestPage::SetChannelLimits(uint32_t mode) {
    const uint8_t txStep = mode == BT_TEST_MODE_LE_TX ? 2 : 1;
    txChannelMax_ = mode == BT_TEST_MODE_LE_TX ? 39 : 78;
    c_.spins[spin::TxChannel].upDown->setMaximum(txChannelMax_);
    if (txStep != txChannelStep_) {
        txChannelStep_ = txStep;
        ChannelChange(spin::TxChannel, txChannelStep_, txChannelMax_);
    }
    const uint8_t rxStep = mode == BT_TEST_MODE_LE_RX ? 2 : 1;
    rxChannelMax_ = mode == BT_TEST_MODE_LE_RX ? 39 : 78;
    c_.spins[spin::RxChannel].upDown->setMaximum(rxChannelMax_);
    if (rxStep != rxChannelStep_) {
        rxChannelStep_ = rxStep;
        ChannelChange(spin::RxChannel, rxChannelStep_, rxChannelMax_);
    }
}

void RfTestPage::ChannelChange(spin::Id id, uint8_t step, uint8_t maximum) {
    const SpinControls& s = c_.spins[id];
    const std::optional<int32_t> channel = form_.WholeNumber(s.edit);
    if (!channel) return;
    s.unit->setText(Q(ChannelFrequencyText(*channel, step)));
    if (*channel > maximum) s.edit->setText(QString::number(maximum));
}

void RfTestPage::TrackChanged(track::Id id) {
    const TrackControls& t = c_.tracks[id];
    const int position = t.bar->value();
    switch (id) {
    case track::TxPowerCoarse:
        t.value->setText(QString::number(CoarsePowerDb(position)));
        break;
    case track::TxPowerFine:
        t.value->setText(QString::number(FinePowerDb(position)));
        break;
    case track::PowerLevel:
        t.value->setText(QString::number(position));
        break;
    case track::LpcSteps:
        t.value->setText(QString::number(position));
        // In TX Burst the power step runs up to the step count - 1.
        if (CurrentTestMode() == BT_TEST_MODE_TX_BURST) {
            c_.tracks[track::PowerLevel].bar->setMaximum(position - 1);
            TrackChanged(track::PowerLevel);
        }
        form_.MarkChanged(t.value);
        break;
    case track::EpcSteps:
        t.value->setText(QString::number(position));
        EpcStepCountUpdate(true);
        break;
    default: // the step sizes
        t.value->setText(QString::number(position));
        form_.MarkChanged(t.value);
        break;
    }
}

void RfTestPage::EpcStepCountUpdate(bool fromTrackBar) {
    const uint32_t mode = CurrentTestMode();
    if (mode == BT_TEST_MODE_TEST || mode == BT_TEST_MODE_NVM_DATA) {
        const int highest = c_.tracks[track::EpcSteps].bar->value() - 1;
        const spin::Id steps[3] = {spin::EpcStep1, spin::EpcStep2, spin::EpcStep3};
        for (spin::Id id : steps)
            c_.spins[id].upDown->setMaximum(highest);
        epcMaxStep_ = static_cast<uint8_t>(highest);
        // A text that is no number stops the update there; the edits before it keep their
        // new values.
        for (spin::Id id : steps) {
            QLineEdit* edit = c_.spins[id].edit;
            const std::optional<int32_t> step = form_.WholeNumber(edit);
            if (!step) return;
            if (*step > highest) edit->setText(QString::number(highest));
        }
    }
    if (fromTrackBar) form_.MarkChanged(c_.tracks[track::EpcSteps].value);
}

void RfTestPage::PatternEnabling() {
    const uint32_t mode = CurrentTestMode();
    bool enable = false;
    if (mode == BT_TEST_MODE_TX_BURST) {
        enable = true;
    } else if (mode == BT_TEST_MODE_TX_CW) {
        const QVariant modulation = GetSelectedObject(c_.modulation);
        enable = !modulation.isValid() || modulation.toUInt() != BT_MODULATION_NONE;
    }
    c_.pattern->setEnabled(enable);
    c_.patternLabel->setEnabled(enable);
}

void RfTestPage::HoppingClick() {
    SetChildrenEnabled(c_.afh,
                       c_.hopping->isChecked() && CurrentTestMode() == BT_TEST_MODE_TX_BURST);
}

void RfTestPage::DisableModeControls() {
    for (QGroupBox* box : {c_.channel, c_.txPower, c_.afh, c_.powerLevel, c_.data, c_.address,
                           c_.lpcControl, c_.lpc1, c_.lpc2, c_.lpc3, c_.epcControl, c_.epc1,
                           c_.epc2, c_.epc3, c_.le, c_.br, c_.leTx, c_.leRx}) {
        SetChildrenEnabled(box, false);
    }
}

void RfTestPage::EnableForMode(uint32_t mode) {
    const bool on = form_.BtOn();
    auto groups = [on](std::initializer_list<QGroupBox*> boxes) {
        for (QGroupBox* box : boxes)
            SetChildrenEnabled(box, on);
    };
    auto controls = [on](std::initializer_list<QWidget*> widgets) {
        for (QWidget* widget : widgets)
            widget->setEnabled(on);
    };
    auto channel = [&controls, this](spin::Id id) {
        const SpinControls& s = c_.spins[id];
        controls({s.label, s.edit, s.upDown, s.unit});
    };
    if (mode == BT_TEST_MODE_LE_RX) {
        if (form_.ReqVersion(atctst_bt_rx_le_start) == 1) channel(spin::RxChannel);
        if (form_.ConVersion(atctst_bt_rx_le_end) == 1) {
            SetChildrenEnabled(c_.leRx, true);
            c_.leRxGet->setEnabled(false);
        }
        return;
    }
    if (form_.ReqVersion(kModeFunctions[mode]) != 1) return;
    switch (mode) {
    case BT_TEST_MODE_TEST:
        groups({c_.address, c_.lpcControl, c_.lpc1, c_.lpc2, c_.lpc3, c_.epcControl, c_.epc1,
                c_.epc2, c_.epc3, c_.le, c_.br});
        break;
    case BT_TEST_MODE_TX_BURST:
        groups({c_.address});
        channel(spin::TxChannel);
        groups({c_.powerLevel});
        controls({c_.patternLabel, c_.pattern, c_.packetTypeLabel, c_.packetType,
                  c_.txIntervalLabel, c_.txInterval, c_.slot, c_.hopping, c_.whitening});
        groups({c_.lpcControl, c_.lpc1, c_.lpc2, c_.lpc3});
        HoppingClick();
        break;
    case BT_TEST_MODE_TX_CW:
        channel(spin::TxChannel);
        groups({c_.txPower});
        controls({c_.patternLabel, c_.pattern, c_.modulationLabel, c_.modulation});
        break;
    case BT_TEST_MODE_RX_CW:
        channel(spin::RxChannel);
        break;
    case BT_TEST_MODE_LE_TX:
        channel(spin::TxChannel);
        groups({c_.leTx, c_.lpc1});
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------
// "Test" and the builders

void RfTestPage::TestClick() {
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

bool RfTestPage::ReadAddress(uint8_t address[6]) {
    const bool useHex = c_.addressHex->isChecked();
    for (int i = 0; i < 6; ++i) {
        const std::string text = c_.addressEdits[i]->text().toStdString();
        const std::optional<uint8_t> byte = AddressByte(text, useHex);
        if (!byte) {
            form_.ShowConversionError(text);
            return false;
        }
        address[i] = *byte;
    }
    return true;
}

Checked RfTestPage::Check(spin::Id id) const {
    const SpinField& field = kSpins[id];
    int64_t maximum = field.maximum;
    if (field.limit == Limit::EpcStep) maximum = epcMaxStep_;
    if (field.limit == Limit::TxChannelMax) maximum = txChannelMax_;
    return CheckNumber(c_.spins[id].edit->text().toStdString(), field.name, field.minimum, maximum);
}

int64_t RfTestPage::CheckInto(std::string& message, spin::Id id) const {
    const Checked checked = Check(id);
    message += checked.message;
    return checked.value;
}

void RfTestPage::BuildRfTestMode() {
    T_BT_SET_RF_TEST_MODE_REQ req{};
    if (!ReadAddress(req.bd_address)) return;
    req.epc_num_steps = Position(c_.tracks[track::EpcSteps].bar);
    req.epc_step_size = Position(c_.tracks[track::EpcStepSize].bar);
    req.lpc_num_steps = Position(c_.tracks[track::LpcSteps].bar);
    req.lpc_step_size = Position(c_.tracks[track::LpcStepSize].bar);
    std::string message;
    Put(req.epc_max_power_1mbps, CheckInto(message, spin::EpcLevel1));
    Put(req.epc_max_step_1mbps, CheckInto(message, spin::EpcStep1));
    Put(req.epc_max_power_2mbps, CheckInto(message, spin::EpcLevel2));
    Put(req.epc_max_step_2mbps, CheckInto(message, spin::EpcStep2));
    Put(req.epc_max_power_3mbps, CheckInto(message, spin::EpcLevel3));
    Put(req.epc_max_step_3mbps, CheckInto(message, spin::EpcStep3));
    Put(req.lpc_power_1mbps, CheckInto(message, spin::LpcLevel1));
    Put(req.lpc_power_2mbps, CheckInto(message, spin::LpcLevel2));
    Put(req.lpc_power_3mbps, CheckInto(message, spin::LpcLevel3));
    Put(req.br_power_level, CheckInto(message, spin::BrLevel));
    Put(req.le_power_level, CheckInto(message, spin::LeLevel));
    if (!message.empty()) return LogParameterError(message);
    form_.Bluetooth().SetRfTestMode(kVersion, req);
}

void RfTestPage::BuildTxBurstMode() {
    T_BT_SET_TX_BURST_MODE_REQ req{};
    if (!ReadAddress(req.bd_address)) return;
    std::string message;
    Put(req.channel, CheckInto(message, spin::TxChannel));
    req.power_step = Position(c_.tracks[track::PowerLevel].bar);
    message += CheckedPattern(c_.pattern, req.pattern_kind, req.pattern_byte);
    message += CheckedSelection(c_.packetType, "Data, Packet type", req.packet_type);
    const QVariant interval = GetSelectedObject(c_.txInterval);
    if (interval.isValid())
        req.tx_interval = CappedInterval(interval.toLongLong());
    else
        message += IntervalMessage(-1);
    const bool hopping = c_.hopping->isChecked();
    req.hopping = hopping ? 1 : 0;
    req.whitening = c_.whitening->isChecked() ? 1 : 0;
    req.lpc_num_steps = Position(c_.tracks[track::LpcSteps].bar);
    req.lpc_step_size = Position(c_.tracks[track::LpcStepSize].bar);
    if (hopping) {
        // Map byte 0 comes from the highest channels.
        for (int i = 0; i < 10; ++i) {
            const std::string text = c_.afhEdits[9 - i]->text().toStdString();
            req.afh_channel_map[i] = static_cast<uint8_t>(ReadHexLeading(text) & 0xFF);
        }
    } else {
        std::memcpy(req.afh_channel_map, kDefaultAfhMap, sizeof req.afh_channel_map);
    }
    Put(req.lpc_power_1mbps, CheckInto(message, spin::LpcLevel1));
    Put(req.lpc_power_2mbps, CheckInto(message, spin::LpcLevel2));
    Put(req.lpc_power_3mbps, CheckInto(message, spin::LpcLevel3));
    if (!message.empty()) return LogParameterError(message);
    form_.Bluetooth().SetTxBurstMode(kVersion, req);
}

void RfTestPage::BuildTxContinuousMode() {
    T_BT_SET_TX_CONTINUOUS_MODE_REQ req{};
    std::string message;
    Put(req.channel, CheckInto(message, spin::TxChannel));
    req.coarse_power = Position(c_.tracks[track::TxPowerCoarse].bar);
    req.fine_power = Position(c_.tracks[track::TxPowerFine].bar);
    message += CheckedPattern(c_.pattern, req.pattern_kind, req.pattern_byte);
    message += CheckedSelection(c_.modulation, "Data, Modulation type", req.modulation);
    if (!message.empty()) return LogParameterError(message);
    form_.Bluetooth().SetTxContinuousMode(kVersion, req);
}

void RfTestPage::BuildRxContinuousMode() {
    T_BT_SET_RX_CONTINUOUS_MODE_REQ req{};
    std::string message;
    Put(req.channel, CheckInto(message, spin::RxChannel));
    if (!message.empty()) return LogParameterError(message);
    form_.Bluetooth().SetRxContinuousMode(kVersion, req);
}

void RfTestPage::BuildTxLeMode() {
    T_BT_SET_TX_LE_MODE_REQ req{};
    std::string message;
    Put(req.channel, CheckInto(message, spin::TxChannel));
    Put(req.data_length, CheckInto(message, spin::LeDataLength));
    Put(req.power_level, CheckInto(message, spin::LpcLevel1));
    message += CheckedSelection(c_.lePattern, "LE Tx Data, Pattern selection", req.pattern);
    if (!message.empty()) return LogParameterError(message);
    form_.Bluetooth().SetTxLeMode(kVersion, req);
}

void RfTestPage::BuildRxLeStart() {
    T_BT_RX_LE_START_REQ req{};
    std::string message;
    Put(req.channel, CheckInto(message, spin::RxChannel));
    if (!message.empty()) return LogParameterError(message);
    const T_Result result = form_.Bluetooth().RxLeStart(kVersion, req);
    c_.leRxGet->setEnabled(result.code == T_RESULT_OK);
}

void RfTestPage::LeRxResultClick() {
    T_BT_RX_LE_END_CON con{};
    const T_Result result = form_.Bluetooth().RxLeEnd(kVersion, &con);
    if (result.code != T_RESULT_OK) return;
    c_.leRxResult->setText(QString::number(con.packets_high * 256 + con.packets_low));
    c_.leRxGet->setEnabled(false);
}

} // namespace ui
