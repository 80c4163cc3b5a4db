#pragma once

// The program's main window: the start-up sequence that links to ACT! and
// finds the current Sales/Opportunity record's attachment, the three action
// options, the menus, the link to the maker's web site, the reaction to
// ACT!'s notifications and the ACT! restart routine.

#include "host/ActHost.h"
#include "platform/ErrorTrap.h"
#include "platform/LinkLabel.h"
#include "platform/PlatformServices.h"
#include "platform/Twips.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <optional>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QTimer;

namespace app {

using platform::twipsRect;

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    Form1(host::HostFactory &host, platform::PlatformServices &desktop, QWidget *parent = nullptr);
    ~Form1() override;

    // Window events and procedures.
    void Form_Load();
    // Runs when the window unloads, and is also called directly, as a plain
    // procedure with Cancel 0, to restart ACT! once RestartAct is set.
    void Form_Unload(int &Cancel);
    void cmdOK_Click();
    void cmdCancel_Click();
    void lblLink_Click();
    void mnuLocation_Click();
    void mnuIntegrate_Click();
    void mnuAbout_Click();
    void tmr1_Timer();
    void EnableActions(bool openEnabled, bool removeEnabled);

    // Runs the program on this window: start-up, then the event loop until
    // the program ends. Returns the exit status.
    int runProgram();

    // True once the window has unloaded (the program is over).
    bool isUnloaded() const { return unloaded_; }
    // True once the restart timer has ended the program.
    bool hasEnded() const { return ended_; }

    // State read at start-up.
    const QString &detailsText() const { return DetailsText; }
    const QString &attachmentPath() const { return AttachmentPath; }
    qint32 markerStart() const { return MarkerStart; }
    qint32 markerEnd() const { return MarkerEnd; }
    qint32 currentRow() const { return CurrentRow; }
    qint32 linkResult() const { return LinkResult; }
    qint16 tickCount() const { return TickCount; }
    void setTickCount(qint16 count) { TickCount = count; }
    bool hasAppObject() const { return !ActApp.isNothing(); }
    bool hasSalesList() const { return !SalesList.isNothing(); }

    // The window's controls.
    QWidget *client = nullptr; // the area below the menu bar
    QGroupBox *fraAction = nullptr;
    std::array<QRadioButton *, 3> optAction{};
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
    QLabel *lblMore = nullptr;
    platform::LinkLabel *lblLink = nullptr;
    QTimer *tmr1 = nullptr;
    QMenu *mnuOptions = nullptr;
    QAction *mnuLocation = nullptr;
    QAction *mnuSep = nullptr;
    QAction *mnuIntegrate = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuAbout = nullptr;

    // Trap labels of the reporting procedures.
    static QString formLoadLabel() { return QStringLiteral("in Form1: Sub Form_Load - Line # "); }
    static QString formUnloadLabel() { return QStringLiteral("in frmMain: Sub Form_Unload - Line # "); }
    static QString timerLabel() { return QStringLiteral("in frmMain: Sub tmr1_Timer - Line # "); }
    static QString okLabel() { return QStringLiteral("in Form1: Sub cmdOK_Click - Line # "); }
    // Title of the window's error reports.
    static QString errorTitle();

Q_SIGNALS:
    // The program is over: the window unloaded, or the restart timer's
    // second tick. The program's main loop exits with status 0 on it.
    void programEnded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildWindow();
    // "Unload Me": runs Form_Unload, closes the window and ends the program.
    // Unloading an unloaded window does nothing.
    void unloadWindow();
    void onHostEvent(qint16 eventId);
    void ActEvent1_Event10();
    void ActEvent1_Event22();
    // Sets tmr1's interval; 0 stops it.
    void setTimerInterval(int milliseconds);
    void selectOption(int index, bool selected);
    // The attachment actions' writes. WriteAttachment asks before replacing
    // an attachment that the user has not agreed to replace (agreedToReplace
    // holds the path the user agreed to), and is false when the answer was
    // No and nothing was written.
    bool WriteAttachment(const QString &path, const std::optional<QString> &agreedToReplace);
    qint32 SetDetails(qint32 &row, QString &text);
    // The current record's Details field as it is now. Every write starts
    // from it, so that a change made in ACT! since start-up survives.
    QString rereadDetails();
    // That text without its marker, ready to be written.
    QString strippedDetails(const QString &current) const;
    // The replace question; true on Yes.
    bool userAgreesToReplace();
    platform::ErrorTrap makeTrap(const QString &label);
    // Runs a trapped procedure's body; a failure is reported unless the
    // window has unloaded meanwhile.
    template <class Body>
    void runTrapped(platform::ErrorTrap &trap, Body &&body);

    host::HostFactory &host_;
    platform::PlatformServices &desktop_;

    // Program-wide references to ACT!'s objects, held from start-up.
    host::Ref<host::ActApp> ActApp;
    host::Ref<host::ActViews> ActViews;
    host::Ref<host::ActView> ContactView;
    host::Ref<host::SalesList> SalesList;
    host::ActEvent &ActEvent1;

    // Main-window state.
    QString DetailsText;
    QString AttachmentPath;
    qint32 MarkerStart = 0;
    qint32 MarkerEnd = 0;
    qint32 CurrentRow = 0;
    qint32 LinkResult = 0;
    qint16 TickCount = 0;

    bool unloaded_ = false;
    bool ended_ = false;
};

} // namespace app
