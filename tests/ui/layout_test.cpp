// Every named control carries the class that its name promises the host.

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

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
        "lbl_SerialInterfaceMode pc_Bluetooth gb_NVMMode chkbx_NvmDataMode btn_WriteToNVM "
        "btn_ReadFromNVM btnWriteAllNvm gbNvmNew "
        "gbNvmMisc gbNvmLpm gbNvmRssi gbNvmUart gbNvmSettleValue gbNvmCurrent "
        "editChannelWordOffset editInputFreq editLmpFeatures0 editLmpFeatures7 udRssiMin "
        "udLpmDrift editRxCurrent gb_RawHciCommand lbl_HCICommandRequest lblHciNote "
        "tc_HciCommands btn_AddHciCommand btn_DeleteHciCommand btn_EditHciCommand "
        "memo_HCICommandSequence btn_SendHCICommand rg_HCISequenceSeparator "
        "chkbx_HCICommandUseHex lbl_HCICommandResponse memo_HCICommandResponse chkbx_Offset "
        "lbl_Slot gb_LPCPower gb_EPCPower";
    for (const QString& name : names.split(' '))
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name.toStdString();
    // A host selects a page by the name of the tab's own page; its controls scroll in it.
    auto* pages = form.findChild<QTabWidget*>("pc_Bluetooth");
    ASSERT_EQ(pages->count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pages->widget(i)->objectName(),
                  QStringList({"TestModeSetup", "AuxiliarySetup", "HCICommand"})[i]);
        EXPECT_NE(pages->widget(i)->findChild<QScrollArea*>(), nullptr);
    }
}

// Regression: a three-character limit refused typing 12.9 into the power edits.
TEST(Layout, TypingIsLimitedOnlyWhereTheLayoutGivesALength) {
    Tfrm_main form(nullptr, true);
    // Edits by what typing 12.9 leaves in them.
    const std::pair<QString, QString> kTyped[] = {
        {"ed_TXChannel ed_RXChannel ed_LeDataLength", "12"},
        {"ed_BRSubStates editRssiMin editLpmDrift editRssiThreshold", "12."},
        {"ed_LE ed_EPCMaxPwrLvlOneMbitS ed_LPCMaxPwrLvlThreeMbitS ed_EPCMaxPwrStepTwoMbitS "
         "ed_AFHChannel0_7 ed_BTAddress_0 editLmpFeatures0 editInputFreq",
         "12.9"},
    };
    for (const auto& [names, shown] : kTyped) {
        for (const QString& name : names.split(' ')) {
            auto* edit = form.findChild<QLineEdit*>(name);
            edit->setEnabled(true);
            edit->selectAll();
            QTest::keyClicks(edit, "12.9");
            EXPECT_EQ(edit->text(), shown) << name.toStdString();
        }
    }
}

// The host opens and closes the form; its frame offers no caption-bar buttons.
TEST(Layout, FrameHasNoCaptionButtonsAlsoInTheMdiArea) {
    constexpr Qt::WindowFlags kButtons = Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint |
                                         Qt::WindowSystemMenuHint | Qt::CustomizeWindowHint;
    QMdiArea area;
    auto* form = new Tfrm_main(nullptr, true);
    EXPECT_EQ(form->windowFlags() & kButtons, Qt::CustomizeWindowHint);
    EXPECT_EQ(area.addSubWindow(form)->windowFlags() & kButtons, Qt::CustomizeWindowHint);
}

} // namespace
