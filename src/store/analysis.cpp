#include "store/analysis.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace store {
namespace {

constexpr int kBins = 20;

// PostgreSQL hands times back as QDateTime, SQLite as the record's ISO text.
QDateTime TimeOf(const QVariant& v) {
    if (v.isNull()) return {};
    if (v.metaType().id() == QMetaType::QDateTime) return v.toDateTime().toUTC();
    const QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
    return t.isValid() ? t.toUTC() : QDateTime();
}

QString TextOf(const QVariant& v) {
    if (v.metaType().id() == QMetaType::QUuid) return v.toUuid().toString(QUuid::WithoutBraces);
    return v.toString();
}

std::optional<double> NumberOf(const QVariant& v) {
    bool ok = false;
    const double d = v.isNull() ? 0 : v.toDouble(&ok);
    if (!ok || !std::isfinite(d)) return std::nullopt;
    return d;
}

// The runs' filter as clauses and their parameters. SQLite compares the record's
// fixed-width UTC text, PostgreSQL its timestamps.
QString Where(bool postgres, const Filter& filter, QVariantList& params) {
    QString clauses;
    if (filter.since.isValid()) {
        if (postgres)
            params << filter.since.toUTC();
        else
            params << filter.since.toUTC().toString("yyyy-MM-ddTHH:mm:ss.zzz") + "Z";
        clauses += " AND r.start_time >= ?";
    }
    if (!filter.lot.isEmpty()) {
        params << filter.lot;
        clauses += " AND r.lot = ?";
    }
    return clauses;
}

// Runs `head` (which ends in a condition on the runs `r`) with the runs' filter, then
// `tail`; `params` are the values of `head`.
bool Select(QSqlQuery& q, const Filter& filter, const QString& head, const QString& tail,
            QVariantList params, QString& error) {
    const QString sql =
        head +
        Where(q.driver() && q.driver()->dbmsType() == QSqlDriver::PostgreSQL, filter, params) +
        tail;
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    for (const QVariant& p : params)
        q.addBindValue(p);
    ok = ok && q.exec();
    if (!ok) error = "cannot read the results store: " + q.lastError().text().simplified();
    return ok;
}

void Tally(YieldRow& row, const QString& outcome) {
    ++row.runs;
    if (outcome == "PASS")
        ++row.pass;
    else if (outcome == "FAIL")
        ++row.fail;
    else
        ++row.error;
}

bool LoadYield(const QSqlDatabase& db, const Filter& filter, Summary& out, QString& error) {
    QSqlQuery q(db);
    // A phone's first run ever decides its first-pass yield, also when it lies outside the filter.
    if (!Select(q, filter,
                "SELECT r.dut_id, r.station_id, r.outcome, r.start_time, (r.start_time = "
                "(SELECT MIN(f.start_time) FROM runs f WHERE f.dut_id = r.dut_id)), r.slot FROM "
                "runs r WHERE 1 = 1",
                " ORDER BY r.start_time, r.run_id", {}, error))
        return false;
    std::map<QString, YieldRow> totals;
    std::map<QString, std::map<QDate, YieldRow>> days;
    std::map<std::pair<QString, QString>, YieldRow> bySlot;
    std::map<QString, PhoneRow> phones;
    std::set<QString> counted;
    while (q.next()) {
        const QString dut = q.value(0).toString();
        const QString station = q.value(1).toString();
        const QString outcome = q.value(2).toString();
        const QDateTime start = TimeOf(q.value(3));
        ++out.runs;
        YieldRow& total = totals[station];
        total.station = station;
        Tally(total, outcome);
        YieldRow& slot = bySlot[{station, q.value(5).toString()}];
        slot.station = station;
        slot.slot = q.value(5).toString();
        Tally(slot, outcome);
        if (q.value(4).toBool() && counted.insert(dut).second)
            for (YieldRow* row : {&total, &slot}) {
                ++row->firstRuns;
                row->firstPass += outcome == "PASS";
            }
        if (start.isValid()) {
            YieldRow& day = days[station][start.date()];
            day.station = station;
            day.day = start.date();
            Tally(day, outcome);
        }
        PhoneRow& phone = phones[dut];
        phone.dutId = dut;
        ++phone.runs;
        phone.lastOutcome = outcome;
        phone.lastStart = start;
    }
    for (const auto& [station, total] : totals) {
        out.yield.push_back(total);
        for (const auto& [day, row] : days[station])
            out.yield.push_back(row);
    }
    for (const auto& [key, row] : bySlot)
        out.bySlot.push_back(row);
    for (const auto& [dut, phone] : phones)
        out.phones.push_back(phone);
    return true;
}

// The phase of a measurement, for its step name.
constexpr const char* kJoinPhase =
    " JOIN phases p ON p.run_id = m.run_id AND p.phase_no = m.phase_no";

bool LoadFailures(const QSqlDatabase& db, const Filter& filter, Summary& out, QString& error) {
    QSqlQuery q(db);
    if (!Select(q, filter,
                QString("SELECT p.name, m.name, COUNT(DISTINCT m.run_id), COUNT(DISTINCT CASE "
                        "WHEN m.outcome = 'FAIL' THEN m.run_id END) FROM measurements m JOIN runs "
                        "r ON r.run_id = m.run_id") +
                    kJoinPhase + " WHERE 1 = 1",
                " GROUP BY p.name, m.name", {}, error))
        return false;
    while (q.next())
        if (q.value(3).toInt() > 0)
            out.failures.push_back({q.value(0).toString(), q.value(1).toString(),
                                    q.value(3).toInt(), q.value(2).toInt()});
    std::sort(out.failures.begin(), out.failures.end(), [](const auto& a, const auto& b) {
        if (a.failures != b.failures) return a.failures > b.failures;
        // Equal counts: the one failing more of the runs that took it first.
        const double shareA = Percent(a.failures, a.runs), shareB = Percent(b.failures, b.runs);
        if (shareA != shareB) return shareA > shareB;
        return MeasurementLabel(a.step, a.name) < MeasurementLabel(b.step, b.name);
    });
    return true;
}

Histogram MakeHistogram(const NumericStats& s, const std::vector<double>& values) {
    double lo = std::min({s.min, s.low.value_or(s.min), s.high.value_or(s.min)});
    double hi = std::max({s.max, s.low.value_or(s.max), s.high.value_or(s.max)});
    if (!(hi > lo)) {
        const double half = std::max(0.5, std::abs(lo) * 1e-3);
        lo -= half;
        hi += half;
    }
    // A margin, so that a limit at the edge of the values still shows as a line.
    const double pad = (hi - lo) * 0.05;
    lo -= pad;
    hi += pad;
    const double width = (hi - lo) / kBins;
    if (!std::isfinite(width) || !(width > 0)) return {};
    Histogram h{lo, width, std::vector<int>(kBins, 0)};
    for (double v : values) {
        const double pos = (v - lo) / width;
        ++h.counts[pos <= 0 ? 0 : pos >= kBins ? kBins - 1 : static_cast<size_t>(pos)];
    }
    return h;
}

// min(USL - mean, mean - LSL) / (3 spread), one-sided with one limit; empty with the reason
// in `why` when there is none.
std::optional<double> Capability(const NumericStats& s, double spread, QString& why) {
    double index = INFINITY;
    if (s.high) index = std::min(index, (*s.high - s.mean) / (3 * spread));
    if (s.low) index = std::min(index, (s.mean - *s.low) / (3 * spread));
    if (std::isfinite(index)) return index;
    why = "values out of range";
    return std::nullopt;
}

// `values` in the order the runs started: the moving range needs it.
void Finish(NumericStats& s, const std::vector<double>& values) {
    // Welford's running mean and sum of squares: stable for large values close together.
    double mean = 0, squares = 0, ranges = 0;
    int n = 0;
    s.min = s.max = values.front();
    for (double v : values) {
        if (n > 0) ranges += std::abs(v - values[size_t(n) - 1]);
        ++n;
        const double d = v - mean;
        mean += d / n;
        squares += d * (v - mean);
        s.min = std::min(s.min, v);
        s.max = std::max(s.max, v);
    }
    s.count = n;
    s.mean = mean;
    s.sigma = n > 1 ? std::sqrt(squares / (n - 1)) : 0;
    // d2 = 1.128 turns the average range of two consecutive readings into a sigma.
    s.sigmaWithin = n > 1 ? ranges / (n - 1) / 1.128 : 0;
    if (!s.low && !s.high) {
        s.noPpk = s.noCpk = "no limits";
    } else if (n < 2) {
        s.noPpk = s.noCpk = "one value";
    } else {
        if (s.sigma == 0)
            s.noPpk = "no spread, every value is " + Number(s.mean);
        else
            s.ppk = Capability(s, s.sigma, s.noPpk);
        if (s.sigmaWithin == 0)
            s.noCpk = "zero moving range";
        else
            s.cpk = Capability(s, s.sigmaWithin, s.noCpk);
    }
    s.histogram = MakeHistogram(s, values);
}

bool LoadNumeric(const QSqlDatabase& db, const Filter& filter, Summary& out, QString& error) {
    QSqlQuery q(db);
    if (!Select(q, filter,
                QString("SELECT p.name, m.name, m.value, m.units, m.low_limit, m.high_limit FROM "
                        "measurements m JOIN runs r ON r.run_id = m.run_id") +
                    kJoinPhase + " WHERE m.value IS NOT NULL",
                " ORDER BY p.name, m.name, r.start_time, m.run_id, m.phase_no", {}, error))
        return false;
    NumericStats current;
    std::vector<double> values;
    const auto finish = [&] {
        if (values.empty()) return;
        Finish(current, values);
        out.numeric.push_back(current);
        values.clear();
    };
    while (q.next()) {
        const QString step = q.value(0).toString(), name = q.value(1).toString();
        if (step != current.step || name != current.name || values.empty()) {
            finish();
            current = NumericStats{};
            current.step = step;
            current.name = name;
        }
        const std::optional<double> value = NumberOf(q.value(2));
        if (!value) continue;
        values.push_back(*value);
        current.units = q.value(3).toString();
        const std::optional<double> low = NumberOf(q.value(4)), high = NumberOf(q.value(5));
        if (low || high) {
            current.low = low;
            current.high = high;
        }
    }
    finish();
    std::sort(out.numeric.begin(), out.numeric.end(), [](const auto& a, const auto& b) {
        const std::optional<double> weakA = a.Weakest(), weakB = b.Weakest();
        if (weakA && weakB && *weakA != *weakB) return *weakA < *weakB;
        if (weakA.has_value() != weakB.has_value()) return weakA.has_value();
        return a.Label() < b.Label();
    });
    return true;
}

QString ValidatorText(const QVariant& validator, const std::optional<double>& low,
                      const std::optional<double>& high) {
    if (low || high) return LimitsText(low, high);
    const QJsonObject v = QJsonDocument::fromJson(validator.toString().toUtf8()).object();
    if (v.contains("equals")) return "equals " + v.value("equals").toVariant().toString();
    if (v.contains("matches")) return "matches " + v.value("matches").toString();
    return {};
}

} // namespace

