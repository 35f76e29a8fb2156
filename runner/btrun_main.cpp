// btrun: runs a test plan on phones with no one at the bench and leaves one record per
// phone, also in the results database. Exit status: 0 every measurement passed, 1 a
// measurement failed, 2 aborted, 3 the link, the phone or the store failed, 64 usage
// error, 65 a plan or unit profile that cannot be used.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSysInfo>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "bt/ibluetooth.h"
#include "exit_codes.h"
#include "report.h"
#include "run/executor.h"
#include "run/plan.h"
#include "run/record.h"
#include "run_host.h"
#include "run_store.h"
#include "trace/btsnoop.h"

namespace {

using btrun::kExitBadInput;
using btrun::kExitError;
using btrun::kExitUsage;

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

void Say(const QString& line) {
    std::fputs(qPrintable(line + '\n'), stderr);
    std::fflush(stderr);
}

QString StepLine(const run::PhaseRecord& phase, int index, int count) {
    const int width = static_cast<int>(QString::number(count).size());
    QString line = QString("[%1/%2] %3 %4")
                       .arg(index + 1, width)
                       .arg(count)
                       .arg(phase.name.leftJustified(32, '.'))
                       .arg(run::OutcomeName(phase.outcome));
    QStringList notes;
    for (const run::MeasurementRecord& m : phase.measurements)
        if (!m.judgement.pass || m.judgement.marginal)
            notes << (m.judgement.pass ? "marginal: " : "") + run::DescribeMeasurement(m);
    if (!phase.error.isEmpty()) notes << phase.error;
    if (phase.attempts > 1) notes << QString("after %1 attempts").arg(phase.attempts);
    return notes.isEmpty() ? line : line + "  " + notes.join("; ");
}

QString Summary(const run::RunRecord& r, const QString& path) {
    QStringList why;
    int failed = 0;
    for (const run::PhaseRecord& p : r.phases) {
        if (p.outcome != run::Outcome::Fail && p.outcome != run::Outcome::Error) continue;
        ++failed;
        for (const run::MeasurementRecord& m : p.measurements)
            if (!m.judgement.pass) why << run::DescribeMeasurement(m);
        if (!p.error.isEmpty()) why << p.name + ": " + p.error;
    }
    QString line = QString("btrun: %1 %2").arg(r.dutId, run::OutcomeName(r.outcome));
    if (failed > 0)
        line +=
            QString(" (%1 of %2 steps: %3)").arg(failed).arg(r.phases.size()).arg(why.join("; "));
    line += QString(" in %1 s").arg(double(r.start.msecsTo(r.end)) / 1000.0, 0, 'f', 2);
    return path.isEmpty() ? line : line + ", record " + path;
}

int Usage(const QString& why) {
    Say("btrun: " + why);
    Say("usage: btrun PLAN.json [--dut SERIAL] [--station ID] [--out FILE] [--junit FILE]\n"
        "             [--port DEVICE [--baud N]] [--interface-kind N] [--sim-unit FILE] "
        "[--loop] [--quiet] [--btsnoop FILE]\n"
        "             [--db URL]\n"
        "       btrun --flush [--db URL] [--out FOLDER]\n"
        "       btrun --release-address ADDR [--db URL] [--out FOLDER]\n"
        "       btrun --import FILE|FOLDER... [--db URL] [--out FOLDER]\n"
        "       btrun --report DIR [--db URL] [--since YYYY-MM-DD]\n"
        "       btrun --help");
    return kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    CatchInterrupts();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("btrun");
    // btrun --report DIR [--db URL] [--since DATE]: an HTML report of the store, no run.
    if (btrun::IsReportCommand(QCoreApplication::arguments()))
        return btrun::ReportMain(QCoreApplication::arguments());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Runs a test plan on a phone and writes one JSON record per phone.\n"
        "Exit status: 0 pass, 1 fail, 2 aborted, 3 link, phone or store error, 64 usage, "
        "65 bad plan.");
    parser.addPositionalArgument("PLAN.json", "The test plan (docs/plans.md).");
    const QCommandLineOption dut("dut", "Serial number of the phone (default UNKNOWN).", "SERIAL");
    const QCommandLineOption station("station", "Station name (default: host name).", "ID");
    const QCommandLineOption out("out",
                                 "Record file (default results/<serial>-<UTC time>.json); "
                                 "with --loop the folder of the records.",
                                 "FILE");
    const QCommandLineOption junit("junit", "Also write the run as JUnit XML to FILE.", "FILE");
    const QCommandLineOption port("port",
                                  "Talk to a phone on the serial DEVICE (or phonesim --pty) "
                                  "instead of the built-in simulated phone.",
                                  "DEVICE");
    const QCommandLineOption baud("baud", "Baud rate of --port (default 115200).", "N", "115200");
    const QCommandLineOption kind(
        "interface-kind", "2 (default): text commands; any other value: binary records.", "N", "2");
    const QCommandLineOption unit("sim-unit", "Unit profile of the built-in simulated phone.",
                                  "FILE");
    const QCommandLineOption loop("loop",
                                  "Read one serial per line from standard input and run the "
                                  "plan once per serial until end of input.");
    const QCommandLineOption quiet("quiet", "Print only the summary line of each phone.");
    const QCommandLineOption btsnoop(
        "btsnoop", "Record the raw HCI commands and their events to FILE (btmon -r FILE).", "FILE");
    const QCommandLineOption db("db",
                                "Results database: sqlite:PATH or "
                                "postgresql://[USER@]HOST[:PORT]/DB (default "
                                "sqlite:<records folder>/results.sqlite; docs/store.md).",
                                "URL");
    const QCommandLineOption flush(
        "flush", "Upload the runs waiting in <records folder>/spool.sqlite and exit.");
    const QCommandLineOption release(
        "release-address", "Free the device address ADDR for another phone and exit.", "ADDR");
    const QCommandLineOption import("import",
                                    "Store the run records given as FILE or FOLDER (its *.json) "
                                    "that the database lacks, and exit (0 all added or present, "
                                    "65 some unreadable, 3 store error).");
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    parser.addOptions({dut, station, out, junit, port, baud, kind, unit, loop, quiet, btsnoop, db,
                       flush, release, import, help});
    if (!parser.parse(QCoreApplication::arguments())) return Usage(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }

