#pragma once
// The inputs the tool reads, each as a SampleSource of float32 volts:
//   - the bench's recordings (.MRF, recording_file.h), by default;
//   - raw little-endian binary rows (--raw): int16 or int32 codes scaled as
//     the bench scales the converter's codes (full scale / 32768, full scale
//     / 2^31), or float32 volts as they are;
//   - WAV and FLAC sound files, known by their first bytes; a sample of 1.0
//     is the full scale.
#include <cstdint>
#include <memory>
#include <string>

#include "tools/quorvel-analyse/sample_source.h"

enum class RawSample { None, Int16, Int32, Float32 };

struct InputOptions {
    RawSample raw = RawSample::None;  // None: recordings and sound files
    double rawRate = 0.0;             // Hz, one channel of a raw file
    int32_t rawChannels = 1;          // values per row of a raw file, 1..32
    double fullScale = 10.0;          // V: codes and sound samples are scaled to it
};

// "int16", "int32", "float32" (case ignored); false with a reason otherwise.
bool parseRawSampleText(const std::string& text, RawSample& sample, std::string& reason);

// Opens `path` as the options say. False, with a one-line reason without the
// file name, when it cannot be read or is none of the inputs.
bool openSampleSource(const std::string& path, const InputOptions& options, std::unique_ptr<SampleSource>& source,
                      std::string& reason);
