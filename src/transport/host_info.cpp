#include "transport/host_info.h"

#include "plugin/host.h"
#include "transport/itransportservice.h"

namespace {

constexpr int32_t kInterfaceKindItem = 31;

} // namespace

HostInfo& HostInfo::Instance() {
    static HostInfo instance;
    return instance;
}

int32_t HostInfo::GetInterfaceKind() {
    int32_t kind = 0;
    if (const auto slot = host::GetInfoAsIntSlot()) slot(kInterfaceKindItem, &kind);
    return kind;
}

ITransportService* HostInfo::GetTransportService() {
    return TransportServiceFactory(GetInterfaceKind());
}
