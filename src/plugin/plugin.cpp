#include "plugin/plugin.h"

#include <climits>
#include <unistd.h>

std::string ExecutableName() {
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

ShowLineFunc ShowLineCallback = nullptr;
void* GetInterface = nullptr;
int32_t ComHandle = -1;
void* ModuleHandle = nullptr;

namespace plugin {

// Runs from the library's constructor, possibly before other globals of the library are
// constructed: it touches only constant-initialised state.
void Attach(void* moduleHandle) {
    ShowLineCallback = nullptr;
    ComHandle = -1;
    ModuleHandle = moduleHandle;
}

} // namespace plugin
