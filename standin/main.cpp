// act-standin: the stand-in ACT! service and its command line.

#include "standin/StandinCommandLine.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("act-standin"));
    return standin::runCommandLine(argc, argv);
}
