#include "run/validator.h"

#include <QStringList>

namespace run {

namespace {

QString Number(double value) {
    return QString::number(value, 'g', 10);
}

QString Text(const QJsonValue& value) {
    return value.isDouble() ? Number(value.toDouble()) : value.toString();
}

} // namespace

Judgement Judge(const Validator& v, const QJsonValue& value) {
    Judgement j;
    if (!value.isDouble() && !value.isString()) return j;
    if (value.isDouble()) {
        const double x = value.toDouble();
        if ((v.min && x < *v.min) || (v.max && x > *v.max)) return j;
        j.marginal = (v.marginalMin && x < *v.marginalMin) || (v.marginalMax && x > *v.marginalMax);
    }
    if (v.equals && *v.equals != value) return j;
    if (v.matches && !v.matches->match(Text(value)).hasMatch()) return j;
    j.pass = true;
    return j;
}

QString DescribeLimits(const Validator& v) {
    QStringList parts;
    if (v.min) parts << "min " + Number(*v.min);
    if (v.max) parts << "max " + Number(*v.max);
    if (v.equals) parts << "equals " + Text(*v.equals);
    if (v.matches) parts << "matches " + v.given.value("matches").toString();
    if (v.marginalMin && v.marginalMax)
        parts << QString("marginal outside %1..%2")
                     .arg(Number(*v.marginalMin), Number(*v.marginalMax));
    else if (v.marginalMin)
        parts << "marginal below " + Number(*v.marginalMin);
    else if (v.marginalMax)
        parts << "marginal above " + Number(*v.marginalMax);
    return parts.isEmpty() ? "none" : parts.join(", ");
}

QString DescribeValue(const QJsonValue& value, const QString& units) {
    if (!value.isDouble() && !value.isString()) return "none";
    return units.isEmpty() ? Text(value) : Text(value) + " " + units;
}

} // namespace run
