#include "tools/quorvel-analyse/terminal.h"

#include <unistd.h>

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }

void useUtf8Console() {}
