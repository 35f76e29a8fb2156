#pragma once
// Where btrun keeps its runs: the database of --db (by default an SQLite file in the
// records folder) and, for a PostgreSQL server, the spool in the records folder that holds
// each run until the server has committed it. Also the device addresses of bdaddr_assign.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "run/operations.h"
#include "store/connection.h"
#include "store/spool.h"
#include "store/url.h"

namespace btrun {

class RunStore {
public:
    using SayFunc = std::function<void(const QString& line)>;

    RunStore(const store::Target& target, const QString& recordsFolder, SayFunc say);
    ~RunStore();
    RunStore(const RunStore&) = delete;
    RunStore& operator=(const RunStore&) = delete;

    // Keeps one run (its record text). False when the store refused it: the run then
    // counts as an error. A server out of reach is no failure: the run waits in the spool
    // and a line says so.
    bool Keep(const QString& runId, const QByteArray& record);
    // At the end of a run or loop: one more try for runs that only went into the spool
    // while the server was resting (below). False when the database refused them.
    bool Finish();

    // btrun --flush: uploads what waits in the spool, for the target given with --db
    // (`onlyTarget`) or for every target it holds. 0 when nothing waits afterwards, else 3.
    int Flush(bool onlyTarget);

    // btrun --release-address: 0 released, 1 not assigned, 3 store trouble, 64 bad text.
    int Release(const QString& addressText);

    // btrun --import: stores the run records in `paths` (files, or folders standing for their
    // *.json files) that the database lacks, straight into it (also a PostgreSQL server: the
    // records are safe in their files already). 0 every file added or present, 65 some were
    // no readable record (named, skipped, left as they are), 3 the store failed.
    int Import(const QStringList& paths);

    // bdaddr_assign's addresses. A PostgreSQL server is tried for about ten seconds
    // (cut short by `aborted`) before the step gives up.
    run::AddressSource Addresses(const QString& stationId, std::function<bool()> aborted);

private:
    bool Connect(QString& error);
    store::Spool& Spooled();
    void Tell(const store::Spool::Upload& up);

    store::Target target_;
    QString folder_;
    SayFunc say_;
    store::Connection connection_;
    std::unique_ptr<store::Spool> spool_;
    // Since the server was last found out of reach (invalid while it answers), and why.
    QElapsedTimer unreachableSince_;
    QString unreachable_;
    bool rested_ = false; // a run went into the spool untried while the server rested
};

} // namespace btrun
