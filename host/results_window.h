#pragma once
// The station's Results window: yield per station and day and per slot, the failing
// measurements ranked, and the histogram of a chosen measurement against its limits, from
// the results store, of all lots or of one. It looks at the store every few seconds and
// reads it again only when runs arrived.

#include <QSqlDatabase>
#include <QString>
#include <QWidget>

#include "store/analysis.h"

class QChartView;
class QComboBox;
class QLabel;
class QListWidget;
class QTableWidget;
class QTimer;

class ResultsWindow : public QWidget {
    Q_OBJECT
public:
    // `db` stays open for the window's life; `source` names the store in the window.
    ResultsWindow(const QSqlDatabase& db, const QString& source, QWidget* parent = nullptr);

    void Reload();
    void SetPollInterval(int ms);
    // Draws the histogram of the measurement `label` ("Step: name", as the list shows it).
    void ShowMeasurement(const QString& label);

    QTableWidget* YieldTable() const { return yield_; }
    QTableWidget* SlotTable() const { return slotTable_; }
    // "all lots", then each lot of the store.
    QComboBox* LotFilter() const { return lots_; }
    QTableWidget* FailureTable() const { return failures_; }
    QChartView* Histogram() const { return chart_; }

private:
    void Poll();
    void FillTables();
    void FillList();
    void DrawHistogram(const store::NumericStats& m);

    QSqlDatabase db_;
    QString source_;
    QString stamp_;
    store::Summary summary_;
    QLabel* status_ = nullptr;
    QTableWidget* yield_ = nullptr;
    QTableWidget* slotTable_ = nullptr;
    QComboBox* lots_ = nullptr;
    QTableWidget* failures_ = nullptr;
    QListWidget* list_ = nullptr;
    QChartView* chart_ = nullptr;
    QTimer* poll_ = nullptr;
};
