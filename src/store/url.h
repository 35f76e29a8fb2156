#pragma once
// Where runs are stored: "sqlite:PATH" or "postgresql://[USER@]HOST[:PORT]/DB". Passwords
// never travel in a URL: libpq finds them (PGPASSWORD, ~/.pgpass) as it does for psql.

#include <QString>

namespace store {

struct Target {
    enum class Kind { Sqlite, Postgres } kind = Kind::Sqlite;
    QString path;                 // SQLite file
    QString host, database, user; // PostgreSQL; empty user: libpq's own (PGUSER, login name)
    int port = 5432;
    // The URL again, for messages and as the spool's name of the target (the port always
    // written, so that two spellings of one server are one target).
    QString Display() const;
};

bool ParseUrl(const QString& url, Target& out, QString& error);
// "sqlite:<folder>/results.sqlite"
QString DefaultUrl(const QString& recordsFolder);

} // namespace store
