#include "runner/run_tester.h"

#include "phone/phonesim.h"
#include "runner/command_line.h"
#include "runner/tester_lock.h"
#include "simulated_profile.h"
#include "tester/connection.h"
#include "tester/fixture.h"
#include "tester/profile.h"
#include "tester/reference_radio.h"
#include "trace/btsnoop.h"
#include "tester/scpi_tester.h"
#include "testersim/instrument.h"

namespace btrun {

RunTester::RunTester(std::unique_ptr<tester::ITester> inner, std::vector<tester::LossPoint> loss,
                     std::shared_ptr<void> keep)
    : keep_(std::move(keep)), inner_(std::move(inner)), loss_(std::move(loss)) {}

RunTester::~RunTester() = default;

void RunTester::NewRun() {
    prepared_ = false;
    if (!lock_) return;
    waitedBefore_ = lock_->WaitedSeconds();
    heldBefore_ = lock_->HeldSeconds();
}

void RunTester::UseLock(std::unique_ptr<TesterLock> lock, std::function<bool()> aborted) {
    lock_ = std::move(lock);
    aborted_ = std::move(aborted);
}

bool RunTester::TakeTurn() {
    lockError_.clear();
    if (!lock_ || lock_->Held()) return true;
    if (!lock_->Acquire(aborted_, lockError_)) return false;
    lossStale_ = lossStale_ || lock_->OthersHadIt();
    return true;
}

void RunTester::EndTurn() {
    if (lock_) lock_->Release();
}

double RunTester::WaitedSeconds() const {
    return lock_ ? lock_->WaitedSeconds() - waitedBefore_ : 0;
}

double RunTester::HeldSeconds() const {
    return lock_ ? lock_->HeldSeconds() - heldBefore_ : 0;
}

template <typename Verb> bool RunTester::InTurn(tester::Error& error, Verb verb) {
    const bool own = lock_ && !lock_->Held();
    if (own && !TakeTurn()) {
        error = {tester::Error::Kind::Instrument,
                 lockError_.isEmpty() ? "aborted while waiting for the test set" : lockError_};
        return false;
    }
    const bool ok = Prepare(error) && Done(verb(), error);
    if (own) EndTurn();
    return ok;
}

bool RunTester::Done(bool ok, const tester::Error& error) {
    if (!ok && error.kind == tester::Error::Kind::Link) prepared_ = false;
    return ok;
}

// Only ever within a turn: a reset or a new loss must not hit another phone's measurement.
bool RunTester::Prepare(tester::Error& error) {
    if (prepared_ && !lossStale_) return true;
    if (prepared_) {
        if (!inner_->SetFixtureLoss(loss_, error)) return Done(false, error);
        lossStale_ = false;
        return true;
    }
    QString identity;
    if (!inner_->Identify(identity, error) || !inner_->Reset(error) ||
        !inner_->SetFixtureLoss(loss_, error))
        return Done(false, error);
    identity_ = identity;
    prepared_ = true;
    lossStale_ = false;
    return true;
}

bool RunTester::Identify(QString& identity, tester::Error& error) {
    return InTurn(error, [&] {
        identity = identity_;
        return true;
    });
}

bool RunTester::Reset(tester::Error& error) {
    prepared_ = false;
    return InTurn(error, [] { return true; });
}

bool RunTester::SetFixtureLoss(const std::vector<tester::LossPoint>& points, tester::Error& error) {
    loss_ = points;
    prepared_ = false;
    return InTurn(error, [] { return true; });
}

bool RunTester::MeasureLeTx(const tester::LeTx& setup, tester::TxItem item,
                            std::vector<tester::Reading>& readings, tester::Error& error) {
    return InTurn(error, [&] { return inner_->MeasureLeTx(setup, item, readings, error); });
}

bool RunTester::MeasureBrTx(const tester::BrTx& setup, tester::TxItem item,
                            std::vector<tester::Reading>& readings, tester::Error& error) {
    return InTurn(error, [&] { return inner_->MeasureBrTx(setup, item, readings, error); });
}

bool RunTester::SendLePackets(const tester::LePackets& packets, tester::Error& error) {
    return InTurn(error, [&] { return inner_->SendLePackets(packets, error); });
}

bool RunTester::CountLePackets(const tester::LeCount& count, int& received,
                               tester::Error& error) {
    return Prepare(error) && Done(inner_->CountLePackets(count, received, error), error);
}

double RunTester::FixtureLossDb(double mhz) const {
    return tester::LossAt(loss_, mhz);
}

} // namespace btrun

