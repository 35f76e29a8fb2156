#include "fake_host.h"

#include <algorithm>

#include "phone/host_slots.h"
#include "plugin/plugin.h"

namespace fakehost {
namespace {

FakeHost* Active = nullptr;

} // namespace

struct FakeHost::Slots {
    static void ShowLine(const char* text, uint8_t flag) {
        if (Active) Active->log_.push_back({text ? text : "", flag});
    }
    static const char* LastError() { return Active ? Active->lastError_.c_str() : "No errors"; }
    static uint8_t ResetTimeoutDelay() {
        if (Active) ++Active->resetTimeoutCalls_;
        return Active ? 1 : 0;
    }
    static uint8_t SetTimeOutDelay(int32_t delay) {
        if (Active) Active->timeoutCalls_.push_back(delay);
        return Active ? 1 : 0;
    }
    static uint8_t GetInfoAsInt(int32_t item, int32_t* value) {
        if (!Active || item != 31 || value == nullptr) return 0;
        *value = Active->interfaceKind_;
        return 1;
    }
};

FakeHost::FakeHost() : previousBound_(phonesim::BindHostSlots(&phone_)), previous_(Active) {
    Active = this;
    table_[3] = reinterpret_cast<void*>(&Slots::LastError);
    table_[147] = reinterpret_cast<void*>(&Slots::ResetTimeoutDelay);
    table_[149] = reinterpret_cast<void*>(&Slots::SetTimeOutDelay);
    table_[174] = reinterpret_cast<void*>(&Slots::GetInfoAsInt);
    for (int slot : {18, 54, 175})
        table_[static_cast<std::size_t>(slot)] = phonesim::HostSlotEntry(slot);
}

FakeHost::~FakeHost() {
    if (Active == this) Active = previous_;
    if (phonesim::BoundSimulator() == &phone_) phonesim::BindHostSlots(previousBound_);
}

LogCallbackFunc FakeHost::LogCallback() const {
    return &Slots::ShowLine;
}

void FakeHost::InstallIntoPlugin() {
    SetFuncInterface(table_.data(), TableBytes());
    ShowLineCallback = &Slots::ShowLine;
    ComHandle = kComHandle;
}

std::vector<std::string> FakeHost::LogTexts() const {
    std::vector<std::string> texts;
    for (const LogLine& line : log_)
        texts.push_back(line.text);
    return texts;
}

std::size_t FakeHost::CountLine(std::string_view text) const {
    return static_cast<std::size_t>(
        std::count_if(log_.begin(), log_.end(), [&](const LogLine& l) { return l.text == text; }));
}

bool FakeHost::HasLine(std::string_view text, int flag) const {
    return std::any_of(log_.begin(), log_.end(), [&](const LogLine& l) {
        return l.text == text && (flag < 0 || l.flag == flag);
    });
}

} // namespace fakehost
