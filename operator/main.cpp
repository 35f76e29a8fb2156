// btoperator: the operator's screen of a station of several slots.

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "host/display.h"
#include "operator/operator_window.h"
#include "operator/slot_tile.h"
#include "operator/translation.h"
#include "runner/station.h"

namespace {

// btrun's statuses for the same faults.
constexpr int kExitUsage = 64;
constexpr int kExitBadInput = 65;

using btoperator::OperatorWindow;
using btoperator::SlotTile;

// A slot runs and has begun at most `share` of its steps.
bool RunsBelow(const OperatorWindow& window, const btrun::StationConfig& config, double share) {
    for (const btrun::SlotConfig& slot : config.slotList) {
        const SlotTile* tile = window.Tile(slot.name);
        if (tile->Current() == SlotTile::State::Running && tile->Progress() <= share) return true;
    }
    return false;
}

// --scan and --screenshot: the lines typed into the scan field one after another, each once
// the runs before it have ended; then the window as it looks with the last run halfway
// through its steps (or when every run has ended).
void Script(OperatorWindow& window, const btrun::StationConfig& config, QStringList lines,
            const QString& shot) {
    auto* timer = new QTimer(&window);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, &window, [=, &window]() mutable {
        if (!lines.isEmpty() && !RunsBelow(window, config, 1.0)) {
            window.Enter(lines.takeFirst());
            return;
        }
        if (!lines.isEmpty() || shot.isEmpty()) return;
        if (RunsBelow(window, config, 0.5) && clock.elapsed() < 120000) return;
        timer->stop();
        const bool saved = window.grab().save(shot);
        if (!saved) std::fprintf(stderr, "btoperator: cannot write %s\n", qPrintable(shot));
        window.close();
        QCoreApplication::exit(saved ? 0 : 1);
    });
    timer->start(100);
}

} // namespace

int main(int argc, char** argv) {
    if (!ChoosePlatform(argc, argv, "btoperator", {"--screenshot"})) return 1;
    QApplication app(argc, argv);
    QApplication::setApplicationName("btoperator");
    QCommandLineParser parser;
    parser.setApplicationDescription("The operator's screen of a Bluetooth test station");
    parser.addHelpOption();
    const QCommandLineOption config("station-config", "The station file (docs/station.md).",
                                    "FILE");
    const QCommandLineOption lang("lang",
                                  "The screen's language: de or en (default: the "
                                  "system's).",
                                  "LANG");
    const QCommandLineOption scan("scan",
                                  "A line typed into the scan field at start, once the runs "
                                  "before it have ended (repeatable; the first signs in).",
                                  "LINE");
    const QCommandLineOption shot("screenshot",
                                  "Render the window to FILE once the --scan lines are in and "
                                  "the last run is halfway, then abort the runs and exit.",
                                  "FILE");
    parser.addOptions({config, lang, scan, shot});
    parser.process(app);
    if (!parser.isSet(config) || !parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "btoperator: usage: btoperator --station-config FILE [--lang de|en] "
                             "[--scan LINE]... [--screenshot FILE]\n");
        return kExitUsage;
    }
    if (!btoperator::UseLanguage(parser.value(lang))) {
        std::fprintf(stderr, "btoperator: no language '%s' (de, en)\n",
                     qPrintable(parser.value(lang)));
        return kExitUsage;
    }
    btrun::StationConfig station;
    QString error;
    if (!btrun::LoadStationConfig(parser.value(config), station, error)) {
        std::fprintf(stderr, "btoperator: %s\n", qPrintable(error));
        return kExitBadInput;
    }
    OperatorWindow window(station, QDir(QCoreApplication::applicationDirPath()).filePath("btrun"));
    window.show();
    if (parser.isSet(scan) || parser.isSet(shot))
        Script(window, station, parser.values(scan), parser.value(shot));
    return app.exec();
}
