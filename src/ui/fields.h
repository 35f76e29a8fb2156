#pragma once
// The form's fields, each described once: the edits with a spinner and the track bars of
// the RF test page, and the NVM parameters with the control that shows each. The layout,
// the enabling, the marking, the input checks and the NVM read and write all use these.

#include <array>
#include <cstdint>

#include "bt/bt_types.h"
#include "bt/nvm_params.h"

namespace ui {

namespace spin {
enum Id : uint8_t {
    TxChannel,
    RxChannel,
    BrLevel,
    LeLevel,
    EpcLevel1,
    EpcStep1,
    EpcLevel2,
    EpcStep2,
    EpcLevel3,
    EpcStep3,
    LpcLevel1,
    LpcLevel2,
    LpcLevel3,
    LeDataLength,
    Count
};
} // namespace spin

// The highest value the check of a spin edit allows.
enum class Limit : uint8_t {
    Spinner,     // the spinner's maximum in the layout
    EpcStep,     // the highest EPC power step (the EPC step count - 1)
    TxChannelMax // the highest TX channel of the mode
};

// An edit with its up/down spinner: caption label, edit, spinner and unit label in one row.
struct SpinField {
    const char* label;
    const char* caption;
    const char* edit;
    const char* text;
    int typingLimit; // 0: none
    const char* upDown;
    int minimum;
    int maximum;
    const char* unitLabel; // null: none
    const char* unit;
    const char* name; // in the check messages
    Limit limit;
};
extern const std::array<SpinField, spin::Count> kSpins;

namespace track {
enum Id : uint8_t {
    TxPowerCoarse,
    TxPowerFine,
    PowerLevel,
    EpcSteps,
    EpcStepSize,
    LpcSteps,
    LpcStepSize,
    Count
};
} // namespace track

// A track bar with its caption label, value label and unit label in one row.
struct TrackField {
    const char* label;
    const char* caption;
    const char* bar;
    int minimum;
    int maximum;
    int position;
    const char* valueLabel;
    const char* value;
    const char* unitLabel; // null: none
    const char* unit;
};
extern const std::array<TrackField, track::Count> kTracks;

// What shows an NVM parameter.
enum class NvmShown : uint8_t {
    Address,     // the six address edits of the RF test page
    Spin,        // a spin edit of the RF test page
    Track,       // a track bar of the RF test page; its mark is on the value label
    LmpFeatures, // the eight feature edits of the "NVM parameters" box
    Box,         // a field of the "NVM parameters" box in its own group box
};

// The groups of the "NVM parameters" box.
enum class NvmGroup : uint8_t { None, Misc, Lpm, Rssi, Uart, Settle, Current };

// One NVM parameter. The table runs in the order the parameters are checked and written;
// inside each group of the "NVM parameters" box that is also the order of the rows.
struct NvmField {
    T_BT_NVM_PARAM_TYPE id;
    uint8_t read; // place in the order of "Read from NVM"
    NvmShown shown;
    uint8_t control; // Spin: spin::Id; Track: track::Id
    NvmGroup group;
    const char* key;     // Box: the names gbNvm<key>, lbl<key>, edit<key>, ud<key>
    const char* caption; // Box: the caption, also the name in the check messages
};
extern const std::array<NvmField, nvm::kParamCount> kNvmFields;

// The whole range of a parameter's type.
struct Range {
    int64_t minimum;
    int64_t maximum;
};
Range KindRange(nvm::Kind kind);

} // namespace ui
