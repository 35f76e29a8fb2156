// The operations a plan step can name: one row each, with its arguments, its measurements
// and the named function that runs it (op_*.cpp).

#include "run/operations.h"

#include "bt/rf_ranges.h"
#include "run/nvm_values.h"
#include "run/op_steps.h"

namespace run {

namespace {

using V = ValueType;

ArgSpec Int(const char* name, int64_t min, int64_t max, int64_t def) {
    return {name, ArgKind::Int, min, max, false, def};
}
ArgSpec Need(const char* name, int64_t min, int64_t max) {
    return {name, ArgKind::Int, min, max, true};
}
ArgSpec Bytes(const char* name, int count, const char* def) {
    return {name, ArgKind::Bytes, count, count, false, 0, def};
}
MeasurementSpec Code(const char* name) {
    return {name, V::Number, ""};
}

ArgSpec In(const char* name, rf::Range range, int64_t def) {
    return Int(name, range.min, range.max, def);
}

// Arguments of the RF test set-up, in the ranges the form's controls give them.
std::vector<ArgSpec> RfTestModeArgs() {
    return {Bytes("bd_address", 6, "001A7DDA7113"),
            In("epc_num_steps", rf::kPowerSteps, 7),
            In("epc_step_size", rf::kPowerStepSize, 3),
            Int("epc_max_step_1mbps", 0, rf::kPowerSteps.max - 1, 6),
            Int("epc_max_step_2mbps", 0, rf::kPowerSteps.max - 1, 5),
            Int("epc_max_step_3mbps", 0, rf::kPowerSteps.max - 1, 4),
            In("lpc_num_steps", rf::kPowerSteps, 5),
            In("lpc_step_size", rf::kPowerStepSize, 2),
            In("epc_max_power_1mbps", rf::kPower1Mbps, 4),
            In("epc_max_power_2mbps", rf::kPowerEdr, 2),
            In("epc_max_power_3mbps", rf::kPowerEdr, -2),
            In("lpc_power_1mbps", rf::kPower1Mbps, 0),
            In("lpc_power_2mbps", rf::kPowerEdr, -2),
            In("lpc_power_3mbps", rf::kPowerEdr, -4),
            In("br_power_level", rf::kPower1Mbps, 4),
            In("le_power_level", rf::kPower1Mbps, 0)};
}

// The EPC maximum power steps stop at the highest step, the number of steps - 1.
bool CheckEpcSteps(const Args& args, QString& error) {
    const int64_t highest = args.value("epc_num_steps").number - 1;
    for (const char* name : {"epc_max_step_1mbps", "epc_max_step_2mbps", "epc_max_step_3mbps"})
        if (args.value(name).number > highest) {
            error = QString("argument '%1' (%2) is above the highest step %3 of epc_num_steps %4")
                        .arg(name)
                        .arg(args.value(name).number)
                        .arg(highest)
                        .arg(highest + 1);
            return false;
        }
    return true;
}

std::vector<ArgSpec> TxBurstArgs() {
    return {Bytes("bd_address", 6, "001A7DDA7113"),
            In("channel", rf::kBrChannel, 0),
            Int("power_step", 0, 255, 0),
            Int("pattern", 0, 5, 5),
            Int("tx_interval", 0, 254, 0),
            Int("hopping", 0, 1, 0),
            Int("whitening", 0, 1, 1),
            In("lpc_num_steps", rf::kPowerSteps, 5),
            In("lpc_step_size", rf::kPowerStepSize, 2),
            Bytes("afh_channel_map", 10, "F7FFFFFFFFFFFFFFFFFF"),
            In("lpc_power_1mbps", rf::kPower1Mbps, 0),
            In("lpc_power_2mbps", rf::kPowerEdr, -2),
            In("lpc_power_3mbps", rf::kPowerEdr, -4),
            Int("packet_type", 0, 8, BT_PACKET_DH5)};
}

// The chip, its firmware and the HCI interface, and waiting.
std::vector<OperationSpec> ChipOps() {
    return {
        {"chip_on", {}, {Code("chip_state")}, false, &op::ChipOn},
        {"chip_off", {}, {Code("chip_state")}, false, &op::ChipOff},
        {"hw_info", {}, {Code("chip_state"), Code("host_interface")}, false, &op::HwInfo},
        {"hci_reset", {}, {}, false, &op::HciReset},
        {"firmware_info",
         {},
         {{"hardware_version", V::Text, ""},
          {"firmware_version", V::Text, ""},
          Code("build_year"),
          Code("build_week"),
          Code("build_number"),
          Code("patch_number"),
          {"version_info", V::Text, ""}},
         false,
         &op::FirmwareInfo},
        {"hci_command",
         {{"bytes", ArgKind::HexRun, 1, kHciDataSize, true}},
         {{"hci_reply", V::Text, ""},
          {"hci_reply_length", V::Number, "bytes"},
          Code("hci_status")},
         false,
         &op::HciCommand},
        {"wait", {Need("ms", 0, 600000)}, {}, false, &op::Wait},
    };
}

// RF test modes and the LE receiver result.
std::vector<OperationSpec> RfOps() {
    return {
        {"rf_test_mode", RfTestModeArgs(), {}, false, &op::RfTestMode, &CheckEpcSteps},
        {"tx_burst", TxBurstArgs(), {}, false, &op::TxBurst},
        {"tx_continuous",
         {In("channel", rf::kBrChannel, 0), In("coarse_power", rf::kCoarsePower, 7),
          In("fine_power", rf::kFinePower, 5), Int("pattern", 0, 5, 5),
          Int("modulation", 0, 3, BT_MODULATION_GFSK)},
         {},
         false,
         &op::TxContinuous},
        {"rx_continuous", {In("channel", rf::kBrChannel, 0)}, {}, false, &op::RxContinuous},
        {"le_tx",
         {In("channel", rf::kLeChannel, 0), In("data_length", rf::kLeDataLength, 37),
          In("power_level", rf::kPower1Mbps, 0), Int("pattern", 0, 7, BT_LE_PATTERN_PRBS9)},
         {},
         false,
         &op::LeTx},
        {"le_rx_start", {In("channel", rf::kLeChannel, 0)}, {}, false, &op::LeRxStart},
        {"le_rx_end",
         {Need("expected_packets", 1, 65535)},
         {{"le_rx_packets", V::Number, "packets"}, {"le_per", V::Number, "%"}},
         false,
         &op::LeRxEnd},
        {"rssi", {Int("connection_handle", 0, 255, 0)}, {{"rssi", V::Number, "dBm"}}, false,
         &op::Rssi},
    };
}

// Trimming values, interfaces and PCM loopback.
std::vector<OperationSpec> TrimOps() {
    return {
        {"rtrim_read",
         {},
         {Code("rtrim_use_manual"), Code("rtrim_manual"), Code("rtrim_fused")},
         false,
         &op::RtrimRead},
        {"rtrim_write",
         {Int("use_manual", 0, 1, 1), Need("value", 0, 31)},
         {},
         false,
         &op::RtrimWrite},
        {"kfreq_ibiasdac_read",
         {},
         {Code("kfreq_use_manual"), Code("kfreq_manual"), Code("kfreq_fused"),
          Code("ibiasdac_use_manual"), Code("ibiasdac_manual"), Code("ibiasdac_fused")},
         false,
         &op::KfreqIbiasdacRead},
        {"kfreq_ibiasdac_write",
         {Int("use_manual_kfreq", 0, 1, 1), Need("kfreq", 0, 31),
          Int("use_manual_ibiasdac", 0, 1, 1), Need("ibiasdac", 0, 255)},
         {},
         false,
         &op::KfreqIbiasdacWrite},
        {"tmeas_read",
         {},
         {Code("tmeas_use_manual"), Code("tmeas_manual"), Code("tmeas_fused")},
         false,
         &op::TmeasRead},
        {"tmeas_write",
         {Int("use_manual", 0, 1, 1), Need("value", 0, 1023)},
         {},
         false,
         &op::TmeasWrite},
        {"vmeas_read",
         {},
         {Code("vmeas_use_manual"), Code("vmeas_propagation"), Code("vmeas_manual"),
          Code("vmeas_fused")},
         false,
         &op::VmeasRead},
        {"vmeas_write",
         {Int("use_manual", 0, 1, 1), Int("propagation", 0, 1, 0), Need("value", 0, 31)},
         {},
         false,
         &op::VmeasWrite},
        {"interfaces_read",
         {},
         {Code("pcm"), Code("uart"), Code("wakeup")},
         false,
         &op::InterfacesRead},
        {"interfaces_write",
         {Int("pcm", 0, 1, 0), Int("uart", 0, 1, 0), Int("wakeup", 0, 1, 0)},
         {},
         false,
         &op::InterfacesWrite},
        {"pcm_loopback", {Need("type", 0, 2)}, {}, false, &op::PcmLoopback},
    };
}

// NVM parameters and device addresses.
std::vector<OperationSpec> NvmOps() {
    const ArgSpec nvmParam{"param", ArgKind::NvmParam, 0, 0, true};
    return {
        {"nvm_read", {nvmParam}, {}, true, &op::NvmRead},
        {"nvm_write",
         {nvmParam, {"value", ArgKind::NvmValue, 0, 0, true}},
         {},
         false,
         &op::NvmWrite},
        {"nvm_verify", {{"expected", ArgKind::Expected, 0, 0, true}}, {}, true, &op::NvmVerify},
        {"bdaddr_assign",
         {{"first", ArgKind::Bytes, 6, 6, true}, {"last", ArgKind::Bytes, 6, 6, true}},
         {{"bdaddr", V::Text, ""}},
         false,
         &op::BdaddrAssign,
         &op::CheckAddressBlock},
    };
}

std::vector<OperationSpec> BuildTable() {
    std::vector<OperationSpec> table;
    for (auto group : {&ChipOps, &RfOps, &TrimOps, &NvmOps, &op::RadioOps})
        for (OperationSpec& op : group())
            table.push_back(std::move(op));
    return table;
}

} // namespace

const std::vector<OperationSpec>& Operations() {
    static const std::vector<OperationSpec> table = BuildTable();
    return table;
}

const OperationSpec* FindOperation(const QString& name) {
    for (const OperationSpec& op : Operations())
        if (name == op.name) return &op;
    return nullptr;
}

std::vector<MeasurementSpec> MeasurementsOf(const OperationSpec& op, const Args& args) {
    if (op.measurementsOf) return op.measurementsOf(args);
    if (!op.nvm) return op.measurements;
    // In the order of the parameters, whatever the order of the plan's object.
    const auto expected = args.value("expected").map;
    QStringList names;
    for (const QString& name : NvmParamNames())
        if (expected.contains(name)) names << name;
    const QString param = args.value("param").text;
    if (!param.isEmpty()) names = param == "all" ? NvmParamNames() : QStringList{param};
    std::vector<MeasurementSpec> out;
    for (const QString& name : names) {
        const int i = nvmvalue::Index(name);
        if (i < 0) continue;
        const nvm::ParamInfo& p = nvmvalue::Param(i);
        out.push_back({p.suffix, nvmvalue::TypeOf(p), nvmvalue::Units(p)});
    }
    return out;
}

QStringList NvmParamNames() {
    QStringList names;
    for (const nvm::ParamInfo& p : nvm::Params())
        names << p.suffix;
    return names;
}

} // namespace run
