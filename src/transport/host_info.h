#pragma once
// What the host tells about the phone's link: its interface kind, and from that the
// transport for text commands.

#include <cstdint>

class ITransportService;

class HostInfo {
public:
    // Created on first use; lives until the library is unloaded.
    static HostInfo& Instance();

    // Information item 31 of the host (slot 174). 2 means text commands through the
    // host's send-and-receive service. 0 when the host does not answer.
    int32_t GetInterfaceKind();
    // The factory's transport for GetInterfaceKind(); owned by the factory.
    ITransportService* GetTransportService();

private:
    HostInfo() = default;
};
