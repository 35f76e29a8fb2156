#include "runner/report.h"

#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "runner/exit_codes.h"
#include "store/analysis.h"
#include "store/connection.h"
#include "store/url.h"

namespace btrun {
namespace {

void Say(const QString& line) {
    std::fputs(qPrintable(line + '\n'), stderr);
    std::fflush(stderr);
}

// Everything that comes out of the store goes through here on its way into the page.
QString E(const QString& text) {
    return text.toHtmlEscaped();
}

QString TimeText(const QDateTime& t) {
    return t.isValid() ? t.toUTC().toString("yyyy-MM-dd HH:mm:ss") : "-";
}

QString PercentText(int part, int whole) {
    return whole > 0 ? store::Number(store::Percent(part, whole), 1) + " %" : "-";
}

const char* kStyle =
    "body{font:14px/1.45 system-ui,sans-serif;margin:24px auto;max-width:1180px;color:#222;"
    "padding:0 16px}h1{font-size:24px;margin-bottom:4px}h2{font-size:18px;margin-top:32px;"
    "border-bottom:1px solid #ccc;padding-bottom:4px}h3{font-size:15px;margin:0 0 2px}"
    "table{border-collapse:collapse;margin:8px 0}th,td{padding:3px 10px;text-align:right;"
    "border-bottom:1px solid #e6e6e6;vertical-align:top}th{background:#f2f2f2}"
    ".l{text-align:left}tr.total td{font-weight:600;background:#f8f8f8}.meta{color:#555}"
    ".PASS{color:#1a7f37}.FAIL{color:#c62828}.ERROR,.ABORTED{color:#b26a00}"
    ".bar{display:inline-block;height:10px;background:#e57373;margin-right:6px}"
    ".fig{display:inline-block;margin:0 28px 28px 0;vertical-align:top}"
    ".fig p{margin:0 0 4px;color:#444}ul{margin:0;padding-left:18px}"
    "td.bad{color:#c62828;font-weight:600}td.weak{color:#b26a00}td.good{color:#1a7f37}";

QString Page(const QString& title, const QString& body) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + E(title) +
           "</title><style>" + kStyle + "</style></head><body>\n" + body + "</body></html>\n";
}

// Table cells are joined, never filled in with QString::arg: a '%1' in a serial would be
// taken for a place holder by the next arg().
QString Td(const QString& html, const QString& cls = "l") {
    return (cls.isEmpty() ? "<td>" : "<td class=\"" + cls + "\">") + html + "</td>";
}

QString Td(double number) {
    return "<td>" + store::Number(number) + "</td>";
}

QString Outcome(const QString& outcome) {
    return Td(E(outcome), "l " + E(outcome));
}

// Per station and day (the station totals in bold) or per slot.
QString YieldTable(const std::vector<store::YieldRow>& rows, bool perSlot) {
    if (rows.empty()) return "<p>No runs.</p>\n";
    QString html = "<table><tr>";
    const QStringList headers = perSlot ? store::SlotHeaders() : store::YieldHeaders();
    for (int i = 0; i < headers.size(); ++i)
        html += (i < 2 ? "<th class=\"l\">" : "<th>") + E(headers[i]) + "</th>";
    html += "</tr>\n";
    for (const store::YieldRow& y : rows) {
        html += perSlot || y.day.isValid() ? "<tr>" : "<tr class=\"total\">";
        const QStringList cells = perSlot ? store::SlotCells(y) : store::YieldCells(y);
        for (int i = 0; i < cells.size(); ++i)
            html += Td(E(cells[i]), i < 2 ? "l" : "");
        html += "</tr>\n";
    }
    return html + "</table>\n";
}

QString FailureTable(const std::vector<store::FailureRow>& rows) {
    if (rows.empty()) return "<p>No measurement failed.</p>\n";
    QString html = "<table><tr><th>#</th><th class=\"l\">Measurement</th><th>Failed runs</th>"
                   "<th>Runs that took it</th><th class=\"l\">Share failed</th></tr>\n";
    int rank = 0;
    for (const store::FailureRow& f : rows) {
        const double share = store::Percent(f.failures, f.runs);
        html += "<tr>" + Td(++rank) + Td(E(store::MeasurementLabel(f.step, f.name))) +
                Td(f.failures) + Td(f.runs) +
                Td(QString("<span class=\"bar\" style=\"width:%1px\"></span>")
                       .arg(qRound(share * 1.5)) +
                   PercentText(f.failures, f.runs)) +
                "</tr>\n";
    }
    return html + "</table>\n";
}

QString IndexClass(const std::optional<double>& index) {
    if (!index) return "l";
    return *index < 1.0 ? "bad" : *index < 1.33 ? "weak" : "good";
}

QString Svg(const QString& element, const QString& attributes, const QString& content = {}) {
    return "<" + element + " " + attributes + (content.isEmpty() ? "/>" : ">" + content) +
           (content.isEmpty() ? "" : "</" + element + ">");
}

// Bars of runs per bin, the limits as red lines, the mean as a dashed line.
QString HistogramSvg(const store::NumericStats& m) {
    const store::Histogram& h = m.histogram;
    if (h.counts.empty()) return "<p>No histogram: the values are out of range.</p>";
    const double width = 460, height = 200, left = 40, right = 14, top = 24, bottom = 38;
    const double plotW = width - left - right, plotH = height - top - bottom;
    const double span = h.High() - h.low;
    const int most = std::max(1, *std::max_element(h.counts.begin(), h.counts.end()));
    const auto x = [&](double v) { return QString::number(left + (v - h.low) / span * plotW); };
    const auto y = [&](double v) { return QString::number(top + plotH - v / most * plotH); };
    QString svg =
        QString("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
                "viewBox=\"0 0 %1 %2\" font-family=\"sans-serif\" font-size=\"11\" role=\"img\">")
            .arg(width)
            .arg(height);
    svg += Svg("title", "", "Histogram of " + E(m.Label()));
    const double bin = plotW / double(h.counts.size());
    for (size_t i = 0; i < h.counts.size(); ++i) {
        if (h.counts[i] == 0) continue;
        const double centre = h.low + (double(i) + 0.5) * h.width;
        const bool outside = (m.low && centre < *m.low) || (m.high && centre > *m.high);
        svg += Svg("rect",
                   QString("x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"%5\"")
                       .arg(left + double(i) * bin + 0.5)
                       .arg(y(h.counts[i]))
                       .arg(std::max(1.0, bin - 1.0))
                       .arg(double(h.counts[i]) / most * plotH)
                       .arg(outside ? "#e57373" : "#5b8dc9"),
                   Svg("title", "", QString::number(h.counts[i])));
    }
    const QString axis = "stroke=\"#888\"";
    svg += Svg("line", QString("x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" %4")
                           .arg(left)
                           .arg(top + plotH)
                           .arg(left + plotW)
                           .arg(axis));
    svg += Svg("line", QString("x1=\"%1\" y1=\"%2\" x2=\"%1\" y2=\"%3\" %4")
                           .arg(left)
                           .arg(top)
                           .arg(top + plotH)
                           .arg(axis));
    svg += Svg("text", QString("x=\"%1\" y=\"%2\" text-anchor=\"end\"").arg(left - 4).arg(top + 4),
               QString::number(most));
    svg +=
        Svg("text", QString("x=\"%1\" y=\"%2\" text-anchor=\"end\"").arg(left - 4).arg(top + plotH),
            "0");
    const double step = store::TickStep(span);
    const double first = std::ceil(h.low / step) * step;
    for (int k = 0; k <= 10 && first + k * step <= h.High(); ++k) {
        const double v = first + k * step;
        svg +=
            Svg("text",
                QString("x=\"%1\" y=\"%2\" text-anchor=\"middle\"").arg(x(v)).arg(top + plotH + 14),
                store::Number(std::abs(v) < step / 2 ? 0 : v, 3));
    }
    svg += Svg("text",
               QString("x=\"%1\" y=\"%2\" text-anchor=\"middle\" fill=\"#555\"")
                   .arg(left + plotW / 2)
                   .arg(height - 4),
               E(m.units.isEmpty() ? m.Label() : m.Label() + " (" + m.units + ")"));
    const auto limit = [&](const std::optional<double>& at, const QString& label, bool lower) {
        if (!at) return;
        svg += Svg("line", QString("class=\"limit\" x1=\"%1\" y1=\"%2\" x2=\"%1\" y2=\"%3\" "
                                   "stroke=\"#c62828\" stroke-width=\"2\"")
                               .arg(x(*at))
                               .arg(top - 6)
                               .arg(top + plotH));
        svg += Svg("text",
                   QString("x=\"%1\" y=\"%2\" text-anchor=\"%3\" fill=\"#c62828\"")
                       .arg(x(*at))
                       .arg(top - 10)
                       .arg(lower ? "start" : "end"),
                   label + " " + store::Number(*at));
    };
    limit(m.low, "LSL", true);
    limit(m.high, "USL", false);
    svg += Svg("line", QString("class=\"mean\" x1=\"%1\" y1=\"%2\" x2=\"%1\" y2=\"%3\" "
                               "stroke=\"#222\" stroke-dasharray=\"4 3\"")
                           .arg(x(m.mean))
                           .arg(top)
                           .arg(top + plotH));
    return svg + "</svg>";
}

QString Measurements(const std::vector<store::NumericStats>& all) {
    if (all.empty()) return "<p>No numeric measurements.</p>\n";
    QString html =
        "<p>Weakest first (the lower of Ppk and Cpk). Ppk = min(USL - mean, mean - LSL) / "
        "(3 sigma), sigma the standard deviation of all readings; Cpk the same with sigma "
        "within = MR-bar / 1.128, MR-bar the average absolute difference of consecutive "
        "readings in the order the runs started. One-sided with one limit; limits as the most "
        "recent run had them.</p>\n"
        "<table><tr><th class=\"l\">Measurement</th><th class=\"l\">Units</th>"
        "<th>n</th><th>Mean</th><th>Sigma</th><th>Sigma within</th><th>Min</th><th>Max</th>"
        "<th class=\"l\">Limits</th><th class=\"l\">Ppk</th><th class=\"l\">Cpk</th></tr>\n";
    for (size_t i = 0; i < all.size(); ++i) {
        const store::NumericStats& m = all[i];
        html += "<tr>" + Td(QString("<a href=\"#m%1\">").arg(i) + E(m.Label()) + "</a>") +
                Td(E(m.units)) + Td(m.count) + Td(m.mean) + Td(m.sigma) + Td(m.sigmaWithin) +
                Td(m.min) + Td(m.max) + Td(store::LimitsText(m.low, m.high)) +
                Td(E(store::PpkText(m)), IndexClass(m.ppk)) +
                Td(E(store::CpkText(m)), IndexClass(m.cpk)) + "</tr>\n";
    }
    html += "</table>\n<p class=\"meta\">Bars: runs per bin (red outside the limits); red "
            "lines: the limits; dashed line: the mean.</p>\n";
    for (size_t i = 0; i < all.size(); ++i) {
        const store::NumericStats& m = all[i];
        html += QString("<div class=\"fig\" id=\"m%1\"><h3>").arg(i) + E(m.Label()) +
                QString("</h3><p>n %1, mean %2, sigma %3, ")
                    .arg(QString::number(m.count), store::Number(m.mean), store::Number(m.sigma)) +
                E(store::CapabilityText(m)) + "</p>" + HistogramSvg(m) + "</div>\n";
    }
    return html;
}

QString PhoneTable(const std::vector<store::PhoneRow>& phones) {
    if (phones.empty()) return "<p>No phones.</p>\n";
    QString html = "<table><tr><th class=\"l\">Serial</th><th>Runs</th>"
                   "<th class=\"l\">Last outcome</th><th class=\"l\">Last run (UTC)</th></tr>\n";
    for (const store::PhoneRow& p : phones)
        html += "<tr>" +
                Td("<a href=\"phones/" + PhonePageName(p.dutId) + "\">" + E(p.dutId) + "</a>") +
                Td(p.runs) + Outcome(p.lastOutcome) + Td(TimeText(p.lastStart)) + "</tr>\n";
    return html + "</table>\n";
}

QString PhonePage(const QString& dutId, const std::vector<store::PhoneRun>& runs) {
    QString html = "<p><a href=\"../index.html\">Back to the report</a></p>\n<h1>Phone " +
                   E(dutId) +
                   "</h1>\n<table><tr><th class=\"l\">Start (UTC)</th>"
                   "<th class=\"l\">Station</th><th class=\"l\">Plan</th>"
                   "<th class=\"l\">Outcome</th><th>Seconds</th><th class=\"l\">Why</th></tr>\n";
    for (const store::PhoneRun& r : runs) {
        QString why;
        for (const store::FailedMeasurement& f : r.failed) {
            const QString value = f.value.isEmpty() ? "not delivered" : f.value + " " + f.units;
            why += "<li>" + E(store::MeasurementLabel(f.step, f.name) + " = " + value.trimmed()) +
                   (f.limits.isEmpty() ? "" : " (" + E(f.limits) + ")") + "</li>";
        }
        for (const QString& e : r.errors)
            why += "<li>" + E(e) + "</li>";
        const QString seconds = r.start.isValid() && r.end.isValid()
                                    ? store::Number(double(r.start.msecsTo(r.end)) / 1000.0, 2)
                                    : "-";
        html += "<tr>" + Td(TimeText(r.start)) + Td(E(r.station)) + Td(E(r.plan)) +
                Outcome(r.outcome) + Td(seconds, "") +
                Td(why.isEmpty() ? "" : "<ul>" + why + "</ul>") + "</tr>\n";
    }
    return Page("Phone " + dutId, html + "</table>\n");
}

bool WriteFile(const QString& path, const QString& html, QString& error) {
    QSaveFile file(path);
    const QByteArray bytes = html.toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    error = "cannot write " + path + ": " + file.errorString();
    return false;
}

int Usage(const QString& why) {
    Say("btrun: " + why);
    Say("usage: btrun --report DIR [--db URL] [--since YYYY-MM-DD] [--lot LOT]");
    return kExitUsage;
}

} // namespace

QString PhonePageName(const QString& dutId) {
    QString safe;
    for (const QChar c : dutId.left(40))
        safe +=
            (c.isLetterOrNumber() && c.unicode() < 128) || c == '-' || c == '_' ? c : QChar('_');
    const QByteArray hash = QCryptographicHash::hash(dutId.toUtf8(), QCryptographicHash::Sha1);
    return safe + (safe.isEmpty() ? "" : "-") + QString::fromLatin1(hash.toHex().left(8)) + ".html";
}

bool WriteReport(const QSqlDatabase& db, const QString& dir, const store::Filter& filter,
                 const QString& source, QString& error) {
    store::Summary sum;
    if (!store::LoadSummary(db, filter, sum, error)) return false;
    if (!QDir().mkpath(QDir(dir).filePath("phones"))) {
        error = "cannot create the folder " + QDir(dir).filePath("phones");
        return false;
    }
    for (const store::PhoneRow& phone : sum.phones) {
        std::vector<store::PhoneRun> runs;
        if (!store::LoadPhone(db, phone.dutId, filter, runs, error) ||
            !WriteFile(QDir(dir).filePath("phones/" + PhonePageName(phone.dutId)),
                       PhonePage(phone.dutId, runs), error))
            return false;
    }
    QString scope = filter.since.isValid()
                        ? "runs since " + filter.since.toString("yyyy-MM-dd") + " (UTC)"
                        : "all runs";
    if (!filter.lot.isEmpty()) scope += " of lot " + filter.lot;
    QString body = "<h1>Test results</h1>\n<p class=\"meta\">" + E(source) + ": " + scope + ", " +
                   QString("%1 runs of %2 phones").arg(sum.runs).arg(sum.phones.size()) +
                   ". Written " + TimeText(QDateTime::currentDateTimeUtc()) + " UTC.</p>\n";
    body += "<h2>Yield per station and day</h2>\n" + YieldTable(sum.yield, false);
    body += "<p class=\"meta\">Yield: PASS runs of all runs. First-pass yield: phones whose first "
            "run passed, counted at the station of that run.</p>\n";
    body += "<h2>Yield per slot</h2>\n" + YieldTable(sum.bySlot, true);
    body += "<h2>Failing measurements</h2>\n" + FailureTable(sum.failures);
    body += "<h2>Measurements</h2>\n" + Measurements(sum.numeric);
    body += "<h2>Phones</h2>\n" + PhoneTable(sum.phones);
    return WriteFile(QDir(dir).filePath("index.html"), Page("Test results", body), error);
}

bool IsReportCommand(const QStringList& arguments) {
    return std::any_of(arguments.begin(), arguments.end(), [](const QString& a) {
        return a == "--report" || a.startsWith("--report=");
    });
}

int ReportMain(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption report("report", "Write the HTML report into DIR.", "DIR");
    const QCommandLineOption dbOption("db", "The results store (default sqlite:results/...).",
                                      "URL");
    const QCommandLineOption sinceOption("since", "Only runs from this UTC day on.", "DATE");
    const QCommandLineOption lotOption("lot", "Only runs of this lot.", "LOT");
    parser.addOptions({report, dbOption, sinceOption, lotOption});
    if (!parser.parse(arguments)) return Usage(parser.errorText());
    if (!parser.positionalArguments().isEmpty()) return Usage("--report takes no plan");
    if (parser.value(report).isEmpty()) return Usage("--report needs a folder");
    QDateTime since;
    if (parser.isSet(sinceOption)) {
        const QDate day = QDate::fromString(parser.value(sinceOption), "yyyy-MM-dd");
        if (!day.isValid()) return Usage("--since takes a date as YYYY-MM-DD");
        since = QDateTime(day, QTime(0, 0), Qt::UTC);
    }
    const QString url =
        parser.isSet(dbOption) ? parser.value(dbOption) : store::DefaultUrl("results");
    store::Target target;
    QString error;
    if (!store::ParseUrl(url, target, error)) return Usage(error);
    // A report never creates a store: a mistyped path says so instead of showing no runs.
    if (target.kind == store::Target::Kind::Sqlite && !QFileInfo(target.path).isFile()) {
        Say("btrun: no results store at " + target.path);
        return kExitError;
    }
    store::Connection connection;
    const QString dir = parser.value(report);
    if (!connection.Open(target, error) ||
        !WriteReport(connection.Db(), dir, {since, parser.value(lotOption)}, target.Display(),
                     error)) {
        Say("btrun: " + error);
        return kExitError;
    }
    Say("btrun: report written to " + QDir(dir).filePath("index.html"));
    return 0;
}

} // namespace btrun
