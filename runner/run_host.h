#pragma once
// btrun's host: the host function table the engine calls through, served by the built-in
// phone simulator or by the station's serial link, and the back-end of the chosen protocol.

#include <QString>
#include <functional>
#include <memory>

#include "host_table.h"
#include "unit_profile.h"

class IBluetooth;
class SerialLink;

namespace btrun {

class RunHost {
public:
    using LogFunc = std::function<void(const QString& text, bool error)>;

    // Interface kind 2 speaks text commands, any other kind binary records.
    explicit RunHost(int interfaceKind, LogFunc log = {});
    ~RunHost();
    RunHost(const RunHost&) = delete;
    RunHost& operator=(const RunHost&) = delete;

    // Talks to the phone on `device` instead of the built-in one; false when the port
    // cannot be opened.
    bool UsePort(const QString& device, qint32 baud);
    bool TextProtocol() const { return kind_ == 2; }

    // The built-in phone as a new unit: power-up state with the chip on, then the values
    // of unit `unit` of `profile` when one is given.
    void NewSimulatedUnit(const phonesim::UnitProfile* profile, uint64_t unit);
    phonesim::Simulator& Phone();

    // A fresh back-end for the next phone (it learns the phone's record versions anew).
    std::unique_ptr<IBluetooth> NewBackEnd() const;

private:
    int kind_;
    LogFunc log_;
    HostTable table_;
    std::unique_ptr<SerialLink> link_;
};

} // namespace btrun
