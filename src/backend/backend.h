#pragma once
// The back-end of an interface kind, made in one place for every front end (the form,
// btrun): BluetoothZep for text commands, BluetoothLegacy for binary records.

#include <cstdint>
#include <memory>

class IBluetooth;

namespace backend {

std::unique_ptr<IBluetooth> CreateBackEnd(int32_t interfaceKind);

} // namespace backend
