#include "run/plan.h"

#include "run/standard_limits.h"
#include "tester/json_check.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace run {

namespace {

using tester::json::TypeName;

// Names a key of `object` that is not in `allowed`, if any.
bool OnlyKnownKeys(const QJsonObject& object, std::initializer_list<const char*> allowed,
                   const QString& where, QString& error) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (std::none_of(allowed.begin(), allowed.end(),
                         [&](const char* k) { return it.key() == k; })) {
            QStringList names;
            for (const char* k : allowed)
                names << k;
            error = QString("unknown key '%1' in %2 (known: %3)")
                        .arg(it.key(), where, names.join(", "));
            return false;
        }
    }
    return true;
}

QString Num(double v) {
    return QString::number(v, 'g', 10);
}

// Optional number `key` of `object`; false with the message when present but not a number.
bool OptionalNumber(const QJsonObject& object, const char* key, std::optional<double>& out,
                    const QString& where, QString& error) {
    const QJsonValue v = object.value(key);
    if (v.isUndefined()) return true;
    if (!v.isDouble()) {
        error = QString("%1: '%2' must be a number, not %3").arg(where, key, TypeName(v));
        return false;
    }
    out = v.toDouble();
    return true;
}

bool ParseMeasurement(const QJsonValue& given, const Step& step,
                      const std::vector<MeasurementSpec>& offered, PlannedMeasurement& m,
                      QString& error) {
    if (!given.isObject()) {
        error = QString("a measurement must be an object, not %1").arg(TypeName(given));
        return false;
    }
    const QJsonObject o = given.toObject();
    const QJsonValue name = o.value("name");
    if (!name.isString() || name.toString().isEmpty()) {
        error = "a measurement needs a 'name' (text)";
        return false;
    }
    m.name = name.toString();
    const QString where = QString("measurement '%1'").arg(m.name);
    const auto offer = std::find_if(offered.begin(), offered.end(),
                                   [&](const MeasurementSpec& s) { return m.name == s.name; });
    if (offer == offered.end()) {
        QStringList names;
        for (const MeasurementSpec& s : offered)
            names << s.name;
        error = QString("unknown measurement '%1' of %2 (it takes %3)")
                    .arg(m.name, step.op->name, names.isEmpty() ? "none" : names.join(", "));
        return false;
    }
    if (!OnlyKnownKeys(o, {"name", "min", "max", "equals", "matches", "marginal", "units", "waiver"},
                       where, error))
        return false;
    const QJsonValue waiver = o.value("waiver");
    if (!waiver.isUndefined() && (!waiver.isString() || waiver.toString().trimmed().isEmpty())) {
        error = QString("%1: 'waiver' must say why, in text").arg(where);
        return false;
    }
    m.waiver = waiver.toString().trimmed();
    m.type = offer->type;
    m.units = offer->units;
    Validator& v = m.validator;
    v.given = o;
    v.given.remove("name");
    v.given.remove("units");
    const bool text = m.type == ValueType::Text;

    const QJsonValue units = o.value("units");
    if (!units.isUndefined() && (!units.isString() || units.toString() != m.units)) {
        error = QString("%1 is measured in %2, not %3")
                    .arg(where, m.units.isEmpty() ? "no units" : "'" + m.units + "'",
                         units.isString() ? "'" + units.toString() + "'" : TypeName(units));
        return false;
    }
    if (text && (o.contains("min") || o.contains("max") || o.contains("marginal"))) {
        error = QString("%1 is text: 'min', 'max' and 'marginal' apply to numbers").arg(where);
        return false;
    }
    if (!OptionalNumber(o, "min", v.min, where, error) ||
        !OptionalNumber(o, "max", v.max, where, error))
        return false;
    if (v.min && v.max && *v.min > *v.max) {
        error = QString("%1: min %2 above max %3").arg(where, Num(*v.min), Num(*v.max));
        return false;
    }
    if (o.contains("equals")) {
        const QJsonValue e = o.value("equals");
        if (text ? !e.isString() : !e.isDouble()) {
            error = QString("%1: 'equals' must be %2, not %3")
                        .arg(where, text ? "text" : "a number", TypeName(e));
            return false;
        }
        v.equals = e;
    }
    if (o.contains("matches")) {
        const QJsonValue p = o.value("matches");
        if (!text) {
            error = QString("%1 is a number: 'matches' applies to text").arg(where);
            return false;
        }
        QRegularExpression re(QRegularExpression::anchoredPattern(p.toString()));
        if (!p.isString() || !re.isValid()) {
            error = p.isString()
                        ? QString("%1: bad regular expression: %2").arg(where, re.errorString())
                        : QString("%1: 'matches' must be text, not %2").arg(where, TypeName(p));
            return false;
        }
        v.matches = re;
    }
    if (o.contains("marginal")) {
        const QJsonValue band = o.value("marginal");
        const QString bandWhere = where + " marginal band";
        if (!band.isObject()) {
            error = QString("%1: 'marginal' must be an object with 'min' and/or 'max'").arg(where);
            return false;
        }
        const QJsonObject b = band.toObject();
        if (!OnlyKnownKeys(b, {"min", "max"}, bandWhere, error) ||
            !OptionalNumber(b, "min", v.marginalMin, bandWhere, error) ||
            !OptionalNumber(b, "max", v.marginalMax, bandWhere, error))
            return false;
        const bool inside =
            (!v.marginalMin ||
             ((!v.min || *v.marginalMin >= *v.min) && (!v.max || *v.marginalMin <= *v.max))) &&
            (!v.marginalMax ||
             ((!v.max || *v.marginalMax <= *v.max) && (!v.min || *v.marginalMax >= *v.min)));
        if (!inside || (v.marginalMin && v.marginalMax && *v.marginalMin > *v.marginalMax) ||
            (!v.marginalMin && !v.marginalMax)) {
            error = QString("%1 must lie inside the limits (min <= marginal min <= marginal max "
                            "<= max)")
                        .arg(bandWhere);
            return false;
        }
    }
    return true;
}

