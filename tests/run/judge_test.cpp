// The judgement of one measurement against its validator as a plan writes it, and the
// repeatable draws of simulated units.

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include "phone/unit_profile.h"
#include "run/plan.h"

namespace {

// The validator of `measurement` (of `operation`) as the plan text gives it.
run::Validator ValidatorOf(const QString& operation, const char* measurement, const char* limits) {
    const QString args = operation == "le_rx_end"  ? R"({"expected_packets": 1500})"
                         : operation == "nvm_read" ? R"({"param": "bdaddr"})"
                                                   : "{}";
    const QString json = QString(R"({"name": "p", "steps": [{"operation": "%1", "args": %2,
                                    "measurements": [{"name": "%3", %4}]}]})")
                             .arg(operation, args, measurement, limits);
    run::Plan plan;
    QString error;
    EXPECT_TRUE(run::ParsePlan(json.toUtf8(), "p.json", plan, error)) << error.toStdString();
    return plan.steps.empty() ? run::Validator{} : plan.steps[0].measurements[0].validator;
}

struct Case {
    const char* operation;
    const char* measurement;
    const char* limits;
    QJsonValue value;
    bool pass;
    bool marginal;
};

TEST(Judge, LimitsAreInclusiveAndTheMarginalBandLiesInsideThem) {
    const Case table[] = {
        {"le_rx_end", "le_per", R"("max": 30.8, "marginal": {"max": 20})", 30.8, true, true},
        {"le_rx_end", "le_per", R"("max": 30.8, "marginal": {"max": 20})", 30.81, false, false},
        {"le_rx_end", "le_per", R"("max": 30.8, "marginal": {"max": 20})", 20, true, false},
        {"tmeas_read", "tmeas_fused", R"("min": 400, "max": 600)", 400, true, false},
        {"tmeas_read", "tmeas_fused", R"("min": 400, "max": 600)", 399, false, false},
        {"tmeas_read", "tmeas_fused", R"("min": 400, "max": 600, "marginal": {"min": 420})", 410,
         true, true},
        {"firmware_info", "firmware_version", R"("equals": "4.6")", "4.6", true, false},
        {"firmware_info", "firmware_version", R"("equals": "4.6")", "4.60", false, false},
        // A regular expression must match the whole value.
        {"firmware_info", "hardware_version", R"("matches": "2\\.[0-9]+")", "2.1", true, false},
        {"firmware_info", "hardware_version", R"("matches": "2\\.[0-9]+")", "12.1", false, false},
        {"nvm_read", "bdaddr", R"("matches": "001A7D[0-9A-F]{6}")", "001A7D4C2E91", true, false},
        // A measurement the phone did not deliver fails even without limits.
        {"rssi", "rssi", R"("units": "dBm")", QJsonValue(), false, false},
    };
    for (const Case& row : table) {
        SCOPED_TRACE(std::string(row.limits) + " " +
                     row.value.toVariant().toString().toStdString());
        const run::Validator v = ValidatorOf(row.operation, row.measurement, row.limits);
        const run::Judgement j = run::Judge(v, row.value);
        EXPECT_EQ(j.pass, row.pass);
        EXPECT_EQ(j.marginal, row.marginal);
    }
}

TEST(PlanReference, NamesEveryOperationAndMeasurementAndEveryShippedPlanLoads) {
    for (const QFileInfo& shipped : QDir(PLANS_DIR).entryInfoList({"*.json"}, QDir::Files)) {
        run::Plan plan;
        QString error;
        EXPECT_TRUE(run::LoadPlan(shipped.filePath(), plan, error)) << error.toStdString();
    }
    QFile file(PLANS_DOC);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString doc = QString::fromUtf8(file.readAll());
    run::Args all;
    all["param"].text = "all";
    for (const run::OperationSpec& op : run::Operations()) {
        EXPECT_TRUE(doc.contains(QString("| `%1` |").arg(op.name))) << op.name;
        for (const run::MeasurementSpec& m : run::MeasurementsOf(op, op.nvm ? all : run::Args{})) {
            const QString units = m.units.isEmpty() ? "—" : m.units;
            EXPECT_TRUE(QRegularExpression(QString("`%1`[^`]*?\\(%2[,)]").arg(m.name, units))
                            .match(doc)
                            .hasMatch() ||
                        (units == "—" && doc.contains(QString("`%1`").arg(m.name))))
                << op.name << " " << m.name.toStdString() << " " << m.units.toStdString();
        }
    }
}

TEST(UnitProfile, TheSameSeedAndUnitGiveTheSamePhone) {
    phonesim::UnitProfile profile;
    std::string error;
    ASSERT_TRUE(phonesim::ParseUnitProfile(
        R"({"seed": 7, "tmeas_fused": {"mean": 500, "spread": 50}, "rssi": -60,
            "le_tester_packets": 1000, "le_packet_loss_percent": 10,
            "firmware": {"firmware": "4.6", "build_year": 2024}})",
        "u.json", profile, error))
        << error;
    auto chip = [&](uint64_t unit) {
        phonesim::ChipState state = phonesim::DefaultChip();
        phonesim::ApplyUnitProfile(profile, unit, state);
        return state;
    };
    EXPECT_EQ(chip(3).tmeasFused, chip(3).tmeasFused);
    EXPECT_NE(chip(0).tmeasFused, chip(1).tmeasFused);
    EXPECT_NEAR(chip(0).tmeasFused, 500, 50);
    EXPECT_EQ(chip(0).rssi, -60);
    EXPECT_EQ(chip(0).leRxPackets, 900);
    EXPECT_EQ(chip(0).lumoraVersion[4], 4);
    EXPECT_EQ(chip(0).lumoraVersion[5], 6);
    EXPECT_EQ(chip(0).lumoraVersion[6], 24);
}

} // namespace
