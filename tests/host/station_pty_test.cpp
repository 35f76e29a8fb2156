// The station with the built plug-in: its form driven over a pseudo-terminal to the
// phonesim program exactly as it is driven in-process, and the HCI traces it records on each
// protocol, read back by btmon (and tshark, where it is installed): every command and event
// named, also from a trace cut short.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "host/hci_trace.h"
#include "host/host_table.h"
#include "host/serial_link.h"
#include "host/station.h"
#include "phone_process.h"
#include "trace/btsnoop.h"

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

// The tool's standard output; its exit code must be 0.
QString RunTool(const QString& tool, const QStringList& args) {
    QProcess process;
    process.start(tool, args);
    EXPECT_TRUE(process.waitForFinished(30000)) << tool.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

class StationPlugin : public testing::TestWithParam<int> {
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

TEST_P(StationPlugin, StartUpOverAPtyIsTheSameAsInProcessAndTheFormOutlivesARestartedPhone) {
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

TEST_P(StationPlugin, HciTraceOfTheSmokeSequenceDecodesInBtmonWithEveryCommandAndEventNamed) {
    ASSERT_FALSE(QStandardPaths::findExecutable("btmon").isEmpty()) << "install bluez";
    const auto station = Start({});
    StationPhone().Chip().leRxPackets = 300;
    auto* request = Control<QPlainTextEdit>(*station, "memo_HCICommandSequence");
    auto* send = Control<QAbstractButton>(*station, "btn_SendHCICommand");
    ASSERT_TRUE(request && send && send->isEnabled());

    QTemporaryDir dir;
    const QString path = dir.filePath("smoke.btsnoop");
    ASSERT_TRUE(station->StartHciTrace(path));
    EXPECT_EQ(station->HciTraceAction()->text(), "Stop HCI &trace");
    const char* sequence[] = {"01 03 0C 00",       "09 10 00",    "01 10 00",
                              "03 10 00",          "1D 20 01 05", "1F 20 00",
                              "1E 20 03 05 25 00", "00 FC 00",    "03 0C 00"};
    for (const char* command : sequence) {
        // The last answer is noise: it goes into the trace as what it is.
        if (command == std::end(sequence)[-1]) {
            StationPhone().InjectBinary({phonesim::Fault::Garbage}, 28);
            StationPhone().InjectText({phonesim::Fault::Garbage}, "at@bt:hci_command");
        }
        request->setPlainText(command);
        send->click();
    }
    station->HciTraceAction()->trigger();
    EXPECT_EQ(station->HciTraceAction()->text(), "Record HCI &trace...");
    const QString log = station->LogPane()->toPlainText();
    EXPECT_TRUE(log.contains("HCI trace: recording to " + path)) << log.toStdString();
    EXPECT_TRUE(log.contains("HCI trace: the answer is no HCI event; its ")) << log.toStdString();
    EXPECT_TRUE(log.contains("HCI trace: stopped, 18 records in " + path)) << log.toStdString();

    const QString out = RunTool("btmon", {"-r", path});
    for (const char* name :
         {"< HCI Command: Reset (0x03|0x0003) plen 0", "Read BD ADDR (0x04|0x0009)",
          "Address: 00:1A:7D:DA:71:13", "Read Local Version Information (0x04|0x0001)",
          "Read Local Supported Features (0x04|0x0003)",
          "< HCI Command: LE Receiver Test (0x08|0x001d) plen 1", "LE Test End (0x08|0x001f)",
          "Number of packets: 300", "LE Transmitter Test (0x08|0x001e) plen 3",
          "< HCI Command: Vendor (0x3f|0x0000) plen 0", "Status: Unknown HCI Command (0x01)",
          "> HCI Event: Vendor (0xff) plen "})
        EXPECT_TRUE(out.contains(name)) << name << "\n" << out.toStdString();
    EXPECT_EQ(out.count("< HCI Command: "), 9) << out.toStdString();
    EXPECT_EQ(out.count("> HCI Event: Command Complete (0x0e)"), 8);
    EXPECT_EQ(out.count("Status: Success (0x00)"), 7);
    EXPECT_FALSE(out.contains("invalid packet size")) << out.toStdString();

    if (!QStandardPaths::findExecutable("tshark").isEmpty()) {
        const QString decoded = RunTool("tshark", {"-r", path});
        EXPECT_EQ(decoded.count('\n'), 18);
        EXPECT_FALSE(decoded.contains("Malformed")) << decoded.toStdString();
    }

    // Cut in the middle of the last record: the records before it decode as they did.
    // btmon still prints the cut record, filled up with whatever its buffer held.
    QFile::resize(path, QFileInfo(path).size() - 3);
    const QString cut = RunTool("btmon", {"-r", path});
    const qsizetype last = out.indexOf("#18");
    ASSERT_GT(last, 0);
    EXPECT_EQ(cut.left(last), out.left(last)) << cut.toStdString();
}

INSTANTIATE_TEST_SUITE_P(InterfaceKind, StationPlugin, testing::Values(0, 2),
                         [](const auto& info) { return info.param == 2 ? "Text" : "Binary"; });

// The text commands of the I/O library's slot are watched as well.
TEST(StationTraceSlots, TextCommandThroughSlot54IsRecorded) {
    StationPhone().Reset();
    HostTable table;
    FillStationSlots(table);
    TapHciSlots(table);
    QTemporaryDir dir;
    bttrace::BtsnoopWriter writer;
    ASSERT_TRUE(writer.Open(dir.filePath("54.btsnoop").toStdString()));
    SetHciTraceWriter(&writer, nullptr);
    const std::string line =
        "at@bt:hci_command(3,{3,12,0" + QString(",0").repeated(147).toStdString() + "})";
    uint8_t response[512] = {};
    uint16_t length = 0;
    const auto slot = reinterpret_cast<uint8_t (*)(int32_t, uint16_t, const uint8_t*, uint16_t*,
                                                   uint8_t*, int32_t)>(table.entries[54]);
    EXPECT_EQ(slot(0, static_cast<uint16_t>(line.size()),
                   reinterpret_cast<const uint8_t*>(line.data()), &length, response, 1),
              1);
    SetHciTraceWriter(nullptr, nullptr);
    EXPECT_EQ(writer.Records(), 2u);
    const QString out = RunTool("btmon", {"-r", dir.filePath("54.btsnoop")});
    EXPECT_TRUE(out.contains("< HCI Command: Reset (0x03|0x0003) plen 0")) << out.toStdString();
    EXPECT_TRUE(out.contains("Reset (0x03|0x0003) ncmd 1\n        Status: Success (0x00)"))
        << out.toStdString();
}

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
