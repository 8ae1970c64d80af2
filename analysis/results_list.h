#pragma once
// The lines of the results list: per shown channel a header, its extremes
// and, depending on the view, its spectrum metrics or its time statistics.
// Texts are in code page 1251 ("\xB9" is the numero sign).
#include <cstdint>

#include "analysis/signal_metrics.h"
#include "analysis/view_mode.h"

// Size of one formatted line, terminator included; longer lines are cut.
inline constexpr int kResultsLineBytes = 256;

// Lines per shown channel.
inline constexpr int kSpectrumLinesPerChannel = 13;
inline constexpr int kScopeLinesPerChannel = 6;

// The lines of the list, in order: room for every channel's block in a
// spectrum view (about 104 KiB, so keep it off the stack).
struct ResultsLines {
    int count = 0;
    char line[kChannelRecordCount * kSpectrumLinesPerChannel][kResultsLineBytes];
};

// Writes the lines of the list into `lines`: one empty line when no channel
// is in use; otherwise the block of every channel 0..activeChannelCount-1
// whose channelShown flag is set (13 lines in the spectrum views, 6 in the
// oscilloscope view; any other value counts as a spectrum view). Volt values
// are shown as stored in the records.
void buildResultsLines(const ChannelRecord* channels, const int32_t* channelShown, int activeChannelCount,
                       ViewMode viewMode, ResultsLines& lines);
