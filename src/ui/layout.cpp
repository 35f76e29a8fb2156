#include "ui/layout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <set>
#include <string>

#include "ui/widgets.h"

namespace ui {

namespace {

// A container with a grid; each call places one control at (row, column) and gives it
// its name, caption, range and initial value in one line.
class Grid {
public:
    explicit Grid(QWidget* widget) : w(widget), grid(new QGridLayout(widget)) {
        grid->setContentsMargins(6, 4, 6, 4);
        grid->setSpacing(4);
    }

    QWidget* w;
    QGridLayout* grid;

    template <typename T> T* put(T* control, int row, int col, int rowSpan = 1, int colSpan = 1) {
        grid->addWidget(control, row, col, rowSpan, colSpan);
        return control;
    }
    Grid box(int row, int col, const char* name, const char* title, int rowSpan = 1,
             int colSpan = 1) {
        auto* group = new QGroupBox(title, w);
        group->setObjectName(name);
        put(group, row, col, rowSpan, colSpan);
        return Grid(group);
    }
    QLabel* label(int row, int col, const char* name, const char* caption, int colSpan = 1) {
        auto* control = new QLabel(caption, w);
        control->setObjectName(name);
        return put(control, row, col, 1, colSpan);
    }
    // `typingLimit` > 0: the operator may type at most that many characters.
    QLineEdit* edit(int row, int col, const char* name, const char* text, int typingLimit = 0,
                    bool narrow = false) {
        auto* control =
            typingLimit > 0 ? new TLimitedEdit(text, w, typingLimit) : new QLineEdit(text, w);
        control->setObjectName(name);
        control->setMinimumWidth(36);
        if (narrow) control->setMaximumWidth(48);
        return put(control, row, col);
    }
    QLineEdit* readOnly(int row, int col, const char* name, const char* text) {
        QLineEdit* control = edit(row, col, name, text);
        control->setReadOnly(true);
        return control;
    }
    // An edit with its spinner in the next column.
    QLineEdit* spin(int row, int col, const char* name, const char* text, int typingLimit,
                    const char* upDownName, int minimum, int maximum) {
        QLineEdit* control = edit(row, col, name, text, typingLimit, true);
        auto* upDown = new TUpDown(w, control, minimum, maximum);
        upDown->setObjectName(upDownName);
        put(upDown, row, col + 1);
        return control;
    }
    QSlider* trackBar(int row, int col, const char* name, int minimum, int maximum, int position) {
        auto* control = new QSlider(Qt::Horizontal, w);
        control->setObjectName(name);
        control->setRange(minimum, maximum);
        control->setPageStep(1);
        control->setValue(position);
        control->setMinimumWidth(100);
        return put(control, row, col);
    }
    QComboBox* list(int row, int col, const char* name) {
        auto* control = new QComboBox(w);
        control->setObjectName(name);
        control->setMinimumWidth(110);
        return put(control, row, col);
    }
    QCheckBox* check(int row, int col, const char* name, const char* caption,
                     bool checked = false) {
        auto* control = new QCheckBox(caption, w);
        control->setObjectName(name);
        control->setChecked(checked);
        return put(control, row, col);
    }
    QPushButton* button(int row, int col, const char* name, const char* caption) {
        auto* control = new QPushButton(caption, w);
        control->setObjectName(name);
        return put(control, row, col);
    }
    QPlainTextEdit* memo(int row, int col, const char* name, int colSpan) {
        auto* control = new QPlainTextEdit(w);
        control->setObjectName(name);
        control->setFont(QFont("Monospace"));
        control->setMaximumHeight(80);
        return put(control, row, col, 1, colSpan);
    }
};

QPixmap ChipPicture() {
    QPixmap picture(40, 40);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0, 90, 200));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(2, 2, 36, 36, 8, 8);
    painter.setPen(QPen(Qt::white, 3));
    painter.drawLine(12, 12, 28, 28);
    painter.drawLine(12, 28, 28, 12);
    painter.drawLine(20, 4, 20, 36);
    return picture;
}

