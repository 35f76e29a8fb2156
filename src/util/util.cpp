#include "util/util.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// Digits of `value` in `base`, lowest first, written right to left into exactly `width`
// places; places left over are zeros.
std::string RightAlignedDigits(uint32_t value, unsigned base, int width) {
    if (width < 1) return {};
    std::string text(static_cast<std::size_t>(width), '0');
    for (int pos = width - 1; pos >= 0 && value != 0; --pos) {
        text[static_cast<std::size_t>(pos)] = kDigits[value % base];
        value /= base;
    }
    return text;
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return -1;
}

} // namespace

std::string NumberToText(uint32_t value, int8_t base, int8_t width, bool signed16) {
    if (base < 2 || base > 16) return "INVALID DATA";
    if (base == 10) {
        char buffer[16];
        if (signed16)
            std::snprintf(buffer, sizeof buffer, "%hd", static_cast<short>(value & 0xFFFFu));
        else
            std::snprintf(buffer, sizeof buffer, "%u", static_cast<unsigned>(value));
        return buffer;
    }
    return RightAlignedDigits(value, static_cast<unsigned>(base), width);
}

bool IsValidNumber(const std::string& text, int32_t base) {
    if (text.empty()) return false;
    for (char c : text) {
        if (base == 10) {
            if (!((c >= '0' && c <= '9') || c == '-')) return false;
            continue;
        }
        const int digit = DigitValue(c);
        if (digit < 0 || digit >= base) return false;
    }
    return true;
}

std::string GetField(const std::string& text, int32_t index, char separator, std::string& field,
                     int32_t* start, int32_t* end) {
    field.clear();
    std::size_t pos = 0;
    for (int32_t passed = 0; passed < index; ++passed) {
        const std::size_t next = text.find(separator, pos);
        if (next == std::string::npos) return "<Missing parameter>";
        pos = next + 1;
    }
    if (pos >= text.size()) return "<Missing parameter>";
    if (start) *start = static_cast<int32_t>(pos);
    std::size_t stop = text.find(separator, pos);
    if (stop == std::string::npos) stop = text.size();
    field = text.substr(pos, stop - pos);
    if (end) *end = static_cast<int32_t>(stop);
    return {};
}

std::string FillText(char c, int count) {
    if (count <= 0) return {};
    return std::string(static_cast<std::size_t>(count), c);
}

int CompareBytes(const void* a, const void* b, std::size_t length) {
    return std::memcmp(a, b, length);
}

std::string SettingsFolderFor(const char* appdata, const char* xdgConfigHome, const char* home) {
    std::string base;
    if (appdata && *appdata) {
        base = appdata;
        while (base.size() > 1 && base.back() == '/') base.pop_back();
    } else if (xdgConfigHome && *xdgConfigHome) {
        base = xdgConfigHome;
    } else {
        base = std::string(home ? home : "") + "/.config";
    }
    if (base == "/") base.clear();
    return base + "/Halvex/Tessaly/";
}

const std::string& GetSettingsFolder() {
    static const std::string folder = [] {
        std::string path = SettingsFolderFor(std::getenv("APPDATA"), std::getenv("XDG_CONFIG_HOME"),
                                             std::getenv("HOME"));
        std::error_code ignored; // a folder that cannot be made shows up when it is used
        std::filesystem::create_directories(path, ignored);
        return path;
    }();
    return folder;
}
