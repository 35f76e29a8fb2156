#pragma once
// A small stand-in for host slots 3 and 18: each exchange takes the next scripted answer
// (or status 1 alone when none is left) and records what the plug-in sent. Log lines
// the plug-in shows are collected with their flags.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bt/bluetooth_transport.h"
#include "plugin/host.h"
#include "plugin/plugin.h"

namespace scripted {

struct Answer {
    bool hostOk = true;
    std::vector<uint8_t> confirm;
    // Length reported to the plug-in; -1 reports confirm.size().
    int32_t reportedLength = -1;
};

struct Request {
    int32_t opcode = 0;
    std::vector<uint8_t> bytes;
};

struct Line {
    std::string text;
    uint8_t flag = 1;
    bool nullText = false;
    bool operator==(const Line& other) const { return text == other.text && flag == other.flag; }
};

inline std::deque<Answer> answers;
inline std::vector<Request> requests;
inline std::vector<Line> lines;
inline std::string lastError = "No errors";

inline uint8_t Slot18(int32_t opcode, uint16_t requestLength, const uint8_t* request,
                      uint16_t* confirmLength, uint8_t* confirm, int32_t) {
    requests.push_back({opcode, request ? std::vector<uint8_t>(request, request + requestLength)
                                        : std::vector<uint8_t>{}});
    Answer answer{true, {1}, -1};
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    }
    if (!answer.hostOk) return 0;
    // A host never writes more than the buffer holds, whatever length it reports.
    const std::size_t written = std::min(answer.confirm.size(), kLegacyConfirmBufferSize);
    std::copy_n(answer.confirm.begin(), written, confirm);
    *confirmLength = static_cast<uint16_t>(answer.reportedLength < 0 ? answer.confirm.size()
                                                                     : answer.reportedLength);
    return 1;
}

inline const char* Slot3() {
    return lastError.c_str();
}

inline void Capture(const char* text, uint8_t flag) {
    lines.push_back({text ? text : "", flag, text == nullptr});
}

inline void* table[host::kSlotCount] = {};

// Installs the two slots and the log capture, and starts from an empty script, an empty
// version table and no log.
inline void Install() {
    answers.clear();
    requests.clear();
    lines.clear();
    lastError = "No errors";
    std::fill(std::begin(table), std::end(table), nullptr);
    table[host::kGetLastError] = reinterpret_cast<void*>(&Slot3);
    table[host::kBluetoothGeneric] = reinterpret_cast<void*>(&Slot18);
    SetFuncInterface(table, sizeof table);
    ShowLineCallback = &Capture;
    ComHandle = 7;
    legacy_framing::detail::ClearOpcodeVersionTable();
}

inline void Uninstall() {
    ShowLineCallback = nullptr;
    void* none[host::kSlotCount] = {};
    SetFuncInterface(none, sizeof none);
}

inline void Queue(std::vector<uint8_t> confirm, int32_t reportedLength = -1) {
    answers.push_back({true, std::move(confirm), reportedLength});
}
inline void QueueHostFailure() {
    answers.push_back({false, {}, -1});
}
// The version query's answer: status 1 with the two versions.
inline void QueueVersions(uint8_t request, uint8_t confirm) {
    Queue({1, request, confirm});
}

class Test : public ::testing::Test {
protected:
    void SetUp() override { Install(); }
    void TearDown() override { Uninstall(); }
};

} // namespace scripted
