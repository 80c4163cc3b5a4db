#pragma once

// The integration dialog: two groups of six boxes, one box per ACT! view,
// for the program's command on the view's toolbar and in its Tools menu.
// Every change of a box is applied in ACT! at once; Close may offer to
// restart ACT!, which the main window then carries out.

#include "host/ActHost.h"
#include "platform/ErrorTrap.h"
#include "platform/PlatformServices.h"

#include <QCheckBox>
#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QStringList>

#include <array>
#include <functional>

class QGroupBox;
class QPushButton;

namespace integrate {

// A view's box. It has three states, but a click or the space bar only
// toggles it: checked becomes unchecked, anything else becomes checked.
class ScreenCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit ScreenCheckBox(QWidget *parent = nullptr);

protected:
    void nextCheckState() override;
};

// The label beside a box: a click on it is reported, it takes no focus.
class ScreenLabel : public QLabel {
    Q_OBJECT
public:
    explicit ScreenLabel(QWidget *parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool pressed_ = false;
};

} // namespace integrate

class clsFrmIntegrate : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString AppName READ AppName WRITE setAppName)
    Q_PROPERTY(QIcon IntegrateIcon READ IntegrateIcon WRITE setIntegrateIcon)
    Q_PROPERTY(qint16 Language READ Language WRITE setLanguage)
    Q_PROPERTY(bool ContactScreen READ ContactScreen WRITE setContactScreen)
    Q_PROPERTY(bool ContactListScreen READ ContactListScreen WRITE setContactListScreen)
    Q_PROPERTY(bool GroupScreen READ GroupScreen WRITE setGroupScreen)
    Q_PROPERTY(bool TaskListScreen READ TaskListScreen WRITE setTaskListScreen)
    Q_PROPERTY(bool CalendarsScreen READ CalendarsScreen WRITE setCalendarsScreen)
    Q_PROPERTY(bool EmailScreen READ EmailScreen WRITE setEmailScreen)

public:
    static constexpr int BoxCount = 12;

    // mainFormUnload is the main window's unload routine, called as a plain
    // procedure (cancel 0) when the user accepts an ACT! restart.
    clsFrmIntegrate(host::HostFactory &host, platform::PlatformServices &desktop,
                    std::function<void()> mainFormUnload, QWidget *parent = nullptr);
    ~clsFrmIntegrate() override;

    // --- properties, set by the caller before the dialog is shown ----------
    QString AppName() const { return appName_; }
    void setAppName(const QString &value) { appName_ = value; }
    QIcon IntegrateIcon() const { return integrateIcon_; }
    void setIntegrateIcon(const QIcon &value) { integrateIcon_ = value; }
    // 0 English, 1 French; any other value leaves every text empty.
    qint16 Language() const { return language_; }
    void setLanguage(qint16 value) { language_ = value; }
    // Each enables both boxes of one view.
    bool ContactScreen() const { return screens_[0]; }
    void setContactScreen(bool value) { screens_[0] = value; }
    bool ContactListScreen() const { return screens_[1]; }
    void setContactListScreen(bool value) { screens_[1] = value; }
    bool GroupScreen() const { return screens_[2]; }
    void setGroupScreen(bool value) { screens_[2] = value; }
    bool TaskListScreen() const { return screens_[3]; }
    void setTaskListScreen(bool value) { screens_[3] = value; }
    bool CalendarsScreen() const { return screens_[4]; }
    void setCalendarsScreen(bool value) { screens_[4] = value; }
    bool EmailScreen() const { return screens_[5]; }
    void setEmailScreen(bool value) { screens_[5] = value; }

    // --- state ---------------------------------------------------------------
    const QStringList &Texts() const { return texts_; }
    const host::Ref<host::AuxCommands> &AuxCommands() const { return auxCommands_; }
    // True once a box change has been handled since loading last finished.
    bool ScreensChanged() const { return screensChanged_; }
    // Result of the last registration, add or remove request; 0 = success.
    qint32 LastAuxResult() const { return lastAuxResult_; }
    qint16 RestartAnswer() const { return restartAnswer_; }

    // A box's state as a number: 0 unchecked, 1 checked, 2 greyed. Setting
    // any other number fails with 380; setting a different state runs the
    // box's click handling.
    qint16 chkScreenValue(int Index) const;
    void setChkScreenValue(int Index, qint16 value);

    // --- controls --------------------------------------------------------------
    QCheckBox *chkScreen(int Index) const { return chkScreen_.at(Index); }
    QLabel *lblScreen(int Index) const { return lblScreen_.at(Index); }
    QGroupBox *Frame1(int Index) const { return Frame1_.at(Index); }
    QLabel *lblRestart() const { return lblRestart_; }
    QPushButton *cmdOK() const { return cmdOK_; }
    QPushButton *cmdCancel() const { return cmdCancel_; }

    // Every way of closing ends here, and unloads the dialog once.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Event procedures.
    void Form_Load();
    void Form_Unload();
    void lblScreen_Click(int Index);
    void chkScreen_Click(int Index);
    void cmdOK_Click();
    void cmdCancel_Click();

    // Private procedures.
    void SetLanguage(qint16 language);
    void LoadEnglishTexts();
    void LoadFrenchTexts();
    void CheckCommand();
    void MessAddFailed();
    void Message();

    platform::ErrorTrap trap(const char *procedure);
    // Runs an event procedure's body under its trap. A failure while the
    // report itself is shown has no caller to go to and ends the event.
    template <class Body>
    void runEvent(platform::ErrorTrap &errorTrap, Body &&body);

    void buildControls();
    void setDesignTexts();
    // Captions a view's label, and names its box for screen readers after
    // the view and the place, in the language the caption is in.
    void showViewName(int Index, const QString &viewName, qint16 language);
    // Lays the controls out in their designed places, then widens every
    // label that its text overflows, moving what stands to its right and
    // widening the frames and the dialog as far as needed. The English
    // texts fit the design, which they keep exactly; the dialog keeps its
    // centre when it grows while shown.
    void fitToTexts();

    host::HostFactory &host_;
    platform::PlatformServices &desktop_;
    std::function<void()> mainFormUnload_;

    QString appName_;
    QIcon integrateIcon_;
    qint16 language_ = 0;
    std::array<bool, 6> screens_{};

    QStringList texts_;
    host::Ref<host::AuxCommands> auxCommands_;
    bool screensChanged_ = false;
    qint32 lastAuxResult_ = 0;
    qint16 restartAnswer_ = 0;
    bool loaded_ = false; // between Form_Load at showing and Form_Unload at closing

    std::array<QGroupBox *, 2> Frame1_{};
    std::array<integrate::ScreenCheckBox *, BoxCount> chkScreen_{};
    std::array<integrate::ScreenLabel *, BoxCount> lblScreen_{};
    QLabel *lblRestart_ = nullptr;
    QPushButton *cmdOK_ = nullptr;
    QPushButton *cmdCancel_ = nullptr;
};
