#pragma once
// btrun --report DIR [--db URL] [--since DATE] [--lot LOT]: a static HTML report of the
// results store that a person opens in any browser, also from a file share: no scripts, no
// files from elsewhere, the histograms drawn in inline SVG.

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include "store/analysis.h"

namespace btrun {

// True when the command line asks for a report rather than a run.
bool IsReportCommand(const QStringList& arguments);
// The whole command: 0 written, 3 the store could not be read or the report not written,
// 64 usage error; one line on standard error says which.
int ReportMain(const QStringList& arguments);

// index.html and phones/<page>.html under `dir` from the runs `filter` keeps. `source`
// names the store in the report's heading.
bool WriteReport(const QSqlDatabase& db, const QString& dir, const store::Filter& filter,
                 const QString& source, QString& error);

// The file of a phone's page: its serial cut down to safe characters and a short hash of the
// whole serial, so that every serial gets a page of its own whatever it contains.
QString PhonePageName(const QString& dutId);

} // namespace btrun
