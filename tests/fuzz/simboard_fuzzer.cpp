// SimBoard.cfg from any bytes: the simulated board's settings come out within
// their ranges, and the board answers its records and runs a short
// acquisition with them.
#include <cmath>

#include "components/simboard/protocol.h"
#include "config/config_reader.h"
#include "fuzz_support.h"
#include "tests/support/board_clocks.h"

namespace {

using simboard::BoardSettings;

void checkSettings(const BoardSettings& s) {
    FUZZ_CHECK(static_cast<int32_t>(s.failCapability) >= 0 && static_cast<int32_t>(s.failCapability) <= 3);
    FUZZ_CHECK(std::isfinite(s.fullScale) && s.fullScale >= 0.0f);
    FUZZ_CHECK(s.channels >= 1 && s.channels <= simboard::kMaxChannels);
    FUZZ_CHECK(s.rate > 0.0 && s.rate <= 1e9);
    FUZZ_CHECK(!s.paired || s.channels % 2 == 0);
    FUZZ_CHECK(std::isfinite(s.disconnectAfter));
    for (const simboard::ChannelSettings& c : s.channel) {
        FUZZ_CHECK(std::isfinite(c.frequency) && std::isfinite(c.amplitude) && std::isfinite(c.dc));
        FUZZ_CHECK(std::isfinite(c.noise) && c.noise >= 0.0);
        FUZZ_CHECK(c.bits >= 1 && c.bits <= 16);
        FUZZ_CHECK(c.gain >= 1 && c.gain <= 255);
        FUZZ_CHECK(c.harmonicCount >= 0 && c.harmonicCount <= simboard::kMaxHarmonics);
        FUZZ_CHECK(c.colour <= 0xFFFFFF);
    }
}

// A code of a b-bit converter is a whole number of its steps.
void checkCode(int16_t code, int32_t bits) { FUZZ_CHECK(code % (1 << (16 - bits)) == 0); }

void answerRecords(const BoardSettings& s) {
    BoardParameters parameters = emptyBoardParameters();
    FUZZ_CHECK(simboard::control(s, kControlRead, &parameters));
    FUZZ_CHECK(parameters.channelCount == static_cast<uint32_t>(s.channels));
    ChannelList list{};
    list.type = kChannelListType;
    list.size = sizeof list;
    FUZZ_CHECK(simboard::control(s, kControlRead, &list));
    FUZZ_CHECK(list.count == static_cast<uint32_t>(s.channels));
    for (int32_t code : {kDevicePropertyStatus, kDevicePropertyCapabilities, kDevicePropertyFullScale}) {
        unsigned char out[16];
        simboard::deviceProperty(s, code, out);
    }
}

// Blocks of 4 frames: one a second after the start, one more after a long
// wait, with a backlog far beyond the int32 range of block counts.
void acquire(const BoardSettings& s) {
    DrivenClock clock;
    simboard::Acquisition board(clock);
    board.configure(s);
    if (!board.open(4)) return;
    board.setBlockSamples(s.channels * 4);
    BoardParameters parameters = emptyBoardParameters();
    simboard::control(s, kControlRead, &parameters);
    if (!board.start(&parameters.acquisition)) return;
    for (uint64_t step : {UINT64_C(1000000), UINT64_C(1) << 40}) {
        clock.advance(step);
        board.readyBlocks();
        const int16_t* block = board.takeBlock();
        if (!block) continue;
        for (int32_t f = 0; f < board.blockFrames(); ++f) {
            for (int32_t c = 0; c < s.channels; ++c) checkCode(block[f * s.channels + c], s.channel[c].bits);
        }
        FUZZ_CHECK(board.releaseBlock());
    }
    board.stop();
}

// Each channel's signal at a frame far beyond any block above.
void farSamples(const BoardSettings& s) {
    const double rate = simboard::frameRate(s.channels, s.paired, s.rate);
    for (int32_t c = 0; c < s.channels; ++c) {
        simboard::ChannelSignal signal(s.channel[c], rate, 1 + c);
        for (uint64_t frame : {UINT64_C(0), UINT64_C(1) << 62}) {
            const double volts = signal.volts(frame) * s.channel[c].gain;
            checkCode(simboard::quantize(volts, s.fullScale, s.channel[c].bits), s.channel[c].bits);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ConfigReader reader(reinterpret_cast<const char*>(data), size);
    const BoardSettings settings = simboard::readSettings(reader);
    checkSettings(settings);
    answerRecords(settings);
    acquire(settings);
    farSamples(settings);
    return 0;
}
