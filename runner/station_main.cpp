#include "runner/station_main.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <deque>
#include <unistd.h>

#include "run/executor.h"
#include "runner/command_line.h"
#include "runner/exit_codes.h"
#include "runner/sinks.h"
#include "runner/station.h"
#include "store/url.h"

namespace btrun {

namespace {

constexpr int kInterruptPollMs = 50;

run::Outcome OutcomeOf(const QString& name) {
    for (run::Outcome o : {run::Outcome::Pass, run::Outcome::Fail, run::Outcome::Aborted})
        if (run::OutcomeName(o) == name) return o;
    return run::Outcome::Error;
}

// Lines of standard input wait their turn in order: one for a busy slot, a bare serial while
// no slot is idle, or a serial still under test holds those after it until a run ends.
class Console : public QObject {
public:
    Console(Station& station, bool quiet, std::function<bool()> interrupted)
        : station_(station), quiet_(quiet), interrupted_(std::move(interrupted)),
          input_(STDIN_FILENO, QSocketNotifier::Read) {
        connect(&input_, &QSocketNotifier::activated, this, &Console::ReadInput);
        connect(&station_, &Station::event, this, &Console::Heard);
        connect(&station_, &Station::stopped, this, &Console::Stopped);
        connect(&poll_, &QTimer::timeout, this, &Console::CheckInterrupt);
        poll_.start(kInterruptPollMs);
    }

    int Result() const { return result_; }

private:
    void ReadInput() {
        char bytes[4096];
        const ssize_t n = ::read(STDIN_FILENO, bytes, sizeof bytes);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
        if (n > 0) {
            buffer_.append(bytes, n);
        } else {
            input_.setEnabled(false);
            endOfInput_ = true;
            buffer_.append('\n');
        }
        for (qsizetype end; (end = buffer_.indexOf('\n')) >= 0;) {
            const QString line = QString::fromUtf8(buffer_.left(end)).trimmed();
            buffer_.remove(0, end + 1);
            if (!line.isEmpty()) waiting_.push_back(line);
        }
        Next();
    }

    // Starts what waits, as far as slots are free; at the end of input, stops the
    // station once every phone is done.
    void Next() {
        while (!waiting_.empty() && !interrupted_()) {
            const ScanResult r = station_.Scan(waiting_.front());
            if (r.kind == ScanResult::Kind::Busy || r.kind == ScanResult::Kind::AlreadyRunning)
                break;
            Refused(r, waiting_.front());
            waiting_.pop_front();
        }
        if (endOfInput_ && waiting_.empty() && !stopping_ && AllIdle()) {
            stopping_ = true;
            station_.Stop();
        }
    }

    void Refused(const ScanResult& r, const QString& line) {
        switch (r.kind) {
        case ScanResult::Kind::ToRepair:
            ++refused_;
            Say(QString("btrun: %1 failed %2 times: TO REPAIR (a supervisor releases it)")
                    .arg(r.serial)
                    .arg(r.failures));
            break;
        case ScanResult::Kind::UnknownSlot: {
            QStringList names;
            for (const SlotConfig& slot : station_.Config().slotList)
                names << slot.name;
            ++refused_;
            Say(QString("btrun: no slot %1 in station %2 (slots %3): %4 not started")
                    .arg(r.slot, station_.Config().stationId, names.join(", "), line));
            break;
        }
        case ScanResult::Kind::SlotDown:
            ++refused_;
            Say(QString("btrun: [%1] %2 not started").arg(r.slot, r.serial));
            break;
        default:
            break;
        }
    }

    bool AllIdle() const {
        for (const SlotConfig& slot : station_.Config().slotList)
            if (!station_.IsIdle(slot.name)) return false;
        return true;
    }

    void Heard(const SlotEvent& e) {
        const QString tag = e.slot.isEmpty() ? QString() : "[" + e.slot + "] ";
        if (e.kind == SlotEvent::Kind::Started && !quiet_)
            Say("btrun: " + tag + e.serial + " started");
        if (e.kind == SlotEvent::Kind::Message) {
            QString text = e.data.value("text").toString();
            if (text.startsWith("btrun: ")) text = text.mid(7);
            Say("btrun: " + tag + text);
        }
        if (e.kind == SlotEvent::Kind::Failed)
            Say("btrun: " + tag + e.data.value("why").toString());
        if (e.kind == SlotEvent::Kind::Finished) {
            Finished(tag, e);
            Next();
        }
    }

