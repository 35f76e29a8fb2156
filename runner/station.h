#pragma once
// A station of several slots: one phone per slot, tested at once, sharing one test set.
// Each slot's phone is run by a btrun process of its own (the same engine as a single
// btrun, with the plug-in's process-wide host table to itself); the station hands each
// slot its serials, hears what its runs report (an event stream, one JSON object a line on
// the worker's standard output), lets one slot at a time use the test set, keeps the
// retest policy and the shift's counters. btrun --station-config and the operator's screen
// (btoperator) are front ends of this one class; neither adds test logic.

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace btrun {

// One slot of the station file.
struct SlotConfig {
    QString name;        // "A", "B", ... (a scanned "A:SN123" goes to slot A)
    QString port;        // the phone's serial port; empty: the built-in simulated phone
    QString unitProfile; // for the built-in phone
    int interfaceKind = 2;
    QString fixture; // the slot's fixture file (loss between its phone and the tester)
    int testerPort = 0; // the test set's RF port its fixture names; 0: none
};

// The station file (--station-config FILE), checked like a plan.
struct StationConfig {
    QString file;
    QString stationId;
    QString plan;                     // the test plan all slots run
    std::vector<SlotConfig> slotList; // not "slots": a Qt keyword
    QString tester, testerProfile;    // the shared test set; empty: the built-in one
    double referencePower = 0;       // a reference radio's output power (tester h4:, dtm:)
    QString db;                       // the results database; empty: the default
    QString recordsFolder = "results";
    int retestLimit = 2; // failures after which a serial is TO REPAIR
    QString partNumber, revision, lot;
};

// False with "FILE: <where>: <what>" (or FILE:LINE:COL for JSON syntax). The files it names
// (plan, unit profiles, fixtures, the test set's profile) are read and checked too, found
// beside the station file; the records folder and an SQLite database are where btrun runs.
bool LoadStationConfig(const QString& path, StationConfig& config, QString& error);

// What a slot's run reports while it runs, and when it ends.
struct SlotEvent {
    enum class Kind {
        Started,     // serial
        Step,        // a step began: index (from 0), count, step name
        Measurement, // a reading judged: name, value (or text), units, limits, outcome
        StepDone,    // a step ended: index, name, outcome, error
        Finished,    // outcome, why (failing measurement with value and limits, or error)
        Failed,      // the slot's worker itself failed (it could not start, it died): why
        Message      // a line the slot's worker wrote to standard error: text
    };
    Kind kind = Kind::Started;
    QString slot;
    QString serial;
    QJsonObject data; // the event as the worker wrote it
};

// Why a scan did or did not start a run.
struct ScanResult {
    // Busy: the slot named is testing a phone, or (a bare serial) no slot is idle.
    // AlreadyRunning: the serial is being tested on `slot`. SlotDown: the slot's worker
    // cannot be started (a Failed event says why).
    enum class Kind { Started, ToRepair, Busy, UnknownSlot, AlreadyRunning, SlotDown, Empty };
    Kind kind = Kind::Empty;
    QString slot; // the slot it went (or would have gone) to
    QString serial;
    int failures = 0; // of this serial so far (ToRepair: at least the retest limit)
};

// Phones of this shift (since the station started); errors include aborted runs. A serial's
// first run of the shift counts towards the first pass yield.
struct ShiftCounters {
    int tested = 0, passed = 0, failed = 0, errors = 0, firstPassTested = 0, firstPassPassed = 0;
    double FirstPassYield() const {
        return firstPassTested == 0 ? 0 : 100.0 * firstPassPassed / firstPassTested;
    }
};

// A slot's time over the shift: phones, time testing them, and of that the time waiting
// for the shared test set and holding it.
struct SlotTimes {
    int phones = 0;
    double testing = 0, waited = 0, held = 0;
};

class Station : public QObject {
    Q_OBJECT
public:
    // `btrunPath`: the btrun program the slots run; `operatorName` goes into every record.
    Station(StationConfig config, QString btrunPath, QString operatorName,
            QObject* parent = nullptr);
    ~Station() override;

    const StationConfig& Config() const;
    // Starts a worker per slot; false with why (a worker that cannot start).
    bool Start(QString& error);
    // A scanned line: "A:SN123" runs on slot A, a bare serial on the next idle slot. A
    // serial that failed the retest limit's times since its last release is refused.
    ScanResult Scan(const QString& line);
    // A supervisor lets a serial that is TO REPAIR be tested again; the next record of it
    // names the supervisor.
    void Release(const QString& serial, const QString& supervisor);
    // The slot's run ends ABORTED (the step in flight finishes); its worker ends too and is
    // started again by the next scan for the slot.
    void Abort(const QString& slot);
    void AbortAll();
    // Ends the workers once their runs are over (or at once after AbortAll); `stopped`
    // follows when the last one has ended.
    void Stop();

    bool IsIdle(const QString& slot) const;
    ShiftCounters Counters() const;
    SlotTimes Times(const QString& slot) const;
    // The plan's name and SHA-256, the test set's identity ("" until it answered) and the
    // results database's state ("connected", or "N runs waiting in the spool").
    QString PlanName() const;
    QString PlanSha256() const;
    QString TesterIdentity() const;
    QString StoreState() const;

signals:
    void event(const btrun::SlotEvent& event);
    void stopped();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace btrun
