#pragma once
// The test set as btrun uses it: before its first measurement on each phone it is
// identified, reset and given the fixture's loss, and again after its link failed; what it
// said of itself goes into the record.

#include <QString>
#include <memory>
#include <vector>

#include "tester/connection.h"
#include "run/plan.h"
#include "tester/tester.h"

namespace btrun {

class RunTester : public tester::ITester {
public:
    // `keep` lives as long as the tester (what a built-in test set runs on).
    RunTester(std::unique_ptr<tester::ITester> inner, std::vector<tester::LossPoint> loss,
              std::shared_ptr<void> keep = {});

    // The next phone: the tester is prepared again at its next use.
    void NewRun() { prepared_ = false; }
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
    bool Prepare(tester::Error& error);
    // Passes the verb's outcome on; a link error makes the next use prepare again.
    bool Done(bool ok, const tester::Error& error);

    std::shared_ptr<void> keep_;
    std::unique_ptr<tester::ITester> inner_;
    std::vector<tester::LossPoint> loss_;
    bool prepared_ = false;
    QString identity_;
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
