#include "fake_host.h"

#include <algorithm>

#include "host_slots.h"
#include "plugin/host.h"
#include "plugin/plugin.h"

namespace fakehost {
namespace {

FakeHost* CurrentHost = nullptr;

extern "C" void FakeShowLine(const char* text, uint8_t flag) {
    if (CurrentHost) CurrentHost->RecordLine(text, flag);
}

extern "C" const char* FakeGetLastError() {
    return CurrentHost ? CurrentHost->LastErrorText() : "No errors";
}

extern "C" uint8_t FakeResetTimeoutDelay() {
    if (!CurrentHost) return 0;
    CurrentHost->RecordTimeoutReset();
    return 1;
}

extern "C" uint8_t FakeSetTimeOutDelay(int32_t delay) {
    if (!CurrentHost) return 0;
    CurrentHost->RecordTimeout(delay);
    return 1;
}

extern "C" uint8_t FakeGetInfoAsInt(int32_t item, int32_t* value) {
    return CurrentHost && CurrentHost->InfoAsInt(item, value) ? 1 : 0;
}

} // namespace

FakeHost::FakeHost() {
    previous_ = CurrentHost;
    CurrentHost = this;
    previousBound_ = phonesim::BindHostSlots(&phone_);
    table_[3] = reinterpret_cast<void*>(&FakeGetLastError);
    table_[147] = reinterpret_cast<void*>(&FakeResetTimeoutDelay);
    table_[149] = reinterpret_cast<void*>(&FakeSetTimeOutDelay);
    table_[174] = reinterpret_cast<void*>(&FakeGetInfoAsInt);
    for (int slot : {18, 54, 175})
        table_[static_cast<std::size_t>(slot)] = phonesim::HostSlotEntry(slot);
}

FakeHost::~FakeHost() {
    if (CurrentHost == this) CurrentHost = previous_;
    if (phonesim::BoundSimulator() == &phone_) phonesim::BindHostSlots(previousBound_);
}

FakeHost* FakeHost::Current() {
    return CurrentHost;
}

void FakeHost::SetSlot(int index, void* function) {
    table_.at(static_cast<std::size_t>(index)) = function;
}

LogCallbackFunc FakeHost::LogCallback() const {
    return &FakeShowLine;
}

void FakeHost::InstallIntoPlugin() {
    SetFuncInterface(table_.data(), TableBytes());
    ShowLineCallback = &FakeShowLine;
    ComHandle = kComHandle;
}

void FakeHost::RecordLine(const char* text, uint8_t flag) {
    log_.push_back({text ? std::string(text) : std::string(), flag});
}

bool FakeHost::InfoAsInt(int32_t item, int32_t* value) {
    infoItems_.push_back(item);
    if (item != 31 || value == nullptr) return false;
    *value = interfaceKind_;
    return true;
}

std::vector<std::string> FakeHost::LogTexts() const {
    std::vector<std::string> texts;
    texts.reserve(log_.size());
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
