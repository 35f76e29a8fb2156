#pragma once
// A reference radio: a known-good Bluetooth controller in the fixture, spoken to only with
// the commands every controller has, over HCI on a UART with H4 packet indicators or over
// the 2-wire UART of Direct Test Mode. It sends LE test packets to the phone at its own
// fixed output power and counts the phone's packets; it measures no power, frequency or
// modulation.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "tester/tester.h"

namespace tester {

struct ReferenceAddress {
    enum class Kind { H4, Dtm };
    Kind kind = Kind::H4;
    QString text; // as written
    QString device;
    int baud = 115200;
};

// h4:/dev/ttyACM0[:BAUD] or dtm:/dev/ttyACM0[:BAUD]; false with the message.
bool ParseReferenceAddress(const QString& text, ReferenceAddress& address, QString& error);
// True when `text` names a reference radio (h4: or dtm:), not a LAN test set.
bool IsReferenceAddress(const QString& text);

// The name of an error code of the Bluetooth Core Specification's error table ("Unknown
// HCI Command" for 0x01), or "error 0xNN" for one it does not name.
QString HciErrorName(uint8_t code);

class ReferenceRadio : public ITester {
public:
    // `outputDbm`: the controller's output power at its port.
    ReferenceRadio(ReferenceAddress address, double outputDbm);
    ~ReferenceRadio() override;

    // Told of every HCI command sent (answer false) and event read (true), H4 indicator
    // first; DTM's two-byte words are not HCI and are not told.
    void SetTraffic(std::function<void(const std::vector<uint8_t>& bytes, bool answer)> f) {
        traffic_ = std::move(f);
    }

    bool CanMeasureTx() const override { return false; }
    bool CanCountPackets() const override { return true; }
    std::optional<double> FixedOutputDbm() const override { return outputDbm_; }

    QString Address() const override { return address_.text; }
    // H4: HCI_Reset, then the local version and the BD address; DTM: a reset.
    bool Identify(QString& identity, Error& error) override;
    bool Reset(Error& error) override;
    // The fixture's loss is the plan's business (the level at the phone); nothing to send.
    bool SetFixtureLoss(const std::vector<LossPoint>&, Error&) override { return true; }
    bool MeasureLeTx(const LeTx&, TxItem, std::vector<Reading>&, Error& error) override;
    bool MeasureBrTx(const BrTx&, TxItem, std::vector<Reading>&, Error& error) override;
    // Sends for as long as `count` packets take (625 us each) at its own output power; the
    // level asked for is not the reference's to set.
    bool SendLePackets(const LePackets& packets, Error& error) override;
    bool CountLePackets(const LeCount& count, int& received, Error& error) override;

private:
    struct Port;
    bool Ready(Error& error);
    // H4: one command, then its Command Complete (or Command Status); `result` gets the
    // return parameters after the status.
    bool Command(uint16_t opcode, const std::vector<uint8_t>& parameters, const char* name,
                 std::vector<uint8_t>& result, Error& error);
    // DTM: one 16-bit command, then its 16-bit event.
    bool DtmCommand(uint16_t word, const char* name, uint16_t& event, Error& error);
    bool StartTest(bool transmit, int channel, Error& error);
    bool EndTest(int& packets, Error& error);
    bool LinkError(const QString& why, Error& error);

    ReferenceAddress address_;
    double outputDbm_;
    std::unique_ptr<Port> port_;
    std::function<void(const std::vector<uint8_t>&, bool)> traffic_;
};

} // namespace tester
