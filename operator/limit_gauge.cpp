#include "operator/limit_gauge.h"

#include <QJsonValue>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "run/validator.h"

namespace btoperator {

namespace {

std::optional<double> NumberAt(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(key);
    return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

// The colours of the tiles: the same three a light tower shows.
const QColor kGood("#2e7d32"), kGoodBand("#c8e6c9"), kMarginal("#b26a00"), kMarginalBand("#ffe0b2"),
    kBad("#c62828"), kBadBand("#ffcdd2");

// The stretch of values the bar spans: the limits, the band and the value with room on
// either side, more on a side without a limit so that the open end reads as open.
struct Scale {
    double lo = 0, hi = 1;
    double X(double v, double left, double width) const {
        return left + width * std::clamp((v - lo) / (hi - lo), 0.0, 1.0);
    }
};

Scale ScaleOf(const Reading& r) {
    std::vector<double> points;
    for (const auto& p : {r.min, r.max, r.marginalMin, r.marginalMax, r.value})
        if (p) points.push_back(*p);
    Scale s;
    if (points.empty()) return s;
    s.lo = *std::min_element(points.begin(), points.end());
    s.hi = *std::max_element(points.begin(), points.end());
    double span = s.hi - s.lo;
    if (span <= 0) span = std::max(std::abs(s.lo) * 0.2, 1.0);
    s.lo -= span * (r.min ? 0.15 : 0.4);
    s.hi += span * (r.max ? 0.15 : 0.4);
    return s;
}

} // namespace

Reading ReadingOf(const QJsonObject& event) {
    Reading r;
    r.step = event.value("step").toString();
    r.name = event.value("name").toString();
    const QJsonValue value = event.value("value");
    if (value.isDouble()) r.value = value.toDouble();
    r.valueText = run::DescribeValue(value, event.value("units").toString());
    run::Validator v;
    v.min = r.min = NumberAt(event, "min");
    v.max = r.max = NumberAt(event, "max");
    const QJsonObject band = event.value("marginal").toObject();
    v.marginalMin = r.marginalMin = NumberAt(band, "min");
    v.marginalMax = r.marginalMax = NumberAt(band, "max");
    if (event.contains("equals")) v.equals = event.value("equals");
    if (event.contains("matches")) {
        v.matches = QRegularExpression(event.value("matches").toString());
        v.given.insert("matches", event.value("matches"));
    }
    r.limitsText = run::DescribeLimits(v);
    r.pass = event.value("outcome").toString() == "PASS";
    r.marginal = event.value("marginal_flag").toBool();
    return r;
}

LimitGauge::LimitGauge(Reading reading, QWidget* parent)
    : QWidget(parent), reading_(std::move(reading)) {
    setObjectName("gauge_" + reading_.name);
    setToolTip(QString("%1: %2 = %3 (%4)")
                   .arg(reading_.step, reading_.name, reading_.valueText, reading_.limitsText));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

// A bar only where there is a stretch to draw: a number with a lower or an upper limit.
bool LimitGauge::HasBar() const {
    return reading_.value && (reading_.min || reading_.max);
}

QSize LimitGauge::sizeHint() const {
    return {240, fontMetrics().height() * 2 + (HasBar() ? 14 : 2)};
}

void LimitGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const Reading& r = reading_;
    const QColor outcome = !r.pass ? kBad : r.marginal ? kMarginal : kGood;
    const int line = fontMetrics().height();
    // The value whole, the name in the room it leaves.
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(outcome);
    const QRect top(0, 0, width(), line);
    QRect valueRect;
    p.drawText(top, Qt::AlignRight | Qt::AlignVCenter, r.valueText, &valueRect);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    const int room = std::max(0, valueRect.left() - 8);
    p.drawText(QRect(0, 0, room, line), Qt::AlignLeft | Qt::AlignVCenter,
               fontMetrics().elidedText(r.name, Qt::ElideRight, room));
    int y = line + 2;
    if (HasBar()) {
        DrawBar(p, y, outcome);
        y += 14;
    }
    p.setPen(palette().color(QPalette::PlaceholderText));
    p.drawText(QRect(0, y, width(), line), Qt::AlignLeft | Qt::AlignVCenter,
               fontMetrics().elidedText(r.limitsText, Qt::ElideRight, width()));
}

// Beyond the limits red, the marginal band (when there is one) amber, inside it green; the
// limits drawn as lines and the value as a mark in the colour of its outcome.
void LimitGauge::DrawBar(QPainter& p, int y, const QColor& outcome) const {
    const Reading& r = reading_;
    const Scale s = ScaleOf(r);
    const double left = 6, width = this->width() - 12;
    p.fillRect(QRectF(left, y, width, 10), kBadBand);
    const double lo = r.min ? s.X(*r.min, left, width) : left;
    const double hi = r.max ? s.X(*r.max, left, width) : left + width;
    const bool banded = r.marginalMin || r.marginalMax;
    p.fillRect(QRectF(lo, y, hi - lo, 10), banded ? kMarginalBand : kGoodBand);
    if (banded) {
        const double blo = r.marginalMin ? s.X(*r.marginalMin, left, width) : lo;
        const double bhi = r.marginalMax ? s.X(*r.marginalMax, left, width) : hi;
        p.fillRect(QRectF(blo, y, bhi - blo, 10), kGoodBand);
    }
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    for (const auto& limit : {r.min, r.max})
        if (limit)
            p.drawLine(QPointF(s.X(*limit, left, width), y - 1),
                       QPointF(s.X(*limit, left, width), y + 11));
    const double x = s.X(*r.value, left, width);
    p.setPen(Qt::NoPen);
    p.setBrush(outcome);
    p.drawPolygon(QPolygonF({QPointF(x - 5, y - 2), QPointF(x + 5, y - 2), QPointF(x, y + 6)}));
    p.fillRect(QRectF(x - 1.5, y, 3, 12), outcome);
}

} // namespace btoperator
