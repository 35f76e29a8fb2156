#pragma once
// The text command protocol: command lines built with orv::ostringstream, replies cleaned
// and parsed with mi_istringstream, one method of MANAGED_IF::bt per "at@bt:" command.
//
// Every method builds its line, hands it to the transport once and, only when the
// transport reports 0, parses the reply. It returns 0 when the word after the expected
// values is exactly "OK", 3 when it is not (or a value is missing or malformed), and the
// transport's own code unchanged otherwise (the output is then untouched). The methods log
// nothing: the transport logs each line it sends.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "bt/ibluetooth.h"
#include "zep/orv_ostringstream.h"

class ITransportService;

// What "at@bt:get_opcode_version" reports for one opcode.
struct OpcodeVersions {
    uint8_t request = 0;
    uint8_t confirm = 0;
    int32_t result = 0;
};

// The three values of the write-all reply; read, not used.
struct T_BT_WRITE_ALL_NVM_PARAMS_CON {
    uint8_t value = 0;
    uint16_t word = 0;
    int32_t result = 0;
};

namespace MANAGED_IF {

// A reply stream: decimal numbers, white space skipped before every extraction, and the
// classic locale whatever the process has set.
class mi_istringstream : public std::istringstream {
public:
    explicit mi_istringstream(const std::string& text);
};

// Commas, braces and line feeds become blanks; carriage returns are removed (a CR inside
// a word joins its halves).
std::string CleanReply(const std::string& reply);

// Reads the values of one cleaned reply in protocol order. Once an extraction fails every
// later one fails: byte fields (read through a 32-bit temporary, low 8 bits kept) then get
// 0, wider fields keep what they held.
class ReplyReader {
public:
    explicit ReplyReader(const std::string& reply);

    void I32(int32_t& value);
    void U32(uint32_t& value);
    void U16(uint16_t& value);
    void U8(uint8_t& value);
    void I8(int8_t& value);
    void Bytes(uint8_t* values, std::size_t count);
    // Reads the final word: 0 when it is exactly "OK", else 3.
    uint8_t Status();

private:
    mi_istringstream in_;
};

// "name(" arguments separated by "," ")" without blanks; arrays as "{a,b,...}" with every
// element written.
class CommandLine {
public:
    explicit CommandLine(const char* name);

    CommandLine& U8(uint8_t value);
    CommandLine& I8(int8_t value);
    CommandLine& U16(uint16_t value);
    CommandLine& U32(uint32_t value);
    CommandLine& Bytes(const uint8_t* values, std::size_t count);
    // Closes the parenthesis and returns the line.
    std::string Finish();

private:
    void Separate();

    orv::ostringstream out_;
    bool first_ = true;
};

class bt {
public:
    // Uses `transport`, which stays owned by whoever made it: the command object never
    // picks a transport of its own.
    explicit bt(ITransportService* transport);
    virtual ~bt();
    bt(const bt&) = delete;
    bt& operator=(const bt&) = delete;

    uint8_t hw_info(uint32_t* hostInterface, uint32_t* chipState, int32_t* code);
    uint8_t initialize(uint32_t state, int32_t* code);
    uint8_t reset(int32_t* code);
    uint8_t set_rf_test_mode(const T_BT_SET_RF_TEST_MODE_REQ& req, int32_t* code);
    uint8_t set_tx_burst_mode(const T_BT_SET_TX_BURST_MODE_REQ& req, int32_t* code);
    uint8_t set_tx_continuous_mode(const T_BT_SET_TX_CONTINUOUS_MODE_REQ& req, int32_t* code);
    uint8_t set_rx_continuous_mode(const T_BT_SET_RX_CONTINUOUS_MODE_REQ& req, int32_t* code);
    uint8_t set_tx_le_mode(const T_BT_SET_TX_LE_MODE_REQ& req, int32_t* code);
    uint8_t rx_le_start(const T_BT_RX_LE_START_REQ& req, int32_t* code);
    uint8_t rx_le_end(T_BT_RX_LE_END_CON* con);
    uint8_t get_lumora_version(T_BT_GET_LUMORA_VERSION_CON* con);
    uint8_t get_rssi_value(const T_BT_GET_RSSI_VALUE_REQ& req, T_BT_GET_RSSI_VALUE_CON* con);
    uint8_t get_rtrim_values(T_BT_GET_RTRIM_VALUES_CON* con);
    uint8_t set_rtrim_manual_values(const T_BT_SET_RTRIM_MANUAL_VALUE_REQ& req, int32_t* code);
    uint8_t get_kfreq_ibiasdac_values(T_BT_GET_KFREQ_IBIASDAC_VALUES_CON* con);
    uint8_t set_kfreq_ibiasdac_manual_values(const T_BT_SET_KFREQ_IBIASDAC_MANUAL_VALUES_REQ& req,
                                             int32_t* code);
    uint8_t get_temperature_values(T_BT_GET_TEMPERATURE_VALUES_CON* con);
    uint8_t set_temperature_values(const T_BT_SET_TEMPERATURE_VALUES_REQ& req, int32_t* code);
    uint8_t get_voltage_values(T_BT_GET_VOLTAGE_VALUES_CON* con);
    uint8_t set_voltage_values(const T_BT_SET_VOLTAGE_VALUES_REQ& req, int32_t* code);
    uint8_t set_pcm_uart_wakeup_interface(const T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ& req,
                                          int32_t* code);
    uint8_t
    get_pcm_uart_wakeup_interface_status(T_BT_GET_PCM_UART_WAKEUP_INTERFACE_STATUS_CON* con);
    uint8_t set_pcm_loopback(const T_BT_SET_PCM_LOOPBACK_REQ& req, int32_t* code);
    uint8_t hci_command(const T_BT_HCI_COMMAND_REQ& req, T_BT_HCI_COMMAND_CON* con);
    uint8_t get_opcode_version(uint16_t opcode, OpcodeVersions* versions);

    // write_nvm_<suffix>(value, code), one per NVM parameter; the arrays take a pointer to
    // their 6 or 8 bytes.
#define BT_NVM_WRITE(Camel, field, id, kind, transfer, units)                                             \
    uint8_t write_nvm_##field(BT_NVM_SET_T_##kind value, int32_t* code);
    BT_NVM_PARAMS(BT_NVM_WRITE)
#undef BT_NVM_WRITE

    // The 43 values in transfer order, then "OK"; no result code.
    uint8_t read_all_nvm_params(T_BT_ALL_NVM_PARAMS* params);
    uint8_t write_all_nvm_params(const T_BT_ALL_NVM_PARAMS& params,
                                 T_BT_WRITE_ALL_NVM_PARAMS_CON* con);

    // True when the last command's reply reached the parser, so its output holds what the
    // reply said; false after a failed or refused exchange, which leaves the output as it was.
    bool reply_read() const {
        return replyRead_;
    }

    // Owned by the transport factory (or by the test that handed it in), never deleted
    // here, so a later command object can use the same instance.
    ITransportService* transport;

private:
    template <typename Parse> uint8_t Exchange(const std::string& line, Parse&& parse);
    uint8_t ExchangeCode(const std::string& line, int32_t* code);

    bool replyRead_ = false;
};

} // namespace MANAGED_IF
