#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <string>

#include "host/display.h"
#include "host/results_window.h"
#include "host/station.h"
#include "phone/unit_profile.h"

int main(int argc, char** argv) {
    if (!ChoosePlatform(argc, argv, "station", {"--screenshot", "--results-screenshot"})) return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName("station");
    QCommandLineParser parser;
    parser.setApplicationDescription("Production-test station for the Bluetooth plug-in");
    parser.addHelpOption();
    QCommandLineOption kind("interface-kind", "Information item 31 (2 = text commands).", "N", "2");
    QCommandLineOption shot("screenshot", "Render the window to FILE after start-up and exit.",
                            "FILE");
    QCommandLineOption page("page",
                            "Show this page of the Bluetooth window first: TestModeSetup, "
                            "AuxiliarySetup or HCICommand.",
                            "NAME");
    QCommandLineOption chipOn(
        "chip-on", "The built-in simulated phone starts with its Bluetooth chip running.");
    QCommandLineOption port("port",
                            "Talk to a phone on the serial DEVICE instead of the built-in "
                            "simulated phone (e.g. /dev/ttyUSB0, or the device printed by "
                            "phonesim --pty).",
                            "DEVICE");
    QCommandLineOption baud("baud", "Baud rate of --port (default 115200).", "N", "115200");
    QCommandLineOption unit("sim-unit",
                            "The built-in simulated phone takes the readings of the unit "
                            "profile FILE (docs/plans.md).",
                            "FILE");
    QCommandLineOption db("db",
                          "The results store of the Results window (default "
                          "sqlite:results/results.sqlite; or postgresql://HOST/DB).",
                          "URL");
    QCommandLineOption resultsShot("results-screenshot",
                                   "Open the Results window, render it to FILE and exit.", "FILE");
    parser.addOption(db);
    parser.addOption(resultsShot);
    parser.addOption(kind);
    parser.addOption(shot);
    parser.addOption(page);
    parser.addOption(chipOn);
    parser.addOption(port);
    parser.addOption(baud);
    parser.addOption(unit);
    parser.process(app);

    bool ok = false;
    const int interfaceKind = parser.value(kind).toInt(&ok);
    if (!ok) parser.showHelp(2);
    StationHostState().interfaceKind = interfaceKind;
    const qint32 baudRate = parser.value(baud).toInt(&ok);
    if (!ok || baudRate <= 0) parser.showHelp(2);

    if (parser.isSet(chipOn)) StationPhone().Chip().on = true;
    if (parser.isSet(unit)) {
        phonesim::UnitProfile profile;
        std::string error;
        if (!phonesim::LoadUnitProfile(parser.value(unit).toStdString(), profile, error)) {
            std::fprintf(stderr, "station: %s\n", error.c_str());
            return 2;
        }
        phonesim::ApplyUnitProfile(profile, 0, StationPhone().Chip());
    }
    Station station;
    if (parser.isSet(db)) station.SetResultsStore(parser.value(db));
    station.show();
    if (parser.isSet(port)) station.UseSerialPort(parser.value(port), baudRate);
    const QString pluginPath =
        QDir(QCoreApplication::applicationDirPath()).filePath("libBluetooth.so");
    if (station.LoadPlugin(pluginPath)) station.OpenBluetoothWindow();
    if (parser.isSet(page)) {
        QWidget* form = station.Plugin().Form();
        auto* pages = form ? form->findChild<QTabWidget*>("pc_Bluetooth") : nullptr;
        QWidget* wanted = pages ? pages->findChild<QWidget*>(parser.value(page)) : nullptr;
        for (int i = 0; wanted && i < pages->count(); ++i)
            if (pages->widget(i) == wanted || pages->widget(i)->isAncestorOf(wanted))
                pages->setCurrentIndex(i);
        if (!wanted) station.AppendLog("No page named " + parser.value(page), 0);
    }

    if (parser.isSet(shot)) {
        const QString file = parser.value(shot);
        QTimer::singleShot(300, &station, [&station, file] {
            const bool saved = station.grab().save(file);
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    if (parser.isSet(resultsShot)) {
        ResultsWindow* results = station.OpenResultsWindow();
        if (results == nullptr) return 1;
        const QString file = parser.value(resultsShot);
        QTimer::singleShot(500, results, [results, file] {
            QCoreApplication::exit(results->grab().save(file) ? 0 : 1);
        });
    }
    return app.exec();
}
