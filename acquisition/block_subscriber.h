#pragma once
// What the acquisition engine hands to whoever listens to its blocks (the
// recorder, for one): each block it takes, once the block has passed the
// channel windows. The engine knows its subscribers only through this.
#include <cstdint>

#include "analysis/signal_metrics.h"

// One block as the engine took it, after it was appended to the windows.
struct TakenBlock {
    const ChannelRecord* channels;  // the channel windows
    int32_t channelCount;           // values per row, 1..32
    double channelRate;             // Hz, one channel
    int32_t blockLength;            // B: rows of this block
    const int16_t* codes;           // the block: B x channelCount codes, interleaved
    double voltsPerCount;           // board full scale / 32768
};

class BlockSubscriber {
public:
    // False stops the run: the engine gives the block back to nobody and
    // reports the subscriber in its tick result.
    virtual bool takeBlock(const TakenBlock& block) = 0;

protected:
    ~BlockSubscriber() = default;
};
