#include "phone/unit_profile.h"

#include <QByteArray>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "phone/chip_tables.h"

namespace phonesim {

namespace {

// The readings a profile may give, in the order their values are drawn.
constexpr const char* kReadings[] = {"tmeas_fused",           "vmeas_fused",    "rtrim_fused",
                                     "kfreq_fused",           "ibiasdac_fused", "rssi",
                                     "le_packet_loss_percent"};

// Firmware fields: the byte of the version record each one sets.
struct VersionField {
    const char* key;
    int byte;
    int offset; // subtracted before storing (the year is stored less 2000)
};
constexpr VersionField kVersionFields[] = {
    {"build_year", 6, 2000}, {"build_week", 7, 0}, {"build", 8, 0}, {"patch", 9, 0}};

// The radio's keys, in the order their values are drawn, with the range the chip's
// radio can take (the whole of mean +- spread must lie in it).
struct RadioKey {
    const char* key;
    double RadioTraits::*field;
    double low, high;
};
constexpr RadioKey kRadioKeys[] = {
    {"power_error_db", &RadioTraits::powerErrorDb, -60, 60},
    {"freq_offset_khz", &RadioTraits::offsetKhz, -1000, 1000},
    {"drift_khz", &RadioTraits::driftKhz, -1000, 1000},
    {"initial_drift_khz", &RadioTraits::initialDriftKhz, -1000, 1000},
    {"drift_rate_khz", &RadioTraits::driftRateKhz, -1000, 1000},
    {"le_delta_f1_khz", &RadioTraits::leDeltaF1Khz, 0, 1000},
    {"br_delta_f1_khz", &RadioTraits::brDeltaF1Khz, 0, 1000},
    {"f2_f1_ratio", &RadioTraits::f2f1Ratio, 0, 2},
    {"sensitivity_dbm", &RadioTraits::sensitivityDbm, -120, 0},
};

// Keeps the radio's draws apart from those of the readings of the same seed and unit.
constexpr uint64_t kRadioSalt = 0x7261'6469'6F00'0000ULL; // "radio"

bool Fail(std::string& error, const std::string& file, const std::string& what) {
    error = file + ": " + what;
    return false;
}

// A value or {"mean": m, "spread": s}; `name` is how a message names it.
bool ParseSpread(const QJsonValue& v, const std::string& name, Spread& out, std::string& why) {
    if (v.isDouble()) {
        out = {v.toDouble(), 0};
        return true;
    }
    const QJsonObject o = v.toObject();
    if (v.isObject() && o.size() == 2 && o.value("mean").isDouble() &&
        o.value("spread").isDouble() && o.value("spread").toDouble() >= 0) {
        out = {o.value("mean").toDouble(), o.value("spread").toDouble()};
        return true;
    }
    why = name + " must be a number or {\"mean\": M, \"spread\": S} with S >= 0";
    return false;
}

// "4.6" -> 4, 6.
bool ParseDotted(const QJsonValue& v, uint8_t& major, uint8_t& minor) {
    const QStringList parts = v.toString().split('.');
    if (!v.isString() || parts.size() != 2) return false;
    bool ok1 = false, ok2 = false;
    const uint a = parts[0].toUInt(&ok1), b = parts[1].toUInt(&ok2);
    if (!ok1 || !ok2 || a > 255 || b > 255) return false;
    major = static_cast<uint8_t>(a);
    minor = static_cast<uint8_t>(b);
    return true;
}

bool ParseFirmware(const QJsonObject& o, UnitProfile& p, std::string& why) {
    for (auto it = o.begin(); it != o.end(); ++it) {
        const std::string key = it.key().toStdString();
        if (key == "hardware" || key == "firmware") {
            uint8_t major = 0, minor = 0;
            if (!ParseDotted(it.value(), major, minor)) {
                why = "firmware '" + key + "' must be text like \"4.6\"";
                return false;
            }
            const int at = key == "hardware" ? 1 : 4;
            p.versionInfo[at] = major;
            p.versionInfo[at + 1] = minor;
            continue;
        }
        const auto field = std::find_if(std::begin(kVersionFields), std::end(kVersionFields),
                                        [&](const VersionField& f) { return key == f.key; });
        const double v =
            it.value().toDouble(-1) - (field != std::end(kVersionFields) ? field->offset : 0);
        if (field == std::end(kVersionFields)) {
            why = "unknown firmware key '" + key +
                  "' (known: hardware, firmware, build_year, build_week, build, patch)";
            return false;
        }
        if (!it.value().isDouble() || v < 0 || v > 255 || v != std::floor(v)) {
            why = "firmware '" + key + "' is out of range";
            return false;
        }
        p.versionInfo[static_cast<std::size_t>(field->byte)] = static_cast<uint8_t>(v);
    }
    return true;
}

bool ParseNvm(const QJsonObject& o, UnitProfile& p, std::string& why) {
    for (auto it = o.begin(); it != o.end(); ++it) {
        const int i = NvmParamIndex(it.key().toStdString());
        if (i < 0) {
            why = "unknown NVM parameter '" + it.key().toStdString() + "'";
            return false;
        }
        const int count = ElementCount(kNvmParams[static_cast<std::size_t>(i)].kind);
        if (count > 1) {
            const QByteArray bytes = QByteArray::fromHex(it.value().toString().toLatin1());
            if (!it.value().isString() || bytes.size() != count ||
                bytes.toHex().compare(it.value().toString().toLatin1(), Qt::CaseInsensitive) != 0) {
                why = "NVM '" + it.key().toStdString() + "' must be hex text of " +
                      std::to_string(count) + " bytes";
                return false;
            }
            p.nvmBytes[i] = std::vector<uint8_t>(bytes.begin(), bytes.end());
            continue;
        }
        if (!ParseSpread(it.value(), "'" + it.key().toStdString() + "'", p.nvm[i], why))
            return false;
    }
    return true;
}

bool ParseRadio(const QJsonObject& o, UnitProfile& p, std::string& why) {
    for (auto it = o.begin(); it != o.end(); ++it) {
        const std::string key = it.key().toStdString();
        const auto known = std::find_if(std::begin(kRadioKeys), std::end(kRadioKeys),
                                        [&](const RadioKey& k) { return key == k.key; });
        if (known == std::end(kRadioKeys)) {
            why = "unknown radio key '" + key +
                  "' (known: power_error_db, freq_offset_khz, drift_khz, initial_drift_khz, "
                  "drift_rate_khz, le_delta_f1_khz, br_delta_f1_khz, f2_f1_ratio, "
                  "sensitivity_dbm)";
            return false;
        }
        Spread& s = p.radio[key];
        if (!ParseSpread(it.value(), "radio '" + key + "'", s, why)) return false;
        if (s.mean - s.spread < known->low || s.mean + s.spread > known->high) {
            why = "radio '" + key + "' must lie within " +
                  QString::number(known->low).toStdString() + " to " +
                  QString::number(known->high).toStdString() + ", spread included";
            return false;
        }
    }
    return true;
}

// Uniform in [mean - spread, mean + spread]; the generator and this arithmetic are fully
// specified, so the same seed gives the same values with any compiler or library.
double Draw(std::mt19937_64& random, const Spread& s) {
    const double u = static_cast<double>(random() >> 11) * 0x1.0p-53;
    return s.mean + s.spread * (2 * u - 1);
}

// Rounded to the nearest whole number and held within what T stores.
template <typename T> T Clamped(double v) {
    return static_cast<T>(std::clamp<double>(std::round(v), std::numeric_limits<T>::min(),
                                             std::numeric_limits<T>::max()));
}

// The range a scalar NVM parameter holds.
void ScalarRange(Kind kind, double& low, double& high) {
    low = 0;
    high = 255;
    if (kind == Kind::I8) low = -128, high = 127;
    if (kind == Kind::U16) high = 65535;
    if (kind == Kind::U32) high = 4294967295.0;
}

// The receiver's draws start from the radio stream's first word; each listed key then
// takes one draw, in a fixed order.
void ApplyRadio(const UnitProfile& p, uint64_t unit, RadioTraits& radio) {
    std::mt19937_64 random((p.seed + unit) ^ kRadioSalt);
    radio.receiverRandom = random();
    for (const RadioKey& k : kRadioKeys) {
        const auto it = p.radio.find(k.key);
        if (it != p.radio.end()) radio.*k.field = Draw(random, it->second);
    }
}

} // namespace

bool ParseUnitProfile(const std::string& json, const std::string& file, UnitProfile& p,
                      std::string& error) {
    const QByteArray bytes = QByteArray::fromStdString(json);
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // The parser reports the offset just past the character it stumbled on.
        const qsizetype at = std::clamp<qsizetype>(parseError.offset - 1, 0, bytes.size());
        const int line = static_cast<int>(bytes.left(at).count('\n')) + 1;
        const qsizetype column = at - (bytes.lastIndexOf('\n', at - 1) + 1) + 1;
        error = file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " +
                parseError.errorString().toStdString();
        return false;
    }
    if (!doc.isObject()) return Fail(error, file, "a unit profile must be a JSON object");
    p = UnitProfile{};
    std::string why;
    const QJsonObject o = doc.object();
    for (auto it = o.begin(); it != o.end(); ++it) {
        const std::string key = it.key().toStdString();
        const QJsonValue v = it.value();
        if (key == "name" || key == "description") {
            if (!v.isString()) return Fail(error, file, "'" + key + "' must be text");
            if (key == "name") p.name = v.toString().toStdString();
        } else if (key == "seed") {
            const double s = v.toDouble(-1);
            if (!v.isDouble() || s < 0 || s != std::floor(s) || s > 9007199254740992.0)
                return Fail(error, file, "'seed' must be a whole number of at least 0");
            p.seed = static_cast<uint64_t>(s);
        } else if (key == "chip_on") {
            if (!v.isBool()) return Fail(error, file, "'chip_on' must be true or false");
            p.chipOn = v.toBool();
        } else if (key == "firmware") {
            if (!v.isObject() || !ParseFirmware(v.toObject(), p, why))
                return Fail(error, file, why.empty() ? "'firmware' must be an object" : why);
        } else if (key == "radio") {
            if (!v.isObject() || !ParseRadio(v.toObject(), p, why))
                return Fail(error, file, why.empty() ? "'radio' must be an object" : why);
        } else if (key == "nvm") {
            if (!v.isObject() || !ParseNvm(v.toObject(), p, why))
                return Fail(error, file, why.empty() ? "'nvm' must be an object" : why);
        } else if (key == "le_tester_packets") {
            const double n = v.toDouble(-1);
            if (!v.isDouble() || n < 1 || n > 65535 || n != std::floor(n))
                return Fail(error, file,
                            "'le_tester_packets' must be a whole number from 1 to 65535");
            p.leTesterPackets = static_cast<int>(n);
        } else if (std::find(std::begin(kReadings), std::end(kReadings), key) !=
                   std::end(kReadings)) {
            if (!ParseSpread(v, "'" + key + "'", p.readings[key], why))
                return Fail(error, file, why);
        } else {
            return Fail(error, file,
                        "unknown key '" + key +
                            "' (known: name, description, seed, chip_on, firmware, nvm, radio, "
                            "le_tester_packets, tmeas_fused, vmeas_fused, rtrim_fused, "
                            "kfreq_fused, ibiasdac_fused, rssi, le_packet_loss_percent)");
        }
    }
    return true;
}