bool ParseStep(const QJsonValue& given, Step& step, QString& error) {
    if (!given.isObject()) {
        error = QString("a step must be an object, not %1").arg(TypeName(given));
        return false;
    }
    const QJsonObject o = given.toObject();
    const QJsonValue operation = o.value("operation");
    if (!operation.isString()) {
        error = operation.isUndefined()
                    ? QString("missing 'operation'")
                    : QString("'operation' must be text, not %1").arg(TypeName(operation));
        return false;
    }
    const QJsonValue name = o.value("name");
    if (!name.isUndefined() && !name.isString()) {
        error = QString("'name' must be text, not %1").arg(TypeName(name));
        return false;
    }
    step.name = name.isString() ? name.toString() : operation.toString();
    if (!OnlyKnownKeys(o, {"name", "operation", "args", "measurements"}, "a step", error))
        return false;
    step.op = FindOperation(operation.toString());
    if (step.op == nullptr) {
        error = QString("unknown operation '%1'").arg(operation.toString());
        return false;
    }
    const QJsonValue args = o.value("args");
    if (!args.isUndefined() && !args.isObject()) {
        error = QString("'args' must be an object, not %1").arg(TypeName(args));
        return false;
    }
    if (!ParseArgs(*step.op, args.toObject(), step.args, error)) return false;

    const std::vector<MeasurementSpec> offered = MeasurementsOf(*step.op, step.args);
    const QJsonValue measurements = o.value("measurements");
    if (!measurements.isUndefined() && !measurements.isArray()) {
        error = QString("'measurements' must be a list, not %1").arg(TypeName(measurements));
        return false;
    }
    const auto expected = step.args.value("expected").map;
    if (!expected.isEmpty()) {
        // nvm_verify: one measurement per expected value, judged for equality.
        if (!measurements.isUndefined()) {
            error = QString("%1 takes its measurements from 'expected'").arg(step.op->name);
            return false;
        }
        for (const MeasurementSpec& s : offered) {
            PlannedMeasurement m{s.name, s.type, s.units, {}};
            m.validator.equals = expected.value(s.name);
            m.validator.given.insert("equals", *m.validator.equals);
            step.measurements.push_back(m);
        }
        return true;
    }
    QSet<QString> seen;
    for (const QJsonValue& one : measurements.toArray()) {
        PlannedMeasurement m;
        if (!ParseMeasurement(one, step, offered, m, error) ||
            !CheckStandardLimits(step, m, error))
            return false;
        if (seen.contains(m.name)) {
            error = QString("measurement '%1' is taken twice").arg(m.name);
            return false;
        }
        seen.insert(m.name);
        step.measurements.push_back(m);
    }
    return CheckStandardCondition(step, error);
}

} // namespace

