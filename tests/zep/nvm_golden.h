#pragma once
// One NVM record with a distinct value in every field, and the same values written out in
// the order of the read-all and write-all commands.

#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "bt/nvm_params.h"

namespace testzep {

inline T_BT_ALL_NVM_PARAMS GoldenNvm() {
    T_BT_ALL_NVM_PARAMS p;
    std::memset(&p, 0, sizeof p);
    const uint8_t bd[6] = {0, 26, 125, 218, 113, 19};
    const uint8_t lmp[8] = {255, 254, 143, 254, 216, 63, 91, 135};
    std::memcpy(p.bdaddr, bd, 6);
    std::memcpy(p.lmp_features, lmp, 8);
    p.channel_word_offset = 1234;
    p.input_freq = 4294967295u;
    p.le_features = 1;
    p.lpm_conf = 2;
    p.lpm_drift = 3;
    p.lpm_threshold = 4;
    p.ultra_lpm_threshold = 5;
    p.epc_power_1mbps = -1;
    p.epc_power_2mbps = -2;
    p.epc_power_3mbps = -3;
    p.epc_pwrctrl_steps = 13;
    p.epc_pwrctrl_stepsize = 14;
    p.epc_step_1mbps = 15;
    p.epc_step_2mbps = 16;
    p.epc_step_3mbps = 17;
    p.lpc_power_1mbps = -18;
    p.lpc_power_2mbps = -19;
    p.lpc_power_3mbps = -20;
    p.lpc_pwrctrl_steps = 21;
    p.lpc_pwrctrl_stepsize = 22;
    p.br_pwr_level = -23;
    p.rssi_threshold = -24;
    p.le_pwr_level = -25;
    p.rssi_min = -90;
    p.rssi_max = -27;
    p.rssi_goto_max = 28;
    p.uart_baudrate = 29;
    p.uart_invert = 30;
    p.uart_lpm_level = 31;
    p.osc_settle = 32;
    p.pll_settle = 33;
    p.dig_settle = 34;
    p.bb_conf = 35;
    p.idac_comp = 36;
    p.rf_config = 37;
    p.lmp_version = 38;
    p.ulpm_current = 65535;
    p.idle_current = 40;
    p.active_current = 41;
    p.tx_current = 42;
    p.rx_current = 43;
    return p;
}

// GoldenNvm() in transfer order, as the write-all command writes it.
inline const char* GoldenNvmArguments() {
    return "{0,26,125,218,113,19},1234,4294967295,{255,254,143,254,216,63,91,135},"
           "1,2,3,4,5,-1,-2,-3,13,14,15,16,17,-18,-19,-20,21,22,-23,-24,-25,-90,-27,"
           "28,29,30,31,32,33,34,35,36,37,38,65535,40,41,42,43";
}

// The phone's read-all reply carrying GoldenNvm(), one value per line, then `tail`.
inline std::string GoldenReadAllReply(const std::string& tail = "OK\r\n") {
    std::string reply;
    const std::string args = GoldenNvmArguments();
    bool inBraces = false;
    for (const char c : args) {
        if (c == '{') inBraces = true;
        if (c == '}') inBraces = false;
        if (c == ',' && !inBraces)
            reply += "\r\n";
        else
            reply += c;
    }
    return reply + "\r\n" + tail;
}

// Field by field, named, so that a failure says which parameter differs.
inline void ExpectSameNvm(const T_BT_ALL_NVM_PARAMS& expected, const T_BT_ALL_NVM_PARAMS& actual) {
    for (const nvm::ParamInfo& p : nvm::Params()) {
        const auto* e = reinterpret_cast<const unsigned char*>(&expected) + p.offset;
        const auto* a = reinterpret_cast<const unsigned char*>(&actual) + p.offset;
        EXPECT_EQ(std::memcmp(e, a, p.width), 0) << p.suffix;
    }
}

} // namespace testzep
