#pragma once
// What the results store says about the line, computed once for every front end that shows
// it (btrun --report writes HTML, the station's Results window draws it): yield per station
// and day, the failing measurements ranked, the spread of every numeric measurement against
// its limits, and the runs of one phone. Reads only; no widgets.

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace store {

// The runs every figure counts: those that started at or after `since` (UTC; invalid for
// all) of the lot `lot` (empty for all lots).
struct Filter {
    Filter(const QDateTime& since = {}, const QString& lot = {}) : since(since), lot(lot) {}
    QDateTime since;
    QString lot;
};

// Runs of one station: a station total (day invalid) or one UTC day of it; or, in the
// table per slot, the runs of one slot of the station.
struct YieldRow {
    QString station;
    QDate day;
    QString slot; // per slot: empty for runs that name no slot
    int runs = 0;
    int pass = 0;
    int fail = 0;
    int error = 0; // ERROR and ABORTED
    // Station totals only: phones whose first run ever was here, and how many of those passed.
    int firstRuns = 0;
    int firstPass = 0;
};

// A measurement is its step (the phase name) and its name: "chip_state" of "Switch the chip
// on" and of "Switch the chip off" are two measurements. "Switch the chip on: chip_state".
QString MeasurementLabel(const QString& step, const QString& name);

// A measurement that failed in some run: in how many runs it failed, how many runs took it.
struct FailureRow {
    QString step;
    QString name;
    int failures = 0;
    int runs = 0;
};

// Counts of values in `counts.size()` bins of equal width from `low`.
struct Histogram {
    double low = 0;
    double width = 0;
    std::vector<int> counts;
    double High() const { return low + width * double(counts.size()); }
};

// The capability indices: Ppk = min(USL - mean, mean - LSL) / (3 sigma) with the overall
// spread, Cpk the same with the short-term spread sigmaWithin = MR-bar / 1.128 (MR the
// absolute difference of consecutive readings in the order the runs started); one-sided
// with one limit.
struct NumericStats {
    QString step;
    QString name;
    QString units;
    int count = 0;
    double mean = 0;
    double sigma = 0;       // sample standard deviation (n - 1)
    double sigmaWithin = 0; // average moving range / 1.128
    double min = 0;
    double max = 0;
    std::optional<double> low; // limits of the most recent run that had any
    std::optional<double> high;
    std::optional<double> ppk;
    std::optional<double> cpk;
    QString noPpk; // why there is no Ppk
    QString noCpk; // why there is no Cpk
    Histogram histogram;
    QString Label() const { return MeasurementLabel(step, name); }
    // The lower of Ppk and Cpk, when there is either.
    std::optional<double> Weakest() const;
};

struct PhoneRow {
    QString dutId;
    int runs = 0;
    QString lastOutcome;
    QDateTime lastStart;
};

struct Summary {
    int runs = 0;
    // Each station's total followed by its days, stations by name, days in order.
    std::vector<YieldRow> yield;
    // Each station's slots, by station and slot: a bad fixture is one slot's low yield.
    std::vector<YieldRow> bySlot;
    // Most failures first.
    std::vector<FailureRow> failures;
    // Weakest (the lower of Ppk and Cpk) first, then those without either by label.
    std::vector<NumericStats> numeric;
    std::vector<PhoneRow> phones; // by serial
};

// A failing measurement of one run as it was judged.
struct FailedMeasurement {
    QString step;
    QString name;
    QString value; // the number or text; empty when the reading was not delivered
    QString units;
    QString limits; // "400 .. 600", or the validator when it has no min/max
};

struct PhoneRun {
    QString runId;
    QString station;
    QString plan;
    QString outcome;
    QDateTime start;
    QDateTime end;
    std::vector<FailedMeasurement> failed;
    QStringList errors; // "step: why" of the steps in error or with a reason
};

// The runs `filter` keeps. False with a one-line message when the store cannot be read.
bool LoadSummary(const QSqlDatabase& db, const Filter& filter, Summary& out, QString& error);
bool LoadPhone(const QSqlDatabase& db, const QString& dutId, const Filter& filter,
               std::vector<PhoneRun>& out, QString& error);
// The lots the runs name, in order.
bool LoadLots(const QSqlDatabase& db, QStringList& lots, QString& error);

// The number of runs and the newest stored_time as text: a cheap look whether runs arrived.
bool ReadChangeStamp(const QSqlDatabase& db, QString& stamp, QString& error);

// The yield table as every front end shows it: its headers and the cells of one row.
QStringList YieldHeaders();
QStringList YieldCells(const YieldRow& row);
// The same per slot.
QStringList SlotHeaders();
QStringList SlotCells(const YieldRow& row);

// The distance of round axis ticks (1, 2 or 5 times a power of ten) for 4 to 10 of them.
double TickStep(double span);

double Percent(int part, int whole); // 0 when whole is 0
// A number for people: up to `decimals` decimals, no trailing zeros, "-" for inf and nan.
QString Number(double value, int decimals = 3);
// "Ppk 1.33" or "no Ppk: one value"; "Cpk 1.5" or "no Cpk: zero moving range".
QString PpkText(const NumericStats& s);
QString CpkText(const NumericStats& s);
// Both: "Ppk 1.33; Cpk 1.5", or "no Ppk or Cpk: no limits" when one reason rules out both.
QString CapabilityText(const NumericStats& s);
// "400 .. 600", "min 400", "max 600" or empty.
QString LimitsText(const std::optional<double>& low, const std::optional<double>& high);

} // namespace store
