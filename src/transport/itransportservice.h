#pragma once
// How a text command reaches the phone and its reply comes back: through the host I/O
// library's generic call (slot 54) or the host's own send-and-receive service (slot 175).

#include <cstdint>
#include <string>

#include "bt/bt_types.h"

class ITransportService {
public:
    ITransportService() = default;
    virtual ~ITransportService();
    ITransportService(const ITransportService&) = delete;
    ITransportService& operator=(const ITransportService&) = delete;

    // The result code of DoSendReceive; the reply is dropped.
    virtual uint8_t Send(const std::string& command);
    virtual T_Result SendReceive(const std::string& command);
    // Sends one command exactly as given and returns the code (0 success) and the reply.
    virtual T_Result DoSendReceive(const std::string& command) = 0;

    // The code of a command refused before it reached the host, its refusal already logged.
    // No host call failed, so the host's last error belongs to some earlier call.
    static constexpr uint8_t kNotSent = 5;
};

// Host slot 54. A failed host call gives code 1; a command longer than the request
// buffer is logged as refused and gives kNotSent.
class VrxioTransportService : public ITransportService {
public:
    // Size of each of the request and response buffers of the slot.
    static constexpr std::size_t kBufferSize = 512;

    T_Result DoSendReceive(const std::string& command) override;
};

// Host slot 175. A failed host call gives code 3. Building one probes the link with
// "at@bt:?" and logs "Connection lost" when the probe fails.
class QuorixTransportService : public ITransportService {
public:
    QuorixTransportService();

    T_Result DoSendReceive(const std::string& command) override;
};

// Interface kind 2 gives the QuorixTransportService, any other kind the
// VrxioTransportService. There is one instance of each, built on its first request; the
// factory owns it for the library's life, so callers never delete what they get.
ITransportService* TransportServiceFactory(int32_t kind);
