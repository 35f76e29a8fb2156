#pragma once
// A host for tests: the 216-slot function table with the slots the plug-in calls, a phone
// simulator behind the link slots, and a log of every line the plug-in showed.
//
// Served slots: 3 (last error text, default "No errors"), 18, 54 and 175 (the simulator,
// phone/host_slots.h), 147 and 149 (time-out calls, recorded), 174 (information item 31,
// default 2). Every other slot is null.
//
// The slots and the log callback are plain C function pointers, so they reach the fake
// host through one current-instance pointer: only one FakeHost is active at a time (the
// newest; destroying it makes none active, and the slots then fail).
//
// Two ways in:
//  - tests linking the static libraries: InstallIntoPlugin() calls SetFuncInterface() and
//    sets ShowLineCallback and ComHandle;
//  - tests that dlopen libBluetooth.so: pass Table()/TableBytes() to _SetFuncInterface and
//    LogCallback() to _SetShowLineFunc.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "phonesim.h"

namespace fakehost {

struct LogLine {
    std::string text;
    uint8_t flag = 1;
};

using LogCallbackFunc = void (*)(const char* text, uint8_t flag);

class FakeHost {
public:
    static constexpr int kSlots = 216;
    static constexpr int32_t kComHandle = 7;

    FakeHost();
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    phonesim::Simulator& Phone() { return phone_; }

    // --- the table --------------------------------------------------------------------
    const void* Table() const { return table_.data(); }
    int32_t TableBytes() const { return static_cast<int32_t>(kSlots * sizeof(void*)); }
    void* Slot(int index) const { return table_.at(static_cast<std::size_t>(index)); }
    // Replaces one entry (null empties it), e.g. to test a host without slot 3.
    void SetSlot(int index, void* function);
    LogCallbackFunc LogCallback() const;

    // Hands the table, the log callback and kComHandle to the plug-in linked into this test.
    void InstallIntoPlugin();

    // --- host answers -----------------------------------------------------------------
    void SetLastError(std::string text) { lastError_ = std::move(text); }
    void SetInterfaceKind(int32_t kind) { interfaceKind_ = kind; }
    int32_t InterfaceKind() const { return interfaceKind_; }

    // --- what the plug-in did ---------------------------------------------------------
    const std::vector<LogLine>& Log() const { return log_; }
    std::vector<std::string> LogTexts() const;
    // Number of log lines equal to `text` (any flag).
    std::size_t CountLine(std::string_view text) const;
    bool HasLine(std::string_view text, int flag = -1) const;
    void ClearLog() { log_.clear(); }
    // Delays passed to slot 149, in order; calls of slot 147; item numbers asked of 174.
    const std::vector<int32_t>& TimeoutCalls() const { return timeoutCalls_; }
    int ResetTimeoutCalls() const { return resetTimeoutCalls_; }
    const std::vector<int32_t>& InfoItemsAsked() const { return infoItems_; }

    // Entry points of the slots and the callback (used through the table).
    static FakeHost* Current();
    void RecordLine(const char* text, uint8_t flag);
    const char* LastErrorText() const { return lastError_.c_str(); }
    void RecordTimeout(int32_t delay) { timeoutCalls_.push_back(delay); }
    void RecordTimeoutReset() { ++resetTimeoutCalls_; }
    bool InfoAsInt(int32_t item, int32_t* value);

private:
    phonesim::Simulator phone_;
    phonesim::Simulator* previousBound_ = nullptr;
    FakeHost* previous_ = nullptr;
    std::array<void*, kSlots> table_{};
    std::string lastError_ = "No errors";
    int32_t interfaceKind_ = 2;
    std::vector<LogLine> log_;
    std::vector<int32_t> timeoutCalls_;
    int resetTimeoutCalls_ = 0;
    std::vector<int32_t> infoItems_;
};

} // namespace fakehost
