#include "run/record.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLocale>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QXmlStreamWriter>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace run {

namespace {

// ISO 8601 in UTC with milliseconds. Formatted here: the general date formatter costs
// more than the rest of a record together.
QString Time(const QDateTime& t) {
    if (!t.isValid()) return {};
    using namespace std::chrono;
    const sys_time<milliseconds> at{milliseconds(t.toMSecsSinceEpoch())};
    const sys_days day = floor<days>(at);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> time{at - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()),
                  int(time.subseconds().count()));
    return QString::fromLatin1(text);
}

QString Seconds(const QDateTime& from, const QDateTime& to) {
    const qint64 ms = from.isValid() && to.isValid() ? from.msecsTo(to) : 0;
    return QString::number(double(ms) / 1000.0, 'f', 3);
}

bool MakeFolderOf(const QString& path, QString& error) {
    const QFileInfo info(path);
    if (QDir().mkpath(info.absolutePath())) return true;
    error = QString("%1: cannot make the folder").arg(info.absolutePath());
    return false;
}

bool Save(const QString& path, const QByteArray& bytes, QString& error) {
    if (!MakeFolderOf(path, error)) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QString("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

struct Counts {
    int failures = 0, errors = 0, skipped = 0;
};

Counts CountOf(const RunRecord& r) {
    Counts c;
    for (const PhaseRecord& p : r.phases) {
        c.failures += p.outcome == Outcome::Fail;
        c.errors += p.outcome == Outcome::Error || p.outcome == Outcome::Aborted;
        c.skipped += p.outcome == Outcome::Skipped;
    }
    return c;
}

} // namespace

QString DescribeMeasurement(const MeasurementRecord& m) {
    return QString("%1 = %2 (%3)")
        .arg(m.name, DescribeValue(m.value, m.units),
             m.validator ? DescribeLimits(*m.validator) : QString("none"));
}

namespace {

// JSON text written straight into a buffer, four blanks a level. A record is the one
// file btrun writes per phone, and assembling it from QJsonObjects first cost more than
// running the whole plan.
class JsonWriter {
public:
    QByteArray Take() { return std::move(out_); }

    void Open(char bracket) {
        Value();
        out_ += bracket;
        empty_.push_back(true);
    }
    void Close(char bracket) {
        const bool empty = empty_.back();
        empty_.pop_back();
        if (!empty) NewLine();
        out_ += bracket;
    }
    JsonWriter& Key(const char* key) {
        Value();
        Quote(QByteArray(key));
        out_ += ": ";
        afterKey_ = true;
        return *this;
    }
    void Text(const QString& text) {
        Value();
        Quote(text.toUtf8());
    }
    void Number(double v) {
        Value();
        // Whole numbers as such (a year, a count), others in their shortest exact form.
        if (v == std::floor(v) && std::fabs(v) < 9007199254740992.0)
            out_ += QByteArray::number(static_cast<qint64>(v));
        else
            out_ += QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
    }
    void Bool(bool v) {
        Value();
        out_ += v ? "true" : "false";
    }
    // A time that does not exist (a step never run) is null, not an empty text.
    void Time(const QDateTime& t) {
        if (t.isValid()) return Text(run::Time(t));
        Value();
        out_ += "null";
    }
    void Any(const QJsonValue& v) {
        if (v.isDouble()) return Number(v.toDouble());
        if (v.isString()) return Text(v.toString());
        if (v.isBool()) return Bool(v.toBool());
        if (v.isArray()) {
            Open('[');
            for (const QJsonValue& item : v.toArray())
                Any(item);
            return Close(']');
        }
        if (v.isObject()) {
            Open('{');
            const QJsonObject o = v.toObject();
            for (auto it = o.begin(); it != o.end(); ++it)
                Key(it.key().toUtf8().constData()).Any(it.value());
            return Close('}');
        }
        Value();
        out_ += "null";
    }

private:
    // Before every value: nothing right after its key, else a comma after an earlier
    // sibling and a new line.
    void Value() {
        if (std::exchange(afterKey_, false) || empty_.empty()) return;
        if (!empty_.back()) out_ += ',';
        empty_.back() = false;
        NewLine();
    }
    void NewLine() {
        out_ += '\n';
        out_.append(QByteArray(4 * static_cast<qsizetype>(empty_.size()), ' '));
    }
    void Quote(const QByteArray& utf8) {
        out_ += '"';
        for (const char ch : utf8) {
            const auto byte = static_cast<unsigned char>(ch);
            if (ch == '"' || ch == '\\') {
                out_ += '\\';
                out_ += ch;
            } else if (ch == '\n') {
                out_ += "\\n";
            } else if (ch == '\r') {
                out_ += "\\r";
            } else if (ch == '\t') {
                out_ += "\\t";
            } else if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out_ += escaped;
            } else {
                out_ += ch;
            }
        }
        out_ += '"';
    }

    QByteArray out_;
    std::vector<bool> empty_;
    bool afterKey_ = false;
};

} // namespace

