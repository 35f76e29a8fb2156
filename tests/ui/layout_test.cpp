// Every named control carries the class that its name promises the host.

#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>

#include "form_fixture.h"
#include "ui/widgets.h"

namespace {

// The class a name prefix promises; nullptr when the prefix promises none.
const char* ExpectedClass(const QString& name) {
    struct Rule {
        const char* prefix;
        const char* className;
    };
    static const Rule kRules[] = {
        {"le_ConnectionHandle", "QLineEdit"},
        {"ed_", "QLineEdit"},
        {"edit", "QLineEdit"},
        {"ud", "TUpDown"},
        {"tb_", "QSlider"},
        {"cb_", "QComboBox"},
        {"chkbx_", "QCheckBox"},
        {"rg_", "QGroupBox"},
        {"gb", "QGroupBox"},
        {"btn", "QAbstractButton"},
        {"lbl", "QLabel"},
        {"PowerLevelNOfStepsValue", "QLabel"},
        {"Image1", "QLabel"},
        {"pc_", "QTabWidget"},
        {"tc_", "QTabBar"},
        {"memo_", "QPlainTextEdit"},
    };
    for (const Rule& rule : kRules) {
        if (name.startsWith(rule.prefix)) return rule.className;
    }
    return nullptr;
}

// Black-box tests and the station find controls by these names and classes.
TEST(Layout, EveryNamedControlExistsWithTheClassItsPrefixPromises) {
    Tfrm_main form(nullptr, true);
    int checked = 0;
    for (QWidget* control : form.findChildren<QWidget*>()) {
        const char* className = ExpectedClass(control->objectName());
        if (className == nullptr) continue;
        EXPECT_TRUE(control->inherits(className)) << control->objectName().toStdString() << " is a "
                                                  << control->metaObject()->className();
        ++checked;
    }
    EXPECT_GT(checked, 250);
    const QString names =
        "shp_BTOnOff btn_BTDSwReset btn_BluetoothInit gb_HWInfo Image1 "
        "lbl_SerialInterfaceMode pc_Bluetooth TestModeSetup AuxiliarySetup HCICommand "
        "gb_NVMMode chkbx_NvmDataMode btn_WriteToNVM btn_ReadFromNVM btnWriteAllNvm gbNvmNew "
        "gbNvmMisc gbNvmLpm gbNvmRssi gbNvmUart gbNvmSettleValue gbNvmCurrent "
        "editChannelWordOffset editInputFreq editLmpFeatures0 editLmpFeatures7 udRssiMin "
        "udLpmDrift editRxCurrent gb_RawHciCommand lbl_HCICommandRequest lblHciNote "
        "tc_HciCommands btn_AddHciCommand btn_DeleteHciCommand btn_EditHciCommand "
        "memo_HCICommandSequence btn_SendHCICommand rg_HCISequenceSeparator "
        "chkbx_HCICommandUseHex lbl_HCICommandResponse memo_HCICommandResponse chkbx_Offset "
        "lbl_Slot gb_LPCPower gb_EPCPower";
    for (const QString& name : names.split(' '))
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name.toStdString();
}

} // namespace
