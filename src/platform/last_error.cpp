#include "platform/last_error.h"

#include <cstring>

namespace platform {

namespace {

LastErrorBox InstalledBox = nullptr;

} // namespace

std::string SystemErrorText(int error) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return text ? text : buffer;
}

void SetLastErrorBox(LastErrorBox box) {
    InstalledBox = box;
}

bool ShowLastErrorBox(const std::string& text) {
    if (InstalledBox == nullptr) return false;
    InstalledBox(text);
    return true;
}

} // namespace platform
