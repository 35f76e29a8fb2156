#pragma once
// The shielded fixture between the phone and the test set: its cable and coupling loss by
// frequency, measured once per fixture and kept in a file (btrun --fixture FILE). The file's
// name and SHA-256 go into the record, so a reading can be traced to the loss it used.

#include <QByteArray>
#include <QString>
#include <vector>

#include "tester/tester.h"

namespace tester {

struct Fixture {
    QString file;
    QString name;
    std::vector<LossPoint> points; // by rising frequency
    QString sha256;                // of the file's bytes, lower-case hex
    // The test set's RF port this fixture's cable goes to, on a test set with an RF switch
    // shared by several slots (1, 2, ...); 0 when the file names none.
    int testerPort = 0;
};

constexpr int kFixtureMaxTesterPort = 16;

// The Bluetooth band as test sets take fixture points (channel 78 at 2480 MHz, plus its
// width); a loss measured outside it says nothing about the radio.
constexpr double kFixtureMinMhz = 2400;
constexpr double kFixtureMaxMhz = 2484;
constexpr double kFixtureMaxLossDb = 100;

// Reads and checks a fixture file; on failure `error` is "FILE: <where>: <what>" or
// "FILE:LINE:COLUMN: <why>".
bool ParseFixture(const QByteArray& json, const QString& file, Fixture& fixture, QString& error);
bool LoadFixture(const QString& path, Fixture& fixture, QString& error);

// The loss at `mhz`: linear in MHz between two points, the nearest point's outside them,
// 0 with no points. The points may come in any order.
double LossAt(std::vector<LossPoint> points, double mhz);

} // namespace tester
