#include "runner/calibrate.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <cmath>

#include "bt/ibluetooth.h"
#include "phone/unit_profile.h"
#include "run/executor.h"
#include "run/plan.h"
#include "runner/command_line.h"
#include "runner/exit_codes.h"
#include "runner/run_host.h"
#include "runner/run_tester.h"
#include "runner/sinks.h"

namespace btrun {

namespace {

// An LE transmitter power measurement on each channel, at power level 0.
QByteArray CalibrationPlan(const QList<int>& channels) {
    QJsonArray steps;
    for (int channel : channels)
        steps.append(QJsonObject{
            {"name", QString("LE power, channel %1").arg(channel)},
            {"operation", "le_tx_test"},
            {"args", QJsonObject{{"channel", channel}, {"items", QJsonArray{"power"}}}},
            {"measurements", QJsonArray{QJsonObject{{"name", "le_power_avg"},
                                                    {"waiver", "fixture calibration"}}}}});
    return QJsonDocument(QJsonObject{{"name", "fixture calibration"}, {"steps", steps}}).toJson();
}

// `testerPort`: the port of the fixture it replaces, kept (0: none).
bool WriteFixture(const QString& path, const QString& name, int testerPort,
                  const QList<int>& channels, const run::RunRecord& record, double nominalDbm,
                  QString& error) {
    QJsonArray points;
    for (std::size_t i = 0; i < record.phases.size(); ++i) {
        const double measured = record.phases[i].measurements.at(0).value.toDouble();
        const double loss = std::round((nominalDbm - measured) * 100.0) / 100.0;
        points.append(QJsonObject{{"mhz", 2402 + 2 * channels.at(qsizetype(i))},
                                  {"loss_db", std::max(0.0, loss)}});
    }
    QSaveFile file(path);
    QJsonObject fixture{{"name", name}, {"points", points}};
    if (testerPort > 0) fixture.insert("tester_port", testerPort);
    const QByteArray text = QJsonDocument(fixture).toJson();
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        return true;
    error = path + ": " + file.errorString();
    return false;
}

} // namespace

int CalibrateMain(const Settings& s) {
    phonesim::UnitProfile unit;
    std::string why;
    if (!phonesim::LoadUnitProfile(s.calibrateUnit.toStdString(), unit, why)) {
        Say("btrun: " + QString::fromStdString(why));
        return kExitBadInput;
    }
    const auto power = unit.radio.find("power_error_db");
    const double nominal = power == unit.radio.end() ? 0.0 : power->second.mean;
    run::Plan plan;
    QString error;
    if (!run::ParsePlan(CalibrationPlan(s.channels), "calibration", plan, error)) {
        Say("btrun: " + error);
        return kExitError;
    }
    RunHost host(s.interfaceKind, [](const QString& text, bool isError) {
        if (isError) Say("btrun: " + text);
    });
    // The fixture is what is being found: the test set adds no loss. With the built-in
    // phone, --fixture gives its air the loss there is to find.
    TesterSetup tester;
    if (!MakeTester(s, s.port.isEmpty() ? &host.Phone() : nullptr, tester, error, true)) {
        Say("btrun: " + error);
        return kExitBadInput;
    }
    if (!tester.tester)
        return Usage("--calibrate-fixture with --port needs --tester and --tester-profile");
    if (!s.port.isEmpty())
        host.UsePort(s.port, s.baud);
    else
        host.NewSimulatedUnit(&unit, 0);
    run::RunOptions options;
    options.textProtocol = host.TextProtocol();
    options.tester = tester.tester.get();
    options.linkFailure = [&host] { return host.LinkFailure(); };
    options.resetLink = [&host] { host.ResetLink(); };
    const run::RunRecord record = run::RunPlan(
        plan, [&host] { return host.NewBackEnd(); }, options);
    if (record.outcome != run::Outcome::Pass) {
        for (const run::PhaseRecord& p : record.phases)
            if (!p.error.isEmpty()) Say("btrun: " + p.name + ": " + p.error);
        Say("btrun: calibration failed; no fixture file written");
        return kExitError;
    }
    const QString name =
        QString("calibrated with %1 on %2")
            .arg(QString::fromStdString(unit.name.empty() ? "the golden unit" : unit.name),
                 record.start.toString(Qt::ISODate));
    if (!WriteFixture(s.out, name, tester.testerPort, s.channels, record, nominal, error)) {
        Say("btrun: " + error);
        return kExitError;
    }
    Say(QString("btrun: fixture file %1 written (%2 channels, tester %3)")
            .arg(s.out)
            .arg(s.channels.size())
            .arg(tester.tester->Identity()));
    return 0;
}

} // namespace btrun
