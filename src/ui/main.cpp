#include "ui/main.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabBar>
#include <QVBoxLayout>

#include "bt/ibluetooth.h"
#include "plugin/host.h"
#include "plugin/plugin.h"
#include "ui/backend.h"
#include "ui/form_util.h"
#include "ui/layout.h"
#include "ui/rules.h"
#include "ui/widgets.h"
#include "util/util.h"

using ui::kVersion;
using ui::Q;
using ui::WaitCursor;

namespace {

// The mode button table: rg_TestModes, btn_BTDTest, btn_WriteToNVM, btn_ReadFromNVM,
// btnWriteAllNvm. No mode selected (7) leaves every one of them off.
constexpr bool kModeEnableTable[BT_TEST_MODE_COUNT + 1][5] = {
    {true, true, false, false, false}, {true, true, false, false, false},
    {true, true, false, false, false}, {true, true, false, false, false},
    {true, true, false, false, false}, {true, true, false, false, false},
    {false, false, true, true, true},  {false, false, false, false, false},
};

// The form's frame: a caption without buttons or system menu.
constexpr Qt::WindowFlags kFrameFlags = Qt::CustomizeWindowHint | Qt::WindowTitleHint;

// The group box of each NVM parameter that has one on the form.
const char* const kNvmGroupBoxNames[BNPT_MAX_COUNT] = {
    "gb_BTDeviceAddressTest",
    "gbNvmChannelWordOffset",
    "gbNvmInputFreq",
    "gbNvmLmpFeatures",
    "gbNvmLeFeatures",
    "gbNvmLpmConf",
    "gbNvmLpmDrift",
    "gbNvmLpmThreshold",
    "gbNvmUltraLpmThreshold",
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    "gb_LPCOneMbitS",
    "gb_LPCTwoMbitS",
    "gb_LPCThreeMbitS",
    nullptr,
    nullptr,
    "gb_BRSubStates",
    "gbNvmRssiThreshold",
    "gb_LE",
    "gbNvmRssiMin",
    "gbNvmRssiMax",
    "gbNvmRssiGotoMax",
    "gbNvmUartBaudrate",
    "gbNvmUartInvert",
    "gbNvmOscSettleValue",
    "gbNvmPllSettleValue",
    "gbNvmDigSettleValue",
    "gbNvmBbConf",
    "gbNvmIdacComp",
    "gbNvmRfConfig",
    "gbNvmLmpVersion",
    "gbNvmUartLpmLevel",
    "gbNvmUlpmCurrent",
    "gbNvmIdleCurrent",
    "gbNvmActiveCurrent",
    "gbNvmTxCurrent",
    "gbNvmRxCurrent",
};

// NVM data mode: the EPC and LPC power controls, by the parameter whose record they need.
struct NvmPowerControls {
    T_BT_NVM_PARAM_TYPE param;
    std::array<const char*, 4> controls; // unused places are null
};
const NvmPowerControls kNvmPowerControls[] = {
    {BNPT_EPC_MAX_POWER_1MBPS,
     {"lbl_EPCOneMbitS", "ed_EPCMaxPwrLvlOneMbitS", "ud_EPCPwrLvlOneMbitSUpDown",
      "lbl_EPCOneMbitSdB"}},
    {BNPT_EPC_HIGHEST_STEP_1MBPS,
     {"lbl_EPCMaxPwrStepOneMbitS", "ed_EPCMaxPwrStepOneMbitS", "ud_EPCPwrStepOneMbitSUpDown"}},
    {BNPT_EPC_MAX_POWER_2MBPS,
     {"lbl_EPCTwoMbitS", "ed_EPCMaxPwrLvlTwoMbitS", "ud_EPCPwrLvlTwoMbitSUpDown",
      "lbl_EPCTwoMbitSdB"}},
    {BNPT_EPC_HIGHEST_STEP_2MBPS,
     {"lbl_EPCMaxPwrStepTwoMbitS", "ed_EPCMaxPwrStepTwoMbitS", "ud_EPCPwrStepTwoMbitSUpDown"}},
    {BNPT_EPC_MAX_POWER_3MBPS,
     {"lbl_EPCThreeMbitS", "ed_EPCMaxPwrLvlThreeMbitS", "ud_EPCPwrLvlThreeMbitSUpDown",
      "lbl_EPCThreeMbitSdB"}},
    {BNPT_EPC_HIGHEST_STEP_3MBPS,
     {"lbl_EPCMaxPwrStepThreeMbitS", "ed_EPCMaxPwrStepThreeMbitS",
      "ud_EPCPwrStepThreeMbitSUpDown"}},
    {BNPT_EPC_NUM_OF_PWR_CTRL_STEPS,
     {"lbl_EPCPowerControlNOfSteps", "lbl_EPCPowerControlNOfStepsValue",
      "tb_EPCPowerControlNOfSteps"}},
    {BNPT_EPC_PWR_CTRL_STEP_SIZE,
     {"lbl_EPCPowerControlStepSize", "lbl_EPCPowerControlStepSizeValue",
      "tb_EPCPowerControlStepSize"}},
    {BNPT_LPC_NUM_OF_PWR_CTRL_STEPS,
     {"lbl_LPCPowerControlNOfSteps", "lbl_LPCPowerControlNOfStepsValue",
      "tb_LPCPowerControlNOfSteps"}},
    {BNPT_LPC_PWR_CTRL_STEP_SIZE,
     {"lbl_LPCPowerControlStepSize", "lbl_LPCPowerControlStepSizeValue",
      "tb_LPCPowerControlStepSize"}},
};

// Edits whose text changes paint them as modified.
const char* const kMarkedEdits[] = {
    "ed_BTAddress_0",
    "ed_BTAddress_1",
    "ed_BTAddress_2",
    "ed_BTAddress_3",
    "ed_BTAddress_4",
    "ed_BTAddress_5",
    "ed_BRSubStates",
    "ed_LE",
    "ed_EPCMaxPwrLvlOneMbitS",
    "ed_EPCMaxPwrLvlTwoMbitS",
    "ed_EPCMaxPwrLvlThreeMbitS",
    "ed_EPCMaxPwrStepOneMbitS",
    "ed_EPCMaxPwrStepTwoMbitS",
    "ed_EPCMaxPwrStepThreeMbitS",
    "ed_LPCMaxPwrLvlOneMbitS",
    "ed_LPCMaxPwrLvlTwoMbitS",
    "ed_LPCMaxPwrLvlThreeMbitS",
};

} // namespace

