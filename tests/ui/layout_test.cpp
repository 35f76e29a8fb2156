// Every named control carries the class that its name promises the host, and the
// controls the pages are driven through all exist.

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

TEST(Layout, EveryNamedControlHasTheClassItsPrefixPromises) {
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
}

TEST(Layout, HoldsTheControlsOfEveryPage) {
    Tfrm_main form(nullptr, true);
    for (const char* name : {"shp_BTOnOff",
                             "btn_BTDSwReset",
                             "btn_BluetoothInit",
                             "gb_HWInfo",
                             "Image1",
                             "lbl_SerialInterfaceMode",
                             "pc_Bluetooth",
                             "TestModeSetup",
                             "AuxiliarySetup",
                             "HCICommand",
                             "gb_NVMMode",
                             "chkbx_NvmDataMode",
                             "btn_WriteToNVM",
                             "btn_ReadFromNVM",
                             "btnWriteAllNvm",
                             "gbNvmNew",
                             "gbNvmMisc",
                             "gbNvmLpm",
                             "gbNvmRssi",
                             "gbNvmUart",
                             "gbNvmSettleValue",
                             "gbNvmCurrent",
                             "editChannelWordOffset",
                             "editInputFreq",
                             "editLmpFeatures0",
                             "editLmpFeatures7",
                             "udRssiMin",
                             "udLpmDrift",
                             "editRxCurrent",
                             "gb_RawHciCommand",
                             "lbl_HCICommandRequest",
                             "lblHciNote",
                             "tc_HciCommands",
                             "btn_AddHciCommand",
                             "btn_DeleteHciCommand",
                             "btn_EditHciCommand",
                             "memo_HCICommandSequence",
                             "btn_SendHCICommand",
                             "rg_HCISequenceSeparator",
                             "chkbx_HCICommandUseHex",
                             "lbl_HCICommandResponse",
                             "memo_HCICommandResponse",
                             "chkbx_Offset",
                             "lbl_Slot",
                             "gb_LPCPower",
                             "gb_EPCPower"}) {
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
    }
    // The 8-bit NVM fields spin over their type's range; the wider ones have no spinner.
    EXPECT_EQ(form.findChild<TUpDown*>("udRssiMin")->minimum(), -128);
    EXPECT_EQ(form.findChild<TUpDown*>("udRssiMin")->maximum(), 127);
    EXPECT_EQ(form.findChild<TUpDown*>("udUartInvert")->maximum(), 255);
    EXPECT_EQ(form.findChild<TUpDown*>("udUlpmCurrent"), nullptr);
    EXPECT_TRUE(form.findChild<QWidget*>("gbNvmNew")->isHidden());
    EXPECT_TRUE(form.findChild<QWidget*>("lbl_Slot")->isHidden());
}

TEST(Layout, FirstPageStartsDisabledButForItsListsAndButtons) {
    Tfrm_main form(nullptr, false);
    auto enabled = [&form](const char* name) {
        return !form.findChild<QWidget*>(name)->testAttribute(Qt::WA_Disabled);
    };
    for (const char* name : {"rg_TestModes", "btn_BTDTest", "cb_PacketType", "cb_PatternSelection",
                             "cb_ModulationType", "cb_LePatternSelection", "ed_LeRxResult",
                             "btn_LeRxResult", "chkbx_NvmDataMode"}) {
        EXPECT_TRUE(enabled(name)) << name;
    }
    for (const char* name : {"ed_TXChannel", "tb_TxPowerCoarse", "cb_TXInterval", "ed_BTAddress_0",
                             "ed_AFHChannel0_7", "ed_LE", "tb_PowerLevel",
                             "ed_EPCMaxPwrStepOneMbitS", "ed_LeDataLength", "editLpmDrift"}) {
        EXPECT_FALSE(enabled(name)) << name;
    }
}

} // namespace
