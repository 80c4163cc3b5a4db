#include "standin/StandinDatabase.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace standin {

namespace {

// Marks the file as ours: "PNRC" in SQLite's application id.
constexpr int ApplicationId = 0x504E5243;
constexpr int SchemaVersion = 1;

const char *const Schema = R"sql(
CREATE TABLE sales (
    row INTEGER PRIMARY KEY,
    details TEXT NOT NULL
);
CREATE TABLE state (
    key TEXT PRIMARY KEY,
    value
);
INSERT INTO state(key, value) VALUES ('current_row', -1);
CREATE TABLE aux_commands (
    seq INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT NOT NULL UNIQUE,
    executable TEXT NOT NULL,
    folder TEXT NOT NULL,
    caption TEXT NOT NULL,
    tooltip TEXT NOT NULL,
    icon TEXT NOT NULL,
    large_icon TEXT NOT NULL,
    flags INTEGER NOT NULL
);
CREATE TABLE placements (
    place INTEGER NOT NULL CHECK (place IN (0, 1)),
    view INTEGER NOT NULL CHECK (view BETWEEN 1 AND 6),
    name TEXT NOT NULL,
    PRIMARY KEY (place, view, name)
);
)sql";

QString sqliteMessage(sqlite3 *db) { return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory"); }

} // namespace

class StandinDatabase::Statement {
public:
    Statement(const StandinDatabase &owner, const char *sql) : owner_(owner)
    {
        if (sqlite3_prepare_v2(owner.db_, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            owner.fail(QStringLiteral("cannot prepare a statement"));
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(int index, qint64 value)
    {
        check(sqlite3_bind_int64(stmt_, index, value));
        return *this;
    }
    Statement &bind(int index, const QByteArray &utf8)
    {
        // An empty QByteArray may have a null data pointer, which SQLite would
        // store as NULL; the empty text is stored as ''.
        check(sqlite3_bind_text(stmt_, index, utf8.isEmpty() ? "" : utf8.constData(), int(utf8.size()),
                                SQLITE_TRANSIENT));
        return *this;
    }
    Statement &bind(int index, const QString &text) { return bind(index, text.toUtf8()); }

    // True while a row is available.
    bool step()
    {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        owner_.fail(QStringLiteral("cannot read or write the database"));
    }
    void reset()
    {
        sqlite3_reset(stmt_);
    }
    qint64 integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    QByteArray bytes(int column) const
    {
        const auto *data = static_cast<const char *>(sqlite3_column_blob(stmt_, column));
        const int size = sqlite3_column_bytes(stmt_, column);
        return data ? QByteArray(data, size) : QByteArray("");
    }
    QString text(int column) const { return QString::fromUtf8(bytes(column)); }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK)
            owner_.fail(QStringLiteral("cannot bind a value"));
    }
    const StandinDatabase &owner_;
    sqlite3_stmt *stmt_ = nullptr;
};

void StandinDatabase::create(const QString &path)
{
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        throw DatabaseError(QStringLiteral("%1: the file already exists").arg(path));
    {
        // Claim the name first, so that a file made meanwhile by someone else
        // is neither used nor removed.
        QFile claim(path);
        if (!claim.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(path))
                throw DatabaseError(QStringLiteral("%1: the file already exists").arg(path));
            throw DatabaseError(QStringLiteral("%1: cannot create the database: %2").arg(path, claim.errorString()));
        }
    }
    sqlite3 *db = nullptr;
    const QByteArray name = path.toUtf8();
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString problem;
    if (rc == SQLITE_OK) {
        const QByteArray setup = QByteArray("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN IMMEDIATE; ")
            + Schema + "PRAGMA application_id=" + QByteArray::number(ApplicationId)
            + "; PRAGMA user_version=" + QByteArray::number(SchemaVersion) + "; COMMIT;";
        char *error = nullptr;
        rc = sqlite3_exec(db, setup.constData(), nullptr, nullptr, &error);
        if (rc != SQLITE_OK)
            problem = QString::fromUtf8(error ? error : "unknown error");
        sqlite3_free(error);
    } else {
        problem = sqliteMessage(db);
    }
    sqlite3_close(db);
    if (!problem.isEmpty()) {
        // Leave no half-made database behind.
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(suffix));
        throw DatabaseError(QStringLiteral("%1: cannot create the database: %2").arg(path, problem));
    }
}

