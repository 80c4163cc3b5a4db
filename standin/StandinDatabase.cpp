#include "standin/StandinDatabase.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

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

// How long a reader waits for a writer before giving up.
constexpr int BusyTimeoutMs = 5000;

const QString ReadOnlyFileSystem = QStringLiteral("the file system is read-only");
const QString DiskFull = QStringLiteral("the disk is full");
const QString PermissionDenied = QStringLiteral("permission denied");
const QString LockedByAnother = QStringLiteral("the database is locked by another process");

// The reasons a person can act on, for the system errors that have one.
QString knownReason(int error)
{
    switch (error) {
    case EROFS:
        return ReadOnlyFileSystem;
    case ENOSPC:
        return DiskFull;
    case EACCES:
    case EPERM:
        return PermissionDenied;
    default:
        return QString();
    }
}

QString systemReason(int error)
{
    const QString known = knownReason(error);
    if (!known.isEmpty())
        return known;
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return text;
}

// What keeps this process from reading and writing the file (and, with
// folder, from making the journal files beside it), found by asking the
// system, which changes nothing. Empty when nothing is in the way.
QString writeProblem(const QByteArray &file, const QByteArray &folder = QByteArray())
{
    struct statvfs fs {};
    if (::statvfs(file.constData(), &fs) == 0 && (fs.f_flag & ST_RDONLY))
        return ReadOnlyFileSystem;
    if (::access(file.constData(), R_OK | W_OK) != 0)
        return systemReason(errno);
    if (!folder.isEmpty() && ::access(folder.constData(), W_OK | X_OK) != 0)
        return systemReason(errno);
    return QString();
}

// Why SQLite failed with rc. Its own words are often beside the point (a
// folder in which the shared-memory file cannot be made shows as "attempt to
// write a readonly database"), so the system is asked as well.
QString sqliteReason(sqlite3 *db, int rc, const QByteArray &file, const QByteArray &folder)
{
    const int primary = rc & 0xFF;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        return LockedByAnother;
    if (primary == SQLITE_FULL)
        return DiskFull;
    const QString known = knownReason(db ? sqlite3_system_errno(db) : 0);
    if (!known.isEmpty())
        return known;
    if (primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_PERM
        || primary == SQLITE_IOERR) {
        const QString problem = writeProblem(file, folder);
        if (!problem.isEmpty())
            return problem;
    }
    return sqliteMessage(db);
}

// The first 100 bytes of an SQLite file hold its header; the application id
// and the user version are 32-bit big-endian numbers in it.
constexpr qsizetype HeaderSize = 100;
constexpr qsizetype UserVersionOffset = 60;
constexpr qsizetype ApplicationIdOffset = 68;

quint32 headerNumber(const char *header, qsizetype offset)
{
    const auto *b = reinterpret_cast<const unsigned char *>(header + offset);
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | quint32(b[3]);
}

bool isOurHeader(const char *header, qsizetype size)
{
    static const char Magic[] = "SQLite format 3"; // with its NUL, 16 bytes
    return size == HeaderSize && std::memcmp(header, Magic, sizeof Magic) == 0
        && headerNumber(header, ApplicationIdOffset) == quint32(ApplicationId)
        && headerNumber(header, UserVersionOffset) == quint32(SchemaVersion);
}

bool exists(const QByteArray &file)
{
    struct stat st {};
    return ::lstat(file.constData(), &st) == 0;
}

// A shared-memory file that a working connection uses holds at least one
// region of 32 KiB; a smaller one was never set up.
constexpr qint64 ShmRegionSize = 32768;