Tfrm_main::Tfrm_main(QWidget* parent)
    : Tfrm_main(nullptr, ui::InterfaceKindFromHost() == 2, parent) {
    bluetooth = ui::CreateBackEnd(zepBackEnd);
}

Tfrm_main::Tfrm_main(std::unique_ptr<IBluetooth> backEnd, bool zep, QWidget* parent)
    : QWidget(parent), bluetooth(std::move(backEnd)), zepBackEnd(zep) {
    Construct();
}

Tfrm_main::~Tfrm_main() = default;

void Tfrm_main::Construct() {
    ui::InstallMessageBoxes();
    setObjectName("frm_main");
    setWindowTitle("Bluetooth");
    // The host opens and closes the form: its frame has a caption and no buttons.
    if (parentWidget() == nullptr) setWindowFlags(Qt::Window | kFrameFlags);
    QFont font = this->font();
    font.setPointSize(8);
    setFont(font);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    auto* content = new QWidget();
    content->setMinimumSize(1100, 700);
    ui::BuildFormLayout(content);
    scroll->setWidget(content);
    outer->addWidget(scroll);

    for (std::size_t i = 0; i < BNPT_MAX_COUNT; ++i) {
        if (kNvmGroupBoxNames[i] != nullptr) nvmGroupBoxes[i] = C<QGroupBox>(kNvmGroupBoxNames[i]);
    }
    modeGroup = new QButtonGroup(this);
    Wire();
}

QLineEdit* Tfrm_main::Edit(const char* name) const {
    return C<QLineEdit>(name);
}

std::string Tfrm_main::Text(const char* name) const {
    return Edit(name)->text().toStdString();
}

