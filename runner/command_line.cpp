#include "runner/command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QSysInfo>
#include <cstdio>

#include "runner/exit_codes.h"

namespace btrun {

namespace {

// The modes that run no plan, as --help and the usage text list them.
const char kOtherModes[] =
    "  btrun --flush [--db URL] [--out FOLDER]     upload the runs waiting in the spool\n"
    "  btrun --release-address ADDR [--db URL] [--out FOLDER]\n"
    "                                              free a device address for another phone\n"
    "  btrun --import FILE|FOLDER... [--db URL] [--out FOLDER]\n"
    "                                              store records the database lacks\n"
    "  btrun --report DIR [--db URL] [--since YYYY-MM-DD] [--lot LOT]\n"
    "                                              write the HTML report of the store\n"
    "  btrun --calibrate-fixture UNIT.json --out FILE [--channels LIST] [--tester ...]\n"
    "                                              measure a golden phone, write the fixture "
    "file\n"
    "  btrun --station-config FILE [--out FOLDER] [--db URL]\n"
    "                                              test several phones at once, one per slot "
    "(docs/station.md)\n";

struct Options {
    QCommandLineOption dut{"dut", "Serial number of the phone (default UNKNOWN).", "SERIAL"};
    QCommandLineOption station{"station", "Station name (default: host name).", "ID"};
    QCommandLineOption slot{"slot", "The station's slot the phone is tested in.", "NAME"};
    QCommandLineOption operatorName{"operator", "Who tests the phones.", "NAME"};
    QCommandLineOption partNumber{"part-number", "The phones' part number.", "TEXT"};
    QCommandLineOption revision{"revision", "The phones' revision.", "TEXT"};
    QCommandLineOption lot{"lot", "The production lot of the phones.", "TEXT"};
    QCommandLineOption releasedBy{"released-by",
                                  "The supervisor who released this serial (--dut) for a retest "
                                  "after it was sent to repair.",
                                  "NAME"};
    QCommandLineOption out{"out",
                           "Record file (default results/<serial>-<UTC time>.json); with --loop "
                           "the folder of the records. A record is never replaced.",
                           "FILE"};
    QCommandLineOption junit{"junit", "Also write the run as JUnit XML to FILE.", "FILE"};
    QCommandLineOption port{"port",
                            "Talk to a phone on the serial DEVICE (or phonesim --pty) instead of "
                            "the built-in simulated phone.",
                            "DEVICE"};
    QCommandLineOption baud{"baud", "Baud rate of --port (default 115200).", "N", "115200"};
    QCommandLineOption kind{
        "interface-kind", "2 (default): text commands; any other value: binary records.", "N", "2"};
    QCommandLineOption unit{"sim-unit", "Unit profile of the built-in simulated phone.", "FILE"};
    QCommandLineOption loop{"loop", "Read one serial per line from standard input and run the "
                                    "plan once per serial until end of input."};
    QCommandLineOption quiet{"quiet", "Print only the summary line of each phone."};
    QCommandLineOption btsnoop{
        "btsnoop", "Record the raw HCI commands and their events to FILE (btmon -r FILE).", "FILE"};
    QCommandLineOption db{"db",
                          "Results database: sqlite:PATH or postgresql://[USER@]HOST[:PORT]/DB "
                          "(default sqlite:<records folder>/results.sqlite; docs/store.md).",
                          "URL"};
    QCommandLineOption flush{"flush",
                             "Upload the runs waiting in <records folder>/spool.sqlite and exit."};
    QCommandLineOption release{"release-address",
                               "Free the device address ADDR for another phone and exit.", "ADDR"};
    QCommandLineOption import{"import",
                              "Store the run records given as FILE or FOLDER (its *.json) that "
                              "the database lacks, and exit (0 all added or present, 65 some "
                              "unreadable, 3 store error)."};
    QCommandLineOption tester{"tester",
                              "The test set, as a VISA resource string: "
                              "TCPIP::HOST::PORT::SOCKET or TCPIP::HOST::INSTR (default: the "
                              "built-in simulated one, with the built-in phone); or a reference "
                              "radio: h4:/dev/ttyACM0[:BAUD] or dtm:/dev/ttyACM0[:BAUD].",
                              "RESOURCE"};
    QCommandLineOption testerTrace{"tester-trace",
                                   "Record a reference radio's HCI commands and events to FILE "
                                   "(btsnoop, btmon -r FILE).",
                                   "FILE"};
    QCommandLineOption referencePower{"reference-power",
                                      "A reference radio's output power at its port, dBm "
                                      "(default 0).",
                                      "DBM", "0"};
    QCommandLineOption testerProfile{"tester-profile",
                                     "The test set's instrument profile (docs/tester.md).", "FILE"};
    QCommandLineOption fixture{
        "fixture", "The fixture's loss between phone and test set (docs/tester.md).", "FILE"};
    QCommandLineOption scpiLog{"scpi-log", "Write every SCPI command and answer to FILE.", "FILE"};
    QCommandLineOption calibrate{"calibrate-fixture",
                                 "Measure the golden phone described by UNIT.json and write the "
                                 "fixture file to --out.",
                                 "UNIT.json"};
    QCommandLineOption channels{"channels", "LE channels of --calibrate-fixture (default 0,19,39).",
                                "LIST", "0,19,39"};
    QCommandLineOption events{"events", "Write the run's events to standard output, one JSON "
                                        "object a line (docs/station.md)."};
    QCommandLineOption testerLock{"tester-lock",
                                  "Take turns on the test set with the other processes "
                                  "that use the lock FILE (docs/station.md).",
                                  "FILE"};
    QCommandLineOption stationConfig{"station-config",
                                     "Run the station of several slots described by FILE "
                                     "(docs/station.md).",
                                     "FILE"};
    QCommandLineOption help{{"h", "help"}, "Show this help."};
};

// --out names a folder with --loop and a new file without it: a record is never replaced.
bool CheckOut(const Settings& s, QString& why) {
    if (s.out.isEmpty()) return true;
    const QFileInfo given(s.out);
    if (s.loop && given.exists() && !given.isDir())
        why = "--out " + s.out + " is a file; with --loop it names the folder of the records";
    else if (!s.loop && given.isDir())
        why = "--out " + s.out +
              " is a folder; without --loop it names the record file (give a "
              "new file name, or --loop)";
    else if (!s.loop && given.isFile())
        why = "--out " + s.out + " exists; btrun never replaces a record";
    return why.isEmpty();
}

bool CheckRun(const QCommandLineParser& parser, const Options& o, Settings& s, QString& why) {
    if (parser.positionalArguments().size() != 1) why = "give exactly one plan file";
    bool ok = false;
    s.interfaceKind = parser.value(o.kind).toInt(&ok);
    if (why.isEmpty() && !ok) why = "--interface-kind takes a whole number";
    s.baud = parser.value(o.baud).toInt(&ok);
    if (why.isEmpty() && (!ok || s.baud <= 0)) why = "--baud takes a positive whole number";
    if (why.isEmpty() && s.loop && parser.isSet(o.dut))
        why = "--loop reads the serials; drop --dut";
    if (why.isEmpty() && s.loop && parser.isSet(o.releasedBy))
        why = "--released-by names who released one serial: give it with --dut, not --loop";
    if (why.isEmpty() && !s.port.isEmpty() && !s.unitProfile.isEmpty())
        why = "--sim-unit is for the built-in phone; give it to phonesim with --port";
    if (why.isEmpty() && parser.isSet(o.baud) && s.port.isEmpty()) why = "--baud needs --port";
    if (!why.isEmpty() || !CheckOut(s, why)) return false;
    s.plan = parser.positionalArguments().front();
    return true;
}

} // namespace

int Usage(const QString& why) {
    std::fputs(qPrintable("btrun: " + why + '\n'), stderr);
    std::fputs("usage: btrun PLAN.json [--dut SERIAL] [--station ID] [--out FILE] [--junit FILE]\n"
               "             [--port DEVICE [--baud N]] [--interface-kind N] [--sim-unit FILE] "
               "[--loop] [--quiet] [--btsnoop FILE]\n"
               "             [--db URL] [--tester RESOURCE --tester-profile FILE] "
               "[--fixture FILE] [--scpi-log FILE]\n"
               "             [--slot NAME] [--operator NAME] [--part-number TEXT] "
               "[--revision TEXT] [--lot TEXT] [--released-by NAME]\n"
               "             [--events] [--tester-lock FILE]\n"
               "       btrun --flush [--db URL] [--out FOLDER]\n"
               "       btrun --release-address ADDR [--db URL] [--out FOLDER]\n"
               "       btrun --import FILE|FOLDER... [--db URL] [--out FOLDER]\n"
               "       btrun --report DIR [--db URL] [--since YYYY-MM-DD] [--lot LOT]\n"
               "       btrun --calibrate-fixture UNIT.json --out FILE [--channels LIST]\n"
               "             [--tester RESOURCE --tester-profile FILE] [--port DEVICE]\n"
               "       btrun --station-config FILE [--out FOLDER] [--db URL]\n"
               "       btrun --help\n"
               "Exit status: 0 pass, 1 fail, 2 aborted, 3 link, phone or store error, 64 usage, "
               "65 bad input (docs/plans.md).\n",
               stderr);
    return kExitUsage;
}

bool ParseCommandLine(const QStringList& arguments, Settings& s, QString& why) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Runs a test plan on a phone and writes one JSON record per phone.\n"
        "Exit status: 0 pass, 1 fail, 2 aborted, 3 link, phone or store error, 64 usage, "
        "65 bad input.");
    parser.addPositionalArgument("PLAN.json", "The test plan (docs/plans.md).");
    const Options o;
    parser.addOptions(
        {o.dut,        o.station,       o.slot,     o.operatorName, o.partNumber,     o.revision,
         o.lot,        o.releasedBy,    o.out,      o.junit,        o.port,           o.baud,
         o.kind,       o.unit,          o.loop,     o.quiet,        o.btsnoop,        o.db,
         o.flush,      o.release,       o.import,   o.tester,       o.testerProfile,  o.fixture,
         o.scpiLog,    o.calibrate,     o.channels, o.testerTrace,  o.referencePower, o.events,
         o.testerLock, o.stationConfig, o.help});
    if (!parser.parse(arguments)) {
        why = parser.errorText();
        return false;
    }
    if (parser.isSet(o.help)) {
        s.mode = Settings::Mode::Help;
        s.help = parser.helpText() + "\nOther modes:\n" + kOtherModes;
        return true;
    }
    s.dutId = parser.value(o.dut);
    s.stationId = parser.isSet(o.station) ? parser.value(o.station) : QSysInfo::machineHostName();
    s.slot = parser.value(o.slot);
    s.operatorName = parser.value(o.operatorName);
    s.partNumber = parser.value(o.partNumber);
    s.revision = parser.value(o.revision);
    s.lot = parser.value(o.lot);
    s.releasedBy = parser.value(o.releasedBy);
    s.out = parser.value(o.out);
    s.junit = parser.value(o.junit);
    s.btsnoop = parser.value(o.btsnoop);
    s.port = parser.value(o.port);
    s.unitProfile = parser.value(o.unit);
    s.loop = parser.isSet(o.loop);
    s.quiet = parser.isSet(o.quiet);
    s.db = parser.value(o.db);
    s.release = parser.value(o.release);
    s.tester = parser.value(o.tester);
    s.testerProfile = parser.value(o.testerProfile);
    s.fixture = parser.value(o.fixture);
    s.scpiLog = parser.value(o.scpiLog);
    s.calibrateUnit = parser.value(o.calibrate);
    s.events = parser.isSet(o.events);
    s.testerLock = parser.value(o.testerLock);
    s.stationConfig = parser.value(o.stationConfig);
    for (const QString& channel : parser.value(o.channels).split(',')) {
        bool ok = false;
        const int c = channel.trimmed().toInt(&ok);
        if (!ok || c < 0 || c > 39) {
            why = "--channels takes LE channels 0..39, separated by commas";
            return false;
        }
        s.channels << c;
    }
    s.testerTrace = parser.value(o.testerTrace);
    bool powerOk = false;
    s.referencePower = parser.value(o.referencePower).toDouble(&powerOk);
    if (!powerOk || s.referencePower < -40 || s.referencePower > 20) {
        why = "--reference-power takes dBm from -40 to 20";
        return false;
    }
    const bool reference = s.tester.startsWith("h4:", Qt::CaseInsensitive) ||
                           s.tester.startsWith("dtm:", Qt::CaseInsensitive);
    if (!s.tester.isEmpty() && !reference && s.testerProfile.isEmpty()) {
        why = "--tester needs --tester-profile (the instrument's command tree)";
        return false;
    }
    if (!s.testerTrace.isEmpty() && !reference) {
        why = "--tester-trace records a reference radio (--tester h4:DEVICE)";
        return false;
    }
    const bool flush = parser.isSet(o.flush), release = parser.isSet(o.release),
               import = parser.isSet(o.import);
    s.mode = flush                           ? Settings::Mode::Flush
             : release                       ? Settings::Mode::Release
             : import                        ? Settings::Mode::Import
             : parser.isSet(o.calibrate)     ? Settings::Mode::Calibrate
             : parser.isSet(o.stationConfig) ? Settings::Mode::Station
                                             : Settings::Mode::Run;
    // Records folder: the --out folder (with --loop and the store commands), the folder of
    // --out FILE, or "results".
    s.recordsFolder = s.out.isEmpty()                           ? QString("results")
                      : s.loop || s.mode != Settings::Mode::Run ? s.out
                                                                : QFileInfo(s.out).path();
    if (s.mode == Settings::Mode::Run) return CheckRun(parser, o, s, why);
    // The station file names the plan, the phones and the test set.
    if (s.mode == Settings::Mode::Station) {
        if (!parser.positionalArguments().isEmpty())
            why = "--station-config runs the plan its file names: give no plan";
        s.recordsFolder = s.out;
        return why.isEmpty();
    }
    if (s.mode == Settings::Mode::Calibrate) {
        if (s.out.isEmpty() || !parser.positionalArguments().isEmpty())
            why = "--calibrate-fixture UNIT.json writes the fixture file named by --out, and "
                  "takes no plan";
        bool ok = false;
        s.interfaceKind = parser.value(o.kind).toInt(&ok);
        s.baud = parser.value(o.baud).toInt(&ok);
        return why.isEmpty();
    }
    if (int(flush) + int(release) + int(import) > 1)
        why = "--flush, --release-address and --import are separate commands";
    else if (import && parser.positionalArguments().isEmpty())
        why = "--import needs record files or folders";
    else if (!import && !parser.positionalArguments().isEmpty())
        why = "--flush and --release-address take no plan";
    s.imports = parser.positionalArguments();
    return why.isEmpty();
}

} // namespace btrun
