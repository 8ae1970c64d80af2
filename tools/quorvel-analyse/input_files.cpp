#include "tools/quorvel-analyse/input_files.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "analysis/signal_metrics.h"
#include "tools/quorvel-analyse/file_position.h"
#include "tools/quorvel-analyse/recording_file.h"
#include "tools/quorvel-analyse/sound_file.h"
#include "tools/quorvel-analyse/wav_file.h"

namespace {

size_t sampleBytes(RawSample sample) { return sample == RawSample::Int16 ? 2 : 4; }

// Rows of little-endian values without a header.
class RawFile final : public SampleSource {
public:
    ~RawFile() override {
        if (file_) std::fclose(file_);
    }
    bool open(const std::string& path, const InputOptions& options, std::string& reason) {
        options_ = options;
        file_ = std::fopen(path.c_str(), "rb");
        if (!file_) {
            reason = std::string("cannot open: ") + std::strerror(errno);
            return false;
        }
        const int64_t size = fileSize(file_);
        if (size < 0) {
            reason = "cannot find the file's size";
            return false;
        }
        const uint64_t rowBytes = rowBytes_();
        rowCount_ = static_cast<uint64_t>(size) / rowBytes;
        partial_ = static_cast<uint64_t>(size) % rowBytes;
        return true;
    }
    uint32_t channelCount() const override { return static_cast<uint32_t>(options_.rawChannels); }
    double channelRate() const override { return options_.rawRate; }
    uint64_t rowCount() const override { return rowCount_; }
    uint64_t partialRowBytes() const override { return partial_; }
    bool skipRows(uint64_t rows) override {
        const int64_t here = position(file_);
        if (here < 0 || rows > rowCount_ - static_cast<uint64_t>(here) / rowBytes_()) return false;
        return seekTo(file_, here + static_cast<int64_t>(rows * rowBytes_()), SEEK_SET);
    }
    bool readRows(float* values, size_t rows) override {
        const size_t count = rows * channelCount();
        const size_t bytes = sampleBytes(options_.raw);
        if (options_.raw == RawSample::Float32) {
            if (std::fread(values, bytes, count, file_) != count) return false;
            return true;  // little-endian hosts only, as the recordings
        }
        buffer_.resize(count * bytes);
        if (std::fread(buffer_.data(), bytes, count, file_) != count) return false;
        const unsigned char* in = buffer_.data();
        if (options_.raw == RawSample::Int16) {
            const float scale = static_cast<float>(options_.fullScale / 32768.0);
            for (size_t i = 0; i < count; ++i, in += 2) {
                values[i] = static_cast<float>(static_cast<int16_t>(in[0] | (in[1] << 8))) * scale;
            }
        } else {
            const double scale = options_.fullScale / 2147483648.0;
            for (size_t i = 0; i < count; ++i, in += 4) {
                const uint32_t bits =
                    uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
                values[i] = static_cast<float>(static_cast<int32_t>(bits) * scale);
            }
        }
        return true;
    }

private:
    uint64_t rowBytes_() const { return uint64_t(options_.rawChannels) * sampleBytes(options_.raw); }
    std::FILE* file_ = nullptr;
    InputOptions options_;
    uint64_t rowCount_ = 0;
    uint64_t partial_ = 0;
    std::vector<unsigned char> buffer_;
};

}  // namespace

bool parseRawSampleText(const std::string& text, RawSample& sample, std::string& reason) {
    std::string plain;
    for (char c : text) plain += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (plain == "int16") sample = RawSample::Int16;
    else if (plain == "int32") sample = RawSample::Int32;
    else if (plain == "float32") sample = RawSample::Float32;
    else {
        reason = "'" + text + "' is not a raw sample type (int16, int32 or float32)";
        return false;
    }
    return true;
}

bool soundFormatOf(const unsigned char* bytes, size_t length, SoundFormat& format) {
    if (looksLikeWav(bytes, length)) {
        format = SoundFormat::Wav;
        return true;
    }
    if (length >= 4 && std::memcmp(bytes, "fLaC", 4) == 0) {
        format = SoundFormat::Flac;
        return true;
    }
    return false;
}

bool openSampleSource(const std::string& path, const InputOptions& options, std::unique_ptr<SampleSource>& source,
                      std::string& reason) {
    if (options.raw != RawSample::None) {
        auto raw = std::make_unique<RawFile>();
        if (!raw->open(path, options, reason)) return false;
        source = std::move(raw);
        return true;
    }
    // A sound file is known by its first bytes; anything else is taken for a
    // recording, whose reader says what differs.
    unsigned char start[12] = {};
    size_t length = 0;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        length = std::fread(start, 1, sizeof start, file);
        std::fclose(file);
    }
    SoundFormat format;
    if (soundFormatOf(start, length, format)) return openSoundFile(path, format, options.fullScale, source, reason);
    auto recording = std::make_unique<RecordingFile>();
    if (!recording->open(path, reason)) return false;
    source = std::move(recording);
    return true;
}
