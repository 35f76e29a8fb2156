#include "tester/profile.h"

#include <cmath>

#include "tester/json_check.h"

namespace tester {

namespace {

constexpr const char* kItemKeys[] = {"power", "offset_drift", "modulation_df1", "modulation_df2"};

// The settings each verb fills in.
QStringList LeTxPlaceholders() {
    return {"channel", "phy", "packets"};
}
QStringList BrTxPlaceholders() {
    return {"channel", "packet_type", "packets"};
}
QStringList LeRxPlaceholders() {
    return {"channel", "level", "count"};
}
QStringList FixturePlaceholders() {
    return {"mhz", "loss_db"};
}

bool Placeholders(const QString& text, const QStringList& known, const json::Node& node,
                  const QString& where, QString& error) {
    for (qsizetype open = text.indexOf('{'); open >= 0; open = text.indexOf('{', open + 1)) {
        const qsizetype close = text.indexOf('}', open);
        if (close < 0) return node.Fail(where, "a '{' without its '}'", error);
        const QString name = text.mid(open + 1, close - open - 1);
        if (!known.contains(name)) {
            QStringList shown;
            for (const QString& k : known)
                shown << "{" + k + "}";
            return node.Fail(where,
                             QString("unknown placeholder {%1} (%2)")
                                 .arg(name, shown.isEmpty() ? "none is known here"
                                                            : "known here: " + shown.join(", ")),
                             error);
        }
    }
    return true;
}

// A text command with placeholders.
bool Command(const json::Node& node, const QString& key, const QStringList& known, QString& out,
             QString& error) {
    return node.Text(key, out, error) && Placeholders(out, known, node, node.At(key), error);
}

bool Commands(const json::Node& node, const QString& key, const QStringList& known,
              QStringList& out, QString& error) {
    if (!node.TextList(key, out, error)) return false;
    for (qsizetype i = 0; i < out.size(); ++i)
        if (!Placeholders(out[i], known, node, QString("%1[%2]").arg(node.At(key)).arg(i), error))
            return false;
    return true;
}

bool Field(const json::Node& fields, const QString& reading, ProfileField& out, QString& error) {
    json::Node f;
    double index = 0;
    if (!fields.Child(reading, f, error) || !f.OnlyKeys({"index", "scale"}, error) ||
        !f.Number("index", index, error))
        return false;
    if (index < 0 || index != std::floor(index) || index > 1000)
        return f.Fail(f.At("index"),
                      QString("must be a whole number from 0 to 1000, not %1").arg(index), error);
    out = ProfileField{reading, {}, static_cast<int>(index), 1.0};
    if (f.Has("scale") && !f.Number("scale", out.scale, error)) return false;
    if (out.scale == 0 || !std::isfinite(out.scale))
        return f.Fail(f.At("scale"), "must be a number other than 0", error);
    return true;
}

bool Query(const json::Node& verb, bool le, TxItem item, const QStringList& known,
           ProfileQuery& out, QString& error) {
    const QString key = kItemKeys[static_cast<int>(item)];
    json::Node node, fields;
    if (!verb.Child(key, node, error) || !node.OnlyKeys({"query", "fields"}, error) ||
        !Command(node, "query", known, out.query, error) || !node.Child("fields", fields, error))
        return false;
    QStringList offered, units;
    for (const ReadingSpec& reading : TxReadings(le, item)) {
        offered << reading.name;
        units << reading.units;
    }
    if (fields.Object().isEmpty())
        return fields.Fail(fields.Where(),
                           QString("names no reading (it gives %1)").arg(offered.join(", ")),
                           error);
    out.fields.clear();
    for (const QString& reading : fields.Object().keys()) {
        if (!offered.contains(reading))
            return fields.Fail(fields.Where(),
                               QString("'%1' is not a reading of %2 %3 (it gives %4)")
                                   .arg(reading, verb.Where(), key, offered.join(", ")),
                               error);
        ProfileField field;
        if (!Field(fields, reading, field, error)) return false;
        field.units = units.at(offered.indexOf(reading));
        out.fields.push_back(field);
    }
    return true;
}

bool Tx(const json::Node& top, bool le, TxProfile& out, QString& error) {
    const QStringList known = le ? LeTxPlaceholders() : BrTxPlaceholders();
    json::Node verb;
    if (!top.Child(le ? "le_tx" : "br_tx", verb, error) ||
        !verb.OnlyKeys({"configure", "power", "offset_drift", "modulation_df1", "modulation_df2"},
                       error) ||
        !Commands(verb, "configure", known, out.configure, error))
        return false;
    for (TxItem item :
         {TxItem::Power, TxItem::OffsetDrift, TxItem::ModulationDf1, TxItem::ModulationDf2})
        if (!Query(verb, le, item, known, out.items[static_cast<int>(item)], error)) return false;
    return true;
}

bool LeRx(const json::Node& top, Profile& p, QString& error) {
    json::Node verb;
    if (!top.Child("le_rx", verb, error) || !verb.OnlyKeys({"configure", "send", "wait"}, error) ||
        !Commands(verb, "configure", LeRxPlaceholders(), p.leRxConfigure, error) ||
        !Commands(verb, "send", LeRxPlaceholders(), p.leRxSend, error))
        return false;
    if (p.leRxSend.isEmpty()) return verb.Fail(verb.At("send"), "must name a command", error);
    return !verb.Has("wait") || Command(verb, "wait", LeRxPlaceholders(), p.leRxWait, error);
}

bool Fixture(const json::Node& top, Profile& p, QString& error) {
    json::Node verb;
    return top.Child("fixture", verb, error) && verb.OnlyKeys({"clear", "point", "port"}, error) &&
           Commands(verb, "clear", {}, p.fixtureClear, error) &&
           Command(verb, "point", FixturePlaceholders(), p.fixturePoint, error) &&
           (!verb.Has("port") || Command(verb, "port", {"port"}, p.fixturePort, error));
}

bool Top(const json::Node& top, Profile& p, QString& error) {
    QString idn, noError;
    if (!top.OnlyKeys({"name", "idn_pattern", "timeout_ms", "error_query", "no_error_pattern",
                       "reset", "fixture", "le_tx", "br_tx", "le_rx"},
                      error) ||
        !top.Text("name", p.name, error) || !top.Pattern("idn_pattern", idn, error) ||
        !Command(top, "error_query", {}, p.errorQuery, error) ||
        !top.Pattern("no_error_pattern", noError, error) ||
        !Commands(top, "reset", {}, p.reset, error))
        return false;
    p.idnPattern.setPattern(idn);
    p.noErrorPattern.setPattern(noError);
    if (top.Has("timeout_ms")) {
        double ms = 0;
        if (!top.Number("timeout_ms", ms, error)) return false;
        if (ms < 100 || ms > 3600000 || ms != std::floor(ms))
            return top.Fail("timeout_ms",
                            QString("must be a whole number from 100 to 3600000, not %1").arg(ms),
                            error);
        p.timeoutMs = static_cast<int>(ms);
    }
    return Fixture(top, p, error) && Tx(top, true, p.leTx, error) &&
           Tx(top, false, p.brTx, error) && LeRx(top, p, error);
}

} // namespace

bool ParseProfile(const QByteArray& json, const QString& file, Profile& profile, QString& error) {
    QJsonObject object;
    if (!json::ParseObject(json, file, "an instrument profile", object, error)) return false;
    Profile p;
    p.file = file;
    QString why;
    if (!Top(json::Node(object, "the profile"), p, why)) {
        error = file + ": " + why;
        return false;
    }
    profile = std::move(p);
    return true;
}

bool LoadProfile(const QString& path, Profile& profile, QString& error) {
    QByteArray bytes;
    return json::ReadFile(path, "the instrument profile", bytes, error) &&
           ParseProfile(bytes, path, profile, error);
}

QString Expand(QString text, const QHash<QString, QString>& values) {
    for (auto it = values.begin(); it != values.end(); ++it)
        text.replace("{" + it.key() + "}", it.value());
    return text;
}

} // namespace tester
