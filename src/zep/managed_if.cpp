#include "zep/managed_if.h"

#include <cstring>
#include <locale>

#include "transport/itransportservice.h"

namespace MANAGED_IF {

mi_istringstream::mi_istringstream(const std::string& text) : std::istringstream(text) {
    imbue(std::locale::classic());
}

std::string CleanReply(const std::string& reply) {
    std::string cleaned;
    cleaned.reserve(reply.size());
    for (const char c : reply) {
        if (c == '\r') continue;
        cleaned.push_back(c == ',' || c == '{' || c == '}' || c == '\n' ? ' ' : c);
    }
    return cleaned;
}

ReplyReader::ReplyReader(const std::string& reply) : in_(CleanReply(reply)) {}

void ReplyReader::I32(int32_t& value) {
    int32_t read = 0;
    if (in_ >> read) value = read;
}

void ReplyReader::U32(uint32_t& value) {
    uint32_t read = 0;
    if (in_ >> read) value = read;
}

void ReplyReader::U16(uint16_t& value) {
    uint16_t read = 0;
    if (in_ >> read) value = read;
}

void ReplyReader::U8(uint8_t& value) {
    uint32_t read = 0;
    in_ >> read;
    value = in_.fail() ? 0 : static_cast<uint8_t>(read);
}

void ReplyReader::I8(int8_t& value) {
    int32_t read = 0;
    in_ >> read;
    value = in_.fail() ? 0 : static_cast<int8_t>(static_cast<uint8_t>(read));
}

void ReplyReader::Bytes(uint8_t* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        U8(values[i]);
}

uint8_t ReplyReader::Status() {
    std::string word;
    in_ >> word;
    return word == "OK" ? T_RESULT_OK : T_RESULT_ERROR;
}

CommandLine::CommandLine(const char* name) {
    out_ << name << "(";
}

void CommandLine::Separate() {
    if (!first_) out_ << ",";
    first_ = false;
}

CommandLine& CommandLine::U8(uint8_t value) {
    Separate();
    out_ << static_cast<int32_t>(value);
    return *this;
}

CommandLine& CommandLine::I8(int8_t value) {
    Separate();
    out_ << static_cast<int32_t>(value);
    return *this;
}

CommandLine& CommandLine::U16(uint16_t value) {
    Separate();
    out_ << static_cast<int32_t>(value);
    return *this;
}

CommandLine& CommandLine::U32(uint32_t value) {
    Separate();
    out_ << value;
    return *this;
}

CommandLine& CommandLine::Bytes(const uint8_t* values, std::size_t count) {
    Separate();
    out_ << "{";
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) out_ << ",";
        out_ << static_cast<int32_t>(values != nullptr ? values[i] : 0);
    }
    out_ << "}";
    return *this;
}

std::string CommandLine::Finish() {
    out_ << ")";
    return out_.str();
}

namespace {

// The place of one NVM value inside the all-parameters record.
void ReadNvmValue(ReplyReader& reader, const nvm::ParamInfo& p, T_BT_ALL_NVM_PARAMS& params) {
    auto* field = reinterpret_cast<unsigned char*>(&params) + p.offset;
    switch (p.kind) {
    case nvm::Kind::U8:
        reader.U8(*reinterpret_cast<uint8_t*>(field));
        break;
    case nvm::Kind::I8:
        reader.I8(*reinterpret_cast<int8_t*>(field));
        break;
    case nvm::Kind::U16:
        reader.U16(*reinterpret_cast<uint16_t*>(field));
        break;
    case nvm::Kind::U32:
        reader.U32(*reinterpret_cast<uint32_t*>(field));
        break;
    case nvm::Kind::A6:
    case nvm::Kind::A8:
        reader.Bytes(reinterpret_cast<uint8_t*>(field), p.width);
        break;
    }
}

void WriteNvmValue(CommandLine& line, const nvm::ParamInfo& p, const T_BT_ALL_NVM_PARAMS& params) {
    const auto* field = reinterpret_cast<const unsigned char*>(&params) + p.offset;
    switch (p.kind) {
    case nvm::Kind::U8:
        line.U8(*reinterpret_cast<const uint8_t*>(field));
        break;
    case nvm::Kind::I8:
        line.I8(*reinterpret_cast<const int8_t*>(field));
        break;
    case nvm::Kind::U16:
        line.U16(*reinterpret_cast<const uint16_t*>(field));
        break;
    case nvm::Kind::U32:
        line.U32(*reinterpret_cast<const uint32_t*>(field));
        break;
    case nvm::Kind::A6:
    case nvm::Kind::A8:
        line.Bytes(reinterpret_cast<const uint8_t*>(field), p.width);
        break;
    }
}

void AddValue(CommandLine& line, uint8_t value, std::size_t) {
    line.U8(value);
}
void AddValue(CommandLine& line, int8_t value, std::size_t) {
    line.I8(value);
}
void AddValue(CommandLine& line, uint16_t value, std::size_t) {
    line.U16(value);
}
void AddValue(CommandLine& line, uint32_t value, std::size_t) {
    line.U32(value);
}
void AddValue(CommandLine& line, const uint8_t* value, std::size_t count) {
    line.Bytes(value, count);
}

} // namespace

