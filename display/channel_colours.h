#pragma once
// The preset display colour of each channel: channel k takes entry k mod 19
// (COLORREF values 0x00BBGGRR). The program presets its channel colours with
// it and the simulated board reports it for channels without a colour of
// their own.
#include <cstdint>

inline constexpr uint32_t kPresetChannelColours[] = {
    0x00FF00, 0x0000FF, 0xFF0000, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x008000, 0x000080, 0x800000, 0x808000,
    0x800080, 0x008080, 0x80FF80, 0x8080FF, 0xFF8080, 0xFFFF80, 0xFF80FF, 0x80FFFF, 0xFFFFFF,
};
inline constexpr int kPresetChannelColourCount = sizeof kPresetChannelColours / sizeof kPresetChannelColours[0];
static_assert(kPresetChannelColourCount == 19);

inline constexpr uint32_t presetChannelColour(int channel) {
    return kPresetChannelColours[(channel < 0 ? 0 : channel) % kPresetChannelColourCount];
}
