#pragma once
// The tables of the store and their versions. A database is created at the current
// version on first open and upgraded step by step, each step in a transaction of its own;
// one newer than this program knows is refused and left as it is.

#include <QString>

namespace store {

class Connection;

constexpr int kSchemaVersion = 4;

// Brings the database of `connection` to kSchemaVersion. Safe when many processes open
// the same database for the first time together: PostgreSQL serialises them with an
// advisory lock, SQLite with its write lock.
bool UpgradeSchema(const Connection& connection, QString& error);

// SQL written for PostgreSQL, as SQLite takes it: the few words that differ (column
// types, GREATEST/LEAST) are replaced here and nowhere else.
QString Dialect(const QString& sql, bool postgres);

} // namespace store
