#pragma once
// The test set as the run engine sees it: few verbs, plain numbers with units. A test set
// behind SCPI (src/tester/scpi_tester.h) and, later, other kinds of tester implement it.

#include <QString>
#include <optional>
#include <vector>

namespace tester {

// Why a verb failed. A link error (no answer, a closed connection, the wrong instrument)
// is retried like any link trouble; an instrument error (the instrument refused or could
// not measure, "-230,\"Data corrupt or stale;no signal\"") is the step's error.
struct Error {
    enum class Kind { None, Link, Instrument };
    Kind kind = Kind::None;
    QString text;
    explicit operator bool() const { return kind != Kind::None; }
};

// One reading: a measurement name of the plan (le_power_avg, br_icft, ...), its value and
// its units (dBm, kHz, %, ...).
struct Reading {
    QString name;
    double value = 0;
    QString units;
};

// The fixture's loss between the phone's antenna and the tester, by frequency.
struct LossPoint {
    double mhz = 0;
    double lossDb = 0;
};

// What a transmitter measurement asks of the test set. The phone must already send the
// payload the measurement needs (power: any; offset and drift: 10101010; modulation:
// 11110000 for delta f1, 10101010 for delta f2).
enum class TxItem { Power, OffsetDrift, ModulationDf1, ModulationDf2 };

// The readings a transmitter measurement gives, named as plans name them, with their units.
struct ReadingSpec {
    const char* name;
    const char* units;
};

// Those of `item`, for an LE (`le`) or a BR transmitter.
inline std::vector<ReadingSpec> TxReadings(bool le, TxItem item) {
    struct Row {
        bool le;
        TxItem item;
        ReadingSpec reading;
    };
    static constexpr Row kRows[] = {
        {true, TxItem::Power, {"le_power_avg", "dBm"}},
        {true, TxItem::Power, {"le_power_peak", "dBm"}},
        {true, TxItem::OffsetDrift, {"le_freq_offset", "kHz"}},
        {true, TxItem::OffsetDrift, {"le_drift", "kHz"}},
        {true, TxItem::OffsetDrift, {"le_drift_initial", "kHz"}},
        {true, TxItem::OffsetDrift, {"le_drift_rate", "kHz/50us"}},
        {true, TxItem::ModulationDf1, {"le_delta_f1_avg", "kHz"}},
        {true, TxItem::ModulationDf2, {"le_delta_f2_avg", "kHz"}},
        {true, TxItem::ModulationDf2, {"le_delta_f2_max_pass", "%"}},
        {false, TxItem::Power, {"br_power_avg", "dBm"}},
        {false, TxItem::Power, {"br_power_peak", "dBm"}},
        {false, TxItem::OffsetDrift, {"br_icft", "kHz"}},
        {false, TxItem::OffsetDrift, {"br_drift", "kHz"}},
        {false, TxItem::OffsetDrift, {"br_drift_rate", "kHz/50us"}},
        {false, TxItem::ModulationDf1, {"br_delta_f1_avg", "kHz"}},
        {false, TxItem::ModulationDf2, {"br_delta_f2_avg", "kHz"}},
        {false, TxItem::ModulationDf2, {"br_delta_f2_max_pass", "%"}},
    };
    std::vector<ReadingSpec> out;
    for (const Row& row : kRows)
        if (row.le == le && row.item == item) out.push_back(row.reading);
    return out;
}

struct LeTx {
    int channel = 0; // 0..39
    QString phy = "1M";
    int packets = 100;
};

struct BrTx {
    int channel = 0;          // 0..78
    QString packetType = "DH5"; // DH1, DH3, DH5
    int packets = 100;
};

// LE test packets sent to the phone: `levelDbm` at the phone's antenna (the tester adds
// the fixture loss), a 37-byte PRBS9 payload.
struct LePackets {
    int channel = 0;
    double levelDbm = -70;
    int count = 1500;
};

// LE test packets the tester receives from the phone for `durationMs` on `channel` (a
// reference radio's receiver test).
struct LeCount {
    int channel = 0;
    int durationMs = 1000;
};

class ITester {
public:
    virtual ~ITester() = default;

    // What a kind of tester can do: a test set measures transmitters and sends packets; a
    // reference radio (a Bluetooth controller) sends and counts packets but measures no
    // power, frequency or modulation.
    virtual bool CanMeasureTx() const { return true; }
    virtual bool CanCountPackets() const { return false; }

    // The address the tester was reached at ("TCPIP::10.0.0.5::5025::SOCKET", "built-in").
    virtual QString Address() const = 0;
    // *IDN? (checked against what the tester must be).
    virtual bool Identify(QString& identity, Error& error) = 0;
    virtual bool Reset(Error& error) = 0;
    virtual bool SetFixtureLoss(const std::vector<LossPoint>& points, Error& error) = 0;
    virtual bool MeasureLeTx(const LeTx& setup, TxItem item, std::vector<Reading>& readings,
                             Error& error) = 0;
    virtual bool MeasureBrTx(const BrTx& setup, TxItem item, std::vector<Reading>& readings,
                             Error& error) = 0;
    virtual bool SendLePackets(const LePackets& packets, Error& error) = 0;
    // Counts the LE test packets the phone sends on the channel during the time given.
    virtual bool CountLePackets(const LeCount& /*count*/, int& /*received*/, Error& error) {
        error = {Error::Kind::Instrument, Address() + " cannot count LE packets"};
        return false;
    }
    // The output power of a tester that sends at a fixed level (a reference radio), in dBm
    // at its port; none for a test set, which sends at the level asked for.
    virtual std::optional<double> FixedOutputDbm() const { return std::nullopt; }
    // The loss between the phone and the tester at `mhz` that the tester was given (the
    // fixture's); 0 when it knows none.
    virtual double FixtureLossDb(double /*mhz*/) const { return 0; }
};

} // namespace tester
