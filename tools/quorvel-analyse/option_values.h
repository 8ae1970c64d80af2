#pragma once
// The values of the tool's options, read from their texts: window lengths in
// the Size list's spellings, FFT windows by id or list name, views, channel
// lists. Each reader returns false with a one-line reason when the text is
// not such a value.
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/view_mode.h"

// Window lengths the tool takes: powers of two from the FFT's shortest to
// 2^30 points.
inline constexpr int32_t kMinToolWindow = 32;
inline constexpr int32_t kMaxToolWindow = 1 << 30;

// A window length: a whole number of points ("65536") or a number with the
// Size list's K (x 1024) or M (x 1048576), fraction allowed: "512", "1.0K",
// "64K", "64.0K", "2.0M". Case and surrounding blanks do not matter.
bool parseSizeText(const std::string& text, int32_t& length, std::string& reason);

// The Size list's text of a length ("1.0K", "2.0M").
std::string sizeText(int32_t length);

// An FFT window: its id 0..13, its list name (case and blanks around it
// ignored), or a part of one list name only ("HFT248D", "7term").
bool parseWindowText(const std::string& text, int32_t& id, std::string& reason);

// A view: scope | volts | db0 | db, the View mode list's texts
// ("Oscilloscope", "Spectre FFT dB0", ...) or the list position 0..3.
bool parseViewText(const std::string& text, ViewMode& view, std::string& reason);

// The tool's short name of a view: "scope", "volts", "db0", "db".
const char* viewName(ViewMode view);

// Channel numbers as the results list shows them (1-based): "1,3,5-8".
// `channels` receives them 0-based, ascending, each once.
bool parseChannelList(const std::string& text, std::vector<int32_t>& channels, std::string& reason);
