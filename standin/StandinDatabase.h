#pragma once

// The stand-in ACT!'s database file: the Sales/Opportunity records with their
// Details field, the current record, the registered auxiliary commands and
// where each command stands in the six views.
//
// One SQLite file, WAL journal, synchronous=FULL: every write is one
// transaction and is on disk when the call returns. Texts are kept as the
// UTF-8 bytes they arrived as, so what goes in comes out byte for byte.
// Rows are 0-based, handed out in order, and never reused or renumbered.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

namespace standin {

class DatabaseError : public std::runtime_error {
public:
    explicit DatabaseError(const QString &message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString &message() const { return message_; }

private:
    QString message_;
};

// The eight registration values of an auxiliary command, in their order.
struct AuxCommand {
    QString name;
    QString executable;
    QString folder;
    QString caption;
    QString tooltip;
    QString icon;
    QString largeIcon;
    qint16 flags = 0;
};

enum class Place { Toolbar, ToolsMenu };

class StandinDatabase {
public:
    // Creates a new, empty database file; refuses a file that exists.
    static void create(const QString &path);
    // Opens an existing stand-in database; refuses any other file.
    explicit StandinDatabase(const QString &path);
    ~StandinDatabase();
    StandinDatabase(const StandinDatabase &) = delete;
    StandinDatabase &operator=(const StandinDatabase &) = delete;

    QString path() const { return path_; }

    // Records.
    qint32 addRecord(const QByteArray &detailsUtf8);
    // Adds count empty-detailed records in one transaction (for benchmarks).
    void addRecords(qint64 count, const QByteArray &detailsUtf8);
    std::optional<QByteArray> details(qint32 row) const;
    // How many bytes the Details of row hold, found without reading them.
    std::optional<qint64> detailsSize(qint32 row) const;
    bool rowExists(qint32 row) const;
    // False when the row does not exist.
    bool setDetails(qint32 row, const QByteArray &detailsUtf8);
    qint64 recordCount() const;
    // A record with the first bytes of its Details (whole characters
    // only), for showing in a list.
    struct RecordPreview {
        qint32 row;
        QString details;
    };

    qint32 currentRow() const;
    void setCurrentRow(qint32 row);

    // Auxiliary commands.
    void addAuxCommand(const AuxCommand &command);
    bool auxCommandExists(const QString &name) const;
    bool placed(Place place, qint16 view, const QString &name) const;
    void addPlacement(Place place, qint16 view, const QString &name);
    void removePlacement(Place place, qint16 view, const QString &name);
    QList<AuxCommand> auxCommands() const;
    // (place, view, name) of every placement, by view, toolbar before menu.
    struct Placement {
        Place place;
        qint16 view;
        QString name;
    };
    QList<Placement> placements() const;

    // For a list that reads the records a page at a time as it shows them.
    // How many records there are, and their lowest and highest rows (-1 when
    // there are none); a few lookups, whatever the number of records.
    struct RecordSpan {
        qint64 count = 0;
        qint32 first = -1;
        qint32 last = -1;
    };
    RecordSpan recordSpan() const;
    // Up to count records with a row of fromRow or more, in row order, with
    // their previews cut as recordPreviews cuts them. Found by the row key,
    // so as quick at the end as at the start.
    QList<RecordPreview> recordPreviewsFrom(qint32 fromRow, qint64 count, qint64 previewBytes) const;
    // Up to count records from the position-th in row order (0-based). It
    // steps over the records before position, so it slows with position.
    QList<RecordPreview> recordPreviewsAt(qint64 position, qint64 count, qint64 previewBytes) const;
    // How many records have a row below row.
    qint64 recordsBefore(qint32 row) const;

private:
    class Statement;
    // The previews of the rows a statement yields (row in its column 0).
    QList<RecordPreview> previewsOfRows(Statement &rows, qint64 previewBytes) const;
    void exec(const char *sql) const;
    [[noreturn]] void fail(const QString &what) const;

    QString path_;
    sqlite3 *db_ = nullptr;
    // The statements of the calls made for every GetField and SetField,
    // prepared once.
    mutable sqlite3_stmt *readDetails_ = nullptr;
    sqlite3_stmt *writeDetails_ = nullptr;
};

// True when bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing beyond U+10FFFF). On false, *where holds the offending byte offset.
bool isValidUtf8(const QByteArray &bytes, qsizetype *where = nullptr);

} // namespace standin
