#pragma once

#include <QString>

#include <functional>

namespace fq::ui {
class Dialogs;
}

namespace fq::commands {

// The one end of every command, whichever front end runs it. A command reports on its own what
// a server refused and where the user stopped it; anything that still escapes it is a fault of
// Fernquill's own, or a lack of memory, and ends here in one message box (OK): which command
// could not finish and why, with the exception's own words as the details. The lists need no
// repair: every command changes them step by step, each change right after its step is done on
// the server, so they show what the command did before it stopped.
//
// `command` names the command as the front end's user knows it (the windows: the button's
// caption, "Send Table(s) to MySQL"). A message that cannot be shown either goes to the
// standard error output. True when the command ran to its own end.
bool runCommand(const QString& command, ui::Dialogs& dialogs,
                const std::function<void()>& work) noexcept;

} // namespace fq::commands
