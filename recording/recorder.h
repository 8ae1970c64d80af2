#pragma once
// Recording: while the Record button is down, every block that passes the
// channel windows adds its rows (one float32 in volts per channel) to a data
// file of the layout in record_format.h, named from the File setting and a
// three-digit number; and the free-space and recorded-amount texts.
//
// States: Off (not recording, no file), Armed (recording, no file yet: it is
// created with the first block), Writing (recording, file open). Every halt
// of the acquisition closes the file.
//
// What the recorder guarantees beyond writing: a write that reaches the disk
// only in part counts as failed, and the file is then cut back to its last
// whole row; a header that cannot be written leaves no file; a numbered file
// never replaces an existing one (the next free number is taken); a name too
// long for the platform is refused.
#include <cstdint>
#include <memory>

#include "acquisition/block_subscriber.h"
#include "analysis/signal_metrics.h"
#include "platform/file_io.h"
#include "recording/record_format.h"

// The files and the disk as the recorder sees them; tests put a fake here.
class RecordStorage {
public:
    // createDataFile of platform/file_io.h.
    virtual FileHandle create(const char* path, bool replace) = 0;
    // Writes the bytes; false when not all of them reached the file, whose
    // count `written` receives.
    virtual bool write(FileHandle file, const void* bytes, size_t length, size_t* written) = 0;
    virtual bool truncate(FileHandle file, uint64_t size) = 0;
    virtual void close(FileHandle file) = 0;
    virtual bool remove(const char* path) = 0;
    virtual bool exists(const char* path) = 0;
    // Free bytes on the current directory's disk.
    virtual uint64_t freeBytes() = 0;

protected:
    ~RecordStorage() = default;
};

// The platform's files and disk.
RecordStorage& platformStorage();

inline constexpr int32_t kStagingRows = 1024;
inline constexpr int32_t kMaxRecordChannels = 32;
// Longest path of a data file, in characters (the Windows limit less its
// terminator).
inline constexpr size_t kMaxRecordPath = 259;
// Characters of the File setting, terminator included.
inline constexpr size_t kRecordFileNameBytes = 256;
inline constexpr int32_t kLastFileNumber = 999;

// The number of the first file for a FileAutoIncrement value: 0 (no
// numbering) and 1..999 as given; any other value counts as 1, numbering on.
int32_t firstFileNumber(int32_t fileAutoIncrement);

// Why a block was not recorded; the caller shows the message.
enum class RecordFailure {
    None,
    CannotOpen,   // "Ошибка... \n Не могу открыть файл."
    CannotWrite,  // "Ошибка... \n Не могу записать в файл."
};
// The message of a failure, UTF-8; empty for None.
const char* recordFailureMessage(RecordFailure failure);

// The two texts of the "Disk free space" group.
struct DiskTexts {
    char freeText[64];   // "Free bytes: %4.1f Mb"
    char savedText[64];  // "Save: %s"
};

// One block as the recorder takes it, after it was appended to the windows.
using RecordedBlock = TakenBlock;

// The recorder listens to the acquisition engine's blocks: while recording
// each goes to writeBlock.
class Recorder final : public BlockSubscriber {
public:
    // The recorder owns the base name of its files and the number of the
    // next one; until setFile both are empty (no name, no numbering).
    explicit Recorder(RecordStorage& storage = platformStorage());
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // The File and FileAutoIncrement settings (see firstFileNumber).
    void setFile(const char* fileName, int32_t fileAutoIncrement);
    // The file choice, confirmed (the chosen path) or cancelled (null): the
    // path becomes the base name; numbering, when on, begins again at 1.
    void chooseFile(const char* chosenPath);
    // The base name: the File setting or the chosen path, cut at its first
    // "." once a record name was built.
    const char* fileName() const { return fileName_; }
    // The number of the next file; 0 when files are not numbered.
    int32_t fileNumber() const { return fileNumber_; }
    const char* recordName() const { return recordName_; }
    // Why the latest writeBlock failed; None after a success.
    RecordFailure failure() const { return failure_; }

    bool isRecording() const { return recording; }
    // The Record button: down arms (nothing written yet, no file yet), up
    // closes the file.
    void setRecording(bool on);
    // A halt of the acquisition: the file closed, recording off.
    void halt();

    // recordName := fileName (cut in place at its first ".") with the file
    // number as "%03d".
    void buildRecordName();

    // Appends the block's rows, creating the file first when none is open.
    // The rows are the B oldest values of each window (the window then holds
    // each sample until it is about to leave); a block longer than its
    // window is written from its codes, so no sample is lost. A channel
    // without a window writes zeros. False when the file cannot be created or
    // written; failure() then says which.
    bool writeBlock(const RecordedBlock& block);
    // BlockSubscriber: writeBlock while recording; true otherwise.
    bool takeBlock(const TakenBlock& block) override { return !recording || writeBlock(block); }
    // Closes an open file and advances the file number (999 -> 1);
    // samplesWritten := 0 in any case.
    void closeRecordFile();

    // The free-space and recorded-amount texts, now.
    DiskTexts diskTexts();
    // "Free bytes: %4.1f Mb" and "Save: %s", the amount in Kb up to 1024 Kb
    // of samplesWritten / 512, then in Mb.
    static void formatDiskTexts(uint64_t freeBytes, int64_t samplesWritten, char (&freeText)[64],
                                char (&savedText)[64]);

    bool recording = false;
    FileHandle recordFile = kInvalidFile;
    int64_t samplesWritten = 0;  // values written into the current file

private:
    bool openRecordFile(uint32_t channelCount, double channelRate);
    bool createNumbered(char (&path)[kMaxRecordPath + 1]);
    bool flushStaging(int32_t rows, int32_t channelCount);
    void advanceNumber();
    bool fail(RecordFailure failure);

    RecordStorage& storage_;
    char fileName_[kRecordFileNameBytes] = "";
    int32_t fileNumber_ = 0;
    char recordName_[kMaxRecordPath + 1] = "";  // next file without extension; empty: none built
    RecordFailure failure_ = RecordFailure::None;
    uint64_t fileBytes_ = 0;  // bytes in the open file
    // Up to kStagingRows rows of up to kMaxRecordChannels values, allocated
    // once with the recorder.
    std::unique_ptr<float[]> staging_;
};