bool LoadSummary(const QSqlDatabase& db, const Filter& filter, Summary& out, QString& error) {
    out = Summary{};
    return LoadYield(db, filter, out, error) && LoadFailures(db, filter, out, error) &&
           LoadNumeric(db, filter, out, error);
}

bool LoadPhone(const QSqlDatabase& db, const QString& dutId, const Filter& filter,
               std::vector<PhoneRun>& out, QString& error) {
    out.clear();
    QSqlQuery q(db);
    if (!Select(q, filter,
                "SELECT r.run_id, r.station_id, r.plan, r.outcome, r.start_time, r.end_time "
                "FROM runs r WHERE r.dut_id = ?",
                " ORDER BY r.start_time, r.run_id", {dutId}, error))
        return false;
    std::map<QString, size_t> index;
    while (q.next()) {
        index[TextOf(q.value(0))] = out.size();
        out.push_back({TextOf(q.value(0)),
                       q.value(1).toString(),
                       q.value(2).toString(),
                       q.value(3).toString(),
                       TimeOf(q.value(4)),
                       TimeOf(q.value(5)),
                       {},
                       {}});
    }
    if (!Select(q, filter,
                QString("SELECT m.run_id, m.name, m.value, m.value_text, m.units, m.low_limit, "
                        "m.high_limit, m.validator, p.name FROM measurements m JOIN runs r ON "
                        "r.run_id = m.run_id") +
                    kJoinPhase + " WHERE r.dut_id = ? AND m.outcome = 'FAIL'",
                " ORDER BY m.phase_no, m.name", {dutId}, error))
        return false;
    while (q.next()) {
        const auto run = index.find(TextOf(q.value(0)));
        if (run == index.end()) continue;
        const std::optional<double> value = NumberOf(q.value(2));
        out[run->second].failed.push_back(
            {q.value(8).toString(), q.value(1).toString(),
             value ? Number(*value, 6) : q.value(3).toString(), q.value(4).toString(),
             ValidatorText(q.value(7), NumberOf(q.value(5)), NumberOf(q.value(6)))});
    }
    if (!Select(q, filter,
                "SELECT p.run_id, p.name, p.error FROM phases p JOIN runs r ON r.run_id = p.run_id "
                "WHERE r.dut_id = ? AND (p.outcome IN ('ERROR', 'ABORTED') OR p.error <> '')",
                " ORDER BY p.phase_no", {dutId}, error))
        return false;
    while (q.next()) {
        const auto run = index.find(TextOf(q.value(0)));
        const QString why = q.value(2).isNull() ? QString("aborted") : q.value(2).toString();
        if (run != index.end()) out[run->second].errors << q.value(1).toString() + ": " + why;
    }
    return true;
}

