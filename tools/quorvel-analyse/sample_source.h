#pragma once
// Rows of samples read in order, whatever file holds them: the bench's
// recordings (recording_file.h), sound files and raw binary files
// (input_files.h). A row holds one float32 value per channel, channel 0
// first, in volts.
#include <cstddef>
#include <cstdint>

class SampleSource {
public:
    virtual ~SampleSource() = default;

    virtual uint32_t channelCount() const = 0;
    virtual double channelRate() const = 0;  // Hz, one channel
    // Whole rows in the file.
    virtual uint64_t rowCount() const = 0;
    // Bytes after the last whole row: a row that was cut short.
    virtual uint64_t partialRowBytes() const { return 0; }

    // Passes over the next `rows` rows; false when the file does not have them.
    virtual bool skipRows(uint64_t rows) = 0;
    // Reads the next `rows` rows (rows x channelCount values); false when the
    // file did not give them all.
    virtual bool readRows(float* values, size_t rows) = 0;
};
