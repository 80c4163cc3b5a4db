// act-standin: the stand-in ACT! service and its command line.

#include "standin/StandinCommandLine.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    int status = 0;
    {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("act-standin"));
        status = standin::runCommandLine(argc, argv);
    }
    // Every file and database is closed by now. End here rather than in the
    // global destructors: the bus library's own thread may still be handling
    // a late message while those run, and would print warnings about types
    // that are already gone.
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
