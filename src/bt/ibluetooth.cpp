#include "bt/ibluetooth.h"

#include <algorithm>
#include <cstring>

#include "plugin/plugin.h"
#include "util/util.h"

namespace {

std::string ConnectionTypeText(uint32_t type) {
    switch (type) {
    case 0:
        return "Internal connection";
    case 1:
        return "External connection";
    default:
        return "Should not happen";
    }
}

} // namespace

IBluetooth::IBluetooth() = default;
IBluetooth::~IBluetooth() = default;

#define BT_NVM_GETTER(Camel, field, id, kind, transfer, units)                                            \
    T_Result IBluetooth::GetNvm##Camel(uint8_t, BT_NVM_VALUE_T_##kind* value) {                    \
        if (value != nullptr) std::memcpy(value, &nvm_params.field, sizeof nvm_params.field);      \
        return T_Result{};                                                                         \
    }
BT_NVM_PARAMS(BT_NVM_GETTER)
#undef BT_NVM_GETTER

std::string IBluetooth::FormatVersionMismatch(const std::string& name, uint8_t expected,
                                              uint8_t actual) {
    return "\nData version mismatch. " + name + ": expected = " + std::to_string(expected) +
           ", actual = " + std::to_string(actual);
}

void IBluetooth::ShowAction(const std::string& text) {
    ShowLine(text, 1);
}

std::string bt_op::InitializeActionText(uint8_t bt_on) {
    return bt_on == 1 ? "Stopping Bluetooth chip" : "Initializing Bluetooth chip";
}

// The connection values are shown by their low byte.
std::string bt_op::InterfaceActionText(const T_BT_SET_PCM_UART_WAKEUP_INTERFACE_REQ& req) {
    auto text = [](uint32_t value) { return ConnectionTypeText(static_cast<uint8_t>(value)); };
    return "Setting PCM interface - " + text(req.pcm) + "\nSetting UART interface - " +
           text(req.uart) + "\nSetting WAKEUP interface - " + text(req.wakeup);
}

std::string bt_op::LoopbackActionText(const T_BT_SET_PCM_LOOPBACK_REQ& req) {
    switch (req.loopback_type) {
    case 0:
        return "Disabling PCM loopback";
    case 1:
        return "Enabling PCM loopback - Air->Air";
    case 2:
        return "Enabling PCM loopback - PCM->PCM";
    default:
        return "Enabling PCM loopback - Should not happen";
    }
}

// Lists at most the 150 bytes the record holds, whatever its length byte says.
std::string bt_op::HciActionText(const T_BT_HCI_COMMAND_REQ& req, int radix) {
    std::string text = "Sending HCI command: ";
    const int count = std::min<int>(req.length, kHciDataSize);
    for (int i = 0; i < count; ++i)
        text += NumberToText(req.data[i], static_cast<int8_t>(radix), 2, false) + " ";
    return text;
}
