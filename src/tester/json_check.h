#pragma once
// Reading the driver's JSON files (instrument profiles, fixtures) the way plans are read:
// the first problem becomes one message that names the file, where in it, and what is wrong.

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <initializer_list>

namespace tester::json {

// "a number", "text", "a list", ... for messages.
QString TypeName(const QJsonValue& value);

// The bytes of the file at `path`; otherwise `error` is "PATH: cannot read `what`: why".
bool ReadFile(const QString& path, const QString& what, QByteArray& bytes, QString& error);

// The JSON object in `bytes`; otherwise `error` is "FILE:LINE:COLUMN: why" or
// "FILE: `what` must be a JSON object".
bool ParseObject(const QByteArray& bytes, const QString& file, const QString& what,
                 QJsonObject& object, QString& error);

// One object of the file and where it is ("le_tx.power"). Every check returns false with
// `error` set to "<where>: <what>" (the caller puts the file in front).
class Node {
public:
    Node() = default;
    // `label` names the file's top object in messages ("the profile"); `where` is the path
    // of this object in the file, empty for the top.
    Node(QJsonObject object, QString label, QString where = {})
        : object_(std::move(object)), label_(std::move(label)), where_(std::move(where)) {}

    const QJsonObject& Object() const { return object_; }
    const QString& Where() const { return where_; }
    // The path of a key of this object.
    QString At(const QString& key) const;

    bool Fail(const QString& where, const QString& what, QString& error) const;
    // The getters fail with "missing 'KEY'" when the key is absent; test Has() first for
    // optional keys.
    bool OnlyKeys(std::initializer_list<const char*> known, QString& error) const;
    bool Has(const QString& key) const { return object_.contains(key); }
    bool Require(const QString& key, QString& error) const;

    bool Text(const QString& key, QString& out, QString& error) const;
    bool TextList(const QString& key, QStringList& out, QString& error) const;
    bool Child(const QString& key, Node& out, QString& error) const;
    bool Number(const QString& key, double& out, QString& error) const;
    // A regular expression, checked.
    bool Pattern(const QString& key, QString& out, QString& error) const;

private:
    QJsonObject object_;
    QString label_;
    QString where_;
};

} // namespace tester::json
