#pragma once
// A small host for tests that need no phone: slot 3 (last error), 54 and 175 (text link)
// and 174 (interface kind) answered by plain functions, and the log lines the plug-in
// showed. Installing one replaces the plug-in's table and log callback; destroying it
// installs the one before it again, or empties them.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "plugin/host.h"
#include "plugin/plugin.h"

namespace testhost {

struct Line {
    std::string text;
    uint8_t flag;
};

// What one link call received.
struct Call {
    int slot;
    std::string command;
    int32_t comHandle = 0;
    std::vector<int32_t> extra; // slot 175: the four integers after the reply object
};

class LocalHost {
public:
    static constexpr int32_t kComHandle = 11;

    LocalHost() : previous_(current_) {
        current_ = this;
        table_[host::kGetLastError] = reinterpret_cast<void*>(&LastError);
        table_[host::kZepGeneric] = reinterpret_cast<void*>(&ZepGeneric);
        table_[host::kZepSendReceive] = reinterpret_cast<void*>(&ZepSendReceive);
        table_[host::kGetInfoAsInt] = reinterpret_cast<void*>(&InfoAsInt);
        Install();
    }
    ~LocalHost() {
        current_ = previous_;
        if (previous_ != nullptr) {
            previous_->Install();
            return;
        }
        const std::array<void*, host::kSlotCount> empty{};
        SetFuncInterface(empty.data(), sizeof empty);
        ShowLineCallback = nullptr;
        ComHandle = -1;
    }
    LocalHost(const LocalHost&) = delete;
    LocalHost& operator=(const LocalHost&) = delete;

    void SetSlot(int slot, void* function) {
        table_[static_cast<std::size_t>(slot)] = function;
        Install();
    }

    // The phone: returns false for a failed host call; `reply` is what comes back.
    std::function<bool(const std::string& command, std::string& reply)> phone =
        [](const std::string&, std::string& reply) {
            reply = "0\r\nOK\r\n";
            return true;
        };
    int reportedLength = -1; // slot 54 reports this length instead of the reply's own
    std::string lastError = "No errors";
    int32_t interfaceKind = 0;

    std::vector<Line> lines;
    std::vector<Call> calls;

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Line& l : lines)
            texts.push_back(l.text);
        return texts;
    }
    std::size_t Count(const std::string& text) const {
        return static_cast<std::size_t>(std::count_if(
            lines.begin(), lines.end(), [&](const Line& l) { return l.text == text; }));
    }

private:
    void Install() {
        SetFuncInterface(table_.data(), static_cast<int32_t>(sizeof table_));
        ShowLineCallback = [](const char* text, uint8_t flag) {
            current_->lines.push_back(Line{text != nullptr ? text : "", flag});
        };
        ComHandle = kComHandle;
    }
    static const char* LastError() { return current_->lastError.c_str(); }
    static uint8_t InfoAsInt(int32_t item, int32_t* value) {
        if (item != 31 || value == nullptr) return 0;
        *value = current_->interfaceKind;
        return 1;
    }
    static uint8_t ZepGeneric(int32_t, uint16_t length, const uint8_t* command,
                              uint16_t* responseLength, uint8_t* response, int32_t comHandle) {
        LocalHost& h = *current_;
        const std::string text(reinterpret_cast<const char*>(command), length);
        h.calls.push_back(Call{host::kZepGeneric, text, comHandle, {}});
        std::string reply;
        const bool ok = h.phone(text, reply);
        // A host never writes past the 512-byte response buffer.
        const std::size_t written = std::min<std::size_t>(reply.size(), host::kZepBufferSize);
        std::memcpy(response, reply.data(), written);
        *responseLength = static_cast<uint16_t>(h.reportedLength >= 0 ? h.reportedLength : written);
        return ok ? 1 : 0;
    }
    static uint8_t ZepSendReceive(const char* command, HostText* reply, int32_t a, int32_t b,
                                  int32_t c, int32_t d) {
        LocalHost& h = *current_;
        h.calls.push_back(Call{host::kZepSendReceive, command, 0, {a, b, c, d}});
        std::string text;
        const bool ok = h.phone(command, text);
        reply->assign(reply, text.data(), static_cast<uint32_t>(text.size()));
        return ok ? 1 : 0;
    }

    std::array<void*, host::kSlotCount> table_{};
    LocalHost* previous_ = nullptr;
    static inline LocalHost* current_ = nullptr;
};

} // namespace testhost
