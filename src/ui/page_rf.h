#pragma once
// The RF test page: the mode items, channel limits, track bars, the enabling of each mode
// and the six request builders behind "Test".

#include <QObject>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/layout.h"
#include "ui/rules.h"

class QButtonGroup;
class QRadioButton;

namespace ui {

class FormContext;

class RfTestPage : public QObject {
public:
    RfTestPage(FormContext& form, const FormControls& controls);

    // The mode items; a click on one is the form's mode click.
    QButtonGroup* ModeGroup() const { return modeGroup_; }
    uint32_t CurrentTestMode() const;

    // Start-up: the lists, the mode items and the track bar labels.
    void FillIntervals();
    void FillLists();
    void FillTestModes();
    void ShowTrackBarLabels();

    void SetChannelLimits(uint32_t mode);
    // A track bar moved: its value label, and what depends on it.
    void TrackChanged(track::Id id);
    // The EPC step-count update; only a track bar as sender marks the step-count label.
    void EpcStepCountUpdate(bool fromTrackBar);
    void PatternEnabling();
    // Step 2 and 3 of the enabling pass: the page's boxes off, then those of `mode` on.
    void DisableModeControls();
    void EnableForMode(uint32_t mode);

    // The device address from its six edits; false after the conversion error box.
    bool ReadAddress(uint8_t address[6]);
    // The number rule on a spin edit, with its name and limits.
    Checked Check(spin::Id id) const;

private:
    int64_t CheckInto(std::string& message, spin::Id id) const;
    void ChannelChange(spin::Id id, uint8_t step, uint8_t maximum);
    void HoppingClick();
    void TestClick();
    void LeRxResultClick();
    void BuildRfTestMode();
    void BuildTxBurstMode();
    void BuildTxContinuousMode();
    void BuildRxContinuousMode();
    void BuildTxLeMode();
    void BuildRxLeStart();

    FormContext& form_;
    const RfControls& c_;
    const NvmControls& nvm_;
    QButtonGroup* modeGroup_;
    std::vector<QRadioButton*> modeItems_;
    uint8_t txChannelMax_ = 78;
    uint8_t txChannelStep_ = 1;
    uint8_t rxChannelMax_ = 78;
    uint8_t rxChannelStep_ = 1;
    uint8_t epcMaxStep_ = 7;
};

} // namespace ui
