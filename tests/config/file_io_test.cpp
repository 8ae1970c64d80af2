#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_files.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

class FileIo : public TempDirTest {};

TEST_F(FileIo, FormattedWriteCutsLongTextsTo255Bytes) {
    const std::string fileName = path("formatted.txt");
    const std::string longText(300, 'a');
    const FileHandle file = createOrReplaceFile(fileName.c_str());
    ASSERT_NE(file, kInvalidFile);
    EXPECT_TRUE(FormattedFileWrite(file, "%s|%d\r\n", "x", -42));
    EXPECT_TRUE(FormattedFileWrite(file, "%s", longText.c_str()));
    EXPECT_TRUE(FormattedFileWrite(file, "%s", ""));
    EXPECT_TRUE(FormattedFileWrite(file, "%s", std::string(255, 'b').c_str()));
    closeFile(file);
    EXPECT_EQ(readBytes(fileName), "x|-42\r\n" + std::string(255, 'a') + std::string(255, 'b'));
}

TEST_F(FileIo, WritesToNoFileFail) {
    EXPECT_FALSE(FormattedFileWrite(kInvalidFile, "%d", 1));
    EXPECT_FALSE(writeFile(kInvalidFile, "x", 1));
    closeFile(kInvalidFile);
}

TEST_F(FileIo, CreateNewFileRefusesAnExistingFile) {
    const std::string fileName = path("new.cfg");
    EXPECT_FALSE(fileExists(fileName.c_str()));

    const FileHandle created = createNewFile(fileName.c_str());
    ASSERT_NE(created, kInvalidFile);
    EXPECT_TRUE(writeFile(created, "first", 5));
    closeFile(created);
    EXPECT_TRUE(fileExists(fileName.c_str()));

    EXPECT_EQ(createNewFile(fileName.c_str()), kInvalidFile);
    EXPECT_EQ(readBytes(fileName), "first");
}

TEST_F(FileIo, ReadWholeFileEndsTheBytesWithZero) {
    const std::string fileName = path("whole.bin");
    writeBytes(fileName, std::string("a\0b\r\n", 5));
    size_t length = 99;
    const std::unique_ptr<char[]> bytes = readWholeFile(fileName.c_str(), 5, length);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(std::string(bytes.get(), length + 1), std::string("a\0b\r\n\0", 6));

    EXPECT_FALSE(readWholeFile(fileName.c_str(), 4, length));
    EXPECT_EQ(length, 0u);
    EXPECT_FALSE(readWholeFile(path("missing.bin").c_str(), 5, length));
}

#if defined(_WIN32)
// Opens fileName for reading with every sharing mode; true when that works.
bool openableForReading(const std::string& fileName) {
    SetLastError(0xdeadbeef);
    const HANDLE file = CreateFileA(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// The default configuration is created unshared with the archive attribute;
// the view state shares reading while it is written.
TEST_F(FileIo, WindowsSharingAndAttributes) {
    const std::string unshared = path("unshared.cfg");
    const FileHandle created = createNewFile(unshared.c_str());
    ASSERT_NE(created, kInvalidFile);
    EXPECT_FALSE(openableForReading(unshared));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "got " << GetLastError();
    closeFile(created);
    EXPECT_TRUE(openableForReading(unshared));
    const DWORD attributes = GetFileAttributesA(unshared.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_ARCHIVE))
        << "attributes 0x" << std::hex << attributes;

    const std::string shared = path("shared.sav");
    const FileHandle replaced = createOrReplaceFile(shared.c_str());
    ASSERT_NE(replaced, kInvalidFile);
    EXPECT_TRUE(openableForReading(shared)) << "error " << GetLastError();
    closeFile(replaced);
}
#endif

}  // namespace
