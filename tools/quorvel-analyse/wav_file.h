#pragma once
// A WAV file read as rows of volts without any library: RIFF (and RF64
// with its ds64 chunk) files of PCM samples (8-bit unsigned; 16, 24 or 32-bit
// signed) or IEEE floats (32 or 64-bit), WAVE_FORMAT_EXTENSIBLE included,
// 1 to 32 channels. An integer sample's full code range and a float's 1.0
// are the full scale. The Windows build reads WAV files with it; the Linux
// build reads them through libsndfile, and the tests compare the two.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/quorvel-analyse/sample_source.h"

// Whether `bytes` (at least 12 of a file's first bytes) begin a WAV file.
bool looksLikeWav(const unsigned char* bytes, size_t length);

class WavFile final : public SampleSource {
public:
    WavFile() = default;
    ~WavFile() override;
    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    // Opens the file and reads its chunks up to the data; false, with the
    // reason (one line without the file name), when it is no WAV file the
    // reader takes.
    bool open(const std::string& path, double fullScale, std::string& reason);

    uint32_t channelCount() const override { return channels_; }
    double channelRate() const override { return rate_; }
    uint64_t rowCount() const override { return rows_; }
    uint64_t partialRowBytes() const override { return partial_; }
    bool skipRows(uint64_t rows) override;
    bool readRows(float* values, size_t rows) override;

private:
    enum class Encoding { Unsigned8, Signed16, Signed24, Signed32, Float32, Float64 };
    std::FILE* file_ = nullptr;
    Encoding encoding_ = Encoding::Signed16;
    uint32_t channels_ = 0;
    uint32_t sampleBytes_ = 0;
    double rate_ = 0.0;
    double fullScale_ = 1.0;
    uint64_t rows_ = 0;
    uint64_t partial_ = 0;
    uint64_t rowsLeft_ = 0;
    std::vector<unsigned char> buffer_;
};
