#include "ui/main.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "backend/backend.h"
#include "bt/ibluetooth.h"
#include "bt/interface_kind.h"
#include "plugin/host.h"
#include "plugin/plugin.h"
#include "ui/backend.h"
#include "ui/form_util.h"
#include "ui/page_aux.h"
#include "ui/page_hci.h"
#include "ui/page_nvm.h"
#include "ui/page_rf.h"
#include "ui/rules.h"
#include "ui/widgets.h"

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

} // namespace

Tfrm_main::Tfrm_main(QWidget* parent) : Tfrm_main(ui::InterfaceKindFromHost(), parent) {}

Tfrm_main::Tfrm_main(int32_t interfaceKind, QWidget* parent)
    : Tfrm_main(nullptr, bt::IsTextInterface(interfaceKind), parent) {
    bluetooth = backend::CreateBackEnd(interfaceKind);
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
    controls = ui::BuildFormLayout(content);
    scroll->setWidget(content);
    outer->addWidget(scroll);

    ui::FormContext& context = *this;
    rfPage = std::make_unique<ui::RfTestPage>(context, controls);
    auxPage = std::make_unique<ui::AuxPage>(context, controls);
    nvmPage = std::make_unique<ui::NvmPage>(context, controls, *rfPage);
    hciPage = std::make_unique<ui::HciPage>(context, this, controls);

    const ui::HeaderControls& header = controls.header;
    connect(header.init, &QAbstractButton::clicked, this, &Tfrm_main::btn_BluetoothInitClick);
    connect(header.reset, &QAbstractButton::clicked, this, &Tfrm_main::btn_BTDSwResetClick);
    connect(controls.nvm.dataMode, &QAbstractButton::clicked, this, &Tfrm_main::rg_TestModesClick);
    connect(rfPage->ModeGroup(), &QButtonGroup::buttonClicked, this,
            [this] { rg_TestModesClick(); });
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
    hciPage->Save();
    event->accept();
}

// ---------------------------------------------------------------------------------------
// Shared routines

uint32_t Tfrm_main::CurrentTestMode() const {
    return rfPage->CurrentTestMode();
}

void Tfrm_main::ShowConversionError(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, "Error", Q(ui::NotAnIntegerMessage(text)),
                    QMessageBox::Ok, this);
    box.exec();
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

void Tfrm_main::ApplyChipState(bool on) {
    const ui::HeaderControls& header = controls.header;
    header.init->setChecked(on);
    header.lamp->setColor(on ? "green" : "red");
    header.getInformation->setEnabled(on);
    header.reset->setEnabled(on);
    controls.nvm.dataMode->setEnabled(on);
    ApplyModeButtons();
}

void Tfrm_main::ApplyModeButtons() {
    const uint32_t mode = std::min<uint32_t>(CurrentTestMode(), BT_TEST_MODE_COUNT);
    for (std::size_t i = 0; i < modeControls.size(); ++i) {
        if (modeControls[i] != nullptr)
            modeControls[i]->setEnabled(kModeEnableTable[mode][i] && btOn);
    }
}

std::vector<ui::HciCommandTab> Tfrm_main::HciCommandTabs() const {
    return hciPage->Tabs();
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
    nvmPage->ShowTextProtocolControls(zepBackEnd);

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
        nvmPage->Read();
        UpdateControlStates();
        if (btOn) auxPage->GetInterfaces();
    } else {
        ApplyChipState(false);
        controls.header.init->setEnabled(false);
        QMessageBox box(QMessageBox::Critical, windowTitle(),
                        Q(info.text + "\n\nOperation not possible\n"), QMessageBox::Ok, this);
        box.exec();
    }
}

void Tfrm_main::InitControls() {
    using Box = ui::AuxPage::Box;
    rfPage->FillIntervals();
    auxPage->SetUpBox(Box::Loopback, true);
    auxPage->SetUpBox(Box::Connection, true);
    rfPage->FillLists();
    for (Box box : {Box::Rtrim, Box::Kfreq, Box::Vmeas, Box::Tmeas})
        auxPage->SetUpBox(box, true);
    auxPage->SetUpRssiBox(true);
    hciPage->ApplyVersions(true);
    hciPage->Load();
    rfPage->FillTestModes();
    const ui::NvmControls& nvm = controls.nvm;
    modeControls = {controls.rf.modes, controls.rf.test, nvm.write, nvm.read, nvm.writeAll};
    rfPage->ShowTrackBarLabels();
    auxPage->SetSerialInterfaceModeLabel();
    rfPage->SetChannelLimits(CurrentTestMode());
    rfPage->EpcStepCountUpdate(false);
    auxPage->HideChecks();
}

// ---------------------------------------------------------------------------------------
// Chip switch, reset and the mode click

void Tfrm_main::btn_BluetoothInitClick() {
    // The button only shows the chip state; the click must not flip it by itself.
    controls.header.init->setChecked(btOn);
    auxPage->ResetCheckLabels();
    const T_Result result = bluetooth->Initialize(kVersion);
    if (result.code == T_RESULT_OK) {
        btOn = bluetooth->IsBtOn() == 1;
        ApplyChipState(btOn);
        if (btOn) auxPage->GetInterfaces();
    } else if (result.code == T_RESULT_VERSION_MISMATCH) {
        ui::LogParameterError(result.text);
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
    rfPage->SetChannelLimits(mode);
    if (mode == BT_TEST_MODE_TX_BURST) rfPage->TrackChanged(ui::track::LpcSteps);
    if (mode == BT_TEST_MODE_TEST || mode == BT_TEST_MODE_NVM_DATA)
        rfPage->EpcStepCountUpdate(false);
    ApplyModeButtons();
    rfPage->PatternEnabling();
    markChanges = controls.nvm.dataMode->isChecked();
}

void Tfrm_main::UpdateControlStates() {
    const uint32_t mode = CurrentTestMode();
    rfPage->DisableModeControls();
    if (mode < BT_TEST_MODE_NVM_DATA)
        rfPage->EnableForMode(mode);
    else if (mode == BT_TEST_MODE_NVM_DATA)
        nvmPage->EnableFields();
    auxPage->SetUpBoxes();
    auxPage->EnableChecks(btOn);
    hciPage->ApplyVersions(false);
}
