#include "run_tester.h"

namespace btrun {

RunTester::RunTester(std::unique_ptr<tester::ITester> inner, std::vector<tester::LossPoint> loss)
    : inner_(std::move(inner)), loss_(std::move(loss)) {}

bool RunTester::Done(bool ok, const tester::Error& error) {
    if (!ok && error.kind == tester::Error::Kind::Link) prepared_ = false;
    return ok;
}

bool RunTester::Prepare(tester::Error& error) {
    if (prepared_) return true;
    QString identity;
    if (!inner_->Identify(identity, error) || !inner_->Reset(error) ||
        !inner_->SetFixtureLoss(loss_, error))
        return Done(false, error);
    identity_ = identity;
    prepared_ = true;
    return true;
}

bool RunTester::Identify(QString& identity, tester::Error& error) {
    if (!Prepare(error)) return false;
    identity = identity_;
    return true;
}

bool RunTester::Reset(tester::Error& error) {
    prepared_ = false;
    return Prepare(error);
}

bool RunTester::SetFixtureLoss(const std::vector<tester::LossPoint>& points,
                               tester::Error& error) {
    loss_ = points;
    prepared_ = false;
    return Prepare(error);
}

bool RunTester::MeasureLeTx(const tester::LeTx& setup, tester::TxItem item,
                            std::vector<tester::Reading>& readings, tester::Error& error) {
    return Prepare(error) && Done(inner_->MeasureLeTx(setup, item, readings, error), error);
}

bool RunTester::MeasureBrTx(const tester::BrTx& setup, tester::TxItem item,
                            std::vector<tester::Reading>& readings, tester::Error& error) {
    return Prepare(error) && Done(inner_->MeasureBrTx(setup, item, readings, error), error);
}

bool RunTester::SendLePackets(const tester::LePackets& packets, tester::Error& error) {
    return Prepare(error) && Done(inner_->SendLePackets(packets, error), error);
}

} // namespace btrun
