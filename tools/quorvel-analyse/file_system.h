#pragma once
// The file services that the tool's outputs need beyond the portable core's:
// whether two names reach the same file, replacing a file by another in one
// step, and the state of the standard output. file_system_posix.cpp and
// file_system_win.cpp implement it.
//
// File names are narrow strings as the command line gives them: bytes as
// given on POSIX systems, the ANSI code page on Windows.
#include <cstdint>
#include <string>

// What tells a file apart from every other on the machine, however it is
// named (links, "./", "..", a different spelling of a folder): device and
// inode on POSIX systems, volume serial number and file index on Windows.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
};

// The identity of an existing file or folder; false when there is none by
// that name (or it cannot be reached).
bool fileIdentity(const std::string& path, FileIdentity& identity);

// Puts `from` in the place of `to`, replacing a file of that name, in one
// step where the system allows it (the same folder is assumed). False, with
// the system's reason, when it could not.
bool replaceFile(const std::string& from, const std::string& to, std::string& reason);

// The id of the running process, to name temporary files apart.
uint64_t currentProcessId();

// POSIX: when descriptor 1 is closed, opens the null device on it for
// reading only, so that no file the tool opens takes its place and receives
// the results while a write to it still fails; returns whether it was
// closed. A size limit (ulimit -f) that a write reaches gives
// an error rather than ending the process. Windows: false, nothing done.
bool protectStandardOutput();
