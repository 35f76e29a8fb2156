#include "runner/run_host.h"

#include "backend/backend.h"
#include "bt/ibluetooth.h"
#include "bt/interface_kind.h"
#include "host/serial_link.h"
#include "phone/host_slots.h"
#include "plugin/host.h"

namespace btrun {

// The link slots as the engine sees them: each call is passed on to the slot function of
// the phone in use, and a failed one is noted. One RunHost serves a process at a time (the
// table holds plain C function pointers, which reach it only through this pointer).
struct LinkWatch {
    static inline RunHost* host = nullptr;

    // Slots 18 and 54: request and confirm buffers.
    using Buffers = uint8_t (*)(int32_t, uint16_t, const uint8_t*, uint16_t*, uint8_t*, int32_t);
    using SendReceive = uint8_t (*)(const char*, phonesim::SlotHostText*, int32_t, int32_t, int32_t,
                                    int32_t);

    template <typename Slot, typename... Args> static uint8_t Pass(int index, Args... args) {
        if (host == nullptr || !host->failure_.isEmpty()) return 0;
        const auto slot = reinterpret_cast<Slot>(host->inner_[index]);
        const uint8_t ok = slot != nullptr ? slot(args...) : 0;
        if (ok == 0) host->failure_ = host->DescribeFailure();
        return ok;
    }
};

namespace {

extern "C" uint8_t WatchedBinary(int32_t function, uint16_t requestLength, const uint8_t* request,
                                 uint16_t* confirmLength, uint8_t* confirm, int32_t comHandle) {
    return LinkWatch::Pass<LinkWatch::Buffers>(0, function, requestLength, request, confirmLength,
                                               confirm, comHandle);
}

extern "C" uint8_t WatchedGeneric(int32_t zero, uint16_t commandLength, const uint8_t* command,
                                  uint16_t* responseLength, uint8_t* response, int32_t comHandle) {
    return LinkWatch::Pass<LinkWatch::Buffers>(1, zero, commandLength, command, responseLength,
                                               response, comHandle);
}

extern "C" uint8_t WatchedSendReceive(const char* command, phonesim::SlotHostText* reply, int32_t a,
                                      int32_t b, int32_t c, int32_t d) {
    return LinkWatch::Pass<LinkWatch::SendReceive>(2, command, reply, a, b, c, d);
}

constexpr int kLinkSlots[] = {18, 54, 175};

} // namespace

RunHost::RunHost(int interfaceKind, LogFunc log) : kind_(interfaceKind), log_(std::move(log)) {
    StationHostState() = HostState{};
    StationHostState().interfaceKind = interfaceKind;
    FillStationSlots(table_);
    WatchLinkSlots();
    LinkWatch::host = this;
}

RunHost::~RunHost() {
    LinkWatch::host = nullptr;
    if (link_) UseSerialLink(table_, nullptr);
    SetFuncInterface(table_.Data(), table_.SizeInBytes());
}

void RunHost::WatchLinkSlots() {
    for (int i = 0; i < 3; ++i)
        inner_[i] = table_.entries[static_cast<std::size_t>(kLinkSlots[i])];
    table_.entries[18] = reinterpret_cast<void*>(&WatchedBinary);
    table_.entries[54] = reinterpret_cast<void*>(&WatchedGeneric);
    table_.entries[175] = reinterpret_cast<void*>(&WatchedSendReceive);
    SetFuncInterface(table_.Data(), table_.SizeInBytes());
}

bool RunHost::UsePort(const QString& device, qint32 baud) {
    link_ = std::make_unique<SerialLink>(device, baud, log_);
    UseSerialLink(table_, link_.get());
    WatchLinkSlots();
    return link_->Open();
}

QString RunHost::DescribeFailure() const {
    if (!link_) return "no answer from the built-in simulated phone";
    if (!link_->IsOpen() && !link_->OpenError().isEmpty())
        return QString("cannot open serial port %1: %2").arg(link_->Device(), link_->OpenError());
    return QString("no answer from the phone on %1: %2")
        .arg(link_->Device(), QString::fromStdString(StationHostState().lastError));
}

void RunHost::NewSimulatedUnit(const phonesim::UnitProfile* profile, uint64_t unit) {
    Phone().Reset();
    Phone().ClearLogs();
    Phone().Chip().on = true;
    if (profile) phonesim::ApplyUnitProfile(*profile, unit, Phone().Chip());
}

phonesim::Simulator& RunHost::Phone() {
    return StationPhone();
}

bool RunHost::TextProtocol() const {
    return bt::IsTextInterface(kind_);
}

std::unique_ptr<IBluetooth> RunHost::NewBackEnd() const {
    return backend::CreateBackEnd(kind_);
}

} // namespace btrun
