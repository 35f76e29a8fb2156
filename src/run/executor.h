#pragma once
// Runs a plan on one phone through IBluetooth and keeps what happened as a record.

#include <QDateTime>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "run/plan.h"

class IBluetooth;

namespace run {

// Skipped: a step not run (an earlier one failed with stop_on_first_failure, the link
// failed, or the run was aborted).
enum class Outcome { Pass, Fail, Error, Aborted, Skipped };
QString OutcomeName(Outcome outcome);

struct MeasurementRecord {
    QString name;
    QJsonValue value; // undefined when the operation did not deliver it
    QString units;
    const Validator* validator = nullptr;
    Judgement judgement;
};

struct PhaseRecord {
    QString name;
    QString operation;
    Outcome outcome = Outcome::Skipped;
    QDateTime start, end;
    std::vector<MeasurementRecord> measurements;
    QStringList log; // the plug-in's log lines during the step
    QString error;   // why an ERROR step failed, or a FAIL not down to a measurement
    int attempts = 0;
};

struct RunRecord {
    QString runId;
    QString dutId;
    QString stationId;
    QString plan;
    QString planFile;
    QString planSha256; // of the plan file's bytes, hex
    QString protocol;   // "text" or "binary"
    QDateTime start, end;
    Outcome outcome = Outcome::Pass;
    std::vector<PhaseRecord> phases;
    // The test set that measured the radio (its *IDN? answer and where it was reached)
    // and the fixture whose loss it was given; empty when there was none.
    QString testerIdentity, testerAddress;
    QString fixtureName, fixtureFile, fixtureSha256;
    // Where and for what the phone was tested, as RunOptions gave them; empty: not known.
    QString slot, operatorName, partNumber, revision, lot, releasedBy;
    // The program that ran it: the project's version and the commit it was built from.
    QString softwareVersion, softwareCommit;
};

struct RunOptions {
    QString dutId;
    QString stationId;
    // The station's slot, the operator, what is being made (from the station file or
    // scanned) and the supervisor who let this serial be tested again after it was sent to
    // repair; each goes into the record, empty when not known.
    QString slot, operatorName, partNumber, revision, lot, releasedBy;
    bool textProtocol = true;
    // Asked between steps and while waiting; a step in progress finishes.
    std::function<bool()> aborted;
    // Told of each step before it runs, also before the abort check that may skip it
    // (index from 0); the step's time starts when this returns.
    std::function<void(const Step&, int index, int count)> stepStarted;
    // Told of each step as it ends (index from 0).
    std::function<void(const PhaseRecord&, int index, int count)> stepDone;
    // False skips wait steps (benchmarks of the runner's own work).
    bool waits = true;
    // Told of each raw HCI command sent (answer false) and of what came back (true).
    std::function<void(const QByteArray& bytes, bool answer)> hciTraffic;
    // Device addresses for bdaddr_assign; without it that step is an error.
    AddressSource assignAddress;
    // The host's own account of its link, when it keeps one: why a link call failed since
    // the last `resetLink` (empty: none failed). A step that goes wrong after such a failure
    // failed on the link, whatever the back-end made of the missing answer (a version query
    // without an answer reads as a version mismatch), so it is retried and then ends the run
    // with this text as its error. The link is reset before every attempt but the first,
    // whose window opens when the back-end is made (its first exchange may come then).
    std::function<QString()> linkFailure;
    std::function<void()> resetLink;
    // The test set of the steps that measure the radio; null when there is none.
    tester::ITester* tester = nullptr;
};

using BackEndMaker = std::function<std::unique_ptr<IBluetooth>()>;

// Runs `plan` (already checked) on a back-end made by `makeBackEnd` once the run has
// started, so that the record's times cover every exchange with the phone. The plug-in's
// log lines are collected per step (those of making the back-end go to the first step).
RunRecord RunPlan(const Plan& plan, const BackEndMaker& makeBackEnd, const RunOptions& options);

// The exit status of a run: 0 pass, 1 fail, 2 aborted, 3 error.
int ExitCodeOf(Outcome outcome);
// The more serious of two run outcomes (aborted, then error, then fail, then pass).
Outcome Worse(Outcome a, Outcome b);

} // namespace run
