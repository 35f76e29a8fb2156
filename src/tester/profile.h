#pragma once
// An instrument profile: how one model of test set is spoken to. Each verb of ITester maps
// to the instrument's commands and queries, with placeholders for the verb's settings, and
// each answer field to the reading it is. Command trees differ between makers, so they are
// data (plans/testers/*.json), never code. The format is in docs/tester.md.

#include <QByteArray>
#include <QHash>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

#include "tester/tester.h"

namespace tester {

// One reading taken from one comma-separated field of an answer, times `scale` to get
// the engine's units.
struct ProfileField {
    QString reading;
    QString units; // the engine's, for the reading
    int index = 0;
    double scale = 1;
};

struct ProfileQuery {
    QString query;
    std::vector<ProfileField> fields;
};

struct TxProfile {
    QStringList configure; // {channel} {phy} {packets} or {channel} {packet_type} {packets}
    std::array<ProfileQuery, 4> items{}; // by TxItem
};

struct Profile {
    QString file;
    QString name;
    QRegularExpression idnPattern;
    int timeoutMs = 10000;
    QString errorQuery;
    QRegularExpression noErrorPattern;
    QStringList reset;
    QStringList fixtureClear;
    QString fixturePoint; // {mhz} {loss_db}
    QString fixturePort;  // {port}; empty: the test set has no RF switch to set
    TxProfile leTx;
    TxProfile brTx;
    QStringList leRxConfigure; // {channel} {level} {count}
    QStringList leRxSend;
    QString leRxWait; // empty: none
};

// Reads and checks a profile; on failure `error` is "FILE: <where>: <what>" or
// "FILE:LINE:COLUMN: <why>" for JSON syntax.
bool ParseProfile(const QByteArray& json, const QString& file, Profile& profile, QString& error);
bool LoadProfile(const QString& path, Profile& profile, QString& error);

// `text` with each {name} replaced by its value (placeholders were checked on loading).
QString Expand(QString text, const QHash<QString, QString>& values);

} // namespace tester
