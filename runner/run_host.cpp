#include "run_host.h"

#include "bt/ibluetooth.h"
#include "legacy/bluetoothlegacy.h"
#include "plugin/host.h"
#include "serial_link.h"
#include "zep/bluetoothzep.h"

namespace btrun {

RunHost::RunHost(int interfaceKind, LogFunc log) : kind_(interfaceKind), log_(std::move(log)) {
    StationHostState() = HostState{};
    StationHostState().interfaceKind = interfaceKind;
    FillStationSlots(table_);
    SetFuncInterface(table_.Data(), table_.SizeInBytes());
}

RunHost::~RunHost() {
    if (link_) UseSerialLink(table_, nullptr);
    SetFuncInterface(table_.Data(), table_.SizeInBytes());
}

bool RunHost::UsePort(const QString& device, qint32 baud) {
    link_ = std::make_unique<SerialLink>(device, baud, log_);
    UseSerialLink(table_, link_.get());
    SetFuncInterface(table_.Data(), table_.SizeInBytes());
    return link_->Open();
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

std::unique_ptr<IBluetooth> RunHost::NewBackEnd() const {
    if (TextProtocol()) return std::make_unique<BluetoothZep>();
    return std::make_unique<BluetoothLegacy>();
}

} // namespace btrun
