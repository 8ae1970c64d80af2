#pragma once
// A recording (recording/record_format.h) read as a stream: the header is
// checked once, then rows are read in order, as many at a time as the
// caller's buffer holds, so that a file of any size needs no more memory
// than that buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "recording/record_format.h"
#include "tools/quorvel-analyse/sample_source.h"

// Why `length` bytes that begin a file are not the start of a recording: an
// empty text when they are. Checks, in this order, the fixed parts of the
// header that the bytes reach (section names and lengths, format code), that
// all 116 header bytes are there, a channel count of 1..32 and a channel
// rate that is finite and above 0. The reason is one line without the file
// name, e.g. "truncated header: 60 of 116 bytes".
std::string checkRecordHeader(const void* bytes, size_t length);

class RecordingFile final : public SampleSource {
public:
    RecordingFile() = default;
    ~RecordingFile() override;
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    // Opens the file and checks its header (checkRecordHeader); false, with
    // the reason, when it cannot be read or is no recording.
    bool open(const std::string& path, std::string& reason);

    uint32_t channelCount() const override { return header_.format.channelCount; }
    double channelRate() const override { return header_.format.channelRate; }  // Hz, one channel
    // Whole rows after the header.
    uint64_t rowCount() const override { return rowCount_; }
    // Bytes after the last whole row: a row that was cut short.
    uint64_t partialRowBytes() const override { return partialBytes_; }

    // Reads the next `rows` rows (rows x channelCount float32 volts, channel
    // 0 first in each row); false when the file did not give them all.
    bool readRows(float* values, size_t rows) override;
    bool skipRows(uint64_t rows) override;

private:
    std::FILE* file_ = nullptr;
    RecordHeader header_{};
    uint64_t rowCount_ = 0;
    uint64_t partialBytes_ = 0;
};
