#include "recording/recorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/disk_space.h"

namespace {

constexpr char kCannotOpen[] = "Ошибка... \n Не могу открыть файл.";
constexpr char kCannotWrite[] = "Ошибка... \n Не могу записать в файл.";

class PlatformStorage final : public RecordStorage {
public:
    FileHandle create(const char* path, bool replace) override { return createDataFile(path, replace); }
    bool write(FileHandle file, const void* bytes, size_t length, size_t* written) override {
        return writeFile(file, bytes, length, written);
    }
    bool truncate(FileHandle file, uint64_t size) override { return truncateFile(file, size); }
    void close(FileHandle file) override { closeFile(file); }
    bool remove(const char* path) override { return removeFile(path); }
    bool exists(const char* path) override { return fileExists(path); }
    uint64_t freeBytes() override { return freeDiskBytes(); }
};

// `name` cut at its first ".".
void cutAtDot(char* name) {
    if (char* dot = std::strchr(name, '.')) *dot = '\0';
}

// prefix + suffix into path; false, with nothing written, when it does not fit.
bool joinPath(char (&path)[kMaxRecordPath + 1], const char* prefix, const char* suffix) {
    const size_t a = std::strlen(prefix), b = std::strlen(suffix);
    if (a + b > kMaxRecordPath) return false;
    std::memcpy(path, prefix, a);
    std::memcpy(path + a, suffix, b + 1);
    return true;
}

}  // namespace

RecordStorage& platformStorage() {
    static PlatformStorage storage;
    return storage;
}

int32_t firstFileNumber(int32_t fileAutoIncrement) {
    // A negative number would count up to 0 and turn numbering off, and one
    // near the top of the int32 range would overflow as it advanced.
    return fileAutoIncrement >= 0 && fileAutoIncrement <= kLastFileNumber ? fileAutoIncrement : 1;
}

const char* recordFailureMessage(RecordFailure failure) {
    switch (failure) {
    case RecordFailure::CannotOpen:
        return kCannotOpen;
    case RecordFailure::CannotWrite:
        return kCannotWrite;
    case RecordFailure::None:
        break;
    }
    return "";
}

Recorder::Recorder(RecordStorage& storage)
    : storage_(storage), staging_(new float[static_cast<size_t>(kStagingRows) * kMaxRecordChannels]) {}

Recorder::~Recorder() {
    if (recordFile != kInvalidFile) storage_.close(recordFile);
}

bool Recorder::fail(RecordFailure failure) {
    failure_ = failure;
    return false;
}

void Recorder::setFile(const char* fileName, int32_t fileAutoIncrement) {
    std::snprintf(fileName_, sizeof fileName_, "%s", fileName ? fileName : "");
    fileNumber_ = firstFileNumber(fileAutoIncrement);
    recordName_[0] = '\0';
}

void Recorder::chooseFile(const char* chosenPath) {
    if (chosenPath) std::snprintf(fileName_, sizeof fileName_, "%s", chosenPath);
    if (fileNumber_ != 0) fileNumber_ = 1;
}

void Recorder::setRecording(bool on) {
    recording = on;
    if (on) samplesWritten = 0;
    else closeRecordFile();
}

void Recorder::halt() {
    closeRecordFile();
    recording = false;
}

void Recorder::buildRecordName() {
    cutAtDot(fileName_);
    // A name cut here is refused when the extension is joined to it.
    if (std::snprintf(recordName_, sizeof recordName_, "%s%03d", fileName_, fileNumber_) < 0) recordName_[0] = '\0';
}

void Recorder::advanceNumber() {
    if (fileNumber_ == 0) return;
    if (++fileNumber_ > kLastFileNumber) fileNumber_ = 1;
}

// Creates the file of the current number, or of the next free number when
// that one exists; the number of the file created stays in
// fileNumber_. Without success the number is left as it was.
bool Recorder::createNumbered(char (&path)[kMaxRecordPath + 1]) {
    // The name follows the number, also when a file was closed after the
    // name was last built.
    buildRecordName();
    const int32_t first = fileNumber_;
    for (int32_t tries = 0; tries < kLastFileNumber; ++tries) {
        if (!joinPath(path, recordName_, kRecordExtension)) break;
        recordFile = storage_.create(path, false);
        if (recordFile != kInvalidFile) return true;
        if (!storage_.exists(path)) break;
        advanceNumber();
        buildRecordName();
    }
    fileNumber_ = first;
    buildRecordName();
    return false;
}

bool Recorder::openRecordFile(uint32_t channelCount, double channelRate) {
    char path[kMaxRecordPath + 1];
    bool created;
    if (fileNumber_ != 0) {
        created = createNumbered(path);
    } else {
        // Without numbering the file is the File setting cut at its first ".",
        // replaced when it exists: the user chose that very name.
        char base[sizeof fileName_];
        std::memcpy(base, fileName_, sizeof base);
        cutAtDot(base);
        created = joinPath(path, base, kRecordExtension);
        if (created) {
            recordFile = storage_.create(path, true);
            created = recordFile != kInvalidFile;
        }
    }
    if (!created) {
        recordFile = kInvalidFile;
        return fail(RecordFailure::CannotOpen);
    }

    const RecordHeader header = makeRecordHeader(channelCount, channelRate);
    size_t written = 0;
    if (!storage_.write(recordFile, &header, sizeof header, &written) || written != sizeof header) {
        // Rows without a readable header would be of no use: no file is left.
        storage_.close(recordFile);
        recordFile = kInvalidFile;
        storage_.remove(path);
        return fail(RecordFailure::CannotWrite);
    }
    fileBytes_ = sizeof header;
    return true;
}

