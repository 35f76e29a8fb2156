// The NVM parameter page: reading all parameters onto the page, writing the modified ones,
// and writing all of them at once.

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <cstring>
#include <limits>

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

// The maximum that stands for the form's highest EPC power step.
constexpr int64_t kEpcMaxStep = -1;

// One parameter with a control of its own: an entry field (checked with `name` and the
// limits) or a track bar (taken as it stands; its mark is on `label`).
struct NvmControl {
    T_BT_NVM_PARAM_TYPE param;
    const char* control;
    const char* label; // track bars: the value label that carries the mark
    const char* name;  // entry fields: the name of the check messages
    int64_t minimum;
    int64_t maximum;
};

constexpr int64_t kU8 = 255;
constexpr int64_t kU16 = 65535;
constexpr int64_t kU32 = 4294967295;

// The parameters of the RF test page, in the order they are written and checked.
const NvmControl kRfPageControls[] = {
    {BNPT_EPC_MAX_POWER_1MBPS, "ed_EPCMaxPwrLvlOneMbitS", nullptr,
     "EPC GFSK (1 Mbit/s) max. power level", -35, 10},
    {BNPT_EPC_HIGHEST_STEP_1MBPS, "ed_EPCMaxPwrStepOneMbitS", nullptr,
     "EPC GFSK (1 Mbit/s) max. power step", 0, kEpcMaxStep},
    {BNPT_EPC_MAX_POWER_2MBPS, "ed_EPCMaxPwrLvlTwoMbitS", nullptr,
     "EPC Pi/4-DQPSK (2 Mbit/s) max. power level", -35, 8},
    {BNPT_EPC_HIGHEST_STEP_2MBPS, "ed_EPCMaxPwrStepTwoMbitS", nullptr,
     "EPC Pi/4-DQPSK (2 Mbit/s) max. power step", 0, kEpcMaxStep},
    {BNPT_EPC_MAX_POWER_3MBPS, "ed_EPCMaxPwrLvlThreeMbitS", nullptr,
     "EPC 8DPSK (3 Mbit/s) max. power level", -35, 8},
    {BNPT_EPC_HIGHEST_STEP_3MBPS, "ed_EPCMaxPwrStepThreeMbitS", nullptr,
     "EPC 8DPSK (3 Mbit/s) max. power step", 0, kEpcMaxStep},
    {BNPT_EPC_NUM_OF_PWR_CTRL_STEPS, "tb_EPCPowerControlNOfSteps",
     "lbl_EPCPowerControlNOfStepsValue", nullptr, 0, 0},
    {BNPT_EPC_PWR_CTRL_STEP_SIZE, "tb_EPCPowerControlStepSize", "lbl_EPCPowerControlStepSizeValue",
     nullptr, 0, 0},
    {BNPT_LPC_MAX_POWER_1MBPS, "ed_LPCMaxPwrLvlOneMbitS", nullptr,
     "LPC GFSK (1 Mbit/s) power level", -35, 10},
    {BNPT_LPC_MAX_POWER_2MBPS, "ed_LPCMaxPwrLvlTwoMbitS", nullptr,
     "LPC Pi/4-DQPSK (2 Mbit/s) power level", -35, 8},
    {BNPT_LPC_MAX_POWER_3MBPS, "ed_LPCMaxPwrLvlThreeMbitS", nullptr,
     "LPC 8DPSK (3 Mbit/s) power level", -35, 8},
    {BNPT_LPC_NUM_OF_PWR_CTRL_STEPS, "tb_LPCPowerControlNOfSteps",
     "lbl_LPCPowerControlNOfStepsValue", nullptr, 0, 0},
    {BNPT_LPC_PWR_CTRL_STEP_SIZE, "tb_LPCPowerControlStepSize", "lbl_LPCPowerControlStepSizeValue",
     nullptr, 0, 0},
    {BNPT_BR_PWR_LEVEL, "ed_BRSubStates", nullptr, "BR sub state. Default power level", -35, 10},
    {BNPT_LE_PWR_LEVEL, "ed_LE", nullptr, "LE. Default power level", -35, 10},
};

