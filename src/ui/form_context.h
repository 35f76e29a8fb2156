#pragma once
// What the pages of the form ask of the form that holds them, and the routines they share.

#include <cstdint>
#include <optional>
#include <string>

#include "bt/bt_types.h"

class IBluetooth;
class QLineEdit;
class QWidget;

namespace ui {

class FormContext {
public:
    // The protocol back-end the form owns.
    virtual IBluetooth& Bluetooth() = 0;
    // The back-end speaks the text protocol.
    virtual bool ZepBackEnd() const = 0;
    // The chip runs, as last read from the back-end.
    virtual bool BtOn() const = 0;
    // Paints a changed control as modified while changes are marked, else as plain.
    virtual void MarkChanged(QWidget* control) = 0;
    virtual void SetMarkChanges(bool mark) = 0;
    // The toolkit's error box for a text that must be a whole number.
    virtual void ShowConversionError(const std::string& text) = 0;

    // The data versions the phone reports for the records of a test function.
    uint8_t ReqVersion(T_ATCTST_BT_FUNCTION function);
    uint8_t ConVersion(T_ATCTST_BT_FUNCTION function);
    // The whole number in an edit, or nothing after the conversion error box.
    std::optional<int32_t> WholeNumber(QLineEdit* edit);

protected:
    ~FormContext() = default;
};

// Sets the enabled state of every direct child control of `container`.
void SetChildrenEnabled(QWidget* container, bool enabled);

// Logs "Parameter error:" and the text with flag 0.
void LogParameterError(const std::string& text);

} // namespace ui
