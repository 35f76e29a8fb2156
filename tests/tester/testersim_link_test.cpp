// The driver against the testersim program over a raw socket, as a station meets its test
// set: identified, reset, the fixture loss set, refused settings and a measurement with no
// phone on the air, then the test set killed under it.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "tester/fixture.h"
#include "tester/scpi_tester.h"

using namespace tester;

namespace {

TEST(TesterSimLink, IdentifiedFixtureSetNoSignalRefusalsAndAKilledTestSet) {
    QProcess sim;
    sim.start(TESTERSIM_PATH, {"--listen", "127.0.0.1:0"});
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const QString first = QString::fromUtf8(sim.readLine()).trimmed();
    ASSERT_TRUE(first.startsWith("testersim: listening on 127.0.0.1:")) << first.toStdString();
    const QString address = QString("TCPIP::127.0.0.1::%1::SOCKET").arg(first.section(':', -1));

    Profile profile;
    Fixture fixture;
    QString why;
    ASSERT_TRUE(LoadProfile(PLANS_DIR "/testers/simulated.json", profile, why));
    ASSERT_TRUE(LoadFixture(PLANS_DIR "/fixtures/station.json", fixture, why));
    const auto tester = MakeLanTester(address, profile, why);
    ASSERT_TRUE(tester);
    QTemporaryDir dir;
    ScpiLog log;
    ASSERT_TRUE(log.Open(dir.filePath("scpi.log"), why));
    tester->SetLog(&log);

    QString identity;
    Error error;
    ASSERT_TRUE(tester->Identify(identity, error)) << error.text.toStdString();
    EXPECT_TRUE(identity.startsWith("BTSIM,TESTERSIM,")) << identity.toStdString();
    ASSERT_TRUE(tester->Reset(error)) << error.text.toStdString();
    ASSERT_TRUE(tester->SetFixtureLoss(fixture.points, error)) << error.text.toStdString();

    using K = Error::Kind;
    const std::vector<std::pair<std::function<bool(std::vector<Reading>&)>, QString>> rows = {
        {[&](auto& r) {
             return tester->MeasureLeTx({19, "1M", 20}, TxItem::Power, r, error);
         },
         "instrument error -230,\"Data corrupt or stale;no signal\" after READ:LE:POW?"},
        {[&](auto& r) {
             return tester->MeasureLeTx({45, "1M", 20}, TxItem::Power, r, error);
         },
         "instrument error -222,\"Data out of range\" after CONF:LE:CHAN 45"},
        {[&](auto& r) {
             return tester->MeasureBrTx({0, "DH7", 20}, TxItem::Power, r, error);
         },
         "instrument error -224,\"Illegal parameter value\" after CONF:BR:PTYP DH7"},
    };
    for (const auto& [measure, text] : rows) {
        std::vector<Reading> readings;
        EXPECT_FALSE(measure(readings));
        EXPECT_EQ(error.kind, K::Instrument);
        EXPECT_EQ(error.text.toStdString(), text.toStdString());
    }
    // Every queue was read empty: the next verb starts clean.
    EXPECT_TRUE(tester->Identify(identity, error)) << error.text.toStdString();

    sim.kill();
    sim.waitForFinished(2000);
    std::vector<Reading> readings;
    EXPECT_FALSE(tester->MeasureLeTx({19, "1M", 20}, TxItem::Power, readings, error));
    EXPECT_EQ(error.kind, K::Link);
    EXPECT_EQ(error.text, QString("the tester at %1 closed the connection").arg(address));
    EXPECT_FALSE(tester->Identify(identity, error));
    EXPECT_EQ(error.kind, K::Link);
    EXPECT_EQ(error.text,
              QString("cannot reach the tester at %1: connection refused or host unreachable")
                  .arg(address));

    QFile written(dir.filePath("scpi.log"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(written.readAll());
    EXPECT_TRUE(text.contains("Z > CORR:LOSS:POIN 2402,1\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("Z # the tester at " + address + " closed the connection\n"));
}

} // namespace
