// The operator's screen as a barcode scanner and the keyboard drive it: sign-in, serials on
// four slots, a FAIL that names its measurement, a serial refused after two failures until a
// supervisor releases it, aborts by key, and the screen in German.

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "operator/limit_gauge.h"
#include "operator/operator_window.h"
#include "operator/slot_tile.h"
#include "operator/translation.h"

namespace {

using btoperator::SlotTile;

// A short plan: the chip, the temperature sensor (hot.json reads above 600), a settling wait
// long enough to abort into, the LE power over a few packets.
const char* const kPlan = R"({"name": "Operator screen check", "steps": [
  {"name": "Chip on", "operation": "chip_on", "measurements": [{"name": "chip_state", "equals": 1}]},
  {"name": "Temperature", "operation": "tmeas_read", "measurements": [{"name": "tmeas_fused",
    "min": 400, "max": 600, "marginal": {"min": 420, "max": 580}}]},
  {"name": "Settle", "operation": "wait", "args": {"ms": 700}},
  {"name": "LE power", "operation": "le_tx_test", "args": {"packets": 5, "items": ["power"]},
   "measurements": [{"name": "le_power_avg", "min": -10, "max": 6, "units": "dBm",
                     "marginal": {"min": -8, "max": 4}}]}]})";

struct Screen {
    explicit Screen(const QString& language) {
        EXPECT_TRUE(btoperator::UseLanguage(language));
        const QString units = PLANS_DIR "/units/";
        Write("plan.json", kPlan);
        Write("station.json", QString(R"({"station_id": "line1-op", "plan": "plan.json",
            "records": "%1/results", "db": "sqlite:%1/results.sqlite", "slots": [
            {"name": "A", "sim_unit": "%2golden.json"}, {"name": "B", "sim_unit": "%2golden.json"},
            {"name": "C", "sim_unit": "%2golden.json"}, {"name": "D", "sim_unit": "%2hot.json"}]})")
                                  .arg(dir.path(), units));
        btrun::StationConfig config;
        QString error;
        EXPECT_TRUE(btrun::LoadStationConfig(dir.filePath("station.json"), config, error))
            << error.toStdString();
        window = std::make_unique<btoperator::OperatorWindow>(config, BTRUN_PATH);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    ~Screen() { btoperator::UseLanguage("en"); }
    void Write(const QString& name, const QString& text) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
    }
    // As the scanner does it: the characters, then Enter, into whatever has the keyboard.
    void Scan(const QString& line) {
        QTest::keyClicks(QApplication::focusWidget(), line);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    SlotTile* Tile(const QString& slot) { return window->Tile(slot); }
    bool Shows(const QString& slot, const QString& word, int ms = 30000) {
        return QTest::qWaitFor([&] { return Tile(slot)->Word() == word; }, ms);
    }
    QTemporaryDir dir;
    std::unique_ptr<btoperator::OperatorWindow> window;
};

TEST(OperatorScreen, ScansRunTheSlotsAndRepeatedFailuresWaitForASupervisor) {
    Screen s("en");
    ASSERT_EQ(QApplication::focusWidget(), s.window->ScanField());
    s.Scan("Anna Berger");
    EXPECT_TRUE(s.window->Header().startsWith("Operator: Anna Berger\n"));
    ASSERT_NE(s.window->Station(), nullptr);
    for (const char* line : {"SN-2", "SN-3", "SN-4", "D:SN-5"})
        s.Scan(line);
    // A bare serial goes to the next idle slot, a prefixed one to its slot.
    const struct {
        const char* slot;
        const char* serial;
        const char* word;
    } runs[] = {
        {"A", "SN-2", "PASS"}, {"B", "SN-3", "PASS"}, {"C", "SN-4", "PASS"}, {"D", "SN-5", "FAIL"}};
    for (const auto& r : runs) {
        ASSERT_TRUE(s.Shows(r.slot, r.word))
            << r.slot << ": " << s.Tile(r.slot)->Word().toStdString();
        EXPECT_EQ(s.Tile(r.slot)->Serial(), r.serial);
    }
    const QList<btoperator::LimitGauge*> gauges = s.Tile("A")->Gauges();
    ASSERT_EQ(gauges.size(), 3);
    EXPECT_EQ(gauges[2]->Shown().name, "le_power_avg");
    EXPECT_TRUE(gauges[2]->Shown().pass && *gauges[2]->Shown().max == 6);
    EXPECT_TRUE(s.Tile("D")->Why().contains(QRegularExpression(
        R"(tmeas_fused = 6\d\d \(min 400, max 600, marginal outside 420..580\))")))
        << s.Tile("D")->Why().toStdString();

    s.Scan("D:SN-5");
    ASSERT_TRUE(s.Shows("D", "TESTING", 2000));
    ASSERT_TRUE(s.Shows("D", "FAIL"));
    s.Scan("D:SN-5"); // the third time: refused
    EXPECT_EQ(s.Tile("D")->Word(), "TO REPAIR");
    EXPECT_EQ(s.window->Message(), "SN-5 failed 2 times: TO REPAIR, not tested again until a "
                                   "supervisor releases it (F9)");
    EXPECT_TRUE(s.window->Station()->IsIdle("D"));

    QTest::keyClick(s.window->ScanField(), Qt::Key_F9);
    s.Scan("Sup-7");
    EXPECT_EQ(s.window->Prompt(), "Supervisor Sup-7: scan the serial to release (Esc: cancel)");
    s.Scan("SN-5");
    EXPECT_EQ(s.Tile("D")->Why(), "Released by Sup-7: scan it again");
    s.Scan("A:SN-5");
    ASSERT_TRUE(s.Shows("A", "TESTING", 2000));
    ASSERT_TRUE(s.Shows("A", "PASS")); // a golden unit on A
    EXPECT_TRUE(s.window->Header().endsWith(
        "Tested 6    Passed 4    Failed 2    Errors 0    First-pass yield 75.0 %"))
        << s.window->Header().toStdString();

    // Aborts by key, each while its run is in the settling wait.
    const struct {
        const char* slot;
        std::vector<Qt::Key> keys;
    } aborts[] = {{"B", {Qt::Key_F2}}, {"C", {Qt::Key_Escape, Qt::Key_Return}}};
    for (const auto& a : aborts) {
        s.Scan(QString(a.slot) + ":SN-9" + a.slot);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return s.Tile(a.slot)->StepText().startsWith("Step 3 of 4"); }, 20000));
        for (Qt::Key key : a.keys)
            QTest::keyClick(s.window->ScanField(), key);
        EXPECT_TRUE(s.Shows(a.slot, "ABORTED")) << a.slot;
    }
}

TEST(OperatorScreen, SpeaksTheLanguageAsked) {
    const struct {
        const char* language;
        const char* prompt;
        const char* word;
    } rows[] = {{"de", "Anmelden: Ausweis scannen oder Namen eingeben, dann Enter", "BEREIT"},
                {"en", "Sign in: scan your badge or type your name, then Enter", "READY"}};
    for (const auto& r : rows) {
        Screen s(r.language);
        EXPECT_EQ(s.window->Prompt(), r.prompt);
        EXPECT_EQ(s.Tile("C")->Word(), r.word);
    }
    EXPECT_FALSE(btoperator::UseLanguage("fr"));
}

} // namespace
