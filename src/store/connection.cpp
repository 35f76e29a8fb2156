#include "store/connection.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <iterator>
#include <locale.h>
#include <thread>

#include "store/schema.h"

namespace store {

namespace {

constexpr int kBusyMs = 10000; // how long a writer waits for another

// libpq's words (and the C library's under them) for a server that is not there, not yet or
// no longer taking logins. Whatever else it says, the server answered and refused.
bool SaysOutOfReach(const QString& message) {
    static const char* const signs[] = {
        "Connection refused",
        "timeout expired",
        "Connection timed out",
        "No route to host",
        "Network is unreachable",
        "could not translate host name",
        "server closed the connection unexpectedly",
        "Connection reset by peer",
        "the database system is starting up",
        "the database system is shutting down",
        "the database system is not yet accepting connections",
        "the database system is in recovery mode",
        "sorry, too many clients already",
        "remaining connection slots are reserved",
    };
    return std::any_of(std::begin(signs), std::end(signs), [&](const char* sign) {
        return message.contains(QLatin1String(sign), Qt::CaseInsensitive);
    });
}

// libpq and the C library speak the station's language (Qt sets the locale from the
// environment), the signs above are English: the login runs with English messages in this
// thread only.
class EnglishMessages {
public:
    EnglishMessages() {
        const locale_t base = duplocale(uselocale(locale_t(nullptr)));
        english_ = base ? newlocale(LC_MESSAGES_MASK, "C", base) : locale_t(nullptr);
        if (!english_ && base) freelocale(base);
        if (english_) previous_ = uselocale(english_);
    }
    ~EnglishMessages() {
        if (!english_) return;
        uselocale(previous_);
        freelocale(english_);
    }
    EnglishMessages(const EnglishMessages&) = delete;
    EnglishMessages& operator=(const EnglishMessages&) = delete;

private:
    locale_t english_ = nullptr;
    locale_t previous_ = nullptr;
};

} // namespace

Connection::Connection() : name_(QString("bt_store_%1").arg(quintptr(this), 0, 16)) {}

Connection::~Connection() {
    Close();
}

void Connection::Close() {
    if (!QSqlDatabase::contains(name_)) return;
    QSqlDatabase::database(name_, false).close();
    QSqlDatabase::removeDatabase(name_);
}

bool Connection::IsOpen() const {
    return QSqlDatabase::contains(name_) && QSqlDatabase::database(name_, false).isOpen();
}

QSqlDatabase Connection::Db() const {
    return QSqlDatabase::database(name_, false);
}

bool Connection::Open(const Target& target, QString& error) {
    Close();
    target_ = target;
    outOfReach_ = false;
    const QString where = target.Display();
    QString why;
    bool ok = false;
    if (target.kind == Target::Kind::Sqlite) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name_);
        ok = OpenSqliteFile(db, target.path, why);
    } else {
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", name_);
        db.setHostName(target.host);
        db.setPort(target.port);
        db.setDatabaseName(target.database);
        // No password from here: libpq takes it from PGPASSWORD or ~/.pgpass.
        if (!target.user.isEmpty()) db.setUserName(target.user);
        db.setConnectOptions("connect_timeout=3");
        {
            const EnglishMessages english;
            ok = db.open();
        }
        // libpq's first line says what failed; the rest are hints.
        if (!ok) why = db.lastError().databaseText().section('\n', 0, 0).simplified();
        if (!ok && why.isEmpty()) why = db.lastError().text().simplified();
        outOfReach_ = !ok && SaysOutOfReach(why);
    }
    if (ok) ok = UpgradeSchema(*this, why);
    if (!ok) {
        error = where + ": " + why;
        Close();
    }
    return ok;
}

bool OpenSqliteFile(QSqlDatabase& db, const QString& path, QString& error) {
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QString("cannot make the folder %1").arg(folder);
        return false;
    }
    db.setDatabaseName(path);
    db.setConnectOptions(QString("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyMs));
    if (!db.open()) {
        error = db.lastError().text().simplified();
        return false;
    }
    QSqlQuery q(db);
    // Turning a new file to the write-ahead log takes a lock SQLite does not wait for: many
    // stations opening a new file together try again for as long as a writer would wait.
    QElapsedTimer waited;
    waited.start();
    bool ok = false;
    while (!(ok = q.exec("PRAGMA journal_mode = WAL")) && Why(q).contains("database is locked") &&
           waited.elapsed() < kBusyMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!ok || !q.exec("PRAGMA foreign_keys = ON")) {
        error = Why(q);
        db.close();
        return false;
    }
    return true;
}

QString Why(const QSqlQuery& query) {
    const QSqlError e = query.lastError();
    const QString text = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    return text.simplified();
}

Transaction::Transaction(const Connection& connection) : connection_(connection) {}

Transaction::~Transaction() {
    QString ignored;
    if (open_) Run("ROLLBACK", ignored);
}

bool Transaction::Run(const char* sql, QString& error) {
    QSqlQuery q(connection_.Db());
    if (q.exec(sql)) return true;
    error = Why(q);
    return false;
}

bool Transaction::Begin(QString& error) {
    open_ = Run(connection_.IsPostgres() ? "BEGIN" : "BEGIN IMMEDIATE", error);
    return open_;
}

bool Transaction::Commit(QString& error) {
    if (!Run("COMMIT", error)) return false;
    open_ = false;
    return true;
}

} // namespace store
