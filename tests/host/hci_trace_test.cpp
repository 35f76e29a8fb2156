// HCI traces recorded in the station on each protocol, read back by btmon (and tshark,
// where it is installed): every command and event named, also from a trace cut short.

#include <QAbstractButton>
#include <QAction>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "hci_trace.h"
#include "host_table.h"
#include "station.h"
#include "trace/btsnoop.h"

namespace {

// The tool's standard output; its exit code must be 0.
QString RunTool(const QString& tool, const QStringList& args) {
    QProcess process;
    process.start(tool, args);
    EXPECT_TRUE(process.waitForFinished(30000)) << tool.toStdString();
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

class StationTrace : public testing::TestWithParam<int> {};

TEST_P(StationTrace, SmokeSequenceDecodesInBtmonWithEveryCommandAndEventNamed) {
    ASSERT_FALSE(QStandardPaths::findExecutable("btmon").isEmpty()) << "install bluez";
    StationHostState() = HostState{};
    StationHostState().interfaceKind = GetParam();
    StationPhone().Reset();
    StationPhone().Chip().on = true;
    StationPhone().Chip().leRxPackets = 300;
    Station station;
    ASSERT_TRUE(station.LoadPlugin(BT_PLUGIN_PATH));
    station.OpenBluetoothWindow();
    QWidget* form = station.Plugin().Form();
    ASSERT_NE(form, nullptr);
    auto* request = form->findChild<QPlainTextEdit*>("memo_HCICommandSequence");
    auto* send = form->findChild<QAbstractButton*>("btn_SendHCICommand");
    ASSERT_TRUE(request && send && send->isEnabled());

    QTemporaryDir dir;
    const QString path = dir.filePath("smoke.btsnoop");
    ASSERT_TRUE(station.StartHciTrace(path));
    EXPECT_EQ(station.HciTraceAction()->text(), "Stop HCI &trace");
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
    station.HciTraceAction()->trigger();
    EXPECT_EQ(station.HciTraceAction()->text(), "Record HCI &trace...");
    const QString log = station.LogPane()->toPlainText();
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

INSTANTIATE_TEST_SUITE_P(Protocol, StationTrace, testing::Values(0, 2),
                         [](const auto& info) { return info.param == 2 ? "Text" : "Binary"; });

} // namespace
