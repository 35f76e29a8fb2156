#pragma once
// The test set as btrun uses it: before its first measurement on each phone it is
// identified, reset and given the fixture's loss, and again after its link failed; what it
// said of itself goes into the record. A test set shared with other btrun processes is
// used in turns (TesterLock), and set up again after another process had it.

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "tester/connection.h"
#include "run/plan.h"
#include "tester/tester.h"

namespace btrun {

class TesterLock;

class RunTester : public tester::ITester {
public:
    // `keep` lives as long as the tester (what a built-in test set runs on).
    RunTester(std::unique_ptr<tester::ITester> inner, std::vector<tester::LossPoint> loss,
              std::shared_ptr<void> keep = {});
    ~RunTester() override;

    // The next phone: the tester is prepared again at its next use.
    void NewRun();

    // Shares the test set with other processes through `lock`: each verb runs in a turn,
    // the one the step took (TakeTurn) or one of its own. `aborted` ends a wait for a turn.
    void UseLock(std::unique_ptr<TesterLock> lock, std::function<bool()> aborted);
    bool Shared() const { return lock_ != nullptr; }
    // Waits for the test set and keeps it until EndTurn; false when the wait was aborted
    // or the lock failed (the next verb then tries again, and fails with why).
    bool TakeTurn();
    void EndTurn();
    // This phone's time (since NewRun) waiting for the test set and holding it.
    double WaitedSeconds() const;
    double HeldSeconds() const;
    // *IDN? as the tester answered it; empty until it was asked.
    QString Identity() const { return identity_; }

    QString Address() const override { return inner_->Address(); }
    bool CanMeasureTx() const override { return inner_->CanMeasureTx(); }
    bool CanCountPackets() const override { return inner_->CanCountPackets(); }
    std::optional<double> FixedOutputDbm() const override { return inner_->FixedOutputDbm(); }
    double FixtureLossDb(double mhz) const override;
    bool Identify(QString& identity, tester::Error& error) override;
    bool Reset(tester::Error& error) override;
    bool SetFixtureLoss(const std::vector<tester::LossPoint>& points,
                        tester::Error& error) override;
    bool MeasureLeTx(const tester::LeTx& setup, tester::TxItem item,
                     std::vector<tester::Reading>& readings, tester::Error& error) override;
    bool MeasureBrTx(const tester::BrTx& setup, tester::TxItem item,
                     std::vector<tester::Reading>& readings, tester::Error& error) override;
    bool SendLePackets(const tester::LePackets& packets, tester::Error& error) override;
    bool CountLePackets(const tester::LeCount& count, int& received,
                        tester::Error& error) override;

private:
    // Runs `verb` with the test set prepared, in the current turn or in one of its own.
    template <typename Verb> bool InTurn(tester::Error& error, Verb verb);
    bool Prepare(tester::Error& error);
    // Passes the verb's outcome on; a link error makes the next use prepare again.
    bool Done(bool ok, const tester::Error& error);

    std::shared_ptr<void> keep_;
    std::unique_ptr<tester::ITester> inner_;
    std::vector<tester::LossPoint> loss_;
    bool prepared_ = false;
    QString identity_;
    std::unique_ptr<TesterLock> lock_;
    std::function<bool()> aborted_;
    bool lossStale_ = false; // another process had the test set since the loss was set
    QString lockError_;
    double waitedBefore_ = 0, heldBefore_ = 0; // the lock's totals at NewRun
};

} // namespace btrun

namespace phonesim {
class Simulator;
}

namespace bttrace {
class BtsnoopWriter;
}

namespace btrun {

struct Settings;

// The test set the command line asks for: --tester with --tester-profile, a reference radio
// (--tester h4:DEVICE or dtm:DEVICE), or, with the built-in phone, the built-in simulated
// test set on the phone's air (whose true loss is the station's fixture file, so that its
// readings come out right). Null with no error when there is none (a phone on a port and
// no --tester). `error` names the file or the address that cannot be used.
struct TesterSetup {
    std::unique_ptr<tester::ScpiLog> log;          // --scpi-log
    std::shared_ptr<bttrace::BtsnoopWriter> trace; // --tester-trace
    std::unique_ptr<RunTester> tester;
    QString fixtureName, fixtureFile, fixtureSha256;
    int testerPort = 0; // the fixture's port on a test set with an RF switch
};

// `calibrating`: the test set is given no loss; the fixture file is only the built-in
// air's true loss. `airTime` false: the built-in test set does not wait for the air
// (benchmarks of the program's own work).
bool MakeTester(const Settings& s, phonesim::Simulator* builtInPhone, TesterSetup& setup,
                QString& error, bool calibrating = false, bool airTime = true);

// Whether `tester` can do what the plan's radio steps ask: false with "step 3 ("LE TX"):
// the reference radio cannot measure le_power_avg; use a test set".
bool TesterCanRun(const run::Plan& plan, const tester::ITester& tester, QString& why);

} // namespace btrun
