// The text side of the phone: "at@bt:" commands in, CR LF separated replies out.

#include <charconv>
#include <functional>
#include <map>
#include <optional>

#include "phone/chip_tables.h"
#include "phone/hci.h"
#include "phone/phone_radio.h"
#include "phone/phonesim.h"

namespace phonesim {
namespace {

constexpr std::string_view kPrefix = "at@bt:";
constexpr std::string_view kCrLf = "\r\n";

// One argument of a command: a number, or an array written in braces.
struct Arg {
    bool array = false;
    std::vector<int64_t> values;
};

std::optional<int64_t> ParseNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

// Splits "a,{b,c},d" into its arguments; no blanks are allowed anywhere, as the firmware's
// reader is as strict as the grammar the plug-in writes.
std::optional<std::vector<Arg>> ParseArgs(std::string_view text) {
    std::vector<Arg> args;
    if (text.empty()) return args;
    std::size_t pos = 0;
    while (true) {
        Arg arg;
        if (pos < text.size() && text[pos] == '{') {
            const std::size_t close = text.find('}', pos);
            if (close == std::string_view::npos) return std::nullopt;
            arg.array = true;
            std::string_view inner = text.substr(pos + 1, close - pos - 1);
            while (true) {
                const std::size_t comma = inner.find(',');
                const auto number = ParseNumber(inner.substr(0, comma));
                if (!number) return std::nullopt;
                arg.values.push_back(*number);
                if (comma == std::string_view::npos) break;
                inner.remove_prefix(comma + 1);
            }
            pos = close + 1;
        } else {
            const std::size_t comma = std::min(text.find(',', pos), text.size());
            const auto number = ParseNumber(text.substr(pos, comma - pos));
            if (!number) return std::nullopt;
            arg.values.push_back(*number);
            pos = comma;
        }
        args.push_back(std::move(arg));
        if (pos == text.size()) return args;
        if (text[pos] != ',') return std::nullopt;
        ++pos;
    }
}

bool InRange(Kind kind, int64_t value) {
    switch (kind) {
    case Kind::I8:
        return value >= -128 && value <= 127;
    case Kind::U16:
        return value >= 0 && value <= 0xFFFF;
    case Kind::U32:
        return value >= 0 && value <= 0xFFFFFFFFLL;
    default:
        return value >= 0 && value <= 0xFF;
    }
}

bool IsArray(Kind kind) {
    return ElementCount(kind) > 1;
}

bool Fits(const std::vector<Arg>& args, const std::vector<Kind>& kinds) {
    if (args.size() != kinds.size()) return false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const Kind kind = kinds[i];
        if (args[i].array != IsArray(kind)) return false;
        if (args[i].values.size() != static_cast<std::size_t>(ElementCount(kind))) return false;
        for (int64_t v : args[i].values)
            if (!InRange(kind, v)) return false;
    }
    return true;
}

// A reply before it is written out: its values (an array is one item of several elements),
// then the result code unless the command has none.
struct Reply {
    std::vector<std::vector<std::string>> items;
    std::optional<int32_t> code = 0;

    Reply& Value(int64_t v) {
        items.push_back({std::to_string(v)});
        return *this;
    }
    template <typename Range> Reply& Array(const Range& values) {
        std::vector<std::string> elements;
        for (auto v : values)
            elements.push_back(std::to_string(static_cast<int64_t>(v)));
        items.push_back(std::move(elements));
        return *this;
    }
};

std::string Render(const Reply& reply, bool withOk) {
    std::string out;
    for (const auto& item : reply.items) {
        if (item.size() == 1) {
            out += item[0];
        } else {
            out += '{';
            for (std::size_t i = 0; i < item.size(); ++i)
                out += (i ? "," : "") + item[i];
            out += '}';
        }
        out += kCrLf;
    }
    if (reply.code) out += std::to_string(*reply.code) + std::string(kCrLf);
    if (withOk) out += "OK" + std::string(kCrLf);
    return out;
}

uint8_t U8(int64_t v) {
    return static_cast<uint8_t>(v);
}

// One command on its way through its handler: the handler works on a copy of the chip,
// which becomes the chip only when no error code is scripted for the reply.
struct Call {
    ChipState& chip;
    const std::vector<Arg>& args;
    const std::array<TextVersions, kOpcodeCount>& versions;

