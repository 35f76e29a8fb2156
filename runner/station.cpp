#include "runner/station.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <unistd.h>
#include <utility>

#include "run/plan.h"
#include "store/connection.h"
#include "store/spool.h"
#include "store/url.h"

namespace btrun {

namespace {

constexpr int kStartMs = 10000;
constexpr int kEndMs = 15000;
// A results store that could not be read is left alone this long.
constexpr qint64 kStoreRestMs = 30000;
// What goes into every record, for a btrun that knows these options (a worker older than
// the station leaves them out rather than refuse to start).
const char* const kRecordOptions[] = {"--slot", "--operator", "--part-number", "--revision",
                                      "--lot"};

// The whole lines at the start of `buffer`, trimmed, blank ones left out; taken out of it.
QList<QByteArray> TakeLines(QByteArray& buffer) {
    QList<QByteArray> lines;
    for (qsizetype end; (end = buffer.indexOf('\n')) >= 0; buffer.remove(0, end + 1)) {
        const QByteArray line = buffer.left(end).trimmed();
        if (!line.isEmpty()) lines << line;
    }
    return lines;
}

bool KindOf(const QString& name, SlotEvent::Kind& kind) {
    static const QHash<QString, SlotEvent::Kind> kinds = {
        {"started", SlotEvent::Kind::Started},
        {"step", SlotEvent::Kind::Step},
        {"measurement", SlotEvent::Kind::Measurement},
        {"step_done", SlotEvent::Kind::StepDone},
        {"finished", SlotEvent::Kind::Finished}};
    const auto it = kinds.find(name);
    if (it == kinds.end()) return false;
    kind = *it;
    return true;
}

} // namespace

struct Station::Impl {
    struct Slot {
        SlotConfig config;
        QProcess* worker = nullptr;
        QByteArray out, err; // what the worker wrote that is not a whole line yet
        QString serial;      // the phone under test; empty while idle
        bool ending = false; // aborted or stopped: its end is expected
        bool running = false; // the worker said its phone's run began
        // Aborted before the worker began the run of the serial it was given: the abort goes
        // to the worker once it has, so that the phone's record is written (ABORTED).
        bool abortWhenStarted = false;
        SlotTimes times;
    };

