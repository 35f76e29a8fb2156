#include "store/writer.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>
#include <vector>

#include "store/connection.h"
#include "store/schema.h"

namespace store {

namespace {

struct Measurement {
    QString name, units, validator, outcome;
    QVariant value, valueText, low, high;
    bool marginal = false;
};

struct Phase {
    QString name, operation, outcome, log;
    QVariant start, end, error;
    int attempts = 0;
    std::vector<Measurement> measurements;
};

// The columns of a run that tell where, by whom and with what a phone was tested, and where
// the record keeps each (in an object for the dotted ones). Records of older programs lack
// them: NULL.
constexpr std::pair<const char*, const char*> kTraceColumns[] = {
    {"slot", "slot"},
    {"operator", "operator"},
    {"part_number", "part_number"},
    {"revision", "revision"},
    {"lot", "lot"},
    {"plan_sha256", "plan_sha256"},
    {"software_version", "software.version"},
    {"software_commit", "software.commit"},
    {"tester_identity", "tester.identity"},
    {"fixture_name", "fixture.name"},
    {"fixture_sha256", "fixture.sha256"},
    {"released_by", "released_by"},
};

struct Run {
    QString runId, dutId, stationId, plan, planFile, protocol, outcome, start, end;
    QVariantList trace; // in the order of kTraceColumns
    std::vector<Phase> phases;
};

const QVariant kNullText{QMetaType::fromType<QString>()};
const QVariant kNullNumber{QMetaType::fromType<double>()};

// Reads the record into rows, checking every field a row needs; the first fault is the
// message, naming where it is.
class Reader {
public:
    QString error;

    bool Text(const QJsonObject& o, const char* key, QString& out, const QString& where,
              bool emptyOk = false) {
        const QJsonValue v = o.value(key);
        if (!v.isString() || (!emptyOk && v.toString().isEmpty()))
            return Fail(where,
                        QString("'%1' must be %2text").arg(key, emptyOk ? "" : "non-empty "));
        out = v.toString();
        if (out.isNull()) out = QLatin1String(""); // empty, not NULL, in the database
        return true;
    }
    bool OneOf(const QJsonObject& o, const char* key, QString& out, const QString& where,
               const QStringList& allowed) {
        if (!Text(o, key, out, where)) return false;
        if (allowed.contains(out)) return true;
        return Fail(where,
                    QString("'%1' must be one of %2, not '%3'").arg(key, allowed.join(" "), out));
    }
    bool Time(const QJsonObject& o, const char* key, QString& out, const QString& where) {
        static const QRegularExpression form(
            "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$");
        if (!Text(o, key, out, where, true)) return false;
        if (form.match(out).hasMatch() && QDateTime::fromString(out, Qt::ISODateWithMs).isValid())
            return true;
        return Fail(where, QString("'%1' must be a UTC time like 2025-03-01T08:15:00.123Z, not "
                                   "'%2'")
                               .arg(key, out));
    }
    bool OptionalTime(const QJsonObject& o, const char* key, QVariant& out, const QString& where) {
        QString text;
        if (!o.contains(key) || o.value(key).toString().isEmpty()) {
            out = kNullText;
            // Absent or null for a step never run; records of older programs wrote "".
            return o.value(key).isUndefined() || o.value(key).isNull() || o.value(key).isString() ||
                   Fail(where, QString("'%1' must be text").arg(key));
        }
        if (!Time(o, key, text, where)) return false;
        out = text;
        return true;
    }
    // Text that may be absent or null (NULL), at `path` ("software.version": in an object).
    bool OptionalText(const QJsonObject& o, const QString& path, QVariant& out) {
        const QStringList keys = path.split('.');
        QJsonValue v = o.value(keys.front());
        if (keys.size() > 1 && !v.isUndefined() && !v.isNull()) {
            if (!v.isObject()) return Fail({}, QString("'%1' must be an object").arg(keys.front()));
            v = v.toObject().value(keys.back());
        }
        out = v.isString() && !v.toString().isEmpty() ? QVariant(v.toString()) : kNullText;
        return v.isString() || v.isUndefined() || v.isNull() ||
               Fail({}, QString("'%1' must be text").arg(path));
    }
    bool Fail(const QString& where, const QString& why) {
        error = where.isEmpty() ? why : where + ": " + why;
        return false;
    }

