#pragma once
// A disk for tests of the recorder: files are byte strings kept by path, and
// the failures a real disk shows can be scripted (creation refused, a disk
// that fills up after so many bytes, a write that reports success but wrote
// short, a cut that fails, a slow disk whose every write takes a while).
// Every call with an effect is logged in order.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "recording/recorder.h"

class FakeStorage : public RecordStorage {
public:
    struct Creation {
        std::string path;
        bool replace;
    };

    FileHandle create(const char* path, bool replace) override {
        creations.push_back({path, replace});
        if (refusedPaths.count(path) || refuseEveryCreate) return kInvalidFile;
        if (files.count(path) && !replace) return kInvalidFile;
        files[path].clear();
        const FileHandle handle = nextHandle++;
        open[handle] = path;
        log.push_back("create " + std::string(path));
        return handle;
    }

    // Writes what fits into diskRoom; a write that does not fit reports
    // failure, or success when shortWritesSucceed is set.
    bool write(FileHandle file, const void* bytes, size_t length, size_t* written) override {
        if (writeDelay.count() > 0) std::this_thread::sleep_for(writeDelay);
        writeLengths.push_back(length);
        *written = 0;
        const auto it = open.find(file);
        if (it == open.end()) {
            ++misuses;
            return false;
        }
        const size_t fits = static_cast<size_t>(std::min<uint64_t>(length, diskRoom));
        files[it->second].append(static_cast<const char*>(bytes), fits);
        diskRoom -= fits;
        *written = fits;
        log.push_back("write " + std::to_string(length) + " -> " + std::to_string(fits));
        return fits == length || shortWritesSucceed;
    }

    bool truncate(FileHandle file, uint64_t size) override {
        const auto it = open.find(file);
        if (it == open.end()) {
            ++misuses;
            return false;
        }
        truncations.push_back(size);
        log.push_back("truncate " + std::to_string(size));
        if (failTruncate) return false;
        std::string& bytes = files[it->second];
        diskRoom += bytes.size() > size ? bytes.size() - size : 0;
        bytes.resize(static_cast<size_t>(size));
        return true;
    }

    void close(FileHandle file) override {
        if (open.erase(file) == 0) ++misuses;
        log.push_back("close");
    }

    bool remove(const char* path) override {
        log.push_back("remove " + std::string(path));
        for (const auto& handle : open) {
            if (handle.second == path) ++misuses;  // removing an open file
        }
        return files.erase(path) > 0;
    }

    bool exists(const char* path) override { return files.count(path) > 0; }

    uint64_t freeBytes() override { return freeSpace; }

    // The bytes of a file; empty when there is none.
    std::string bytesOf(const std::string& path) const {
        const auto it = files.find(path);
        return it == files.end() ? std::string() : it->second;
    }

    // Scripted behaviour.
    uint64_t diskRoom = UINT64_MAX;  // bytes the disk still takes
    bool shortWritesSucceed = false;
    bool refuseEveryCreate = false;
    std::set<std::string> refusedPaths;  // creation fails, the file is not made
    bool failTruncate = false;
    uint64_t freeSpace = 0;                   // freeBytes()
    std::chrono::milliseconds writeDelay{0};  // every write sleeps this long first

    // What happened.
    std::map<std::string, std::string> files;
    std::map<FileHandle, std::string> open;  // handle -> path
    std::vector<Creation> creations;         // every create call, failed ones too
    std::vector<size_t> writeLengths;        // every write call's length
    std::vector<uint64_t> truncations;
    std::vector<std::string> log;
    int misuses = 0;  // calls on handles not open, closes of closed files, removals of open files

private:
    FileHandle nextHandle = 100;
};