QByteArray RecordText(const RunRecord& r) {
    JsonWriter w;
    w.Open('{');
    for (const auto& [key, value] : {std::pair<const char*, QString>{"run_id", r.runId},
                                     {"dut_id", r.dutId},
                                     {"station_id", r.stationId},
                                     {"plan", r.plan},
                                     {"plan_file", r.planFile},
                                     {"protocol", r.protocol},
                                     {"start_time", Time(r.start)},
                                     {"end_time", Time(r.end)},
                                     {"outcome", OutcomeName(r.outcome)}})
        w.Key(key).Text(value);
    // What is not known is left out, never written as an empty text.
    for (const auto& [key, value] : {std::pair<const char*, QString>{"plan_sha256", r.planSha256},
                                     {"slot", r.slot},
                                     {"operator", r.operatorName},
                                     {"part_number", r.partNumber},
                                     {"revision", r.revision},
                                     {"lot", r.lot},
                                     {"released_by", r.releasedBy}})
        if (!value.isEmpty()) w.Key(key).Text(value);
    if (!r.softwareVersion.isEmpty()) {
        w.Key("software").Open('{');
        w.Key("version").Text(r.softwareVersion);
        w.Key("commit").Text(r.softwareCommit);
        w.Close('}');
    }
    if (!r.testerAddress.isEmpty()) {
        w.Key("tester").Open('{');
        w.Key("identity").Text(r.testerIdentity);
        w.Key("address").Text(r.testerAddress);
        w.Close('}');
    }
    if (!r.fixtureFile.isEmpty()) {
        w.Key("fixture").Open('{');
        w.Key("name").Text(r.fixtureName);
        w.Key("file").Text(r.fixtureFile);
        w.Key("sha256").Text(r.fixtureSha256);
        w.Close('}');
    }
    w.Key("phases").Open('[');
    for (const PhaseRecord& p : r.phases) {
        w.Open('{');
        w.Key("name").Text(p.name);
        w.Key("operation").Text(p.operation);
        w.Key("outcome").Text(OutcomeName(p.outcome));
        w.Key("start_time").Time(p.start);
        w.Key("end_time").Time(p.end);
        w.Key("attempts").Number(p.attempts);
        if (!p.error.isEmpty()) w.Key("error").Text(p.error);
        w.Key("measurements").Open('[');
        for (const MeasurementRecord& m : p.measurements) {
            w.Open('{');
            w.Key("name").Text(m.name);
            w.Key("value").Any(m.value);
            w.Key("units").Text(m.units);
            w.Key("validator").Any(m.validator ? m.validator->given : QJsonObject());
            w.Key("outcome").Text(m.judgement.pass ? "PASS" : "FAIL");
            w.Key("marginal").Bool(m.judgement.marginal);
            w.Close('}');
        }
        w.Close(']');
        w.Key("log").Open('[');
        for (const QString& line : p.log)
            w.Text(line);
        w.Close(']');
        w.Close('}');
    }
    w.Close(']');
    w.Close('}');
    QByteArray text = w.Take();
    text += '\n';
    return text;
}

namespace {

// Gives the finished file `from` the name `to` unless that name is taken; a hard link does
// both in one step, so two writers racing for one name never replace each other.
// Filesystems without hard links get the name claimed first, then the file renamed over
// its own claim.
int LinkNew(const QString& from, const QString& to) {
    const QByteArray target = QFile::encodeName(to);
    if (::link(QFile::encodeName(from).constData(), target.constData()) == 0) return 0;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) return errno;
    const int claim = ::open(target.constData(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    if (claim < 0) return errno;
    ::close(claim);
    return QFile::rename(from, to) || (QFile::remove(to) && QFile::rename(from, to)) ? 0 : EIO;
}

} // namespace

bool WriteRecord(const QString& path, const RunRecord& record, QString& written,
                 QString& error) {
    if (!MakeFolderOf(path, error)) return false;
    const QFileInfo info(path);
    // A device or a pipe (--out /dev/null) takes the record as it is written.
    if (info.exists() && !info.isFile() && !info.isDir()) {
        QFile device(path);
        const QByteArray bytes = RecordText(record);
        if (device.open(QIODevice::WriteOnly) && device.write(bytes) == bytes.size()) {
            written = path;
            return true;
        }
        error = QString("%1: %2").arg(path, device.errorString());
        return false;
    }
    QTemporaryFile file(info.absolutePath() + "/.record-XXXXXX");
    const QByteArray bytes = RecordText(record);
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush() ||
        ::fsync(file.handle()) != 0) {
        error = QString("%1: %2").arg(path, file.errorString());
        return false;
    }
    const QString stem = info.absolutePath() + "/" + info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
    for (int n = 1; n < 10000; ++n) {
        const QString name = n == 1 ? path : QString("%1-%2%3").arg(stem).arg(n).arg(suffix);
        const int code = LinkNew(file.fileName(), name);
        if (code == 0) {
            written = n == 1 ? path : name;
            return true;
        }
        if (code != EEXIST) {
            error = QString("%1: %2").arg(name, QString::fromLocal8Bit(std::strerror(code)));
            return false;
        }
    }
    error = QString("%1: every name of this record is taken").arg(path);
    return false;
}

