// btrun --report as the quality engineer opens it: the yield table, one histogram with its
// limits per numeric measurement, a page per phone, whatever the serials contain.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "hand_store.h"
#include "runner/report.h"

namespace {

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(StoreReport, IndexHasYieldRowsAndAHistogramWithLimitLinesPerMeasurement) {
    HandStore s;
    FillLine(s);
    QTemporaryDir out;
    QString error;
    ASSERT_TRUE(btrun::WriteReport(s.Db(), out.path(), {}, "sqlite:hand", error))
        << error.toStdString();
    const QString index = ReadText(out.filePath("index.html"));
    EXPECT_TRUE(index.contains("<td>4</td><td>2</td><td>1</td><td>1</td><td>50 %</td>"
                               "<td>33.3 % of 3 phones</td>")); // station A in total
    EXPECT_TRUE(index.contains("<h2>Yield per slot</h2>"));
    EXPECT_TRUE(index.contains("<tr><td class=\"l\">A</td><td class=\"l\">2</td><td>2</td>"
                               "<td>0</td><td>1</td><td>1</td><td>0 %</td>"));
    // Ten numeric measurements; temp, flat, single, x and zigzag have two limits, per and rssi
    // one, the two chip_state none.
    EXPECT_EQ(index.count("<svg"), 10);
    EXPECT_EQ(index.count("class=\"limit\""), 12);
    EXPECT_EQ(index.count("class=\"mean\""), 10);
    // per: a good Ppk, a weak Cpk (analysis_test.cpp works both out).
    EXPECT_TRUE(index.contains("<td class=\"good\">Ppk 1.65</td><td class=\"weak\">Cpk 1.32</td>"));
    EXPECT_TRUE(index.contains("<td class=\"l\">Switch the chip off: chip_state</td><td>1</td>"));
    EXPECT_FALSE(index.contains("<script"));
    EXPECT_FALSE(index.contains(QRegularExpression("\\binf\\b|\\bnan\\b")));
    for (const char* phone : {"P1", "P2", "P3", "P4", "P5"})
        EXPECT_TRUE(QFile::exists(out.filePath("phones/" + btrun::PhonePageName(phone))));
    const QString p2 = ReadText(out.filePath("phones/" + btrun::PhonePageName("P2")));
    EXPECT_TRUE(p2.contains("<li>Step: fw = 4.5 (equals 4.6)</li><li>Step: per = 3 (max 9)</li>"
                            "<li>Switch the chip off: chip_state = 1 (equals 0)</li>"));
    EXPECT_EQ(p2.count("<tr>"), 3); // the header and two runs
    EXPECT_TRUE(ReadText(out.filePath("phones/" + btrun::PhonePageName("P3")))
                    .contains("Firmware: no answer"));
}

TEST(StoreReport, HostileSerialsShowVerbatimOnPagesOfTheirOwn) {
    HandStore s;
    const QStringList serials = {"<script>O'Brien\"; DROP", "a/b", "a?b", "../%1", ""};
    for (int i = 0; i < serials.size(); ++i)
        s.Run(QString("r%1").arg(i), serials[i], "A", "FAIL", "2025-03-01T08:00:00.000Z");
    QTemporaryDir out;
    QString error;
    ASSERT_TRUE(btrun::WriteReport(s.Db(), out.path(), {}, "sqlite:hand", error));
    const QString index = ReadText(out.filePath("index.html"));
    EXPECT_FALSE(index.contains("<script"));
    EXPECT_TRUE(index.contains("&lt;script&gt;O'Brien&quot;; DROP"));
    const QStringList pages = QDir(out.filePath("phones")).entryList(QDir::Files);
    EXPECT_EQ(pages.size(), serials.size());
    for (const QString& page : pages) {
        EXPECT_TRUE(QRegularExpression("^[A-Za-z0-9_-]+\\.html$").match(page).hasMatch())
            << page.toStdString();
        EXPECT_TRUE(index.contains("href=\"phones/" + page + "\""));
    }
    EXPECT_TRUE(ReadText(out.filePath("phones/" + btrun::PhonePageName(serials[0])))
                    .contains("Phone &lt;script&gt;O'Brien&quot;; DROP</h1>"));
}

TEST(StoreReport, CommandExitsByWhatItCouldDo) {
    HandStore s;
    FillLine(s);
    QTemporaryDir out;
    QFile junk(out.filePath("junk.sqlite"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write(QByteArray(4096, 'x')) == 4096);
    junk.close();
    const QString store = "sqlite:" + s.Path();
    struct Row {
        QStringList args;
        int exit;
        const char* says;
    };
    const std::vector<Row> rows = {
        {{"--db", store, "--since", "2025-03-02", "--lot", "L2"}, 0, "index.html"},
        {{"--db", store, "--since", "2025-02-30"}, 64, "YYYY-MM-DD"},
        {{"--db", store, "plans/p.json"}, 64, "usage"},
        {{"--db", "sqlite:" + out.filePath("none/results.sqlite")}, 3, "none/results.sqlite"},
        {{"--db", "sqlite:" + junk.fileName()}, 3, "btrun: "},
    };
    for (const Row& row : rows) {
        QProcess p;
        p.start(BTRUN_PATH, QStringList{"--report", out.filePath("report")} + row.args);
        ASSERT_TRUE(p.waitForFinished(30000));
        const QString said = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), row.exit) << said.toStdString();
        EXPECT_TRUE(said.contains(row.says)) << said.toStdString();
    }
    // Of day two's four runs, lot L2 holds two.
    EXPECT_TRUE(ReadText(out.filePath("report/index.html"))
                    .contains("runs since 2025-03-02 (UTC) of lot L2, 2 runs of 2 phones"));
}

} // namespace
