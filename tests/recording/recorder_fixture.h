#pragma once
// A recorder on an in-memory disk or the platform's files, the channel
// windows it reads, and helpers that build blocks and read rows back from
// file bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/signal_metrics.h"
#include "platform/text_cp1251.h"
#include "recording/record_format.h"
#include "recording/recorder.h"
#include "tests/support/fake_storage.h"

inline constexpr double kChannelRate = 25000.0;
// 10 V full scale: a power of two apart from the 10, so that every code
// scales to the same double however the product is grouped.
inline constexpr double kVoltsPerCount = 10.0 / 32768.0;

// The value a test puts at position j of channel c's window; not exact in
// float32, so that the conversion shows.
inline double windowValue(int c, int32_t j) { return c * 1000.0 + j * 0.1 - 3.0; }

// Code of sample k of channel c in a test's stream of blocks.
inline int16_t streamCode(int64_t k, int c) { return static_cast<int16_t>((k * 7 + c * 1000) % 30000 - 15000); }

// Volts of a code as the acquisition scales it (a gain of 0 or less as 1).
inline double streamVolts(int16_t code, int32_t gain) { return code * kVoltsPerCount / (gain > 0 ? gain : 1); }

// The codes of stream samples first .. first+length-1, interleaved.
inline std::vector<int16_t> streamBlock(int64_t first, int32_t length, int channels) {
    std::vector<int16_t> codes(static_cast<size_t>(length) * channels);
    for (int32_t j = 0; j < length; ++j) {
        for (int c = 0; c < channels; ++c) {
            codes[static_cast<size_t>(j) * channels + c] = streamCode(first + j, c);
        }
    }
    return codes;
}

// What the acquisition does with a block before the recorder sees it: each
// window with buffers drops its `length` oldest values and takes the block's
// samples at its end (the block's last N when it is longer than the window).
inline void slideWindows(ChannelRecord* channels, int count, const std::vector<int16_t>& codes, int32_t length) {
    for (int c = 0; c < count; ++c) {
        ChannelRecord& ch = channels[c];
        if (!ch.hasBuffers()) continue;
        const int32_t n = ch.sampleCount;
        const int32_t kept = length < n ? n - length : 0;
        std::memmove(ch.samples, ch.samples + (n - kept), sizeof(double) * static_cast<size_t>(kept));
        for (int32_t i = kept; i < n; ++i) {
            const int32_t j = length - (n - i);
            ch.samples[i] = streamVolts(codes[static_cast<size_t>(j) * count + c], ch.gain);
        }
    }
}

// The float32 values after the header, in file order.
inline std::vector<float> rowValues(const std::string& fileBytes) {
    std::vector<float> values;
    if (fileBytes.size() < kRecordHeaderBytes + sizeof(float)) return values;
    values.resize((fileBytes.size() - kRecordHeaderBytes) / sizeof(float));
    std::memcpy(values.data(), fileBytes.data() + kRecordHeaderBytes, values.size() * sizeof(float));
    return values;
}

// Checks every value of `values` (rows of `channels` values) against
// want(row, channel) and reports the first few that differ.
template <class Want>
void expectRows(const std::vector<float>& values, int channels, Want want) {
    int reported = 0;
    for (size_t i = 0; i < values.size() && reported < 3; ++i) {
        const int64_t row = static_cast<int64_t>(i / channels);
        const int c = static_cast<int>(i % channels);
        const float expected = want(row, c);
        if (values[i] != expected) {
            ++reported;
            ADD_FAILURE() << "row " << row << " channel " << c << ": got " << values[i] << ", want " << expected;
        }
    }
}

inline std::string headerBytes(uint32_t channels, double rate) {
    const RecordHeader header = makeRecordHeader(channels, rate);
    return std::string(reinterpret_cast<const char*>(&header), sizeof header);
}

// A recorder with what it reads: the channel windows and, unless the
// platform's files are asked for, an in-memory disk. Its files are "rec"
// numbered from 001.
struct RecorderBench {
    explicit RecorderBench(bool platformFiles = false)
        : recorder(platformFiles ? platformStorage() : static_cast<RecordStorage&>(disk)) {
        recorder.setFile("rec", 1);
    }

    // A block written as the program writes it: a failure's message is
    // shown (kept in `errors`, code page 1251).
    bool write(const RecordedBlock& recorded) {
        if (recorder.writeBlock(recorded)) return true;
        errors.push_back(utf8ToCp1251(recordFailureMessage(recorder.failure())));
        return false;
    }

    // Channels 0..count-1 get windows of n samples holding windowValue.
    void fillWindows(int count, int32_t n) {
        for (int c = 0; c < count; ++c) {
            ASSERT_TRUE(channels[c].allocateBuffers(n));
            for (int32_t j = 0; j < n; ++j) channels[c].samples[j] = windowValue(c, j);
        }
    }

    RecordedBlock block(int count, int32_t length, const int16_t* codes = nullptr) {
        return RecordedBlock{channels, count, kChannelRate, length, codes, kVoltsPerCount};
    }

    // Slides the stream's next block into the windows and records it.
    bool recordStreamBlock(int count, int32_t length) {
        const std::vector<int16_t> codes = streamBlock(streamPosition, length, count);
        streamPosition += length;
        slideWindows(channels, count, codes, length);
        return write(block(count, length, codes.data()));
    }

    // Members in this order: the recorder closes an open file into the disk
    // when it goes, so the disk goes after it.
    FakeStorage disk;
    std::vector<std::string> errors;
    ChannelRecord channels[kMaxRecordChannels];
    Recorder recorder;
    int64_t streamPosition = 0;
};

inline const std::string& cannotOpenText() {
    static const std::string text = utf8ToCp1251("Ошибка... \n Не могу открыть файл.");
    return text;
}

inline const std::string& cannotWriteText() {
    static const std::string text = utf8ToCp1251("Ошибка... \n Не могу записать в файл.");
    return text;
}