    // Records folder: the --out folder (with --loop and the store commands), the
    // folder of --out FILE, or "results".
    const int storeCommands = parser.isSet(flush) + parser.isSet(release) + parser.isSet(import);
    const bool storeOnly = storeCommands > 0;
    const QString folder = !parser.isSet(out)                ? QString("results")
                           : parser.isSet(loop) || storeOnly ? parser.value(out)
                                                             : QFileInfo(parser.value(out)).path();
    store::Target target;
    QString error;
    if (!store::ParseUrl(parser.isSet(db) ? parser.value(db) : store::DefaultUrl(folder), target,
                         error))
        return Usage("--db: " + error);
    btrun::RunStore results(target, folder, &Say);
    if (storeOnly) {
        if (storeCommands > 1)
            return Usage("--flush, --release-address and --import are separate commands");
        if (parser.isSet(import))
            return parser.positionalArguments().isEmpty()
                       ? Usage("--import needs record files or folders")
                       : results.Import(parser.positionalArguments());
        if (!parser.positionalArguments().isEmpty())
            return Usage("--flush and --release-address take no plan");
        return parser.isSet(flush) ? results.Flush(parser.isSet(db))
                                   : results.Release(parser.value(release));
    }
    if (parser.positionalArguments().size() != 1) return Usage("give exactly one plan file");
    bool ok = false;
    const int interfaceKind = parser.value(kind).toInt(&ok);
    if (!ok) return Usage("--interface-kind takes a whole number");
    const qint32 baudRate = parser.value(baud).toInt(&ok);
    if (!ok || baudRate <= 0) return Usage("--baud takes a positive whole number");
    if (parser.isSet(loop) && parser.isSet(dut))
        return Usage("--loop reads the serials; drop --dut");
    if (parser.isSet(port) && parser.isSet(unit))
        return Usage("--sim-unit is for the built-in phone; give it to phonesim with --port");
    if (parser.isSet(baud) && !parser.isSet(port)) return Usage("--baud needs --port");
    const bool isQuiet = parser.isSet(quiet);

