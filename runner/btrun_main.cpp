// btrun: runs a test plan on phones with no one at the bench and leaves one record per
// phone, also in the results database. Exit status: 0 every measurement passed, 1 a
// measurement failed, 2 aborted, 3 the link, the phone or the store failed, 64 usage
// error, 65 a plan, unit profile or input that cannot be used.

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "bt/ibluetooth.h"
#include "run/plan.h"
#include "runner/calibrate.h"
#include "runner/command_line.h"
#include "runner/exit_codes.h"
#include "runner/report.h"
#include "runner/run_host.h"
#include "runner/run_store.h"
#include "runner/run_tester.h"
#include "runner/sinks.h"
#include "runner/station_main.h"
#include "runner/tester_lock.h"
#include "trace/btsnoop.h"

namespace {

using btrun::kExitBadInput;
using btrun::Say;
using btrun::Settings;

volatile std::sig_atomic_t Interrupted = 0;

// The first signal lets the exchange in flight finish and ends the run as aborted; the
// handler is then reset, so a second one stops at once (the record file is either whole
// or absent, never cut short).
extern "C" void OnInterrupt(int) {
    Interrupted = 1;
}

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    action.sa_flags = SA_RESETHAND; // no SA_RESTART: a read of the next serial returns
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// The next serial on standard input, blank lines skipped; false at its end or on an
// interrupt. A station hands its slots one JSON object a line ({"serial": ...,
// "released_by": ...}), a release going with its serial into the record.
bool NextSerial(bool events, QString& serial, QString& releasedBy) {
    std::string line;
    while (!Interrupted && std::getline(std::cin, line)) {
        serial = QString::fromStdString(line).trimmed();
        releasedBy.clear();
        if (events && serial.startsWith('{')) {
            const QJsonObject given = QJsonDocument::fromJson(serial.toUtf8()).object();
            serial = given.value("serial").toString().trimmed();
            releasedBy = given.value("released_by").toString().trimmed();
            if (serial.isEmpty()) Say("btrun: no serial in " + QString::fromStdString(line));
        }
        if (!serial.isEmpty()) return true;
    }
    return false;
}

// A step that measures the radio holds a shared test set from its start to its end, so
// that no step time of one phone overlaps another's use of the test set.
void TakeTurns(run::RunOptions& options, btrun::RunTester& tester) {
    options.stepStarted = [&tester, before = options.stepStarted](const run::Step& step, int index,
                                                                  int count) {
        if (before) before(step, index, count);
        tester.EndTurn();
        if (step.op->usesTester) tester.TakeTurn();
    };
    options.stepDone = [&tester, after = options.stepDone](const run::PhaseRecord& phase, int index,
                                                           int count) {
        tester.EndTurn();
        if (after) after(phase, index, count);
    };
}

// Runs the plan once per phone: one phone, or one per serial on standard input.
int RunPhones(const Settings& s, const run::Plan& plan, const phonesim::UnitProfile* profile,
              btrun::RunHost& host, btrun::TesterSetup& tester, btrun::RunStore& results,
              btrun::Sinks& sinks) {
    run::RunOptions options;
    options.stationId = s.stationId;
    options.slot = s.slot;
    options.operatorName = s.operatorName;
    options.partNumber = s.partNumber;
    options.revision = s.revision;
    options.lot = s.lot;
    options.releasedBy = s.releasedBy;
    options.textProtocol = host.TextProtocol();
    options.aborted = [] { return Interrupted != 0; };
    options.linkFailure = [&host] { return host.LinkFailure(); };
    options.resetLink = [&host] { host.ResetLink(); };
    options.tester = tester.tester.get();
    options.assignAddress = results.Addresses(options.stationId, options.aborted);
    // Phones without a serial would all be one phone to the store, and share its address.
    if (s.dutId.isEmpty() && !s.loop)
        options.assignAddress = [](const QString&, uint64_t, uint64_t, uint64_t&, QString& why) {
            why = "no serial to hand a device address to: give --dut SERIAL or --loop";
            return false;
        };
    sinks.Attach(options, !s.btsnoop.isEmpty());
    if (tester.tester && tester.tester->Shared()) TakeTurns(options, *tester.tester);

    run::Outcome overall = run::Outcome::Pass;
    int phones = 0;
    const auto runOne = [&](const QString& serial) {
        if (s.port.isEmpty()) host.NewSimulatedUnit(profile, uint64_t(phones));
        ++phones;
        options.dutId = serial;
        if (tester.tester) tester.tester->NewRun();
        sinks.RunStarted(serial);
        run::RunRecord record = run::RunPlan(
            plan, [&host] { return host.NewBackEnd(); }, options);
        if (tester.tester) tester.tester->EndTurn();
        if (tester.tester && plan.usesTester) {
            record.testerIdentity = tester.tester->Identity();
            record.testerAddress = tester.tester->Address();
        }
        if (plan.usesTester) {
            record.fixtureName = tester.fixtureName;
            record.fixtureFile = tester.fixtureFile;
            record.fixtureSha256 = tester.fixtureSha256;
        }
        overall = run::Worse(overall, record.outcome);
        if (!sinks.RunDone(record)) overall = run::Worse(overall, run::Outcome::Error);
    };
    if (!s.loop) {
        runOne(s.dutId.isEmpty() ? "UNKNOWN" : s.dutId);
    } else {
        QString serial, releasedBy;
        while (NextSerial(s.events, serial, releasedBy)) {
            options.releasedBy = releasedBy;
            runOne(serial);
        }
        if (Interrupted) overall = run::Worse(overall, run::Outcome::Aborted);
    }
    overall = sinks.AllDone(phones, overall);
    // A station's idle slot tests no phone in a shift, and that is no fault.
    if (phones == 0 && !Interrupted && !s.events) {
        Say("btrun: no serial on standard input: no phone was tested");
        return kExitBadInput;
    }
    return run::ExitCodeOf(overall);
}

// A run of the plan: everything that can be wrong with the input is found before anything
// is sent.
int RunMain(const Settings& s, btrun::RunStore& results) {
    run::Plan plan;
    QString error;
    if (!run::LoadPlan(s.plan, plan, error)) {
        Say("btrun: " + error);
        return kExitBadInput;
    }
    phonesim::UnitProfile profile;
    std::string why;
    if (!s.unitProfile.isEmpty() &&
        !phonesim::LoadUnitProfile(s.unitProfile.toStdString(), profile, why)) {
        Say("btrun: " + QString::fromStdString(why));
        return kExitBadInput;
    }
    bttrace::BtsnoopWriter trace;
    if (!s.btsnoop.isEmpty() && !trace.Open(s.btsnoop.toStdString())) {
        Say("btrun: cannot record the HCI trace: " + QString::fromStdString(trace.Error()));
        return kExitBadInput;
    }

    btrun::RunHost host(s.interfaceKind, [quiet = s.quiet](const QString& text, bool isError) {
        if (isError || !quiet) Say("btrun: " + text);
    });
    btrun::TesterSetup tester;
    if (!btrun::MakeTester(s, s.port.isEmpty() ? &host.Phone() : nullptr, tester, error)) {
        Say("btrun: " + error);
        return kExitBadInput;
    }
    if (tester.tester && !btrun::TesterCanRun(plan, *tester.tester, error)) {
        Say("btrun: " + s.plan + ": " + error);
        return kExitBadInput;
    }
    if (plan.usesTester && !tester.tester)
        return btrun::Usage("the plan measures the radio: give --tester and --tester-profile "
                            "(the built-in test set measures only the built-in phone)");
    if (tester.tester && !s.testerLock.isEmpty()) {
        auto lock = std::make_unique<btrun::TesterLock>();
        if (!lock->Open(s.testerLock, error)) {
            Say("btrun: " + error);
            return kExitBadInput;
        }
        tester.tester->UseLock(std::move(lock), [] { return Interrupted != 0; });
    }

    btrun::Sinks sinks;
    sinks.Add(btrun::RecordFileSink(s.loop ? QString() : s.out, s.recordsFolder));
    sinks.Add(btrun::StoreSink(results));
    // A station tells its people what its slots' events say.
    if (!s.events) sinks.Add(btrun::ConsoleSink(s.quiet, s.loop));
    if (!s.junit.isEmpty()) sinks.Add(btrun::JUnitSink(s.junit));
    if (!s.btsnoop.isEmpty()) sinks.Add(btrun::BtsnoopSink(trace));
    if (s.events) sinks.Add(btrun::EventsSink(tester.tester.get()));
    // A port that cannot be opened is tried again by every run, and a run that finds it
    // missing leaves a record that says so.
    if (!s.port.isEmpty()) host.UsePort(s.port, s.baud);
    return RunPhones(s, plan, s.unitProfile.isEmpty() ? nullptr : &profile, host, tester, results,
                     sinks);
}

} // namespace