// The fields of the "NVM parameters" box after the LMP features, in the order they are
// written and checked.
const NvmControl kNvmBoxControls[] = {
    {BNPT_CHANNEL_WORD_OFFSET_RF_PLL, "editChannelWordOffset", nullptr, "Channel word offset", 0,
     kU16},
    {BNPT_RF_REFERENCE_CLOCK, "editInputFreq", nullptr, "Input freq", 0, kU32},
    {BNPT_LE_FEATURES_BIT_MASK, "editLeFeatures", nullptr, "Le features", 0, kU8},
    {BNPT_LPM_CONFIGURATION, "editLpmConf", nullptr, "Lpm conf", 0, kU8},
    {BNPT_LPM_DRIFT, "editLpmDrift", nullptr, "Lpm drift", 0, kU8},
    {BNPT_LPM_THRESHOLD, "editLpmThreshold", nullptr, "Lpm threshold", 0, kU8},
    {BNPT_ULTRA_LPM_THRESHOLD, "editUltraLpmThreshold", nullptr, "Ultra lpm threshold", 0, kU8},
    {BNPT_RSSI_MINIMUM, "editRssiMin", nullptr, "Rssi min", -128, 127},
    {BNPT_RSSI_MAXIMUM, "editRssiMax", nullptr, "Rssi max", -128, 127},
    {BNPT_RSSI_GOTO_MAX, "editRssiGotoMax", nullptr, "Rssi goto max", 0, kU8},
    {BNPT_UART_BAUDRATE, "editUartBaudrate", nullptr, "Uart baudrate", 0, kU8},
    {BNPT_UART_INVERT, "editUartInvert", nullptr, "Uart invert", 0, kU8},
    {BNPT_UART_LPM_LEVEL, "editUartLpmLevel", nullptr, "Uart lpm level", 0, kU8},
    {BNPT_OSC_SETTLE, "editOscSettleValue", nullptr, "Osc settle value", 0, kU8},
    {BNPT_PLL_SETTLE, "editPllSettleValue", nullptr, "Pll settle value", 0, kU8},
    {BNPT_DIG_SETTLE, "editDigSettleValue", nullptr, "Dig settle value", 0, kU8},
    {BNPT_BB_CONFIG, "editBbConf", nullptr, "Bb conf", 0, kU8},
    {BNPT_IDAC_COMPENSATION, "editIdacComp", nullptr, "Idac comp", 0, kU8},
    {BNPT_RF_CONFIG, "editRfConfig", nullptr, "Rf config", 0, kU8},
    {BNPT_LMP_VERSION, "editLmpVersion", nullptr, "Lmp version", 0, kU8},
    {BNPT_ULPM_CURRENT, "editUlpmCurrent", nullptr, "Ulpm current", 0, kU16},
    {BNPT_IDLE_CURRENT, "editIdleCurrent", nullptr, "Idle current", 0, kU16},
    {BNPT_ACTIVE_CURRENT, "editActiveCurrent", nullptr, "Active current", 0, kU16},
    {BNPT_TX_CURRENT, "editTxCurrent", nullptr, "Tx current", 0, kU16},
    {BNPT_RX_CURRENT, "editRxCurrent", nullptr, "Rx current", 0, kU16},
    {BNPT_RSSI_THRESHOLD, "editRssiThreshold", nullptr, "Rssi threshold", -128, 127},
};

