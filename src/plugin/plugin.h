#pragma once
// Plug-in-wide state and the small services every layer uses to talk back to the host.

#include <cstdint>
#include <string>

#include "plugin/host.h"
#include "plugin/log.h"

extern void* GetInterface;
extern int32_t ComHandle;
extern void* ModuleHandle;

namespace plugin {
// Library attach.
void Attach(void* moduleHandle);
} // namespace plugin

// One log line to the host, unchanged; dropped when no callback is set.
void ShowLine(const std::string& text, uint8_t flag);
// "OK" with flag 1.
void ShowOk();
// After a failed host call: the host's last error text, or "Error!" when it says "No
// errors"; without that slot, the system's last error in the last-error box, or in the
// log when no box is installed (a program without a display).
void ReportHostError();

// Caption from the version resource of this module's file.
std::string GetAboutText();
// Path of the running executable.
std::string ExecutableName();
// Caption from the version resource of `fileName` in the running executable's folder.
std::string GetVersionText(const std::string& fileName);
// Version text read from the file at `path` (the steps behind GetVersionText).
std::string VersionTextOfFile(const std::string& path);
