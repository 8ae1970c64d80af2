#include "analysis/results_list.h"

#include <cstdarg>
#include <cstdio>

namespace {

constexpr double kSqrtHalf = 0.7071067811865476;
// ENB less this gives the PP figure.
constexpr double kPpOffset = 2.7;

void addFormattedLine(ResultsLines& lines, const char* format, ...)
#if defined(__MINGW_PRINTF_FORMAT)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

void addFormattedLine(ResultsLines& lines, const char* format, ...) {
    constexpr int kRoom = static_cast<int>(sizeof lines.line / sizeof lines.line[0]);
    if (lines.count >= kRoom) return;
    char* line = lines.line[lines.count++];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, kResultsLineBytes, format, args);
    va_end(args);
    if (n < 0) line[0] = 0;
}

void addChannelLines(const ChannelRecord& channel, ViewMode viewMode, ResultsLines& sink) {
    addFormattedLine(sink, "---- Channel \xB9%2d, Gain = %2d --------", channel.channelNumber + 1, channel.gain & 0xFF);
    addFormattedLine(sink, "Min   = %7.3f V", channel.min);
    addFormattedLine(sink, "Max   = %7.3f V", channel.max);
    if (viewMode != ViewMode::Scope) {
        addFormattedLine(sink, "Freq  = %7.3f Hz", channel.freq);
        addFormattedLine(sink, "Ampl0 = %7.3f V", channel.ampl0);
        addFormattedLine(sink, "Ampl0 = %7.3f RMS", channel.ampl0 * kSqrtHalf);
        addFormattedLine(sink, "Total = %7.3f RMS", channel.total);
        addFormattedLine(sink, "SINAD = %7.3f", channel.sinad);
        addFormattedLine(sink, "ENB   = %7.3f", channel.enb);
        addFormattedLine(sink, "PP    = %7.3f", channel.enb - kPpOffset);
        addFormattedLine(sink, "SFDR  = %7.3f", channel.sfdr);
        addFormattedLine(sink, "SNR   = %7.3f", channel.snr);
        addFormattedLine(sink, "THD   = %7.3f", channel.thd);
    } else {
        addFormattedLine(sink, "Avg   = %7.3f V", channel.avg);
        addFormattedLine(sink, "RMS   = %7.3f V", channel.rms);
        addFormattedLine(sink, "Ueff  = %7.3f V AC", channel.ueff);
    }
}

}  // namespace

void buildResultsLines(const ChannelRecord* channels, const int32_t* channelShown, int activeChannelCount,
                       ViewMode viewMode, ResultsLines& lines) {
    lines.count = 0;
    if (activeChannelCount < 1 || !channels) {
        addFormattedLine(lines, "%s", "");
        return;
    }
    const int count = activeChannelCount > kChannelRecordCount ? kChannelRecordCount : activeChannelCount;
    for (int i = 0; i < count; ++i) {
        if (channelShown && channelShown[i]) addChannelLines(channels[i], viewMode, lines);
    }
}
