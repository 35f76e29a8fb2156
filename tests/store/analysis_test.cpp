// What the store's reader makes of a line's runs: yield, first-pass yield, the failing
// measurements ranked, Cpk with two, one or no limits. Every expected figure is worked out by
// hand from the rows in hand_store.h.

#include <gtest/gtest.h>
#include <numeric>

#include "hand_store.h"
#include "store/analysis.h"

namespace {

const QDateTime kDay2(QDate(2025, 3, 2), QTime(0, 0), Qt::UTC);

store::Summary Load(const HandStore& s, const QDateTime& since = {}) {
    store::Summary sum;
    QString error;
    EXPECT_TRUE(store::LoadSummary(s.Db(), since, sum, error)) << error.toStdString();
    return sum;
}

TEST(StoreAnalysis, YieldPerStationAndDayWithFirstPassYield) {
    HandStore s;
    FillLine(s);
    // Since day two, P2's retest is no first run: its first run lies before the window.
    const std::vector<std::pair<QDateTime, QStringList>> cases = {
        {{},
         {"A|all days|4|2|1|1|50 %|33.3 % of 3 phones", "|2025-03-01|2|1|1|0|50 %|",
          "|2025-03-02|2|1|0|1|50 %|", "B|all days|2|1|0|1|50 %|50 % of 2 phones",
          "|2025-03-02|2|1|0|1|50 %|"}},
        {kDay2,
         {"A|all days|2|1|0|1|50 %|0 % of 1 phone", "|2025-03-02|2|1|0|1|50 %|",
          "B|all days|2|1|0|1|50 %|50 % of 2 phones", "|2025-03-02|2|1|0|1|50 %|"}}};
    for (const auto& [since, rows] : cases) {
        QStringList got;
        for (const store::YieldRow& y : Load(s, since).yield)
            got << store::YieldCells(y).join('|');
        EXPECT_EQ(got, rows);
    }
}

TEST(StoreAnalysis, RanksFailingMeasurementsByFailuresThenShare) {
    HandStore s;
    FillLine(s);
    const store::Summary sum = Load(s);
    std::vector<std::tuple<QString, int, int>> got;
    for (const store::FailureRow& f : sum.failures)
        got.emplace_back(f.name, f.failures, f.runs);
    EXPECT_EQ(got, (std::vector<std::tuple<QString, int, int>>{
                       {"fw", 2, 3}, {"x", 1, 1}, {"per", 1, 2}, {"rssi", 1, 2}}));
}

TEST(StoreAnalysis, CpkWithTwoOneOrNoLimitsWorstFirst) {
    HandStore s;
    FillLine(s);
    const store::Summary sum = Load(s);
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

} // namespace
