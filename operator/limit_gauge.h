#pragma once
// One measurement as it comes, against its limits: a bar with the failing region beyond the
// limits, the marginal band inside them and a mark at the value, under the name and the
// value. Read from across the bench: colour says where the value lies before the numbers do.

#include <QJsonObject>
#include <QString>
#include <QWidget>
#include <optional>

class QPainter;

namespace btoperator {

// A reading as the slot's run reported it.
struct Reading {
    QString step, name;
    QString valueText; // "4.2 dBm", "673", "4.6", "none" (not taken)
    std::optional<double> value;
    std::optional<double> min, max, marginalMin, marginalMax;
    QString limitsText; // "min 400, max 600", "equals 4.6"
    bool pass = false;
    bool marginal = false;
};

// The reading of a measurement event ("name", "value", "units", "min", "max", "marginal",
// "equals", "matches", "outcome", "marginal_flag").
Reading ReadingOf(const QJsonObject& event);

class LimitGauge : public QWidget {
    Q_OBJECT
public:
    explicit LimitGauge(Reading reading, QWidget* parent = nullptr);
    const Reading& Shown() const { return reading_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool HasBar() const;
    void DrawBar(QPainter& p, int y, const QColor& outcome) const;

    Reading reading_;
};

} // namespace btoperator
