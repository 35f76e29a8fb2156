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
bool WriteRecord(const QString& path, const RunRecord& record, QString& error);

// One test suite per phone, one test case per step.
bool WriteJUnit(const QString& path, const std::vector<RunRecord>& records, QString& error);

// "le_per = 45.2 % (max 30.8)" for consoles and failure messages.
QString DescribeMeasurement(const MeasurementRecord& m);

// "results/<serial>-<UTC time>.json" under `folder`.
QString DefaultRecordPath(const QString& folder, const QString& dutId, const QDateTime& start);

} // namespace run
