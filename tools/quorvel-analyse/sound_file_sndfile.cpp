#include "tools/quorvel-analyse/sound_file.h"

#include <sndfile.h>

#include <vector>

#include "analysis/signal_metrics.h"

namespace {

class SndFile final : public SampleSource {
public:
    ~SndFile() override {
        if (file_) sf_close(file_);
    }
    bool open(const std::string& path, double fullScale, std::string& reason) {
        file_ = sf_open(path.c_str(), SFM_READ, &info_);
        if (!file_) {
            reason = std::string("not a sound file that libsndfile reads: ") + sf_strerror(nullptr);
            return false;
        }
        if (info_.channels < 1 || info_.channels > kChannelRecordCount) {
            reason = "a sound file of " + std::to_string(info_.channels) + " channels (1 to " +
                     std::to_string(kChannelRecordCount) + " are read)";
            return false;
        }
        if (info_.samplerate <= 0 || info_.frames < 0) {
            reason = "a sound file without a sample rate or length";
            return false;
        }
        // Integer samples are read as floats with the full code range at 1.0.
        sf_command(file_, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
        scale_ = static_cast<float>(fullScale);
        left_ = static_cast<uint64_t>(info_.frames);
        return true;
    }
    uint32_t channelCount() const override { return static_cast<uint32_t>(info_.channels); }
    double channelRate() const override { return info_.samplerate; }
    uint64_t rowCount() const override { return static_cast<uint64_t>(info_.frames); }
    bool skipRows(uint64_t rows) override {
        if (rows > left_) return false;
        if (sf_seek(file_, static_cast<sf_count_t>(rows), SEEK_CUR) < 0) return false;
        left_ -= rows;
        return true;
    }
    bool readRows(float* values, size_t rows) override {
        if (rows > left_) return false;
        if (sf_readf_float(file_, values, static_cast<sf_count_t>(rows)) != static_cast<sf_count_t>(rows)) {
            return false;
        }
        left_ -= rows;
        const size_t count = rows * channelCount();
        for (size_t i = 0; i < count; ++i) values[i] *= scale_;
        return true;
    }

private:
    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
    float scale_ = 1.0f;
    uint64_t left_ = 0;
};

}  // namespace

bool openSoundFile(const std::string& path, SoundFormat, double fullScale, std::unique_ptr<SampleSource>& source,
                   std::string& reason) {
    auto sound = std::make_unique<SndFile>();
    if (!sound->open(path, fullScale, reason)) return false;
    source = std::move(sound);
    return true;
}
