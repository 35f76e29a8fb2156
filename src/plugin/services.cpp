#include "plugin/plugin.h"

#include <cerrno>
#include <cstdio>
#include <dlfcn.h>

#include "platform/last_error.h"
#include "platform/version_info.h"

void ShowLine(const std::string& text, uint8_t flag) {
    if (ShowLineCallback == nullptr) return;
    ShowLineCallback(text.empty() ? nullptr : text.c_str(), flag);
}

void ShowOk() { ShowLine("OK", 1); }

void ReportHostError() {
    if (auto lastError = host::GetLastErrorSlot()) {
        const char* text = lastError();
        const std::string message = text ? text : "";
        if (message == "No errors")
            ShowLine("Error!", 0);
        else
            ShowLine(message, 1);
        return;
    }
    const std::string text = platform::SystemErrorText(errno);
    if (!platform::ShowLastErrorBox(text)) ShowLine(text, 1);
}

namespace {

constexpr char kNoVersion[] = "About: No version information available.";

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

std::string VersionTextOfFile(const std::string& path) {
    if (platform::GetFileVersionInfoSize(path) == 0) return kNoVersion;
    std::vector<char> block;
    if (!platform::GetFileVersionInfo(path, block)) return kNoVersion;
    std::string translation;
    if (!platform::VerQueryValue(block, "\\VarFileInfo\\Translation", translation) ||
        translation.size() < 4)
        return kNoVersion;
    auto word = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(translation[at])) |
               static_cast<unsigned>(static_cast<unsigned char>(translation[at + 1])) << 8;
    };
    char blockName[16];
    std::snprintf(blockName, sizeof blockName, "%04x%04x", word(0), word(2));
    const std::string blockPath = std::string("\\StringFileInfo\\") + blockName;
    std::string result;
    platform::VerQueryValue(block, blockPath + "\\ProductName", result);
    std::string fileVersion;
    if (platform::VerQueryValue(block, blockPath + "\\FileVersion", fileVersion) &&
        !fileVersion.empty())
        result += " - Version: " + fileVersion;
    return result;
}

std::string GetVersionText(const std::string& fileName) {
    return VersionTextOfFile(FolderOf(ExecutableName()) + fileName);
}

std::string GetAboutText() {
    Dl_info info{};
    const void* address = ModuleHandle ? ModuleHandle : reinterpret_cast<void*>(&GetAboutText);
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return kNoVersion;
    std::string path(info.dli_fname);
    const std::size_t slash = path.find_last_of('/');
    return GetVersionText(slash == std::string::npos ? path : path.substr(slash + 1));
}