StandinDatabase::StandinDatabase(const QString &path) : path_(QFileInfo(path).absoluteFilePath())
{
    if (!QFileInfo(path).isFile())
        throw DatabaseError(QStringLiteral("%1: no such database file").arg(path));
    const QByteArray name = path.toUtf8();
    if (sqlite3_open_v2(name.constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        const QString message = sqliteMessage(db_);
        sqlite3_close(db_);
        db_ = nullptr;
        throw DatabaseError(QStringLiteral("%1: cannot open the database: %2").arg(path, message));
    }
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_extended_result_codes(db_, 1);
    try {
        qint64 appId = 0;
        qint64 version = 0;
        {
            Statement s(*this, "PRAGMA application_id");
            if (s.step())
                appId = s.integer(0);
        }
        {
            Statement s(*this, "PRAGMA user_version");
            if (s.step())
                version = s.integer(0);
        }
        if (appId != ApplicationId || version != SchemaVersion)
            throw DatabaseError(QStringLiteral("%1: not a stand-in ACT! database").arg(path));
        exec("PRAGMA journal_mode=WAL");
        exec("PRAGMA synchronous=FULL");
    } catch (const DatabaseError &error) {
        sqlite3_close(db_);
        db_ = nullptr;
        // A file that is not SQLite at all reports "file is not a database".
        if (QString::fromUtf8(error.what()).contains(QLatin1String("not a stand-in")))
            throw;
        throw DatabaseError(QStringLiteral("%1: not a stand-in ACT! database").arg(path));
    }
}

StandinDatabase::~StandinDatabase()
{
    sqlite3_close(db_);
}

void StandinDatabase::fail(const QString &what) const
{
    throw DatabaseError(QStringLiteral("%1: %2: %3").arg(path_, what, sqliteMessage(db_)));
}

void StandinDatabase::exec(const char *sql) const
{
    char *error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : "unknown error");
        sqlite3_free(error);
        throw DatabaseError(QStringLiteral("%1: %2").arg(path_, message));
    }
}

qint32 StandinDatabase::addRecord(const QByteArray &detailsUtf8)
{
    // One statement is one transaction: the new row is the next number.
    Statement s(*this, "INSERT INTO sales(row, details) "
                       "VALUES ((SELECT COALESCE(MAX(row) + 1, 0) FROM sales), ?) RETURNING row");
    s.bind(1, detailsUtf8);
    if (!s.step())
        fail(QStringLiteral("cannot add a record"));
    const qint64 row = s.integer(0);
    while (s.step()) {
    }
    return qint32(row);
}