// The read order: the RF test page's groups, then (with the "NVM parameters" box shown)
// its RSSI, UART, LPM, current, settle and misc groups.
const T_BT_NVM_PARAM_TYPE kRfPageReadOrder[] = {
    BNPT_BT_ADDRESS,
    BNPT_EPC_NUM_OF_PWR_CTRL_STEPS,
    BNPT_EPC_PWR_CTRL_STEP_SIZE,
    BNPT_EPC_MAX_POWER_1MBPS,
    BNPT_EPC_MAX_POWER_2MBPS,
    BNPT_EPC_MAX_POWER_3MBPS,
    BNPT_EPC_HIGHEST_STEP_1MBPS,
    BNPT_EPC_HIGHEST_STEP_2MBPS,
    BNPT_EPC_HIGHEST_STEP_3MBPS,
    BNPT_LPC_NUM_OF_PWR_CTRL_STEPS,
    BNPT_LPC_PWR_CTRL_STEP_SIZE,
    BNPT_LPC_MAX_POWER_1MBPS,
    BNPT_LPC_MAX_POWER_2MBPS,
    BNPT_LPC_MAX_POWER_3MBPS,
    BNPT_BR_PWR_LEVEL,
    BNPT_LE_PWR_LEVEL,
};
const T_BT_NVM_PARAM_TYPE kNvmBoxReadOrder[] = {
    BNPT_RSSI_MINIMUM,         BNPT_RSSI_MAXIMUM,
    BNPT_RSSI_GOTO_MAX,        BNPT_RSSI_THRESHOLD,
    BNPT_UART_BAUDRATE,        BNPT_UART_INVERT,
    BNPT_UART_LPM_LEVEL,       BNPT_LMP_FEATURES_BIT_MASK,
    BNPT_LPM_CONFIGURATION,    BNPT_LPM_DRIFT,
    BNPT_LPM_THRESHOLD,        BNPT_ULTRA_LPM_THRESHOLD,
    BNPT_LMP_VERSION,          BNPT_ULPM_CURRENT,
    BNPT_IDLE_CURRENT,         BNPT_ACTIVE_CURRENT,
    BNPT_TX_CURRENT,           BNPT_RX_CURRENT,
    BNPT_OSC_SETTLE,           BNPT_PLL_SETTLE,
    BNPT_DIG_SETTLE,           BNPT_CHANNEL_WORD_OFFSET_RF_PLL,
    BNPT_RF_REFERENCE_CLOCK,   BNPT_BB_CONFIG,
    BNPT_IDAC_COMPENSATION,    BNPT_RF_CONFIG,
    BNPT_LE_FEATURES_BIT_MASK,
};

const char* const kLmpFeatureEdits[8] = {
    "editLmpFeatures0", "editLmpFeatures1", "editLmpFeatures2", "editLmpFeatures3",
    "editLmpFeatures4", "editLmpFeatures5", "editLmpFeatures6", "editLmpFeatures7",
};

template <typename T> T* Out(T& field) {
    return &field;
}
template <std::size_t N> uint8_t* Out(uint8_t (&field)[N]) {
    return field;
}
template <typename T> T In(const T& field) {
    return field;
}
template <std::size_t N> const uint8_t* In(const uint8_t (&field)[N]) {
    return field;
}

// GetNvm<Param> of `param` into its field of `values`.
T_Result GetNvmParam(IBluetooth& bluetooth, T_BT_NVM_PARAM_TYPE param,
                     T_BT_ALL_NVM_PARAMS& values) {
    switch (param) {
#define BT_NVM_GET(Camel, field, id, kind, transfer)                                               \
    case id:                                                                                       \
        return bluetooth.GetNvm##Camel(kVersion, Out(values.field));
        BT_NVM_PARAMS(BT_NVM_GET)
#undef BT_NVM_GET
    default:
        return T_Result{T_RESULT_ERROR, "NVM command not supported"};
    }
}

// SetNvm<Param> of `param` with its field of `values`.
T_Result SetNvmParam(IBluetooth& bluetooth, T_BT_NVM_PARAM_TYPE param,
                     const T_BT_ALL_NVM_PARAMS& values) {
    switch (param) {
#define BT_NVM_SET(Camel, field, id, kind, transfer)                                               \
    case id:                                                                                       \
        return bluetooth.SetNvm##Camel(kVersion, In(values.field));
        BT_NVM_PARAMS(BT_NVM_SET)
#undef BT_NVM_SET
    default:
        return T_Result{T_RESULT_ERROR, "NVM command not supported"};
    }
}

// A scalar field of the record as a number, and back.
int64_t FieldValue(const T_BT_ALL_NVM_PARAMS& values, const nvm::ParamInfo& info) {
    const auto* at = reinterpret_cast<const unsigned char*>(&values) + info.offset;
    switch (info.kind) {
    case nvm::Kind::I8: {
        int8_t v;
        std::memcpy(&v, at, 1);
        return v;
    }
    case nvm::Kind::U16: {
        uint16_t v;
        std::memcpy(&v, at, 2);
        return v;
    }
    case nvm::Kind::U32: {
        uint32_t v;
        std::memcpy(&v, at, 4);
        return v;
    }
    default:
        return *at;
    }
}

