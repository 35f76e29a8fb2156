// What the store's reader makes of a line's runs: yield, first-pass yield, the failing
// measurements ranked, Cpk with two, one or no limits, and one phone's history. Every
// expected figure is worked out by hand from the rows below.

#include <gtest/gtest.h>
#include <numeric>

#include "hand_store.h"
#include "store/analysis.h"

namespace {

const QDateTime kDay2(QDate(2025, 3, 2), QTime(0, 0), Qt::UTC);

TEST(StoreAnalysis, YieldPerStationAndDayWithFirstPassYield) {
    HandStore s;
    FillLine(s);
    struct Row {
        QDateTime since;
        const char* station;
        QDate day;
        int runs, pass, fail, error, firstRuns, firstPass;
    };
    const QDate d1(2025, 3, 1), d2(2025, 3, 2);
    // Since day two, P2's retest is no first run: its first run lies before the window.
    const std::vector<std::vector<Row>> cases = {{{{}, "A", {}, 4, 2, 1, 1, 3, 1},
                                                  {{}, "A", d1, 2, 1, 1, 0, 0, 0},
                                                  {{}, "A", d2, 2, 1, 0, 1, 0, 0},
                                                  {{}, "B", {}, 2, 1, 0, 1, 2, 1},
                                                  {{}, "B", d2, 2, 1, 0, 1, 0, 0}},
                                                 {{kDay2, "A", {}, 2, 1, 0, 1, 1, 0},
                                                  {kDay2, "A", d2, 2, 1, 0, 1, 0, 0},
                                                  {kDay2, "B", {}, 2, 1, 0, 1, 2, 1},
                                                  {kDay2, "B", d2, 2, 1, 0, 1, 0, 0}}};
    for (const std::vector<Row>& rows : cases) {
        store::Summary sum;
        QString error;
        ASSERT_TRUE(store::LoadSummary(s.Db(), rows[0].since, sum, error)) << error.toStdString();
        ASSERT_EQ(sum.yield.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const store::YieldRow& y = sum.yield[i];
            SCOPED_TRACE(testing::Message() << "row " << i << " since " << rows[i].since.isValid());
            EXPECT_EQ(y.station, rows[i].station);
            EXPECT_EQ(y.day, rows[i].day);
            EXPECT_EQ(std::vector<int>({y.runs, y.pass, y.fail, y.error, y.firstRuns, y.firstPass}),
                      std::vector<int>({rows[i].runs, rows[i].pass, rows[i].fail, rows[i].error,
                                        rows[i].firstRuns, rows[i].firstPass}));
        }
    }
}

TEST(StoreAnalysis, RanksFailingMeasurementsByFailuresThenShare) {
    HandStore s;
    FillLine(s);
    store::Summary sum;
    QString error;
    ASSERT_TRUE(store::LoadSummary(s.Db(), {}, sum, error));
    std::vector<std::tuple<QString, int, int>> got;
    for (const store::FailureRow& f : sum.failures)
        got.emplace_back(f.name, f.failures, f.runs);
    EXPECT_EQ(got, (std::vector<std::tuple<QString, int, int>>{
                       {"fw", 2, 3}, {"x", 1, 1}, {"per", 1, 2}, {"rssi", 1, 2}}));
}

TEST(StoreAnalysis, CpkWithTwoOneOrNoLimitsWorstFirst) {
    HandStore s;
    FillLine(s);
    store::Summary sum;
    QString error;
    ASSERT_TRUE(store::LoadSummary(s.Db(), {}, sum, error));
    struct Row {
        const char* name;
        int count;
        double mean, sigma;
        const char* cpk; // CpkText
    };
    // temp: sigma sqrt(8/3) = 1.633, Cpk min(20-12, 12-0) / 4.899; per: (9-2) / (3 sqrt 2);
    // rssi: (-52+80) / (3 * 2 sqrt 2).
    const std::vector<Row> rows = {{"temp", 4, 12, 1.632993, "Cpk 1.63"},
                                   {"per", 2, 2, 1.414214, "Cpk 1.65"},
                                   {"rssi", 2, -52, 2.828427, "Cpk 3.3"},
                                   {"count", 2, 8, 1.414214, "no Cpk: no limits"},
                                   {"flat", 2, 5, 0, "no Cpk: no spread, every value is 5"},
                                   {"single", 1, 3, 0, "no Cpk: one value"},
                                   {"x", 1, 1, 0, "no Cpk: one value"}};
    ASSERT_EQ(sum.numeric.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const store::NumericStats& m = sum.numeric[i];
        EXPECT_EQ(m.name, rows[i].name);
        EXPECT_EQ(m.count, rows[i].count) << rows[i].name;
        EXPECT_NEAR(m.mean, rows[i].mean, 1e-6) << rows[i].name;
        EXPECT_NEAR(m.sigma, rows[i].sigma, 1e-6) << rows[i].name;
        EXPECT_EQ(store::CpkText(m), rows[i].cpk);
        const std::vector<int>& c = m.histogram.counts;
        EXPECT_EQ(std::accumulate(c.begin(), c.end(), 0), m.count) << rows[i].name;
    }
    const store::NumericStats& temp = sum.numeric[0];
    EXPECT_EQ(store::LimitsText(temp.low, temp.high), "0 .. 20");
    EXPECT_LE(temp.histogram.low, 0);
    EXPECT_GE(temp.histogram.High(), 20);
    EXPECT_EQ(temp.histogram.counts.size(), 20u);
}

TEST(StoreAnalysis, PhoneHistoryNamesWhatFailed) {
    HandStore s;
    FillLine(s);
    std::vector<store::PhoneRun> runs;
    QString error;
    ASSERT_TRUE(store::LoadPhone(s.Db(), "P2", {}, runs, error));
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].outcome, "FAIL");
    EXPECT_EQ(runs[1].outcome, "PASS");
    ASSERT_EQ(runs[0].failed.size(), 2u);
    EXPECT_EQ(runs[0].failed[0].value + " " + runs[0].failed[0].limits, "4.5 equals 4.6");
    EXPECT_EQ(runs[0].failed[1].value + " " + runs[0].failed[1].limits, "3 max 9");
    ASSERT_TRUE(store::LoadPhone(s.Db(), "P2", kDay2, runs, error));
    EXPECT_EQ(runs.size(), 1u);
    ASSERT_TRUE(store::LoadPhone(s.Db(), "P3", {}, runs, error));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].errors, QStringList{"Firmware: no answer"});
}

TEST(StoreAnalysis, StoreWithoutTablesIsReportedNotShown) {
    HandStore s;
    s.Sql("DROP TABLE runs", {});
    store::Summary sum;
    QString error;
    EXPECT_FALSE(store::LoadSummary(s.Db(), {}, sum, error));
    EXPECT_TRUE(error.contains("runs")) << error.toStdString();
}

} // namespace
