// The station program started on a machine without a display (a CI runner, an ssh
// session): a screenshot still renders, anything else stops with one clear line.

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct StartCase {
    const char* name;
    QStringList args;  // "SHOT" stands for a file in a temporary folder
    int exitCode;
    const char* stderrHas;
    bool writesShot;
};

TEST(StationStart, WithoutDisplayScreenshotRendersAndWindowRefusesClearly) {
    const StartCase cases[] = {
        {"screenshot", {"--screenshot", "SHOT"}, 0, "", true},
        {"screenshot=", {"--chip-on", "--screenshot=SHOT"}, 0, "", true},
        {"window", {"--chip-on"}, 1,
         "no display: set DISPLAY, or run with QT_QPA_PLATFORM=offscreen", false},
        {"local display without its socket", {}, 1, "no display", false},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString shot = dir.filePath("shot.png");
        QStringList args = c.args;
        for (QString& a : args) a.replace("SHOT", shot);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.remove("WAYLAND_DISPLAY");
        env.remove("DISPLAY");
        if (QString(c.name).startsWith("local")) env.insert("DISPLAY", ":97");
        QProcess station;
        station.setProcessEnvironment(env);
        station.start(STATION_PATH, args);
        ASSERT_TRUE(station.waitForFinished(60000));
        EXPECT_EQ(station.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(station.exitCode(), c.exitCode);
        EXPECT_TRUE(QString(station.readAllStandardError()).contains(c.stderrHas));
        EXPECT_EQ(QFileInfo(shot).size() > 0, c.writesShot);
    }
}

}  // namespace
