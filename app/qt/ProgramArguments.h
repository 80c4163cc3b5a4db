#pragma once

// Pennaroc's command line. It takes no arguments of its own: --help and
// --version print what they say on standard output and end the program
// with status 0, before any window or display is needed; anything else is
// ignored, and the program starts as usual.

namespace app {

// True when the arguments ask for --help (-h, -?) or --version (-v).
bool asksForHelpOrVersion(int argc, char **argv);

// Prints the help or the version text and returns the exit status (0).
// Makes its own application object; call it before any other.
int printHelpOrVersion(int argc, char **argv);

} // namespace app
