#pragma once

// The default attachment location dialog: shows the stored default
// attachment folder in an editable box, lets the user browse for a folder,
// and stores the box's text on OK.

#include "platform/PlatformServices.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class frmLocation : public QDialog {
    Q_OBJECT
public:
    explicit frmLocation(platform::PlatformServices &desktop, QWidget *parent = nullptr);

    QPushButton *cmdOK;
    QPushButton *cmdCancel;
    QPushButton *cmdBrowse;
    QLineEdit *txtPath;
    QLabel *lblPath;

    // The texts of the load step's error report.
    static QString errorTitle();
    static QString contactLine();

public Q_SLOTS:
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdBrowse_Click();

private:
    void Form_Load();

    platform::PlatformServices &desktop_;
};
