#include "standin/RecordListModel.h"

#include "standin/StandinService.h"

#include <QDebug>

#include <climits>

namespace standin {

namespace {

// Bytes read for each record's preview: enough for one character more than
// PreviewCharacters, at four bytes each, so that a cut text is known as cut.
constexpr qint64 PreviewBytes = qint64(RecordListModel::PreviewCharacters + 1) * 4;

} // namespace

RecordListModel::RecordListModel(const StandinService &service, QObject *parent)
    : QAbstractTableModel(parent), service_(service)
{
}

QString RecordListModel::detailsLine(const QString &details)
{
    static const QChar LineBreakMark(0x21B5); // DOWNWARDS ARROW WITH CORNER LEFTWARDS
    QString line;
    line.reserve(qMin(details.size(), qsizetype(PreviewCharacters) * 2) + 1);
    int characters = 0;
    for (qsizetype i = 0; i < details.size(); ++i) {
        if (characters == PreviewCharacters) {
            line += QChar(0x2026); // HORIZONTAL ELLIPSIS
            break;
        }
        const QChar c = details.at(i);
        if (c == QLatin1Char('\r')) {
            if (i + 1 < details.size() && details.at(i + 1) == QLatin1Char('\n'))
                ++i;
            line += LineBreakMark;
        } else if (c == QLatin1Char('\n')) {
            line += LineBreakMark;
        } else if (c == QLatin1Char('\t')) {
            line += QLatin1Char(' ');
        } else if (c.isHighSurrogate() && i + 1 < details.size() && details.at(i + 1).isLowSurrogate()) {
            line += c;
            line += details.at(++i);
        } else {
            line += c;
        }
        ++characters;
    }
    return line;
}

void RecordListModel::reload()
{
    beginResetModel();
    pages_.clear();
    span_ = StandinDatabase::RecordSpan();
    const auto held = service_.lock();
    if (const StandinDatabase *db = service_.database()) {
        try {
            span_ = db->recordSpan();
        } catch (const DatabaseError &error) {
            qWarning().noquote() << "act-standin: the records cannot be counted:" << error.message();
        }
    }
    rows_ = int(qMin<qint64>(span_.count, INT_MAX));
    endResetModel();
}

qint32 RecordListModel::recordAt(int index) const
{
    if (index < 0 || index >= rows_)
        return -1;
    if (contiguous())
        return qint32(index);
    const Line *found = line(index);
    return found ? found->record : -1;
}

int RecordListModel::indexOf(qint32 record) const
{
    if (record < 0 || span_.count == 0 || record < span_.first || record > span_.last)
        return -1;
    if (contiguous())
        return record < rows_ ? int(record) : -1;
    const auto held = service_.lock();
    const StandinDatabase *db = service_.database();
    if (!db)
        return -1;
    try {
        if (!db->rowExists(record))
            return -1;
        const qint64 position = db->recordsBefore(record);
        return position < rows_ ? int(position) : -1;
    } catch (const DatabaseError &error) {
        qWarning().noquote() << "act-standin: a record cannot be found:" << error.message();
        return -1;
    }
}

bool RecordListModel::detailsWritten(qint32 record)
{
    const int index = indexOf(record);
    const auto held = service_.lock();
    if (index < 0 || !service_.database())
        return false;
    // A kept page gets the new text; any other reads it when it is shown.
    const qint64 number = index / PageSize;
    for (Page &p : pages_) {
        if (p.number != number)
            continue;
        Line &l = p.lines[index % PageSize];
        try {
            const QList<StandinDatabase::RecordPreview> read =
                service_.database()->recordPreviewsFrom(record, 1, PreviewBytes);
            ++recordsRead_;
            l.text = read.size() == 1 && read.first().row == record ? detailsLine(read.first().details) : QString();
        } catch (const DatabaseError &error) {
            qWarning().noquote() << "act-standin: a record cannot be read:" << error.message();
            l.text.clear();
        }
        break;
    }
    const QModelIndex changed = this->index(index, DetailsColumn);
    Q_EMIT dataChanged(changed, changed, {Qt::DisplayRole});
    return true;
}

int RecordListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int RecordListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecordListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows_)
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == RowColumn) {
            const qint32 record = recordAt(index.row());
            return record < 0 ? QString() : QString::number(record);
        } else {
            const Line *found = line(index.row());
            return found ? found->text : QString();
        }
    case Qt::UserRole:
        return QVariant::fromValue<qint32>(recordAt(index.row()));
    case Qt::TextAlignmentRole:
        if (index.column() == RowColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case RowColumn:
        return QStringLiteral("Row");
    case DetailsColumn:
        return QStringLiteral("Details");
    default:
        return QVariant();
    }
}

const RecordListModel::Line *RecordListModel::line(int index) const
{
    const Page &p = page(index / PageSize);
    const qsizetype at = index % PageSize;
    return at < p.lines.size() ? &p.lines.at(at) : nullptr;
}

const RecordListModel::Page &RecordListModel::page(qint64 number) const
{
    for (qsizetype i = 0; i < pages_.size(); ++i) {
        if (pages_.at(i).number == number) {
            if (i != 0)
                pages_.move(i, 0);
            return pages_.first();
        }
    }
    Page read{number, {}};
    const qint64 first = number * PageSize;
    const auto held = service_.lock();
    if (const StandinDatabase *db = service_.database()) {
        try {
            const QList<StandinDatabase::RecordPreview> previews = contiguous()
                ? db->recordPreviewsFrom(qint32(first), PageSize, PreviewBytes)
                : db->recordPreviewsAt(first, PageSize, PreviewBytes);
            recordsRead_ += previews.size();
            read.lines.reserve(previews.size());
            for (const StandinDatabase::RecordPreview &preview : previews)
                read.lines.append(Line{preview.row, detailsLine(preview.details)});
        } catch (const DatabaseError &error) {
            // Shown empty until the next reload, rather than read again on
            // every paint.
            qWarning().noquote() << "act-standin: records cannot be read:" << error.message();
        }
    }
    if (contiguous()) {
        // Whatever the read brought, each line stands at its own row.
        QList<Line> placed;
        const qint64 end = qMin<qint64>(first + PageSize, rows_);
        placed.reserve(qsizetype(qMax<qint64>(0, end - first)));
        qsizetype next = 0;
        for (qint64 record = first; record < end; ++record) {
            while (next < read.lines.size() && read.lines.at(next).record < record)
                ++next;
            if (next < read.lines.size() && read.lines.at(next).record == record)
                placed.append(read.lines.at(next));
            else
                placed.append(Line{qint32(record), QString()});
        }
        read.lines = placed;
    }
    pages_.prepend(std::move(read));
    while (pages_.size() > CachedPages)
        pages_.removeLast();
    return pages_.first();
}

} // namespace standin
