#pragma once
// Runs waiting for their database server: a local SQLite file (spool.sqlite in the records
// folder) that a run goes into first and leaves only once its server has committed it.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

#include "store/url.h"

namespace store {

class Connection;

class Spool {
public:
    using SayFunc = std::function<void(const QString& line)>;

    // `say` hears that a damaged spool file was set aside.
    explicit Spool(const QString& path, SayFunc say = {});
    ~Spool();
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    const QString& Path() const { return path_; }
    // Where a damaged spool file went (path_ + ".corrupt-<UTC time>"); empty when none was.
    const QString& SetAside() const { return setAside_; }
    // Keeps the record text of run `runId` for `target` (its Display()).
    bool Add(const QString& runId, const QString& target, const QByteArray& record, QString& error);

    struct Upload {
        int stored = 0;         // newly stored
        int already = 0;        // were stored before (a flush cut short after its commit)
        int left = 0;           // still waiting
        QString unreachable;    // why the server could not be reached, when it could not
        QStringList failures;   // why the database refused runs ("run <id>: why")
        QStringList failedRuns; // the runs it refused (they still wait)
    };
    // Uploads the runs waiting for `target`, oldest first, each in its own transaction,
    // each deleted here only after its commit. Opens `connection` when it is not open, and
    // opens it anew once when a write fails (a server that restarted).
    Upload Flush(const Target& target, Connection& connection);
    // The targets with runs waiting.
    QStringList Targets(QString& error);
    // How many runs wait for `target` (its Display()); -1 when the spool cannot be read.
    int Count(const QString& target);

private:
    // A damaged file (not a database, or failing its quick check) is set aside and a new one
    // made, so that the runs from now on are kept; the set-aside file's runs are still in
    // their record files (btrun --import).
    bool Open(QString& error);
    bool Create(QString& error, bool& damaged);
    void Drop();

    QString path_;
    QString name_;
    SayFunc say_;
    QString setAside_;
};

} // namespace store