void Tfrm_main::Wire() {
    auto click = [this](const char* name, void (Tfrm_main::*handler)()) {
        connect(C<QAbstractButton>(name), &QAbstractButton::clicked, this, handler);
    };
    click("btn_BluetoothInit", &Tfrm_main::btn_BluetoothInitClick);
    click("btn_BTDSwReset", &Tfrm_main::btn_BTDSwResetClick);
    click("chkbx_NvmDataMode", &Tfrm_main::rg_TestModesClick);
    connect(modeGroup, &QButtonGroup::buttonClicked, this, [this] { rg_TestModesClick(); });
    click("btn_BTDTest", &Tfrm_main::btn_BTDTestClick);
    click("btn_LeRxResult", &Tfrm_main::btn_LeRxResultClick);
    click("chkbx_Hopping", &Tfrm_main::chkbx_HoppingClick);
    click("btn_ReadFromNVM", &Tfrm_main::btn_ReadFromNVMClick);
    click("btn_WriteToNVM", &Tfrm_main::btn_WriteToNVMClick);
    click("btnWriteAllNvm", &Tfrm_main::btnWriteAllNvmClick);
    WireHciPage();
    C("memo_HCICommandSequence")->installEventFilter(this);

    connect(Edit("ed_TXChannel"), &QLineEdit::textChanged, this, &Tfrm_main::ed_TXChannelChange);
    connect(Edit("ed_LeDataLength"), &QLineEdit::textChanged, this, &Tfrm_main::ed_TXChannelChange);
    connect(Edit("ed_RXChannel"), &QLineEdit::textChanged, this, &Tfrm_main::ed_RXChannelChange);
    auto slider = [this](const char* name, void (Tfrm_main::*handler)()) {
        connect(C<QSlider>(name), &QSlider::valueChanged, this, handler);
    };
    slider("tb_TxPowerCoarse", &Tfrm_main::tb_TxPowerCoarseChange);
    slider("tb_TxPowerFine", &Tfrm_main::tb_TxPowerFineChange);
    slider("tb_PowerLevel", &Tfrm_main::tb_PowerLevelChange);
    slider("tb_LPCPowerControlNOfSteps", &Tfrm_main::tb_LPCPowerControlChange);
    slider("tb_LPCPowerControlStepSize", &Tfrm_main::tb_LPCPowerControlStepSizeChange);
    slider("tb_EPCPowerControlStepSize", &Tfrm_main::tb_EPCPowerControlStepSizeChange);
    slider("tb_EPCPowerControlNOfSteps", &Tfrm_main::tb_EPCPowerControlNOfStepsChange);
    connect(C<QComboBox>("cb_ModulationType"), &QComboBox::currentIndexChanged, this,
            &Tfrm_main::cb_ModulationTypeChange);

    std::vector<QLineEdit*> marked;
    for (const char* name : kMarkedEdits)
        marked.push_back(Edit(name));
    for (QLineEdit* edit : C<QGroupBox>("gbNvmNew")->findChildren<QLineEdit*>())
        marked.push_back(edit);
    for (QLineEdit* edit : marked)
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { ed_OnTextChange(edit); });

    click("btn_GetInformation", &Tfrm_main::btn_GetInformationClick);
    C<QLabel>("Image1")->installEventFilter(this);
    click("btn_CheckHostInterface", &Tfrm_main::btn_CheckHostInterfaceClick);
    click("btn_CheckSleepXSignal", &Tfrm_main::btn_CheckSleepXSignalClick);
    click("btn_GetRSSI", &Tfrm_main::btn_GetRSSIClick);
    click("btn_GetRTRIMValues", &Tfrm_main::btn_GetRTRIMValuesClick);
    click("btn_SetRTRIMManualValue", &Tfrm_main::btn_SetRTRIMManualValueClick);
    click("btn_GetKFREQIBIASDACValues", &Tfrm_main::btn_GetKFREQIBIASDACValuesClick);
    click("btn_SetKFREQIBIASDACValues", &Tfrm_main::btn_SetKFREQIBIASDACManualValueClick);
    click("btn_GetTMEASValues", &Tfrm_main::btn_GetTMEASValuesClick);
    click("btn_SetTMEASValues", &Tfrm_main::btn_SetTMEASManualValueClick);
    click("btn_GetVMEASValues", &Tfrm_main::btn_GetVMEASValuesClick);
    click("btn_SetVMEASValues", &Tfrm_main::btn_SetVMEASManualValueClick);
    // "Enable Propagation" shares the RTRIM box's handler.
    for (const char* box :
         {"chkbx_UseRTRIMManualValue", "chkbx_EnablePropagation", "chkbx_UseIBIASDACManualValue",
          "chkbx_UseKFREQManualValue", "chkbx_UseTMEASManualValue", "chkbx_UseVMEASManualValue"}) {
        click(box, &Tfrm_main::ApplyManualEditStates);
    }
    click("btn_PcmUartWakeupInterfaceSet", &Tfrm_main::btn_PcmUartWakeupInterfaceSetClick);
    click("btn_PCMInterfaceGet", &Tfrm_main::btn_PCMUARTWAKEUPInterfaceGetClick);
    click("btn_PCMLoopbackOn", &Tfrm_main::btn_PCMLoopbackOnClick);
    click("btn_PCMLoopbackOff", &Tfrm_main::btn_PCMLoopbackOffClick);
}

