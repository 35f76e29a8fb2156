#pragma once
// The host's interface kind, which chooses the protocol back-end (backend/backend.h).

#include <cstdint>

namespace ui {

// Host information item 31; 0 when the host cannot tell.
int32_t InterfaceKindFromHost();

} // namespace ui