    Impl(Station& station, StationConfig c, QString program, QString name)
        : q(station), config(std::move(c)), btrun(std::move(program)),
          operatorName(std::move(name)) {
        for (const SlotConfig& s : config.slotList)
            slotStates.push_back({s, nullptr, {}, {}, {}, false, false, false, {}});
        QFile file(config.plan);
        if (file.open(QIODevice::ReadOnly))
            planSha256 = QString::fromLatin1(
                QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
        run::Plan plan;
        QString error;
        if (run::LoadPlan(config.plan, plan, error)) planName = plan.name;
        // The station file's URL was checked when it was read.
        const QString folder = config.recordsFolder.isEmpty() ? "results" : config.recordsFolder;
        store::ParseUrl(config.db.isEmpty() ? store::DefaultUrl(folder) : config.db, target, error);
    }

    Slot* Find(const QString& name) {
        for (Slot& s : slotStates)
            if (s.config.name == name) return &s;
        return nullptr;
    }

    // One test set shared by stations on this PC is one lock for all of them; the built-in
    // test sets stand for one instrument of this station only.
    QString LockPath() const {
        if (config.tester.isEmpty()) return lockDir.filePath("tester.lock");
        const QByteArray key =
            QCryptographicHash::hash(config.tester.toLower().toUtf8(), QCryptographicHash::Sha256);
        return QDir::temp().filePath("btrun-tester-" + key.toHex().left(16) + ".lock");
    }

    QStringList WorkerArguments(const Slot& slot) const {
        const SlotConfig& c = slot.config;
        QStringList a{config.plan,
                      "--loop",
                      "--events",
                      "--station",
                      config.stationId,
                      "--interface-kind",
                      QString::number(c.interfaceKind),
                      "--tester-lock",
                      LockPath()};
        if (!config.recordsFolder.isEmpty()) a << "--out" << config.recordsFolder;
        if (!c.port.isEmpty()) a << "--port" << c.port;
        if (!c.unitProfile.isEmpty()) a << "--sim-unit" << c.unitProfile;
        if (!c.fixture.isEmpty()) a << "--fixture" << c.fixture;
        if (!config.testerProfile.isEmpty())
            a << "--tester" << config.tester << "--tester-profile" << config.testerProfile;
        else if (!config.tester.isEmpty())
            a << "--tester" << config.tester << "--reference-power"
              << QString::number(config.referencePower);
        if (!config.db.isEmpty()) a << "--db" << config.db;
        const QStringList values = {c.name, operatorName, config.partNumber, config.revision,
                                    config.lot};
        for (int i = 0; i < values.size(); ++i)
            if (knownOptions.contains(kRecordOptions[i]) && !values[i].isEmpty())
                a << kRecordOptions[i] << values[i];
        return a;
    }

    bool StartWorker(std::size_t index, QString& error) {
        Slot& slot = slotStates[index];
        auto* worker = new QProcess(&q);
        worker->setProgram(btrun);
        worker->setArguments(WorkerArguments(slot));
        // A process group of its own: a Ctrl-C at the terminal reaches the station alone,
        // which aborts each slot once (a second SIGINT would kill a worker outright).
        worker->setChildProcessModifier([] { ::setpgid(0, 0); });
        QObject::connect(worker, &QProcess::readyReadStandardOutput, &q,
                         [this, index] { ReadEvents(index); });
        QObject::connect(worker, &QProcess::readyReadStandardError, &q,
                         [this, index] { ReadMessages(index); });
        QObject::connect(
            worker, &QProcess::finished, &q,
            [this, index](int code, QProcess::ExitStatus status) { Ended(index, code, status); });
        worker->start();
        if (!worker->waitForStarted(kStartMs)) {
            error = QString("slot %1: cannot start %2: %3")
                        .arg(slot.config.name, btrun, worker->errorString());
            worker->disconnect();
            delete worker;
            return false;
        }
        slot.worker = worker;
        slot.ending = false;
        slot.running = false;
        slot.abortWhenStarted = false;
        return true;
    }

    void Emit(SlotEvent::Kind kind, const Slot* slot, const QString& serial, QJsonObject data) {
        emit q.event(SlotEvent{kind, slot ? slot->config.name : QString(), serial, data});
    }

    void ReadEvents(std::size_t index) {
        Slot& slot = slotStates[index];
        if (slot.worker) slot.out += slot.worker->readAllStandardOutput();
        for (const QByteArray& line : TakeLines(slot.out))
            Heard(slot, line);
    }

    void ReadMessages(std::size_t index) {
        Slot& slot = slotStates[index];
        if (slot.worker) slot.err += slot.worker->readAllStandardError();
        for (const QByteArray& line : TakeLines(slot.err))
            Emit(SlotEvent::Kind::Message, &slot, slot.serial, {{"text", QString::fromUtf8(line)}});
    }

    void Heard(Slot& slot, const QByteArray& line) {
        const QJsonObject data = QJsonDocument::fromJson(line).object();
        SlotEvent::Kind kind;
        if (!KindOf(data.value("event").toString(), kind)) {
            Emit(SlotEvent::Kind::Message, &slot, slot.serial, {{"text", QString::fromUtf8(line)}});
            return;
        }
        QString serial = data.value("serial").toString();
        if (serial.isEmpty()) serial = slot.serial;
        if (kind == SlotEvent::Kind::Finished) Count(slot, serial, data);
        if (kind == SlotEvent::Kind::Started) slot.running = true;
        if (kind == SlotEvent::Kind::Started && std::exchange(slot.abortWhenStarted, false) &&
            slot.worker)
            ::kill(static_cast<pid_t>(slot.worker->processId()), SIGINT);
        Emit(kind, &slot, serial, data);
    }

    // A run is over: the slot is idle again before anyone hears of it, so that the next
    // serial can go to it at once.
    void Count(Slot& slot, const QString& serial, const QJsonObject& data) {
        slot.serial.clear();
        slot.running = false;
        const QString outcome = data.value("outcome").toString();
        ++counters.tested;
        if (outcome == "PASS") {
            ++counters.passed;
        } else if (outcome == "FAIL") {
            ++counters.failed;
            ++shiftFailures[serial];
        } else {
            ++counters.errors;
        }
        if (!seen.contains(serial)) {
            seen.insert(serial);
            ++counters.firstPassTested;
            if (outcome == "PASS") ++counters.firstPassPassed;
        }
        ++slot.times.phones;
        slot.times.testing += data.value("seconds").toDouble();
        slot.times.waited += data.value("tester_wait_s").toDouble();
        slot.times.held += data.value("tester_held_s").toDouble();
        if (!data.value("tester").toString().isEmpty())
            testerIdentity = data.value("tester").toString();
    }

    void Ended(std::size_t index, int code, QProcess::ExitStatus status) {
        ReadEvents(index);
        ReadMessages(index);
        Slot& slot = slotStates[index];
        slot.worker->deleteLater();
        slot.worker = nullptr;
        const QString why = status == QProcess::CrashExit
                                ? QString("the slot's btrun stopped abnormally")
                                : QString("the slot's btrun ended with exit status %1").arg(code);
        // A run cut off without its end: no record came of it.
        if (!slot.serial.isEmpty()) {
            const QJsonObject data{{"event", "finished"},
                                   {"serial", slot.serial},
                                   {"outcome", "ERROR"},
                                   {"why", why + " during the run"},
                                   {"record", ""}};
            const QString serial = slot.serial;
            Count(slot, serial, data);
            Emit(SlotEvent::Kind::Finished, &slot, serial, data);
        }
        if (!slot.ending && !stopping) Emit(SlotEvent::Kind::Failed, &slot, {}, {{"why", why}});
        if (stopping && std::all_of(slotStates.begin(), slotStates.end(),
                                    [](const Slot& s) { return s.worker == nullptr; }))
            emit q.stopped();
    }

    void StoreTrouble(const QString& why) {
        db.Close();
        storeError = why;
        storeRest.start();
        Emit(SlotEvent::Kind::Message, nullptr, {},
             {{"text", "cannot read the results store: " + why +
                           ": failures are counted from this shift only"}});
    }

    bool OpenStore() {
        QString why;
        if (db.IsOpen()) return true;
        if (storeRest.isValid() && storeRest.elapsed() < kStoreRestMs) return false;
        if (db.Open(target, why)) return true;
        StoreTrouble(why);
        return false;
    }

    // FAIL runs of the serial in the store since its last release (a run a supervisor
    // released; a store that keeps no releases knows none).
    int StoreFailures(const QString& serial) {
        if (!OpenStore()) return 0;
        QSqlQuery query(db.Db());
        QVariant since;
        query.prepare("SELECT MAX(start_time) FROM runs WHERE dut_id = ? AND released_by <> ''");
        query.addBindValue(serial);
        if (query.exec() && query.next()) since = query.value(0);
        query.prepare(QString("SELECT COUNT(*) FROM runs WHERE dut_id = ? AND outcome = 'FAIL'") +
                      (since.isNull() ? "" : " AND start_time >= ?"));
        query.addBindValue(serial);
        if (!since.isNull()) query.addBindValue(since);
        if (query.exec() && query.next()) return query.value(0).toInt();
        StoreTrouble(store::Why(query));
        return 0;
    }

    int Failures(const QString& serial) {
        if (!storeFailures.contains(serial)) storeFailures.insert(serial, StoreFailures(serial));
        return storeFailures.value(serial) + shiftFailures.value(serial);
    }

    Station& q;
    StationConfig config;
    QString btrun, operatorName;
    std::vector<Slot> slotStates;
    QSet<QString> knownOptions;
    QTemporaryDir lockDir;
    ShiftCounters counters;
    QHash<QString, int> storeFailures, shiftFailures;
    QSet<QString> seen;
    QHash<QString, QString> releasedBy;
    store::Target target;
    store::Connection db;
    QElapsedTimer storeRest; // since the store could not be read
    QString storeError;
    QString testerIdentity, planName, planSha256;
    bool stopping = false;
};

Station::Station(StationConfig config, QString btrunPath, QString operatorName, QObject* parent)
    : QObject(parent), impl_(std::make_unique<Impl>(*this, std::move(config), std::move(btrunPath),
                                                    std::move(operatorName))) {}

// Workers still running are aborted and waited for: their records are whole or absent.
Station::~Station() {
    for (Impl::Slot& slot : impl_->slotStates) {
        if (!slot.worker) continue;
        slot.worker->disconnect();
        ::kill(static_cast<pid_t>(slot.worker->processId()), SIGINT);
        slot.worker->closeWriteChannel();
        if (!slot.worker->waitForFinished(kEndMs)) slot.worker->kill();
        slot.worker->waitForFinished(kEndMs);
        delete slot.worker;
    }
}

const StationConfig& Station::Config() const {
    return impl_->config;
}

bool Station::Start(QString& error) {
    if (!impl_->lockDir.isValid()) {
        error = "cannot make a folder for the test set's lock: " + impl_->lockDir.errorString();
        return false;
    }
    QProcess help;
    help.start(impl_->btrun, {"--help"});
    if (!help.waitForFinished(kStartMs)) {
        error = QString("cannot start %1: %2").arg(impl_->btrun, help.errorString());
        return false;
    }
    const QString options = QString::fromUtf8(help.readAllStandardOutput());
    for (const char* option : kRecordOptions)
        if (options.contains(QRegularExpression(QString("(^|\\s)%1\\s").arg(option))))
            impl_->knownOptions.insert(option);
    impl_->stopping = false;
    for (std::size_t i = 0; i < impl_->slotStates.size(); ++i)
        if (!impl_->slotStates[i].worker && !impl_->StartWorker(i, error)) return false;
    return true;
}

ScanResult Station::Scan(const QString& line) {
    ScanResult r;
    const QString text = line.trimmed();
    const qsizetype colon = text.indexOf(':');
    Impl::Slot* slot = nullptr;
    r.serial = colon < 0 ? text : text.mid(colon + 1).trimmed();
    if (colon >= 0) {
        r.slot = text.left(colon).trimmed();
        slot = impl_->Find(r.slot);
        if (!slot) r.kind = ScanResult::Kind::UnknownSlot;
    }
    if (r.serial.isEmpty() || r.kind == ScanResult::Kind::UnknownSlot) return r;
    for (const Impl::Slot& s : impl_->slotStates)
        if (s.serial == r.serial) {
            r.slot = s.config.name;
            r.kind = ScanResult::Kind::AlreadyRunning;
            return r;
        }
    for (Impl::Slot& s : impl_->slotStates)
        if (!slot && s.serial.isEmpty()) slot = &s;
    r.failures = impl_->Failures(r.serial);
    if (r.failures >= impl_->config.retestLimit) {
        // The slot it would have gone to shows it (none when every slot is busy).
        if (slot) r.slot = slot->config.name;
        r.kind = ScanResult::Kind::ToRepair;
        return r;
    }
    if (!slot || !slot->serial.isEmpty() || impl_->stopping) {
        r.kind = ScanResult::Kind::Busy;
        return r;
    }
    r.slot = slot->config.name;
    QString why;
    if (!slot->worker && !impl_->StartWorker(std::size_t(slot - impl_->slotStates.data()), why)) {
        impl_->Emit(SlotEvent::Kind::Failed, slot, r.serial, {{"why", why}});
        r.kind = ScanResult::Kind::SlotDown;
        return r;
    }
    QJsonObject order{{"serial", r.serial}};
    if (impl_->releasedBy.contains(r.serial))
        order.insert("released_by", impl_->releasedBy.take(r.serial));
    slot->worker->write(QJsonDocument(order).toJson(QJsonDocument::Compact) + '\n');
    slot->serial = r.serial;
    r.kind = ScanResult::Kind::Started;
    return r;
}

void Station::Release(const QString& serial, const QString& supervisor) {
    impl_->storeFailures.insert(serial, 0);
    impl_->shiftFailures.remove(serial);
    impl_->releasedBy.insert(serial, supervisor);
}

void Station::Abort(const QString& slot) {
    Impl::Slot* s = impl_->Find(slot);
    if (!s || !s->worker) return;
    s->ending = true;
    if (!s->serial.isEmpty() && !s->running)
        s->abortWhenStarted = true;
    else
        ::kill(static_cast<pid_t>(s->worker->processId()), SIGINT);
}

void Station::AbortAll() {
    for (const SlotConfig& slot : impl_->config.slotList)
        Abort(slot.name);
}

void Station::Stop() {
    impl_->stopping = true;
    bool running = false;
    for (Impl::Slot& slot : impl_->slotStates)
        if (slot.worker) {
            slot.worker->closeWriteChannel();
            running = true;
        }
    if (!running) QTimer::singleShot(0, this, &Station::stopped);
}

bool Station::IsIdle(const QString& slot) const {
    const Impl::Slot* s = impl_->Find(slot);
    return s && s->serial.isEmpty();
}

ShiftCounters Station::Counters() const {
    return impl_->counters;
}

SlotTimes Station::Times(const QString& slot) const {
    const Impl::Slot* s = impl_->Find(slot);
    return s ? s->times : SlotTimes{};
}

QString Station::PlanName() const {
    return impl_->planName;
}

QString Station::PlanSha256() const {
    return impl_->planSha256;
}

QString Station::TesterIdentity() const {
    return impl_->testerIdentity;
}

QString Station::StoreState() const {
    if (impl_->target.kind == store::Target::Kind::Postgres) {
        const QString folder =
            impl_->config.recordsFolder.isEmpty() ? "results" : impl_->config.recordsFolder;
        store::Spool spool(QDir(folder).filePath("spool.sqlite"));
        const int waiting = spool.Count(impl_->target.Display());
        if (waiting > 0) return QString("%1 runs waiting in the spool").arg(waiting);
    }
    return impl_->OpenStore() ? QString("connected") : "not reached: " + impl_->storeError;
}

} // namespace btrun