bt::bt(ITransportService* transport) : transport(transport) {}

bt::~bt() = default;

template <typename Parse> uint8_t bt::Exchange(const std::string& line, Parse&& parse) {
    replyRead_ = false;
    if (transport == nullptr) return T_RESULT_FAILED;
    const T_Result sent = transport->DoSendReceive(line);
    if (sent.code != T_RESULT_OK) return sent.code;
    replyRead_ = true;
    ReplyReader reader(sent.text);
    parse(reader);
    return reader.Status();
}

uint8_t bt::ExchangeCode(const std::string& line, int32_t* code) {
    int32_t local = 0;
    int32_t& target = code != nullptr ? *code : local;
    return Exchange(line, [&](ReplyReader& r) { r.I32(target); });
}

uint8_t bt::hw_info(uint32_t* hostInterface, uint32_t* chipState, int32_t* code) {
    uint32_t localInterface = 0, localState = 0;
    int32_t localCode = 0;
    return Exchange(CommandLine("at@bt:hw_info").Finish(), [&](ReplyReader& r) {
        r.U32(hostInterface != nullptr ? *hostInterface : localInterface);
        r.U32(chipState != nullptr ? *chipState : localState);
        r.I32(code != nullptr ? *code : localCode);
    });
}

uint8_t bt::initialize(uint32_t state, int32_t* code) {
    return ExchangeCode(CommandLine("at@bt:initialize").U32(state).Finish(), code);
}

uint8_t bt::reset(int32_t* code) {
    return ExchangeCode(CommandLine("at@bt:reset").Finish(), code);
}

uint8_t bt::set_rf_test_mode(const T_BT_SET_RF_TEST_MODE_REQ& req, int32_t* code) {
    CommandLine line("at@bt:set_rf_test_mode");
    line.Bytes(req.bd_address, sizeof req.bd_address)
        .U8(req.epc_num_steps)
        .U8(req.epc_step_size)
        .U8(req.epc_max_step_1mbps)
        .U8(req.epc_max_step_2mbps)
        .U8(req.epc_max_step_3mbps)
        .U8(req.lpc_num_steps)
        .U8(req.lpc_step_size)
        .I8(req.epc_max_power_1mbps)
        .I8(req.epc_max_power_2mbps)
        .I8(req.epc_max_power_3mbps)
        .I8(req.lpc_power_1mbps)
        .I8(req.lpc_power_2mbps)
        .I8(req.lpc_power_3mbps)
        .I8(req.br_power_level)
        .I8(req.le_power_level);
    return ExchangeCode(line.Finish(), code);
}

uint8_t bt::set_tx_burst_mode(const T_BT_SET_TX_BURST_MODE_REQ& req, int32_t* code) {
    CommandLine line("at@bt:set_tx_burst_mode");
    line.Bytes(req.bd_address, sizeof req.bd_address)
        .U8(req.channel)
        .U8(req.power_step)
        .U8(req.pattern_kind)
        .U8(req.pattern_byte)
        .U8(req.tx_interval)
        .U8(req.hopping)
        .U8(req.whitening)
        .U8(req.lpc_num_steps)
        .U8(req.lpc_step_size)
        .Bytes(req.afh_channel_map, sizeof req.afh_channel_map)
        .I8(req.lpc_power_1mbps)
        .I8(req.lpc_power_2mbps)
        .I8(req.lpc_power_3mbps)
        .U32(req.packet_type);
    return ExchangeCode(line.Finish(), code);
}

uint8_t bt::set_tx_continuous_mode(const T_BT_SET_TX_CONTINUOUS_MODE_REQ& req, int32_t* code) {
    CommandLine line("at@bt:set_tx_continuous_mode");
    line.U8(req.channel)
        .U8(req.coarse_power)
        .U8(req.fine_power)
        .U8(req.pattern_kind)
        .U8(req.pattern_byte)
        .U32(req.modulation);
    return ExchangeCode(line.Finish(), code);
}

uint8_t bt::set_rx_continuous_mode(const T_BT_SET_RX_CONTINUOUS_MODE_REQ& req, int32_t* code) {
    return ExchangeCode(CommandLine("at@bt:set_rx_continuous_mode").U8(req.channel).Finish(), code);
}

uint8_t bt::set_tx_le_mode(const T_BT_SET_TX_LE_MODE_REQ& req, int32_t* code) {
    CommandLine line("at@bt:set_tx_le_mode");
    line.U8(req.channel).U8(req.data_length).I8(req.power_level).U32(req.pattern);
    return ExchangeCode(line.Finish(), code);
}

