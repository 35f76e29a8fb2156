// The text side of the phone: "at@bt:" commands in, CR LF separated replies out.

#include <charconv>
#include <functional>
#include <map>
#include <optional>

#include "chip_tables.h"
#include "hci.h"
#include "phonesim.h"

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

using Handler = std::function<Reply(ChipState&, const std::vector<Arg>&)>;

struct Command {
    std::vector<Kind> kinds;
    Handler handler;
};

int64_t A(const std::vector<Arg>& args, std::size_t i, std::size_t element = 0) {
    return args[i].values[element];
}

// Every command the firmware knows except the opcode version query, by the name after
// "at@bt:".
const std::map<std::string, Command, std::less<>>& Commands() {
    static const std::map<std::string, Command, std::less<>> commands = [] {
        using K = Kind;
        std::map<std::string, Command, std::less<>> c;
        c["hw_info"] = {{}, [](ChipState& chip, const std::vector<Arg>&) {
                            return Reply{}.Value(chip.hostInterface).Value(chip.on ? 1 : 0);
                        }};
        c["initialize"] = {{K::U32}, [](ChipState& chip, const std::vector<Arg>& a) {
                               Reply r;
                               if (A(a, 0) > 1)
                                   r.code = 1;
                               else
                                   chip.on = A(a, 0) == 1;
                               return r;
                           }};
        c["reset"] = {{}, [](ChipState& chip, const std::vector<Arg>&) {
                          chip.mode = TestMode::None;
                          return Reply{};
                      }};
        auto startMode = [](TestMode mode) {
            return [mode](ChipState& chip, const std::vector<Arg>& a) {
                chip.mode = mode;
                if (mode != TestMode::RfTest && mode != TestMode::TxBurst)
                    chip.channel = static_cast<uint8_t>(A(a, 0));
                if (mode == TestMode::TxBurst) chip.channel = static_cast<uint8_t>(A(a, 1));
                return Reply{};
            };
        };
        c["set_rf_test_mode"] = {{K::Bytes6, K::U8, K::U8, K::U8, K::U8, K::U8, K::U8, K::U8, K::I8,
                                  K::I8, K::I8, K::I8, K::I8, K::I8, K::I8, K::I8},
                                 startMode(TestMode::RfTest)};
        c["set_tx_burst_mode"] = {{K::Bytes6, K::U8, K::U8, K::U8, K::U8, K::U8, K::U8, K::U8,
                                   K::U8, K::U8, K::Bytes10, K::I8, K::I8, K::I8, K::U32},
                                  startMode(TestMode::TxBurst)};
        c["set_tx_continuous_mode"] = {{K::U8, K::U8, K::U8, K::U8, K::U8, K::U32},
                                       startMode(TestMode::TxContinuous)};
        c["set_rx_continuous_mode"] = {{K::U8}, startMode(TestMode::RxContinuous)};
        c["set_tx_le_mode"] = {{K::U8, K::U8, K::I8, K::U32}, startMode(TestMode::TxLe)};
        c["rx_le_start"] = {{K::U8}, startMode(TestMode::RxLe)};
        c["rx_le_end"] = {
            {}, [](ChipState& chip, const std::vector<Arg>&) {
                if (chip.mode == TestMode::RxLe) chip.mode = TestMode::None;
                return Reply{}.Value(chip.leRxPackets >> 8).Value(chip.leRxPackets & 0xFF);
            }};
        c["get_lumora_version"] = {{}, [](ChipState& chip, const std::vector<Arg>&) {
                                       return Reply{}.Array(chip.lumoraVersion);
                                   }};
        c["get_rssi_value"] = {{K::Bytes2}, [](ChipState& chip, const std::vector<Arg>&) {
                                   return Reply{}.Value(chip.rssi);
                               }};
        c["get_rtrim_values"] = {{}, [](ChipState& chip, const std::vector<Arg>&) {
                                     return Reply{}
                                         .Value(chip.rtrimUseManual)
                                         .Value(chip.rtrimManual)
                                         .Value(chip.rtrimFused);
                                 }};
        c["set_rtrim_manual_values"] = {{K::U8, K::U8},
                                        [](ChipState& chip, const std::vector<Arg>& a) {
                                            chip.rtrimUseManual = U8(A(a, 0));
                                            chip.rtrimManual = U8(A(a, 1));
                                            return Reply{};
                                        }};
        c["get_kfreq_ibiasdac_values"] = {{}, [](ChipState& chip, const std::vector<Arg>&) {
                                              return Reply{}
                                                  .Value(chip.kfreqUseManual)
                                                  .Value(chip.kfreqManual)
                                                  .Value(chip.kfreqFused)
                                                  .Value(chip.ibiasdacUseManual)
                                                  .Value(chip.ibiasdacManual)
                                                  .Value(chip.ibiasdacFused);
                                          }};
        c["set_kfreq_ibiasdac_manual_values"] = {{K::U8, K::U8, K::U8, K::U8},
                                                 [](ChipState& chip, const std::vector<Arg>& a) {
                                                     chip.kfreqUseManual = U8(A(a, 0));
                                                     chip.kfreqManual = U8(A(a, 1));
                                                     chip.ibiasdacUseManual = U8(A(a, 2));
                                                     chip.ibiasdacManual = U8(A(a, 3));
                                                     return Reply{};
                                                 }};
        c["get_temperature_values"] = {{}, [](ChipState& chip, const std::vector<Arg>&) {
                                           return Reply{}
                                               .Value(chip.tmeasUseManual)
                                               .Value(chip.tmeasManual)
                                               .Value(chip.tmeasFused);
                                       }};
        c["set_temperature_values"] = {{K::U8, K::U16},
                                       [](ChipState& chip, const std::vector<Arg>& a) {
                                           chip.tmeasUseManual = U8(A(a, 0));
                                           chip.tmeasManual = static_cast<uint16_t>(A(a, 1));
                                           return Reply{};
                                       }};
        c["get_voltage_values"] = {{}, [](ChipState& chip, const std::vector<Arg>&) {
                                       return Reply{}
                                           .Value(chip.vmeasUseManual)
                                           .Value(chip.vmeasPropagation)
                                           .Value(chip.vmeasManual)
                                           .Value(chip.vmeasFused);
                                   }};
        c["set_voltage_values"] = {{K::U8, K::U8, K::U8},
                                   [](ChipState& chip, const std::vector<Arg>& a) {
                                       chip.vmeasUseManual = U8(A(a, 0));
                                       chip.vmeasPropagation = U8(A(a, 1));
                                       chip.vmeasManual = U8(A(a, 2));
                                       return Reply{};
                                   }};
        c["set_pcm_uart_wakeup_interface"] = {{K::U32, K::U32, K::U32},
                                              [](ChipState& chip, const std::vector<Arg>& a) {
                                                  Reply r;
                                                  if (A(a, 0) > 1 || A(a, 1) > 1 || A(a, 2) > 1) {
                                                      r.code = 1;
                                                      return r;
                                                  }
                                                  chip.pcm = static_cast<uint32_t>(A(a, 0));
                                                  chip.uart = static_cast<uint32_t>(A(a, 1));
                                                  chip.wakeup = static_cast<uint32_t>(A(a, 2));
                                                  return r;
                                              }};
        c["get_pcm_uart_wakeup_interface_status"] = {
            {}, [](ChipState& chip, const std::vector<Arg>&) {
                return Reply{}.Value(chip.pcm).Value(chip.uart).Value(chip.wakeup);
            }};
        c["set_pcm_loopback"] = {{K::U32}, [](ChipState& chip, const std::vector<Arg>& a) {
                                     Reply r;
                                     if (A(a, 0) > 2)
                                         r.code = 1;
                                     else
                                         chip.loopback = static_cast<uint32_t>(A(a, 0));
                                     return r;
                                 }};
        c["hci_command"] = {{K::U8, K::Bytes150}, [](ChipState& chip, const std::vector<Arg>& a) {
                                std::array<uint8_t, 150> data{};
                                Reply r;
                                const auto length = static_cast<std::size_t>(A(a, 0));
                                if (length > data.size()) {
                                    r.code = 1;
                                    return r.Value(0).Array(data);
                                }
                                std::vector<uint8_t> command;
                                for (std::size_t i = 0; i < length; ++i)
                                    command.push_back(U8(A(a, 1, i)));
                                const std::vector<uint8_t> event = HciAnswer(chip, command);
                                std::copy(event.begin(), event.end(), data.begin());
                                return r.Value(static_cast<int64_t>(event.size())).Array(data);
                            }};

        // NVM: one write command per parameter, and the two all-parameter commands.
        for (std::size_t i = 0; i < kNvmParams.size(); ++i) {
            c["write_nvm_" + std::string(kNvmParams[i].suffix)] = {
                {kNvmParams[i].kind}, [i](ChipState& chip, const std::vector<Arg>& a) {
                    StoreNvm(chip, static_cast<int>(i), a[0].values);
                    return Reply{};
                }};
        }
        c["read_all_nvm_params"] = {
            {}, [](ChipState& chip, const std::vector<Arg>&) {
                Reply r;
                r.code.reset();
                for (int id : kTransferOrder) {
                    const auto& value = chip.nvm[static_cast<std::size_t>(id)];
                    const int n = ElementCount(kNvmParams[static_cast<std::size_t>(id)].kind);
                    if (n == 1)
                        r.Value(value[0]);
                    else
                        r.Array(std::vector<int64_t>(value.begin(), value.begin() + n));
                }
                return r;
            }};
        std::vector<Kind> all;
        for (int id : kTransferOrder)
            all.push_back(kNvmParams[static_cast<std::size_t>(id)].kind);
        c["write_all_nvm_params"] = {all, [](ChipState& chip, const std::vector<Arg>& a) {
                                         // Answers how many parameters it stored and a
                                         // 16-bit sum of their values.
                                         uint16_t sum = 0;
                                         for (std::size_t k = 0; k < kTransferOrder.size(); ++k) {
                                             StoreNvm(chip, kTransferOrder[k], a[k].values);
                                             for (int64_t v : a[k].values)
                                                 sum = static_cast<uint16_t>(sum + v);
                                         }
                                         return Reply{}.Value(43).Value(sum);
                                     }};
        return c;
    }();
    return commands;
}

