#pragma once
// The markers of a spectrum: the level line, the fundamental and its
// harmonics, as the tone analysis places them and as the plot component
// draws them with a curve (display/plot_interface.h hands these records to
// it unchanged, so their layout is the component's).
#include <cstddef>
#include <cstdint>

// One marker drawn with a curve (five 32-bit words).
struct MarkerRecord {
    uint32_t kind;      // kMarkerLevelLine, kMarkerBin or kMarkerNone
    uint32_t colour;    // 0x00BBGGRR
    uint32_t reserved;  // always 0
    int32_t bin;        // spectrum bin (0 for a level line)
    union {
        int32_t channel;  // bin marker: channel index
        float level;      // level line: the level
    };
};
static_assert(sizeof(MarkerRecord) == 20);
static_assert(offsetof(MarkerRecord, bin) == 12);

inline constexpr uint32_t kMarkerNone = 0;
inline constexpr uint32_t kMarkerBin = 0x202;
inline constexpr uint32_t kMarkerLevelLine = 0x40000001;
inline constexpr int kMarkersPerChannel = 12;
