#include "standin/StandinWindow.h"

#include "host/dbus/BusProtocol.h"
#include "platform/PlatformServices.h"
#include "standin/StandinService.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace standin {

namespace protocol = host::dbus::protocol;

namespace {

const QString TitlePrefix = QStringLiteral("ACT! stand-in - ");
const QString MessageTitle = QStringLiteral("ACT! stand-in");

// Bytes read for each record's preview: enough for PreviewCharacters
// characters of four bytes each.
constexpr qint64 PreviewBytes = qint64(StandinWindow::PreviewCharacters) * 4 + 4;

constexpr int SmallIconSize = 16;
constexpr int LargeIconSize = 32;

} // namespace

StandinWindow::StandinWindow(StandinService &service, platform::PlatformServices &platform, QWidget *parent)
    : QMainWindow(parent), service_(service), platform_(platform)
{
    setObjectName(QStringLiteral("standinWindow"));

    QMenu *fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu->setObjectName(QStringLiteral("fileMenu"));
    QAction *closeAction = fileMenu->addAction(QStringLiteral("&Close"));
    closeAction->setObjectName(QStringLiteral("closeAction"));
    closeAction->setShortcut(QKeySequence::Close);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);

    QMenu *viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    viewMenu->setObjectName(QStringLiteral("viewMenu"));
    largeIcons_ = viewMenu->addAction(QStringLiteral("&Large icons"));
    largeIcons_->setObjectName(QStringLiteral("largeIcons"));
    largeIcons_->setCheckable(true);
    connect(largeIcons_, &QAction::toggled, this, &StandinWindow::reloadCommands);
    QAction *refresh = viewMenu->addAction(QStringLiteral("&Refresh"));
    refresh->setObjectName(QStringLiteral("refreshAction"));
    refresh->setShortcut(QKeySequence::Refresh);
    // Records added by `act-standin add` while serving reach the list here.
    connect(refresh, &QAction::triggered, this, &StandinWindow::reloadAll);

    toolsMenu_ = menuBar()->addMenu(QStringLiteral("&Tools"));
    toolsMenu_->setObjectName(QStringLiteral("toolsMenu"));
    toolsMenu_->setToolTipsVisible(true);

    commandBar_ = addToolBar(QStringLiteral("Toolbar"));
    commandBar_->setObjectName(QStringLiteral("commandBar"));
    commandBar_->setMovable(false);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);

    auto *viewRow = new QHBoxLayout;
    auto *viewLabel = new QLabel(QStringLiteral("&View:"), central);
    viewChooser_ = new QComboBox(central);
    viewChooser_->setObjectName(QStringLiteral("viewChooser"));
    for (qint16 view = protocol::FirstView; view <= protocol::LastView; ++view)
        viewChooser_->addItem(viewName(view), QVariant::fromValue<qint16>(view));
    viewLabel->setBuddy(viewChooser_);
    viewRow->addWidget(viewLabel);
    viewRow->addWidget(viewChooser_);
    viewRow->addStretch();
    layout->addLayout(viewRow);
    connect(viewChooser_, &QComboBox::currentIndexChanged, this, &StandinWindow::reloadCommands);

    records_ = new QTreeWidget(central);
    records_->setObjectName(QStringLiteral("records"));
    records_->setColumnCount(2);
    records_->setHeaderLabels({QStringLiteral("Row"), QStringLiteral("Details")});
    records_->setRootIsDecorated(false);
    records_->setUniformRowHeights(true);
    records_->setSelectionMode(QAbstractItemView::SingleSelection);
    records_->setSelectionBehavior(QAbstractItemView::SelectRows);
    records_->setAllColumnsShowFocus(true);
    records_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    records_->header()->setStretchLastSection(true);
    layout->addWidget(records_);
    connect(records_, &QTreeWidget::itemSelectionChanged, this, &StandinWindow::onRecordSelectionChanged);

    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch();
    closeButton_ = new QPushButton(QStringLiteral("Close"), central);
    closeButton_->setObjectName(QStringLiteral("closeButton"));
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
    buttonRow->addWidget(closeButton_);
    layout->addLayout(buttonRow);

    setCentralWidget(central);
    resize(560, 380);

    connect(&service_, &StandinService::databaseChanged, this, &StandinWindow::reloadAll);
    connect(&service_, &StandinService::currentRowChanged, this, &StandinWindow::showCurrentRow);
    connect(&service_, &StandinService::detailsWritten, this, &StandinWindow::updateDetails);
    connect(&service_, &StandinService::commandsChanged, this, &StandinWindow::reloadCommands);

    reloadAll();
}

StandinWindow::~StandinWindow() = default;

QString StandinWindow::viewName(qint16 view)
{
    switch (view) {
    case 1:
        return QStringLiteral("Contacts");
    case 2:
        return QStringLiteral("Contact List");
    case 3:
        return QStringLiteral("Groups");
    case 4:
        return QStringLiteral("Task List");
    case 5:
        return QStringLiteral("Calendars");
    case 6:
        return QStringLiteral("E-mail");
    default:
        return QString();
    }
}

QString StandinWindow::detailsLine(const QString &details)
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

qint16 StandinWindow::chosenView() const
{
    return viewChooser_->currentData().value<qint16>();
}

void StandinWindow::closeEvent(QCloseEvent *event)
{
    // Exactly the way `act-standin close` goes: event 10, then the end.
    service_.closeAndQuit();
    event->accept();
}

