#pragma once

// The Sales/Opportunity records of the stand-in's open database as a table of
// two columns, the row and the Details text on one line, for the window's
// list. It reads the records a page at a time as the view asks for them and
// keeps only a few pages: opening or scrolling a million records reads no
// more of them than a thousand would, and the model's memory stays the same.
// (The view itself keeps a few bytes a row: QHeaderView's sections.)
//
// The database hands out rows in order and never removes one, so the records
// are numbered 0..count-1 and a record's row is its place in the list: a page
// is then a range of row keys. A file whose rows do not run like that (one
// edited by hand) is still shown in row order, found by position instead,
// which is slower far into the list.

#include "standin/StandinDatabase.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

namespace standin {

class StandinService;

class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { RowColumn, DetailsColumn, ColumnCount };
    // Records read at a time, and how many such pages are kept.
    static constexpr int PageSize = 256;
    static constexpr int CachedPages = 16;
    // How many characters of a Details text the list shows.
    static constexpr int PreviewCharacters = 200;

    // Empty until the first reload.
    explicit RecordListModel(const StandinService &service, QObject *parent = nullptr);

    // A Details text on one line: each line break (CR LF, CR or LF) becomes a
    // visible mark, a tab a space, and a text longer than PreviewCharacters
    // is cut there with an ellipsis.
    static QString detailsLine(const QString &details);

    // Counts the records of the service's database afresh and forgets what
    // was read: every row is read again when it is next shown.
    void reload();
    // The record shown in list row index, or -1.
    qint32 recordAt(int index) const;
    // The list row that shows record, or -1 when the list does not hold it
    // (no such record, or one added since the last reload).
    int indexOf(qint32 record) const;
    // The record's Details were written: its line shows them from now on.
    // False when the list does not hold the record.
    bool detailsWritten(qint32 record);
    // The highest record number in the list (-1 when empty).
    qint32 lastRecord() const { return span_.last; }
    // How many records were read from the database since the model was made.
    qint64 recordsRead() const { return recordsRead_; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Line {
        qint32 record;
        QString text;
    };
    struct Page {
        qint64 number;
        QList<Line> lines;
    };
    // The line of list row index, reading its page when it is not kept.
    const Line *line(int index) const;
    const Page &page(qint64 number) const;
    bool contiguous() const { return span_.count == 0 || (span_.first == 0 && span_.last == span_.count - 1); }

    const StandinService &service_;
    StandinDatabase::RecordSpan span_;
    int rows_ = 0;
    // Most recently used first.
    mutable QList<Page> pages_;
    mutable qint64 recordsRead_ = 0;
};

} // namespace standin
