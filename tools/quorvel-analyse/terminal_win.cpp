#include "tools/quorvel-analyse/terminal.h"

#include <windows.h>

#include <io.h>
#include <cstdio>

bool standardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void useUtf8Console() {
    // Only a console has an output code page; a pipe or file takes the bytes.
    if (_isatty(_fileno(stdout)) || _isatty(_fileno(stderr))) SetConsoleOutputCP(CP_UTF8);
}
