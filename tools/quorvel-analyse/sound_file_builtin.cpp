#include "tools/quorvel-analyse/sound_file.h"

#include "tools/quorvel-analyse/wav_file.h"

bool openSoundFile(const std::string& path, SoundFormat format, double fullScale, std::unique_ptr<SampleSource>& source,
                   std::string& reason) {
    if (format == SoundFormat::Flac) {
        reason =
            "FLAC files are read by the Linux build of the tool only (it uses libsndfile, which this build "
            "lacks); convert the file to WAV";
        return false;
    }
    auto wav = std::make_unique<WavFile>();
    if (!wav->open(path, fullScale, reason)) return false;
    source = std::move(wav);
    return true;
}
