#include "plugin/plugin.h"

#include <QMdiArea>
#include <climits>
#include <unistd.h>

std::string ExecutableName() {
    char path[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

namespace {

// The plug-in's own application: no MDI area, forms are top-level windows.
PluginApplication OwnApplication;
// The host's application once adopted.
PluginApplication HostApplication;

} // namespace

ShowLineFunc ShowLineCallback = nullptr;
void* GetInterface = nullptr;
int32_t ComHandle = -1;
void* ModuleHandle = nullptr;
PluginApplication* SavedApplication = nullptr;
PluginApplication* Application = &OwnApplication;

// The data symbol the host reads; C linkage and default visibility so that the export
// list can name it.
extern "C" {
__attribute__((visibility("default"))) Tfrm_main* _frm_main = nullptr;
}
Tfrm_main*& frm_main = _frm_main;

namespace plugin {

// Runs from the library's constructor, possibly before other globals of the library are
// constructed: it touches only constant-initialised state.
void Attach(void* moduleHandle) {
    ShowLineCallback = nullptr;
    ComHandle = -1;
    ModuleHandle = moduleHandle;
}

void Detach() {
    if (SavedApplication != nullptr) Application = SavedApplication;
}

void AdoptHostApplication(QMdiArea* hostArea) {
    if (SavedApplication != nullptr) return;
    SavedApplication = Application;
    HostApplication.mdiArea = hostArea;
    Application = &HostApplication;
}

} // namespace plugin