uint8_t bt::rx_le_start(const T_BT_RX_LE_START_REQ& req, int32_t* code) {
    return ExchangeCode(CommandLine("at@bt:rx_le_start").U8(req.channel).Finish(), code);
}

uint8_t bt::rx_le_end(T_BT_RX_LE_END_CON* con) {
    T_BT_RX_LE_END_CON local{};
    T_BT_RX_LE_END_CON& out = con != nullptr ? *con : local;
    return Exchange(CommandLine("at@bt:rx_le_end").Finish(), [&](ReplyReader& r) {
        r.U8(out.packets_high);
        r.U8(out.packets_low);
        r.I32(out.result);
    });
}

uint8_t bt::get_lumora_version(T_BT_GET_LUMORA_VERSION_CON* con) {
    T_BT_GET_LUMORA_VERSION_CON local{};
    T_BT_GET_LUMORA_VERSION_CON& out = con != nullptr ? *con : local;
    return Exchange(CommandLine("at@bt:get_lumora_version").Finish(), [&](ReplyReader& r) {
        r.Bytes(out.version_info, sizeof out.version_info);
        r.I32(out.result);
    });
}

uint8_t bt::get_rssi_value(const T_BT_GET_RSSI_VALUE_REQ& req, T_BT_GET_RSSI_VALUE_CON* con) {
    T_BT_GET_RSSI_VALUE_CON local{};
    T_BT_GET_RSSI_VALUE_CON& out = con != nullptr ? *con : local;
    CommandLine line("at@bt:get_rssi_value");
    line.Bytes(req.connection_handle, sizeof req.connection_handle);
    return Exchange(line.Finish(), [&](ReplyReader& r) {
        r.I8(out.rssi);
        r.I32(out.result);
    });
}

uint8_t bt::get_rtrim_values(T_BT_GET_RTRIM_VALUES_CON* con) {
    T_BT_GET_RTRIM_VALUES_CON local{};
    T_BT_GET_RTRIM_VALUES_CON& out = con != nullptr ? *con : local;
    return Exchange(CommandLine("at@bt:get_rtrim_values").Finish(), [&](ReplyReader& r) {
        r.U8(out.use_manual);
        r.U8(out.manual_value);
        r.U8(out.fused_value);
        r.I32(out.result);
    });
}

uint8_t bt::set_rtrim_manual_values(const T_BT_SET_RTRIM_MANUAL_VALUE_REQ& req, int32_t* code) {
    CommandLine line("at@bt:set_rtrim_manual_values");
    line.U8(req.use_manual).U8(req.manual_value);
    return ExchangeCode(line.Finish(), code);
}

uint8_t bt::get_kfreq_ibiasdac_values(T_BT_GET_KFREQ_IBIASDAC_VALUES_CON* con) {
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON local{};
    T_BT_GET_KFREQ_IBIASDAC_VALUES_CON& out = con != nullptr ? *con : local;
    return Exchange(CommandLine("at@bt:get_kfreq_ibiasdac_values").Finish(), [&](ReplyReader& r) {
        r.U8(out.use_manual_kfreq);
        r.U8(out.manual_kfreq);
        r.U8(out.fused_kfreq);
        r.U8(out.use_manual_ibiasdac);
        r.U8(out.manual_ibiasdac);
        r.U8(out.fused_ibiasdac);
        r.I32(out.result);
    });
}

uint8_t bt::set_kfreq_ibiasdac_manual_values(const T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ& req,
                                             int32_t* code) {
    CommandLine line("at@bt:set_kfreq_ibiasdac_manual_values");
    line.U8(req.use_manual_kfreq)
        .U8(req.manual_kfreq)
        .U8(req.use_manual_ibiasdac)
        .U8(req.manual_ibiasdac);
    return ExchangeCode(line.Finish(), code);
}

uint8_t bt::get_temperature_values(T_BT_GET_TEMPERATURE_VALUES_CON* con) {
    T_BT_GET_TEMPERATURE_VALUES_CON local{};
    T_BT_GET_TEMPERATURE_VALUES_CON& out = con != nullptr ? *con : local;
    return Exchange(CommandLine("at@bt:get_temperature_values").Finish(), [&](ReplyReader& r) {
        r.U8(out.use_manual);
        r.U16(out.manual_value);
        r.U16(out.fused_value);
        r.I32(out.result);
    });
}

uint8_t bt::set_temperature_values(const T_BT_SET_TEMPERATURE_VALUES_REQ& req, int32_t* code) {
    CommandLine line("at@bt:set_temperature_values");
    line.U8(req.use_manual).U16(req.manual_value);
    return ExchangeCode(line.Finish(), code);
}

