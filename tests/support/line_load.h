#pragma once
// A line of stations: one `btrun --loop` process per station, all at once, each storing
// into the same results store. Serials are "S<station>-<phone>", every one distinct; the
// first half of the stations run the provisioning plan (they hand out device addresses).

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

struct LineLoad {
    QString btrun;            // the program
    QString folder;           // station-NN/ record folders (and spools) are made here
    QString db;               // --db URL
    QString plan;             // plan of the stations without provisioning
    QString provisioningPlan; // plan of the first half
    QStringList extraArgs;    // e.g. --sim-unit
    int stations = 16;
    int phones = 200;

    // Starts every station and returns when all have ended; `whileRunning` is called about
    // every 50 ms meanwhile. False with the reason when a station did not start or hung.
    bool Run(const std::function<void()>& whileRunning, QString& error);
    QString StationFolder(int station) const;
    // Exit status and standard error of each station after Run().
    std::vector<int> exits;
    std::vector<QString> logs;
};
