// The station's Results window as the line leader watches it: the yield table, the histogram
// of the chosen measurement with its limits, and runs that arrive while it is open.

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "hand_store.h"
#include "host/results_window.h"
#include "host/station.h"

namespace {

QStringList SeriesNames(const ResultsWindow& w) {
    QStringList names;
    for (const QAbstractSeries* s : w.Histogram()->chart()->series())
        names << s->name();
    return names;
}

TEST(ResultsWindow, OpensFromTheMenuAndPicksUpRunsStoredLater) {
    HandStore s;
    FillLine(s);
    Station station;
    station.SetResultsStore("sqlite:" + s.Path());
    station.findChild<QAction*>("actionResults")->trigger();
    auto* w = station.findChild<ResultsWindow*>();
    ASSERT_TRUE(w && w->isVisible());
    w->SetPollInterval(50);
    ASSERT_EQ(w->YieldTable()->rowCount(), 5);
    EXPECT_EQ(w->YieldTable()->item(0, 6)->text(), "50 %");
    // The weakest is shown first, with both limits and the mean drawn in (figures worked out
    // in analysis_test.cpp).
    EXPECT_EQ(w->Histogram()->chart()->title(), "Step: zigzag: n 5, mean 3, sigma 1.581, sigma "
                                                "within 2.216, Ppk 0.63; Cpk 0.45");
    EXPECT_EQ(SeriesNames(*w), QStringList({"runs per bin", "LSL 0", "USL 10", "mean 3"}));
    // per: weak on its Cpk alone.
    const auto* list = w->findChild<QListWidget*>();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->item(1)->text(), "Step: per  -  Ppk 1.65; Cpk 1.32");
    EXPECT_EQ(list->item(1)->foreground().color(), QColor("#b26a00"));
    w->ShowMeasurement("Step: rssi");
    EXPECT_EQ(SeriesNames(*w).mid(1), QStringList({"LSL -80", "mean -52"}));
    w->ShowMeasurement("Step: x");
    EXPECT_EQ(SeriesNames(*w).at(1), "outside the limits");

    // Slot 2 of station A failed every phone.
    ASSERT_EQ(w->SlotTable()->rowCount(), 3);
    EXPECT_EQ(w->SlotTable()->item(1, 1)->text(), "2");
    EXPECT_EQ(w->SlotTable()->item(1, 6)->text(), "0 %");

    s.Run("r7", "P6", "C", "PASS", "2025-03-03T08:00:00.000Z", "1", "L3");
    ASSERT_TRUE(QTest::qWaitFor([w] { return w->YieldTable()->rowCount() == 7; }, 5000));
    EXPECT_EQ(w->YieldTable()->item(5, 0)->text(), "C");
    EXPECT_TRUE(w->Histogram()->chart()->title().startsWith("Step: x:")); // still the chosen one
    // One lot: its runs alone, in every table.
    auto* lots = w->LotFilter();
    ASSERT_EQ(lots->count(), 4);
    EXPECT_EQ(lots->itemText(0), "all lots");
    lots->setCurrentText("L1");
    EXPECT_EQ(w->YieldTable()->rowCount(), 2);
    EXPECT_EQ(w->SlotTable()->rowCount(), 2);
    EXPECT_EQ(w->FailureTable()->item(0, 1)->text(), "Step: fw");
    EXPECT_EQ(w->FailureTable()->item(0, 3)->text(), "2");

    Station other;
    other.SetResultsStore("results.sqlite");
    EXPECT_EQ(other.OpenResultsWindow(), nullptr);
    EXPECT_TRUE(other.LogPane()->toPlainText().contains("Results: "));
}

} // namespace
