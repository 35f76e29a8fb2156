#include "phonesim.h"

#include <algorithm>

namespace phonesim {

ChipState DefaultChip() {
    ChipState chip;
    chip.nvm[0] = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13, 0, 0};
    chip.wireVersion.fill(1);
    chip.wireStatus.fill(1);
    return chip;
}

Simulator::Simulator() { Reset(); }

void Simulator::Reset() {
    chip_ = DefaultChip();
    textVersions_.fill({});
    binaryVersions_.fill({});
    ClearFaults();
}

std::array<uint8_t, 6> Simulator::BdAddress() const {
    std::array<uint8_t, 6> address{};
    for (std::size_t i = 0; i < address.size(); ++i)
        address[i] = static_cast<uint8_t>(chip_.nvm[0][i]);
    return address;
}

void Simulator::SetBdAddress(const std::array<uint8_t, 6>& address) {
    for (std::size_t i = 0; i < address.size(); ++i) chip_.nvm[0][i] = address[i];
}

void Simulator::SetTextVersions(int opcode, uint8_t request, uint8_t confirm, int32_t code) {
    if (opcode >= 0 && opcode < kOpcodeCount)
        textVersions_[static_cast<std::size_t>(opcode)] = {request, confirm, code};
}

void Simulator::SetBinaryVersions(int function, uint8_t request, uint8_t confirm) {
    if (function < 0 || function >= kFunctionCount) return;
    auto& entry = binaryVersions_[static_cast<std::size_t>(function)];
    entry.request = request;
    entry.confirm = confirm;
}

void Simulator::SetBinarySupported(int function, bool supported) {
    if (function >= 0 && function < kFunctionCount)
        binaryVersions_[static_cast<std::size_t>(function)].supported = supported;
}

void Simulator::InjectText(const FaultSpec& fault, std::string command) {
    textFaults_.push_back({fault, std::move(command)});
}

void Simulator::InjectBinary(const FaultSpec& fault, int32_t function) {
    binaryFaults_.push_back({fault, function});
}

void Simulator::ClearFaults() {
    textFaults_.clear();
    binaryFaults_.clear();
}

bool Simulator::TakeTextFault(std::string_view name, FaultSpec& out) {
    for (auto it = textFaults_.begin(); it != textFaults_.end(); ++it) {
        if (!it->command.empty() && it->command != name) continue;
        out = it->fault;
        if (!it->fault.persistent) textFaults_.erase(it);
        return true;
    }
    return false;
}

bool Simulator::TakeBinaryFault(int32_t function, FaultSpec& out) {
    for (auto it = binaryFaults_.begin(); it != binaryFaults_.end(); ++it) {
        if (it->function != -1 && it->function != function) continue;
        out = it->fault;
        if (!it->fault.persistent) binaryFaults_.erase(it);
        return true;
    }
    return false;
}

std::size_t Simulator::TextCount(std::string_view name) const {
    return static_cast<std::size_t>(std::count_if(textLog_.begin(), textLog_.end(), [&](const TextRecord& r) {
        return std::string_view(r.command).substr(0, r.command.find('(')) == name;
    }));
}

std::size_t Simulator::BinaryCount(int32_t function) const {
    return static_cast<std::size_t>(std::count_if(binaryLog_.begin(), binaryLog_.end(),
                         [&](const BinaryRecord& r) { return r.function == function; }));
}

std::string Simulator::LastCommand() const {
    return textLog_.empty() ? std::string() : textLog_.back().command;
}

std::vector<uint8_t> Simulator::LastRequest() const {
    return binaryLog_.empty() ? std::vector<uint8_t>() : binaryLog_.back().request;
}

void Simulator::ClearLogs() {
    textLog_.clear();
    binaryLog_.clear();
}

} // namespace phonesim