bool LoadLots(const QSqlDatabase& db, QStringList& lots, QString& error) {
    QSqlQuery q(db);
    if (!Select(q, {}, "SELECT DISTINCT r.lot FROM runs r WHERE r.lot IS NOT NULL",
                " ORDER BY r.lot", {}, error))
        return false;
    lots.clear();
    while (q.next())
        lots << q.value(0).toString();
    return true;
}

bool ReadChangeStamp(const QSqlDatabase& db, QString& stamp, QString& error) {
    QSqlQuery q(db);
    if (!Select(q, {}, "SELECT COUNT(*), MAX(stored_time) FROM runs", "", {}, error)) return false;
    if (!q.next()) {
        error = "cannot read the results store: no answer to a count of the runs";
        return false;
    }
    stamp = q.value(0).toString() + ' ' + TimeOf(q.value(1)).toString(Qt::ISODateWithMs);
    return true;
}

QStringList YieldHeaders() {
    return {"Station", "Day (UTC)",       "Runs",  "PASS",
            "FAIL",    "ERROR / ABORTED", "Yield", "First-pass yield"};
}

namespace {

// The counts, the yield and, for a total, the first-pass yield of a row.
QStringList Counts(const YieldRow& y, bool total) {
    const auto percent = [](int part, int whole) {
        return whole > 0 ? Number(Percent(part, whole), 1) + " %" : QString("-");
    };
    return {QString::number(y.runs),
            QString::number(y.pass),
            QString::number(y.fail),
            QString::number(y.error),
            percent(y.pass, y.runs),
            total ? percent(y.firstPass, y.firstRuns) +
                        QString(" of %1 phone%2").arg(y.firstRuns).arg(y.firstRuns == 1 ? "" : "s")
                  : QString()};
}

} // namespace

