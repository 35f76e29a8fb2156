#include "ui/backend.h"

#include "bt/ibluetooth.h"
#include "plugin/host.h"

#if BT_UI_HAS_ZEP
#include "zep/bluetoothzep.h"
#endif
#if BT_UI_HAS_LEGACY
#include "legacy/bluetoothlegacy.h"
#endif

namespace ui {

int32_t InterfaceKindFromHost() {
    int32_t kind = 0;
    if (auto info = host::GetInfoAsIntSlot()) info(31, &kind);
    return kind;
}

std::unique_ptr<IBluetooth> CreateBackEnd(bool zep) {
#if BT_UI_HAS_ZEP
    if (zep) return std::make_unique<BluetoothZep>();
#endif
#if BT_UI_HAS_LEGACY
    if (!zep) return std::make_unique<BluetoothLegacy>();
#endif
    (void)zep;
    return nullptr;
}

} // namespace ui