void SetFieldValue(T_BT_ALL_NVM_PARAMS& values, const nvm::ParamInfo& info, int64_t value) {
    auto* at = reinterpret_cast<unsigned char*>(&values) + info.offset;
    switch (info.kind) {
    case nvm::Kind::U16: {
        const auto v = static_cast<uint16_t>(value);
        std::memcpy(at, &v, 2);
        break;
    }
    case nvm::Kind::U32: {
        const auto v = static_cast<uint32_t>(value);
        std::memcpy(at, &v, 4);
        break;
    }
    default:
        *at = static_cast<unsigned char>(value & 0xFF);
        break;
    }
}

void ClearMark(QWidget* control) {
    QFont font = control->font();
    font.setBold(false);
    control->setFont(font);
    QPalette palette = control->palette();
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::black);
    control->setPalette(palette);
}

bool IsMarked(const QWidget* control) {
    return control->font().bold();
}

} // namespace

int64_t Tfrm_main::NvmMaximum(int64_t tableMaximum) const {
    return tableMaximum == kEpcMaxStep ? epcMaxStep : tableMaximum;
}

void Tfrm_main::ShowNvmValue(T_BT_NVM_PARAM_TYPE param, const T_BT_ALL_NVM_PARAMS& values) {
    if (param == BNPT_BT_ADDRESS) {
        const int8_t base = C<QCheckBox>("chkbx_BTAddressUseHex")->isChecked() ? 16 : 10;
        for (int i = 0; i < 6; ++i) {
            const std::string name = "ed_BTAddress_" + std::to_string(i);
            Edit(name.c_str())->setText(Q(NumberToText(values.bdaddr[i], base, 2, false)));
        }
        return;
    }
    if (param == BNPT_LMP_FEATURES_BIT_MASK) {
        for (int i = 0; i < 8; ++i)
            Edit(kLmpFeatureEdits[i])->setText(QString::number(values.lmp_features[i]));
        return;
    }
    const nvm::ParamInfo* info = nvm::FindById(param);
    const int64_t value = FieldValue(values, *info);
    auto show = [&](const NvmControl& entry) {
        if (entry.label != nullptr)
            C<QSlider>(entry.control)->setValue(static_cast<int>(value));
        else
            Edit(entry.control)->setText(QString::number(value));
    };
    for (const NvmControl& entry : kRfPageControls)
        if (entry.param == param) return show(entry);
    for (const NvmControl& entry : kNvmBoxControls)
        if (entry.param == param) return show(entry);
}

void Tfrm_main::btn_ReadFromNVMClick() {
    markChanges = false;
    std::string collected;
    bool readAllFailed = false;
    T_BT_ALL_NVM_PARAMS values{};
    {
        WaitCursor wait;
        if (zepBackEnd) {
            // The text back-end's getters answer from what this read-all brings.
            T_BT_ALL_NVM_PARAMS all{};
            const T_Result result = bluetooth->ReadAllNvmParams(kVersion, &all);
            if (result.code != T_RESULT_OK) {
                readAllFailed = true;
                collected += result.text;
            }
        }
        auto read = [&](T_BT_NVM_PARAM_TYPE param) {
            if (readAllFailed) {
                SetNvmControlsEnabled(param, false);
                return;
            }
            const T_Result result = GetNvmParam(*bluetooth, param, values);
            if (result.code != T_RESULT_OK) {
                SetNvmControlsEnabled(param, false);
                collected += result.text;
                return;
            }
            SetNvmControlsEnabled(param, btOn);
            ShowNvmValue(param, values);
        };
        for (T_BT_NVM_PARAM_TYPE param : kRfPageReadOrder)
            read(param);
        if (!C("gbNvmNew")->isHidden()) {
            for (T_BT_NVM_PARAM_TYPE param : kNvmBoxReadOrder)
                read(param);
        }
    }
    nvmReadFailed = readAllFailed;
    if (!collected.empty())
        ShowLine("Unknown version of data retrieved for following NVM parameter(s):\n" + collected,
                 1);
    markChanges = true;
}

bool Tfrm_main::ReadLmpFeatures(uint8_t features[8]) {
    for (int i = 0; i < 8; ++i) {
        const std::optional<int32_t> byte = WholeNumber(Edit(kLmpFeatureEdits[i]));
        if (!byte) return false;
        features[i] = static_cast<uint8_t>(*byte & 0xFF);
    }
    return true;
}