    int64_t Int(std::size_t i, std::size_t element = 0) const { return args[i].values[element]; }
};

using Handler = std::function<Reply(Call&)>;

// A result code 1 for a setting outside what the chip offers.
Reply Refused() {
    Reply r;
    r.code = 1;
    return r;
}

// --- the chip ----------------------------------------------------------------------------

Reply HwInfo(Call& c) {
    return Reply{}.Value(c.chip.hostInterface).Value(c.chip.on ? 1 : 0);
}

Reply Initialize(Call& c) {
    if (c.Int(0) > 1) return Refused();
    c.chip.on = c.Int(0) == 1;
    c.chip.mode = TestMode::None;
    return {};
}

Reply ResetChip(Call& c) {
    c.chip.mode = TestMode::None;
    return {};
}

Reply GetLumoraVersion(Call& c) {
    return Reply{}.Array(c.chip.lumoraVersion);
}

Reply GetRssiValue(Call& c) {
    return Reply{}.Value(c.chip.rssi);
}

Reply GetOpcodeVersion(Call& c) {
    const int64_t opcode = c.Int(0);
    if (opcode >= kOpcodeCount) return Refused().Value(0).Value(0);
    const TextVersions& v = c.versions[static_cast<std::size_t>(opcode)];
    Reply r;
    r.code = v.code;
    return r.Value(v.request).Value(v.confirm);
}

// --- test modes --------------------------------------------------------------------------

// Starts a test mode on the channel given as argument `channelAt`.
template <TestMode mode, std::size_t channelAt> Reply StartMode(Call& c) {
    StartTestMode(c.chip, mode, U8(c.Int(channelAt)));
    return {};
}

// ({address},channel,power step,pattern kind,pattern byte,interval,hopping,whitening,
//  LPC steps,LPC step size,{AFH map},LPC 1M,LPC 2M,LPC 3M,packet type)
Reply SetTxBurstMode(Call& c) {
    TxSettings tx;
    tx.powerStep = U8(c.Int(2));
    tx.patternKind = U8(c.Int(3));
    tx.patternByte = U8(c.Int(4));
    tx.packetType = static_cast<uint32_t>(c.Int(14));
    StartTestMode(c.chip, TestMode::TxBurst, U8(c.Int(1)), tx);
    return {};
}

// (channel,coarse power,fine power,pattern kind,pattern byte,modulation)
Reply SetTxContinuousMode(Call& c) {
    TxSettings tx;
    tx.patternKind = U8(c.Int(3));
    tx.patternByte = U8(c.Int(4));
    StartTestMode(c.chip, TestMode::TxContinuous, U8(c.Int(0)), tx);
    return {};
}

// (channel,data length,power level dBm,pattern)
Reply SetTxLeMode(Call& c) {
    TxSettings tx;
    tx.length = U8(c.Int(1));
    tx.powerDbm = static_cast<int8_t>(c.Int(2));
    tx.lePattern = static_cast<uint32_t>(c.Int(3));
    StartTestMode(c.chip, TestMode::TxLe, U8(c.Int(0)), tx);
    return {};
}

Reply SetRfTestMode(Call& c) {
    c.chip.mode = TestMode::RfTest;
    return {};
}

Reply RxLeEnd(Call& c) {
    if (c.chip.mode == TestMode::RxLe) c.chip.mode = TestMode::None;
    const uint16_t packets = LeRxReport(c.chip);
    return Reply{}.Value(packets >> 8).Value(packets & 0xFF);
}

// --- trimming and measurements -----------------------------------------------------------

Reply GetRtrimValues(Call& c) {
    return Reply{}.Value(c.chip.rtrimUseManual).Value(c.chip.rtrimManual).Value(c.chip.rtrimFused);
}

Reply SetRtrimManualValues(Call& c) {
    c.chip.rtrimUseManual = U8(c.Int(0));
    c.chip.rtrimManual = U8(c.Int(1));
    return {};
}

Reply GetKfreqIbiasdacValues(Call& c) {
    return Reply{}
        .Value(c.chip.kfreqUseManual)
        .Value(c.chip.kfreqManual)
        .Value(c.chip.kfreqFused)
        .Value(c.chip.ibiasdacUseManual)
        .Value(c.chip.ibiasdacManual)
        .Value(c.chip.ibiasdacFused);
}

Reply SetKfreqIbiasdacManualValues(Call& c) {
    c.chip.kfreqUseManual = U8(c.Int(0));
    c.chip.kfreqManual = U8(c.Int(1));
    c.chip.ibiasdacUseManual = U8(c.Int(2));
    c.chip.ibiasdacManual = U8(c.Int(3));
    return {};
}

Reply GetTemperatureValues(Call& c) {
    return Reply{}.Value(c.chip.tmeasUseManual).Value(c.chip.tmeasManual).Value(c.chip.tmeasFused);
}

Reply SetTemperatureValues(Call& c) {
    c.chip.tmeasUseManual = U8(c.Int(0));
    c.chip.tmeasManual = static_cast<uint16_t>(c.Int(1));
    return {};
}

Reply GetVoltageValues(Call& c) {
    return Reply{}
        .Value(c.chip.vmeasUseManual)
        .Value(c.chip.vmeasPropagation)
        .Value(c.chip.vmeasManual)
        .Value(c.chip.vmeasFused);
}

Reply SetVoltageValues(Call& c) {
    c.chip.vmeasUseManual = U8(c.Int(0));
    c.chip.vmeasPropagation = U8(c.Int(1));
    c.chip.vmeasManual = U8(c.Int(2));
    return {};
}

// --- interfaces --------------------------------------------------------------------------

Reply SetPcmUartWakeupInterface(Call& c) {
    if (c.Int(0) > 1 || c.Int(1) > 1 || c.Int(2) > 1) return Refused();
    c.chip.pcm = static_cast<uint32_t>(c.Int(0));
    c.chip.uart = static_cast<uint32_t>(c.Int(1));
    c.chip.wakeup = static_cast<uint32_t>(c.Int(2));
    return {};
}

Reply GetPcmUartWakeupInterfaceStatus(Call& c) {
    return Reply{}.Value(c.chip.pcm).Value(c.chip.uart).Value(c.chip.wakeup);
}

Reply SetPcmLoopback(Call& c) {
    if (c.Int(0) > 2) return Refused();
    c.chip.loopback = static_cast<uint32_t>(c.Int(0));
    return {};
}

// --- HCI ---------------------------------------------------------------------------------

Reply HciCommand(Call& c) {
    std::array<uint8_t, 150> data{};
    const auto length = static_cast<std::size_t>(c.Int(0));
    if (length > data.size()) return Refused().Value(0).Array(data);
    std::vector<uint8_t> command;
    for (std::size_t i = 0; i < length; ++i)
        command.push_back(U8(c.Int(1, i)));
    const std::vector<uint8_t> event = HciAnswer(c.chip, command);
    std::copy(event.begin(), event.end(), data.begin());
    return Reply{}.Value(static_cast<int64_t>(event.size())).Array(data);
}

// --- NVM ---------------------------------------------------------------------------------

Reply WriteNvm(Call& c, int param) {
    StoreNvm(c.chip, param, c.args[0].values);
    return {};
}

Reply ReadAllNvmParams(Call& c) {
    Reply r;
    r.code.reset();
    for (int id : kTransferOrder) {
        const auto& value = c.chip.nvm[static_cast<std::size_t>(id)];
        const int n = ElementCount(kNvmParams[static_cast<std::size_t>(id)].kind);
        if (n == 1)
            r.Value(value[0]);
        else
            r.Array(std::vector<int64_t>(value.begin(), value.begin() + n));
    }
    return r;
}

// Answers how many parameters it stored and a 16-bit sum of their values.
Reply WriteAllNvmParams(Call& c) {
    uint16_t sum = 0;
    for (std::size_t k = 0; k < kTransferOrder.size(); ++k) {
        StoreNvm(c.chip, kTransferOrder[k], c.args[k].values);
        for (int64_t v : c.args[k].values)
            sum = static_cast<uint16_t>(sum + v);
    }
    return Reply{}.Value(43).Value(sum);
}

struct Command {
    std::vector<Kind> kinds;
    Handler handler;
};

// Every command the firmware knows, by the name after "at@bt:", with the kinds of its
// arguments.
const std::map<std::string, Command, std::less<>>& Commands() {
    static const std::map<std::string, Command, std::less<>> commands = [] {
        using K = Kind;
        std::map<std::string, Command, std::less<>> c;
        c["hw_info"] = {{}, HwInfo};
        c["initialize"] = {{K::U32}, Initialize};
        c["reset"] = {{}, ResetChip};
        c["get_lumora_version"] = {{}, GetLumoraVersion};
        c["get_rssi_value"] = {{K::Bytes2}, GetRssiValue};
        c["get_opcode_version"] = {{K::U16}, GetOpcodeVersion};

        c["set_rf_test_mode"] = {{K::Bytes6, K::U8, K::U8, K::U8, K::U8, K::U8, K::U8, K::U8, K::I8,
                                  K::I8, K::I8, K::I8, K::I8, K::I8, K::I8, K::I8},
                                 SetRfTestMode};
        c["set_tx_burst_mode"] = {{K::Bytes6, K::U8, K::U8, K::U8, K::U8, K::U8, K::U8, K::U8,
                                   K::U8, K::U8, K::Bytes10, K::I8, K::I8, K::I8, K::U32},
                                  SetTxBurstMode};
        c["set_tx_continuous_mode"] = {{K::U8, K::U8, K::U8, K::U8, K::U8, K::U32},
                                       SetTxContinuousMode};
        c["set_rx_continuous_mode"] = {{K::U8}, StartMode<TestMode::RxContinuous, 0>};
        c["set_tx_le_mode"] = {{K::U8, K::U8, K::I8, K::U32}, SetTxLeMode};
        c["rx_le_start"] = {{K::U8}, StartMode<TestMode::RxLe, 0>};
        c["rx_le_end"] = {{}, RxLeEnd};

        c["get_rtrim_values"] = {{}, GetRtrimValues};
        c["set_rtrim_manual_values"] = {{K::U8, K::U8}, SetRtrimManualValues};
        c["get_kfreq_ibiasdac_values"] = {{}, GetKfreqIbiasdacValues};
        c["set_kfreq_ibiasdac_manual_values"] = {{K::U8, K::U8, K::U8, K::U8},
                                                 SetKfreqIbiasdacManualValues};
        c["get_temperature_values"] = {{}, GetTemperatureValues};
        c["set_temperature_values"] = {{K::U8, K::U16}, SetTemperatureValues};
        c["get_voltage_values"] = {{}, GetVoltageValues};
        c["set_voltage_values"] = {{K::U8, K::U8, K::U8}, SetVoltageValues};

        c["set_pcm_uart_wakeup_interface"] = {{K::U32, K::U32, K::U32}, SetPcmUartWakeupInterface};
        c["get_pcm_uart_wakeup_interface_status"] = {{}, GetPcmUartWakeupInterfaceStatus};
        c["set_pcm_loopback"] = {{K::U32}, SetPcmLoopback};
        c["hci_command"] = {{K::U8, K::Bytes150}, HciCommand};

        // NVM: one write command per parameter, and the two all-parameter commands.
        for (std::size_t i = 0; i < kNvmParams.size(); ++i)
            c["write_nvm_" + std::string(kNvmParams[i].suffix)] = {
                {kNvmParams[i].kind},
                [param = static_cast<int>(i)](Call& call) { return WriteNvm(call, param); }};
        c["read_all_nvm_params"] = {{}, ReadAllNvmParams};
        std::vector<Kind> all;
        for (int id : kTransferOrder)
            all.push_back(kNvmParams[static_cast<std::size_t>(id)].kind);
        c["write_all_nvm_params"] = {all, WriteAllNvmParams};
        return c;
    }();
    return commands;
}

// The faults that stop a command before the phone reads it; nothing when none applies.
std::optional<TextAnswer> Intercept(const FaultSpec& fault) {
    switch (fault.kind) {
    case Fault::HostCallFails:
        return TextAnswer{false, fault.text};
    case Fault::NoReply:
        return TextAnswer{true, {}};
    case Fault::Garbage:
        return TextAnswer{true, "~#?%GARBAGE&@!~" + std::string(kCrLf)};
    case Fault::Verbatim:
        return TextAnswer{true, fault.text};
    default:
        return std::nullopt;
    }
}

// The faults that change a reply the phone has made; false when the reply loses its "OK".
bool SpoilReply(const FaultSpec& fault, std::string_view verb, Reply& reply) {
    switch (fault.kind) {
    case Fault::MissingOk:
        return false;
    case Fault::ErrorCode:
        reply.code = fault.value ? fault.value : 5;
        break;
    case Fault::ValueShort:
        if (reply.items.empty()) {
            reply.code.reset();
        } else {
            reply.items.back().pop_back();
            if (reply.items.back().empty()) reply.items.pop_back();
        }
        break;
    case Fault::ValueExtra:
        reply.items.push_back({"0"});
        break;
    case Fault::HciTooLong:
        if (verb == "hci_command" && !reply.items.empty()) reply.items[0] = {"151"};
        break;
    default:
        break;
    }
    return true;
}

} // namespace