QStringList YieldCells(const YieldRow& y) {
    const bool total = !y.day.isValid();
    return QStringList{total ? y.station : QString(),
                       total ? QString("all days") : y.day.toString("yyyy-MM-dd")} +
           Counts(y, total);
}

QStringList SlotHeaders() {
    QStringList headers = YieldHeaders();
    headers[1] = "Slot";
    return headers;
}

QStringList SlotCells(const YieldRow& y) {
    return QStringList{y.station, y.slot.isEmpty() ? QString("no slot") : y.slot} + Counts(y, true);
}

double TickStep(double span) {
    const double quarter = span / 4;
    const double magnitude = std::pow(10.0, std::floor(std::log10(quarter)));
    return quarter / magnitude >= 5   ? 5 * magnitude
           : quarter / magnitude >= 2 ? 2 * magnitude
                                      : magnitude;
}

double Percent(int part, int whole) {
    return whole > 0 ? 100.0 * part / whole : 0;
}

QString Number(double value, int decimals) {
    if (!std::isfinite(value)) return "-";
    if (std::abs(value) >= 1e9) return QString::number(value, 'g', 6);
    QString text = QString::number(value, 'f', decimals);
    if (text.contains('.')) {
        while (text.endsWith('0'))
            text.chop(1);
        if (text.endsWith('.')) text.chop(1);
    }
    return text == "-0" ? "0" : text;
}

QString MeasurementLabel(const QString& step, const QString& name) {
    return step + ": " + name;
}

std::optional<double> NumericStats::Weakest() const {
    if (ppk && cpk) return std::min(*ppk, *cpk);
    return ppk ? ppk : cpk;
}

QString PpkText(const NumericStats& s) {
    return s.ppk ? "Ppk " + Number(*s.ppk, 2) : "no Ppk: " + s.noPpk;
}

QString CpkText(const NumericStats& s) {
    return s.cpk ? "Cpk " + Number(*s.cpk, 2) : "no Cpk: " + s.noCpk;
}

QString CapabilityText(const NumericStats& s) {
    if (!s.ppk && !s.cpk && s.noPpk == s.noCpk) return "no Ppk or Cpk: " + s.noPpk;
    return PpkText(s) + "; " + CpkText(s);
}

QString LimitsText(const std::optional<double>& low, const std::optional<double>& high) {
    if (low && high) return Number(*low) + " .. " + Number(*high);
    if (low) return "min " + Number(*low);
    if (high) return "max " + Number(*high);
    return {};
}

} // namespace store
