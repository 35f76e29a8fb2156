#include "tester/fixture.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <algorithm>
#include <cmath>

#include "tester/json_check.h"

namespace tester {

namespace {

bool Point(const QJsonValue& value, const QString& where, LossPoint& point, QString& error) {
    const json::Node node(value.toObject(), "the fixture", where);
    if (!value.isObject())
        return node.Fail(where, QString("must be an object, not %1").arg(json::TypeName(value)),
                         error);
    if (!node.OnlyKeys({"mhz", "loss_db"}, error) || !node.Number("mhz", point.mhz, error) ||
        !node.Number("loss_db", point.lossDb, error))
        return false;
    if (point.mhz < kFixtureMinMhz || point.mhz > kFixtureMaxMhz)
        return node.Fail(node.At("mhz"),
                         QString("%1 MHz is outside the Bluetooth band (%2..%3)")
                             .arg(point.mhz)
                             .arg(kFixtureMinMhz)
                             .arg(kFixtureMaxMhz),
                         error);
    if (point.lossDb < 0 || point.lossDb > kFixtureMaxLossDb)
        return node.Fail(
            node.At("loss_db"),
            QString("must be from 0 to %1 dB, not %2").arg(kFixtureMaxLossDb).arg(point.lossDb),
            error);
    return true;
}

} // namespace

bool ParseFixture(const QByteArray& json, const QString& file, Fixture& fixture, QString& error) {
    QJsonObject object;
    if (!json::ParseObject(json, file, "a fixture", object, error)) return false;
    const json::Node top(object, "the fixture");
    Fixture f;
    f.file = file;
    QString why;
    const auto fail = [&](const QString& where, const QString& what) {
        error = file + ": " + where + ": " + what;
        return false;
    };
    if (!top.OnlyKeys({"name", "points", "tester_port"}, why) || !top.Text("name", f.name, why)) {
        error = file + ": " + why;
        return false;
    }
    if (top.Has("tester_port")) {
        double port = 0;
        if (!top.Number("tester_port", port, why)) {
            error = file + ": " + why;
            return false;
        }
        if (port != std::floor(port) || port < 1 || port > kFixtureMaxTesterPort)
            return fail("tester_port", QString("must be a whole number from 1 to %1, not %2")
                                           .arg(kFixtureMaxTesterPort)
                                           .arg(port));
        f.testerPort = static_cast<int>(port);
    }
    const QJsonValue points = object.value("points");
    if (!points.isArray() || points.toArray().isEmpty())
        return fail("points",
                    QString("must be a non-empty list of {\"mhz\", \"loss_db\"}, not %1")
                        .arg(points.isArray() ? "an empty list" : json::TypeName(points)));
    const QJsonArray list = points.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        LossPoint p;
        const QString where = QString("points[%1]").arg(i);
        if (!Point(list[i], where, p, why)) {
            error = file + ": " + why;
            return false;
        }
        for (const LossPoint& before : f.points)
            if (before.mhz == p.mhz)
                return fail(where, QString("%1 MHz is given twice").arg(p.mhz));
        f.points.push_back(p);
    }
    std::sort(f.points.begin(), f.points.end(),
              [](const LossPoint& a, const LossPoint& b) { return a.mhz < b.mhz; });
    f.sha256 =
        QString::fromLatin1(QCryptographicHash::hash(json, QCryptographicHash::Sha256).toHex());
    fixture = std::move(f);
    return true;
}

bool LoadFixture(const QString& path, Fixture& fixture, QString& error) {
    QByteArray bytes;
    return json::ReadFile(path, "the fixture", bytes, error) &&
           ParseFixture(bytes, path, fixture, error);
}

double LossAt(std::vector<LossPoint> points, double mhz) {
    if (points.empty()) return 0;
    std::sort(points.begin(), points.end(),
              [](const LossPoint& a, const LossPoint& b) { return a.mhz < b.mhz; });
    if (mhz <= points.front().mhz) return points.front().lossDb;
    if (mhz >= points.back().mhz) return points.back().lossDb;
    const auto above = std::upper_bound(points.begin(), points.end(), mhz,
                                        [](double f, const LossPoint& p) { return f < p.mhz; });
    const LossPoint& a = *(above - 1);
    const LossPoint& b = *above;
    return a.lossDb + (b.lossDb - a.lossDb) * (mhz - a.mhz) / (b.mhz - a.mhz);
}

} // namespace tester
