#pragma once
// The few file services of the portable core, as a thin seam over the
// operating system: whole-file reading, creation, writing and closing.
//
// Platform types in this header:
//   FileHandle  intptr_t; a HANDLE on Windows (INVALID_HANDLE_VALUE is -1),
//               a file descriptor elsewhere. kInvalidFile (-1) means none.
//   file names  NUL-terminated narrow strings: the ANSI code page on Windows,
//               bytes as given elsewhere.
#include <cstddef>
#include <cstdint>
#include <cstdio>  // __MINGW_PRINTF_FORMAT
#include <memory>

using FileHandle = intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

// Reads the whole of an existing file in one pass, sharing read access.
// Succeeds only for a file of 1..maxBytes bytes that is read completely; the
// buffer then holds length + 1 bytes, the last one 0. On failure (missing,
// empty, larger than maxBytes, read short, out of memory) returns null and
// sets length to 0.
std::unique_ptr<char[]> readWholeFile(const char* fileName, size_t maxBytes, size_t& length);

// Creates a file for writing only if no file of that name exists (Windows: no
// sharing, archive attribute). kInvalidFile when it exists or cannot be made.
FileHandle createNewFile(const char* fileName);

// Creates a file for writing, replacing any existing one (Windows: read
// sharing, normal attributes). kInvalidFile when it cannot be created; an
// existing file then stays as it was.
FileHandle createOrReplaceFile(const char* fileName);

// Creates a data file for writing with no sharing and the archive
// attribute: with `replace` any existing file of that name is replaced,
// otherwise the call fails when one exists. kInvalidFile on failure.
FileHandle createDataFile(const char* fileName, bool replace);

// Writes all `length` bytes; false when any of them could not be written (a
// full disk writes short). `written`, when given, receives the count of bytes
// that did reach the file.
bool writeFile(FileHandle file, const void* bytes, size_t length, size_t* written = nullptr);

// Cuts (or extends) an open file to `size` bytes; further writes go to its end.
bool truncateFile(FileHandle file, uint64_t size);

// Deletes a closed file.
bool removeFile(const char* fileName);

// Closes a file from createNewFile or createOrReplaceFile; kInvalidFile is
// ignored.
void closeFile(FileHandle file);

// True when a file (or directory) of that name exists.
bool fileExists(const char* fileName);

// Size of the text that FormattedFileWrite formats, terminator included.
inline constexpr size_t kFormattedWriteBytes = 256;

// printf-style formatting into a kFormattedWriteBytes text; a longer result is
// cut to kFormattedWriteBytes - 1 bytes. Writes the text without its
// terminator; returns whether the formatting and the write succeeded.
bool FormattedFileWrite(FileHandle file, const char* format, ...)
#if defined(__MINGW_PRINTF_FORMAT)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
