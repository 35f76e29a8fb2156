// The btsnoop file as btmon and Wireshark expect it, byte for byte.

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "trace/btsnoop.h"

namespace {

using bttrace::AnswerKind;
using Bytes = std::vector<uint8_t>;

// One second after the Unix epoch: 0x00dcddb30f2f8000 + 1000000 microseconds.
int64_t OneSecond() {
    return 1000000;
}

struct Row {
    const char* name;
    bool answer;
    Bytes in;
    AnswerKind kind; // answers only
    Bytes record;    // what follows the file header
};

TEST(Btsnoop, HeaderAndRecordsAreBigEndianH4WithFlagsAndYearZeroTime) {
    const Bytes header = {'b', 't', 's', 'n', 'o', 'o', 'p', 0, 0, 0, 0, 1, 0, 0, 0x03, 0xEA};
    // Lengths, flags (2 command, 3 event), drops 0, time; then the H4 packet.
    // clang-format off
#define HEAD(len, flags) 0, 0, 0, len, 0, 0, 0, len, 0, 0, 0, flags, 0, 0, 0, 0, \
                         0x00, 0xDC, 0xDD, 0xB3, 0x0F, 0x3E, 0xC2, 0x40
    const Row rows[] = {
        {"command with indicator", false, {0x01, 0x03, 0x0C, 0x00}, {},
         {HEAD(4, 2), 0x01, 0x03, 0x0C, 0x00}},
        {"command without", false, {0x03, 0x0C, 0x00}, {}, {HEAD(4, 2), 0x01, 0x03, 0x0C, 0x00}},
        {"command cut short, as sent", false, {0x01, 0x03}, {}, {HEAD(3, 2), 0x01, 0x01, 0x03}},
        {"event", true, {0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}, AnswerKind::Event,
         {HEAD(7, 3), 0x04, 0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}},
        {"event with indicator", true, {0x04, 0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00},
         AnswerKind::Event, {HEAD(7, 3), 0x04, 0x0E, 0x04, 0x01, 0x03, 0x0C, 0x00}},
        {"garbage", true, {0xA5, 0xA5, 0xA5}, AnswerKind::NotEvent,
         {HEAD(6, 3), 0x04, 0xFF, 0x03, 0xA5, 0xA5, 0xA5}},
        {"empty answer", true, {}, AnswerKind::NotEvent, {HEAD(3, 3), 0x04, 0xFF, 0x00}},
    };
    // clang-format on
#undef HEAD
    QTemporaryDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = dir.filePath("t.btsnoop").toStdString();
        bttrace::BtsnoopWriter writer(&OneSecond);
        ASSERT_TRUE(writer.Open(path)) << writer.Error();
        if (row.answer)
            EXPECT_EQ(writer.RecordAnswer(row.in), row.kind);
        else
            EXPECT_TRUE(writer.RecordCommand(row.in));
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        Bytes expected = header;
        expected.insert(expected.end(), row.record.begin(), row.record.end());
        EXPECT_EQ(Bytes(text.begin(), text.end()), expected) << "flushed before Close";
    }
}

TEST(Btsnoop, LongAnswerIsSplitIntoVendorEventsAndAnUnwritableFileIsRefused) {
    QTemporaryDir dir;
    bttrace::BtsnoopWriter writer(&OneSecond);
    ASSERT_TRUE(writer.Open(dir.filePath("t.btsnoop").toStdString()));
    EXPECT_EQ(writer.RecordAnswer(Bytes(300, 0xA5)), AnswerKind::NotEvent);
    EXPECT_EQ(writer.Records(), 2u);
    writer.Close();
    QFile file(dir.filePath("t.btsnoop"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 16 + (24 + 3 + 255) + (24 + 3 + 45));
    EXPECT_EQ(bytes.mid(16 + 24, 3), QByteArray("\x04\xFF\xFF"));
    EXPECT_EQ(bytes.mid(16 + 282 + 24, 3), QByteArray("\x04\xFF\x2D"));

    EXPECT_FALSE(writer.Open(dir.filePath("missing/t.btsnoop").toStdString()));
    EXPECT_FALSE(writer.Error().empty());
    EXPECT_FALSE(writer.RecordCommand(Bytes{0x03, 0x0C, 0x00}));
}

} // namespace
