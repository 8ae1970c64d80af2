#include "tools/quorvel-analyse/wav_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "analysis/signal_metrics.h"
#include "tools/quorvel-analyse/file_position.h"

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

uint16_t read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t read32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint64_t read64(const unsigned char* p) { return uint64_t(read32(p)) | uint64_t(read32(p + 4)) << 32; }

}  // namespace

bool looksLikeWav(const unsigned char* bytes, size_t length) {
    return length >= 12 && (std::memcmp(bytes, "RIFF", 4) == 0 || std::memcmp(bytes, "RF64", 4) == 0) &&
           std::memcmp(bytes + 8, "WAVE", 4) == 0;
}

WavFile::~WavFile() {
    if (file_) std::fclose(file_);
}

bool WavFile::open(const std::string& path, double fullScale, std::string& reason) {
    fullScale_ = fullScale;
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        reason = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    const int64_t size = fileSize(file_);
    if (size < 12) {
        reason = "not a WAV file: shorter than its RIFF header";
        return false;
    }
    unsigned char riff[12];
    if (std::fread(riff, 1, sizeof riff, file_) != sizeof riff || !looksLikeWav(riff, sizeof riff)) {
        reason = "not a WAV file: no RIFF/WAVE header";
        return false;
    }
    const bool rf64 = std::memcmp(riff, "RF64", 4) == 0;
    uint64_t dataSize64 = 0;  // from the ds64 chunk of an RF64 file
    bool haveFormat = false;
    uint16_t format = 0, bits = 0, blockAlign = 0;
    for (;;) {
        unsigned char chunk[8];
        if (std::fread(chunk, 1, sizeof chunk, file_) != sizeof chunk) {
            reason = haveFormat ? "not a WAV file: no data chunk" : "not a WAV file: no fmt chunk";
            return false;
        }
        const uint32_t length = read32(chunk + 4);
        const int64_t start = position(file_);
        if (std::memcmp(chunk, "ds64", 4) == 0 && length >= 16) {
            unsigned char ds64[16];
            if (std::fread(ds64, 1, sizeof ds64, file_) != sizeof ds64) break;
            dataSize64 = read64(ds64 + 8);
        } else if (std::memcmp(chunk, "fmt ", 4) == 0) {
            unsigned char fmt[40] = {};
            if (length < 16 || std::fread(fmt, 1, std::min<uint32_t>(length, sizeof fmt), file_) <
                                   std::min<uint32_t>(length, sizeof fmt)) {
                reason = "not a WAV file: a fmt chunk of " + std::to_string(length) + " bytes";
                return false;
            }
            format = read16(fmt);
            channels_ = read16(fmt + 2);
            rate_ = read32(fmt + 4);
            blockAlign = read16(fmt + 12);
            bits = read16(fmt + 14);
            if (format == kFormatExtensible && length >= 40) format = read16(fmt + 24);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                reason = "not a WAV file: the data chunk comes before the fmt chunk";
                return false;
            }
            uint64_t bytes = (rf64 && length == 0xFFFFFFFFu) ? dataSize64 : length;
            // A file cut short, or written while recording, holds less.
            bytes = std::min<uint64_t>(bytes, static_cast<uint64_t>(size - start));
            if (format == kFormatPcm && bits == 8) encoding_ = Encoding::Unsigned8;
            else if (format == kFormatPcm && bits == 16) encoding_ = Encoding::Signed16;
            else if (format == kFormatPcm && bits == 24) encoding_ = Encoding::Signed24;
            else if (format == kFormatPcm && bits == 32) encoding_ = Encoding::Signed32;
            else if (format == kFormatFloat && bits == 32) encoding_ = Encoding::Float32;
            else if (format == kFormatFloat && bits == 64) encoding_ = Encoding::Float64;
            else {
                reason = "WAV samples of format " + std::to_string(format) + " with " + std::to_string(bits) +
                         " bits are not read (PCM of 8, 16, 24 or 32 bits and floats of 32 or 64 are)";
                return false;
            }
            sampleBytes_ = bits / 8u;
            if (channels_ < 1 || channels_ > static_cast<uint32_t>(kChannelRecordCount)) {
                reason = "a WAV file of " + std::to_string(channels_) + " channels (1 to " +
                         std::to_string(kChannelRecordCount) + " are read)";
                return false;
            }
            if (blockAlign != channels_ * sampleBytes_) {
                reason = "a WAV file whose block align " + std::to_string(blockAlign) + " is not " +
                         std::to_string(channels_ * sampleBytes_) + " bytes";
                return false;
            }
            if (!(rate_ > 0.0)) {
                reason = "a WAV file with a sample rate of 0";
                return false;
            }
            rows_ = rowsLeft_ = bytes / blockAlign;
            partial_ = bytes % blockAlign;
            return true;
        }
        // Chunks are padded to an even length.
        if (!seekTo(file_, start + static_cast<int64_t>(length) + (length & 1), SEEK_SET)) break;
    }
    reason = "not a WAV file: its chunks run past its end";
    return false;
}

bool WavFile::skipRows(uint64_t rows) {
    if (rows > rowsLeft_) return false;
    if (!seekTo(file_, static_cast<int64_t>(rows * channels_ * sampleBytes_), SEEK_CUR)) return false;
    rowsLeft_ -= rows;
    return true;
}

bool WavFile::readRows(float* values, size_t rows) {
    if (rows > rowsLeft_) return false;
    const size_t count = rows * channels_;
    buffer_.resize(count * sampleBytes_);
    if (std::fread(buffer_.data(), sampleBytes_, count, file_) != count) return false;
    rowsLeft_ -= rows;
    const unsigned char* in = buffer_.data();
    const double scale = fullScale_;
    switch (encoding_) {
    case Encoding::Unsigned8:
        for (size_t i = 0; i < count; ++i) values[i] = static_cast<float>((in[i] - 128) * (scale / 128.0));
        break;
    case Encoding::Signed16:
        for (size_t i = 0; i < count; ++i, in += 2) {
            values[i] = static_cast<float>(static_cast<int16_t>(read16(in)) * (scale / 32768.0));
        }
        break;
    case Encoding::Signed24:
        for (size_t i = 0; i < count; ++i, in += 3) {
            const int32_t code =
                static_cast<int32_t>((uint32_t(in[0]) << 8 | uint32_t(in[1]) << 16 | uint32_t(in[2]) << 24)) / 256;
            values[i] = static_cast<float>(code * (scale / 8388608.0));
        }
        break;
    case Encoding::Signed32:
        for (size_t i = 0; i < count; ++i, in += 4) {
            values[i] = static_cast<float>(static_cast<int32_t>(read32(in)) * (scale / 2147483648.0));
        }
        break;
    case Encoding::Float32:
        for (size_t i = 0; i < count; ++i, in += 4) {
            const uint32_t bits = read32(in);
            float value;
            std::memcpy(&value, &bits, sizeof value);
            values[i] = static_cast<float>(value * scale);
        }
        break;
    case Encoding::Float64:
        for (size_t i = 0; i < count; ++i, in += 8) {
            const uint64_t bits = read64(in);
            double value;
            std::memcpy(&value, &bits, sizeof value);
            values[i] = static_cast<float>(value * scale);
        }
        break;
    }
    return true;
}