// Removes the -wal and -shm files that a failed open made beside the
// database, and nothing that anyone else may be using.
void removeJournalFilesMadeByUs(const QByteArray &file, bool hadWal, bool hadShm)
{
    const QByteArray wal = file + "-wal";
    const QByteArray shm = file + "-shm";
    struct stat st {};
    if (!hadShm && ::lstat(shm.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode) || st.st_size >= ShmRegionSize)
            return;
    }
    if (!hadWal && ::lstat(wal.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)
        ::unlink(wal.constData());
    if (!hadShm && exists(shm))
        ::unlink(shm.constData());
}

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
    const QByteArray name = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    {
        // Claim the name first, so that a file made meanwhile by someone else
        // is neither used nor removed.
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            const int error = errno;
            if (error == EEXIST)
                throw DatabaseError(QStringLiteral("%1: the file already exists").arg(path));
            throw DatabaseError(QStringLiteral("%1: cannot create the database: %2").arg(path, systemReason(error)));
        }
        ::close(fd);
    }
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString problem;
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        const QByteArray setup = QByteArray("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN IMMEDIATE; ")
            + Schema + "PRAGMA application_id=" + QByteArray::number(ApplicationId)
            + "; PRAGMA user_version=" + QByteArray::number(SchemaVersion) + "; COMMIT;";
        rc = sqlite3_exec(db, setup.constData(), nullptr, nullptr, nullptr);
    }
    if (rc != SQLITE_OK)
        problem = sqliteReason(db, rc, name, folder);
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
    // Whatever is refused here is left exactly as it was: the file is read
    // with plain system calls until it is known to be ours and writable, so
    // that SQLite never rolls back another program's journal, switches its
    // journal mode, or makes journal files beside a file it then cannot use.
    const QByteArray name = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const auto cannotOpen = [&path](const QString &reason) {
        return DatabaseError(QStringLiteral("%1: cannot open the database: %2").arg(path, reason));
    };
    const auto notOurs = [&path] { return DatabaseError(QStringLiteral("%1: not a stand-in ACT! database").arg(path)); };

    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            throw DatabaseError(QStringLiteral("%1: no such database file").arg(path));
        throw cannotOpen(systemReason(error));
    }
    if (!S_ISREG(st.st_mode))
        throw DatabaseError(QStringLiteral("%1: no such database file").arg(path));
    {
        const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            throw cannotOpen(systemReason(errno));
        char header[HeaderSize];
        const ssize_t got = ::pread(fd, header, sizeof header, 0);
        const int error = errno;
        // Closed before SQLite opens the file: closing any descriptor of a
        // file drops every lock this process holds on it.
        ::close(fd);
        if (got < 0)
            throw cannotOpen(systemReason(error));
        if (!isOurHeader(header, got))
            throw notOurs();
    }
    // A database served from a read-only mount or a write-protected file
    // could not take a single write; it is refused with the reason.
    const QString problem = writeProblem(name);
    if (!problem.isEmpty())
        throw cannotOpen(problem);

    const bool hadWal = exists(name + "-wal");
    const bool hadShm = exists(name + "-shm");
    // Closes the connection and clears up after it; returns error.
    const auto refuse = [&](const DatabaseError &error) {
        sqlite3_close(db_);
        db_ = nullptr;
        removeJournalFilesMadeByUs(name, hadWal, hadShm);
        return error;
    };
    const auto failed = [&](int rc) { return refuse(cannotOpen(sqliteReason(db_, rc, name, folder))); };
    int rc = sqlite3_open_v2(name.constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK)
        throw failed(rc);
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, BusyTimeoutMs);
    // SQLite opens a file that it may not write read-only, without a word.
    if (sqlite3_db_readonly(db_, "main") == 1) {
        const QString why = writeProblem(name, folder);
        throw refuse(cannotOpen(why.isEmpty() ? PermissionDenied : why));
    }

    // The header seen above may be older than the log: ask SQLite too.
    const auto number = [this](const char *sql, qint64 *value) {
        sqlite3_stmt *stmt = nullptr;
        int result = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
        if (result == SQLITE_OK) {
            result = sqlite3_step(stmt);
            if (result == SQLITE_ROW) {
                *value = sqlite3_column_int64(stmt, 0);
                result = SQLITE_OK;
            }
        }
        sqlite3_finalize(stmt);
        return result;
    };
    qint64 appId = 0;
    qint64 version = 0;
    if ((rc = number("PRAGMA application_id", &appId)) != SQLITE_OK
        || (rc = number("PRAGMA user_version", &version)) != SQLITE_OK)
        throw failed(rc);
    if (appId != ApplicationId || version != SchemaVersion)
        throw refuse(notOurs());
    for (const char *sql : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=FULL"}) {
        rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throw failed(rc);
    }
}

