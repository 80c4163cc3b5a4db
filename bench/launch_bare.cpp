// The yardsticks for Pennaroc's launch time: a bare Qt program with one
// fixed-size dialog, titled "Bare", the size of Pennaroc's main window; and,
// with --texts, a window titled "Bare texts" with the main window's menus,
// controls, captions, face and icon, but none of the program behind them (no
// host, no lock, no setting). bench_launch starts both beside Pennaroc; they
// are not meant to be run by hand, though they can be:
//   build/bin/bench_launch_bare [--texts]

#include "platform/qt/Twips.h"
#include "platform/qt/WindowFont.h"
#include "resources/ProgramIcon.h"

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include <cstring>
#include <memory>

namespace {

std::unique_ptr<QWidget> windowWithTexts()
{
    using platform::twipsRect;
    auto window = std::make_unique<QMainWindow>();
    window->setWindowTitle(QStringLiteral("Bare texts"));
    window->setFont(platform::windowFont());
    window->setWindowIcon(resources::programIcon());
    QMenu *options = window->menuBar()->addMenu(QStringLiteral("Options"));
    options->addAction(QStringLiteral("Default Attachment Location..."));
    options->addSeparator();
    options->addAction(QStringLiteral("Integrate with ACT!..."));
    window->menuBar()->addMenu(QStringLiteral("Help"))->addAction(QStringLiteral("About"));
    auto *client = new QWidget(window.get());
    client->setFixedSize(twipsRect(0, 0, 5265, 2520).size());
    window->setCentralWidget(client);
    auto *frame = new QGroupBox(QStringLiteral("Action:"), client);
    frame->setGeometry(twipsRect(210, 225, 3600, 1755));
    (new QRadioButton(QStringLiteral("&Open the attachment"), frame))->setGeometry(twipsRect(255, 375, 2055, 375));
    (new QRadioButton(QStringLiteral("&Remove the attachment"), frame))->setGeometry(twipsRect(255, 750, 2055, 375));
    (new QRadioButton(QStringLiteral("&Attach a new file"), frame))->setGeometry(twipsRect(255, 1125, 3195, 375));
    (new QPushButton(QStringLiteral("&OK"), client))->setGeometry(twipsRect(4050, 360, 1000, 325));
    (new QPushButton(QStringLiteral("&Cancel"), client))->setGeometry(twipsRect(4050, 795, 1000, 325));
    auto *more = new QLabel(QStringLiteral("Find more free ACT! add-ons at "), client);
    more->setGeometry(twipsRect(1035, 2280, 2385, 285));
    more->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *link = new QLabel(QStringLiteral("www.veltrane.example"), client);
    link->setGeometry(twipsRect(3435, 2280, 1755, 255));
    link->setFont(platform::windowFont(8.25, false, true));
    link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    window->setFixedSize(client->width(), client->height() + window->menuBar()->sizeHint().height());
    return window;
}

} // namespace

int main(int argc, char *argv[])
{
    const bool texts = argc > 1 && std::strcmp(argv[1], "--texts") == 0;
    QApplication application(argc, argv);
    std::unique_ptr<QWidget> window;
    if (texts) {
        window = windowWithTexts();
    } else {
        auto dialog = std::make_unique<QDialog>();
        dialog->setWindowTitle(QStringLiteral("Bare"));
        dialog->setFixedSize(351, 168);
        window = std::move(dialog);
    }
    // Closing the window closes the last window, and that ends the program.
    window->show();
    return QApplication::exec();
}
