#include "tools/quorvel-analyse/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

bool fileIdentity(const std::string& path, FileIdentity& identity) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return false;
    identity.volume = static_cast<uint64_t>(status.st_dev);
    identity.index = static_cast<uint64_t>(status.st_ino);
    return true;
}

bool replaceFile(const std::string& from, const std::string& to, std::string& reason) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    reason = std::strerror(errno);
    return false;
}

uint64_t currentProcessId() { return static_cast<uint64_t>(getpid()); }

bool protectStandardOutput() {
    // A write beyond the file size limit then fails with EFBIG, which the
    // tool reports, instead of killing it half way through a file.
    std::signal(SIGXFSZ, SIG_IGN);
    if (fcntl(STDOUT_FILENO, F_GETFD) != -1 || errno != EBADF) return false;
    // Opened for reading only: a write to it fails as a write to a closed
    // descriptor does, and the tool reports it.
    const int null = open("/dev/null", O_RDONLY);
    if (null != -1 && null != STDOUT_FILENO) {
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    return true;
}