void BuildHeader(Grid& top) {
    auto* lamp = new TLamp(top.w);
    lamp->setObjectName("shp_BTOnOff");
    top.put(lamp, 0, 0);
    top.button(0, 1, "btn_BTDSwReset", "HCI Reset");
    QPushButton* init = top.button(1, 1, "btn_BluetoothInit", "Bluetooth init");
    init->setCheckable(true);

    Grid info = top.box(0, 2, "gb_HWInfo", "Lumora firmware information", 2, 1);
    QLabel* image = info.label(0, 0, "Image1", "", 1);
    image->setFixedSize(40, 40);
    image->setPixmap(ChipPicture());
    info.grid->addWidget(image, 0, 0, 3, 1);
    info.label(0, 1, "lbl_LLMVersion", "LM Firmware version:");
    info.label(0, 2, "lbl_LLMVersionValue", "?");
    info.label(1, 1, "lbl_LBBVersion", "BB Firmware version:");
    info.label(1, 2, "lbl_LBBVersionValue", "?");
    info.label(0, 3, "lbl_FWBuildNo", "FW Build no:")->setEnabled(false);
    info.label(0, 4, "lbl_FWBuildNoValue", "?")->setEnabled(false);
    info.label(1, 3, "lbl_FWPatch", "FW patch:")->setEnabled(false);
    info.label(1, 4, "lbl_FWPatchValue", "?")->setEnabled(false);
    info.button(2, 1, "btn_GetInformation", "Get information");

    Grid serial = top.box(0, 3, "gb_SerialInterfaceMode", "Serial interface mode", 2, 1);
    serial.label(0, 0, "lbl_SerialInterfaceMode", "?");
    top.grid->setColumnStretch(4, 1);
}

void BuildPowerEdits(Grid& g, const char* lvlLabel, const char* lvlEdit, const char* lvlText,
                     const char* lvlUpDown, int lvlMin, int lvlMax, const char* dbLabel) {
    g.label(0, 0, lvlLabel, "Maximum power level");
    g.spin(0, 1, lvlEdit, lvlText, 0, lvlUpDown, lvlMin, lvlMax);
    g.label(0, 3, dbLabel, " dBm");
}