void StandinDatabase::addRecords(qint64 count, const QByteArray &detailsUtf8)
{
    exec("BEGIN IMMEDIATE");
    try {
        qint64 next = 0;
        {
            Statement s(*this, "SELECT COALESCE(MAX(row) + 1, 0) FROM sales");
            if (s.step())
                next = s.integer(0);
        }
        Statement insert(*this, "INSERT INTO sales(row, details) VALUES (?, ?)");
        for (qint64 i = 0; i < count; ++i) {
            insert.bind(1, next + i).bind(2, detailsUtf8);
            insert.step();
            insert.reset();
        }
        exec("COMMIT");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::optional<QByteArray> StandinDatabase::details(qint32 row) const
{
    Statement s(*this, "SELECT details FROM sales WHERE row = ?");
    s.bind(1, row);
    if (!s.step())
        return std::nullopt;
    return s.bytes(0);
}

bool StandinDatabase::rowExists(qint32 row) const
{
    Statement s(*this, "SELECT 1 FROM sales WHERE row = ?");
    s.bind(1, row);
    return s.step();
}

bool StandinDatabase::setDetails(qint32 row, const QByteArray &detailsUtf8)
{
    Statement s(*this, "UPDATE sales SET details = ? WHERE row = ?");
    s.bind(1, detailsUtf8).bind(2, row);
    s.step();
    return sqlite3_changes(db_) == 1;
}

qint64 StandinDatabase::recordCount() const
{
    Statement s(*this, "SELECT COUNT(*) FROM sales");
    return s.step() ? s.integer(0) : 0;
}

QList<StandinDatabase::RecordPreview> StandinDatabase::recordPreviews(qint64 previewBytes) const
{
    QList<RecordPreview> result;
    Statement s(*this, "SELECT row, CAST(substr(CAST(details AS BLOB), 1, ?) AS BLOB) FROM sales ORDER BY row");
    // Up to three more bytes, so that a character cut at the limit can be
    // dropped whole rather than shown as a replacement mark.
    s.bind(1, previewBytes + 3);
    while (s.step()) {
        QByteArray bytes = s.bytes(1);
        if (bytes.size() > previewBytes) {
            qsizetype end = qsizetype(previewBytes);
            while (end > 0 && (uchar(bytes.at(end)) & 0xC0) == 0x80)
                --end;
            bytes.truncate(end);
        }
        result.append(RecordPreview{qint32(s.integer(0)), QString::fromUtf8(bytes)});
    }
    return result;
}

qint32 StandinDatabase::currentRow() const
{
    Statement s(*this, "SELECT value FROM state WHERE key = 'current_row'");
    return s.step() ? qint32(s.integer(0)) : -1;
}

void StandinDatabase::setCurrentRow(qint32 row)
{
    Statement s(*this, "INSERT INTO state(key, value) VALUES ('current_row', ?) "
                       "ON CONFLICT(key) DO UPDATE SET value = excluded.value");
    s.bind(1, row);
    s.step();
}

void StandinDatabase::addAuxCommand(const AuxCommand &c)
{
    // Replacing keeps the command's place in the registration order.
    Statement s(*this, "INSERT INTO aux_commands(name, executable, folder, caption, tooltip, icon, large_icon, flags) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT(name) DO UPDATE SET "
                       "executable = excluded.executable, folder = excluded.folder, caption = excluded.caption, "
                       "tooltip = excluded.tooltip, icon = excluded.icon, large_icon = excluded.large_icon, "
                       "flags = excluded.flags");
    s.bind(1, c.name).bind(2, c.executable).bind(3, c.folder).bind(4, c.caption).bind(5, c.tooltip);
    s.bind(6, c.icon).bind(7, c.largeIcon).bind(8, c.flags);
    s.step();
}

bool StandinDatabase::auxCommandExists(const QString &name) const
{
    Statement s(*this, "SELECT 1 FROM aux_commands WHERE name = ?");
    s.bind(1, name);
    return s.step();
}

bool StandinDatabase::placed(Place place, qint16 view, const QString &name) const
{
    Statement s(*this, "SELECT 1 FROM placements WHERE place = ? AND view = ? AND name = ?");
    s.bind(1, place == Place::Toolbar ? 0 : 1).bind(2, view).bind(3, name);
    return s.step();
}

void StandinDatabase::addPlacement(Place place, qint16 view, const QString &name)
{
    Statement s(*this, "INSERT OR IGNORE INTO placements(place, view, name) VALUES (?, ?, ?)");
    s.bind(1, place == Place::Toolbar ? 0 : 1).bind(2, view).bind(3, name);
    s.step();
}

void StandinDatabase::removePlacement(Place place, qint16 view, const QString &name)
{
    Statement s(*this, "DELETE FROM placements WHERE place = ? AND view = ? AND name = ?");
    s.bind(1, place == Place::Toolbar ? 0 : 1).bind(2, view).bind(3, name);
    s.step();
}

QList<AuxCommand> StandinDatabase::auxCommands() const
{
    QList<AuxCommand> result;
    Statement s(*this, "SELECT name, executable, folder, caption, tooltip, icon, large_icon, flags "
                       "FROM aux_commands ORDER BY seq");
    while (s.step()) {
        result.append(AuxCommand{s.text(0), s.text(1), s.text(2), s.text(3), s.text(4), s.text(5), s.text(6),
                                 qint16(s.integer(7))});
    }
    return result;
}

QList<StandinDatabase::Placement> StandinDatabase::placements() const
{
    QList<Placement> result;
    Statement s(*this, "SELECT place, view, name FROM placements ORDER BY view, place, name");
    while (s.step())
        result.append(Placement{s.integer(0) == 0 ? Place::Toolbar : Place::ToolsMenu, qint16(s.integer(1)),
                                s.text(2)});
    return result;
}

bool isValidUtf8(const QByteArray &bytes, qsizetype *where)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1;
            cp = b & 0x1F;
            min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2;
            cp = b & 0x0F;
            min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3;
            cp = b & 0x07;
            min = 0x10000;
        } else {
            if (where)
                *where = i;
            return false;
        }
        if (i + extra >= n) {
            if (where)
                *where = i;
            return false;
        }
        for (int k = 1; k <= extra; ++k) {
            const unsigned char c = p[i + k];
            if ((c & 0xC0) != 0x80) {
                if (where)
                    *where = i;
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            if (where)
                *where = i;
            return false;
        }
        i += extra + 1;
    }
    return true;
}

} // namespace standin