bool Tfrm_main::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick && watched->objectName() == "Image1") {
        Image1DblClick();
        return true;
    }
    // The request field takes no line breaks from the keyboard.
    if (event->type() == QEvent::KeyPress && watched->objectName() == "memo_HCICommandSequence") {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Tfrm_main::changeEvent(QEvent* event) {
    // An MDI area frames its sub-windows with every caption button unless told otherwise.
    if (event->type() == QEvent::ParentChange) {
        if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
            frame->setWindowFlags(Qt::SubWindow | kFrameFlags);
    }
    QWidget::changeEvent(event);
}

void Tfrm_main::closeEvent(QCloseEvent* event) {
    // Closing does not free the form: the plug-in destroys it afterwards.
    SaveHciCommands();
    event->accept();
}

// ---------------------------------------------------------------------------------------
// Shared routines

uint8_t Tfrm_main::ReqVersion(T_ATCTST_BT_FUNCTION function) const {
    return bluetooth->GetReqVersion(zepBackEnd ? ui::OpcodeOfFunction(function)
                                               : static_cast<uint16_t>(function));
}

uint8_t Tfrm_main::ConVersion(T_ATCTST_BT_FUNCTION function) const {
    return bluetooth->GetConVersion(zepBackEnd ? ui::OpcodeOfFunction(function)
                                               : static_cast<uint16_t>(function));
}

uint32_t Tfrm_main::CurrentTestMode() const {
    if (C<QCheckBox>("chkbx_NvmDataMode")->isChecked()) return BT_TEST_MODE_NVM_DATA;
    for (QRadioButton* item : modeItems) {
        if (item->isChecked()) return item->property("mode").toUInt();
    }
    return BT_TEST_MODE_COUNT;
}

void Tfrm_main::SetChildrenEnabled(QWidget* container, bool enabled) {
    if (container == nullptr) return;
    for (QWidget* child : container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setEnabled(enabled);
}

void Tfrm_main::SetEnabled(std::initializer_list<const char*> names, bool enabled) {
    for (const char* name : names)
        C(name)->setEnabled(enabled);
}

void Tfrm_main::LogParameterError(const std::string& text) {
    ShowLine("Parameter error:" + text, 0);
}

void Tfrm_main::ShowConversionError(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, "Error", Q(ui::NotAnIntegerMessage(text)),
                    QMessageBox::Ok, this);
    box.exec();
}

std::optional<int32_t> Tfrm_main::WholeNumber(QLineEdit* edit) {
    const std::string text = edit->text().toStdString();
    const std::optional<int32_t> number = ui::ReadWholeNumber(text);
    if (!number) ShowConversionError(text);
    return number;
}

void Tfrm_main::MarkChanged(QWidget* control) {
    QFont font = control->font();
    font.setBold(markChanges);
    control->setFont(font);
    QPalette palette = control->palette();
    const QColor colour = markChanges ? QColor(Qt::red) : QColor(Qt::black);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::WindowText, colour);
    control->setPalette(palette);
}

void Tfrm_main::ed_OnTextChange(QWidget* sender) {
    MarkChanged(sender);
}

void Tfrm_main::ApplyChipState(bool on) {
    auto* init = C<QPushButton>("btn_BluetoothInit");
    init->setChecked(on);
    static_cast<TLamp*>(C("shp_BTOnOff"))->setColor(on ? "green" : "red");
    SetEnabled({"btn_GetInformation", "btn_BTDSwReset", "chkbx_NvmDataMode"}, on);
    ApplyModeButtons();
}

void Tfrm_main::ApplyModeButtons() {
    const uint32_t mode = std::min<uint32_t>(CurrentTestMode(), BT_TEST_MODE_COUNT);
    for (std::size_t i = 0; i < modeControls.size(); ++i) {
        if (modeControls[i] != nullptr)
            modeControls[i]->setEnabled(kModeEnableTable[mode][i] && btOn);
    }
}

// ---------------------------------------------------------------------------------------
// Start-up

