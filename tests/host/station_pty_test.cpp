// The station with the built plug-in, its form driven over a pseudo-terminal to the
// phonesim program exactly as it is driven in-process.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "host_table.h"
#include "phone_process.h"
#include "serial_link.h"
#include "station.h"

namespace {

// The log without its time stamps, one entry a line.
QStringList LogLines(const Station& station) {
    QStringList lines = station.LogPane()->toPlainText().split('\n');
    for (QString& line : lines)
        line = line.mid(13);
    return lines;
}

// Runs `action` and closes every modal box it opens; how many there were.
int ClosingBoxes(const std::function<void()>& action) {
    int boxes = 0;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&boxes] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++boxes;
            dialog->done(0);
        }
    });
    timer.start();
    action();
    return boxes;
}

class StationOverPty : public testing::TestWithParam<int> {
protected:
    // The form of a new station with the chip on; over `device` when it is given, else
    // in-process.
    std::unique_ptr<Station> Start(const QString& device) {
        StationHostState() = HostState{};
        StationHostState().interfaceKind = GetParam();
        StationPhone().Reset();
        StationPhone().Chip().on = true;
        auto station = std::make_unique<Station>();
        if (!device.isEmpty()) station->UseSerialPort(device, 115200);
        EXPECT_TRUE(station->LoadPlugin(BT_PLUGIN_PATH));
        EXPECT_EQ(ClosingBoxes([&] { station->OpenBluetoothWindow(); }), 0);
        return station;
    }
    template <typename T> static T* Control(const Station& station, const char* name) {
        QWidget* form = station.Plugin().Form();
        return form ? form->findChild<T*>(name) : nullptr;
    }
};

TEST_P(StationOverPty, StartUpIsTheSameAsInProcessAndTheFormOutlivesARestartedPhone) {
    const QStringList inProcess = LogLines(*Start({}));
    QTemporaryDir dir;
    const QString path = dir.filePath("phone");
    PhoneProcess phone;
    ASSERT_EQ(phone.Start({"--chip-on", "--link", path}), path);
    auto station = Start(path);
    QStringList overPty = LogLines(*station);
    ASSERT_FALSE(overPty.isEmpty());
    EXPECT_TRUE(overPty.takeFirst().startsWith("Serial port " + path + " opened"));
    EXPECT_EQ(overPty, inProcess);
    auto* init = Control<QAbstractButton>(*station, "btn_BluetoothInit");
    ASSERT_NE(init, nullptr);
    EXPECT_TRUE(init->isChecked()) << "the chip's state came over the line";
    EXPECT_EQ(Control<QWidget>(*station, "gbNvmNew")->isHidden(), GetParam() != 2);

    auto* info = Control<QAbstractButton>(*station, "btn_GetInformation");
    auto* hwInfo = Control<QGroupBox>(*station, "gb_HWInfo");
    ASSERT_TRUE(info && hwInfo && info->isEnabled());
    const QString title = hwInfo->title();
    phone.Kill();
    QElapsedTimer clock;
    clock.start();
    ClosingBoxes([info] { info->click(); });
    EXPECT_LT(clock.elapsed(), 2000) << "the form hung on a dead line";
    EXPECT_EQ(LogLines(*station).filter(" lost: ").size(), 1);
    EXPECT_EQ(hwInfo->title(), title) << "a failed read showed information";
    EXPECT_TRUE(info->isEnabled()) << "the form stays usable";

    PhoneProcess second;
    ASSERT_EQ(second.Start({"--chip-on", "--link", path}), path);
    const qsizetype before = LogLines(*station).size();
    ClosingBoxes([info] { info->click(); });
    const QStringList after = LogLines(*station).mid(before);
    EXPECT_EQ(after.filter("reopened").size(), 1) << after.join('\n').toStdString();
    EXPECT_EQ(hwInfo->title(), "Lumora universal") << after.join('\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(InterfaceKind, StationOverPty, testing::Values(0, 2),
                         [](const auto& info) { return info.param == 2 ? "Text" : "Binary"; });

TEST(StationPort, PhoneUnpluggedAndPluggedBackWhileIdleIsFoundByItself) {
    QTemporaryDir dir;
    const QString path = dir.filePath("phone");
    PhoneProcess phone;
    ASSERT_EQ(phone.Start({"--link", path}), path);
    Station station;
    station.UseSerialPort(path, 115200);
    ASSERT_TRUE(station.Link()->IsOpen());
    phone.Kill();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !station.Link()->IsOpen(); }, 1000));
    EXPECT_EQ(LogLines(station).filter(" lost: ").size(), 1);

    PhoneProcess second;
    ASSERT_EQ(second.Start({"--link", path}), path);
    EXPECT_TRUE(QTest::qWaitFor([&] { return station.Link()->IsOpen(); }, 2500));
    EXPECT_EQ(LogLines(station).filter("reopened").size(), 1);
    EXPECT_EQ(LogLines(station).size(), 3) << LogLines(station).join('\n').toStdString();
}

} // namespace
