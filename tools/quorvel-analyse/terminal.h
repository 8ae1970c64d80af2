#pragma once
// The console as the tool sees it. terminal_posix.cpp and terminal_win.cpp
// implement it.

// Whether the standard error stream goes to a terminal (the progress bar is
// drawn there only then).
bool standardErrorIsTerminal();

// The tool writes UTF-8. On Windows a console is switched to show UTF-8
// output; elsewhere terminals take it as it is and nothing is done.
void useUtf8Console();
