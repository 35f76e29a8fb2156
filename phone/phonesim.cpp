#include "phone/phonesim.h"

#include <algorithm>

#include "phone/chip_tables.h"

namespace phonesim {

const std::array<NvmParam, 43> kNvmParams = {{
    {"bdaddr", Kind::Bytes6, 0},          {"channel_word_offset", Kind::U16, 291},
    {"input_freq", Kind::U32, 26000000},  {"lmp_features", Kind::Bytes8, 0},
    {"le_features", Kind::U8, 1},         {"lpm_conf", Kind::U8, 3},
    {"lpm_drift", Kind::U8, 250},         {"lpm_threshold", Kind::U8, 8},
    {"ultra_lpm_threshold", Kind::U8, 9}, {"epc_power_1mbps", Kind::I8, 4},
    {"epc_power_2mbps", Kind::I8, 2},     {"epc_power_3mbps", Kind::I8, -2},
    {"epc_pwrctrl_steps", Kind::U8, 7},   {"epc_pwrctrl_stepsize", Kind::U8, 3},
    {"epc_step_1mbps", Kind::U8, 6},      {"epc_step_2mbps", Kind::U8, 5},
    {"epc_step_3mbps", Kind::U8, 4},      {"lpc_power_1mbps", Kind::I8, 0},
    {"lpc_power_2mbps", Kind::I8, -2},    {"lpc_power_3mbps", Kind::I8, -4},
    {"lpc_pwrctrl_steps", Kind::U8, 5},   {"lpc_pwrctrl_stepsize", Kind::U8, 2},
    {"br_pwr_level", Kind::I8, 4},        {"rssi_threshold", Kind::I8, -70},
    {"le_pwr_level", Kind::I8, 0},        {"rssi_min", Kind::I8, -90},
    {"rssi_max", Kind::I8, -40},          {"rssi_goto_max", Kind::U8, 1},
    {"uart_baudrate", Kind::U8, 6},       {"uart_invert", Kind::U8, 0},
    {"osc_settle", Kind::U8, 5},          {"pll_settle", Kind::U8, 6},
    {"dig_settle", Kind::U8, 7},          {"bb_conf", Kind::U8, 17},
    {"idac_comp", Kind::U8, 12},          {"rf_config", Kind::U8, 2},
    {"lmp_version", Kind::U8, 9},         {"uart_lpm_level", Kind::U8, 1},
    {"ulpm_current", Kind::U16, 15},      {"idle_current", Kind::U16, 120},
    {"active_current", Kind::U16, 9000},  {"tx_current", Kind::U16, 32000},
    {"rx_current", Kind::U16, 28000},
}};

// The UART LPM level travels right after UART invert, out of identifier order.
const std::array<int, 43> kTransferOrder = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
    22, 23, 24, 25, 26, 27, 28, 29, 37, 30, 31, 32, 33, 34, 35, 36, 38, 39, 40, 41, 42};

int NvmParamIndex(std::string_view suffix) {
    for (std::size_t i = 0; i < kNvmParams.size(); ++i)
        if (kNvmParams[i].suffix == suffix) return static_cast<int>(i);
    return -1;
}

int ElementCount(Kind kind) {
    switch (kind) {
    case Kind::Bytes2:
        return 2;
    case Kind::Bytes6:
        return 6;
    case Kind::Bytes8:
        return 8;
    case Kind::Bytes10:
        return 10;
    case Kind::Bytes150:
        return 150;
    default:
        return 1;
    }
}

void StoreNvm(ChipState& chip, int param, const std::vector<int64_t>& values) {
    auto& slot = chip.nvm[static_cast<std::size_t>(param)];
    slot.fill(0);
    std::copy_n(values.begin(), std::min(values.size(), slot.size()), slot.begin());
    for (std::size_t wire = 0; wire < kWireToParam.size(); ++wire)
        if (kWireToParam[wire] == param) chip.wireStatus[wire] = 1;
}

ChipState DefaultChip() {
    ChipState chip;
    for (std::size_t i = 0; i < kNvmParams.size(); ++i)
        chip.nvm[i][0] = kNvmParams[i].initial;
    chip.nvm[0] = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13, 0, 0};
    chip.nvm[3] = {0xBF, 0xFE, 0xCF, 0xFE, 0xDB, 0xFF, 0x7B, 0x87};
    chip.wireVersion.fill(1);
    chip.wireStatus.fill(1);
    return chip;
}

Simulator::Simulator() {
    Reset();
}

void Simulator::Reset() {
    const std::lock_guard lock(mutex_);
    chip_ = DefaultChip();
    textVersions_.fill({});
    binaryVersions_.fill({});
    ClearFaults();
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
    return static_cast<std::size_t>(
        std::count_if(textLog_.begin(), textLog_.end(), [&](const TextRecord& r) {
            return std::string_view(r.command).substr(0, r.command.find('(')) == name;
        }));
}

std::size_t Simulator::BinaryCount(int32_t function) const {
    return static_cast<std::size_t>(
        std::count_if(binaryLog_.begin(), binaryLog_.end(),
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
