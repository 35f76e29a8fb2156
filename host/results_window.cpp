#include "host/results_window.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QLineSeries>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace {

const QColor kBars("#5b8dc9");
const QColor kOutside("#e57373");
const QColor kLimit("#c62828");
const QColor kWeak("#b26a00");

QTableWidget* NewTable(const QString& name, QWidget* parent) {
    auto* table = new QTableWidget(parent);
    table->setObjectName(name);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    table->verticalHeader()->hide();
    return table;
}

void Fill(QTableWidget* table, const QStringList& headers, const std::vector<QStringList>& rows,
          int leftColumns, const std::vector<bool>& bold = {}) {
    table->clear();
    table->setColumnCount(int(headers.size()));
    table->setHorizontalHeaderLabels(headers);
    table->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < int(rows[r].size()); ++c) {
            auto* item = new QTableWidgetItem(rows[r][c]);
            item->setTextAlignment(Qt::AlignVCenter |
                                   (c < leftColumns ? Qt::AlignLeft : Qt::AlignRight));
            if (r < int(bold.size()) && bold[r]) {
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
            }
            table->setItem(r, c, item);
        }
    table->resizeColumnsToContents();
}

// A vertical line from the axis to the top of the plot: a limit or the mean.
QLineSeries* Marker(double at, double top, const QString& name, const QPen& pen) {
    auto* line = new QLineSeries;
    line->append(at, 0);
    line->append(at, top);
    line->setName(name);
    line->setPen(pen);
    return line;
}

} // namespace

ResultsWindow::ResultsWindow(const QSqlDatabase& db, const QString& source, QWidget* parent)
    : QWidget(parent, Qt::Window), db_(db), source_(source) {
    setObjectName("ResultsWindow");
    setWindowTitle("Results");
    status_ = new QLabel(this);
    status_->setObjectName("status");
    lots_ = new QComboBox(this);
    lots_->setObjectName("lotFilter");
    lots_->addItem("all lots");
    yield_ = NewTable("yieldTable", this);
    slotTable_ = NewTable("slotTable", this);
    failures_ = NewTable("failureTable", this);
    list_ = new QListWidget(this);
    list_->setObjectName("measurementList");
    chart_ = new QChartView(new QChart, this);
    chart_->setObjectName("histogram");
    chart_->setRenderHint(QPainter::Antialiasing);

    auto* tables = new QSplitter(Qt::Horizontal);
    tables->addWidget(yield_);
    tables->addWidget(slotTable_);
    tables->addWidget(failures_);
    tables->setStretchFactor(0, 3);
    tables->setStretchFactor(1, 2);
    tables->setStretchFactor(2, 2);
    auto* measurements = new QSplitter(Qt::Horizontal);
    measurements->addWidget(list_);
    measurements->addWidget(chart_);
    measurements->setStretchFactor(1, 1);
    measurements->setSizes({380, 860});
    auto* both = new QSplitter(Qt::Vertical);
    both->addWidget(tables);
    both->addWidget(measurements);
    both->setSizes({280, 540});
    auto* top = new QHBoxLayout;
    top->addWidget(status_, 1);
    top->addWidget(new QLabel("Lot:", this));
    top->addWidget(lots_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(both, 1);

    connect(lots_, &QComboBox::currentIndexChanged, this, &ResultsWindow::Reload);
    connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item) ShowMeasurement(item->data(Qt::UserRole).toString());
    });
    poll_ = new QTimer(this);
    poll_->setInterval(2000);
    connect(poll_, &QTimer::timeout, this, &ResultsWindow::Poll);
    poll_->start();
    resize(1240, 840);
    Reload();
}

void ResultsWindow::SetPollInterval(int ms) {
    poll_->setInterval(ms);
}

// A count of the runs is cheap: the whole summary is read only when runs arrived.
void ResultsWindow::Poll() {
    if (!isVisible()) return;
    QString stamp, error;
    if (!store::ReadChangeStamp(db_, stamp, error))
        status_->setText(source_ + ": " + error);
    else if (stamp != stamp_)
        Reload();
}

void ResultsWindow::Reload() {
    QString stamp, error;
    store::Summary summary;
    QStringList lots;
    // The first entry is all lots.
    const QString lot = lots_->currentIndex() > 0 ? lots_->currentText() : QString();
    // The stamp first: a run stored while the summary is read shows at the next look.
    if (!store::ReadChangeStamp(db_, stamp, error) || !store::LoadLots(db_, lots, error) ||
        !store::LoadSummary(db_, {{}, lot}, summary, error)) {
        status_->setText(source_ + ": " + error);
        return;
    }
    if (!lot.isEmpty() && !lots.contains(lot)) lots << lot; // its runs were deleted
    {
        const QSignalBlocker quiet(lots_);
        lots_->clear();
        lots_->addItem("all lots");
        lots_->addItems(lots);
        lots_->setCurrentIndex(lot.isEmpty() ? 0 : int(lots.indexOf(lot)) + 1);
    }
    stamp_ = stamp;
    summary_ = std::move(summary);
    // One arg() for all: a lot named "%4" stays as it is.
    status_->setText(source_ + QString(": %1 runs of %2 phones%3, read %4")
                                   .arg(QString::number(summary_.runs),
                                        QString::number(summary_.phones.size()),
                                        lot.isEmpty() ? QString() : " of lot " + lot,
                                        QTime::currentTime().toString("HH:mm:ss")));
    FillTables();
    FillList();
}

