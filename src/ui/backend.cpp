#include "ui/backend.h"

#include "transport/host_info.h"

namespace ui {

int32_t InterfaceKindFromHost() {
    return HostInfo::Instance().GetInterfaceKind();
}

} // namespace ui
