#pragma once
// btrun as a line PC runs it (no display, no Qt platform), and what it left behind: its
// exit status and standard error, its JSON records, rows of its database.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

struct Finished {
    int exit = -1;
    QString err;
    QString out;
};

// `vars` ("NAME=value") are set for this run only.
inline Finished RunBtrun(const QStringList& args, const QByteArray& input = {},
                         const QString& cwd = {}, const QStringList& vars = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    for (const QString& var : vars)
        env.insert(var.section('=', 0, 0), var.section('=', 1));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(cwd);
    p.start(BTRUN_PATH, args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError()),
            QString::fromUtf8(p.readAllStandardOutput())};
}

inline QJsonObject ReadJson(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

// The first column of every row of `sql`, in an SQLite file ("sqlite:PATH") or on a
// PostgreSQL server (its URL; the login from PGUSER/PGPASSWORD). With `mustWork` false a
// query that fails (no table yet) gives no rows quietly.
inline QStringList Column(const QString& url, const QString& sql, bool mustWork = true) {
    QStringList values;
    {
        const bool pg = url.startsWith("postgresql:");
        QSqlDatabase db = QSqlDatabase::addDatabase(pg ? "QPSQL" : "QSQLITE", "check");
        const QUrl u(url);
        db.setHostName(u.host());
        db.setPort(u.port());
        db.setDatabaseName(pg ? u.path().mid(1) : url.mid(7));
        EXPECT_TRUE(db.open() || !mustWork) << url.toStdString();
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(sql) || !mustWork) << sql.toStdString();
        while (q.next())
            values << q.value(0).toString();
    }
    QSqlDatabase::removeDatabase("check");
    return values;
}

// A test with a folder of its own for plans, records and databases.
class BtrunFolder : public testing::Test {
protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Write(const QString& name, const QByteArray& text) const {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return Path(name);
    }
    QTemporaryDir dir_;
};