bool WriteJUnit(const QString& path, const std::vector<RunRecord>& records, QString& error) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement("testsuites");
    int tests = 0;
    Counts all;
    for (const RunRecord& r : records) {
        const Counts c = CountOf(r);
        tests += static_cast<int>(r.phases.size());
        all.failures += c.failures;
        all.errors += c.errors;
    }
    xml.writeAttribute("name", records.empty() ? QString() : records.front().plan);
    xml.writeAttribute("tests", QString::number(tests));
    xml.writeAttribute("failures", QString::number(all.failures));
    xml.writeAttribute("errors", QString::number(all.errors));
    for (const RunRecord& r : records) {
        const Counts c = CountOf(r);
        xml.writeStartElement("testsuite");
        xml.writeAttribute("name", r.plan + " / " + r.dutId);
        xml.writeAttribute("tests", QString::number(r.phases.size()));
        xml.writeAttribute("failures", QString::number(c.failures));
        xml.writeAttribute("errors", QString::number(c.errors));
        xml.writeAttribute("skipped", QString::number(c.skipped));
        xml.writeAttribute("timestamp", Time(r.start));
        xml.writeAttribute("time", Seconds(r.start, r.end));
        xml.writeAttribute("hostname", r.stationId);
        xml.writeStartElement("properties");
        for (const auto& [name, value] : {std::pair<QString, QString>{"dut_id", r.dutId},
                                          {"station_id", r.stationId},
                                          {"run_id", r.runId},
                                          {"protocol", r.protocol},
                                          {"outcome", OutcomeName(r.outcome)}}) {
            xml.writeStartElement("property");
            xml.writeAttribute("name", name);
            xml.writeAttribute("value", value);
            xml.writeEndElement();
        }
        xml.writeEndElement();
        for (const PhaseRecord& p : r.phases) {
            xml.writeStartElement("testcase");
            xml.writeAttribute("name", p.name);
            xml.writeAttribute("classname", r.plan + "." + r.dutId);
            xml.writeAttribute("time", Seconds(p.start, p.end));
            if (p.outcome == Outcome::Fail) {
                QStringList failed;
                for (const MeasurementRecord& m : p.measurements)
                    if (!m.judgement.pass) failed << DescribeMeasurement(m);
                if (!p.error.isEmpty()) failed << p.error;
                xml.writeStartElement("failure");
                xml.writeAttribute("type", "FAIL");
                xml.writeAttribute("message", failed.join("; "));
                xml.writeCharacters(failed.join("\n"));
                xml.writeEndElement();
            } else if (p.outcome == Outcome::Error || p.outcome == Outcome::Aborted) {
                xml.writeStartElement("error");
                xml.writeAttribute("type", OutcomeName(p.outcome));
                xml.writeAttribute("message", p.outcome == Outcome::Error ? p.error : "aborted");
                xml.writeEndElement();
            } else if (p.outcome == Outcome::Skipped) {
                xml.writeEmptyElement("skipped");
            }
            if (!p.log.isEmpty()) xml.writeTextElement("system-out", p.log.join("\n"));
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return Save(path, bytes, error);
}

QString DefaultRecordPath(const QString& folder, const QString& dutId, const QDateTime& start) {
    // Letters, digits, '-', '_' and '.' stand as they are; every other byte (and a leading
    // '.', which would hide the file) as %XX, so that two serials never share a name.
    QByteArray safe;
    const QByteArray serial = dutId.left(64).toUtf8();
    for (qsizetype i = 0; i < serial.size(); ++i) {
        const char ch = serial[i];
        const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                           (ch >= '0' && ch <= '9') || ch == '-' || ch == '_' ||
                           (ch == '.' && i > 0);
        if (plain)
            safe += ch;
        else
            safe += '%' + QByteArray::number(static_cast<unsigned char>(ch), 16)
                              .rightJustified(2, '0')
                              .toUpper();
    }
    const QString time = start.toUTC().toString("yyyyMMdd'T'HHmmss.zzz'Z'");
    return QDir(folder).filePath(QString::fromLatin1(safe) + "-" + time + ".json");
}

} // namespace run