void StandinWindow::reloadAll()
{
    updateTitle();
    reloadRecords();
    reloadCommands();
}

void StandinWindow::updateTitle()
{
    const StandinDatabase *db = service_.database();
    setWindowTitle(TitlePrefix + (db ? QFileInfo(db->path()).fileName() : QStringLiteral("(no database)")));
}

void StandinWindow::reloadRecords()
{
    const bool wasShowing = showingService_;
    showingService_ = true;
    records_->clear();
    itemsByRow_.clear();
    if (const StandinDatabase *db = service_.database()) {
        QList<QTreeWidgetItem *> items;
        for (const StandinDatabase::RecordPreview &record : db->recordPreviews(PreviewBytes)) {
            auto *item = new QTreeWidgetItem({QString::number(record.row), detailsLine(record.details)});
            item->setData(0, Qt::UserRole, record.row);
            item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
            items.append(item);
            itemsByRow_.insert(record.row, item);
        }
        records_->addTopLevelItems(items);
    }
    showingService_ = wasShowing;
    showCurrentRow(service_.currentRow());
}

void StandinWindow::showCurrentRow(qint32 row)
{
    const bool wasShowing = showingService_;
    showingService_ = true;
    QTreeWidgetItem *item = itemsByRow_.value(row, nullptr);
    if (item) {
        records_->setCurrentItem(item);
        records_->scrollToItem(item);
    } else {
        records_->clearSelection();
    }
    showingService_ = wasShowing;
}

void StandinWindow::updateDetails(qint32 row)
{
    const StandinDatabase *db = service_.database();
    QTreeWidgetItem *item = itemsByRow_.value(row, nullptr);
    if (!db || !item) {
        reloadRecords();
        return;
    }
    const std::optional<QByteArray> details = db->details(row);
    item->setText(1, detailsLine(QString::fromUtf8(details.value_or(QByteArray()))));
}

void StandinWindow::onRecordSelectionChanged()
{
    if (showingService_)
        return;
    const QList<QTreeWidgetItem *> selected = records_->selectedItems();
    if (selected.isEmpty())
        return;
    const qint32 row = selected.first()->data(0, Qt::UserRole).value<qint32>();
    if (row == service_.currentRow())
        return;
    try {
        // The same path as `act-standin select`: the record becomes current
        // and event 22 follows.
        service_.select(row);
    } catch (const DatabaseError &error) {
        platform_.MsgBox(QStringLiteral("Record %1 cannot be made current:\r%2").arg(row).arg(error.message()),
                         platform::vbOKOnly | platform::vbExclamation, MessageTitle);
        reloadRecords();
    }
}

void StandinWindow::reloadCommands()
{
    // A command's action may be the sender of the call that led here, or
    // have a message box open: let it go once control is back in the loop.
    for (const QPointer<QAction> &action : std::as_const(commandActions_)) {
        if (!action)
            continue;
        commandBar_->removeAction(action);
        toolsMenu_->removeAction(action);
        action->deleteLater();
    }
    commandActions_.clear();

    const bool large = largeIcons_->isChecked();
    const int iconSize = large ? LargeIconSize : SmallIconSize;
    commandBar_->setIconSize(QSize(iconSize, iconSize));

    const StandinDatabase *db = service_.database();
    if (!db)
        return;
    const qint16 view = chosenView();
    QSet<QString> onToolbar;
    QSet<QString> inMenu;
    for (const StandinDatabase::Placement &p : db->placements()) {
        if (p.view != view)
            continue;
        (p.place == Place::Toolbar ? onToolbar : inMenu).insert(p.name);
    }
    for (const AuxCommand &command : db->auxCommands()) {
        if (onToolbar.contains(command.name)) {
            QAction *action = commandAction(command, large);
            commandBar_->addAction(action);
        }
        if (inMenu.contains(command.name)) {
            QAction *action = commandAction(command, large);
            toolsMenu_->addAction(action);
        }
    }
}

QAction *StandinWindow::commandAction(const AuxCommand &command, bool large)
{
    const QString iconFile = large ? command.largeIcon : command.icon;
    auto *action = new QAction(this);
    action->setText(command.caption);
    action->setToolTip(command.tooltip);
    action->setStatusTip(command.tooltip);
    if (!iconFile.isEmpty() && QFileInfo(iconFile).isFile())
        action->setIcon(QIcon(iconFile));
    action->setProperty("commandName", command.name);
    action->setProperty("iconFile", iconFile);
    connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
    commandActions_.append(action);
    return action;
}

void StandinWindow::runCommand(AuxCommand command)
{
    // Started as its own process, never through a shell: the registered path
    // is the program, the registered folder its working folder.
    QString why;
    if (command.executable.isEmpty())
        why = QStringLiteral("No program is registered for it.");
    else if (!command.folder.isEmpty() && !QFileInfo(command.folder).isDir())
        why = QStringLiteral("Its folder does not exist.");
    else if (QProcess::startDetached(command.executable, {}, command.folder))
        return;
    else
        why = QStringLiteral("The program cannot be started.");
    platform_.MsgBox(QStringLiteral("The command \"%1\" could not be started.\r%2\r\rProgram: %3\rFolder: %4")
                         .arg(command.caption.isEmpty() ? command.name : command.caption, why, command.executable,
                              command.folder),
                     platform::vbOKOnly | platform::vbExclamation, MessageTitle);
}

} // namespace standin
