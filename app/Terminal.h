#pragma once

#include <QStringList>

namespace fq::app {

// Fernquill run from a terminal: the arguments (the program's name left out) name one command of
// the table manager and what it works on (fernquill --help tells how). It runs the same command
// on the stored settings, or those of the file --settings names, through the same seams the
// windows give it: lists that no one sees, boxes answered from the command line that write to
// standard error, progress on standard error. No window is opened and no display is needed.
// Returns the exit status (exitstatus in TerminalArguments.h).
int runTerminal(const QStringList& arguments);

} // namespace fq::app