    void Finished(const QString& tag, const SlotEvent& e) {
        const QString outcome = e.data.value("outcome").toString();
        const QString why = e.data.value("why").toString();
        overall_ = run::Worse(overall_, OutcomeOf(outcome));
        QString line = "btrun: " + tag + e.serial + " " + outcome;
        if (!why.isEmpty() && outcome != "PASS") line += " (" + why + ")";
        line += QString(" in %1 s").arg(e.data.value("seconds").toDouble(), 0, 'f', 2);
        const QString record = e.data.value("record").toString();
        if (!record.isEmpty()) line += ", record " + record;
        const QStringList failures = e.data.value("failures").toVariant().toStringList();
        if (!failures.isEmpty()) {
            overall_ = run::Worse(overall_, run::Outcome::Error);
            line += " (" + failures.join(", ") + ": an error)";
        }
        Say(line);
    }

    void CheckInterrupt() {
        if (aborting_ || !interrupted_()) return;
        aborting_ = true;
        overall_ = run::Worse(overall_, run::Outcome::Aborted);
        input_.setEnabled(false);
        waiting_.clear();
        station_.AbortAll();
        stopping_ = true;
        station_.Stop();
    }

    void Stopped() {
        const ShiftCounters c = station_.Counters();
        if (!quiet_) {
            for (const SlotConfig& slot : station_.Config().slotList) {
                const SlotTimes t = station_.Times(slot.name);
                if (t.phones == 0) continue;
                QString line = QString("btrun: [%1] %2 phones in %3 s")
                                   .arg(slot.name)
                                   .arg(t.phones)
                                   .arg(t.testing, 0, 'f', 2);
                if (t.held > 0)
                    line += QString(", %1 s (%2 %) waiting for the test set")
                                .arg(t.waited, 0, 'f', 2)
                                .arg(t.testing > 0 ? 100.0 * t.waited / t.testing : 0, 0, 'f', 1);
                Say(line);
            }
        }
        if (c.tested > 0)
            Say(QString("btrun: station %1: %2 phones, %3 passed, %4 failed, %5 errors; first "
                        "pass yield %6 %; %7")
                    .arg(station_.Config().stationId)
                    .arg(c.tested)
                    .arg(c.passed)
                    .arg(c.failed)
                    .arg(c.errors)
                    .arg(c.FirstPassYield(), 0, 'f', 1)
                    .arg(run::OutcomeName(overall_)));
        if (c.tested == 0 && !aborting_) {
            Say(refused_ > 0 ? "btrun: no phone was tested"
                             : "btrun: no serial on standard input: no phone was tested");
            result_ = kExitBadInput;
        } else {
            result_ = run::ExitCodeOf(overall_);
        }
        QCoreApplication::exit(result_);
    }

    Station& station_;
    bool quiet_;
    std::function<bool()> interrupted_;
    QSocketNotifier input_;
    QTimer poll_;
    QByteArray buffer_;
    std::deque<QString> waiting_;
    bool endOfInput_ = false, stopping_ = false, aborting_ = false;
    int refused_ = 0;
    run::Outcome overall_ = run::Outcome::Pass;
    int result_ = kExitError;
};

} // namespace

int StationMain(const Settings& s, std::function<bool()> interrupted) {
    StationConfig config;
    QString error;
    if (!LoadStationConfig(s.stationConfig, config, error)) {
        Say("btrun: " + error);
        return kExitBadInput;
    }
    store::Target target;
    if (!s.db.isEmpty() && !store::ParseUrl(s.db, target, error)) return Usage("--db: " + error);
    if (!s.out.isEmpty()) config.recordsFolder = s.out;
    if (!s.db.isEmpty()) config.db = s.db;
    Station station(config, QCoreApplication::applicationFilePath(), QString());
    Console console(station, s.quiet, std::move(interrupted));
    if (!station.Start(error)) {
        Say("btrun: " + error);
        return kExitError;
    }
    return QCoreApplication::exec();
}

} // namespace btrun
