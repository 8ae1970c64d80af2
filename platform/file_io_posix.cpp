// POSIX implementation of platform/file_io.h on open(2) descriptors.
#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <new>

namespace {

int openRetrying(const char* fileName, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(fileName, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

std::unique_ptr<char[]> readWholeFile(const char* fileName, size_t maxBytes, size_t& length) {
    length = 0;
    if (!fileName) return nullptr;
    const int fd = openRetrying(fileName, O_RDONLY);
    if (fd < 0) return nullptr;

    std::unique_ptr<char[]> bytes;
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 1 &&
        static_cast<uintmax_t>(info.st_size) <= maxBytes) {
        const size_t size = static_cast<size_t>(info.st_size);
        bytes.reset(new (std::nothrow) char[size + 1]);
        size_t got = 0;
        while (bytes && got < size) {
            const ssize_t n = ::read(fd, bytes.get() + got, size - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        if (bytes && got == size) {
            bytes[size] = 0;
            length = size;
        } else {
            bytes.reset();
        }
    }
    ::close(fd);
    return bytes;
}

FileHandle createNewFile(const char* fileName) {
    if (!fileName) return kInvalidFile;
    const int fd = openRetrying(fileName, O_WRONLY | O_CREAT | O_EXCL, 0666);
    return fd < 0 ? kInvalidFile : fd;
}

FileHandle createOrReplaceFile(const char* fileName) {
    if (!fileName) return kInvalidFile;
    const int fd = openRetrying(fileName, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    return fd < 0 ? kInvalidFile : fd;
}

FileHandle createDataFile(const char* fileName, bool replace) {
    if (!fileName) return kInvalidFile;
    const int fd = openRetrying(fileName, O_WRONLY | O_CREAT | (replace ? O_TRUNC : O_EXCL), 0666);
    return fd < 0 ? kInvalidFile : fd;
}

bool writeFile(FileHandle file, const void* bytes, size_t length, size_t* written) {
    if (written) *written = 0;
    if (file == kInvalidFile) return false;
    const char* next = static_cast<const char*>(bytes);
    while (length > 0) {
        const ssize_t n = ::write(static_cast<int>(file), next, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (written) *written += static_cast<size_t>(n);
        next += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool truncateFile(FileHandle file, uint64_t size) {
    if (file == kInvalidFile) return false;
    return ::ftruncate(static_cast<int>(file), static_cast<off_t>(size)) == 0 &&
           ::lseek(static_cast<int>(file), static_cast<off_t>(size), SEEK_SET) >= 0;
}

bool removeFile(const char* fileName) { return fileName && ::unlink(fileName) == 0; }

void closeFile(FileHandle file) {
    if (file != kInvalidFile) ::close(static_cast<int>(file));
}

bool fileExists(const char* fileName) {
    struct stat info;
    return fileName && ::stat(fileName, &info) == 0;
}
