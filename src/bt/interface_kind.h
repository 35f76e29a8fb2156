#pragma once
// Which protocol the phone speaks, as the host's information item 31 tells it.

#include <cstdint>

namespace bt {

// The interface kind of phones that take text commands ("at@bt:..."); every other kind
// takes binary request and confirm records.
inline constexpr int32_t kTextInterfaceKind = 2;

constexpr bool IsTextInterface(int32_t interfaceKind) {
    return interfaceKind == kTextInterfaceKind;
}

} // namespace bt