namespace btrun {

namespace {

// The built-in test set: the simulated instrument on the phone's air, spoken to in SCPI
// through the same driver and profile as a real one.
std::unique_ptr<RunTester> BuiltInTester(phonesim::Simulator& phone, tester::Profile profile,
                                         const std::vector<tester::LossPoint>& air,
                                         const std::vector<tester::LossPoint>& loss,
                                         tester::ScpiLog* log, bool airTime) {
    testersim::Options options;
    options.realTime = airTime;
    for (const tester::LossPoint& p : air)
        options.pathLoss.push_back({p.mhz, p.lossDb});
    auto instrument = std::make_shared<testersim::Instrument>(phone.Air(), options);
    auto respond = [instrument](const QString& line) {
        QStringList answers;
        for (const std::string& a : instrument->Execute(line.toStdString()))
            answers << QString::fromStdString(a);
        return answers;
    };
    auto scpi = std::make_unique<tester::ScpiTester>(
        std::make_unique<tester::InProcessConnection>(respond), std::move(profile));
    scpi->SetLog(log);
    return std::make_unique<RunTester>(std::move(scpi), loss, instrument);
}

// A reference radio: a Bluetooth controller on a UART, its HCI exchanges traced on request.
bool MakeReference(const Settings& s, const std::vector<tester::LossPoint>& loss,
                   TesterSetup& setup, QString& error) {
    tester::ReferenceAddress address;
    if (!tester::ParseReferenceAddress(s.tester, address, error)) return false;
    auto radio = std::make_unique<tester::ReferenceRadio>(address, s.referencePower);
    if (!s.testerTrace.isEmpty()) {
        if (address.kind != tester::ReferenceAddress::Kind::H4) {
            error = "--tester-trace records HCI: Direct Test Mode has none (use h4:)";
            return false;
        }
        setup.trace = std::make_shared<bttrace::BtsnoopWriter>();
        if (!setup.trace->Open(s.testerTrace.toStdString())) {
            error = "cannot record the tester trace: " + QString::fromStdString(setup.trace->Error());
            return false;
        }
        radio->SetTraffic([trace = setup.trace](const std::vector<uint8_t>& bytes, bool answer) {
            // Without the H4 indicator, which the trace writer puts in itself.
            const std::span<const uint8_t> packet(bytes.data() + 1, bytes.size() - 1);
            if (answer)
                trace->RecordAnswer(packet);
            else
                trace->RecordCommand(packet);
        });
    }
    setup.tester = std::make_unique<RunTester>(std::move(radio), loss);
    return true;
}

} // namespace

bool MakeTester(const Settings& s, phonesim::Simulator* builtInPhone, TesterSetup& setup,
                QString& error, bool calibrating, bool airTime) {
    tester::Fixture fixture;
    if (!s.fixture.isEmpty()) {
        if (!tester::LoadFixture(s.fixture, fixture, error)) return false;
        setup.fixtureName = fixture.name;
        setup.fixtureFile = s.fixture;
        setup.fixtureSha256 = fixture.sha256;
        setup.testerPort = fixture.testerPort;
    }
    if (s.tester.isEmpty() && builtInPhone == nullptr) return true;
    const std::vector<tester::LossPoint> loss =
        calibrating ? std::vector<tester::LossPoint>{} : fixture.points;
    if (tester::IsReferenceAddress(s.tester)) return MakeReference(s, loss, setup, error);
    tester::Profile profile;
    if (!s.testerProfile.isEmpty()
            ? !tester::LoadProfile(s.testerProfile, profile, error)
            : !tester::ParseProfile(kSimulatedProfile, "the built-in test set's profile", profile,
                                    error))
        return false;
    if (!s.scpiLog.isEmpty()) {
        setup.log = std::make_unique<tester::ScpiLog>();
        if (!setup.log->Open(s.scpiLog, error)) return false;
    }
    tester::ScpiLog* logTo = setup.log.get();
    if (s.tester.isEmpty()) {
        setup.tester =
            BuiltInTester(*builtInPhone, std::move(profile), fixture.points, loss, logTo, airTime);
        return true;
    }
    if (fixture.testerPort > 0 && profile.fixturePort.isEmpty()) {
        error = QString("%1: tester_port %2: the profile %3 has no fixture.port command to "
                        "switch the test set to it")
                    .arg(s.fixture)
                    .arg(fixture.testerPort)
                    .arg(s.testerProfile);
        return false;
    }
    auto lan = tester::MakeLanTester(s.tester, std::move(profile), error);
    if (!lan) return false;
    lan->SetLog(logTo);
    lan->SetPort(fixture.testerPort);
    setup.tester = std::make_unique<RunTester>(std::move(lan), loss);
    return true;
}

} // namespace btrun

namespace btrun {

bool TesterCanRun(const run::Plan& plan, const tester::ITester& tester, QString& why) {
    int index = 0;
    for (const run::Step& step : plan.steps) {
        ++index;
        const QString op = step.op->name;
        const QString where = QString("step %1 (\"%2\"): ").arg(index).arg(step.name);
        if ((op == "le_tx_test" || op == "br_tx_test") && !tester.CanMeasureTx()) {
            const auto offered = run::MeasurementsOf(*step.op, step.args);
            const QString first = !step.measurements.empty() ? step.measurements.front().name
                                  : !offered.empty()         ? offered.front().name
                                                             : op;
            why = where + QString("the reference radio cannot measure %1; use a test set").arg(first);
            return false;
        }
        if (op == "le_tx_count" && !tester.CanCountPackets()) {
            why = where + "the test set cannot count the phone's packets (le_tx_count); use a "
                          "reference radio";
            return false;
        }
    }
    return true;
}

} // namespace btrun
