// The results store on a line, against one PostgreSQL server of the benchmark's own
// (scripts/pg_server.sh, fsync off as in the tests: the server's disk is not measured):
//  - Line: 16 stations (`btrun --loop` processes) at once, half of them handing out device
//    addresses; runs stored per second over the whole line;
//  - Flush: 1000 runs spooled while the server was down, uploaded by `btrun --flush`;
//  - Station: one station storing into its own SQLite file; runs stored per second.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include "line_load.h"
#include "pg_server.h"

namespace {

const QString kData = DATA_DIR;
const QString kGolden = QString(PLANS_DIR) + "/units/golden.json";

LineLoad Line(const QString& folder, const QString& db, int stations, int phones) {
    LineLoad line;
    line.btrun = BTRUN_PATH;
    line.folder = folder;
    line.db = db;
    line.plan = kData + "/line-plan.json";
    line.provisioningPlan = kData + "/line-provision.json";
    line.extraArgs = {"--sim-unit", kGolden};
    line.stations = stations;
    line.phones = phones;
    return line;
}

bool RunLine(benchmark::State& state, LineLoad& line) {
    QString error;
    if (!line.Run({}, error)) {
        state.SkipWithError(error.toStdString().c_str());
        return false;
    }
    for (int code : line.exits)
        if (code != 0) {
            state.SkipWithError("a station did not pass every phone");
            return false;
        }
    return true;
}

void LineThroughput(benchmark::State& state) {
    const int stations = int(state.range(0)), phones = int(state.range(1));
    for (auto _ : state) {
        PgServer server;
        QTemporaryDir dir;
        if (!server.Start()) return state.SkipWithError(server.Error().toStdString().c_str());
        LineLoad line = Line(dir.path(), server.Url(), stations, phones);
        QElapsedTimer clock;
        clock.start();
        if (!RunLine(state, line)) return;
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        state.counters["runs_per_s"] = double(stations * phones) / seconds;
    }
}
BENCHMARK(LineThroughput)
    ->Args({16, 200})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

void StationSqlite(benchmark::State& state) {
    const int phones = int(state.range(0));
    for (auto _ : state) {
        QTemporaryDir dir;
        LineLoad line = Line(dir.path(), "sqlite:" + dir.filePath("results.sqlite"), 1, phones);
        QElapsedTimer clock;
        clock.start();
        if (!RunLine(state, line)) return;
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        state.counters["runs_per_s"] = double(phones) / seconds;
    }
}
BENCHMARK(StationSqlite)->Arg(1000)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

void Flush(benchmark::State& state) {
    const int phones = int(state.range(0));
    for (auto _ : state) {
        PgServer server;
        QTemporaryDir dir;
        if (!server.Start() || !server.Stop())
            return state.SkipWithError(server.Error().toStdString().c_str());
        // One station without provisioning: every run goes into its spool.
        LineLoad line = Line(dir.path(), server.Url(), 1, phones);
        line.provisioningPlan = line.plan;
        QString error;
        if (!line.Run({}, error)) return state.SkipWithError(error.toStdString().c_str());
        if (!server.Start()) return state.SkipWithError(server.Error().toStdString().c_str());
        QProcess flush;
        QElapsedTimer clock;
        clock.start();
        flush.start(BTRUN_PATH, {"--flush", "--db", server.Url(), "--out", line.StationFolder(0)});
        if (!flush.waitForFinished(600000) || flush.exitCode() != 0)
            return state.SkipWithError("btrun --flush failed");
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        state.counters["runs_per_s"] = double(phones) / seconds;
    }
}
BENCHMARK(Flush)->Arg(1000)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