int main(int argc, char** argv) {
    CatchInterrupts();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("btrun");
    const QStringList arguments = QCoreApplication::arguments();
    // btrun --report DIR [--db URL] [--since DATE] [--lot LOT]: the HTML report, no run.
    if (btrun::IsReportCommand(arguments)) return btrun::ReportMain(arguments);

    Settings s;
    QString error;
    if (!btrun::ParseCommandLine(arguments, s, error)) return btrun::Usage(error);
    if (s.mode == Settings::Mode::Help) {
        std::fputs(qPrintable(s.help), stdout);
        return 0;
    }
    if (s.mode == Settings::Mode::Station)
        return btrun::StationMain(s, [] { return Interrupted != 0; });
    store::Target target;
    if (!store::ParseUrl(s.db.isEmpty() ? store::DefaultUrl(s.recordsFolder) : s.db, target, error))
        return btrun::Usage("--db: " + error);
    btrun::RunStore results(target, s.recordsFolder, &Say);
    switch (s.mode) {
    case Settings::Mode::Flush:
        return results.Flush(!s.db.isEmpty());
    case Settings::Mode::Release:
        return results.Release(s.release);
    case Settings::Mode::Import:
        return results.Import(s.imports);
    case Settings::Mode::Calibrate:
        return btrun::CalibrateMain(s);
    default:
        return RunMain(s, results);
    }
}
