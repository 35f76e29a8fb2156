#pragma once
// The files a run leaves: one JSON record per phone and JUnit XML for CI servers. Both
// are written whole or not at all (a temporary file renamed over the target).

#include <QByteArray>
#include <QString>
#include <vector>

#include "run/executor.h"

namespace run {

// The record as indented JSON text.
QByteArray RecordText(const RunRecord& record);
// Writes the record whole under `path`, or, when a file of that name exists, under the first
// free "<path without .json>-2.json", "-3", ...: a record is never replaced. `written`
// receives the name used.
bool WriteRecord(const QString& path, const RunRecord& record, QString& written, QString& error);

// One test suite per phone, one test case per step.
bool WriteJUnit(const QString& path, const std::vector<RunRecord>& records, QString& error);

// "le_per = 45.2 % (max 30.8)" for consoles and failure messages.
QString DescribeMeasurement(const MeasurementRecord& m);

// "<folder>/<serial>-<UTC time>.json", the serial's bytes other than letters, digits, '-',
// '_' and '.' written as %XX (so is a leading '.'): distinct serials, distinct names.
QString DefaultRecordPath(const QString& folder, const QString& dutId, const QDateTime& start);

} // namespace run
