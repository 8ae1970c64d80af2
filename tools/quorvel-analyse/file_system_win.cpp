#include "tools/quorvel-analyse/file_system.h"

#include <windows.h>

namespace {

std::string systemMessage(DWORD error) {
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                        text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

}  // namespace

bool fileIdentity(const std::string& path, FileIdentity& identity) {
    // No access rights are asked for, so a file that another program holds
    // open is reached too; folders need the backup semantics flag.
    const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information;
    const bool known = GetFileInformationByHandle(file, &information) != 0;
    CloseHandle(file);
    if (!known) return false;
    identity.volume = information.dwVolumeSerialNumber;
    identity.index = (uint64_t(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return true;
}

bool replaceFile(const std::string& from, const std::string& to, std::string& reason) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    reason = systemMessage(GetLastError());
    return false;
}

uint64_t currentProcessId() { return GetCurrentProcessId(); }

bool protectStandardOutput() { return false; }
