#pragma once

// The command line of act-standin:
//
//   act-standin create DB
//   act-standin add DB [TEXT]          TEXT "-" reads standard input exactly
//   act-standin details DB ROW
//   act-standin serve [DB] [--current ROW] [--refuse-link] [--max-details N] [--read-only] [--window]
//   act-standin select ROW
//   act-standin close
//   act-standin commands DB
//
// Exit status: 0 done, 1 refused (one line on standard error), 2 usage.
//
// Output of `commands`: first one line per registered command, in the order
// of registration, with its eight values separated by tabs:
//   name TAB executable TAB folder TAB caption TAB tooltip TAB icon TAB largeIcon TAB flags
// then one line per placement, by view, toolbar before Tools menu:
//   "toolbar" TAB view TAB name      or      "menu" TAB view TAB name
// Values are printed as stored; every line ends with LF.
//
// `serve --window` also shows the stand-in's own window, made by the caller's
// WindowMaker once the service is on the bus; a QApplication must exist then.

#include <QObject>

#include <functional>
#include <memory>

namespace standin {

class StandinService;

// Makes (and shows) the window of a serving stand-in. The window lives until
// the service stops.
using WindowMaker = std::function<std::unique_ptr<QObject>(StandinService &)>;

// True when the command line asks for a window (`serve ... --window`), so
// that the caller knows to make a QApplication rather than a QCoreApplication.
bool wantsWindow(int argc, char **argv);

// Runs one command. A QCoreApplication must exist. Without a WindowMaker,
// `serve --window` is refused.
int runCommandLine(int argc, char **argv, const WindowMaker &makeWindow = {});

} // namespace standin
