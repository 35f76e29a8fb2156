// The station file, read and checked whole (with the plan, unit profiles, fixtures and the
// test set's profile it names) before any slot starts.

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <cmath>

#include "phone/unit_profile.h"
#include "run/plan.h"
#include "runner/station.h"
#include "store/url.h"
#include "tester/fixture.h"
#include "tester/json_check.h"
#include "tester/profile.h"
#include "tester/reference_radio.h"
#include "tester/visa.h"

namespace btrun {

namespace {

using tester::json::Node;

// Files the station file names are found beside it, wherever btrun runs.
QString Beside(const QString& stationFile, const QString& path) {
    return QDir::cleanPath(QFileInfo(stationFile).dir().filePath(path));
}

bool OptionalText(const Node& node, const QString& key, QString& out, QString& error) {
    return !node.Has(key) || node.Text(key, out, error);
}

bool WholeNumber(const Node& node, const QString& key, int low, int high, int& out,
                 QString& error) {
    double v = 0;
    if (!node.Has(key)) return true;
    if (!node.Number(key, v, error)) return false;
    if (v != std::floor(v) || v < low || v > high)
        return node.Fail(node.At(key),
                         QString("must be a whole number from %1 to %2").arg(low).arg(high), error);
    out = static_cast<int>(v);
    return true;
}

// The files a slot names, read as btrun would read them.
bool SlotFiles(const Node& node, const QString& file, SlotConfig& slot, QString& error) {
    QString why;
    if (!slot.unitProfile.isEmpty()) {
        slot.unitProfile = Beside(file, slot.unitProfile);
        phonesim::UnitProfile profile;
        std::string text;
        if (!phonesim::LoadUnitProfile(slot.unitProfile.toStdString(), profile, text))
            return node.Fail(node.At("sim_unit"), QString::fromStdString(text), error);
    }
    if (!slot.fixture.isEmpty()) {
        slot.fixture = Beside(file, slot.fixture);
        tester::Fixture fixture;
        if (!tester::LoadFixture(slot.fixture, fixture, why))
            return node.Fail(node.At("fixture"), why, error);
        slot.testerPort = fixture.testerPort;
    }
    return true;
}

bool ParseSlot(const QJsonValue& value, const QString& where, const QString& file,
               bool radioWithoutTester, SlotConfig& slot, QString& error) {
    const Node node(value.toObject(), "the station", where);
    if (!value.isObject())
        return node.Fail(
            where, QString("must be an object, not %1").arg(tester::json::TypeName(value)), error);
    if (!node.OnlyKeys({"name", "port", "sim_unit", "interface_kind", "fixture"}, error) ||
        !node.Text("name", slot.name, error) || !OptionalText(node, "port", slot.port, error) ||
        !OptionalText(node, "sim_unit", slot.unitProfile, error) ||
        !OptionalText(node, "fixture", slot.fixture, error) ||
        !WholeNumber(node, "interface_kind", 0, 255, slot.interfaceKind, error))
        return false;
    static const QRegularExpression kName("^[A-Za-z0-9_-]+$");
    if (!kName.match(slot.name).hasMatch())
        return node.Fail(node.At("name"),
                         QString("'%1' may hold only letters, digits, '-' and '_'").arg(slot.name),
                         error);
    if (slot.port.isEmpty() == slot.unitProfile.isEmpty())
        return node.Fail(where,
                         slot.port.isEmpty() ? "give the phone's 'port', or 'sim_unit' for the "
                                               "built-in simulated phone"
                                             : "give 'port' or 'sim_unit', not both",
                         error);
    if (!slot.port.isEmpty() && radioWithoutTester)
        return node.Fail(node.At("port"),
                         "the plan measures the radio: a phone on a port needs the station's "
                         "'tester' (the built-in test set measures only the built-in phone)",
                         error);
    return SlotFiles(node, file, slot, error);
}

// The shared tester: a test set (a VISA resource and its profile) or a reference radio
// (h4: or dtm: and its output power).
bool ParseTester(const Node& top, const QString& file, StationConfig& c, bool& switches,
                 QString& error) {
    Node node;
    QString why;
    if (!top.Has("tester")) return true;
    if (!top.Child("tester", node, error) ||
        !node.OnlyKeys({"resource", "profile", "reference_power"}, error) ||
        !node.Text("resource", c.tester, error))
        return false;
    if (tester::IsReferenceAddress(c.tester)) {
        tester::ReferenceAddress address;
        if (!tester::ParseReferenceAddress(c.tester, address, why))
            return top.Fail("tester.resource", why, error);
        if (!node.Has("reference_power")) return true;
        double dbm = 0;
        if (!node.Number("reference_power", dbm, error)) return false;
        if (dbm < -40 || dbm > 20)
            return top.Fail("tester.reference_power",
                            QString("must be from -40 to 20 dBm, not %1").arg(dbm), error);
        c.referencePower = dbm;
        return true;
    }
    if (!node.Text("profile", c.testerProfile, error)) return false;
    tester::VisaResource resource;
    if (!tester::ParseVisaResource(c.tester, resource, why))
        return top.Fail("tester.resource", why, error);
    c.testerProfile = Beside(file, c.testerProfile);
    tester::Profile profile;
    if (!tester::LoadProfile(c.testerProfile, profile, why))
        return top.Fail("tester.profile", why, error);
    switches = !profile.fixturePort.isEmpty();
    return true;
}

// Slots sharing a test set through its RF switch: each on a port of its own, and only where
// the test set has a switch to set.
bool CheckTesterPorts(const Node& top, const StationConfig& c, bool switches, QString& error) {
    for (std::size_t i = 0; i < c.slotList.size(); ++i) {
        const int port = c.slotList[i].testerPort;
        const QString where = QString("slots[%1].fixture").arg(i);
        if (port == 0) continue;
        if (!switches)
            return top.Fail(where,
                            QString("tester_port %1: the station's tester has no RF switch to set "
                                    "(its profile has no fixture.port command)")
                                .arg(port),
                            error);
        for (std::size_t j = 0; j < i; ++j)
            if (c.slotList[j].testerPort == port)
                return top.Fail(
                    where, QString("tester_port %1 is slots[%2]'s too").arg(port).arg(j), error);
    }
    return true;
}

bool ParseStation(const QJsonObject& object, const QString& file, StationConfig& c,
                  QString& error) {
    const Node top(object, "the station");
    QString why;
    bool switches = false; // the station's test set has an RF switch
    if (!top.OnlyKeys({"station_id", "plan", "slots", "tester", "db", "records", "retest_limit",
                       "part_number", "revision", "lot"},
                      error) ||
        !top.Text("station_id", c.stationId, error) || !top.Text("plan", c.plan, error) ||
        !OptionalText(top, "db", c.db, error) ||
        !OptionalText(top, "records", c.recordsFolder, error) ||
        !WholeNumber(top, "retest_limit", 1, 1000, c.retestLimit, error) ||
        !OptionalText(top, "part_number", c.partNumber, error) ||
        !OptionalText(top, "revision", c.revision, error) ||
        !OptionalText(top, "lot", c.lot, error) || !ParseTester(top, file, c, switches, error))
        return false;
    c.plan = Beside(file, c.plan);
    run::Plan plan;
    if (!run::LoadPlan(c.plan, plan, why)) return top.Fail("plan", why, error);
    store::Target target;
    if (!c.db.isEmpty() && !store::ParseUrl(c.db, target, why)) return top.Fail("db", why, error);
    const QJsonValue given = object.value("slots");
    if (!given.isArray() || given.toArray().isEmpty())
        return top.Fail("slots",
                        QString("must be a non-empty list of slots, not %1")
                            .arg(given.isArray() ? "an empty list" : tester::json::TypeName(given)),
                        error);
    const QJsonArray list = given.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = QString("slots[%1]").arg(i);
        SlotConfig slot;
        if (!ParseSlot(list[i], where, file, plan.usesTester && c.tester.isEmpty(), slot, error))
            return false;
        for (std::size_t j = 0; j < c.slotList.size(); ++j)
            if (c.slotList[j].name == slot.name)
                return top.Fail(where + ".name",
                                QString("'%1' is the name of slots[%2] too").arg(slot.name).arg(j),
                                error);
        c.slotList.push_back(slot);
    }
    return CheckTesterPorts(top, c, switches, error);
}

} // namespace

bool LoadStationConfig(const QString& path, StationConfig& config, QString& error) {
    QByteArray bytes;
    QJsonObject object;
    if (!tester::json::ReadFile(path, "the station file", bytes, error) ||
        !tester::json::ParseObject(bytes, path, "a station file", object, error))
        return false;
    StationConfig c;
    c.file = path;
    QString why;
    if (!ParseStation(object, path, c, why)) {
        error = path + ": " + why;
        return false;
    }
    config = std::move(c);
    return true;
}

} // namespace btrun
