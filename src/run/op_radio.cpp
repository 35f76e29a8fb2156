// The radio measured over the air: the phone is put into the test mode each measurement
// needs, and the test set measures what it sends, or sends what it counts.

#include <QHash>
#include <optional>
#include <algorithm>
#include <cmath>

#include "bt/rf_ranges.h"
#include "run/op_steps.h"
#include "tester/tester.h"

namespace run::op {

namespace {

using tester::TxItem;

const std::vector<const char*> kItems = {"power", "offset_drift", "modulation"};

// One measurement pass of an item: what the tester measures, and the payload the phone
// sends for it, as le_tx and tx_burst number their patterns.
struct Pass {
    TxItem item;
    uint32_t lePattern; // 0 PRBS9, 1 11110000, 2 10101010
    int brPattern;      // 2 01010101, 3 00001111, 5 PRBS9
};

std::vector<Pass> PassesOf(const QString& item) {
    if (item == "power") return {{TxItem::Power, 0, 5}};
    if (item == "offset_drift") return {{TxItem::OffsetDrift, 2, 2}};
    return {{TxItem::ModulationDf1, 1, 3}, {TxItem::ModulationDf2, 2, 2}};
}

std::vector<MeasurementSpec> TxMeasurements(const Args& args, bool le) {
    std::vector<MeasurementSpec> out;
    for (const QString& item : args.value("items").items) {
        for (const Pass& pass : PassesOf(item))
            for (const tester::ReadingSpec& r : tester::TxReadings(le, pass.item))
                out.push_back({r.name, ValueType::Number, r.units});
        // The ratio is the engine's, of the two modulation readings.
        if (item == "modulation")
            out.push_back({le ? "le_f2_f1_ratio" : "br_f2_f1_ratio", ValueType::Number, ""});
    }
    return out;
}

std::vector<MeasurementSpec> LeTxMeasurements(const Args& args) {
    return TxMeasurements(args, true);
}
std::vector<MeasurementSpec> BrTxMeasurements(const Args& args) {
    return TxMeasurements(args, false);
}

// A tester that failed: on its link, a communication error (tried again, then the end of
// the run); otherwise the instrument's own error, which ends the step.
T_Result Failed(const tester::Error& error) {
    return {error.kind == tester::Error::Kind::Link ? T_RESULT_FAILED : T_RESULT_ERROR,
            error.text.toStdString()};
}

T_Result NoTester() {
    return {T_RESULT_ERROR, "no test set to measure the radio with (btrun --tester, or the "
                            "built-in phone and test set)"};
}

void Keep(OpContext& c, const std::vector<tester::Reading>& readings) {
    for (const tester::Reading& r : readings)
        c.readings[r.name] = r.value;
}

// delta f2 avg / delta f1 avg, to a thousandth.
void KeepRatio(OpContext& c, const QString& system) {
    const double f1 = c.readings.value(system + "_delta_f1_avg").toDouble();
    const double f2 = c.readings.value(system + "_delta_f2_avg").toDouble();
    if (c.readings.contains(system + "_delta_f1_avg") && f1 != 0)
        c.readings[system + "_f2_f1_ratio"] = std::round(f2 / f1 * 1000.0) / 1000.0;
}

// Each pass of each item asked: the phone made to send what the pass needs (`start`), then
// the test set's measurement of it (`measure`).
template <typename Start, typename Measure>
T_Result MeasureItems(OpContext& c, const QString& system, Start start, Measure measure) {
    if (c.tester == nullptr) return NoTester();
    for (const QString& item : c.args.value("items").items)
        for (const Pass& pass : PassesOf(item)) {
            const T_Result r = start(pass);
            if (r.code != T_RESULT_OK) return r;
            std::vector<tester::Reading> readings;
            tester::Error error;
            if (!measure(pass.item, readings, error)) return Failed(error);
            Keep(c, readings);
        }
    KeepRatio(c, system);
    return {};
}

T_Result LeTxTest(OpContext& c) {
    const tester::LeTx setup{int(c.Int("channel")), "1M", int(c.Int("packets"))};
    return MeasureItems(
        c, "le",
        [&](const Pass& pass) {
            const T_BT_SET_TX_LE_MODE_REQ q{uint8_t(setup.channel), 37,
                                            int8_t(c.Int("power_level")), pass.lePattern};
            return c.bt.SetTxLeMode(kVersion, q);
        },
        [&](TxItem item, std::vector<tester::Reading>& readings, tester::Error& error) {
            return c.tester->MeasureLeTx(setup, item, readings, error);
        });
}

T_Result BrTxTest(OpContext& c) {
    const QString type = c.args.value("packet_type").text;
    const tester::BrTx setup{int(c.Int("channel")), type, int(c.Int("packets"))};
    return MeasureItems(
        c, "br",
        [&](const Pass& pass) {
            // A TX burst as tx_burst's defaults make it, whitening off, with the pass's payload.
            T_BT_SET_TX_BURST_MODE_REQ q{};
            const uint8_t address[6] = {0x00, 0x1A, 0x7D, 0xDA, 0x71, 0x13};
            std::copy(std::begin(address), std::end(address), q.bd_address);
            q.channel = uint8_t(setup.channel);
            q.power_step = uint8_t(c.Int("power_step"));
            q.pattern_kind = kBrPatternKind[pass.brPattern];
            q.pattern_byte = kBrPatternByte[pass.brPattern];
            q.lpc_num_steps = 5;
            q.lpc_step_size = 2;
            std::fill(std::begin(q.afh_channel_map), std::end(q.afh_channel_map), 0xFF);
            q.afh_channel_map[0] = 0xF7;
            q.lpc_power_2mbps = -2;
            q.lpc_power_3mbps = -4;
            // DH1, DH3, DH5 are packet types 0, 1, 2.
            q.packet_type = uint32_t(QStringList{"DH1", "DH3", "DH5"}.indexOf(type));
            return c.bt.SetTxBurstMode(kVersion, q);
        },
        [&](TxItem item, std::vector<tester::Reading>& readings, tester::Error& error) {
            return c.tester->MeasureBrTx(setup, item, readings, error);
        });
}

// The level at the phone: what the step asks of a test set, which adds the fixture's loss
// at its port; what a reference radio's fixed output power less that loss gives.
T_Result LeRxTest(OpContext& c) {
    if (c.tester == nullptr) return NoTester();
    const int channel = int(c.Int("channel"));
    const double asked = double(c.Int("level"));
    const double loss = c.tester->FixtureLossDb(2402 + 2 * channel);
    const std::optional<double> fixed = c.tester->FixedOutputDbm();
    const double source = fixed ? *fixed : asked + loss;
    const double level = source - loss;
    c.readings["le_rx_level"] = std::round(level * 100.0) / 100.0;
    c.readings["le_rx_source_power"] = std::round(source * 100.0) / 100.0;
    c.readings["le_rx_fixture_loss"] = std::round(loss * 100.0) / 100.0;
    // A stronger signal than asked would make the test easier than the plan says.
    if (level > asked + 0.5)
        return {T_RESULT_ERROR,
                QString("%1 reaches the phone at %2 dBm on channel %3 (its %4 dBm less the "
                        "fixture's %5 dB), above the %6 dBm the step asks: use a fixture with "
                        "more loss")
                    .arg(c.tester->Address())
                    .arg(level, 0, 'f', 1)
                    .arg(channel)
                    .arg(source, 0, 'f', 1)
                    .arg(loss, 0, 'f', 1)
                    .arg(asked, 0, 'f', 1)
                    .toStdString()};
    const tester::LePackets packets{channel, asked, int(c.Int("packets"))};
    T_Result r = c.bt.RxLeStart(kVersion, {uint8_t(channel)});
    if (r.code != T_RESULT_OK) return r;
    tester::Error error;
    if (!c.tester->SendLePackets(packets, error)) return Failed(error);
    T_BT_RX_LE_END_CON con{};
    r = Checked(c.bt.RxLeEnd(kVersion, &con), con.result);
    KeepLeRxResult(c, con.packets_high << 8 | con.packets_low, packets.count);
    return r;
}

// The phone sends LE test packets (PRBS9, 37 bytes, one per 625 us) while the tester counts
// them for the time asked.
T_Result LeTxCount(OpContext& c) {
    if (c.tester == nullptr) return NoTester();
    const tester::LeCount count{int(c.Int("channel")), int(c.Int("duration_ms"))};
    const T_BT_SET_TX_LE_MODE_REQ q{uint8_t(count.channel), 37, int8_t(c.Int("power_level")),
                                    0};
    const T_Result r = c.bt.SetTxLeMode(kVersion, q);
    if (r.code != T_RESULT_OK) return r;
    int received = 0;
    tester::Error error;
    if (!c.tester->CountLePackets(count, received, error)) return Failed(error);
    const double expected = count.durationMs / 0.625;
    c.readings["le_tx_packets_received"] = double(received);
    c.readings["le_tx_per"] =
        std::round(std::max(0.0, (expected - received) * 100.0 / expected) * 1000.0) / 1000.0;
    return {};
}

ArgSpec IntArg(const char* name, int64_t min, int64_t max, int64_t def) {
    return {name, ArgKind::Int, min, max, false, def};
}
ArgSpec Items() {
    return {"items", ArgKind::Items, 0, 0, false, 0, nullptr, kItems};
}

} // namespace

void KeepLeRxResult(OpContext& c, int received, int expected) {
    // Packet error rate in percent, to a thousandth of a percent; more packets than
    // expected (another sender on the channel) count as none lost.
    const double per = std::max(0.0, (expected - received) * 100.0 / expected);
    c.readings["le_rx_packets"] = double(received);
    c.readings["le_per"] = std::round(per * 1000.0) / 1000.0;
}

std::vector<OperationSpec> RadioOps() {
    const std::vector<MeasurementSpec> rx = {{"le_rx_packets", ValueType::Number, "packets"},
                                             {"le_per", ValueType::Number, "%"},
                                             {"le_rx_level", ValueType::Number, "dBm"},
                                             {"le_rx_source_power", ValueType::Number, "dBm"},
                                             {"le_rx_fixture_loss", ValueType::Number, "dB"}};
    return {
        {"le_tx_test",
         {IntArg("channel", rf::kLeChannel.min, rf::kLeChannel.max, 0),
          IntArg("power_level", rf::kPower1Mbps.min, rf::kPower1Mbps.max, 0),
          IntArg("packets", 1, 50000, 50), Items()},
         {},
         false,
         &LeTxTest,
         nullptr,
         &LeTxMeasurements,
         true},
        {"br_tx_test",
         {IntArg("channel", rf::kBrChannel.min, rf::kBrChannel.max, 0),
          {"packet_type", ArgKind::Choice, 0, 0, false, 0, nullptr, {"DH1", "DH3", "DH5"}},
          IntArg("power_step", 0, 255, 0), IntArg("packets", 1, 50000, 50), Items()},
         {},
         false,
         &BrTxTest,
         nullptr,
         &BrTxMeasurements,
         true},
        {"le_rx_test",
         {IntArg("channel", rf::kLeChannel.min, rf::kLeChannel.max, 0),
          IntArg("level", -120, 0, -70), IntArg("packets", 1, 65535, 1500)},
         rx,
         false,
         &LeRxTest,
         nullptr,
         nullptr,
         true},
        {"le_tx_count",
         {IntArg("channel", rf::kLeChannel.min, rf::kLeChannel.max, 0),
          IntArg("power_level", rf::kPower1Mbps.min, rf::kPower1Mbps.max, 0),
          IntArg("duration_ms", 100, 60000, 1000)},
         {{"le_tx_packets_received", ValueType::Number, "packets"},
          {"le_tx_per", ValueType::Number, "%"}},
         false,
         &LeTxCount,
         nullptr,
         nullptr,
         true},
    };
}

} // namespace run::op
