#include "settings/frmLocation.h"

#include "host/Failure.h"
#include "platform/ErrorTrap.h"
#include "settings/ModSHBrowse.h"
#include "resources/ProductInfo.h"
#include "settings/SettingsStore.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/Twips.h"
#include "platform/WindowFont.h"

#include <limits>

namespace {

using platform::px;
using platform::twipsRect;

const QString Section = QStringLiteral("Settings");
const QString Key = QStringLiteral("DefaultFolder");

} // namespace

frmLocation::frmLocation(platform::PlatformServices &desktop, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      desktop_(desktop)
{
    setObjectName(QStringLiteral("frmLocation"));
    setWindowTitle(QStringLiteral("Default Attachment Location"));
    setFixedSize(px(7035), px(1710));
    setSizeGripEnabled(false);
    setFont(platform::windowFont());

    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(2478, 1170, 1000, 325));
    cmdOK->setDefault(true);

    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(twipsRect(3558, 1170, 1000, 325));

    cmdBrowse = new QPushButton(QStringLiteral("Browse..."), this);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdBrowse->setGeometry(twipsRect(5865, 615, 1000, 325));

    txtPath = new QLineEdit(this);
    txtPath->setObjectName(QStringLiteral("txtPath"));
    txtPath->setGeometry(twipsRect(300, 615, 5505, 315));
    // The stored folder has no length limit of its own; the box must not
    // cut it to Qt's default of 32767 characters.
    txtPath->setMaxLength(std::numeric_limits<int>::max());

    lblPath = new QLabel(QStringLiteral("Default Attachment Folder :"), this);
    lblPath->setObjectName(QStringLiteral("lblPath"));
    lblPath->setGeometry(twipsRect(300, 330, 5505, 285));

    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, cmdBrowse);
    setTabOrder(cmdBrowse, txtPath);
    cmdOK->setFocus();

    // Escape and the close box end in reject(), which writes nothing.
    connect(cmdOK, &QPushButton::clicked, this, &frmLocation::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLocation::cmdCancel_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmLocation::cmdBrowse_Click);

    Form_Load();
}

QString frmLocation::errorTitle()
{
    return product::applicationTitle() + QStringLiteral(" error");
}

QString frmLocation::contactLine()
{
    return product::supportContactLine();
}

void frmLocation::Form_Load()
{
    platform::ErrorTrap trap(desktop_, QStringLiteral("in frmAdo: Sub Form_Load - Line # "), &errorTitle,
                             &contactLine);
    trap.at(17680);
    trap.run([&] {
        trap.at(17700);
        txtPath->setText(
            settings::SettingsStore::read(product::applicationTitle(), Section, Key, desktop_.ProgramFolder()));
    });
}

void frmLocation::cmdOK_Click()
{
    try {
        settings::SettingsStore::write(product::applicationTitle(), Section, Key, txtPath->text());
    } catch (const host::Failure &failure) {
        // The folder could not be stored: say so and keep the dialog open
        // with the text, so that the user can try again or cancel.
        desktop_.MsgBox(QStringLiteral("The default attachment folder could not be saved.") + QChar(u'\r')
                            + failure.description(),
                        platform::vbOKOnly | platform::vbExclamation, product::applicationTitle());
        return;
    }
    accept();
}

void frmLocation::cmdCancel_Click()
{
    reject();
}

void frmLocation::cmdBrowse_Click()
{
    const std::optional<QString> folder = ModSHBrowse::browseForFolder(desktop_, this);
    if (folder)
        txtPath->setText(*folder);
}