std::optional<Reply> AnswerText(ChipState& chip,
                                const std::array<TextVersions, kOpcodeCount>& versions,
                                std::string_view verb, const std::vector<Arg>& args) {
    if (verb == "get_opcode_version") {
        if (!Fits(args, {Kind::U16})) return std::nullopt;
        const int64_t opcode = A(args, 0);
        Reply r;
        if (opcode >= kOpcodeCount) {
            r.code = 1;
            return r.Value(0).Value(0);
        }
        const TextVersions& v = versions[static_cast<std::size_t>(opcode)];
        r.code = v.code;
        return r.Value(v.request).Value(v.confirm);
    }
    const auto& commands = Commands();
    const auto it = commands.find(verb);
    if (it == commands.end() || !Fits(args, it->second.kinds)) return std::nullopt;
    return it->second.handler(chip, args);
}

} // namespace

TextAnswer Simulator::HandleText(std::string_view command, int slot) {
    while (!command.empty() && (command.back() == '\r' || command.back() == '\n'))
        command.remove_suffix(1);
    const std::size_t open = command.find('(');
    const std::string name(command.substr(0, open));

    TextRecord record{std::string(command), {}, true, slot};
    FaultSpec fault;
    const bool faulty = TakeTextFault(name, fault);
    auto finish = [&](TextAnswer answer) {
        record.reply = answer.reply;
        record.hostOk = answer.hostOk;
        textLog_.push_back(record);
        return answer;
    };
    if (faulty) {
        switch (fault.kind) {
        case Fault::HostCallFails:
            return finish({false, fault.text});
        case Fault::NoReply:
            return finish({true, {}});
        case Fault::Garbage:
            return finish({true, "~#?%GARBAGE&@!~" + std::string(kCrLf)});
        case Fault::Verbatim:
            return finish({true, fault.text});
        default:
            break;
        }
    }

    // The link probe of the host's send-and-receive transport.
    if (name == "at@bt:?") return finish({true, "OK" + std::string(kCrLf)});

    const std::string error = "ERROR" + std::string(kCrLf);
    if (open == std::string_view::npos || command.back() != ')' ||
        !std::string_view(name).starts_with(kPrefix))
        return finish({true, error});
    const auto parsed = ParseArgs(command.substr(open + 1, command.size() - open - 2));
    if (!parsed) return finish({true, error});
    const std::vector<Arg>& args = *parsed;
    const std::string_view verb = std::string_view(name).substr(kPrefix.size());

    // A command answered with an error code is not carried out.
    ChipState chip = chip_;
    std::optional<Reply> reply = AnswerText(chip, textVersions_, verb, args);
    if (!reply) return finish({true, error});
    if (!(faulty && fault.kind == Fault::ErrorCode)) chip_ = chip;

    bool withOk = true;
    if (faulty) {
        switch (fault.kind) {
        case Fault::MissingOk:
            withOk = false;
            break;
        case Fault::ErrorCode:
            reply->code = fault.value ? fault.value : 5;
            break;
        case Fault::ValueShort:
            if (reply->items.empty()) {
                reply->code.reset();
            } else {
                reply->items.back().pop_back();
                if (reply->items.back().empty()) reply->items.pop_back();
            }
            break;
        case Fault::ValueExtra:
            reply->items.push_back({"0"});
            break;
        case Fault::HciTooLong:
            if (verb == "hci_command" && !reply->items.empty()) reply->items[0] = {"151"};
            break;
        default:
            break;
        }
    }
    return finish({true, Render(*reply, withOk)});
}

} // namespace phonesim
