#pragma once
// One run record (the JSON btrun writes per phone, from a file or from the spool) into the
// tables stations, plans, runs, phases and measurements, in one transaction.

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace store {

class Connection;

enum class WriteResult {
    Stored,
    AlreadyStored, // a run with this run_id is in the database: nothing written
    BadRecord,     // the record is not one btrun writes: nothing written
    Failed,        // the database refused or went away: nothing written
};

WriteResult StoreRecord(const Connection& connection, const QJsonObject& record, QString& error);
WriteResult StoreRecordText(const Connection& connection, const QByteArray& json, QString& error);

// The current time as a record writes it: "2025-03-01T08:15:00.123Z".
QString NowText();

} // namespace store
