#include "run/standard_limits.h"

#include <cmath>

namespace run {

namespace {

constexpr char kLePower[] = "RF-PHY/TRM/BV-01-C Output power";
constexpr char kLeModulation[] = "RF-PHY/TRM/BV-05-C Modulation characteristics";
constexpr char kLeCarrier[] = "RF-PHY/TRM/BV-06-C Carrier frequency offset and drift";
constexpr char kLeSensitivity[] = "RF-PHY/RCV/BV-01-C Receiver sensitivity";
constexpr char kBrPower[] = "RF TRM/CA/01/C Output power";
constexpr char kBrModulation[] = "RF TRM/CA/07/C Modulation characteristics";
constexpr char kBrTolerance[] = "RF TRM/CA/08/C Initial carrier frequency tolerance";
constexpr char kBrDrift[] = "RF TRM/CA/09/C Carrier frequency drift";

// The sensitivity test's condition: the level at the phone and the packets sent.
constexpr double kSensitivityLevel = -70;
constexpr int kSensitivityPackets = 1500;
constexpr double kPerLimit = 30.8;
constexpr double kPeakAboveAverage = 3;

QString Num(double v) {
    return QString::number(v, 'g', 10);
}

bool Applies(const StandardLimit& s, const Step& step) {
    return !*s.condition ||
           QString(s.condition).split(' ').contains(step.args.value("packet_type").text);
}

QString LimitText(const StandardLimit& s) {
    const QString units = *s.units ? QString(" ") + s.units : QString();
    if (s.min && s.max)
        return *s.min == -*s.max ? QString("±%1%2").arg(Num(*s.max), units)
                                 : QString("%1..%2%3").arg(Num(*s.min), Num(*s.max), units);
    return s.min ? QString("at least %1%2").arg(Num(*s.min), units)
                 : QString("at most %1%2").arg(Num(*s.max), units);
}

} // namespace

const std::vector<StandardLimit>& StandardLimits() {
    static const std::vector<StandardLimit> table = {
        {"le_tx_test", "le_power_avg", -20, 10, "dBm", kLePower, ""},
        {"le_tx_test", "le_freq_offset", -150, 150, "kHz", kLeCarrier, ""},
        {"le_tx_test", "le_drift", -50, 50, "kHz", kLeCarrier, ""},
        {"le_tx_test", "le_drift_initial", -23, 23, "kHz", kLeCarrier, ""},
        {"le_tx_test", "le_drift_rate", -20, 20, "kHz/50us", kLeCarrier, ""},
        {"le_tx_test", "le_delta_f1_avg", 225, 275, "kHz", kLeModulation, ""},
        {"le_tx_test", "le_delta_f2_max_pass", 99.9, std::nullopt, "%", kLeModulation, ""},
        {"le_tx_test", "le_f2_f1_ratio", 0.8, std::nullopt, "", kLeModulation, ""},
        {"le_rx_test", "le_per", std::nullopt, kPerLimit, "%", kLeSensitivity, ""},
        {"br_tx_test", "br_power_avg", std::nullopt, 20, "dBm", kBrPower, ""},
        {"br_tx_test", "br_power_peak", std::nullopt, 23, "dBm", kBrPower, ""},
        {"br_tx_test", "br_icft", -75, 75, "kHz", kBrTolerance, ""},
        {"br_tx_test", "br_drift", -25, 25, "kHz", kBrDrift, "DH1"},
        {"br_tx_test", "br_drift", -40, 40, "kHz", kBrDrift, "DH3 DH5"},
        {"br_tx_test", "br_drift_rate", -20, 20, "kHz/50us", kBrDrift, ""},
        {"br_tx_test", "br_delta_f1_avg", 140, 175, "kHz", kBrModulation, ""},
        {"br_tx_test", "br_delta_f2_max_pass", 99.9, std::nullopt, "%", kBrModulation, ""},
        {"br_tx_test", "br_f2_f1_ratio", 0.8, std::nullopt, "", kBrModulation, ""},
    };
    return table;
}

bool CheckStandardLimits(const Step& step, const PlannedMeasurement& m, QString& error) {
    if (!m.waiver.isEmpty()) return true;
    for (const StandardLimit& s : StandardLimits()) {
        if (step.op->name != QString(s.operation) || m.name != s.measurement || !Applies(s, step))
            continue;
        const Validator& v = m.validator;
        QString looser;
        if (s.min && !v.min && !v.equals)
            looser = "has no min";
        else if (s.min && v.min && *v.min < *s.min)
            looser = "min " + Num(*v.min) + " is looser";
        else if (s.max && !v.max && !v.equals)
            looser = "has no max";
        else if (s.max && v.max && *v.max > *s.max)
            looser = "max " + Num(*v.max) + " is looser";
        else if (v.equals && ((s.min && v.equals->toDouble() < *s.min) ||
                              (s.max && v.equals->toDouble() > *s.max)))
            looser = "'equals' " + Num(v.equals->toDouble()) + " lies outside";
        if (looser.isEmpty()) continue;
        error = QString("measurement '%1' %2: the standard's limit is %3 (%4%5); tighten it or "
                        "give \"waiver\": \"why\"")
                    .arg(m.name, looser, LimitText(s), s.test,
                         *s.condition ? QString(", ") + s.condition + " packets" : QString());
        return false;
    }
    return true;
}

bool CheckStandardCondition(const Step& step, QString& error) {
    if (step.op->name != QString("le_rx_test")) return true;
    for (const PlannedMeasurement& m : step.measurements) {
        if (m.name != "le_per" || !m.waiver.isEmpty()) continue;
        const double level = double(step.args.value("level").number);
        const int64_t packets = step.args.value("packets").number;
        if (level > kSensitivityLevel)
            error = QString("level %1 dBm is above the standard's %2 dBm (%3); give "
                            "\"waiver\": \"why\" on le_per to test there")
                        .arg(Num(level), Num(kSensitivityLevel), kLeSensitivity);
        else if (packets < kSensitivityPackets)
            error = QString("%1 packets are fewer than the standard's %2 (%3); give "
                            "\"waiver\": \"why\" on le_per to test with fewer")
                        .arg(packets)
                        .arg(kSensitivityPackets)
                        .arg(kLeSensitivity);
        return error.isEmpty();
    }
    return true;
}

QString StandardFailure(const Step& step, const PlannedMeasurement& m, const Readings& readings) {
    if (!m.waiver.isEmpty() || !readings.contains(m.name)) return {};
    const double value = readings.value(m.name).toDouble();
    if (step.op->name == QString("le_tx_test") && m.name == "le_power_peak" &&
        readings.contains("le_power_avg")) {
        const double average = readings.value("le_power_avg").toDouble();
        if (value > average + kPeakAboveAverage)
            return QString("le_power_peak %1 dBm is more than %2 dB above le_power_avg %3 dBm "
                           "(%4)")
                .arg(Num(value), Num(kPeakAboveAverage), Num(average), kLePower);
    }
    if (step.op->name == QString("le_rx_test") && m.name == "le_per" && value >= kPerLimit)
        return QString("le_per %1 % is not below %2 % (%3)")
            .arg(Num(value), Num(kPerLimit), kLeSensitivity);
    return {};
}

} // namespace run