StandinDatabase::~StandinDatabase()
{
    sqlite3_finalize(readDetails_);
    sqlite3_finalize(writeDetails_);
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
    if (!readDetails_ && sqlite3_prepare_v3(db_, "SELECT details FROM sales WHERE row = ?", -1,
                                            SQLITE_PREPARE_PERSISTENT, &readDetails_, nullptr) != SQLITE_OK)
        fail(QStringLiteral("cannot prepare a statement"));
    sqlite3_stmt *s = readDetails_;
    sqlite3_bind_int64(s, 1, row);
    const int rc = sqlite3_step(s);
    std::optional<QByteArray> result;
    if (rc == SQLITE_ROW) {
        const auto *data = static_cast<const char *>(sqlite3_column_blob(s, 0));
        const int size = sqlite3_column_bytes(s, 0);
        result = data ? QByteArray(data, size) : QByteArray("");
    }
    sqlite3_reset(s);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        fail(QStringLiteral("cannot read or write the database"));
    return result;
}

std::optional<qint64> StandinDatabase::detailsSize(qint32 row) const
{
    // A blob handle reads the record's header only, not the text's pages.
    sqlite3_blob *blob = nullptr;
    const int rc = sqlite3_blob_open(db_, "main", "sales", "details", row, 0, &blob);
    std::optional<qint64> size;
    if (rc == SQLITE_OK)
        size = sqlite3_blob_bytes(blob);
    sqlite3_blob_close(blob);
    if (rc == SQLITE_OK || !rowExists(row))
        return size;
    fail(QStringLiteral("cannot read or write the database"));
}

bool StandinDatabase::rowExists(qint32 row) const
{
    Statement s(*this, "SELECT 1 FROM sales WHERE row = ?");
    s.bind(1, row);
    return s.step();
}

bool StandinDatabase::setDetails(qint32 row, const QByteArray &detailsUtf8)
{
    if (!writeDetails_ && sqlite3_prepare_v3(db_, "UPDATE sales SET details = ? WHERE row = ?", -1,
                                             SQLITE_PREPARE_PERSISTENT, &writeDetails_, nullptr) != SQLITE_OK)
        fail(QStringLiteral("cannot prepare a statement"));
    sqlite3_stmt *s = writeDetails_;
    // The text outlives the statement's step, so SQLite need not copy it.
    // An empty QByteArray may have a null data pointer, which SQLite would
    // store as NULL; the empty text is stored as ''.
    if (sqlite3_bind_text(s, 1, detailsUtf8.isEmpty() ? "" : detailsUtf8.constData(), int(detailsUtf8.size()),
                          SQLITE_STATIC) != SQLITE_OK
        || sqlite3_bind_int64(s, 2, row) != SQLITE_OK) {
        sqlite3_clear_bindings(s);
        fail(QStringLiteral("cannot bind a value"));
    }
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    if (rc != SQLITE_DONE)
        fail(QStringLiteral("cannot read or write the database"));
    return sqlite3_changes(db_) == 1;
}

