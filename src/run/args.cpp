// The "args" object of a plan step, checked against the operation's arguments.

#include <QJsonArray>
#include <algorithm>
#include <cmath>

#include "run/nvm_values.h"
#include "run/operations.h"

namespace run {

namespace {

bool ParseInt(const ArgSpec& a, const QJsonValue& v, ArgValue& value, QString& error) {
    const double d = v.toDouble(std::nan(""));
    if (v.isDouble() && d == std::floor(d) && d >= double(a.min) && d <= double(a.max)) {
        value.number = static_cast<int64_t>(d);
        return true;
    }
    error = QString("argument '%1' must be a whole number from %2 to %3")
                .arg(a.name)
                .arg(a.min)
                .arg(a.max);
    return false;
}

bool ParseBytes(const ArgSpec& a, const QJsonValue& v, ArgValue& value, QString& error) {
    if (v.isString() && ParseHex(v.toString(), value.bytes) && value.bytes.size() >= a.min &&
        value.bytes.size() <= a.max)
        return true;
    error = a.min == a.max
                ? QString("argument '%1' must be hex text of %2 bytes").arg(a.name).arg(a.min)
                : QString("argument '%1' must be hex text of %2 to %3 bytes")
                      .arg(a.name)
                      .arg(a.min)
                      .arg(a.max);
    return false;
}

bool ParseNvmParam(const OperationSpec& op, const ArgSpec& a, const QJsonValue& v,
                   ArgValue& value, QString& error) {
    value.text = v.toString();
    if (!v.isString()) {
        error = QString("argument '%1' must be the name of an NVM parameter").arg(a.name);
        return false;
    }
    if (nvmvalue::Index(value.text) < 0 && !(op.nvm && value.text == "all")) {
        error = QString("unknown NVM parameter '%1'").arg(value.text);
        return false;
    }
    return true;
}

bool ParseExpected(const ArgSpec& a, const QJsonValue& v, ArgValue& value, QString& error) {
    if (!v.isObject() || v.toObject().isEmpty()) {
        error = QString("argument '%1' must be an object of NVM parameter values").arg(a.name);
        return false;
    }
    const QJsonObject expected = v.toObject();
    for (auto e = expected.begin(); e != expected.end(); ++e) {
        const int i = nvmvalue::Index(e.key());
        if (i < 0) {
            error = QString("unknown NVM parameter '%1'").arg(e.key());
            return false;
        }
        const nvm::ParamInfo& p = nvmvalue::Param(i);
        ArgValue one;
        if (!nvmvalue::Parse(p, e.value(), one, error)) return false;
        value.map.insert(e.key(), nvmvalue::IsBytes(p.kind) ? QJsonValue(Hex(one.bytes))
                                                            : QJsonValue(double(one.number)));
    }
    return true;
}

bool ParseChoice(const ArgSpec& a, const QJsonValue& v, ArgValue& value, QString& error) {
    QStringList choices;
    for (const char* c : a.choices)
        choices << c;
    value.text = v.toString();
    if (v.isString() && choices.contains(value.text)) return true;
    error = QString("argument '%1' must be one of %2").arg(a.name, choices.join(", "));
    return false;
}

bool ParseItems(const ArgSpec& a, const QJsonValue& v, ArgValue& value, QString& error) {
    QStringList choices;
    for (const char* c : a.choices)
        choices << c;
    QStringList given;
    for (const QJsonValue& item : v.toArray())
        given << item.toString();
    const bool ok = v.isArray() && !given.isEmpty() &&
                    std::all_of(given.begin(), given.end(), [&](const QString& g) {
                        return choices.contains(g) && given.count(g) == 1;
                    });
    if (!ok) {
        error = QString("argument '%1' must be a list of %2, each at most once")
                    .arg(a.name, choices.join(", "));
        return false;
    }
    for (const QString& c : choices)
        if (given.contains(c)) value.items << c;
    return true;
}

bool ParseOne(const OperationSpec& op, const ArgSpec& a, const QJsonObject& given,
              ArgValue& value, QString& error) {
    const QJsonValue v = given.value(a.name);
    switch (a.kind) {
    case ArgKind::Int:
        return ParseInt(a, v, value, error);
    case ArgKind::Bytes:
    case ArgKind::HexRun:
        return ParseBytes(a, v, value, error);
    case ArgKind::NvmParam:
        return ParseNvmParam(op, a, v, value, error);
    case ArgKind::NvmValue: {
        const int i = nvmvalue::Index(given.value("param").toString());
        // An unknown parameter is reported by the parameter's own check.
        return i < 0 || nvmvalue::Parse(nvmvalue::Param(i), v, value, error);
    }
    case ArgKind::Expected:
        return ParseExpected(a, v, value, error);
    case ArgKind::Choice:
        return ParseChoice(a, v, value, error);
    case ArgKind::Items:
        return ParseItems(a, v, value, error);
    }
    return false;
}

} // namespace

bool ParseArgs(const OperationSpec& op, const QJsonObject& given, Args& out, QString& error) {
    for (auto it = given.begin(); it != given.end(); ++it) {
        const bool known = std::any_of(op.args.begin(), op.args.end(),
                                       [&](const ArgSpec& a) { return it.key() == a.name; });
        if (!known) {
            QStringList names;
            for (const ArgSpec& a : op.args)
                names << a.name;
            error = QString("unknown argument '%1' of %2 (it takes %3)")
                        .arg(it.key(), op.name, names.isEmpty() ? "none" : names.join(", "));
            return false;
        }
    }
    for (const ArgSpec& a : op.args) {
        ArgValue value;
        if (given.value(a.name).isUndefined()) {
            if (a.required) {
                error = QString("missing argument '%1' of %2").arg(a.name, op.name);
                return false;
            }
            value.number = a.number;
            if (a.bytes) ParseHex(a.bytes, value.bytes);
            if (a.kind == ArgKind::Choice) value.text = a.choices.front();
            if (a.kind == ArgKind::Items)
                for (const char* c : a.choices)
                    value.items << c;
        } else if (!ParseOne(op, a, given, value, error)) {
            return false;
        }
        out.insert(a.name, value);
    }
    return !op.check || op.check(out, error);
}

} // namespace run
