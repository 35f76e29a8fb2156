#pragma once
// Small shared helpers: fixed-width number text, number checks, field splitting and the
// per-user settings folder. None of them depends on the system locale.

#include <cstddef>
#include <cstdint>
#include <string>

// Text of `value` in `base` (2..16). Base 10 ignores the width and never cuts; base 16
// and the others give exactly `width` digits, dropping the high ones that do not fit.
// A base outside 2..16 gives "INVALID DATA".
std::string NumberToText(uint32_t value, int8_t base, int8_t width, bool signed16);

// True when every character of a non-empty text is a digit of `base`. Base 10 also
// accepts minus signs anywhere (the callers convert afterwards and report what fails).
bool IsValidNumber(const std::string& text, int32_t base);

// Cuts field `index` (from 0) out of `text`, fields separated by `separator`. Returns ""
// on success and "<Missing parameter>" when the text ends before the field starts.
// `start` and `end`, when given, receive the positions of the field's first character
// and of the character that ended it.
std::string GetField(const std::string& text, int32_t index, char separator, std::string& field,
                     int32_t* start = nullptr, int32_t* end = nullptr);

// `count` copies of `c`; empty for a count of 0 or less.
std::string FillText(char c, int count);

// memcmp of two byte ranges.
int CompareBytes(const void* a, const void* b, std::size_t length);

// The settings folder for the given environment values (any may be null): APPDATA when
// set and not empty, else XDG_CONFIG_HOME, else HOME/.config; then "/Halvex/Tessaly/".
std::string SettingsFolderFor(const char* appdata, const char* xdgConfigHome, const char* home);

// The settings folder of this process, worked out on the first call (and created with
// its parents then); later calls return the same text even if the environment changed.
const std::string& GetSettingsFolder();
