#pragma once
// Plug-in-wide state and the small services every layer uses to talk back to the host.

#include <cstdint>
#include <string>

#include "plugin/host.h"

class QLineEdit;
class QComboBox;
class QMdiArea;
class QVariant;
class Tfrm_main;

// The "application" a form belongs to: the host's MDI area, or (for the plug-in's own
// application) none. Both stand for the running executable.
struct PluginApplication {
    QMdiArea* mdiArea = nullptr;
};

extern ShowLineFunc ShowLineCallback;
extern void* GetInterface;
extern int32_t ComHandle;
extern void* ModuleHandle;
// The plug-in's own application while the host's one is in use; null until the first
// show or close of the form.
extern PluginApplication* SavedApplication;
// The application that new forms belong to.
extern PluginApplication* Application;
extern "C" Tfrm_main* _frm_main;
// The current form, or null; the same object the host sees as _frm_main.
extern Tfrm_main*& frm_main;

namespace plugin {
// Library attach and detach.
void Attach(void* moduleHandle);
void Detach();
// Adopts the host's MDI area as the application, once per library life.
void AdoptHostApplication(QMdiArea* hostArea);
} // namespace plugin

// One log line to the host, unchanged; dropped when no callback is set.
void ShowLine(const std::string& text, uint8_t flag);
// "OK" with flag 1.
void ShowOk();
// After a failed host call: the host's last error text, or "Error!" when it says "No
// errors"; without that slot, the system's last error in a message box.
void ReportHostError();

// Caption from the version resource of this module's file.
std::string GetAboutText();
// Path of the running executable.
std::string ExecutableName();
// Caption from the version resource of `fileName` in the running executable's folder.
std::string GetVersionText(const std::string& fileName);
// Version text read from the file at `path` (the steps behind GetVersionText).
std::string VersionTextOfFile(const std::string& path);

void SetEditEditable(QLineEdit* edit, bool editable);
// The value stored with the selected item; an invalid QVariant when nothing valid is
// selected.
QVariant GetSelectedObject(QComboBox* box);