void ResultsWindow::FillTables() {
    std::vector<QStringList> rows;
    std::vector<bool> totals;
    for (const store::YieldRow& y : summary_.yield) {
        rows.push_back(store::YieldCells(y));
        totals.push_back(!y.day.isValid());
    }
    Fill(yield_, store::YieldHeaders(), rows, 2, totals);
    rows.clear();
    for (const store::YieldRow& y : summary_.bySlot)
        rows.push_back(store::SlotCells(y));
    Fill(slotTable_, store::SlotHeaders(), rows, 2);
    rows.clear();
    for (const store::FailureRow& f : summary_.failures)
        rows.push_back({QString::number(rows.size() + 1), store::MeasurementLabel(f.step, f.name),
                        QString::number(f.failures), QString::number(f.runs),
                        store::Number(store::Percent(f.failures, f.runs), 1) + " %"});
    Fill(failures_, {"#", "Failing measurement", "Failed runs", "Runs that took it", "Share"}, rows,
         2);
    failures_->setColumnWidth(0, 30);
}

void ResultsWindow::FillList() {
    const QString chosen =
        list_->currentItem() ? list_->currentItem()->data(Qt::UserRole).toString() : QString();
    {
        const QSignalBlocker quiet(list_);
        list_->clear();
        for (const store::NumericStats& m : summary_.numeric) {
            auto* item = new QListWidgetItem(m.Label() + "  -  " + store::CapabilityText(m), list_);
            item->setData(Qt::UserRole, m.Label());
            // Weak on either index: a stable process can still sit too close to a limit.
            const std::optional<double> weakest = m.Weakest();
            if (weakest && *weakest < 1.33) item->setForeground(*weakest < 1.0 ? kLimit : kWeak);
        }
    }
    const bool stillThere = std::any_of(summary_.numeric.begin(), summary_.numeric.end(),
                                        [&](const auto& m) { return m.Label() == chosen; });
    if (stillThere)
        ShowMeasurement(chosen);
    else if (!summary_.numeric.empty())
        ShowMeasurement(summary_.numeric.front().Label());
    else
        DrawHistogram({});
}

void ResultsWindow::ShowMeasurement(const QString& label) {
    for (int i = 0; i < list_->count(); ++i)
        if (list_->item(i)->data(Qt::UserRole).toString() == label) {
            const QSignalBlocker quiet(list_);
            list_->setCurrentRow(i);
        }
    for (const store::NumericStats& m : summary_.numeric)
        if (m.Label() == label) DrawHistogram(m);
}

void ResultsWindow::DrawHistogram(const store::NumericStats& m) {
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QFont titleFont = chart->titleFont();
    titleFont.setPointSize(titleFont.pointSize() + 2);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    const store::Histogram& h = m.histogram;
    if (m.name.isEmpty() || h.counts.empty()) {
        chart->setTitle(m.name.isEmpty() ? "No numeric measurements"
                                         : m.Label() + ": no histogram");
    } else {
        chart->setTitle(QString("%1: n %2, mean %3, sigma %4, sigma within %5, ")
                            .arg(m.Label(), QString::number(m.count), store::Number(m.mean),
                                 store::Number(m.sigma), store::Number(m.sigmaWithin)) +
                        store::CapabilityText(m));
        const int most = *std::max_element(h.counts.begin(), h.counts.end());
        const double top = std::max(1.0, most * 1.1);
        // Bars as areas under a stepped line, one series within the limits, one outside.
        auto* inside = new QLineSeries;
        auto* outside = new QLineSeries;
        bool anyOutside = false;
        for (size_t i = 0; i < h.counts.size(); ++i) {
            const double from = h.low + double(i) * h.width, to = from + h.width;
            const double centre = from + h.width / 2;
            const bool out = (m.low && centre < *m.low) || (m.high && centre > *m.high);
            anyOutside = anyOutside || (out && h.counts[i] > 0);
            for (QLineSeries* s : {inside, outside}) {
                const int count = (s == outside) == out ? h.counts[i] : 0;
                s->append(
                    {QPointF(from, 0), QPointF(from, count), QPointF(to, count), QPointF(to, 0)});
            }
        }
        std::vector<QAbstractSeries*> series;
        auto* bars = new QAreaSeries(inside);
        bars->setName("runs per bin");
        bars->setColor(kBars);
        bars->setBorderColor(Qt::white);
        series.push_back(bars);
        if (anyOutside) {
            auto* red = new QAreaSeries(outside);
            red->setName("outside the limits");
            red->setColor(kOutside);
            red->setBorderColor(Qt::white);
            series.push_back(red);
        } else {
            delete outside;
        }
        QPen limitPen(kLimit, 2.5);
        if (m.low) series.push_back(Marker(*m.low, top, "LSL " + store::Number(*m.low), limitPen));
        if (m.high)
            series.push_back(Marker(*m.high, top, "USL " + store::Number(*m.high), limitPen));
        series.push_back(Marker(m.mean, top, "mean " + store::Number(m.mean),
                                QPen(Qt::black, 1.5, Qt::DashLine)));

        auto* x = new QValueAxis;
        x->setRange(h.low, h.High());
        x->setTickType(QValueAxis::TicksDynamic);
        x->setTickAnchor(0);
        x->setTickInterval(store::TickStep(h.High() - h.low));
        x->setLabelFormat("%g");
        x->setTitleText(m.units.isEmpty() ? m.Label() : m.Label() + " (" + m.units + ")");
        auto* y = new QValueAxis;
        y->setRange(0, top);
        y->setTickType(QValueAxis::TicksDynamic);
        y->setTickAnchor(0);
        y->setTickInterval(std::max(1.0, store::TickStep(top)));
        y->setLabelFormat("%d");
        y->setTitleText("runs");
        chart->addAxis(x, Qt::AlignBottom);
        chart->addAxis(y, Qt::AlignLeft);
        for (QAbstractSeries* s : series) {
            chart->addSeries(s);
            s->attachAxis(x);
            s->attachAxis(y);
        }
    }
    QChart* old = chart_->chart();
    chart_->setChart(chart);
    delete old;
}
