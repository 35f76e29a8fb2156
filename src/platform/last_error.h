#pragma once
#include <string>

namespace platform {
// The system's text for an error number.
std::string SystemErrorText(int error);
// The calling thread's last error (errno) with its system text, in a modal error box
// with no owner, an empty caption and one OK button.
void ShowLastErrorBox();
} // namespace platform
