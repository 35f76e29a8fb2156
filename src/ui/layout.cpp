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
#include <algorithm>
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
    QGroupBox* group() const { return static_cast<QGroupBox*>(w); }
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
                    const char* upDownName, int minimum, int maximum,
                    TUpDown** upDownOut = nullptr) {
        QLineEdit* control = edit(row, col, name, text, typingLimit, true);
        auto* upDown = new TUpDown(w, control, minimum, maximum);
        upDown->setObjectName(upDownName);
        put(upDown, row, col + 1);
        if (upDownOut != nullptr) *upDownOut = upDown;
        return control;
    }
    // A row of the spin table: caption, edit, spinner and unit.
    SpinControls spinRow(int row, spin::Id id) {
        const SpinField& f = kSpins[id];
        SpinControls c{};
        c.label = label(row, 0, f.label, f.caption);
        c.edit =
            spin(row, 1, f.edit, f.text, f.typingLimit, f.upDown, f.minimum, f.maximum, &c.upDown);
        if (f.unitLabel != nullptr) c.unit = label(row, 3, f.unitLabel, f.unit);
        return c;
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
    // A row of the track bar table: caption, bar, value and unit.
    TrackControls trackRow(int row, track::Id id) {
        const TrackField& f = kTracks[id];
        TrackControls c{};
        c.label = label(row, 0, f.label, f.caption);
        c.bar = trackBar(row, 1, f.bar, f.minimum, f.maximum, f.position);
        c.value = label(row, 2, f.valueLabel, f.value);
        if (f.unitLabel != nullptr) label(row, 3, f.unitLabel, f.unit);
        return c;
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

void BuildHeader(Grid& top, HeaderControls& c) {
    c.lamp = top.put(new TLamp(top.w), 0, 0);
    c.lamp->setObjectName("shp_BTOnOff");
    c.reset = top.button(0, 1, "btn_BTDSwReset", "HCI Reset");
    c.init = top.button(1, 1, "btn_BluetoothInit", "Bluetooth init");
    c.init->setCheckable(true);

    Grid info = top.box(0, 2, "gb_HWInfo", "Lumora firmware information", 2, 1);
    c.hwInfo = info.group();
    c.image = info.label(0, 0, "Image1", "", 1);
    c.image->setFixedSize(40, 40);
    c.image->setPixmap(ChipPicture());
    info.grid->addWidget(c.image, 0, 0, 3, 1);
    c.llmVersion = info.label(0, 1, "lbl_LLMVersion", "LM Firmware version:");
    c.llmVersionValue = info.label(0, 2, "lbl_LLMVersionValue", "?");
    c.lbbVersion = info.label(1, 1, "lbl_LBBVersion", "BB Firmware version:");
    c.lbbVersionValue = info.label(1, 2, "lbl_LBBVersionValue", "?");
    c.buildNo = info.label(0, 3, "lbl_FWBuildNo", "FW Build no:");
    c.buildNoValue = info.label(0, 4, "lbl_FWBuildNoValue", "?");
    c.patch = info.label(1, 3, "lbl_FWPatch", "FW patch:");
    c.patchValue = info.label(1, 4, "lbl_FWPatchValue", "?");
    for (QLabel* label : {c.buildNo, c.buildNoValue, c.patch, c.patchValue})
        label->setEnabled(false);
    c.getInformation = info.button(2, 1, "btn_GetInformation", "Get information");

    Grid serial = top.box(0, 3, "gb_SerialInterfaceMode", "Serial interface mode", 2, 1);
    c.serialMode = serial.label(0, 0, "lbl_SerialInterfaceMode", "?");
    top.grid->setColumnStretch(4, 1);
}

// The EPC and LPC boxes: power control track bars, then a box per data rate.
void BuildPowerControl(Grid& page, RfControls& c) {
    Grid epc = page.box(3, 0, "gb_EPCPower", "EPC", 1, 2);
    Grid epcControl = epc.box(0, 0, "gb_EPCPowerControl", "Power control");
    c.epcControl = epcControl.group();
    c.tracks[track::EpcSteps] = epcControl.trackRow(0, track::EpcSteps);
    c.tracks[track::EpcStepSize] = epcControl.trackRow(1, track::EpcStepSize);
    struct Rate {
        QGroupBox*& box;
        int row, col;
        const char* name;
        const char* title;
        spin::Id level;
        spin::Id step; // spin::Count: none
    };
    const Rate kEpcRates[3] = {
        {c.epc1, 0, 1, "gb_EPCOneMbitS", " GFSK (1 Mbit/s)", spin::EpcLevel1, spin::EpcStep1},
        {c.epc2, 1, 0, "gb_EPCTwoMbitS", " Pi/4-DQPSK  (2 Mbit/s)", spin::EpcLevel2,
         spin::EpcStep2},
        {c.epc3, 1, 1, "gb_EPCThreeMbitS", " 8DPSK  (3 Mbit/s)", spin::EpcLevel3, spin::EpcStep3},
    };
    auto buildRates = [&c](Grid& parent, const Rate(&rates)[3]) {
        for (const Rate& rate : rates) {
            Grid box = parent.box(rate.row, rate.col, rate.name, rate.title);
            rate.box = box.group();
            c.spins[rate.level] = box.spinRow(0, rate.level);
            if (rate.step != spin::Count) c.spins[rate.step] = box.spinRow(1, rate.step);
        }
    };
    buildRates(epc, kEpcRates);

    Grid lpc = page.box(3, 2, "gb_LPCPower", "LPC", 1, 2);
    Grid lpcControl = lpc.box(0, 0, "gb_LPCPowerControl", "Power control");
    c.lpcControl = lpcControl.group();
    c.tracks[track::LpcSteps] = lpcControl.trackRow(0, track::LpcSteps);
    c.tracks[track::LpcStepSize] = lpcControl.trackRow(1, track::LpcStepSize);
    const Rate kLpcRates[3] = {
        {c.lpc1, 0, 1, "gb_LPCOneMbitS", " GFSK (1 Mbit/s)", spin::LpcLevel1, spin::Count},
        {c.lpc2, 1, 0, "gb_LPCTwoMbitS", " Pi/4-DQPSK  (2 Mbit/s)", spin::LpcLevel2, spin::Count},
        {c.lpc3, 1, 1, "gb_LPCThreeMbitS", " 8DPSK  (3 Mbit/s)", spin::LpcLevel3, spin::Count},
    };
    buildRates(lpc, kLpcRates);
}

void BuildTestPage(Grid& page, RfControls& c, NvmControls& nvm) {
    c.modes = page.box(0, 0, "rg_TestModes", "Modes", 1, 2).group();
    // its radio items are added at start-up, three to a row
    c.test = page.button(0, 2, "btn_BTDTest", "Test");

    Grid nvmMode = page.box(0, 3, "gb_NVMMode", "");
    nvm.dataMode = nvmMode.check(0, 0, "chkbx_NvmDataMode", "NVM data");
    nvm.write = nvmMode.button(0, 1, "btn_WriteToNVM", "Write Modified to NVM");
    nvm.read = nvmMode.button(1, 1, "btn_ReadFromNVM", "Read from NVM");
    nvm.writeAll = nvmMode.button(2, 1, "btnWriteAllNvm", "Write All to NVM");

    Grid channel = page.box(1, 0, "gb_Channel", "Channel");
    c.channel = channel.group();
    c.spins[spin::TxChannel] = channel.spinRow(0, spin::TxChannel);
    c.spins[spin::RxChannel] = channel.spinRow(1, spin::RxChannel);
    c.hopping = channel.check(2, 0, "chkbx_Hopping", "Hopping");
    channel.check(2, 1, "chkbx_Offset", "Offset");

    Grid power = page.box(1, 1, "gb_TXPower", "TX Power");
    c.txPower = power.group();
    c.tracks[track::TxPowerCoarse] = power.trackRow(0, track::TxPowerCoarse);
    c.tracks[track::TxPowerFine] = power.trackRow(1, track::TxPowerFine);

    Grid data = page.box(1, 2, "gb_Data", "Data");
    c.data = data.group();
    c.txIntervalLabel = data.label(0, 0, "lbl_TXInterval", "TX interval between packets");
    c.txInterval = data.list(0, 1, "cb_TXInterval");
    c.slot = data.label(0, 2, "lbl_Slot", "Slot");
    c.slot->setVisible(false);
    c.packetTypeLabel = data.label(1, 0, "lbl_PacketType", "Packet type");
    c.packetType = data.list(1, 1, "cb_PacketType");
    c.patternLabel = data.label(2, 0, "lbl_PatternSelection", "Pattern selection");
    c.pattern = data.list(2, 1, "cb_PatternSelection");
    c.modulationLabel = data.label(3, 0, "lbl_ModulationType", "Modulation type");
    c.modulation = data.list(3, 1, "cb_ModulationType");
    c.whitening = data.check(4, 0, "chkbx_Whitening", "Whitening");

    Grid afh = page.box(1, 3, "rg_AFHChannelMap", "AFH Channel map");
    c.afh = afh.group();
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
        c.afhEdits[i] = afh.edit(i % 5, (i / 5) * 2 + 1, kAfh[i][0], kAfh[i][2], 0, true);
    }

    Grid address = page.box(2, 0, "gb_BTDeviceAddressTest", "48bit Bluetooth device address");
    c.address = address.group();
    for (int i = 0; i < 6; ++i) {
        const std::string index = std::to_string(i);
        address.label(0, i, "", ("[" + index + "]").c_str());
        c.addressEdits[i] = address.edit(1, i, ("ed_BTAddress_" + index).c_str(), "?", 0, true);
    }
    c.addressHex = address.check(2, 0, "chkbx_BTAddressUseHex", "Use Hex:", true);

    Grid br = page.box(2, 1, "gb_BRSubStates", "BR sub states");
    c.br = br.group();
    c.spins[spin::BrLevel] = br.spinRow(0, spin::BrLevel);
    Grid le = page.box(2, 2, "gb_LE", "LE");
    c.le = le.group();
    c.spins[spin::LeLevel] = le.spinRow(0, spin::LeLevel);

    Grid level = page.box(2, 3, "gb_PowerLevel", "Power level");
    c.powerLevel = level.group();
    c.tracks[track::PowerLevel] = level.trackRow(0, track::PowerLevel);

    BuildPowerControl(page, c);

    Grid leTx = page.box(4, 0, "gb_LeTxData", "LE Tx Data");
    c.leTx = leTx.group();
    c.spins[spin::LeDataLength] = leTx.spinRow(0, spin::LeDataLength);
    leTx.label(1, 0, "lbl_LePatternSelection", "Pattern selection");
    c.lePattern = leTx.list(1, 1, "cb_LePatternSelection");

    Grid leRx = page.box(4, 1, "gb_LeRxResult", "LE Rx result");
    c.leRx = leRx.group();
    leRx.label(0, 0, "lbl_LeRxResult", "No. of received packets");
    c.leRxResult = leRx.readOnly(0, 1, "ed_LeRxResult", "");
    c.leRxGet = leRx.button(1, 1, "btn_LeRxResult", "Get result");
}

// The controls of one field of the "NVM parameters" box start disabled.
void DisableChildren(const Grid& box) {
    for (QWidget* child : box.w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setEnabled(false);
}

void BuildNvmBox(Grid& page, NvmControls& c) {
    Grid nvm = page.box(5, 0, "gbNvmNew", "NVM parameters", 1, 4);
    c.box = nvm.group();
    c.box->setVisible(false);

    struct Group {
        NvmGroup group;
        int row, col;
        const char* name;
        const char* title;
    };
    static const Group kGroups[] = {
        {NvmGroup::Misc, 0, 0, "gbNvmMisc", "Misc"},
        {NvmGroup::Lpm, 0, 1, "gbNvmLpm", "LPM"},
        {NvmGroup::Rssi, 0, 2, "gbNvmRssi", "RSSI"},
        {NvmGroup::Uart, 1, 2, "gbNvmUart", "UART"},
        {NvmGroup::Settle, 0, 3, "gbNvmSettleValue", "Settle values"},
        {NvmGroup::Current, 1, 3, "gbNvmCurrent", "Currents"},
    };
    for (const Group& group : kGroups) {
        Grid groupBox = nvm.box(group.row, group.col, group.name, group.title);
        int row = 0;
        for (const NvmField& field : kNvmFields) {
            if (field.group != group.group) continue;
            if (field.shown == NvmShown::LmpFeatures) {
                Grid features = groupBox.box(row++, 0, "gbNvmLmpFeatures", "Lmp features");
                c.lmpBox = features.group();
                for (int i = 0; i < 8; ++i) {
                    const std::string index = std::to_string(i);
                    features.label(0, i, ("lblLmpFeatures" + index).c_str(),
                                   ("[" + index + "]").c_str());
                    c.lmpFeatures[i] =
                        features.edit(1, i, ("editLmpFeatures" + index).c_str(), "?", 0, true);
                }
                DisableChildren(features);
                continue;
            }
            // Each field sits in a group box of its own; 8-bit fields have an up-down.
            const std::string key = field.key;
            Grid box = groupBox.box(row++, 0, ("gbNvm" + key).c_str(), "");
            box.label(0, 0, ("lbl" + key).c_str(), field.caption);
            const nvm::ParamInfo* info = nvm::FindById(field.id);
            const std::string edit = "edit" + key;
            if (info->width == 1) {
                const Range range = KindRange(info->kind);
                c.fieldEdits[field.id] =
                    box.spin(0, 1, edit.c_str(), "0", 3, ("ud" + key).c_str(),
                             static_cast<int>(range.minimum), static_cast<int>(range.maximum));
            } else {
                c.fieldEdits[field.id] = box.edit(0, 1, edit.c_str(), "0");
            }
            c.fieldBoxes[field.id] = box.group();
            DisableChildren(box);
        }
    }
}

// The first page starts with everything disabled but these; the enabling rule takes over
// after a successful start-up.
void DisableTestPageControls(QWidget* page, const RfControls& c, const NvmControls& nvm) {
    const QWidget* const kEnabled[] = {c.modes,      c.test,      c.packetType, c.pattern,
                                       c.modulation, c.lePattern, c.leRxResult, c.leRxGet};
    const QWidget* nvmMode = nvm.dataMode->parentWidget();
    for (QWidget* control : page->findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(control) != nullptr) continue;
        if (std::find(std::begin(kEnabled), std::end(kEnabled), control) != std::end(kEnabled))
            continue;
        if (control->parentWidget() == nvmMode || nvm.box->isAncestorOf(control)) continue;
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

void BuildAuxiliaryPage(Grid& page, AuxControls& c) {
    Grid connection = page.box(0, 0, "gb_ConnectionType", "Connection type");
    c.connection = connection.group();
    connection.label(0, 0, "lbl_PCMInterface", "PCM Interface");
    c.pcm = connection.list(0, 1, "cb_PCMInterfaceConnectionType");
    connection.label(1, 0, "lbl_WakeUpInterface", "Wake-up interface");
    c.wakeup = connection.list(1, 1, "cb_WakeUpInterfaceConnectionType");
    connection.label(2, 0, "lbl_UARTInterface", "UART interface");
    c.uart = connection.list(2, 1, "cb_UARTInterfaceConnectionType");
    c.interfaceSet = connection.button(3, 0, "btn_PcmUartWakeupInterfaceSet", "Set");
    c.interfaceGet = connection.button(3, 1, "btn_PCMInterfaceGet", "Get");

    Grid loopback = page.box(0, 1, "gb_PCMLoopBack", "PCM loopback");
    c.loopback = loopback.group();
    loopback.label(0, 0, "lbl_PCMLoopbackType", "Loopback type");
    c.loopbackType = loopback.list(0, 1, "cb_PCMLoopbackSelectionType");
    c.loopbackOn = loopback.button(1, 0, "btn_PCMLoopbackOn", "On");
    c.loopbackOff = loopback.button(1, 1, "btn_PCMLoopbackOff", "Off");

    Grid host = page.box(0, 2, "gb_CheckHostInterface", "Check host interface:");
    c.hostCheckBox = host.group();
    c.hostCheckResult = host.label(0, 0, "lbl_CheckHostInterfaceResult", "?");
    c.hostCheck = host.button(0, 1, "btn_CheckHostInterface", "Check");
    Grid sleepx = page.box(1, 2, "gb_CheckSleepXSignal", "Check Sleepx signal:");
    c.sleepxBox = sleepx.group();
    c.sleepxResult = sleepx.label(0, 0, "lbl_CheckSleepXSignalResult", "?");
    c.sleepxCheck = sleepx.button(0, 1, "btn_CheckSleepXSignal", "Check");

    Grid rssi = page.box(1, 0, "gb_RSSI", "RSSI");
    c.rssi = rssi.group();
    c.rssiLabel = rssi.label(0, 0, "lbl_RSSI", "value:");
    c.rssiValue = rssi.readOnly(0, 1, "ed_ReadOutRSSI", "?");
    c.rssiGet = rssi.button(0, 2, "btn_GetRSSI", "Get");
    c.handleLabel = rssi.label(1, 0, "lbl_ConnectionHandle", "connection handle: ");
    c.handle = rssi.edit(1, 1, "le_ConnectionHandle", "");

    Grid rtrim = page.box(1, 1, "gb_RTRIMFuse", "RTRIM");
    c.rtrimBox.box = rtrim.group();
    rtrim.label(0, 0, "lbl_RTRIMFused", "Fused RTRIM");
    c.rtrim.fused = rtrim.readOnly(0, 1, "ed_RTRIMFusedValue", "");
    rtrim.label(1, 0, "lbl_RTRIMManual", "Manual RTRIM ");
    c.rtrim.manual = rtrim.edit(1, 1, "ed_RTRIMManualValue", "");
    c.rtrimBox.get = rtrim.button(0, 2, "btn_GetRTRIMValues", "Get");
    c.rtrimBox.set = rtrim.button(1, 2, "btn_SetRTRIMManualValue", "Set");
    c.rtrim.useManual = rtrim.check(2, 0, "chkbx_UseRTRIMManualValue", "Use RTRIM manual values");
    c.rtrimBox.hex = rtrim.check(2, 2, "chkbx_RTRIMUseHex", "Use Hex", true);

    Grid tmeas = page.box(2, 0, "gb_TMEASFuse", "TMEAS");
    c.tmeasBox.box = tmeas.group();
    tmeas.label(0, 0, "lbl_TMEASFused", "Fused TMEAS");
    c.tmeas.fused = tmeas.readOnly(0, 1, "ed_TMEASFusedValue", "");
    tmeas.label(1, 0, "lbl_TMEASManual", "Manual TMEAS");
    c.tmeas.manual = tmeas.edit(1, 1, "ed_TMEASManualValue", "");
    c.tmeasBox.get = tmeas.button(0, 2, "btn_GetTMEASValues", "Get");
    c.tmeasBox.set = tmeas.button(1, 2, "btn_SetTMEASValues", "Set");
    c.tmeas.useManual = tmeas.check(2, 0, "chkbx_UseTMEASManualValue", "Use TMEAS manual values");
    c.tmeasBox.hex = tmeas.check(2, 2, "chkbx_TMEASUseHex", "Use Hex", true);

    Grid vmeas = page.box(2, 1, "gb_VMEASFuse", "VMEAS");
    c.vmeasBox.box = vmeas.group();
    vmeas.label(0, 0, "lbl_VMEASFused", "Fused VMEAS");
    c.vmeas.fused = vmeas.readOnly(0, 1, "ed_VMEASFusedValue", "");
    vmeas.label(1, 0, "lbl_VMEASManual", "Manual VMEAS");
    c.vmeas.manual = vmeas.edit(1, 1, "ed_VMEASManualValue", "");
    c.vmeasBox.get = vmeas.button(0, 2, "btn_GetVMEASValues", "Get");
    c.vmeasBox.set = vmeas.button(1, 2, "btn_SetVMEASValues", "Set");
    c.vmeas.useManual = vmeas.check(2, 0, "chkbx_UseVMEASManualValue", "Use VMEAS manual values");
    c.vmeasBox.hex = vmeas.check(2, 2, "chkbx_VMEASUseHex", "Use Hex", true);
    c.propagation = vmeas.check(3, 0, "chkbx_EnablePropagation", "Enable Propagation");

    Grid kfreq = page.box(3, 0, "gb_IBIASDAC_KFREQ_Fuse", "IBIASDAC/KFREQ", 1, 2);
    c.kfreqBox.box = kfreq.group();
    kfreq.label(0, 0, "lbl_IBIASDACFused", "Fused IBIASDAC");
    c.ibiasdac.fused = kfreq.readOnly(0, 1, "ed_IBIASDACFusedValue", "");
    kfreq.label(1, 0, "lbl_IBIASDACManual", "Manual IBIASDAC");
    c.ibiasdac.manual = kfreq.edit(1, 1, "ed_IBIASDACManualValue", "");
    c.ibiasdac.useManual =
        kfreq.check(2, 0, "chkbx_UseIBIASDACManualValue", "Use IBIASDAC manual values");
    kfreq.label(0, 2, "lbl_KFREQFused", "Fused KFREQ");
    c.kfreq.fused = kfreq.readOnly(0, 3, "ed_KFREQFusedValue", "");
    kfreq.label(1, 2, "lbl_KFREQManual", "Manual KFREQ");
    c.kfreq.manual = kfreq.edit(1, 3, "ed_KFREQManualValue", "");
    c.kfreq.useManual = kfreq.check(2, 2, "chkbx_UseKFREQManualValue", "Use KFREQ manual values");
    c.kfreqBox.hex = kfreq.check(3, 0, "chkbx_KFREQIBIASDACUseHex", "Use Hex", true);
    c.kfreqBox.get = kfreq.button(3, 2, "btn_GetKFREQIBIASDACValues", "Get");
    c.kfreqBox.set = kfreq.button(3, 3, "btn_SetKFREQIBIASDACValues", "Set");
}

void BuildHciPage(Grid& page, HciControls& c) {
    Grid raw = page.box(0, 0, "gb_RawHciCommand", "Raw HCI Command");
    c.box = raw.group();
    QLabel* requestLabel = raw.label(0, 0, "lbl_HCICommandRequest", "HCI command request");
    raw.label(0, 1, "lblHciNote",
              "Use This Feature Carefully. Invalid Commands Can Cause Target To Stop Responding",
              4);
    c.tabs = new QTabBar(raw.w);
    c.tabs->setObjectName("tc_HciCommands");
    c.tabs->setMovable(true);
    raw.put(c.tabs, 1, 0, 1, 2);
    c.add = raw.button(1, 2, "btn_AddHciCommand", "+");
    c.remove = raw.button(1, 3, "btn_DeleteHciCommand", "-");
    c.edit = raw.button(1, 4, "btn_EditHciCommand", "e");
    for (QPushButton* button : {c.add, c.remove, c.edit})
        button->setFixedWidth(28);
    c.sequence = raw.memo(2, 0, "memo_HCICommandSequence", 5);
    c.send = raw.button(3, 0, "btn_SendHCICommand", "Send command");
    Grid separator = raw.box(3, 1, "rg_HCISequenceSeparator", "Separator");
    auto* space = separator.put(new QRadioButton("Space", separator.w), 0, 0);
    space->setChecked(true);
    c.comma = separator.put(new QRadioButton("Comma", separator.w), 0, 1);
    c.hex = raw.check(3, 2, "chkbx_HCICommandUseHex", "Use hex", true);
    QLabel* responseLabel = raw.label(4, 0, "lbl_HCICommandResponse", "HCI command response");
    c.reply = raw.memo(5, 0, "memo_HCICommandResponse", 5);
    c.request = {requestLabel, c.sequence, c.send,   separator.w, c.hex,
                 c.tabs,       c.add,      c.remove, c.edit};
    c.response = {responseLabel, c.reply};
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

FormControls BuildFormLayout(QWidget* form) {
    FormControls c{};
    auto* outer = new QVBoxLayout(form);
    outer->setContentsMargins(4, 4, 4, 4);
    auto* header = new QWidget(form);
    Grid top(header);
    BuildHeader(top, c.header);
    outer->addWidget(header);

    auto* pages = new QTabWidget(form);
    pages->setObjectName("pc_Bluetooth");
    outer->addWidget(pages, 1);

    Grid test(AddPage(pages, "TestModeSetup", "Test and data setup"));
    BuildTestPage(test, c.rf, c.nvm);
    BuildNvmBox(test, c.nvm);
    DisableTestPageControls(test.w, c.rf, c.nvm);
    test.grid->setRowStretch(6, 1);
    test.grid->setColumnStretch(4, 1);

    Grid auxiliary(AddPage(pages, "AuxiliarySetup", "Auxiliary setup"));
    BuildAuxiliaryPage(auxiliary, c.aux);
    auxiliary.grid->setRowStretch(4, 1);
    auxiliary.grid->setColumnStretch(3, 1);

    Grid hci(AddPage(pages, "HCICommand", "HCI command"));
    BuildHciPage(hci, c.hci);
    pages->setCurrentIndex(0);
    return c;
}

} // namespace ui
