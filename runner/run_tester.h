#pragma once
// The test set as btrun uses it: before its first measurement on each phone it is
// identified, reset and given the fixture's loss, and again after its link failed; what it
// said of itself goes into the record.

#include <QString>
#include <memory>
#include <vector>

#include "tester/tester.h"

namespace btrun {

class RunTester : public tester::ITester {
public:
    RunTester(std::unique_ptr<tester::ITester> inner, std::vector<tester::LossPoint> loss);

    // The next phone: the tester is prepared again at its next use.
    void NewRun() { prepared_ = false; }
    // *IDN? as the tester answered it; empty until it was asked.
    QString Identity() const { return identity_; }

    QString Address() const override { return inner_->Address(); }
    bool Identify(QString& identity, tester::Error& error) override;
    bool Reset(tester::Error& error) override;
    bool SetFixtureLoss(const std::vector<tester::LossPoint>& points,
                        tester::Error& error) override;
    bool MeasureLeTx(const tester::LeTx& setup, tester::TxItem item,
                     std::vector<tester::Reading>& readings, tester::Error& error) override;
    bool MeasureBrTx(const tester::BrTx& setup, tester::TxItem item,
                     std::vector<tester::Reading>& readings, tester::Error& error) override;
    bool SendLePackets(const tester::LePackets& packets, tester::Error& error) override;

private:
    bool Prepare(tester::Error& error);
    // Passes the verb's outcome on; a link error makes the next use prepare again.
    bool Done(bool ok, const tester::Error& error);

    std::unique_ptr<tester::ITester> inner_;
    std::vector<tester::LossPoint> loss_;
    bool prepared_ = false;
    QString identity_;
};

} // namespace btrun