void BuildTestPage(Grid& page) {
    Grid modes = page.box(0, 0, "rg_TestModes", "Modes", 1, 2);
    (void)modes; // its radio items are added at start-up, three to a row
    page.button(0, 2, "btn_BTDTest", "Test");

    Grid nvmMode = page.box(0, 3, "gb_NVMMode", "");
    nvmMode.check(0, 0, "chkbx_NvmDataMode", "NVM data");
    nvmMode.button(0, 1, "btn_WriteToNVM", "Write Modified to NVM");
    nvmMode.button(1, 1, "btn_ReadFromNVM", "Read from NVM");
    nvmMode.button(2, 1, "btnWriteAllNvm", "Write All to NVM");

    Grid channel = page.box(1, 0, "gb_Channel", "Channel");
    channel.label(0, 0, "lbl_TxChannel", "TX Channel");
    channel.spin(0, 1, "ed_TXChannel", "0", 2, "ud_TxChannelUpDown", 0, 78);
    channel.label(0, 3, "lbl_TxChannelMhz", "2402 Mhz");
    channel.label(1, 0, "lbl_RxChannel", "RX Channel");
    channel.spin(1, 1, "ed_RXChannel", "0", 2, "ud_RxChannelUpDown", 0, 78);
    channel.label(1, 3, "lbl_RxChannelMhz", "2402 Mhz");
    channel.check(2, 0, "chkbx_Hopping", "Hopping");
    channel.check(2, 1, "chkbx_Offset", "Offset");

    Grid power = page.box(1, 1, "gb_TXPower", "TX Power");
    power.label(0, 0, "lbl_TxPowerCoarse", "Coarse");
    power.trackBar(0, 1, "tb_TxPowerCoarse", 0, 7, 7);
    power.label(0, 2, "lbl_TxPowerCoarseValue", "0");
    power.label(0, 3, "lbl_TxPowerCoarseDb", " dB");
    power.label(1, 0, "lbl_TxPowerFine", "Fine");
    power.trackBar(1, 1, "tb_TxPowerFine", 0, 5, 4);
    power.label(1, 2, "lbl_TxPowerFineValue", "0");
    power.label(1, 3, "lbl_TxPowerFineDb", " dB");

    Grid data = page.box(1, 2, "gb_Data", "Data");
    data.label(0, 0, "lbl_TXInterval", "TX interval between packets");
    data.list(0, 1, "cb_TXInterval");
    data.label(0, 2, "lbl_Slot", "Slot")->setVisible(false);
    data.label(1, 0, "lbl_PacketType", "Packet type");
    data.list(1, 1, "cb_PacketType");
    data.label(2, 0, "lbl_PatternSelection", "Pattern selection");
    data.list(2, 1, "cb_PatternSelection");
    data.label(3, 0, "lbl_ModulationType", "Modulation type");
    data.list(3, 1, "cb_ModulationType");
    data.check(4, 0, "chkbx_Whitening", "Whitening");

    Grid afh = page.box(1, 3, "rg_AFHChannelMap", "AFH Channel map");
    static const char* const kAfh[10][3] = {
        {"ed_AFHChannel0_7", "Channel 0 - 7", "FF"},
        {"ed_AFHChannel8_15", "8 - 15", "FF"},
        {"ed_AFHChannel16_23", "16 - 23", "FF"},
        {"ed_AFHChannel24_31", "24 - 31", "FF"},
        {"ed_AFHChannel32_39", "32 - 39", "FF"},
        {"ed_AFHChannel40_47", "40 - 47", "FF"},
        {"ed_AFHChannel48_55", "48 - 55", "FF"},
        {"ed_AFHChannel56_63", "56 - 63", "FF"},
        {"ed_AFHChannel64_71", "64 - 71", "FF"},
        {"ed_AFHChannel72_78", "Channel 72 - 78", "7F"},
    };
    for (int i = 0; i < 10; ++i) {
        afh.label(i % 5, (i / 5) * 2, "", kAfh[i][1]);
        afh.edit(i % 5, (i / 5) * 2 + 1, kAfh[i][0], kAfh[i][2], 0, true);
    }

    Grid address = page.box(2, 0, "gb_BTDeviceAddressTest", "48bit Bluetooth device address");
    for (int i = 0; i < 6; ++i) {
        const std::string index = std::to_string(i);
        address.label(0, i, "", ("[" + index + "]").c_str());
        address.edit(1, i, ("ed_BTAddress_" + index).c_str(), "?", 0, true);
    }
    address.check(2, 0, "chkbx_BTAddressUseHex", "Use Hex:", true);

    Grid br = page.box(2, 1, "gb_BRSubStates", "BR sub states");
    br.label(0, 0, "lbl_BRSubStates", "Default power level");
    br.spin(0, 1, "ed_BRSubStates", "10", 3, "ud_BRSubStatesUpDown", -35, 10);
    br.label(0, 3, "lbl_BRSubStatesdB", " dBm");

    Grid le = page.box(2, 2, "gb_LE", "LE");
    le.label(0, 0, "lbl_LE", "Default power level");
    le.spin(0, 1, "ed_LE", "10", 0, "ud_LEUpDown", -35, 10);
    le.label(0, 3, "lbl_LEdB", " dBm");

    Grid level = page.box(2, 3, "gb_PowerLevel", "Power level");
    level.label(0, 0, "lbl_PowerLevel", "Power step:");
    level.trackBar(0, 1, "tb_PowerLevel", 0, 0, 0);
    level.label(0, 2, "PowerLevelNOfStepsValue", "0");

    Grid epc = page.box(3, 0, "gb_EPCPower", "EPC", 1, 2);
    Grid epcControl = epc.box(0, 0, "gb_EPCPowerControl", "Power control");
    epcControl.label(0, 0, "lbl_EPCPowerControlNOfSteps", "No of steps:");
    epcControl.trackBar(0, 1, "tb_EPCPowerControlNOfSteps", 1, 16, 8);
    epcControl.label(0, 2, "lbl_EPCPowerControlNOfStepsValue", "?");
    epcControl.label(1, 0, "lbl_EPCPowerControlStepSize", "Stepsize:");
    epcControl.trackBar(1, 1, "tb_EPCPowerControlStepSize", 2, 8, 4);
    epcControl.label(1, 2, "lbl_EPCPowerControlStepSizeValue", "?");
    Grid epc1 = epc.box(0, 1, "gb_EPCOneMbitS", " GFSK (1 Mbit/s)");
    BuildPowerEdits(epc1, "lbl_EPCOneMbitS", "ed_EPCMaxPwrLvlOneMbitS", "10",
                    "ud_EPCPwrLvlOneMbitSUpDown", -35, 10, "lbl_EPCOneMbitSdB");
    epc1.label(1, 0, "lbl_EPCMaxPwrStepOneMbitS", "Maximum power step");
    epc1.spin(1, 1, "ed_EPCMaxPwrStepOneMbitS", "7", 0, "ud_EPCPwrStepOneMbitSUpDown", 0, 16);
    Grid epc2 = epc.box(1, 0, "gb_EPCTwoMbitS", " Pi/4-DQPSK  (2 Mbit/s)");
    BuildPowerEdits(epc2, "lbl_EPCTwoMbitS", "ed_EPCMaxPwrLvlTwoMbitS", "8",
                    "ud_EPCPwrLvlTwoMbitSUpDown", -35, 8, "lbl_EPCTwoMbitSdB");
    epc2.label(1, 0, "lbl_EPCMaxPwrStepTwoMbitS", "Maximum power step");
    epc2.spin(1, 1, "ed_EPCMaxPwrStepTwoMbitS", "7", 0, "ud_EPCPwrStepTwoMbitSUpDown", 0, 16);
    Grid epc3 = epc.box(1, 1, "gb_EPCThreeMbitS", " 8DPSK  (3 Mbit/s)");
    BuildPowerEdits(epc3, "lbl_EPCThreeMbitS", "ed_EPCMaxPwrLvlThreeMbitS", "8",
                    "ud_EPCPwrLvlThreeMbitSUpDown", -35, 8, "lbl_EPCThreeMbitSdB");
    epc3.label(1, 0, "lbl_EPCMaxPwrStepThreeMbitS", "Maximum power step");
    epc3.spin(1, 1, "ed_EPCMaxPwrStepThreeMbitS", "7", 0, "ud_EPCPwrStepThreeMbitSUpDown", 0, 16);

    Grid lpc = page.box(3, 2, "gb_LPCPower", "LPC", 1, 2);
    Grid lpcControl = lpc.box(0, 0, "gb_LPCPowerControl", "Power control");
    lpcControl.label(0, 0, "lbl_LPCPowerControlNOfSteps", "No of steps:");
    lpcControl.trackBar(0, 1, "tb_LPCPowerControlNOfSteps", 1, 16, 8);
    lpcControl.label(0, 2, "lbl_LPCPowerControlNOfStepsValue", "?");
    lpcControl.label(1, 0, "lbl_LPCPowerControlStepSize", "Stepsize:");
    lpcControl.trackBar(1, 1, "tb_LPCPowerControlStepSize", 2, 8, 6);
    lpcControl.label(1, 2, "lbl_LPCPowerControlStepSizeValue", "?");
    Grid lpc1 = lpc.box(0, 1, "gb_LPCOneMbitS", " GFSK (1 Mbit/s)");
    BuildPowerEdits(lpc1, "lbl_LPCOneMbitS", "ed_LPCMaxPwrLvlOneMbitS", "10",
                    "ud_LPCPwrLvlOneMbitSUpDown", -35, 10, "lbl_LPCOneMbitSdB");
    Grid lpc2 = lpc.box(1, 0, "gb_LPCTwoMbitS", " Pi/4-DQPSK  (2 Mbit/s)");
    BuildPowerEdits(lpc2, "lbl_LPCTwoMbitS", "ed_LPCMaxPwrLvlTwoMbitS", "8",
                    "ud_LPCPwrLvlTwoMbitSUpDown", -35, 8, "lbl_LPCTwoMbitSdB");
    Grid lpc3 = lpc.box(1, 1, "gb_LPCThreeMbitS", " 8DPSK  (3 Mbit/s)");
    BuildPowerEdits(lpc3, "lbl_LPCThreeMbitS", "ed_LPCMaxPwrLvlThreeMbitS", "8",
                    "ud_LPCPwrLvlThreeMbitSUpDown", -35, 8, "lbl_LPCThreeMbitSdB");

    Grid leTx = page.box(4, 0, "gb_LeTxData", "LE Tx Data");
    leTx.label(0, 0, "lbl_LeDataLength", "Data length");
    leTx.spin(0, 1, "ed_LeDataLength", "0", 2, "ud_LeDataLengthUpDown", 0, 37);
    leTx.label(1, 0, "lbl_LePatternSelection", "Pattern selection");
    leTx.list(1, 1, "cb_LePatternSelection");

    Grid leRx = page.box(4, 1, "gb_LeRxResult", "LE Rx result");
    leRx.label(0, 0, "lbl_LeRxResult", "No. of received packets");
    leRx.readOnly(0, 1, "ed_LeRxResult", "");
    leRx.button(1, 1, "btn_LeRxResult", "Get result");
}

