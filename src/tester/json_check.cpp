#include "tester/json_check.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <algorithm>

namespace tester::json {

QString TypeName(const QJsonValue& value) {
    switch (value.type()) {
    case QJsonValue::Null:
        return "null";
    case QJsonValue::Bool:
        return "true/false";
    case QJsonValue::Double:
        return "a number";
    case QJsonValue::String:
        return "text";
    case QJsonValue::Array:
        return "a list";
    case QJsonValue::Object:
        return "an object";
    default:
        return "nothing";
    }
}

bool ReadFile(const QString& path, const QString& what, QByteArray& bytes, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QString("%1: cannot read %2: %3").arg(path, what, file.errorString());
        return false;
    }
    bytes = file.readAll();
    return true;
}

bool ParseObject(const QByteArray& bytes, const QString& file, const QString& what,
                 QJsonObject& object, QString& error) {
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // The parser reports the offset just past the character it stumbled on.
        const qsizetype at = std::clamp<qsizetype>(parseError.offset - 1, 0, bytes.size());
        const qsizetype lineStart = bytes.lastIndexOf('\n', at - 1) + 1;
        const int line = static_cast<int>(bytes.left(at).count('\n')) + 1;
        error = QString("%1:%2:%3: %4")
                    .arg(file)
                    .arg(line)
                    .arg(at - lineStart + 1)
                    .arg(parseError.errorString());
        return false;
    }
    if (!doc.isObject()) {
        error = QString("%1: %2 must be a JSON object").arg(file, what);
        return false;
    }
    object = doc.object();
    return true;
}

QString Node::At(const QString& key) const {
    return where_.isEmpty() ? key : where_ + "." + key;
}

bool Node::Fail(const QString& where, const QString& what, QString& error) const {
    error = (where.isEmpty() ? label_ : where) + ": " + what;
    return false;
}

bool Node::OnlyKeys(std::initializer_list<const char*> known, QString& error) const {
    for (auto it = object_.begin(); it != object_.end(); ++it) {
        if (std::none_of(known.begin(), known.end(),
                         [&](const char* k) { return it.key() == k; })) {
            QStringList names;
            for (const char* k : known)
                names << k;
            return Fail(where_,
                        QString("unknown key '%1' (known: %2)").arg(it.key(), names.join(", ")),
                        error);
        }
    }
    return true;
}

bool Node::Require(const QString& key, QString& error) const {
    return Has(key) || Fail(where_, QString("missing '%1'").arg(key), error);
}

bool Node::Text(const QString& key, QString& out, QString& error) const {
    if (!Require(key, error)) return false;
    const QJsonValue v = object_.value(key);
    if (!v.isString() || v.toString().trimmed().isEmpty())
        return Fail(At(key),
                    v.isString() ? QString("must not be empty")
                                 : QString("must be text, not %1").arg(TypeName(v)),
                    error);
    out = v.toString();
    return true;
}

bool Node::TextList(const QString& key, QStringList& out, QString& error) const {
    if (!Require(key, error)) return false;
    const QJsonValue v = object_.value(key);
    if (!v.isArray())
        return Fail(At(key), QString("must be a list of text, not %1").arg(TypeName(v)), error);
    out.clear();
    const QJsonArray list = v.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = QString("%1[%2]").arg(At(key)).arg(i);
        if (!list[i].isString() || list[i].toString().trimmed().isEmpty())
            return Fail(where,
                        list[i].isString() ? QString("must not be empty")
                                           : QString("must be text, not %1").arg(TypeName(list[i])),
                        error);
        out << list[i].toString();
    }
    return true;
}

bool Node::Child(const QString& key, Node& out, QString& error) const {
    if (!Require(key, error)) return false;
    const QJsonValue v = object_.value(key);
    if (!v.isObject())
        return Fail(At(key), QString("must be an object, not %1").arg(TypeName(v)), error);
    out = Node(v.toObject(), label_, At(key));
    return true;
}

bool Node::Number(const QString& key, double& out, QString& error) const {
    if (!Require(key, error)) return false;
    const QJsonValue v = object_.value(key);
    if (!v.isDouble())
        return Fail(At(key), QString("must be a number, not %1").arg(TypeName(v)), error);
    out = v.toDouble();
    return true;
}

bool Node::Pattern(const QString& key, QString& out, QString& error) const {
    if (!Text(key, out, error)) return false;
    const QRegularExpression re(out);
    return re.isValid() || Fail(At(key),
                                QString("bad regular expression '%1': %2 at offset %3")
                                    .arg(out, re.errorString())
                                    .arg(re.patternErrorOffset()),
                                error);
}

} // namespace tester::json
