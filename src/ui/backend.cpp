#include "ui/backend.h"

#include "bt/ibluetooth.h"
#include "legacy/bluetoothlegacy.h"
#include "plugin/host.h"
#include "zep/bluetoothzep.h"

namespace ui {

int32_t InterfaceKindFromHost() {
    int32_t kind = 0;
    if (auto info = host::GetInfoAsIntSlot()) info(31, &kind);
    return kind;
}

std::unique_ptr<IBluetooth> CreateBackEnd(bool zep) {
    if (zep) return std::make_unique<BluetoothZep>();
    return std::make_unique<BluetoothLegacy>();
}

} // namespace ui
