#include "runner/run_store.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <thread>

#include "runner/exit_codes.h"
#include "store/addresses.h"
#include "store/spool.h"
#include "store/writer.h"

namespace btrun {

namespace {

constexpr qint64 kAddressPatienceMs = 10000;
constexpr qint64 kServerRestMs = 30000;
// A file this large is no record btrun wrote (a long log is a few hundred kilobytes).
constexpr qint64 kLargestRecord = qint64(64) << 20;

bool IsPostgres(const store::Target& t) {
    return t.kind == store::Target::Kind::Postgres;
}

// What an upload leaves to say, in one line: why the database refused runs (an error: they
// wait in the spool until the fault is mended), else why runs wait for the server. Runs left
// for no reason of ours are another btrun's, uploading them as we speak: nothing to say.
QString Left(const store::Spool::Upload& up, const QString& spool) {
    if (!up.failures.isEmpty())
        return "btrun: cannot store: " + up.failures.join("; ") +
               (up.left > 0 ? QString(" (%1 runs wait in %2)").arg(up.left).arg(spool) : "");
    if (up.left == 0 || up.unreachable.isEmpty()) return {};
    return QString("btrun: %1 runs waiting in %2: %3").arg(up.left).arg(spool, up.unreachable);
}

} // namespace

RunStore::RunStore(const store::Target& target, const QString& recordsFolder, SayFunc say)
    : target_(target), folder_(recordsFolder), say_(std::move(say)) {}

RunStore::~RunStore() = default;

bool RunStore::Connect(QString& error) {
    return connection_.IsOpen() || connection_.Open(target_, error);
}

store::Spool& RunStore::Spooled() {
    if (!spool_)
        spool_ = std::make_unique<store::Spool>(QDir(folder_).filePath("spool.sqlite"), say_);
    return *spool_;
}

void RunStore::Tell(const store::Spool::Upload& up) {
    const QString line = Left(up, Spooled().Path());
    if (!line.isEmpty()) say_(line);
}

bool RunStore::Keep(const QString& runId, const QByteArray& record) {
    QString error;
    if (!IsPostgres(target_)) {
        // The local file is its own spool.
        if (Connect(error)) {
            const store::WriteResult result = store::StoreRecordText(connection_, record, error);
            if (result == store::WriteResult::Stored || result == store::WriteResult::AlreadyStored)
                return true;
            error = target_.Display() + ": " + error;
        }
        say_(QString("btrun: cannot store run %1: %2").arg(runId, error));
        connection_.Close();
        return false;
    }
    store::Spool& spool = Spooled();
    if (!spool.Add(runId, target_.Display(), record, error)) {
        say_("btrun: cannot spool the run: " + error);
        return false;
    }
    // A server out of reach is left to rest for a while: a station whose network is down
    // would otherwise wait for the connect timeout on every phone.
    if (unreachableSince_.isValid() && unreachableSince_.elapsed() < kServerRestMs) {
        store::Spool::Upload waiting;
        waiting.left = spool.Count(target_.Display());
        waiting.unreachable = unreachable_;
        Tell(waiting);
        rested_ = true;
        return true;
    }
    const store::Spool::Upload up = spool.Flush(target_, connection_);
    Tell(up);
    rested_ = false;
    unreachable_ = up.unreachable;
    if (up.unreachable.isEmpty())
        unreachableSince_.invalidate();
    else
        unreachableSince_.start();
    return !up.failedRuns.contains(runId);
}

bool RunStore::Finish() {
    // Only runs spooled while the server rested are untried; the others said their line.
    if (!rested_) return true;
    rested_ = false;
    const store::Spool::Upload up = Spooled().Flush(target_, connection_);
    if (up.stored > 0)
        say_(QString("btrun: uploaded %1 runs to %2").arg(up.stored).arg(target_.Display()));
    if (up.stored > 0 || !up.failures.isEmpty()) Tell(up);
    return up.failedRuns.isEmpty();
}

int RunStore::Flush(bool onlyTarget) {
    store::Spool& spool = Spooled();
    QString error;
    QStringList targets = onlyTarget ? QStringList{target_.Display()} : spool.Targets(error);
    if (!error.isEmpty()) {
        say_("btrun: " + error);
        return kExitError;
    }
    if (!QFileInfo::exists(spool.Path()) || (onlyTarget && !IsPostgres(target_))) targets.clear();
    if (targets.isEmpty()) {
        say_(QString("btrun: no runs waiting in %1").arg(spool.Path()));
        return spool.SetAside().isEmpty() ? 0 : kExitError;
    }
    int left = 0;
    for (const QString& url : targets) {
        store::Target target;
        if (!store::ParseUrl(url, target, error)) {
            say_(QString("btrun: %1 in %2: %3").arg(url, spool.Path(), error));
            ++left;
            continue;
        }
        store::Connection connection;
        const store::Spool::Upload up = spool.Flush(target, connection);
        if (up.stored + up.already + up.left == 0 && up.failures.isEmpty()) {
            say_(QString("btrun: no runs waiting in %1 for %2").arg(spool.Path(), url));
            continue;
        }
        QString line = QString("btrun: uploaded %1 runs to %2").arg(up.stored).arg(url);
        if (up.already > 0) line += QString(" (%1 more were stored before)").arg(up.already);
        say_(line);
        Tell(up);
        left += up.left;
    }
    // A damaged spool set aside leaves its runs behind, for --import.
    return left == 0 && spool.SetAside().isEmpty() ? 0 : kExitError;
}

int RunStore::Release(const QString& addressText) {
    uint64_t address = 0;
    if (!store::ParseAddress(addressText, address)) {
        say_(QString("btrun: '%1' is not a device address (12 hex digits, e.g. 001A7D000100)")
                 .arg(addressText));
        return kExitUsage;
    }
    QString error, dutId;
    if (!Connect(error)) {
        say_("btrun: " + error);
        return kExitError;
    }
    switch (store::ReleaseAddress(connection_, address, dutId, error)) {
    case store::ReleaseResult::Released:
        say_(QString("btrun: released %1 (held by %2)").arg(store::AddressText(address), dutId));
        return 0;
    case store::ReleaseResult::Unknown:
        say_(QString("btrun: %1 in %2").arg(error, target_.Display()));
        return kExitNotFound;
    default:
        say_(QString("btrun: %1: %2").arg(target_.Display(), error));
        return kExitError;
    }
}

int RunStore::Import(const QStringList& paths) {
    QStringList files;
    for (const QString& path : paths) {
        if (!QFileInfo(path).isDir()) {
            files << path;
            continue;
        }
        const QDir folder(path);
        for (const QString& name : folder.entryList({"*.json"}, QDir::Files, QDir::Name))
            files << folder.filePath(name);
    }
    QString error;
    if (!Connect(error)) {
        say_(QString("btrun: %1 (nothing imported)").arg(error));
        return kExitError;
    }
    int added = 0, present = 0, unreadable = 0;
    const auto summary = [&] {
        say_(QString("btrun: imported into %1: %2 added, %3 already present, %4 unreadable")
                 .arg(target_.Display())
                 .arg(added)
                 .arg(present)
                 .arg(unreadable));
    };
    for (qsizetype i = 0; i < files.size(); ++i) {
        QFile file(files[i]);
        store::WriteResult result = store::WriteResult::BadRecord;
        if (!file.open(QIODevice::ReadOnly))
            error = file.errorString();
        else if (file.size() > kLargestRecord)
            error = "larger than any run record";
        else
            result = store::StoreRecordText(connection_, file.readAll(), error);
        switch (result) {
        case store::WriteResult::Stored:
            ++added;
            break;
        case store::WriteResult::AlreadyStored:
            ++present;
            break;
        case store::WriteResult::BadRecord:
            ++unreadable;
            say_(QString("btrun: skipped %1: %2").arg(files[i], error));
            break;
        case store::WriteResult::Failed:
            say_(QString("btrun: cannot store %1: %2: %3 (%4 files not tried)")
                     .arg(files[i], target_.Display(), error)
                     .arg(files.size() - i - 1));
            summary();
            return kExitError;
        }
    }
    summary();
    return unreadable > 0 ? kExitBadInput : 0;
}

run::AddressSource RunStore::Addresses(const QString& stationId, std::function<bool()> aborted) {
    return [this, stationId, aborted](const QString& dutId, uint64_t first, uint64_t last,
                                      uint64_t& address, QString& error) {
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            QString why;
            bool refused = false;
            if (!Connect(why)) {
                refused = !connection_.OutOfReach();
            } else {
                const store::AssignResult result =
                    store::AssignAddress(connection_, dutId, stationId, first, last, address, why);
                if (result == store::AssignResult::Assigned) {
                    unreachableSince_.invalidate(); // the server is back
                    return true;
                }
                if (result == store::AssignResult::UsedUp) {
                    error = why;
                    return false;
                }
                why = target_.Display() + ": " + why;
                connection_.Close();
            }
            // Only a server out of reach can come back; a local file that fails or a login
            // that is refused keeps failing.
            if (!IsPostgres(target_) || refused || waited.elapsed() >= kAddressPatienceMs ||
                (aborted && aborted())) {
                error = "no address from the store: " + why;
                return false;
            }
            for (int i = 0; i < 10 && !(aborted && aborted()); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    };
}

} // namespace btrun
