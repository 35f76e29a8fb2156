#include "plugin/host.h"

#include <algorithm>
#include <cstring>

void* HostFunctions[host::kSlotCount] = {};

void SetFuncInterface(const void* table, int32_t sizeInBytes) {
    if (table == nullptr || sizeInBytes < 1) return;
    std::memset(HostFunctions, 0, sizeof HostFunctions);
    const std::size_t bytes = std::min(static_cast<std::size_t>(sizeInBytes), sizeof HostFunctions);
    std::memcpy(HostFunctions, table, bytes);
}
