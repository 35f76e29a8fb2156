#pragma once
// Limits of one measurement and the one function that judges a value against them.

#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <QString>
#include <optional>

namespace run {

// What a measurement holds: a number, or text (version strings, bytes as upper-case hex).
enum class ValueType { Number, Text };

struct Validator {
    std::optional<double> min, max;
    std::optional<QJsonValue> equals;
    std::optional<QRegularExpression> matches; // the whole value must match
    // The band inside the limits in which a passing value is not marginal.
    std::optional<double> marginalMin, marginalMax;
    // The validator exactly as the plan wrote it, for the record.
    QJsonObject given;
};

struct Judgement {
    bool pass = false;
    bool marginal = false;
};

// An undefined value (the measurement was not taken) fails every validator, even an
// empty one.
Judgement Judge(const Validator& validator, const QJsonValue& value);

// The limits for people: "min 400, max 600", "equals 4.6", "matches ^2\.", "none".
QString DescribeLimits(const Validator& validator);
// "45.2 %", "4.6", "none" for a value not taken.
QString DescribeValue(const QJsonValue& value, const QString& units);

} // namespace run
