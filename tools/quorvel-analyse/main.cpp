// quorvel-analyse: analyses the bench's recordings offline and records the
// simulated board (command.h).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "tools/quorvel-analyse/command.h"
#include "tools/quorvel-analyse/file_system.h"
#include "tools/quorvel-analyse/messages.h"
#include "tools/quorvel-analyse/terminal.h"

int main(int argc, char** argv) {
    const bool outputClosed = protectStandardOutput();
    useUtf8Console();
    int code = runQuorvelAnalyse(argc, argv, std::cout, std::cerr, standardErrorIsTerminal());
    // Results that did not reach the standard output are a failure: a full
    // disk or device, a closed pipe or a closed descriptor.
    std::cout.flush();
    errno = 0;
    const bool written = std::cout.good() && std::fflush(stdout) == 0 && !std::ferror(stdout);
    const int error = errno;
    if (!written) {
        std::cerr << kProgramName << ": the standard output could not be written"
                  << (outputClosed ? ": it is closed"
                      : error != 0 ? std::string(": ") + std::strerror(error)
                                   : "")
                  << '\n';
        if (code == 0) code = 1;
    }
    return code;
}
