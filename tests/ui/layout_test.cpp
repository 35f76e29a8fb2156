// The layout as the host and black-box tests see it: names, classes, pages, typing limits
// and the frame.

#include <QTest>

#include "form_fixture.h"
#include "ui/widgets.h"

namespace {

// Every named control carries the class that its name prefix promises the host.
TEST(Layout, EveryNamedControlExistsWithTheClassItsPrefixPromises) {
    const QStringList kRules =
        Split("le_ConnectionHandle:QLineEdit ed_:QLineEdit edit:QLineEdit ud:TUpDown tb_:QSlider "
              "cb_:QComboBox chkbx_:QCheckBox rg_:QGroupBox gb:QGroupBox btn:QAbstractButton "
              "lbl:QLabel PowerLevelNOfStepsValue:QLabel Image1:QLabel pc_:QTabWidget "
              "tc_:QTabBar memo_:QPlainTextEdit",
              ' ');
    Tfrm_main form(nullptr, true);
    int checked = 0;
    for (QWidget* control : form.findChildren<QWidget*>()) {
        for (const QString& rule : kRules) {
            if (!control->objectName().startsWith(rule.section(':', 0, 0))) continue;
            EXPECT_TRUE(control->inherits(rule.section(':', 1).toLatin1()))
                << control->objectName().toStdString();
            ++checked;
            break;
        }
    }
    EXPECT_GT(checked, 250);
    // A host selects a page by the name of the tab's own page; its controls scroll in it.
    auto* pages = form.findChild<QTabWidget*>("pc_Bluetooth");
    ASSERT_EQ(pages->count(), 3);
    const QStringList kPages = {"TestModeSetup", "AuxiliarySetup", "HCICommand"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pages->widget(i)->objectName(), kPages[i]);
        EXPECT_NE(pages->widget(i)->findChild<QScrollArea*>(), nullptr);
    }
}

// Regression: a three-character limit refused typing 12.9 into the power edits.
TEST(Layout, TypingIsLimitedOnlyWhereTheLayoutGivesALength) {
    Tfrm_main form(nullptr, true);
    const std::pair<QString, QString> kTyped[] = {
        {"ed_TXChannel ed_RXChannel ed_LeDataLength", "12"},
        {"ed_BRSubStates editRssiMin editLpmDrift editRssiThreshold", "12."},
        {"ed_LE ed_EPCMaxPwrLvlOneMbitS ed_LPCMaxPwrLvlThreeMbitS ed_EPCMaxPwrStepTwoMbitS "
         "ed_AFHChannel0_7 ed_BTAddress_0 editLmpFeatures0 editInputFreq",
         "12.9"}};
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