// One gbNvmNew field: its own group box holding the caption label, the edit and, for the
// 8-bit fields, the up-down.
struct NvmField {
    const char* key; // gbNvm<key>, edit<key>, ud<key>, lbl<key>
    const char* caption;
    int bits; // 8, 16 or 32
    bool isSigned;
};

void BuildNvmField(Grid& group, int row, const NvmField& field) {
    const std::string key = field.key;
    Grid box = group.box(row, 0, ("gbNvm" + key).c_str(), "");
    box.label(0, 0, ("lbl" + key).c_str(), field.caption);
    if (field.bits == 8) {
        box.spin(0, 1, ("edit" + key).c_str(), "0", 3, ("ud" + key).c_str(),
                 field.isSigned ? -128 : 0, field.isSigned ? 127 : 255);
    } else {
        box.edit(0, 1, ("edit" + key).c_str(), "0");
    }
    for (QWidget* child : box.w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setEnabled(false);
}

void BuildNvmBox(Grid& page) {
    Grid nvm = page.box(5, 0, "gbNvmNew", "NVM parameters", 1, 4);
    nvm.w->setVisible(false);

    static const NvmField kMisc[] = {
        {"ChannelWordOffset", "Channel word offset", 16, false},
        {"InputFreq", "Input freq", 32, false},
        {"LeFeatures", "Le features", 8, false},
        {"BbConf", "Bb conf", 8, false},
        {"IdacComp", "Idac comp", 8, false},
        {"RfConfig", "Rf config", 8, false},
    };
    static const NvmField kLpm[] = {
        {"LpmConf", "Lpm conf", 8, false},
        {"LpmDrift", "Lpm drift", 8, false},
        {"LpmThreshold", "Lpm threshold", 8, false},
        {"UltraLpmThreshold", "Ultra lpm threshold", 8, false},
        {"LmpVersion", "Lmp version", 8, false},
    };
    static const NvmField kRssi[] = {
        {"RssiMin", "Rssi min", 8, true},
        {"RssiMax", "Rssi max", 8, true},
        {"RssiGotoMax", "Rssi goto max", 8, false},
        {"RssiThreshold", "Rssi threshold", 8, true},
    };
    static const NvmField kUart[] = {
        {"UartBaudrate", "Uart baudrate", 8, false},
        {"UartInvert", "Uart invert", 8, false},
        {"UartLpmLevel", "Uart lpm level", 8, false},
    };
    static const NvmField kSettle[] = {
        {"OscSettleValue", "Osc settle value", 8, false},
        {"PllSettleValue", "Pll settle value", 8, false},
        {"DigSettleValue", "Dig settle value", 8, false},
    };
    static const NvmField kCurrent[] = {
        {"UlpmCurrent", "Ulpm current", 16, false},     {"IdleCurrent", "Idle current", 16, false},
        {"ActiveCurrent", "Active current", 16, false}, {"TxCurrent", "Tx current", 16, false},
        {"RxCurrent", "Rx current", 16, false},
    };

    Grid misc = nvm.box(0, 0, "gbNvmMisc", "Misc");
    for (int i = 0; i < 6; ++i)
        BuildNvmField(misc, i, kMisc[i]);

    Grid lpm = nvm.box(0, 1, "gbNvmLpm", "LPM");
    Grid features = lpm.box(0, 0, "gbNvmLmpFeatures", "Lmp features");
    for (int i = 0; i < 8; ++i) {
        const std::string index = std::to_string(i);
        features.label(0, i, ("lblLmpFeatures" + index).c_str(), ("[" + index + "]").c_str());
        features.edit(1, i, ("editLmpFeatures" + index).c_str(), "?", 0, true);
    }
    for (QWidget* child : features.w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setEnabled(false);
    for (int i = 0; i < 5; ++i)
        BuildNvmField(lpm, i + 1, kLpm[i]);

    Grid rssi = nvm.box(0, 2, "gbNvmRssi", "RSSI");
    for (int i = 0; i < 4; ++i)
        BuildNvmField(rssi, i, kRssi[i]);
    Grid uart = nvm.box(1, 2, "gbNvmUart", "UART");
    for (int i = 0; i < 3; ++i)
        BuildNvmField(uart, i, kUart[i]);
    Grid settle = nvm.box(0, 3, "gbNvmSettleValue", "Settle values");
    for (int i = 0; i < 3; ++i)
        BuildNvmField(settle, i, kSettle[i]);
    Grid current = nvm.box(1, 3, "gbNvmCurrent", "Currents");
    for (int i = 0; i < 5; ++i)
        BuildNvmField(current, i, kCurrent[i]);
}

// The first page starts with everything disabled but these; the enabling rule takes over
// after a successful start-up.
void DisableTestPageControls(QWidget* page) {
    static const std::set<QString> kEnabled = {
        "rg_TestModes",      "btn_BTDTest",           "cb_PacketType", "cb_PatternSelection",
        "cb_ModulationType", "cb_LePatternSelection", "ed_LeRxResult", "btn_LeRxResult",
    };
    for (QWidget* control : page->findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(control) != nullptr) continue;
        if (kEnabled.count(control->objectName()) != 0) continue;
        if (control->parentWidget() != nullptr &&
            control->parentWidget()->objectName() == "gb_NVMMode")
            continue;
        if (control->parentWidget() != nullptr &&
            control->parentWidget()->objectName().startsWith("gbNvm"))
            continue;
        if (qobject_cast<QLineEdit*>(control) == nullptr &&
            qobject_cast<QAbstractButton*>(control) == nullptr &&
            qobject_cast<QComboBox*>(control) == nullptr &&
            qobject_cast<QSlider*>(control) == nullptr &&
            qobject_cast<QLabel*>(control) == nullptr && qobject_cast<TUpDown*>(control) == nullptr)
            continue;
        if (qobject_cast<TUpDown*>(control->parentWidget()) != nullptr) continue;
        control->setEnabled(false);
    }
}

void BuildAuxiliaryPage(Grid& page) {
    Grid connection = page.box(0, 0, "gb_ConnectionType", "Connection type");
    connection.label(0, 0, "lbl_PCMInterface", "PCM Interface");
    connection.list(0, 1, "cb_PCMInterfaceConnectionType");
    connection.label(1, 0, "lbl_WakeUpInterface", "Wake-up interface");
    connection.list(1, 1, "cb_WakeUpInterfaceConnectionType");
    connection.label(2, 0, "lbl_UARTInterface", "UART interface");
    connection.list(2, 1, "cb_UARTInterfaceConnectionType");
    connection.button(3, 0, "btn_PcmUartWakeupInterfaceSet", "Set");
    connection.button(3, 1, "btn_PCMInterfaceGet", "Get");

    Grid loopback = page.box(0, 1, "gb_PCMLoopBack", "PCM loopback");
    loopback.label(0, 0, "lbl_PCMLoopbackType", "Loopback type");
    loopback.list(0, 1, "cb_PCMLoopbackSelectionType");
    loopback.button(1, 0, "btn_PCMLoopbackOn", "On");
    loopback.button(1, 1, "btn_PCMLoopbackOff", "Off");

    Grid host = page.box(0, 2, "gb_CheckHostInterface", "Check host interface:");
    host.label(0, 0, "lbl_CheckHostInterfaceResult", "?");
    host.button(0, 1, "btn_CheckHostInterface", "Check");
    Grid sleepx = page.box(1, 2, "gb_CheckSleepXSignal", "Check Sleepx signal:");
    sleepx.label(0, 0, "lbl_CheckSleepXSignalResult", "?");
    sleepx.button(0, 1, "btn_CheckSleepXSignal", "Check");

    Grid rssi = page.box(1, 0, "gb_RSSI", "RSSI");
    rssi.label(0, 0, "lbl_RSSI", "value:");
    rssi.readOnly(0, 1, "ed_ReadOutRSSI", "?");
    rssi.button(0, 2, "btn_GetRSSI", "Get");
    rssi.label(1, 0, "lbl_ConnectionHandle", "connection handle: ");
    rssi.edit(1, 1, "le_ConnectionHandle", "");

    Grid rtrim = page.box(1, 1, "gb_RTRIMFuse", "RTRIM");
    rtrim.label(0, 0, "lbl_RTRIMFused", "Fused RTRIM");
    rtrim.readOnly(0, 1, "ed_RTRIMFusedValue", "");
    rtrim.label(1, 0, "lbl_RTRIMManual", "Manual RTRIM ");
    rtrim.edit(1, 1, "ed_RTRIMManualValue", "");
    rtrim.button(0, 2, "btn_GetRTRIMValues", "Get");
    rtrim.button(1, 2, "btn_SetRTRIMManualValue", "Set");
    rtrim.check(2, 0, "chkbx_UseRTRIMManualValue", "Use RTRIM manual values");
    rtrim.check(2, 2, "chkbx_RTRIMUseHex", "Use Hex", true);

    Grid tmeas = page.box(2, 0, "gb_TMEASFuse", "TMEAS");
    tmeas.label(0, 0, "lbl_TMEASFused", "Fused TMEAS");
    tmeas.readOnly(0, 1, "ed_TMEASFusedValue", "");
    tmeas.label(1, 0, "lbl_TMEASManual", "Manual TMEAS");
    tmeas.edit(1, 1, "ed_TMEASManualValue", "");
    tmeas.button(0, 2, "btn_GetTMEASValues", "Get");
    tmeas.button(1, 2, "btn_SetTMEASValues", "Set");
    tmeas.check(2, 0, "chkbx_UseTMEASManualValue", "Use TMEAS manual values");
    tmeas.check(2, 2, "chkbx_TMEASUseHex", "Use Hex", true);

    Grid vmeas = page.box(2, 1, "gb_VMEASFuse", "VMEAS");
    vmeas.label(0, 0, "lbl_VMEASFused", "Fused VMEAS");
    vmeas.readOnly(0, 1, "ed_VMEASFusedValue", "");
    vmeas.label(1, 0, "lbl_VMEASManual", "Manual VMEAS");
    vmeas.edit(1, 1, "ed_VMEASManualValue", "");
    vmeas.button(0, 2, "btn_GetVMEASValues", "Get");
    vmeas.button(1, 2, "btn_SetVMEASValues", "Set");
    vmeas.check(2, 0, "chkbx_UseVMEASManualValue", "Use VMEAS manual values");
    vmeas.check(2, 2, "chkbx_VMEASUseHex", "Use Hex", true);
    vmeas.check(3, 0, "chkbx_EnablePropagation", "Enable Propagation");

    Grid kfreq = page.box(3, 0, "gb_IBIASDAC_KFREQ_Fuse", "IBIASDAC/KFREQ", 1, 2);
    kfreq.label(0, 0, "lbl_IBIASDACFused", "Fused IBIASDAC");
    kfreq.readOnly(0, 1, "ed_IBIASDACFusedValue", "");
    kfreq.label(1, 0, "lbl_IBIASDACManual", "Manual IBIASDAC");
    kfreq.edit(1, 1, "ed_IBIASDACManualValue", "");
    kfreq.check(2, 0, "chkbx_UseIBIASDACManualValue", "Use IBIASDAC manual values");
    kfreq.label(0, 2, "lbl_KFREQFused", "Fused KFREQ");
    kfreq.readOnly(0, 3, "ed_KFREQFusedValue", "");
    kfreq.label(1, 2, "lbl_KFREQManual", "Manual KFREQ");
    kfreq.edit(1, 3, "ed_KFREQManualValue", "");
    kfreq.check(2, 2, "chkbx_UseKFREQManualValue", "Use KFREQ manual values");
    kfreq.check(3, 0, "chkbx_KFREQIBIASDACUseHex", "Use Hex", true);
    kfreq.button(3, 2, "btn_GetKFREQIBIASDACValues", "Get");
    kfreq.button(3, 3, "btn_SetKFREQIBIASDACValues", "Set");
}

void BuildHciPage(Grid& page) {
    Grid raw = page.box(0, 0, "gb_RawHciCommand", "Raw HCI Command");
    raw.label(0, 0, "lbl_HCICommandRequest", "HCI command request");
    raw.label(0, 1, "lblHciNote",
              "Use This Feature Carefully. Invalid Commands Can Cause Target To Stop Responding",
              4);
    auto* tabs = new QTabBar(raw.w);
    tabs->setObjectName("tc_HciCommands");
    tabs->setMovable(true);
    raw.put(tabs, 1, 0, 1, 2);
    raw.button(1, 2, "btn_AddHciCommand", "+")->setFixedWidth(28);
    raw.button(1, 3, "btn_DeleteHciCommand", "-")->setFixedWidth(28);
    raw.button(1, 4, "btn_EditHciCommand", "e")->setFixedWidth(28);
    raw.memo(2, 0, "memo_HCICommandSequence", 5);
    raw.button(3, 0, "btn_SendHCICommand", "Send command");
    Grid separator = raw.box(3, 1, "rg_HCISequenceSeparator", "Separator");
    auto* space = separator.put(new QRadioButton("Space", separator.w), 0, 0);
    space->setChecked(true);
    separator.put(new QRadioButton("Comma", separator.w), 0, 1);
    raw.check(3, 2, "chkbx_HCICommandUseHex", "Use hex", true);
    raw.label(4, 0, "lbl_HCICommandResponse", "HCI command response");
    raw.memo(5, 0, "memo_HCICommandResponse", 5);
    page.grid->setRowStretch(1, 1);
}

// Adds a tab whose page carries the name a host selects it by; the page's controls scroll
// inside it. Returns the container for the controls.
QWidget* AddPage(QTabWidget* pages, const char* name, const char* caption) {
    auto* page = new QWidget(pages);
    page->setObjectName(name);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(page);
    scroll->setWidgetResizable(true);
    auto* content = new QWidget();
    scroll->setWidget(content);
    layout->addWidget(scroll);
    pages->addTab(page, caption);
    return content;
}

} // namespace

void BuildFormLayout(QWidget* form) {
    auto* outer = new QVBoxLayout(form);
    outer->setContentsMargins(4, 4, 4, 4);
    auto* header = new QWidget(form);
    Grid top(header);
    BuildHeader(top);
    outer->addWidget(header);

    auto* pages = new QTabWidget(form);
    pages->setObjectName("pc_Bluetooth");
    outer->addWidget(pages, 1);

    Grid test(AddPage(pages, "TestModeSetup", "Test and data setup"));
    BuildTestPage(test);
    BuildNvmBox(test);
    DisableTestPageControls(test.w);
    test.grid->setRowStretch(6, 1);
    test.grid->setColumnStretch(4, 1);

    Grid auxiliary(AddPage(pages, "AuxiliarySetup", "Auxiliary setup"));
    BuildAuxiliaryPage(auxiliary);
    auxiliary.grid->setRowStretch(4, 1);
    auxiliary.grid->setColumnStretch(3, 1);

    Grid hci(AddPage(pages, "HCICommand", "HCI command"));
    BuildHciPage(hci);
    pages->setCurrentIndex(0);
}

} // namespace ui
