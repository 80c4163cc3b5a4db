#pragma once

// The command line of act-standin:
//
//   act-standin create DB
//   act-standin add DB [TEXT]          TEXT "-" reads standard input exactly
//   act-standin details DB ROW
//   act-standin serve [DB] [--current ROW] [--refuse-link] [--max-details N] [--read-only]
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

namespace standin {

// Runs one command. A QCoreApplication must exist.
int runCommandLine(int argc, char **argv);

} // namespace standin
