#include "tester/scpi_tester.h"

#include <cmath>

namespace tester {

namespace {

// SCPI's "not a number": what a measurement that failed answers in each field.
constexpr double kScpiNan = 9.9e37;

QString Num(double v) {
    return QString::number(v, 'g', 10);
}

Error InstrumentError(const QString& text) {
    return {Error::Kind::Instrument, text};
}

// The air time of the packets a measurement waits for; the time-out comes on top.
int LeAirMs(int packets) {
    return static_cast<int>(std::ceil(std::max(packets, 0) * 0.625));
}

int BrAirMs(const QString& packetType, int packets) {
    const double slotsMs = packetType == "DH1" ? 1.25 : packetType == "DH3" ? 2.5 : 3.75;
    return static_cast<int>(std::ceil(std::max(packets, 0) * slotsMs));
}

} // namespace

ScpiTester::ScpiTester(std::unique_ptr<Connection> link, Profile profile)
    : link_(std::move(link)), profile_(std::move(profile)) {}

QString ScpiTester::Address() const {
    return link_->Address();
}

bool ScpiTester::Ready(Error& error) {
    if (link_->IsOpen()) return true;
    QString identity;
    if (!link_->Open(profile_.timeoutMs, error) || !Query({}, "*IDN?", identity, 0, error))
        return false;
    identity = identity.trimmed();
    if (!profile_.idnPattern.match(identity).hasMatch()) {
        link_->Close();
        error = {Error::Kind::Link,
                 QString("the tester at %1 is '%2', not one the profile describes (%3)")
                     .arg(Address(), identity, profile_.idnPattern.pattern())};
        return false;
    }
    identity_ = identity;
    const bool reconnected = connectedBefore_;
    connectedBefore_ = true;
    return !reconnected || !fixture_ || ApplyFixture(*fixture_, error);
}

bool ScpiTester::Identify(QString& identity, Error& error) {
    if (!Ready(error)) return false;
    identity = identity_;
    return true;
}

bool ScpiTester::Reset(Error& error) {
    if (!Ready(error)) return false;
    fixture_.reset();
    // One look at the queue at the end: *RST keeps old errors, the *CLS after it drops them.
    return CheckErrors(profile_.reset, profile_.reset.join("; "), 0, error);
}

bool ScpiTester::SetFixtureLoss(const std::vector<LossPoint>& points, Error& error) {
    fixture_.reset();
    if (!Ready(error) || !ApplyFixture(points, error)) return false;
    fixture_ = points;
    return true;
}

bool ScpiTester::ApplyFixture(const std::vector<LossPoint>& points, Error& error) {
    if (port_ > 0 &&
        !Command(Expand(profile_.fixturePort, {{"port", QString::number(port_)}}), error))
        return false;
    for (const QString& command : profile_.fixtureClear)
        if (!Command(command, error)) return false;
    for (const LossPoint& p : points)
        if (!Command(
                Expand(profile_.fixturePoint, {{"mhz", Num(p.mhz)}, {"loss_db", Num(p.lossDb)}}),
                error))
            return false;
    return true;
}

bool ScpiTester::MeasureLeTx(const LeTx& setup, TxItem item, std::vector<Reading>& readings,
                             Error& error) {
    const QHash<QString, QString> values = {{"channel", QString::number(setup.channel)},
                                            {"phy", setup.phy},
                                            {"packets", QString::number(setup.packets)}};
    return Measure(profile_.leTx, values, item, LeAirMs(setup.packets), readings, error);
}

bool ScpiTester::MeasureBrTx(const BrTx& setup, TxItem item, std::vector<Reading>& readings,
                             Error& error) {
    const QHash<QString, QString> values = {{"channel", QString::number(setup.channel)},
                                            {"packet_type", setup.packetType},
                                            {"packets", QString::number(setup.packets)}};
    return Measure(profile_.brTx, values, item, BrAirMs(setup.packetType, setup.packets), readings,
                   error);
}

bool ScpiTester::SendLePackets(const LePackets& packets, Error& error) {
    const QHash<QString, QString> values = {{"channel", QString::number(packets.channel)},
                                            {"level", Num(packets.levelDbm)},
                                            {"count", QString::number(packets.count)}};
    if (!Ready(error)) return false;
    for (const QString& command : profile_.leRxConfigure)
        if (!Command(Expand(command, values), error)) return false;
    QStringList send;
    for (const QString& command : profile_.leRxSend)
        send << Expand(command, values);
    const QString sent = send.join("; ");
    const int airMs = LeAirMs(packets.count);
    QString done;
    if (!profile_.leRxWait.isEmpty()) {
        if (!Query(send, Expand(profile_.leRxWait, values), done, airMs, error)) return false;
        send.clear();
    }
    return CheckErrors(send, sent, airMs, error);
}

bool ScpiTester::Measure(const TxProfile& verb, const QHash<QString, QString>& values, TxItem item,
                         int airMs, std::vector<Reading>& readings, Error& error) {
    readings.clear();
    if (!Ready(error)) return false;
    for (const QString& command : verb.configure)
        if (!Command(Expand(command, values), error)) return false;
    const ProfileQuery& query = verb.items[static_cast<int>(item)];
    const QString sent = Expand(query.query, values);
    QString answer;
    // The queue first: a failed measurement's own error says more than its 9.91E37.
    return Query({}, sent, answer, airMs, error) && CheckErrors({}, sent, 0, error) &&
           Fields(query, sent, answer, readings, error);
}

bool ScpiTester::Fields(const ProfileQuery& query, const QString& sent, const QString& answer,
                        std::vector<Reading>& readings, Error& error) const {
    const QStringList fields = answer.split(',');
    std::vector<Reading> out;
    for (const ProfileField& f : query.fields) {
        const auto bad = [&](const QString& why) {
            error = InstrumentError(
                QString("the tester answered '%1' to %2: %3").arg(answer, sent, why));
            return false;
        };
        if (f.index >= fields.size())
            return bad(QString("no field %1 for %2").arg(f.index).arg(f.reading));
        bool ok = false;
        const QString text = fields[f.index].trimmed();
        const double value = text.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return bad(QString("field %1 ('%2') is not a number").arg(f.index).arg(text));
        if (std::fabs(value) >= kScpiNan)
            return bad(QString("field %1 is %2 (not a number) and the error queue is empty")
                           .arg(f.index)
                           .arg(text));
        out.push_back({f.reading, value * f.scale, f.units});
    }
    readings = std::move(out);
    return true;
}

bool ScpiTester::Query(const QStringList& before, const QString& query, QString& answer,
                       int extraMs, Error& error) {
    const int timeoutMs = profile_.timeoutMs + extraMs;
    return link_->Send(before + QStringList{query}, timeoutMs, error) &&
           link_->Receive(answer, timeoutMs, error);
}

bool ScpiTester::Command(const QString& command, Error& error) {
    return CheckErrors({command}, command, 0, error);
}

bool ScpiTester::CheckErrors(const QStringList& before, const QString& after, int extraMs,
                             Error& error) {
    QString answer;
    if (!Query(before, profile_.errorQuery, answer, extraMs, error)) return false;
    if (profile_.noErrorPattern.match(answer).hasMatch()) return true;
    // The rest of the queue is read away so that the next verb starts clean; the first
    // error is the one that tells what went wrong.
    QString more;
    for (int i = 0; i < 20; ++i)
        if (!Query({}, profile_.errorQuery, more, 0, error) ||
            profile_.noErrorPattern.match(more).hasMatch())
            break;
    if (!link_->IsOpen()) return false;
    error = InstrumentError(QString("instrument error %1 after %2").arg(answer.trimmed(), after));
    return false;
}

std::unique_ptr<ScpiTester> MakeLanTester(const QString& address, Profile profile, QString& error) {
    VisaResource resource;
    if (!ParseVisaResource(address, resource, error)) return nullptr;
    return std::make_unique<ScpiTester>(MakeLanConnection(resource), std::move(profile));
}

} // namespace tester
