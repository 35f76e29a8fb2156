#include "ui/backend.h"

#include "bt/ibluetooth.h"
#include "legacy/bluetoothlegacy.h"
#include "transport/host_info.h"
#include "zep/bluetoothzep.h"

namespace ui {

int32_t InterfaceKindFromHost() {
    return HostInfo::Instance().GetInterfaceKind();
}

std::unique_ptr<IBluetooth> CreateBackEnd(bool zep) {
    if (zep) return std::make_unique<BluetoothZep>();
    return std::make_unique<BluetoothLegacy>();
}

} // namespace ui
