#include "about/frmAbout.h"

#include "resources/ProductInfo.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include "platform/LinkLabel.h"
#include "platform/Twips.h"
#include "platform/WindowFont.h"

#include <QScreen>

namespace {

using platform::px;
using platform::twipsRect;

} // namespace

QString aboutVersionText(int major, int minor, int revision)
{
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

frmAbout::frmAbout(platform::PlatformServices &desktop, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      desktop_(desktop)
{
    setObjectName(QStringLiteral("frmAbout"));
    setFixedSize(px(5730), px(3285));
    setSizeGripEnabled(false);
    setFont(platform::windowFont(8.25, false, false));

    lblTitle = new QLabel(this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    lblTitle->setGeometry(twipsRect(1050, 240, 3885, 360));
    lblTitle->setFont(platform::windowFont(13.5, true, false));

    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setGeometry(twipsRect(1050, 780, 3885, 225));

    // The maker's line and the freeware notice sit between the version and
    // the separator.
    lblCopyright = new QLabel(this);
    lblCopyright->setObjectName(QStringLiteral("lblCopyright"));
    lblCopyright->setGeometry(twipsRect(1050, 1110, 3885, 225));

    lblFreeware = new QLabel(this);
    lblFreeware->setObjectName(QStringLiteral("lblFreeware"));
    lblFreeware->setGeometry(twipsRect(1050, 1380, 3885, 225));

    Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    Line1->setLineWidth(1);
    Line1->setGeometry(px(53), px(1800), px(5684) - px(53), 1);
    QPalette grey = Line1->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    Line1->setPalette(grey);

    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setGeometry(twipsRect(240, 2640, 3855, 255));

    // Reached by Tab from Close; Enter, Space or a click sends mail.
    lblMail = new platform::LinkLabel(product::supportAddress(), this);
    lblMail->setObjectName(QStringLiteral("lblMail"));
    lblMail->setGeometry(twipsRect(240, 2880, 2415, 255));
    lblMail->setFont(platform::windowFont(8.25, true, true));
    connect(lblMail, &platform::LinkLabel::activated, this, &frmAbout::lblMail_Click);

    cmdOK = new QPushButton(this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(4485, 2040, 1095, 375));
    // Enter presses the default button; Escape rejects the dialog, which
    // closes it just as the button does.
    cmdOK->setDefault(true);
    cmdOK->setFocus();
    setTabOrder(cmdOK, lblMail);

    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    Form_Load();
    fitLabels();
    centreOnScreen();
}

void frmAbout::fitLabels()
{
    // The designed widths suit the designed font. Where this desktop's font
    // needs more room, a label grows to the right, within the window, so
    // that no text is cut.
    const int margin = px(240);
    QWidget *const labels[] = {lblTitle, lblVersion, lblCopyright, lblFreeware, lblProblem, lblMail};
    for (QWidget *label : labels) {
        const int needed = label->sizeHint().width();
        if (needed > label->width())
            label->resize(qMin(needed, width() - margin - label->x()), label->height());
    }
}

void frmAbout::Form_Load()
{
    setWindowTitle(product::applicationTitle());
    lblVersion->setText(aboutVersionText(PENNAROC_VERSION_MAJOR, PENNAROC_VERSION_MINOR, PENNAROC_VERSION_PATCH));
    lblCopyright->setText(QStringLiteral("\u00A9 2026 ") + product::makerName());
    lblTitle->setText(product::applicationTitle());
    lblFreeware->setText(QStringLiteral("This program is freeware."));
    cmdOK->setText(QStringLiteral("Close"));
    lblProblem->setText(QStringLiteral("Any problem, question or suggestion, please contact:"));
}

void frmAbout::centreOnScreen()
{
    QScreen *screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect area(QPoint(), size());
    area.moveCenter(screen->availableGeometry().center());
    // Placing the window by hand also keeps Qt from centring it over a
    // parent instead of the screen.
    move(area.topLeft());
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::lblMail_Click()
{
    // The result is not used: with no mail program the box simply stays.
    desktop_.ShellExecute(this, QStringLiteral("open"), QStringLiteral("mailto:") + product::supportAddress(),
                          QString(), desktop_.ProgramFolder(), platform::SW_SHOW);
}
