#pragma once
// btrun's host: the host function table the engine calls through, served by the built-in
// phone simulator or by the station's serial link, and the back-end of the chosen protocol.
// It also watches the link: a run must tell a phone that does not answer from one that
// answers wrongly, which the engine's own results do not always show (a version query
// whose exchange failed reads as version 0).

#include <QString>
#include <functional>
#include <memory>

#include "host/host_table.h"
#include "phone/unit_profile.h"

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

    // Talks to the phone on `device` instead of the built-in one. A port that cannot be
    // opened now is tried again at every exchange; false when it could not be opened now.
    bool UsePort(const QString& device, qint32 baud);
    bool TextProtocol() const;

    // The built-in phone as a new unit: power-up state with the chip on, then the values
    // of unit `unit` of `profile` when one is given.
    void NewSimulatedUnit(const phonesim::UnitProfile* profile, uint64_t unit);
    phonesim::Simulator& Phone();

    // A fresh back-end for the next phone (it learns the phone's record versions anew).
    std::unique_ptr<IBluetooth> NewBackEnd() const;

    // Why a link call failed since the last ResetLink ("no answer from the phone on
    // /dev/ttyUSB0: Time-out waiting for the phone"), or empty. After a failure every
    // further call fails at once until ResetLink: a phone that did not answer one exchange
    // is not waited for again within the same attempt.
    QString LinkFailure() const { return failure_; }
    void ResetLink() { failure_.clear(); }

private:
    friend struct LinkWatch;
    void WatchLinkSlots();
    QString DescribeFailure() const;

    int kind_;
    LogFunc log_;
    HostTable table_;
    std::unique_ptr<SerialLink> link_;
    // The slot functions the watch passes calls on to (18, 54, 175).
    void* inner_[3] = {};
    QString failure_;
};

} // namespace btrun
