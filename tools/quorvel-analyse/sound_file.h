#pragma once
// WAV and FLAC files as rows of volts, a sample of 1.0 (an integer sample's
// full code range) being the full scale. sound_file_sndfile.cpp reads both
// through libsndfile (the Linux build); sound_file_builtin.cpp reads WAV with
// the tool's own reader (wav_file.h) and refuses FLAC with a message (the
// Windows build, which has no libsndfile, and the fuzz build).
#include <memory>
#include <string>

#include "tools/quorvel-analyse/sample_source.h"

enum class SoundFormat { Wav, Flac };

// Which sound format `bytes` (a file's first bytes) begin, if any.
bool soundFormatOf(const unsigned char* bytes, size_t length, SoundFormat& format);

bool openSoundFile(const std::string& path, SoundFormat format, double fullScale, std::unique_ptr<SampleSource>& source,
                   std::string& reason);
