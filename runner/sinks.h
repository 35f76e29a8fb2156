#pragma once
// The outputs of btrun's runs, each its own small unit: the record file, the results store,
// JUnit XML, the console, the HCI trace and the event stream a station reads. main
// registers those the command line asks for; the next output (a line controller, the
// tester's trace) is one more sink.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "run/executor.h"

namespace bttrace {
class BtsnoopWriter;
}

namespace btrun {

class RunStore;
class RunTester;

// A finished run on its way through the sinks, in the order they were added.
struct FinishedRun {
    const run::RunRecord& record;
    QString recordPath;   // where the record file went; empty until (or unless) it did
    QStringList failures; // what the sinks so far could not do ("not stored")
};

class Sink {
public:
    virtual ~Sink() = default;
    // A phone's run begins.
    virtual void RunStarted(const QString& /*serial*/) {}
    // Before each step runs (index from 0).
    virtual void StepStarted(const run::Step& /*step*/, int /*index*/, int /*count*/) {}
    // As each step ends (index from 0).
    virtual void StepDone(const run::PhaseRecord& /*phase*/, int /*index*/, int /*count*/) {}
    // Each raw HCI command sent (answer false) and what came back (true).
    virtual void HciTraffic(const QByteArray& /*bytes*/, bool /*answer*/) {}
    // The run is over. False when this output failed: the run then counts as an error.
    virtual bool RunDone(FinishedRun& /*run*/) { return true; }
    // After the last phone; `phones` runs ended in `overall`. False when this output
    // failed at the end (runs it could not keep).
    virtual bool AllDone(int /*phones*/, run::Outcome /*overall*/) { return true; }
};

class Sinks {
public:
    void Add(std::unique_ptr<Sink> sink) { sinks_.push_back(std::move(sink)); }
    // Points the run's step and HCI callbacks at the sinks (those that want them).
    void Attach(run::RunOptions& options, bool wantsHci);
    void RunStarted(const QString& serial);
    // Hands the run to every sink; false when any of them failed.
    bool RunDone(const run::RunRecord& record);
    // Tells every sink; the outcome, worse by an error when a sink failed at the end.
    run::Outcome AllDone(int phones, run::Outcome overall);

private:
    std::vector<std::unique_ptr<Sink>> sinks_;
};

// One line to standard error.
void Say(const QString& line);

// The record file: `path` for a single run, else <folder>/<serial>-<UTC time>.json.
std::unique_ptr<Sink> RecordFileSink(const QString& path, const QString& folder);
// The results store (after the file: trouble with the store never costs the record).
std::unique_ptr<Sink> StoreSink(RunStore& store);
// A line per step (unless quiet), the summary line of each phone, and with a loop the
// count of phones.
std::unique_ptr<Sink> ConsoleSink(bool quiet, bool loop);
// JUnit XML of every phone so far.
std::unique_ptr<Sink> JUnitSink(const QString& path);
// The raw HCI commands and their events, to an open btsnoop writer.
std::unique_ptr<Sink> BtsnoopSink(bttrace::BtsnoopWriter& trace);
// The run's events, one JSON object a line on standard output, flushed at once: what a
// station hears from the btrun of each slot (docs/station.md). `tester` (null: none)
// tells the time a shared test set was waited for and held; added after the record file.
std::unique_ptr<Sink> EventsSink(const RunTester* tester);

} // namespace btrun
