#pragma once
// The NVM parameters: reading them all onto the page, writing the modified ones, and
// writing all of them at once. Their controls are described by kNvmFields.

#include <QObject>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "bt/nvm_params.h"
#include "ui/layout.h"

namespace ui {

class FormContext;
class RfTestPage;
struct Checked;

class NvmPage : public QObject {
public:
    NvmPage(FormContext& form, const FormControls& controls, RfTestPage& rf);

    // The "NVM parameters" box and "Write All to NVM" are shown with the text back-end only.
    void ShowTextProtocolControls(bool shown);
    // "Read from NVM", also run at start-up.
    void Read();
    // NVM data mode of the enabling pass: every control whose parameter record the back-end
    // knows follows the chip state.
    void EnableFields();

private:
    // The controls of one parameter: a group box whose children are enabled together, or
    // the loose controls of a spin edit or a track bar.
    struct Controls {
        QGroupBox* box = nullptr;
        std::vector<QWidget*> loose;
        QLineEdit* edit = nullptr; // the checked entry field
        QWidget* mark = nullptr;   // the control that carries the modified mark
    };

    void SetEnabled(const Controls& controls, bool enabled);
    bool BoxShown() const;
    void Show(const NvmField& field, const T_BT_ALL_NVM_PARAMS& values);
    // The check of an entry field, or the position of a track bar.
    Checked Value(const NvmField& field) const;
    // The eight LMP feature bytes; false, with the text of the first that is no whole
    // number in `bad`, when one is not.
    bool ReadLmpFeatures(uint8_t features[8], std::string& bad) const;
    void WriteModified();
    void WriteAll();

    FormContext& form_;
    const NvmControls& c_;
    const RfControls& rfControls_;
    RfTestPage& rf_;
    std::array<Controls, nvm::kParamCount> controls_;   // by kNvmFields row
    std::array<uint8_t, nvm::kParamCount> readOrder_{}; // kNvmFields rows, read order
    // Set by "Write All to NVM" for one pass of the modified-write routine in which only
    // the marks are cleared.
    bool markOnly_ = false;
    // The last read found no values on the phone (a failed read-all): nothing of it may be
    // enabled or written back until a read succeeds.
    bool readFailed_ = false;
};

} // namespace ui
