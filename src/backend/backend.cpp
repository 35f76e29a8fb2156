#include "backend/backend.h"

#include "bt/interface_kind.h"
#include "legacy/bluetoothlegacy.h"
#include "zep/bluetoothzep.h"

namespace backend {

std::unique_ptr<IBluetooth> CreateBackEnd(int32_t interfaceKind) {
    if (bt::IsTextInterface(interfaceKind)) return std::make_unique<BluetoothZep>();
    return std::make_unique<BluetoothLegacy>();
}

} // namespace backend
