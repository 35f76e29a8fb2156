#pragma once
// A test set spoken to in SCPI: the verbs of ITester become the commands and queries its
// instrument profile names. After every configuration command and every measurement the
// instrument's error queue is asked, so a refused setting is never measured through.

#include <memory>
#include <optional>

#include "tester/connection.h"
#include "tester/profile.h"
#include "tester/tester.h"

namespace tester {

class ScpiTester : public ITester {
public:
    ScpiTester(std::unique_ptr<Connection> link, Profile profile);

    // Every line to and from the tester goes to `log` (not owned; null for none).
    void SetLog(ScpiLog* log) { link_->SetLog(log); }
    // The RF port the phone's fixture is on (the profile's fixture.port command), switched
    // to with every setting of the fixture loss; 0: none to switch.
    void SetPort(int port) { port_ = port; }

    QString Address() const override;
    bool Identify(QString& identity, Error& error) override;
    // The instrument forgets the fixture loss on reset: set it again afterwards.
    bool Reset(Error& error) override;
    bool SetFixtureLoss(const std::vector<LossPoint>& points, Error& error) override;
    bool MeasureLeTx(const LeTx& setup, TxItem item, std::vector<Reading>& readings,
                     Error& error) override;
    bool MeasureBrTx(const BrTx& setup, TxItem item, std::vector<Reading>& readings,
                     Error& error) override;
    bool SendLePackets(const LePackets& packets, Error& error) override;

private:
    // Connects when not connected, checks *IDN? and, after a lost link, sets the fixture
    // loss again: a tester that restarted has forgotten it.
    bool Ready(Error& error);
    bool ApplyFixture(const std::vector<LossPoint>& points, Error& error);
    // `before` (commands), then the query, in one write; then its answer.
    bool Query(const QStringList& before, const QString& query, QString& answer, int extraMs,
               Error& error);
    // A command, then the error queue.
    bool Command(const QString& command, Error& error);
    // `before`, then the error queue; an error is reported as coming `after` that.
    bool CheckErrors(const QStringList& before, const QString& after, int extraMs, Error& error);
    bool Measure(const TxProfile& verb, const QHash<QString, QString>& values, TxItem item,
                 int airMs, std::vector<Reading>& readings, Error& error);
    bool Fields(const ProfileQuery& query, const QString& sent, const QString& answer,
                std::vector<Reading>& readings, Error& error) const;

    std::unique_ptr<Connection> link_;
    Profile profile_;
    QString identity_;
    bool connectedBefore_ = false;
    std::optional<std::vector<LossPoint>> fixture_;
    int port_ = 0;
};

// The LAN tester at `address`, a VISA resource string (--tester), spoken to as `profile`
// says; null with the address's problem in `error`. Nothing is sent before the first verb.
std::unique_ptr<ScpiTester> MakeLanTester(const QString& address, Profile profile, QString& error);

} // namespace tester