void Tfrm_main::btn_WriteToNVMClick() {
    std::string message;
    T_BT_ALL_NVM_PARAMS values{};
    const bool nvmBoxShown = !C("gbNvmNew")->isHidden();
    bool lmpMarked = false;
    if (nvmBoxShown && Edit(kLmpFeatureEdits[0])->isEnabled()) {
        for (const char* edit : kLmpFeatureEdits)
            lmpMarked = lmpMarked || IsMarked(Edit(edit));
    }
    if (!nvmMarkOnly) {
        if (!ReadAddress(values.bdaddr)) return;
        // Read before anything is written, so a bad byte stops the press with nothing sent.
        if (lmpMarked && !ReadLmpFeatures(values.lmp_features)) return;
    }
    auto pass = [&](const NvmControl& entry) {
        QWidget* control = C(entry.control);
        QWidget* mark = entry.label != nullptr ? C(entry.label) : control;
        if (!control->isEnabled() || !IsMarked(mark)) return;
        if (!nvmMarkOnly) {
            int64_t value = 0;
            std::string fieldMessage;
            if (entry.label != nullptr) {
                value = static_cast<QSlider*>(control)->value();
            } else {
                const ui::Checked checked = ui::CheckNumber(
                    Text(entry.control), entry.name, entry.minimum, NvmMaximum(entry.maximum));
                value = checked.value;
                fieldMessage = checked.message;
            }
            message += fieldMessage;
            if (fieldMessage.empty()) {
                SetFieldValue(values, *nvm::FindById(entry.param), value);
                SetNvmParam(*bluetooth, entry.param, values);
            }
        }
        ClearMark(mark);
    };
    {
        WaitCursor wait;
        for (const NvmControl& entry : kRfPageControls)
            pass(entry);
        if (nvmBoxShown) {
            if (lmpMarked) {
                if (!nvmMarkOnly) SetNvmParam(*bluetooth, BNPT_LMP_FEATURES_BIT_MASK, values);
                for (QLineEdit* edit : C("gbNvmLmpFeatures")->findChildren<QLineEdit*>())
                    ClearMark(edit);
            }
            for (const NvmControl& entry : kNvmBoxControls)
                pass(entry);
        }
        if (message.empty()) {
            bool addressMarked = false;
            for (int i = 0; i < 6; ++i) {
                const std::string name = "ed_BTAddress_" + std::to_string(i);
                addressMarked = addressMarked || IsMarked(Edit(name.c_str()));
            }
            if (Edit("ed_BTAddress_0")->isEnabled() && addressMarked && !nvmMarkOnly)
                SetNvmParam(*bluetooth, BNPT_BT_ADDRESS, values);
            for (QLineEdit* edit : C("gb_BTDeviceAddressTest")->findChildren<QLineEdit*>())
                ClearMark(edit);
        }
    }
    if (!message.empty()) LogParameterError(message);
    nvmMarkOnly = false;
}

void Tfrm_main::btnWriteAllNvmClick() {
    if (nvmReadFailed) {
        LogParameterError("\nNVM parameters have not been read from the phone\n");
        return;
    }
    T_BT_ALL_NVM_PARAMS values{};
    if (!ReadAddress(values.bdaddr)) return;
    if (!ReadLmpFeatures(values.lmp_features)) return;
    std::string message;
    auto take = [&](const NvmControl& entry) {
        int64_t value = 0;
        if (entry.label != nullptr) {
            value = C<QSlider>(entry.control)->value();
        } else {
            const ui::Checked checked = ui::CheckNumber(Text(entry.control), entry.name,
                                                        entry.minimum, NvmMaximum(entry.maximum));
            message += checked.message;
            value = checked.value;
        }
        SetFieldValue(values, *nvm::FindById(entry.param), value);
    };
    for (const NvmControl& entry : kRfPageControls)
        take(entry);
    for (const NvmControl& entry : kNvmBoxControls)
        take(entry);
    if (!message.empty()) {
        LogParameterError(message);
        return;
    }
    {
        WaitCursor wait;
        bluetooth->WriteAllNvmParams(kVersion, values);
    }
    nvmMarkOnly = true;
    btn_WriteToNVMClick();
}
