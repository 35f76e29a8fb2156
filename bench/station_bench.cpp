// A station of several slots against one of a single slot: the production plan on the
// built-in simulated phones (golden unit) and test sets, which take the air time a real
// test set takes, 16 phones per case. The test set is shared in turns, so it bounds the
// throughput: with f its share of one phone's time on a single slot, four slots can reach
// at most about 1 / (f + (1 - f) / 4) times one slot's phones per hour.
//  - Station/slots:N/outside_ms:0: the production plan as it stands; the built-in phone
//    answers at once, so nearly all of a phone's time is the test set's.
//  - outside_ms:4000: the plan with 4 s of the phone's own work first (a wait step, as a
//    phone's boot, flashing or a slow link take), during which the test set is free.
// Counters: units per hour, each slot's share of its time waiting for the test set, f
// (measured on one slot), the bound and the share of it reached.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <algorithm>
#include <map>

#include "runner/station.h"

namespace {

const QString kPlans = PLANS_DIR;
constexpr int kPhones = 16;

// One slot's figures, by the outside time: phones per hour and f.
struct OneSlot {
    double perHour = 0, f = 0;
};
std::map<int64_t, OneSlot> single;

bool WriteJson(const QString& path, const QJsonObject& object) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(object).toJson()) > 0;
}

// The station file of `slotCount` golden slots on the production plan with `outsideMs` of the
// phone's own work first.
QString StationFile(const QTemporaryDir& dir, int slotCount, int outsideMs) {
    QFile production(kPlans + "/production.json");
    if (!production.open(QIODevice::ReadOnly)) return {};
    QJsonObject plan = QJsonDocument::fromJson(production.readAll()).object();
    QJsonArray steps = plan.value("steps").toArray();
    if (outsideMs > 0)
        steps.prepend(QJsonObject{{"name", "The phone's own work"},
                                  {"operation", "wait"},
                                  {"args", QJsonObject{{"ms", outsideMs}}}});
    plan["steps"] = steps;
    QJsonArray list;
    for (int i = 0; i < slotCount; ++i)
        list.append(QJsonObject{{"name", QString(QChar('A' + i))},
                                {"sim_unit", kPlans + "/units/golden.json"},
                                {"fixture", kPlans + "/fixtures/station.json"}});
    const QJsonObject station{{"station_id", "bench"},
                              {"plan", dir.filePath("plan.json")},
                              {"records", dir.filePath("records")},
                              {"slots", list}};
    const QString path = dir.filePath("station.json");
    return WriteJson(dir.filePath("plan.json"), plan) && WriteJson(path, station) ? path
                                                                                  : QString();
}

void StationRun(benchmark::State& state) {
    const int slotCount = static_cast<int>(state.range(0));
    const int outsideMs = static_cast<int>(state.range(1));
    QTemporaryDir dir;
    btrun::StationConfig config;
    QString error;
    if (!btrun::LoadStationConfig(StationFile(dir, slotCount, outsideMs), config, error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    for (auto _ : state) {
        btrun::Station station(config, BTRUN_PATH, {});
        QEventLoop loop;
        int next = 0, done = 0, passed = 0;
        const auto feed = [&] {
            while (next < kPhones &&
                   station.Scan(QString("SN%1").arg(next)).kind == btrun::ScanResult::Kind::Started)
                ++next;
        };
        QElapsedTimer wall;
        double seconds = 0;
        QObject::connect(&station, &btrun::Station::event, [&](const btrun::SlotEvent& e) {
            if (e.kind != btrun::SlotEvent::Kind::Finished) return;
            passed += e.data.value("outcome").toString() == "PASS";
            if (++done < kPhones) return feed();
            seconds = double(wall.nsecsElapsed()) / 1e9;
            station.Stop();
        });
        QObject::connect(&station, &btrun::Station::stopped, &loop, &QEventLoop::quit);
        if (!station.Start(error)) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        wall.start();
        feed();
        loop.exec();
        state.SetIterationTime(seconds);
        if (passed != kPhones) state.SkipWithError("a golden phone did not pass");

        double testing = 0, held = 0, worstWait = 0;
        for (const btrun::SlotConfig& slot : config.slotList) {
            const btrun::SlotTimes t = station.Times(slot.name);
            testing += t.testing;
            held += t.held;
            worstWait = std::max(worstWait, t.testing > 0 ? t.waited / t.testing : 0);
            state.counters["wait_%_" + slot.name.toStdString()] = 100 * t.waited / t.testing;
        }
        const double perHour = 3600.0 * kPhones / seconds;
        state.counters["units_per_hour"] = perHour;
        state.counters["wait_%_worst"] = 100 * worstWait;
        if (slotCount == 1) single[outsideMs] = {perHour, held / testing};
        const OneSlot one = single[outsideMs];
        if (one.perHour <= 0) continue;
        const double bound = one.perHour / (one.f + (1 - one.f) / slotCount);
        state.counters["f_%"] = 100 * one.f;
        state.counters["bound_per_hour"] = bound;
        state.counters["of_bound_%"] = 100 * perHour / bound;
    }
}
// One slot first: the station of four is held against its figures.
BENCHMARK(StationRun)
    ->ArgNames({"slots", "outside_ms"})
    ->Args({1, 0})
    ->Args({4, 0})
    ->Args({1, 4000})
    ->Args({4, 4000})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
