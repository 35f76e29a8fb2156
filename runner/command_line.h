#pragma once
// btrun's command line: what it asks for, checked before anything is opened or sent.

#include <QList>
#include <QString>
#include <QStringList>

namespace btrun {

struct Settings {
    enum class Mode { Run, Flush, Release, Import, Calibrate, Station, Help };
    Mode mode = Mode::Run;
    QString plan;
    QString dutId;     // empty without --dut
    QString stationId; // the host name without --station
    // Into every record; empty when not given.
    QString slot, operatorName, partNumber, revision, lot;
    QString releasedBy; // with --dut: who released that serial for a retest
    QString out;        // empty without --out
    QString recordsFolder;
    QString junit, btsnoop;
    QString port; // empty: the built-in simulated phone
    qint32 baud = 115200;
    int interfaceKind = 2;
    QString unitProfile;
    bool loop = false;
    bool quiet = false;
    QString db;            // empty: the default store of the records folder
    QString tester;        // a VISA resource string; empty: the built-in test set, if any
    QString testerProfile; // the instrument profile; empty: the built-in test set's
    QString fixture;       // the fixture file; empty: no loss
    QString scpiLog;
    QString testerTrace;       // --tester-trace: a reference radio's HCI exchanges (btsnoop)
    double referencePower = 0; // --reference-power: a reference radio's output, dBm
    QString calibrateUnit;     // --calibrate-fixture: the golden unit's profile
    QList<int> channels;       // --channels: LE channels to calibrate
    bool events = false;       // the run's events as JSON lines on standard output
    QString testerLock;        // the lock file of a test set shared with other processes
    QString stationConfig;     // --station-config: the station file
    QString release;           // --release-address
    QStringList imports;       // --import: record files and folders
    QString help;              // the help text for Mode::Help
};

// Fills `settings` from `arguments` (argv[0] first); false with `why` for a usage error.
bool ParseCommandLine(const QStringList& arguments, Settings& settings, QString& why);

// Prints `why` and the usage of every mode to standard error; returns exit status 64.
int Usage(const QString& why);

} // namespace btrun
