// Win32 implementation of platform/file_io.h on kernel file handles.
#include "platform/file_io.h"

#include <windows.h>

#include <new>

namespace {

HANDLE toHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle fromHandle(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

}  // namespace

static_assert(sizeof(FileHandle) == sizeof(HANDLE));

std::unique_ptr<char[]> readWholeFile(const char* fileName, size_t maxBytes, size_t& length) {
    length = 0;
    if (!fileName) return nullptr;
    const HANDLE file =
        CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;

    std::unique_ptr<char[]> bytes;
    LARGE_INTEGER size;
    if (GetFileSizeEx(file, &size) && size.QuadPart >= 1 &&
        static_cast<unsigned long long>(size.QuadPart) <= maxBytes && size.QuadPart <= MAXDWORD) {
        const DWORD wanted = static_cast<DWORD>(size.QuadPart);
        bytes.reset(new (std::nothrow) char[static_cast<size_t>(wanted) + 1]);
        DWORD got = 0;
        if (bytes && ReadFile(file, bytes.get(), wanted, &got, nullptr) && got == wanted) {
            bytes[wanted] = 0;
            length = wanted;
        } else {
            bytes.reset();
        }
    }
    CloseHandle(file);
    return bytes;
}

FileHandle createNewFile(const char* fileName) {
    if (!fileName) return kInvalidFile;
    return fromHandle(CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_ARCHIVE, nullptr));
}

FileHandle createOrReplaceFile(const char* fileName) {
    if (!fileName) return kInvalidFile;
    return fromHandle(
        CreateFileA(fileName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle createDataFile(const char* fileName, bool replace) {
    if (!fileName) return kInvalidFile;
    return fromHandle(CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, replace ? CREATE_ALWAYS : CREATE_NEW,
                                  FILE_ATTRIBUTE_ARCHIVE, nullptr));
}

bool writeFile(FileHandle file, const void* bytes, size_t length, size_t* written) {
    if (written) *written = 0;
    if (file == kInvalidFile) return false;
    const char* next = static_cast<const char*>(bytes);
    while (length > 0) {
        const DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD done = 0;
        const BOOL ok = WriteFile(toHandle(file), next, chunk, &done, nullptr);
        if (written) *written += done;
        if (!ok || done == 0) return false;
        next += done;
        length -= done;
    }
    return true;
}

bool truncateFile(FileHandle file, uint64_t size) {
    if (file == kInvalidFile) return false;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(toHandle(file), position, nullptr, FILE_BEGIN) && SetEndOfFile(toHandle(file));
}

bool removeFile(const char* fileName) { return fileName && DeleteFileA(fileName); }

void closeFile(FileHandle file) {
    if (file != kInvalidFile) CloseHandle(toHandle(file));
}

bool fileExists(const char* fileName) { return fileName && GetFileAttributesA(fileName) != INVALID_FILE_ATTRIBUTES; }
