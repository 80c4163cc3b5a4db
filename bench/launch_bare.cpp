// The yardstick for Pennaroc's launch time: a bare Qt program with one
// fixed-size dialog, titled "Bare", the size of Pennaroc's main window.
// bench_launch starts it beside Pennaroc; it is not meant to be run by hand,
// though it can be:  build/bin/bench_launch_bare

#include <QApplication>
#include <QDialog>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Bare"));
    dialog.setFixedSize(351, 168);
    // Closing the dialog closes the last window, and that ends the program.
    dialog.show();
    return QApplication::exec();
}
