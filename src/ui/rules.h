#pragma once
// The operator-input rules of the form's pages, free of widgets: each takes texts and
// limits and gives a value or the exact message the page logs.

#include <cstdint>
#include <optional>
#include <string>

#include "bt/bt_types.h"

namespace ui {

// Outcome of a check: the value when it passed, else the message to collect.
struct Checked {
    int64_t value = 0;
    std::string message; // empty when the value is good
    bool ok() const { return message.empty(); }
};

// A decimal number with an optional fraction (cut toward zero), blanks around it allowed.
// Nothing when the text is not a number. Numbers beyond 64 bits saturate.
std::optional<int64_t> ReadDecimalNumber(const std::string& text);

// A whole decimal number as the toolkit's integer conversion reads it (blanks around it,
// an optional sign, digits, within 32 bits). Nothing when the text is not one.
std::optional<int32_t> ReadWholeNumber(const std::string& text);

// The message of a text that must be a whole number and is not.
std::string NotAnIntegerMessage(const std::string& text);

// The number rule of the RF test and NVM pages.
Checked CheckNumber(const std::string& text, const std::string& name, int64_t minimum,
                    int64_t maximum);

// Selection rule: an index below 0 means nothing is selected.
std::string SelectionMessage(int index, const std::string& name);
std::string PatternMessage(int index, bool listEnabled);
std::string IntervalMessage(int index);
// The TX interval a selected item carries, capped at 254.
uint8_t CappedInterval(int64_t itemValue);

// Hexadecimal reading of the device-address and AFH edits: empty or over 8 characters
// gives 0, else the leading hexadecimal digits (0 when there are none).
uint32_t ReadHexLeading(const std::string& text);

// Device-address byte from one edit. Hexadecimal reading gives the low 8 bits; decimal
// reading gives nothing for a text that is not a whole number (the press stops).
std::optional<uint8_t> AddressByte(const std::string& text, bool useHex);

struct PatternPair {
    uint8_t kind;
    uint8_t byte;
};
// The two bytes a BR/EDR pattern travels as; pattern values past the table give 0, 0.
PatternPair PatternBytes(uint32_t pattern);

// The 10 bytes sent when hopping is off.
extern const uint8_t kDefaultAfhMap[10];

// "<n * step + 2402> Mhz".
std::string ChannelFrequencyText(int64_t channel, int step);

// Track bar label texts.
int CoarsePowerDb(int position);
int FinePowerDb(int position);

// The manual value check of the trimming boxes.
Checked CheckManualValue(const std::string& text, bool useManual, bool useHex, uint32_t maximum);

// The width a trimming value needs in hexadecimal: 2, or 3 for TMEAS values above 0xFF.
int8_t TrimmingHexWidth(uint32_t value);

// Messages of the interfaces "Set" for the three lists (index -1 = no selection).
std::string InterfaceSelectionMessages(int pcm, int uart, int wakeup);

// The two request bytes of the RSSI query for a connection handle.
void RssiRequestBytes(int32_t handle, uint8_t out[2]);

// "Year: 2009 CW: 23 Build: 4" from the year, week and build bytes.
std::string BuildText(uint8_t year, uint8_t week, uint8_t build);

// The text back-end numbers its commands by opcode: the opcode of the same name as a
// test function.
uint16_t OpcodeOfFunction(T_ATCTST_BT_FUNCTION function);

} // namespace ui
