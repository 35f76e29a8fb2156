#pragma once
// A host for tests: the 216-slot function table with the slots the plug-in calls, a phone
// simulator behind the link slots 18, 54 and 175, and a log of every line the plug-in
// showed. Slot 3 gives the last error ("No errors" unless set), 147 and 149 record the
// time-out calls, 174 answers information item 31 (2 unless set); every other slot is null.
//
// The slots reach the host through one current-instance pointer: the newest FakeHost is
// active, and destroying it makes the one before it active again.
//
// Tests linking the static libraries call InstallIntoPlugin(); tests that dlopen
// libBluetooth.so pass Table()/TableBytes() and LogCallback() to its exports.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "phone/phonesim.h"

namespace fakehost {

struct LogLine {
    std::string text;
    uint8_t flag = 1;
};

using LogCallbackFunc = void (*)(const char* text, uint8_t flag);

class FakeHost {
public:
    static constexpr int32_t kComHandle = 7;

    FakeHost();
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    phonesim::Simulator& Phone() { return phone_; }
    const void* Table() const { return table_.data(); }
    int32_t TableBytes() const { return static_cast<int32_t>(sizeof table_); }
    LogCallbackFunc LogCallback() const;
    // Hands the table, the log callback and kComHandle to the plug-in linked into this test.
    void InstallIntoPlugin();

    // Puts `entry` (null: none) into the table; the plug-in gets it with the next install.
    void SetSlot(int slot, void* entry) { table_.at(static_cast<std::size_t>(slot)) = entry; }
    void SetLastError(std::string text) { lastError_ = std::move(text); }
    void SetInterfaceKind(int32_t kind) { interfaceKind_ = kind; }

    const std::vector<LogLine>& Log() const { return log_; }
    std::vector<std::string> LogTexts() const;
    // Number of log lines equal to `text`, any flag.
    std::size_t CountLine(std::string_view text) const;
    bool HasLine(std::string_view text, int flag = -1) const;
    void ClearLog() { log_.clear(); }
    // Delays passed to slot 149, in order, and the number of calls of slot 147.
    const std::vector<int32_t>& TimeoutCalls() const { return timeoutCalls_; }
    int ResetTimeoutCalls() const { return resetTimeoutCalls_; }

private:
    struct Slots; // the entry points of the table

    phonesim::Simulator phone_;
    phonesim::Simulator* previousBound_ = nullptr;
    FakeHost* previous_ = nullptr;
    std::array<void*, 216> table_{};
    std::string lastError_ = "No errors";
    int32_t interfaceKind_ = 2;
    std::vector<LogLine> log_;
    std::vector<int32_t> timeoutCalls_;
    int resetTimeoutCalls_ = 0;
};

} // namespace fakehost
