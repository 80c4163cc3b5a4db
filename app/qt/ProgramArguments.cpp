#include "app/qt/ProgramArguments.h"

#include "resources/ProductInfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstring>

namespace app {

bool asksForHelpOrVersion(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    }
    return false;
}

int printHelpOrVersion(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QString::fromStdU16String(product::applicationTitle()));
    QCoreApplication::setApplicationVersion(QString::fromStdU16String(product::versionText()));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Keeps one attached file per Sales/Opportunity record of the ACT! contact manager: opens "
                       "it, removes it, or attaches a new one, and stores its path in the record's Details "
                       "field.\n"
                       "Start it beside a running ACT! (on Linux, act-standin serve) with a Sales/Opportunity "
                       "record selected, usually from the command that Options > Integrate with ACT!... places "
                       "on ACT!'s toolbar or Tools menu. It takes no other arguments."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    // Unknown arguments are no error: they are ignored, as at a normal start.
    parser.parse(QCoreApplication::arguments());
    if (parser.isSet(version) && !parser.isSet(help))
        parser.showVersion(); // exits with status 0
    parser.showHelp(0);
}

} // namespace app