qint64 StandinDatabase::recordCount() const
{
    Statement s(*this, "SELECT COUNT(*) FROM sales");
    return s.step() ? s.integer(0) : 0;
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

namespace {

// At most previewBytes of bytes, cut before a character that does not fit.
QString previewText(QByteArray bytes, qint64 previewBytes)
{
    if (bytes.size() > previewBytes) {
        qsizetype end = qsizetype(previewBytes);
        while (end > 0 && (uchar(bytes.at(end)) & 0xC0) == 0x80)
            --end;
        bytes.truncate(end);
    }
    return QString::fromUtf8(bytes);
}

// Reads the previews of rows through one blob handle moved from row to row:
// of a long text only its first bytes are read, where a query's substr would
// load the whole text first.
class PreviewReader {
public:
    PreviewReader(sqlite3 *db, qint64 previewBytes)
        // Three bytes more, as in recordPreviews.
        : db_(db), previewBytes_(previewBytes), wanted_(int(qBound(qint64(0), previewBytes + 3, qint64(0x7FFFFFFF))))
    {
    }
    ~PreviewReader() { sqlite3_blob_close(blob_); }
    PreviewReader(const PreviewReader &) = delete;
    PreviewReader &operator=(const PreviewReader &) = delete;

    // SQLite's result code.
    int read(qint32 row, QString *text)
    {
        int rc = blob_ ? sqlite3_blob_reopen(blob_, row)
                       : sqlite3_blob_open(db_, "main", "sales", "details", row, 0, &blob_);
        if (rc == SQLITE_OK) {
            QByteArray bytes(qMin(sqlite3_blob_bytes(blob_), wanted_), Qt::Uninitialized);
            rc = sqlite3_blob_read(blob_, bytes.data(), int(bytes.size()), 0);
            if (rc == SQLITE_OK)
                *text = previewText(bytes, previewBytes_);
        }
        if (rc != SQLITE_OK) {
            // A handle that failed to move is of no further use.
            sqlite3_blob_close(blob_);
            blob_ = nullptr;
        }
        return rc;
    }

private:
    sqlite3 *db_;
    qint64 previewBytes_;
    int wanted_;
    sqlite3_blob *blob_ = nullptr;
};

} // namespace

StandinDatabase::RecordSpan StandinDatabase::recordSpan() const
{
    // Three statements: SQLite answers a lone COUNT(*), MIN or MAX of the
    // key from the tree itself, and a combined one by reading every row.
    RecordSpan span;
    {
        Statement s(*this, "SELECT COUNT(*) FROM sales");
        if (s.step())
            span.count = s.integer(0);
    }
    if (span.count == 0)
        return span;
    {
        Statement s(*this, "SELECT MIN(row) FROM sales");
        if (s.step())
            span.first = qint32(s.integer(0));
    }
    {
        Statement s(*this, "SELECT MAX(row) FROM sales");
        if (s.step())
            span.last = qint32(s.integer(0));
    }
    return span;
}

QList<StandinDatabase::RecordPreview> StandinDatabase::recordPreviewsFrom(qint32 fromRow, qint64 count,
                                                                           qint64 previewBytes) const
{
    // The keys come from the table's tree alone; each text is read while the
    // query is still open, in the same read transaction.
    Statement s(*this, "SELECT row FROM sales WHERE row >= ? ORDER BY row LIMIT ?");
    s.bind(1, fromRow).bind(2, count);
    return previewsOfRows(s, previewBytes);
}

QList<StandinDatabase::RecordPreview> StandinDatabase::previewsOfRows(Statement &rows, qint64 previewBytes) const
{
    QList<RecordPreview> result;
    PreviewReader reader(db_, previewBytes);
    while (rows.step()) {
        RecordPreview preview{qint32(rows.integer(0)), QString()};
        if (reader.read(preview.row, &preview.details) != SQLITE_OK)
            fail(QStringLiteral("cannot read record %1").arg(preview.row));
        result.append(preview);
    }
    return result;
}

QList<StandinDatabase::RecordPreview> StandinDatabase::recordPreviewsAt(qint64 position, qint64 count,
                                                                         qint64 previewBytes) const
{
    Statement s(*this, "SELECT row FROM sales ORDER BY row LIMIT ? OFFSET ?");
    s.bind(1, count).bind(2, position);
    return previewsOfRows(s, previewBytes);
}

qint64 StandinDatabase::recordsBefore(qint32 row) const
{
    Statement s(*this, "SELECT COUNT(*) FROM sales WHERE row < ?");
    s.bind(1, row);
    return s.step() ? s.integer(0) : 0;
}

} // namespace standin