uint8_t bt::get_voltage_values(T_BT_GET_VOLTAGE_VALUES_CON* con) {
    T_BT_GET_VOLTAGE_VALUES_CON local{};
    T_BT_GET_VOLTAGE_VALUES_CON& out = con != nullptr ? *con : local;
    return Exchange(CommandLine("at@bt:get_voltage_values").Finish(), [&](ReplyReader& r) {
        r.U8(out.use_manual);
        r.U8(out.propagation);
        r.U8(out.manual_value);
        r.U8(out.fused_value);
        r.I32(out.result);
    });
}

uint8_t bt::set_voltage_values(const T_BT_SET_VOLTAGE_VALUES_REQ& req, int32_t* code) {
    CommandLine line("at@bt:set_voltage_values");
    line.U8(req.use_manual).U8(req.propagation).U8(req.manual_value);
    return ExchangeCode(line.Finish(), code);
}

uint8_t bt::set_pcm_uart_wakeup_interface(const T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ& req,
                                          int32_t* code) {
    CommandLine line("at@bt:set_pcm_uart_wakeup_interface");
    line.U32(req.pcm).U32(req.uart).U32(req.wakeup);
    return ExchangeCode(line.Finish(), code);
}

uint8_t
bt::get_pcm_uart_wakeup_interface_status(T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON* con) {
    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON local{};
    T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON& out = con != nullptr ? *con : local;
    return Exchange(CommandLine("at@bt:get_pcm_uart_wakeup_interface_status").Finish(),
                    [&](ReplyReader& r) {
                        r.U32(out.pcm);
                        r.U32(out.uart);
                        r.U32(out.wakeup);
                        r.I32(out.result);
                    });
}

uint8_t bt::set_pcm_loopback(const T_BT_SET_PCM_LOOPBACK_REQ& req, int32_t* code) {
    return ExchangeCode(CommandLine("at@bt:set_pcm_loopback").U32(req.loopback_type).Finish(),
                        code);
}

uint8_t bt::hci_command(const T_BT_HCI_COMMAND_REQ& req, T_BT_HCI_COMMAND_CON* con) {
    T_BT_HCI_COMMAND_CON local{};
    T_BT_HCI_COMMAND_CON& out = con != nullptr ? *con : local;
    CommandLine line("at@bt:hci_command");
    line.U8(req.length).Bytes(req.data, sizeof req.data);
    return Exchange(line.Finish(), [&](ReplyReader& r) {
        r.U8(out.length);
        r.Bytes(out.data, sizeof out.data);
        r.I32(out.result);
    });
}

uint8_t bt::get_opcode_version(uint16_t opcode, OpcodeVersions* versions) {
    OpcodeVersions local;
    OpcodeVersions& out = versions != nullptr ? *versions : local;
    return Exchange(CommandLine("at@bt:get_opcode_version").U16(opcode).Finish(),
                    [&](ReplyReader& r) {
                        r.U8(out.request);
                        r.U8(out.confirm);
                        r.I32(out.result);
                    });
}

#define BT_NVM_WRITE(Camel, field, id, kind, transfer, units)                                             \
    uint8_t bt::write_nvm_##field(BT_NVM_SET_T_##kind value, int32_t* code) {                      \
        CommandLine line("at@bt:write_nvm_" #field);                                               \
        AddValue(line, value, sizeof(T_BT_ALL_NVM_PARAMS::field));                                 \
        return ExchangeCode(line.Finish(), code);                                                  \
    }
BT_NVM_PARAMS(BT_NVM_WRITE)
#undef BT_NVM_WRITE

uint8_t bt::read_all_nvm_params(T_BT_ALL_NVM_PARAMS* params) {
    T_BT_ALL_NVM_PARAMS local{};
    T_BT_ALL_NVM_PARAMS& out = params != nullptr ? *params : local;
    return Exchange(CommandLine("at@bt:read_all_nvm_params").Finish(), [&](ReplyReader& r) {
        for (const nvm::ParamInfo* p : nvm::TransferOrder())
            ReadNvmValue(r, *p, out);
    });
}

uint8_t bt::write_all_nvm_params(const T_BT_ALL_NVM_PARAMS& params,
                                 T_BT_WRITE_ALL_NVM_PARAMS_CON* con) {
    T_BT_WRITE_ALL_NVM_PARAMS_CON local;
    T_BT_WRITE_ALL_NVM_PARAMS_CON& out = con != nullptr ? *con : local;
    CommandLine line("at@bt:write_all_nvm_params");
    for (const nvm::ParamInfo* p : nvm::TransferOrder())
        WriteNvmValue(line, *p, params);
    return Exchange(line.Finish(), [&](ReplyReader& r) {
        r.U8(out.value);
        r.U16(out.word);
        r.I32(out.result);
    });
}

} // namespace MANAGED_IF
