#include "transport/itransportservice.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "bt/interface_kind.h"
#include "plugin/plugin.h"

ITransportService::~ITransportService() = default;

uint8_t ITransportService::Send(const std::string& command) {
    return DoSendReceive(command).code;
}

T_Result ITransportService::SendReceive(const std::string& command) {
    return DoSendReceive(command);
}

T_Result VrxioTransportService::DoSendReceive(const std::string& command) {
    ShowLine(command, 1);
    T_Result result;
    // The slot takes a fixed request buffer; cutting a command would send a different one.
    if (command.size() > kBufferSize) {
        ShowLine("Command too long for the link: " + std::to_string(command.size()) +
                     " bytes, limit " + std::to_string(kBufferSize),
                 1);
        result.code = kNotSent;
        return result;
    }
    std::array<uint8_t, kBufferSize> request{};
    std::array<uint8_t, kBufferSize> response{};
    std::memcpy(request.data(), command.data(), command.size());
    uint16_t responseLength = 0;
    const auto slot = host::ZepGenericSlot();
    if (slot == nullptr || slot(0, static_cast<uint16_t>(command.size()), request.data(),
                                &responseLength, response.data(), ComHandle) == 0) {
        result.code = T_RESULT_FAILED;
        return result;
    }
    const std::size_t length = std::min<std::size_t>(responseLength, kBufferSize);
    result.text.assign(reinterpret_cast<const char*>(response.data()), length);
    return result;
}

namespace {

void AssignReply(HostText* self, const char* data, uint32_t length) {
    auto* text = static_cast<std::string*>(self->context);
    if (data == nullptr)
        text->clear();
    else
        text->assign(data, length);
}

constexpr char kProbe[] = "at@bt:?";

} // namespace

QuorixTransportService::QuorixTransportService() {
    if (DoSendReceive(kProbe).code != T_RESULT_OK) ShowLine("Connection lost", 1);
}

T_Result QuorixTransportService::DoSendReceive(const std::string& command) {
    ShowLine(command, 1);
    std::string reply;
    HostText replyObject{&AssignReply, &reply};
    const auto slot = host::ZepSendReceiveSlot();
    const uint8_t ok = slot != nullptr ? slot(command.c_str(), &replyObject, 1, -1, 1, 0) : 0;
    T_Result result;
    result.code = ok != 0 ? T_RESULT_OK : T_RESULT_ERROR;
    result.text = std::move(reply);
    return result;
}

ITransportService* TransportServiceFactory(int32_t kind) {
    if (bt::IsTextInterface(kind)) {
        static const std::unique_ptr<QuorixTransportService> quorix =
            std::make_unique<QuorixTransportService>();
        return quorix.get();
    }
    static const std::unique_ptr<VrxioTransportService> vrxio =
        std::make_unique<VrxioTransportService>();
    return vrxio.get();
}
