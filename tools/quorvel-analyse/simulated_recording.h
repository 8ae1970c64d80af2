#pragma once
// A recording of the simulated board, made natively: the board's signal
// model (components/simboard/protocol.h) gives each channel's volts frame by
// frame, the board's converter turns them into codes (gain before it, as on
// the board), and the bench's recorder writes the blocks of codes, scaled
// back to volts as the bench scales them (full scale / 32768 / gain), into
// a data file of the bench's format.
#include <cstdint>
#include <functional>
#include <string>

#include "analysis/channel_workers.h"
#include "components/simboard/protocol.h"

struct SimulatedRecording {
    int32_t channels = 0;      // values per row
    double channelRate = 0.0;  // Hz, frames per second
    uint64_t frames = 0;       // rows written
};

// Frames that `seconds` of the board give: seconds x frame rate, rounded.
uint64_t simulatedFrames(const simboard::BoardSettings& board, double seconds);

// Writes `frames` (at least 1) frames of the board to exactly `path` (any name; an
// existing file is replaced once the recording is complete: it is written
// under a temporary name beside `path` first, and removed on failure). The workers (null: the calling thread) share
// the channels of each block. False, with a one-line reason, when the file
// cannot be created or written.
bool writeSimulatedRecording(const simboard::BoardSettings& board, uint64_t frames, const std::string& path,
                             ChannelWorkers* workers, const std::function<void(uint64_t framesDone)>& progress,
                             SimulatedRecording& made, std::string& reason);