    bool ReadMeasurement(const QJsonValue& given, Measurement& m, const QString& where) {
        if (!given.isObject()) return Fail(where, "not an object");
        const QJsonObject o = given.toObject();
        if (!Text(o, "name", m.name, where) || !Text(o, "units", m.units, where, true) ||
            !OneOf(o, "outcome", m.outcome, where, {"PASS", "FAIL"}))
            return false;
        const QJsonValue value = o.value("value");
        m.value = value.isDouble() ? QVariant(value.toDouble()) : kNullNumber;
        m.valueText = value.isString() ? QVariant(value.toString()) : kNullText;
        if (!value.isDouble() && !value.isString() && !value.isNull())
            return Fail(where, "'value' must be a number, text or null");
        const QJsonValue validator = o.value("validator");
        if (!validator.isObject()) return Fail(where, "'validator' must be an object");
        const QJsonObject v = validator.toObject();
        m.validator = QString::fromUtf8(QJsonDocument(v).toJson(QJsonDocument::Compact));
        m.low = v.value("min").isDouble() ? QVariant(v.value("min").toDouble()) : kNullNumber;
        m.high = v.value("max").isDouble() ? QVariant(v.value("max").toDouble()) : kNullNumber;
        if (!o.value("marginal").isBool()) return Fail(where, "'marginal' must be true or false");
        m.marginal = o.value("marginal").toBool();
        return true;
    }

    bool ReadPhase(const QJsonValue& given, Phase& p, const QString& where) {
        if (!given.isObject()) return Fail(where, "not an object");
        const QJsonObject o = given.toObject();
        if (!Text(o, "name", p.name, where, true) || !Text(o, "operation", p.operation, where) ||
            !OneOf(o, "outcome", p.outcome, where,
                   {"PASS", "FAIL", "ERROR", "ABORTED", "SKIPPED"}) ||
            !OptionalTime(o, "start_time", p.start, where) ||
            !OptionalTime(o, "end_time", p.end, where))
            return false;
        const double attempts = o.value("attempts").toDouble(-1);
        if (attempts < 0 || attempts != double(int(attempts)))
            return Fail(where, "'attempts' must be a whole number");
        p.attempts = int(attempts);
        const QJsonValue error = o.value("error");
        if (!error.isUndefined() && !error.isString()) return Fail(where, "'error' must be text");
        p.error = error.isString() ? QVariant(error.toString()) : kNullText;
        const QJsonValue log = o.value("log");
        if (!log.isArray()) return Fail(where, "'log' must be a list of lines");
        QStringList lines;
        for (const QJsonValue& line : log.toArray()) {
            if (!line.isString()) return Fail(where, "'log' must be a list of lines");
            lines << line.toString();
        }
        p.log = lines.isEmpty() ? QLatin1String("") : lines.join('\n');
        const QJsonValue list = o.value("measurements");
        if (!list.isArray()) return Fail(where, "'measurements' must be a list");
        for (const QJsonValue& m : list.toArray()) {
            p.measurements.emplace_back();
            if (!ReadMeasurement(
                    m, p.measurements.back(),
                    QString("%1, measurement %2").arg(where).arg(p.measurements.size())))
                return false;
        }
        return true;
    }

