#pragma once
// The form's layout: every control with its name, class, caption, range and initial value,
// and the typed pointers through which the pages reach the controls they use.

#include <array>

#include "bt/bt_types.h"
#include "ui/fields.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabBar;
class QWidget;
class TLamp;
class TUpDown;

namespace ui {

// The controls outside the pages: chip switch and lamp, reset, firmware information.
struct HeaderControls {
    TLamp* lamp;
    QPushButton* reset;
    QPushButton* init;
    QGroupBox* hwInfo;
    QLabel* image;
    QLabel* llmVersion;
    QLabel* llmVersionValue;
    QLabel* lbbVersion;
    QLabel* lbbVersionValue;
    QLabel* buildNo;
    QLabel* buildNoValue;
    QLabel* patch;
    QLabel* patchValue;
    QPushButton* getInformation;
    QLabel* serialMode;
};

struct SpinControls {
    QLabel* label;
    QLineEdit* edit;
    TUpDown* upDown;
    QLabel* unit; // null when the row has none
};

struct TrackControls {
    QLabel* label;
    QSlider* bar;
    QLabel* value;
};

struct RfControls {
    QGroupBox* modes;
    QPushButton* test;
    std::array<SpinControls, spin::Count> spins;
    std::array<TrackControls, track::Count> tracks;
    // The boxes the enabling pass starts from, in the order it disables them.
    QGroupBox* channel;
    QGroupBox* txPower;
    QGroupBox* afh;
    QGroupBox* powerLevel;
    QGroupBox* data;
    QGroupBox* address;
    QGroupBox* lpcControl;
    QGroupBox* lpc1;
    QGroupBox* lpc2;
    QGroupBox* lpc3;
    QGroupBox* epcControl;
    QGroupBox* epc1;
    QGroupBox* epc2;
    QGroupBox* epc3;
    QGroupBox* le;
    QGroupBox* br;
    QGroupBox* leTx;
    QGroupBox* leRx;
    QCheckBox* hopping;
    QLabel* txIntervalLabel;
    QComboBox* txInterval;
    QLabel* slot;
    QLabel* packetTypeLabel;
    QComboBox* packetType;
    QLabel* patternLabel;
    QComboBox* pattern;
    QLabel* modulationLabel;
    QComboBox* modulation;
    QCheckBox* whitening;
    std::array<QLineEdit*, 10> afhEdits; // channels 0-7 first
    std::array<QLineEdit*, 6> addressEdits;
    QCheckBox* addressHex;
    QComboBox* lePattern;
    QLineEdit* leRxResult;
    QPushButton* leRxGet;
};

struct NvmControls {
    QCheckBox* dataMode;
    QPushButton* write;
    QPushButton* read;
    QPushButton* writeAll;
    QGroupBox* box; // "NVM parameters"
    QGroupBox* lmpBox;
    std::array<QLineEdit*, 8> lmpFeatures;
    // The fields of the box with a group box of their own, by parameter.
    std::array<QGroupBox*, BNPT_MAX_COUNT> fieldBoxes;
    std::array<QLineEdit*, BNPT_MAX_COUNT> fieldEdits;
};

// One trimmed value: the fused and the manual value, and whether the manual one is used.
struct TrimControls {
    QLineEdit* fused;
    QLineEdit* manual;
    QCheckBox* useManual;
};

// A trimming box with its "Use Hex", "Get" and "Set".
struct TrimBox {
    QGroupBox* box;
    QCheckBox* hex;
    QPushButton* get;
    QPushButton* set;
};

struct AuxControls {
    QGroupBox* connection;
    QComboBox* pcm;
    QComboBox* wakeup;
    QComboBox* uart;
    QPushButton* interfaceSet;
    QPushButton* interfaceGet;
    QGroupBox* loopback;
    QComboBox* loopbackType;
    QPushButton* loopbackOn;
    QPushButton* loopbackOff;
    QGroupBox* hostCheckBox;
    QLabel* hostCheckResult;
    QPushButton* hostCheck;
    QGroupBox* sleepxBox;
    QLabel* sleepxResult;
    QPushButton* sleepxCheck;
    QGroupBox* rssi;
    QLabel* rssiLabel;
    QLineEdit* rssiValue;
    QPushButton* rssiGet;
    QLabel* handleLabel;
    QLineEdit* handle;
    TrimBox rtrimBox;
    TrimBox tmeasBox;
    TrimBox vmeasBox;
    TrimBox kfreqBox; // IBIASDAC and KFREQ
    TrimControls rtrim;
    TrimControls tmeas;
    TrimControls vmeas;
    TrimControls ibiasdac;
    TrimControls kfreq;
    QCheckBox* propagation;
};

struct HciControls {
    QGroupBox* box;
    // The request controls, in the order they are enabled: request label, sequence, "Send
    // command", separator, "Use hex", tab strip, "+", "-", "e".
    std::array<QWidget*, 9> request;
    // The response label and the response memo.
    std::array<QWidget*, 2> response;
    QTabBar* tabs;
    QPushButton* add;
    QPushButton* remove;
    QPushButton* edit;
    QPlainTextEdit* sequence;
    QPushButton* send;
    QRadioButton* comma;
    QCheckBox* hex;
    QPlainTextEdit* reply;
};

struct FormControls {
    HeaderControls header;
    RfControls rf;
    NvmControls nvm;
    AuxControls aux;
    HciControls hci;
};

// Builds the controls of the form inside `form` (the content of the scrolling window).
FormControls BuildFormLayout(QWidget* form);

} // namespace ui
