#pragma once
// What the fuzz targets share: a check that stops the run like a crash, and a
// file in a folder of the process's own for the readers that take a file name.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// A broken promise of the code under test: libFuzzer keeps the input that
// led here, as it does for a crash.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// One file, rewritten with every input, in a folder made for this process
// under $TMPDIR (else /dev/shm, whose memory-backed files are several times
// faster to rewrite than a disk's, else /tmp) and removed with it when the
// process ends normally.
class ScratchFile {
public:
    explicit ScratchFile(const char* name) {
        const char* base = std::getenv("TMPDIR");
        if (!base || !base[0]) base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = std::string(base) + "/quorvel-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        folder_ = pattern;
        path_ = folder_ + "/" + name;
    }
    ~ScratchFile() {
        unlink(path_.c_str());
        rmdir(folder_.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the file's contents with these bytes; returns its name.
    const char* write(const uint8_t* data, size_t size) const {
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        FUZZ_CHECK(fd >= 0);
        for (size_t done = 0; done < size;) {
            const ssize_t n = ::write(fd, data + done, size - done);
            FUZZ_CHECK(n > 0);
            done += static_cast<size_t>(n);
        }
        close(fd);
        return path_.c_str();
    }

    const char* name() const { return path_.c_str(); }

private:
    std::string folder_;
    std::string path_;
};