    // Everything that can be wrong with the input is found before anything is sent.
    run::Plan plan;
    if (!run::LoadPlan(parser.positionalArguments().front(), plan, error)) {
        Say("btrun: " + error);
        return kExitBadInput;
    }
    phonesim::UnitProfile profile;
    if (parser.isSet(unit)) {
        std::string why;
        if (!phonesim::LoadUnitProfile(parser.value(unit).toStdString(), profile, why)) {
            Say("btrun: " + QString::fromStdString(why));
            return kExitBadInput;
        }
    }

    bttrace::BtsnoopWriter trace;
    if (parser.isSet(btsnoop) && !trace.Open(parser.value(btsnoop).toStdString())) {
        Say("btrun: cannot record the HCI trace: " + QString::fromStdString(trace.Error()));
        return kExitBadInput;
    }

    btrun::RunHost host(interfaceKind, [isQuiet](const QString& text, bool isError) {
        if (isError || !isQuiet) Say("btrun: " + text);
    });
    if (parser.isSet(port) && !host.UsePort(parser.value(port), baudRate)) return kExitError;

    run::RunOptions options;
    options.stationId = parser.isSet(station) ? parser.value(station) : QSysInfo::machineHostName();
    options.textProtocol = host.TextProtocol();
    options.aborted = [] { return Interrupted != 0; };
    options.assignAddress = results.Addresses(options.stationId, options.aborted);
    // Phones without a serial would all be one phone to the store, and share its address.
    if (!parser.isSet(dut) && !parser.isSet(loop))
        options.assignAddress = [](const QString&, uint64_t, uint64_t, uint64_t&, QString& why) {
            why = "no serial to hand a device address to: give --dut SERIAL or --loop";
            return false;
        };
    if (parser.isSet(btsnoop))
        options.hciTraffic = [&trace](const QByteArray& bytes, bool answer) {
            const std::span<const uint8_t> data(reinterpret_cast<const uint8_t*>(bytes.data()),
                                                size_t(bytes.size()));
            if (answer)
                trace.RecordAnswer(data);
            else
                trace.RecordCommand(data);
        };
    if (!isQuiet)
        options.stepDone = [](const run::PhaseRecord& phase, int index, int count) {
            Say(StepLine(phase, index, count));
        };

    std::vector<run::RunRecord> junitRecords;
    run::Outcome overall = run::Outcome::Pass;
    uint64_t units = 0;
    const auto runOne = [&](const QString& serial) {
        if (!parser.isSet(port))
            host.NewSimulatedUnit(parser.isSet(unit) ? &profile : nullptr, units);
        ++units;
        options.dutId = serial;
        const std::unique_ptr<IBluetooth> bt = host.NewBackEnd();
        const run::RunRecord record = run::RunPlan(plan, *bt, options);
        overall = run::Worse(overall, record.outcome);
        const QString path =
            parser.isSet(out) && !parser.isSet(loop)
                ? parser.value(out)
                : run::DefaultRecordPath(parser.isSet(out) ? parser.value(out) : "results", serial,
                                         record.start);
        QString why;
        if (!run::WriteRecord(path, record, why)) {
            Say("btrun: cannot write the record: " + why);
            overall = run::Worse(overall, run::Outcome::Error);
        }
        // After the file: trouble with the store never costs the record.
        if (!results.Keep(record.runId, run::RecordText(record)))
            overall = run::Worse(overall, run::Outcome::Error);
        Say(Summary(record, path));
        if (parser.isSet(junit)) {
            junitRecords.push_back(record);
            if (!run::WriteJUnit(parser.value(junit), junitRecords, why)) {
                Say("btrun: cannot write the JUnit file: " + why);
                overall = run::Worse(overall, run::Outcome::Error);
            }
        }
    };

    if (!parser.isSet(loop)) {
        runOne(parser.isSet(dut) ? parser.value(dut) : "UNKNOWN");
    } else {
        std::string line;
        while (!Interrupted && std::getline(std::cin, line)) {
            const QString serial = QString::fromStdString(line).trimmed();
            if (!serial.isEmpty()) runOne(serial);
        }
        if (Interrupted) overall = run::Worse(overall, run::Outcome::Aborted);
        if (!isQuiet)
            Say(QString("btrun: %1 phones, %2").arg(units).arg(run::OutcomeName(overall)));
    }
    if (!results.Finish()) overall = run::Worse(overall, run::Outcome::Error);
    return run::ExitCodeOf(overall);
}
