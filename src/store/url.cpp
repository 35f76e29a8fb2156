#include "store/url.h"

#include <QDir>
#include <QUrl>
#include <cstring>

namespace store {

namespace {

const char* const kForms = "sqlite:PATH or postgresql://[USER@]HOST[:PORT]/DB";

bool Fail(QString& error, const QString& why) {
    error = why;
    return false;
}

} // namespace

QString Target::Display() const {
    if (kind == Kind::Sqlite) return "sqlite:" + path;
    const QString at = user.isEmpty() ? QString() : user + "@";
    const QString h = host.contains(':') ? "[" + host + "]" : host;
    return QString("postgresql://%1%2:%3/%4").arg(at, h).arg(port).arg(database);
}

bool ParseUrl(const QString& url, Target& out, QString& error) {
    Target t;
    if (url.startsWith("sqlite:")) {
        t.path = url.mid(7);
        if (t.path.startsWith("//")) t.path = t.path.mid(2); // sqlite:///abs/file
        if (t.path.isEmpty()) return Fail(error, "sqlite: needs a file (sqlite:PATH)");
        out = t;
        return true;
    }
    QString rest;
    for (const char* scheme : {"postgresql://", "postgres://"})
        if (url.startsWith(scheme)) rest = url.mid(int(strlen(scheme)));
    if (rest.isEmpty())
        return Fail(error, QString("unknown database URL '%1' (use %2)").arg(url, kForms));
    t.kind = Target::Kind::Postgres;
    const qsizetype slash = rest.indexOf('/');
    QString authority = rest.left(slash);
    t.database = slash < 0 ? QString() : QUrl::fromPercentEncoding(rest.mid(slash + 1).toUtf8());
    const qsizetype at = authority.lastIndexOf('@');
    if (at >= 0) {
        const QString user = authority.left(at);
        // Not echoed: the text after the colon is a password.
        if (user.contains(':'))
            return Fail(error, "a password in the database URL is refused: libpq reads it from "
                               "PGPASSWORD or ~/.pgpass");
        t.user = QUrl::fromPercentEncoding(user.toUtf8());
        authority = authority.mid(at + 1);
    }
    if (t.database.isEmpty() || t.database.contains('/') || t.database.contains('?'))
        return Fail(
            error,
            QString("'%1' needs one database name after the host (use %2)").arg(url, kForms));
    QString port;
    if (authority.startsWith('[')) { // [::1]:5432
        const qsizetype close = authority.indexOf(']');
        if (close < 0) return Fail(error, QString("'%1': unclosed '[' in the host").arg(url));
        t.host = authority.mid(1, close - 1);
        if (authority.size() > close + 1) {
            if (authority[close + 1] != ':')
                return Fail(error, QString("'%1': ':' expected after ']'").arg(url));
            port = authority.mid(close + 2);
            if (port.isEmpty()) port = "?";
        }
    } else {
        const qsizetype colon = authority.indexOf(':');
        t.host = authority.left(colon);
        if (colon >= 0) port = authority.mid(colon + 1);
        if (colon >= 0 && port.isEmpty()) port = "?";
    }
    if (t.host.isEmpty())
        return Fail(error, QString("'%1' names no host (use %2)").arg(url, kForms));
    if (!port.isEmpty()) {
        bool ok = false;
        t.port = port.toInt(&ok);
        if (!ok || t.port < 1 || t.port > 65535)
            return Fail(error, QString("'%1': the port must be a number from 1 to 65535").arg(url));
    }
    out = t;
    return true;
}

QString DefaultUrl(const QString& recordsFolder) {
    return "sqlite:" + QDir(recordsFolder).filePath("results.sqlite");
}

} // namespace store
