#pragma once

// The About box: product name, version, maker, freeware notice and the
// support address as a mail link.

#include "platform/LinkLabel.h"
#include "platform/PlatformServices.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// "Version " and the three numbers, in decimal, joined by dots.
QString aboutVersionText(int major, int minor, int revision);

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(platform::PlatformServices &desktop, QWidget *parent = nullptr);

    QLabel *lblTitle;
    QLabel *lblVersion;
    QLabel *lblCopyright;
    QLabel *lblFreeware;
    QFrame *Line1;
    QLabel *lblProblem;
    platform::LinkLabel *lblMail;
    QPushButton *cmdOK;

public Q_SLOTS:
    void cmdOK_Click();
    void lblMail_Click();

private:
    void Form_Load();
    void fitLabels();
    void centreOnScreen();

    platform::PlatformServices &desktop_;
};