void Tfrm_main::StartUp() {
    if (frm_main == nullptr) {
        QMessageBox box(QMessageBox::Information, windowTitle(), "Out of Memory!", QMessageBox::Ok,
                        this);
        box.exec();
        return;
    }
    raise();
    setWindowState(windowState() | Qt::WindowMaximized);
    if (!bluetooth) {
        QMessageBox box(QMessageBox::Information, windowTitle(),
                        "Target baseband version cannot be found or is not support",
                        QMessageBox::Ok, this);
        box.exec();
        return;
    }
    auto* nvmNew = C<QGroupBox>("gbNvmNew");
    C("btnWriteAllNvm")->setVisible(zepBackEnd);
    nvmNew->setVisible(zepBackEnd);
    for (QWidget* child : nvmNew->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setVisible(zepBackEnd);

    if (auto setDelay = host::SetTimeOutDelaySlot()) setDelay(5);
    InitControls();

    T_Result info;
    {
        WaitCursor wait;
        info = bluetooth->GetHwInfo(kVersion);
    }
    btOn = bluetooth->IsBtOn() == 1;
    if (info.text.empty()) {
        if (auto reset = host::ResetTimeoutDelaySlot()) reset();
        ApplyChipState(btOn);
        btn_ReadFromNVMClick();
        UpdateControlStates();
        if (btOn) btn_PCMUARTWAKEUPInterfaceGetClick();
    } else {
        ApplyChipState(false);
        C("btn_BluetoothInit")->setEnabled(false);
        QMessageBox box(QMessageBox::Critical, windowTitle(),
                        Q(info.text + "\n\nOperation not possible\n"), QMessageBox::Ok, this);
        box.exec();
    }
}

void Tfrm_main::InitControls() {
    auto* interval = C<QComboBox>("cb_TXInterval");
    for (int value = 2; value <= 254; value += 2)
        interval->addItem(QString::number(value), value);
    interval->setCurrentIndex(-1);
    SetUpAuxiliaryBox("gb_PCMLoopBack", true);
    SetUpAuxiliaryBox("gb_ConnectionType", true);
    FillLists();
    for (const char* box :
         {"gb_RTRIMFuse", "gb_IBIASDAC_KFREQ_Fuse", "gb_VMEASFuse", "gb_TMEASFuse"})
        SetUpAuxiliaryBox(box, true);
    SetUpRssiBox(true);
    SetUpHciCommandBox();
    FillTestModes();
    modeControls = {C("rg_TestModes"), C("btn_BTDTest"), C("btn_WriteToNVM"), C("btn_ReadFromNVM"),
                    C("btnWriteAllNvm")};
    tb_TxPowerCoarseChange();
    tb_TxPowerFineChange();
    tb_LPCPowerControlChange();
    tb_LPCPowerControlStepSizeChange();
    C<QLabel>("lbl_EPCPowerControlNOfStepsValue")
        ->setText(QString::number(C<QSlider>("tb_EPCPowerControlNOfSteps")->value()));
    SetSerialInterfaceModeLabel();
    SetChannelLimits(CurrentTestMode());
    EpcStepCountUpdate(this);
    C("gb_CheckHostInterface")->setVisible(false);
    C("gb_CheckSleepXSignal")->setVisible(false);
}

void Tfrm_main::SetSerialInterfaceModeLabel() {
    auto* label = C<QLabel>("lbl_SerialInterfaceMode");
    switch (bluetooth->GetHostInterface()) {
    case 0:
        label->setText("UART");
        C("btn_CheckHostInterface")->setEnabled(true);
        break;
    case 1:
        label->setText("BT-IF");
        C("btn_CheckHostInterface")->setEnabled(true);
        break;
    default:
        label->setText("?");
        break;
    }
}

void Tfrm_main::SetUpHciCommandBox() {
    SetChildrenEnabled(C("gb_RawHciCommand"), false);
    const uint8_t request = ReqVersion(atctst_bt_hci_command);
    if (request == 1) {
        SetEnabled({"lbl_HCICommandRequest", "memo_HCICommandSequence", "btn_SendHCICommand",
                    "rg_HCISequenceSeparator", "chkbx_HCICommandUseHex", "tc_HciCommands",
                    "btn_AddHciCommand", "btn_DeleteHciCommand", "btn_EditHciCommand"},
                   true);
    } else {
        LogParameterError("\nUnknown data version. T_BT_HCI_COMMAND_REQ = " +
                          std::to_string(request));
    }
    const uint8_t confirm = ConVersion(atctst_bt_hci_command);
    if (confirm == 1) {
        SetEnabled({"lbl_HCICommandResponse", "memo_HCICommandResponse"}, true);
    } else {
        LogParameterError("\nUnknown data version. T_BT_HCI_COMMAND_CON = " +
                          std::to_string(confirm));
    }
    LoadHciCommands();
}

// ---------------------------------------------------------------------------------------
// Chip switch, reset and the mode click

void Tfrm_main::btn_BluetoothInitClick() {
    // The button only shows the chip state; the click must not flip it by itself.
    C<QPushButton>("btn_BluetoothInit")->setChecked(btOn);
    C<QLabel>("lbl_CheckHostInterfaceResult")->setText("?");
    C<QLabel>("lbl_CheckSleepXSignalResult")->setText("?");
    const T_Result result = bluetooth->Initialize(kVersion);
    if (result.code == T_RESULT_OK) {
        btOn = bluetooth->IsBtOn() == 1;
        ApplyChipState(btOn);
        if (btOn) btn_PCMUARTWAKEUPInterfaceGetClick();
    } else if (result.code == T_RESULT_VERSION_MISMATCH) {
        LogParameterError(result.text);
    }
    rg_TestModesClick();
}

void Tfrm_main::btn_BTDSwResetClick() {
    WaitCursor wait;
    bool resetOk = false;
    bluetooth->ResetHci(kVersion, &resetOk);
}

void Tfrm_main::rg_TestModesClick() {
    const uint32_t mode = CurrentTestMode();
    UpdateControlStates();
    SetChannelLimits(mode);
    if (mode == BT_TEST_MODE_TX_BURST) tb_LPCPowerControlChange();
    if (mode == BT_TEST_MODE_TEST || mode == BT_TEST_MODE_NVM_DATA) EpcStepCountUpdate(this);
    ApplyModeButtons();
    cb_ModulationTypeChange();
    markChanges = C<QCheckBox>("chkbx_NvmDataMode")->isChecked();
}

void Tfrm_main::UpdateControlStates() {
    const uint32_t mode = CurrentTestMode();
    for (const char* box :
         {"gb_Channel", "gb_TXPower", "rg_AFHChannelMap", "gb_PowerLevel", "gb_Data",
          "gb_BTDeviceAddressTest", "gb_LPCPowerControl", "gb_LPCOneMbitS", "gb_LPCTwoMbitS",
          "gb_LPCThreeMbitS", "gb_EPCPowerControl", "gb_EPCOneMbitS", "gb_EPCTwoMbitS",
          "gb_EPCThreeMbitS", "gb_LE", "gb_BRSubStates", "gb_LeTxData", "gb_LeRxResult"}) {
        SetChildrenEnabled(C(box), false);
    }
    if (mode < BT_TEST_MODE_NVM_DATA) {
        EnableForMode(mode);
    } else if (mode == BT_TEST_MODE_NVM_DATA && !nvmReadFailed) {
        for (const NvmPowerControls& row : kNvmPowerControls) {
            const bool enable =
                btOn && bluetooth->GetNvmDataVersion(static_cast<uint8_t>(row.param)) == 1;
            for (const char* name : row.controls) {
                if (name != nullptr) C(name)->setEnabled(enable);
            }
        }
        for (std::size_t i = 0; i < BNPT_MAX_COUNT; ++i) {
            QGroupBox* box = nvmGroupBoxes[i];
            if (box == nullptr || box->parentWidget()->isHidden()) continue;
            if (bluetooth->GetNvmDataVersion(static_cast<uint8_t>(i)) == 1)
                SetChildrenEnabled(box, btOn);
        }
    }
    SetUpAuxiliaryBoxes(false);
    SetEnabled({"btn_CheckHostInterface", "btn_CheckSleepXSignal"}, btOn);
    SetChildrenEnabled(C("gb_RawHciCommand"), false);
    if (ReqVersion(atctst_bt_hci_command) == 1) {
        SetEnabled({"lbl_HCICommandRequest", "memo_HCICommandSequence", "btn_SendHCICommand",
                    "rg_HCISequenceSeparator", "chkbx_HCICommandUseHex", "tc_HciCommands",
                    "btn_AddHciCommand", "btn_DeleteHciCommand", "btn_EditHciCommand"},
                   btOn);
    }
    if (ConVersion(atctst_bt_hci_command) == 1)
        SetEnabled({"lbl_HCICommandResponse", "memo_HCICommandResponse"}, btOn);
}

void Tfrm_main::SetNvmControlsEnabled(T_BT_NVM_PARAM_TYPE param, bool enabled) {
    for (const NvmPowerControls& row : kNvmPowerControls) {
        if (row.param != param) continue;
        for (const char* name : row.controls) {
            if (name != nullptr) C(name)->setEnabled(enabled);
        }
        return;
    }
    SetChildrenEnabled(nvmGroupBoxes[param], enabled);
}
