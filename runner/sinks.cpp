#include "runner/sinks.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <span>

#include "run/record.h"
#include "runner/run_store.h"
#include "runner/run_tester.h"
#include "trace/btsnoop.h"

namespace btrun {

void Say(const QString& line) {
    std::fputs(qPrintable(line + '\n'), stderr);
    std::fflush(stderr);
}

void Sinks::Attach(run::RunOptions& options, bool wantsHci) {
    options.stepStarted = [this](const run::Step& step, int index, int count) {
        for (const auto& sink : sinks_)
            sink->StepStarted(step, index, count);
    };
    options.stepDone = [this](const run::PhaseRecord& phase, int index, int count) {
        for (const auto& sink : sinks_)
            sink->StepDone(phase, index, count);
    };
    if (wantsHci)
        options.hciTraffic = [this](const QByteArray& bytes, bool answer) {
            for (const auto& sink : sinks_)
                sink->HciTraffic(bytes, answer);
        };
}

void Sinks::RunStarted(const QString& serial) {
    for (const auto& sink : sinks_)
        sink->RunStarted(serial);
}

bool Sinks::RunDone(const run::RunRecord& record) {
    FinishedRun run{record, {}, {}};
    bool ok = true;
    for (const auto& sink : sinks_)
        ok = sink->RunDone(run) && ok;
    return ok;
}

run::Outcome Sinks::AllDone(int phones, run::Outcome overall) {
    for (const auto& sink : sinks_)
        if (!sink->AllDone(phones, overall)) overall = run::Worse(overall, run::Outcome::Error);
    return overall;
}

namespace {

// Why a run did not pass: each failing measurement with its value and limits, and each
// step's error; `failed` counts the steps that failed or erred.
QStringList WhyNot(const run::RunRecord& r, int& failed) {
    QStringList why;
    failed = 0;
    for (const run::PhaseRecord& p : r.phases) {
        if (p.outcome != run::Outcome::Fail && p.outcome != run::Outcome::Error) continue;
        ++failed;
        for (const run::MeasurementRecord& m : p.measurements)
            if (!m.judgement.pass) why << run::DescribeMeasurement(m);
        if (!p.error.isEmpty()) why << p.name + ": " + p.error;
    }
    return why;
}

class RecordFile : public Sink {
public:
    RecordFile(QString path, QString folder) : path_(std::move(path)), folder_(std::move(folder)) {}
    bool RunDone(FinishedRun& run) override {
        const QString wanted =
            !path_.isEmpty() ? path_
                             : run::DefaultRecordPath(folder_, run.record.dutId, run.record.start);
        QString why;
        if (run::WriteRecord(wanted, run.record, run.recordPath, why)) return true;
        Say("btrun: cannot write the record: " + why);
        run.failures << "no record file";
        return false;
    }

private:
    QString path_, folder_;
};

class Store : public Sink {
public:
    explicit Store(RunStore& store) : store_(store) {}
    bool RunDone(FinishedRun& run) override {
        if (store_.Keep(run.record.runId, run::RecordText(run.record))) return true;
        run.failures << "not stored";
        return false;
    }
    bool AllDone(int, run::Outcome) override { return store_.Finish(); }

private:
    RunStore& store_;
};

class Console : public Sink {
public:
    Console(bool quiet, bool loop) : quiet_(quiet), loop_(loop) {}
    void StepDone(const run::PhaseRecord& phase, int index, int count) override {
        if (!quiet_) Say(StepLine(phase, index, count));
    }
    bool RunDone(FinishedRun& run) override {
        QString line = Summary(run.record, run.recordPath);
        // The phone's outcome stands; the exit status counts the run as an error.
        if (!run.failures.isEmpty()) line += " (" + run.failures.join(", ") + ": an error)";
        Say(line);
        return true;
    }
    bool AllDone(int phones, run::Outcome overall) override {
        if (loop_ && !quiet_ && phones > 0)
            Say(QString("btrun: %1 phones, %2").arg(phones).arg(run::OutcomeName(overall)));
        return true;
    }

private:
    static QString StepLine(const run::PhaseRecord& phase, int index, int count) {
        const int width = static_cast<int>(QString::number(count).size());
        const QString line = QString("[%1/%2] %3 %4")
                                 .arg(index + 1, width)
                                 .arg(count)
                                 .arg(phase.name.leftJustified(32, '.'))
                                 .arg(run::OutcomeName(phase.outcome));
        QStringList notes;
        for (const run::MeasurementRecord& m : phase.measurements)
            if (!m.judgement.pass || m.judgement.marginal)
                notes << (m.judgement.pass ? "marginal: " : "") + run::DescribeMeasurement(m);
        if (!phase.error.isEmpty()) notes << phase.error;
        if (phase.attempts > 1) notes << QString("after %1 attempts").arg(phase.attempts);
        return notes.isEmpty() ? line : line + "  " + notes.join("; ");
    }

