// quorvel-analyse: analyses the bench's recordings offline and records the
// simulated board (command.h).
#include <iostream>

#include "tools/quorvel-analyse/command.h"
#include "tools/quorvel-analyse/terminal.h"

int main(int argc, char** argv) {
    useUtf8Console();
    return runQuorvelAnalyse(argc, argv, std::cout, std::cerr, standardErrorIsTerminal());
}