bool ParsePlan(const QByteArray& json, const QString& file, Plan& plan, QString& error) {
    QJsonObject o;
    if (!tester::json::ParseObject(json, file, "a plan", o, error)) return false;
    const auto fail = [&](const QString& what) {
        error = file + ": " + what;
        return false;
    };
    QString why;
    if (!OnlyKnownKeys(o, {"name", "description", "options", "steps"}, "the plan", why))
        return fail(why);
    plan = Plan{};
    plan.file = file;
    plan.sha256 =
        QString::fromLatin1(QCryptographicHash::hash(json, QCryptographicHash::Sha256).toHex());
    if (!o.value("name").isString() || o.value("name").toString().isEmpty())
        return fail("the plan needs a 'name' (text)");
    plan.name = o.value("name").toString();

    const QJsonValue options = o.value("options");
    if (!options.isUndefined()) {
        if (!options.isObject())
            return fail(QString("'options' must be an object, not %1").arg(TypeName(options)));
        const QJsonObject opt = options.toObject();
        if (!OnlyKnownKeys(opt, {"stop_on_first_failure", "retries"}, "'options'", why))
            return fail(why);
        const QJsonValue stop = opt.value("stop_on_first_failure");
        if (!stop.isUndefined() && !stop.isBool())
            return fail(QString("'stop_on_first_failure' must be true or false, not %1")
                            .arg(TypeName(stop)));
        plan.stopOnFirstFailure = stop.toBool(false);
        const QJsonValue retries = opt.value("retries");
        const double r = retries.toDouble(0);
        if (!retries.isUndefined() &&
            (!retries.isDouble() || r != std::floor(r) || r < 0 || r > kMaxRetries))
            return fail(QString("'retries' must be a whole number from 0 to %1").arg(kMaxRetries));
        plan.retries = static_cast<int>(r);
    }

    const QJsonValue steps = o.value("steps");
    if (!steps.isArray() || steps.toArray().isEmpty())
        return fail(steps.isUndefined() || steps.isArray()
                        ? QString("the plan needs a non-empty list of 'steps'")
                        : QString("'steps' must be a list, not %1").arg(TypeName(steps)));
    int index = 0;
    for (const QJsonValue& given : steps.toArray()) {
        ++index;
        Step step;
        if (!ParseStep(given, step, why)) {
            const QString name = given.toObject().value("name").toString();
            return fail(QString("step %1%2: %3")
                            .arg(index)
                            .arg(name.isEmpty() ? QString() : " (\"" + name + "\")", why));
        }
        plan.usesTester = plan.usesTester || step.op->usesTester;
        plan.steps.push_back(std::move(step));
    }
    return true;
}

bool LoadPlan(const QString& path, Plan& plan, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QString("%1: cannot read the plan: %2").arg(path, file.errorString());
        return false;
    }
    return ParsePlan(file.readAll(), path, plan, error);
}

} // namespace run