    bool ReadRun(const QJsonObject& o, Run& r) {
        QString id;
        if (!Text(o, "run_id", id, {})) return false;
        const QUuid uuid = QUuid::fromString(id);
        if (uuid.isNull()) return Fail({}, QString("'run_id' must be a UUID, not '%1'").arg(id));
        r.runId = uuid.toString(QUuid::WithoutBraces);
        if (!Text(o, "dut_id", r.dutId, {}) || !Text(o, "station_id", r.stationId, {}, true) ||
            !Text(o, "plan", r.plan, {}, true) || !Text(o, "plan_file", r.planFile, {}, true) ||
            !Text(o, "protocol", r.protocol, {}) ||
            !OneOf(o, "outcome", r.outcome, {}, {"PASS", "FAIL", "ERROR", "ABORTED"}) ||
            !Time(o, "start_time", r.start, {}) || !Time(o, "end_time", r.end, {}))
            return false;
        for (const auto& [column, path] : kTraceColumns)
            if (!OptionalText(o, path, r.trace.emplace_back())) return false;
        const QJsonValue phases = o.value("phases");
        if (!phases.isArray()) return Fail({}, "'phases' must be a list");
        for (const QJsonValue& p : phases.toArray()) {
            r.phases.emplace_back();
            if (!ReadPhase(p, r.phases.back(), QString("phase %1").arg(r.phases.size())))
                return false;
        }
        return true;
    }
};

// A prepared statement run once per row of bound values.
class Statement {
public:
    Statement(const Connection& c, const QString& sql) : q_(c.Db()) {
        ok_ = q_.prepare(Dialect(sql, c.IsPostgres()));
    }
    bool Run(const QVariantList& values, QString& error) {
        if (ok_) {
            for (const QVariant& v : values)
                q_.addBindValue(v);
            if (q_.exec()) return true;
        }
        error = Why(q_);
        return false;
    }
    int Rows() const { return q_.numRowsAffected(); }

private:
    QSqlQuery q_;
    bool ok_ = false;
};

QString InsertRun() {
    QString columns = "run_id, dut_id, station_id, plan, plan_file, protocol, outcome, "
                      "start_time, end_time, stored_time",
            values = "?, ?, ?, ?, ?, ?, ?, ?, ?, ?";
    for (const auto& [column, path] : kTraceColumns) {
        columns += QString(", ") + column;
        values += ", ?";
    }
    return "INSERT INTO runs (" + columns + ") VALUES (" + values +
           ") ON CONFLICT (run_id) DO NOTHING";
}

WriteResult Insert(const Connection& c, const Run& r, QString& error) {
    Statement run(c, InsertRun());
    Statement station(c, "INSERT INTO stations (station_id, first_seen, last_seen) VALUES (?, ?, "
                         "?) ON CONFLICT (station_id) DO UPDATE SET first_seen = "
                         "LEAST(stations.first_seen, excluded.first_seen), last_seen = "
                         "GREATEST(stations.last_seen, excluded.last_seen)");
    Statement plan(c, "INSERT INTO plans (plan, plan_file, first_seen) VALUES (?, ?, ?) ON "
                      "CONFLICT (plan, plan_file) DO UPDATE SET first_seen = "
                      "LEAST(plans.first_seen, excluded.first_seen)");
    Statement phase(c, "INSERT INTO phases (run_id, phase_no, name, operation, outcome, "
                       "start_time, end_time, attempts, error, log) VALUES (?, ?, ?, ?, ?, ?, ?, "
                       "?, ?, ?)");
    Statement measurement(c, "INSERT INTO measurements (run_id, phase_no, name, value, "
                             "value_text, units, low_limit, high_limit, validator, outcome, "
                             "marginal) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    // Declared after the statements: a failed transaction ends before they are freed.
    Transaction t(c);
    if (!t.Begin(error)) return WriteResult::Failed;
    if (!run.Run(QVariantList{r.runId, r.dutId, r.stationId, r.plan, r.planFile, r.protocol,
                              r.outcome, r.start, r.end, NowText()} +
                     r.trace,
                 error))
        return WriteResult::Failed;
    if (run.Rows() == 0) return WriteResult::AlreadyStored;
    if (!station.Run({r.stationId, r.start, r.start}, error) ||
        !plan.Run({r.plan, r.planFile, r.start}, error))
        return WriteResult::Failed;
    int number = 0;
    for (const Phase& p : r.phases) {
        ++number;
        if (!phase.Run({r.runId, number, p.name, p.operation, p.outcome, p.start, p.end, p.attempts,
                        p.error, p.log},
                       error))
            return WriteResult::Failed;
        for (const Measurement& m : p.measurements)
            if (!measurement.Run({r.runId, number, m.name, m.value, m.valueText, m.units, m.low,
                                  m.high, m.validator, m.outcome, m.marginal},
                                 error))
                return WriteResult::Failed;
    }
    return t.Commit(error) ? WriteResult::Stored : WriteResult::Failed;
}

} // namespace

QString NowText() {
    return QDateTime::currentDateTimeUtc().toString("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'");
}

WriteResult StoreRecord(const Connection& c, const QJsonObject& record, QString& error) {
    Run run;
    Reader reader;
    if (!reader.ReadRun(record, run)) {
        error = "not a run record: " + reader.error;
        return WriteResult::BadRecord;
    }
    const WriteResult result = Insert(c, run, error);
    if (result == WriteResult::AlreadyStored)
        error = QString("run %1 is already stored").arg(run.runId);
    return result;
}

WriteResult StoreRecordText(const Connection& c, const QByteArray& json, QString& error) {
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        error =
            QString("not a run record: %1 at byte %2").arg(parse.errorString()).arg(parse.offset);
        return WriteResult::BadRecord;
    }
    if (!doc.isObject()) {
        error = "not a run record: the JSON is not an object";
        return WriteResult::BadRecord;
    }
    return StoreRecord(c, doc.object(), error);
}

} // namespace store
