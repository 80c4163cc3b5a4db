#pragma once

// The stand-in ACT!'s own window, shown by `act-standin serve DB --window`:
// the Sales/Opportunity records of the open database, a chooser for the six
// views, and for the chosen view a toolbar and a Tools menu with the
// auxiliary commands placed there, as ACT! shows them. Activating a command
// starts its executable in its folder. Closing the window closes the
// database (event 10) and ends the stand-in, like `act-standin close`.
//
// The window follows the service: whatever the program changes over the bus
// (a Details text, a registration, a placement, the current record) shows at
// once.
//
// The list reads the records as it shows them (RecordListModel), so that it
// opens and scrolls as quickly on a million records as on a few.

#include "standin/RecordListModel.h"
#include "standin/StandinDatabase.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QComboBox;
class QMenu;
class QPushButton;
class QTableView;
class QToolBar;

namespace platform {
class PlatformServices;
}

namespace standin {

class StandinService;

class StandinWindow : public QMainWindow {
    Q_OBJECT
public:
    StandinWindow(StandinService &service, platform::PlatformServices &platform, QWidget *parent = nullptr);
    ~StandinWindow() override;

    // The names of the six views, by view number 1..6.
    static QString viewName(qint16 view);
    // A Details text on one line for the list: each line break (CR LF, CR or
    // LF) becomes a visible mark, a tab a space, and a long text is cut with
    // an ellipsis. Display only; the stored text is never touched.
    static QString detailsLine(const QString &details);
    // How many characters of a Details text the list shows.
    static constexpr int PreviewCharacters = RecordListModel::PreviewCharacters;

    // The list's model, for tests and benchmarks.
    RecordListModel *recordModel() const { return model_; }

    // The view whose toolbar and Tools menu are shown (1..6).
    qint16 chosenView() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void reloadAll();
    void reloadRecords();
    void reloadCommands();
    void updateTitle();
    QSize lineSize(const QString &text) const;
    void fitRowColumn();
    void showCurrentRow(qint32 row);
    void updateDetails(qint32 row);
    void onRecordSelectionChanged();
    void runCommand(AuxCommand command);
    QAction *commandAction(const AuxCommand &command, bool large);

    StandinService &service_;
    platform::PlatformServices &platform_;
    QComboBox *viewChooser_ = nullptr;
    RecordListModel *model_ = nullptr;
    QTableView *records_ = nullptr;
    QToolBar *commandBar_ = nullptr;
    QMenu *toolsMenu_ = nullptr;
    QAction *largeIcons_ = nullptr;
    QPushButton *closeButton_ = nullptr;
    QList<QPointer<QAction>> commandActions_;
    bool showingService_ = false; // the selection is being set from the service
};

} // namespace standin