    static QString Summary(const run::RunRecord& r, const QString& path) {
        int failed = 0;
        const QStringList why = WhyNot(r, failed);
        QString line = QString("btrun: %1 %2").arg(r.dutId, run::OutcomeName(r.outcome));
        if (failed > 0)
            line += QString(" (%1 of %2 steps: %3)")
                        .arg(failed)
                        .arg(r.phases.size())
                        .arg(why.join("; "));
        line += QString(" in %1 s").arg(double(r.start.msecsTo(r.end)) / 1000.0, 0, 'f', 2);
        return path.isEmpty() ? line : line + ", record " + path;
    }

    bool quiet_, loop_;
};

class JUnit : public Sink {
public:
    explicit JUnit(QString path) : path_(std::move(path)) {}
    bool RunDone(FinishedRun& run) override {
        records_.push_back(run.record);
        QString why;
        if (run::WriteJUnit(path_, records_, why)) return true;
        Say("btrun: cannot write the JUnit file: " + why);
        return false;
    }

private:
    QString path_;
    std::vector<run::RunRecord> records_;
};

class Btsnoop : public Sink {
public:
    explicit Btsnoop(bttrace::BtsnoopWriter& trace) : trace_(trace) {}
    void HciTraffic(const QByteArray& bytes, bool answer) override {
        const std::span<const uint8_t> data(reinterpret_cast<const uint8_t*>(bytes.data()),
                                            size_t(bytes.size()));
        if (answer)
            trace_.RecordAnswer(data);
        else
            trace_.RecordCommand(data);
    }

private:
    bttrace::BtsnoopWriter& trace_;
};

class Events : public Sink {
public:
    explicit Events(const RunTester* tester) : tester_(tester) {}
    void RunStarted(const QString& serial) override {
        Emit({{"event", "started"}, {"serial", serial}});
    }
    void StepStarted(const run::Step& step, int index, int count) override {
        Emit({{"event", "step"}, {"index", index}, {"count", count}, {"name", step.name}});
    }
    void StepDone(const run::PhaseRecord& phase, int index, int) override {
        for (const run::MeasurementRecord& m : phase.measurements) {
            QJsonObject e{{"event", "measurement"},
                          {"step", phase.name},
                          {"name", m.name},
                          {"value", m.value.isUndefined() ? QJsonValue() : m.value},
                          {"units", m.units}};
            if (m.validator)
                for (const char* key : {"min", "max", "marginal", "equals", "matches"})
                    if (m.validator->given.contains(key)) e[key] = m.validator->given.value(key);
            e["outcome"] = m.judgement.pass ? "PASS" : "FAIL";
            e["marginal_flag"] = m.judgement.marginal;
            Emit(e);
        }
        QJsonObject done{{"event", "step_done"},
                         {"index", index},
                         {"name", phase.name},
                         {"outcome", run::OutcomeName(phase.outcome)}};
        if (!phase.error.isEmpty()) done["error"] = phase.error;
        Emit(done);
    }
    bool RunDone(FinishedRun& run) override {
        const run::RunRecord& r = run.record;
        int failed = 0;
        QJsonObject e{{"event", "finished"},
                      {"serial", r.dutId},
                      {"outcome", run::OutcomeName(r.outcome)},
                      {"why", WhyNot(r, failed).join("; ")},
                      {"record", run.recordPath},
                      {"seconds", double(r.start.msecsTo(r.end)) / 1000.0}};
        if (!run.failures.isEmpty()) e["failures"] = QJsonArray::fromStringList(run.failures);
        if (!r.testerIdentity.isEmpty()) e["tester"] = r.testerIdentity;
        if (tester_ != nullptr && tester_->Shared()) {
            e["tester_wait_s"] = tester_->WaitedSeconds();
            e["tester_held_s"] = tester_->HeldSeconds();
        }
        Emit(e);
        return true;
    }

private:
    static void Emit(const QJsonObject& event) {
        std::fputs(QJsonDocument(event).toJson(QJsonDocument::Compact).append('\n').constData(),
                   stdout);
        std::fflush(stdout);
    }

    const RunTester* tester_;
};

} // namespace

std::unique_ptr<Sink> RecordFileSink(const QString& path, const QString& folder) {
    return std::make_unique<RecordFile>(path, folder);
}
std::unique_ptr<Sink> StoreSink(RunStore& store) {
    return std::make_unique<Store>(store);
}
std::unique_ptr<Sink> ConsoleSink(bool quiet, bool loop) {
    return std::make_unique<Console>(quiet, loop);
}
std::unique_ptr<Sink> JUnitSink(const QString& path) {
    return std::make_unique<JUnit>(path);
}
std::unique_ptr<Sink> BtsnoopSink(bttrace::BtsnoopWriter& trace) {
    return std::make_unique<Btsnoop>(trace);
}

std::unique_ptr<Sink> EventsSink(const RunTester* tester) {
    return std::make_unique<Events>(tester);
}

} // namespace btrun
