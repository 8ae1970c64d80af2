#include "tools/quorvel-analyse/simulated_recording.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "recording/recorder.h"
#include "tools/quorvel-analyse/file_system.h"

namespace {

// Frames per block handed to the recorder.
constexpr int32_t kBlockFrames = 1 << 16;
// The channel windows are shorter than every block, so the recorder writes
// each block from its codes (see Recorder::writeBlock).
constexpr int32_t kWindowLength = 2;
// The noise seed of channel k is this plus k, as the board seeds it at each
// start.
constexpr uint64_t kNoiseSeed = 0x51B0A4D000000000ull;

// The platform's files, except that the data file is always `path`: the
// recorder names its files after the File setting, cut at its first dot,
// with ".MRF" added, which would not allow every name or folder.
class ExactNameStorage final : public RecordStorage {
public:
    explicit ExactNameStorage(std::string path) : path_(std::move(path)), files_(platformStorage()) {}
    FileHandle create(const char*, bool) override { return files_.create(path_.c_str(), true); }
    bool write(FileHandle file, const void* bytes, size_t length, size_t* written) override {
        return files_.write(file, bytes, length, written);
    }
    bool truncate(FileHandle file, uint64_t size) override { return files_.truncate(file, size); }
    void close(FileHandle file) override { files_.close(file); }
    bool remove(const char*) override { return files_.remove(path_.c_str()); }
    bool exists(const char*) override { return files_.exists(path_.c_str()); }
    uint64_t freeBytes() override { return files_.freeBytes(); }

private:
    std::string path_;
    RecordStorage& files_;
};

}  // namespace

uint64_t simulatedFrames(const simboard::BoardSettings& board, double seconds) {
    const double frames = seconds * simboard::frameRate(board.channels, board.paired, board.rate);
    if (!(frames >= 0.5) || !std::isfinite(frames)) return 0;
    return static_cast<uint64_t>(std::llround(frames));
}

bool writeSimulatedRecording(const simboard::BoardSettings& board, uint64_t frames, const std::string& path,
                             ChannelWorkers* workers, const std::function<void(uint64_t framesDone)>& progress,
                             SimulatedRecording& made, std::string& reason) {
    const int32_t count = std::clamp(board.channels, 1, simboard::kMaxChannels);
    const double frameRate = simboard::frameRate(count, board.paired, board.rate);
    // As the bench takes the board's full scale: one that is not above 0
    // counts as 1 V (the converter, too, then works with 1 V).
    const double fullScale = board.fullScale > 0.0f && std::isfinite(board.fullScale) ? board.fullScale : 1.0;
    made = SimulatedRecording{count, frameRate, 0};

    std::vector<simboard::ChannelSignal> signals;
    signals.reserve(static_cast<size_t>(count));
    for (int32_t k = 0; k < count; ++k) signals.emplace_back(board.channel[k], frameRate, kNoiseSeed + k);

    ChannelRecord windows[kMaxRecordChannels];
    for (int32_t k = 0; k < count; ++k) {
        windows[k].channelNumber = k;
        windows[k].gain = board.channel[k].gain;
        if (!windows[k].allocateBuffers(kWindowLength)) {
            reason = "out of memory";
            return false;
        }
    }
    std::unique_ptr<int16_t[]> codes(new (std::nothrow) int16_t[size_t(kBlockFrames + kWindowLength) * count]);
    if (!codes) {
        reason = "out of memory";
        return false;
    }

    // The recording is made under a temporary name beside its target and
    // renamed when complete, so a run that fails (a full disk, a size limit)
    // or is stopped never leaves a shorter file that looks whole.
    const std::string temporary = path + "." + std::to_string(currentProcessId()) + ".tmp";
    ExactNameStorage storage(temporary);
    Recorder recorder(storage);
    recorder.setFile("Simulated", 0);
    recorder.setRecording(true);

    for (uint64_t done = 0; done < frames;) {
        // A block of kBlockFrames, or the rest; a rest that would leave a
        // block no longer than the windows goes into this block.
        const uint64_t left = frames - done;
        const int32_t rows = static_cast<int32_t>(left <= uint64_t(kBlockFrames) + kWindowLength ? left : kBlockFrames);
        auto convert = [&](int c) {
            const simboard::ChannelSettings& channel = board.channel[c];
            simboard::ChannelSignal& signal = signals[static_cast<size_t>(c)];
            int16_t* out = codes.get() + c;
            for (int32_t f = 0; f < rows; ++f) {
                const double volts = signal.volts(done + static_cast<uint64_t>(f)) * channel.gain;
                out[static_cast<size_t>(f) * count] = simboard::quantize(volts, board.fullScale, channel.bits);
            }
        };
        forEachChannel(workers, count, convert);

        const double voltsPerCount = fullScale / 32768.0;
        if (rows <= kWindowLength) {
            // Only a recording of one or two frames: the recorder takes them
            // from the windows.
            for (int32_t c = 0; c < count; ++c) {
                const double scale = voltsPerCount / windows[c].gain;
                for (int32_t f = 0; f < rows; ++f) {
                    windows[c].samples[f] = codes[static_cast<size_t>(f) * count + c] * scale;
                }
            }
        }
        const RecordedBlock block{windows, count, frameRate, rows, codes.get(), voltsPerCount};
        errno = 0;
        if (!recorder.writeBlock(block)) {
            const int error = errno;
            recorder.halt();
            std::remove(temporary.c_str());
            reason = "cannot be written";
            if (error != 0) reason += std::string(": ") + std::strerror(error);
            reason += " (nothing was written under this name)";
            return false;
        }
        done += static_cast<uint64_t>(rows);
        made.frames = done;
        if (progress) progress(done);
    }
    recorder.halt();
    std::string why;
    if (!replaceFile(temporary, path, why)) {
        std::remove(temporary.c_str());
        reason = "could not be put in place: " + why;
        return false;
    }
    return true;
}