bool Recorder::flushStaging(int32_t rows, int32_t channelCount) {
    const size_t rowBytes = static_cast<size_t>(channelCount) * sizeof(float);
    const size_t bytes = static_cast<size_t>(rows) * rowBytes;
    size_t written = 0;
    const bool complete = storage_.write(recordFile, staging_.get(), bytes, &written) && written == bytes;
    fileBytes_ += written;
    if (complete) return true;
    // A disk that filled up took part of the rows: cut the file back to its
    // last whole row, so that all it holds is readable.
    const uint64_t rowsInFile = (fileBytes_ - kRecordHeaderBytes) / rowBytes;
    const uint64_t whole = kRecordHeaderBytes + rowsInFile * rowBytes;
    if (whole != fileBytes_ && storage_.truncate(recordFile, whole)) fileBytes_ = whole;
    return fail(RecordFailure::CannotWrite);
}

bool Recorder::writeBlock(const RecordedBlock& block) {
    const int32_t count = std::clamp(block.channelCount, 1, kMaxRecordChannels);
    const int32_t rows = block.blockLength;
    failure_ = RecordFailure::None;
    if (rows <= 0 || !block.channels) return true;
    if (recordFile == kInvalidFile && !openRecordFile(static_cast<uint32_t>(count), block.channelRate)) {
        return false;
    }

    // Where each channel's values come from.
    const double* window[kMaxRecordChannels];
    double scale[kMaxRecordChannels];
    for (int32_t c = 0; c < count; ++c) {
        const ChannelRecord& channel = block.channels[c];
        const bool held = channel.hasBuffers();
        window[c] = held && rows <= channel.sampleCount ? channel.samples : nullptr;
        const int32_t gain = channel.gain > 0 ? channel.gain : 1;
        scale[c] = held && !window[c] && block.codes ? block.voltsPerCount / gain : 0.0;
    }

    // One channel's column of the staged rows first..first+staged-1.
    float* const staging = staging_.get();
    auto stageColumn = [&](int32_t c, int32_t first, int32_t staged) {
        float* column = staging + c;
        if (window[c]) {
            const double* values = window[c] + first;
            for (int32_t r = 0; r < staged; ++r) column[static_cast<size_t>(r) * count] = static_cast<float>(values[r]);
        } else if (scale[c] != 0.0) {
            const int16_t* codes = block.codes + static_cast<int64_t>(first) * count + c;
            const double s = scale[c];
            for (int32_t r = 0; r < staged; ++r) {
                column[static_cast<size_t>(r) * count] = static_cast<float>(codes[static_cast<int64_t>(r) * count] * s);
            }
        } else {
            for (int32_t r = 0; r < staged; ++r) column[static_cast<size_t>(r) * count] = 0.0f;
        }
    };
    constexpr int32_t kTile = 8;
    for (int32_t first = 0; first < rows; first += kStagingRows) {
        const int32_t staged = std::min(kStagingRows, rows - first);
        int32_t c = 0;
        // Eight windows at a time fill 32 bytes of every row: the rows are
        // written in order and each window is read in order.
        for (; c + kTile <= count; c += kTile) {
            bool windows = true;
            for (int32_t k = 0; k < kTile; ++k) windows = windows && window[c + k];
            if (!windows) {
                for (int32_t k = 0; k < kTile; ++k) stageColumn(c + k, first, staged);
                continue;
            }
            const double* values[kTile];
            for (int32_t k = 0; k < kTile; ++k) values[k] = window[c + k] + first;
            for (int32_t r = 0; r < staged; ++r) {
                float* out = staging + static_cast<size_t>(r) * count + c;
                for (int32_t k = 0; k < kTile; ++k) out[k] = static_cast<float>(values[k][r]);
            }
        }
        for (; c < count; ++c) stageColumn(c, first, staged);
        if (!flushStaging(staged, count)) return false;
    }
    samplesWritten += static_cast<int64_t>(count) * rows;
    return true;
}

void Recorder::closeRecordFile() {
    if (recordFile != kInvalidFile) {
        storage_.close(recordFile);
        recordFile = kInvalidFile;
        advanceNumber();
    }
    samplesWritten = 0;
}

void Recorder::formatDiskTexts(uint64_t freeBytes, int64_t samplesWritten, char (&freeText)[64],
                               char (&savedText)[64]) {
    std::snprintf(freeText, sizeof freeText, "Free bytes: %4.1f Mb", static_cast<double>(freeBytes) / 1048576.0);
    const double amount = static_cast<double>(samplesWritten) / 512.0;
    char text[32];
    if (amount > 1024.0) std::snprintf(text, sizeof text, "%4.1f Mb", amount / 1024.0);
    else std::snprintf(text, sizeof text, "%4.1f Kb", amount);
    std::snprintf(savedText, sizeof savedText, "Save: %s", text);
}

DiskTexts Recorder::diskTexts() {
    DiskTexts texts;
    formatDiskTexts(storage_.freeBytes(), samplesWritten, texts.freeText, texts.savedText);
    return texts;
}
