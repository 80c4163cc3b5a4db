#include "standin/StandinWindow.h"

#include "host/dbus/BusProtocol.h"
#include "platform/PlatformServices.h"
#include "platform/qt/QtText.h"
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
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace standin {

namespace protocol = host::dbus::protocol;

namespace {

const QString TitlePrefix = QStringLiteral("ACT! stand-in - ");
const QString MessageTitle = QStringLiteral("ACT! stand-in");

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

    // Lines of one height, and a Row column as wide as the highest row
    // number: the view then never measures, or reads, a row it does not show.
    model_ = new RecordListModel(service_, this);
    records_ = new QTableView(central);
    records_->setObjectName(QStringLiteral("records"));
    records_->setModel(model_);
    records_->setSelectionMode(QAbstractItemView::SingleSelection);
    records_->setSelectionBehavior(QAbstractItemView::SelectRows);
    records_->setShowGrid(false);
    records_->setWordWrap(false);
    records_->setTabKeyNavigation(false);
    records_->setCornerButtonEnabled(false);
    records_->verticalHeader()->hide();
    records_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Set while the list is empty: changed later, it would touch every row.
    records_->verticalHeader()->setMinimumSectionSize(1);
    records_->verticalHeader()->setDefaultSectionSize(lineSize(QStringLiteral("0")).height());
    QHeaderView *header = records_->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setSectionResizeMode(RecordListModel::RowColumn, QHeaderView::Fixed);
    header->setStretchLastSection(true);
    layout->addWidget(records_);
    connect(records_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &StandinWindow::onRecordSelectionChanged);

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
    return RecordListModel::detailsLine(details);
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
    const auto held = service_.lock();
    const StandinDatabase *db = service_.database();
    setWindowTitle(TitlePrefix + (db ? QFileInfo(db->path()).fileName() : QStringLiteral("(no database)")));
}

void StandinWindow::reloadRecords()
{
    const bool wasShowing = showingService_;
    showingService_ = true;
    model_->reload();
    fitRowColumn();
    showingService_ = wasShowing;
    showCurrentRow(service_.currentRow());
}

QSize StandinWindow::lineSize(const QString &text) const
{
    // One line of text as the view's delegate lays it out.
    QStyleOptionViewItem option;
    option.initFrom(records_);
    option.font = records_->font();
    option.fontMetrics = records_->fontMetrics();
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = text;
    return records_->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), records_);
}

void StandinWindow::fitRowColumn()
{
    // The widest digit in every place of the highest row number.
    const QFontMetrics metrics = records_->fontMetrics();
    QChar widest = QLatin1Char('0');
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (metrics.horizontalAdvance(QLatin1Char(digit)) > metrics.horizontalAdvance(widest))
            widest = QLatin1Char(digit);
    }
    const int digits = int(QString::number(qMax(model_->lastRecord(), 0)).size());
    QHeaderView *header = records_->horizontalHeader();
    header->resizeSection(RecordListModel::RowColumn,
                          qMax(lineSize(QString(digits, widest)).width(),
                               header->sectionSizeHint(RecordListModel::RowColumn)));
}

void StandinWindow::showCurrentRow(qint32 row)
{
    const bool wasShowing = showingService_;
    showingService_ = true;
    const int index = model_->indexOf(row);
    if (index >= 0) {
        const QModelIndex shown = model_->index(index, RecordListModel::RowColumn);
        records_->setCurrentIndex(shown);
        records_->scrollTo(shown);
    } else {
        records_->clearSelection();
    }
    showingService_ = wasShowing;
}

void StandinWindow::updateDetails(qint32 row)
{
    // A record the list does not hold yet was added beside the service.
    if (!model_->detailsWritten(row))
        reloadRecords();
}

void StandinWindow::onRecordSelectionChanged()
{
    if (showingService_)
        return;
    const QModelIndexList selected = records_->selectionModel()->selectedRows(RecordListModel::RowColumn);
    if (selected.isEmpty())
        return;
    const qint32 row = model_->recordAt(selected.first().row());
    if (row < 0 || row == service_.currentRow())
        return;
    try {
        // The same path as `act-standin select`: the record becomes current
        // and event 22 follows.
        service_.select(row);
    } catch (const DatabaseError &error) {
        platform_.MsgBox(
            platform::qt::toU16(QStringLiteral("Record %1 cannot be made current:\r%2").arg(row).arg(error.message())),
            platform::vbOKOnly | platform::vbExclamation, platform::qt::toU16(MessageTitle));
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

    const auto held = service_.lock();
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
    platform_.MsgBox(
        platform::qt::toU16(QStringLiteral("The command \"%1\" could not be started.\r%2\r\rProgram: %3\rFolder: %4")
                                .arg(command.caption.isEmpty() ? command.name : command.caption, why,
                                     command.executable, command.folder)),
        platform::vbOKOnly | platform::vbExclamation, platform::qt::toU16(MessageTitle));
}

} // namespace standin