bool LoadUnitProfile(const std::string& path, UnitProfile& profile, std::string& error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + ": cannot read the unit profile: " + file.errorString().toStdString();
        return false;
    }
    return ParseUnitProfile(file.readAll().toStdString(), path, profile, error);
}

void ApplyUnitProfile(const UnitProfile& p, uint64_t unit, ChipState& chip) {
    std::mt19937_64 random(p.seed + unit);
    if (p.chipOn) chip.on = *p.chipOn;
    for (std::size_t i = 0; i < p.versionInfo.size(); ++i)
        if (p.versionInfo[i]) chip.lumoraVersion[i] = *p.versionInfo[i];
    // Every listed reading takes one draw, in a fixed order, whatever the file's order.
    for (const char* name : kReadings) {
        const auto it = p.readings.find(name);
        if (it == p.readings.end()) continue;
        const double v = Draw(random, it->second);
        const std::string key = name;
        if (key == "tmeas_fused") chip.tmeasFused = Clamped<uint16_t>(v);
        if (key == "vmeas_fused") chip.vmeasFused = Clamped<uint8_t>(v);
        if (key == "rtrim_fused") chip.rtrimFused = Clamped<uint8_t>(v);
        if (key == "kfreq_fused") chip.kfreqFused = Clamped<uint8_t>(v);
        if (key == "ibiasdac_fused") chip.ibiasdacFused = Clamped<uint8_t>(v);
        if (key == "rssi") chip.rssi = Clamped<int8_t>(v);
        if (key == "le_packet_loss_percent") {
            const double loss = std::clamp(v, 0.0, 100.0) / 100.0;
            chip.leRxPackets = Clamped<uint16_t>(std::round(p.leTesterPackets * (1.0 - loss)));
        }
    }
    if (p.readings.count("le_packet_loss_percent") == 0)
        chip.leRxPackets = Clamped<uint16_t>(p.leTesterPackets);
    for (const auto& [index, spread] : p.nvm) {
        double low = 0, high = 0;
        ScalarRange(kNvmParams[static_cast<std::size_t>(index)].kind, low, high);
        StoreNvm(chip, index,
                 {static_cast<int64_t>(std::clamp(std::round(Draw(random, spread)), low, high))});
    }
    for (const auto& [index, bytes] : p.nvmBytes)
        StoreNvm(chip, index, std::vector<int64_t>(bytes.begin(), bytes.end()));
    ApplyRadio(p, unit, chip.radio);
}

} // namespace phonesim
