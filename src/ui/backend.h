#pragma once
// The choice of the protocol back-end from the host's interface kind.

#include <cstdint>
#include <memory>

class IBluetooth;

namespace ui {

// Host information item 31; 0 when the host cannot tell.
int32_t InterfaceKindFromHost();

// BluetoothZep for the text protocol, BluetoothLegacy otherwise.
std::unique_ptr<IBluetooth> CreateBackEnd(bool zep);

} // namespace ui