TextAnswer Simulator::HandleText(std::string_view command, int slot) {
    const std::lock_guard lock(mutex_);
    while (!command.empty() && (command.back() == '\r' || command.back() == '\n'))
        command.remove_suffix(1);
    const std::string name(command.substr(0, command.find('(')));
    FaultSpec fault;
    const bool faulty = TakeTextFault(name, fault);
    const TextAnswer answer = AnswerText(command, faulty ? &fault : nullptr);
    textLog_.push_back({std::string(command), answer.reply, answer.hostOk, slot});
    return answer;
}

TextAnswer Simulator::AnswerText(std::string_view command, const FaultSpec* fault) {
    if (fault)
        if (auto intercepted = Intercept(*fault)) return *intercepted;
    const std::size_t open = command.find('(');
    const std::string_view name = command.substr(0, open);
    // The link probe of the host's send-and-receive transport.
    if (name == "at@bt:?") return {true, "OK" + std::string(kCrLf)};

    const TextAnswer error{true, "ERROR" + std::string(kCrLf)};
    if (open == std::string_view::npos || command.back() != ')' || !name.starts_with(kPrefix))
        return error;
    const auto args = ParseArgs(command.substr(open + 1, command.size() - open - 2));
    const std::string_view verb = name.substr(kPrefix.size());
    const auto& commands = Commands();
    const auto it = commands.find(verb);
    if (!args || it == commands.end() || !Fits(*args, it->second.kinds)) return error;

    ChipState chip = chip_;
    Call call{chip, *args, textVersions_};
    Reply reply = it->second.handler(call);
    // A command answered with an error code is not carried out.
    if (!(fault && fault->kind == Fault::ErrorCode)) chip_ = chip;
    const bool withOk = fault == nullptr || SpoilReply(*fault, verb, reply);
    return {true, Render(reply, withOk)};
}

} // namespace phonesim
