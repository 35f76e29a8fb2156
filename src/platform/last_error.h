#pragma once
#include <string>

namespace platform {
// The system's text for an error number.
std::string SystemErrorText(int error);

// Shows a last-error text in a modal box. The engine has no widgets of its own: a front
// end with a display installs the box once at start.
using LastErrorBox = void (*)(const std::string& text);
void SetLastErrorBox(LastErrorBox box);
// Shows `text` in the installed box; false, showing nothing, when none is installed.
bool ShowLastErrorBox(const std::string& text);
} // namespace platform
