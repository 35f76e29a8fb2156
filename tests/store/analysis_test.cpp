// What the store's reader makes of a line's runs: yield, first-pass yield, the failing
// measurements ranked, Ppk and Cpk with two, one or no limits. Every expected figure is worked out
// by hand from the rows in hand_store.h.

#include <gtest/gtest.h>
#include <numeric>

#include "hand_store.h"
#include "store/analysis.h"

namespace {

const QDateTime kDay2(QDate(2025, 3, 2), QTime(0, 0), Qt::UTC);

store::Summary Load(const HandStore& s, const store::Filter& filter = {}) {
    store::Summary sum;
    QString error;
    EXPECT_TRUE(store::LoadSummary(s.Db(), filter, sum, error)) << error.toStdString();
    return sum;
}

TEST(StoreAnalysis, YieldPerStationAndDayAndPerSlotWithFirstPassYield) {
    HandStore s;
    FillLine(s);
    // Since day two, or in lot L2, P2's retest is no first run: its first run lies outside.
    const std::vector<std::pair<store::Filter, QStringList>> cases = {
        {{},
         {"A|all days|4|2|1|1|50 %|33.3 % of 3 phones", "|2025-03-01|2|1|1|0|50 %|",
          "|2025-03-02|2|1|0|1|50 %|", "B|all days|2|1|0|1|50 %|50 % of 2 phones",
          "|2025-03-02|2|1|0|1|50 %|"}},
        {kDay2,
         {"A|all days|2|1|0|1|50 %|0 % of 1 phone", "|2025-03-02|2|1|0|1|50 %|",
          "B|all days|2|1|0|1|50 %|50 % of 2 phones", "|2025-03-02|2|1|0|1|50 %|"}},
        {{{}, "L2"}, {"A|all days|2|1|0|1|50 %|0 % of 1 phone", "|2025-03-02|2|1|0|1|50 %|"}}};
    for (const auto& [filter, rows] : cases) {
        QStringList got;
        for (const store::YieldRow& y : Load(s, filter).yield)
            got << store::YieldCells(y).join('|');
        EXPECT_EQ(got, rows);
    }
    QStringList perSlot;
    for (const store::YieldRow& y : Load(s).bySlot)
        perSlot << store::SlotCells(y).join('|');
    EXPECT_EQ(perSlot,
              (QStringList{"A|1|2|2|0|0|100 %|100 % of 1 phone", "A|2|2|0|1|1|0 %|0 % of 2 phones",
                           "B|no slot|2|1|0|1|50 %|50 % of 2 phones"}));
}

TEST(StoreAnalysis, RanksFailingMeasurementsByFailuresThenShare) {
    HandStore s;
    FillLine(s);
    using Rows = std::vector<std::tuple<QString, int, int>>;
    // In lot L2 only r4 failed anything.
    for (const auto& [lot, rows] :
         {std::pair<QString, Rows>{{},
                                   {{"Step: fw", 2, 3},
                                    {"Step: x", 1, 1},
                                    {"Step: per", 1, 2},
                                    {"Step: rssi", 1, 2},
                                    {"Switch the chip off: chip_state", 1, 2}}},
          {"L2", {{"Step: fw", 1, 1}}}}) {
        Rows got;
        for (const store::FailureRow& f : Load(s, {{}, lot}).failures)
            got.emplace_back(store::MeasurementLabel(f.step, f.name), f.failures, f.runs);
        EXPECT_EQ(got, rows);
    }
}

TEST(StoreAnalysis, PpkAndCpkWithTwoOneOrNoLimitsWeakestFirst) {
    HandStore s;
    FillLine(s);
    const store::Summary sum = Load(s);
    struct Row {
        const char* label;
        int count;
        double mean, sigma, within;
        const char* indices; // CapabilityText
    };
    // Ppk = min(USL - mean, mean - LSL) / 3 sigma; Cpk the same with within = MR-bar / 1.128.
    // zigzag 1 5 2 4 3, limits 0..10: mean 3, sigma sqrt(10/4) = 1.581139, Ppk 3 / 4.743416 =
    //   0.632; MR 4 3 2 1, MR-bar 2.5, within 2.216312, Cpk 3 / 6.648936 = 0.451.
    // per 1 3, max 9: sigma sqrt 2, Ppk 7 / 4.242641 = 1.650; MR-bar 2, within 1.773050,
    //   Cpk 7 / 5.319149 = 1.316.
    // temp 10 12 14 12, 0..20 (r3's limits): sigma sqrt(8/3) = 1.632993, Ppk 8 / 4.898979 =
    //   1.633; MR-bar 2, Cpk 8 / 5.319149 = 1.504.
    // rssi -50 -54, min -80: sigma 2 sqrt 2, Ppk 28 / 8.485281 = 3.300; MR-bar 4, within
    //   3.546099, Cpk 28 / 10.638298 = 2.632.
    // The chip off 0 1: MR-bar 1, within 0.886525; by name alone it would be 1 1 0 1, mean 0.75.
    const std::vector<Row> rows = {
        {"Step: zigzag", 5, 3, 1.581139, 2.216312, "Ppk 0.63; Cpk 0.45"},
        {"Step: per", 2, 2, 1.414214, 1.773050, "Ppk 1.65; Cpk 1.32"},
        {"Step: temp", 4, 12, 1.632993, 1.773050, "Ppk 1.63; Cpk 1.5"},
        {"Step: rssi", 2, -52, 2.828427, 3.546099, "Ppk 3.3; Cpk 2.63"},
        {"Step: count", 2, 8, 1.414214, 1.773050, "no Ppk or Cpk: no limits"},
        {"Step: flat", 2, 5, 0, 0,
         "no Ppk: no spread, every value is 5; no Cpk: zero moving range"},
        {"Step: single", 1, 3, 0, 0, "no Ppk or Cpk: one value"},
        {"Step: x", 1, 1, 0, 0, "no Ppk or Cpk: one value"},
        {"Switch the chip off: chip_state", 2, 0.5, 0.707107, 0.886525, "no Ppk or Cpk: no limits"},
        {"Switch the chip on: chip_state", 2, 1, 0, 0, "no Ppk or Cpk: no limits"}};
    ASSERT_EQ(sum.numeric.size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const store::NumericStats& m = sum.numeric[i];
        SCOPED_TRACE(rows[i].label);
        EXPECT_EQ(m.Label(), rows[i].label);
        EXPECT_EQ(m.count, rows[i].count);
        EXPECT_NEAR(m.mean, rows[i].mean, 1e-6);
        EXPECT_NEAR(m.sigma, rows[i].sigma, 1e-6);
        EXPECT_NEAR(m.sigmaWithin, rows[i].within, 1e-6);
        EXPECT_EQ(store::CapabilityText(m), rows[i].indices);
        const std::vector<int>& c = m.histogram.counts;
        EXPECT_EQ(std::accumulate(c.begin(), c.end(), 0), m.count);
    }
    const store::NumericStats& temp = sum.numeric[2];
    EXPECT_EQ(store::LimitsText(temp.low, temp.high), "0 .. 20");
    EXPECT_LE(temp.histogram.low, 0);
    EXPECT_GE(temp.histogram.High(), 20);
    EXPECT_EQ(temp.histogram.counts.size(), 20u);
}

} // namespace
