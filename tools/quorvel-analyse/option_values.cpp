#include "tools/quorvel-analyse/option_values.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "analysis/fft_window.h"
#include "analysis/signal_metrics.h"
#include "config/settings.h"

namespace {

std::string trimmed(const std::string& text) {
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    auto first = std::find_if_not(text.begin(), text.end(), blank);
    auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool allDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// A whole number of 1..9 digits.
bool readCount(const std::string& text, int32_t& value) {
    if (!allDigits(text) || text.size() > 9) return false;
    value = static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
    return true;
}

}  // namespace

std::string sizeText(int32_t length) {
    char text[256];
    formatSizeText(text, length);
    return text;
}

bool parseSizeText(const std::string& text, int32_t& length, std::string& reason) {
    const std::string plain = lowered(trimmed(text));
    const std::string range = "a power of two from " + sizeText(kMinToolWindow) + " to " + sizeText(kMaxToolWindow);
    reason = "'" + text + "' is not a window length (" + range + ": 512, 1.0K, 64K, 2.0M, ...)";
    if (plain.empty()) return false;
    double multiplier = 1.0;
    std::string number = plain;
    if (number.back() == 'k' || number.back() == 'm') {
        multiplier = number.back() == 'k' ? 1024.0 : 1048576.0;
        number.pop_back();
    }
    // Digits with at most one point, and a digit before it.
    const size_t point = number.find('.');
    const std::string whole = number.substr(0, point);
    const std::string fraction = point == std::string::npos ? std::string() : number.substr(point + 1);
    if (!allDigits(whole) || (point != std::string::npos && !allDigits(fraction)) || whole.size() > 10) return false;
    const double value = std::strtod(number.c_str(), nullptr) * multiplier;
    if (!(value >= 1.0 && value <= kMaxToolWindow) || value != std::floor(value)) return false;
    const auto points = static_cast<int32_t>(value);
    if (points < kMinToolWindow || (points & (points - 1)) != 0) {
        reason = "'" + text + "' is not " + range;
        return false;
    }
    length = points;
    reason.clear();
    return true;
}

bool parseWindowText(const std::string& text, int32_t& id, std::string& reason) {
    const std::string plain = lowered(trimmed(text));
    int32_t number = 0;
    if (readCount(plain, number)) {
        if (number < kFftWindowCount) {
            id = number;
            return true;
        }
        reason =
            "window id " + plain + " does not exist (the ids are 0 to " + std::to_string(kFftWindowCount - 1) + ")";
        return false;
    }
    std::vector<int32_t> parts;
    for (int32_t i = 0; i < kFftWindowCount && !plain.empty(); ++i) {
        const std::string name = lowered(kFftWindowNames[i]);
        if (name == plain) {
            id = i;
            return true;
        }
        if (name.find(plain) != std::string::npos) parts.push_back(i);
    }
    if (parts.size() == 1) {
        id = parts[0];
        return true;
    }
    if (parts.empty()) {
        reason = "unknown window name '" + text + "' (--list-windows shows the windows)";
        return false;
    }
    reason = "window name '" + text + "' fits several windows:";
    for (size_t k = 0; k < parts.size(); ++k) {
        reason += (k ? "; " : " ") + std::to_string(parts[k]) + " " + kFftWindowNames[parts[k]];
    }
    return false;
}

bool parseViewText(const std::string& text, ViewMode& view, std::string& reason) {
    struct Spelling {
        const char* text;
        ViewMode view;
    };
    static const Spelling spellings[] = {
        {"scope", ViewMode::Scope},         {"oscilloscope", ViewMode::Scope},          {"0", ViewMode::Scope},
        {"volts", ViewMode::SpectrumVolts}, {"spectre fft v", ViewMode::SpectrumVolts}, {"1", ViewMode::SpectrumVolts},
        {"db0", ViewMode::SpectrumDb0},     {"spectre fft db0", ViewMode::SpectrumDb0}, {"2", ViewMode::SpectrumDb0},
        {"db", ViewMode::SpectrumDb},       {"spectre fft db", ViewMode::SpectrumDb},   {"3", ViewMode::SpectrumDb},
    };
    const std::string plain = lowered(trimmed(text));
    for (const Spelling& s : spellings) {
        if (plain == s.text) {
            view = s.view;
            return true;
        }
    }
    reason = "unknown view '" + text + "' (scope, volts, db0 or db)";
    return false;
}

const char* viewName(ViewMode view) {
    switch (view) {
    case ViewMode::Scope:
        return "scope";
    case ViewMode::SpectrumVolts:
        return "volts";
    case ViewMode::SpectrumDb0:
        return "db0";
    case ViewMode::SpectrumDb:
        return "db";
    }
    return "db";
}

bool parseChannelList(const std::string& text, std::vector<int32_t>& channels, std::string& reason) {
    bool chosen[kChannelRecordCount] = {};
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = trimmed(text.substr(start, comma - start));
        start = comma + 1;
        const size_t dash = item.find('-');
        int32_t first = 0, last = 0;
        const bool read = dash == std::string::npos ? readCount(item, first) && (last = first, true)
                                                    : readCount(trimmed(item.substr(0, dash)), first) &&
                                                          readCount(trimmed(item.substr(dash + 1)), last);
        if (!read || first < 1 || last > kChannelRecordCount || first > last) {
            reason = "'" + item + "' in the channel list '" + text + "' is not a channel number from 1 to " +
                     std::to_string(kChannelRecordCount) + " or a range of them (1-4)";
            return false;
        }
        for (int32_t c = first; c <= last; ++c) chosen[c - 1] = true;
    }
    channels.clear();
    for (int32_t c = 0; c < kChannelRecordCount; ++c) {
        if (chosen[c]) channels.push_back(c);
    }
    return true;
}
