// The station program started on a machine without a display it can open (a CI runner,
// an ssh session, a display forwarded from a machine gone): a screenshot still renders,
// anything else stops with one clear line.

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct StartCase {
    const char* name;
    const char* display; // DISPLAY, or none when null
    QStringList args;    // "SHOT" stands for a file in a temporary folder
    int exitCode;
    const char* refusal; // what stderr's one line says before the advice
    bool writesShot;
};

TEST(StationStart, WithoutAReachableDisplayScreenshotRendersAndWindowRefusesClearly) {
    const StartCase cases[] = {
        {"screenshot", nullptr, {"--screenshot", "SHOT"}, 0, "", true},
        {"screenshot=", nullptr, {"--chip-on", "--screenshot=SHOT"}, 0, "", true},
        {"screenshot, TCP display away", "localhost:42", {"--screenshot", "SHOT"}, 0, "", true},
        {"window", nullptr, {"--chip-on"}, 1, "no display", false},
        {"local display without its socket", ":97", {}, 1, "no display (cannot open :97)", false},
        {"TCP display away", "localhost:42", {}, 1, "no display (cannot open localhost:42)", false},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString shot = dir.filePath("shot.png");
        QStringList args = c.args;
        for (QString& a : args)
            a.replace("SHOT", shot);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("WAYLAND_DISPLAY");
        env.remove("DISPLAY");
        if (c.display) env.insert("DISPLAY", c.display);
        QProcess station;
        station.setProcessEnvironment(env);
        station.start(STATION_PATH, args);
        ASSERT_TRUE(station.waitForFinished(60000));
        EXPECT_EQ(station.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(station.exitCode(), c.exitCode);
        // The one line, whole, and nothing of Qt's own complaint before it.
        const std::string err = station.readAllStandardError().toStdString();
        if (c.exitCode != 0) {
            EXPECT_EQ(err, "station: " + std::string(c.refusal) +
                               ": set DISPLAY, or run with QT_QPA_PLATFORM=offscreen\n");
        }
        EXPECT_EQ(QFileInfo(shot).size() > 0, c.writesShot);
    }
}

} // namespace
