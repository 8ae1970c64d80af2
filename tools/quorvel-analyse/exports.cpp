#include "tools/quorvel-analyse/exports.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <variant>

#include "analysis/fft_window.h"
#include "analysis/results_list.h"
#include "platform/text_cp1251.h"
#include "tools/quorvel-analyse/option_values.h"

namespace {

constexpr double kSqrtHalf = 0.7071067811865476;    // as the results list
constexpr double kPpOffset = 2.7;                   // PP = ENB - 2.7, as the results list

using FieldValue = std::variant<std::string, int64_t, double>;

struct Field {
    const char* name;
    FieldValue value;
};

// The record of one channel, fields in the order of the header comment.
std::vector<Field> recordFields(const std::string& file, const ChannelRecord& ch, const AnalysisSettings& s,
                                double channelRate, int64_t windows) {
    std::vector<Field> fields = {
        {"file", file},
        {"channel", int64_t{ch.channelNumber + 1}},
        {"gain", int64_t{ch.gain}},
        {"channel_rate_hz", channelRate},
        {"size", int64_t{s.windowLength}},
        {"windows", windows},
        {"window_id", int64_t{s.windowId}},
        {"window", std::string(kFftWindowNames[s.windowId])},
        {"averaging", int64_t{s.averaging}},
        {"average_counter", int64_t{s.averageCounter}},
        {"view", std::string(viewName(s.view))},
        {"min_v", ch.min},
        {"max_v", ch.max},
    };
    if (isSpectrumView(s.view)) {
        fields.insert(fields.end(), {
                                        {"freq_hz", ch.freq},
                                        {"ampl0_v", ch.ampl0},
                                        {"ampl0_rms", ch.ampl0 * kSqrtHalf},
                                        {"total_rms", ch.total},
                                        {"sinad_db", ch.sinad},
                                        {"enb", ch.enb},
                                        {"pp", ch.enb - kPpOffset},
                                        {"sfdr_db", ch.sfdr},
                                        {"snr_db", ch.snr},
                                        {"thd_db", ch.thd},
                                    });
    } else {
        fields.insert(fields.end(), {{"avg_v", ch.avg}, {"rms_v", ch.rms}, {"ueff_v", ch.ueff}});
    }
    return fields;
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string csvValue(const FieldValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) return csvField(*text);
    if (const auto* whole = std::get_if<int64_t>(&value)) return std::to_string(*whole);
    return fullPrecision(std::get<double>(value));
}

}  // namespace

std::string fullPrecision(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    // The fewest significant digits, from 15, that read back as the value:
    // "100000" and "0.1" rather than "1e+05" and "0.10000000000000001".
    char text[32];
    for (int digits = 15;; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (digits == 17 || std::strtod(text, nullptr) == value) return text;
    }
}

std::vector<std::string> resultsLines(const FileAnalysis& analysis, const std::vector<int32_t>& shown) {
    int32_t listed[kChannelRecordCount] = {};
    for (int32_t c : shown) {
        if (c >= 0 && c < analysis.channelCount()) listed[c] = 1;
    }
    const auto built = std::make_unique<ResultsLines>();
    buildResultsLines(analysis.channels, listed, analysis.channelCount(), analysis.settings().view, *built);
    std::vector<std::string> lines;
    for (int i = 0; i < built->count; ++i) lines.push_back(cp1251ToUtf8(built->line[i]));
    return lines;
}

void writeCsvHeader(std::ostream& out, ViewMode view) {
    AnalysisSettings settings;
    settings.view = view;
    const ChannelRecord none;
    const std::vector<Field> fields = recordFields("", none, settings, 0.0, 0);
    for (size_t k = 0; k < fields.size(); ++k) out << (k ? "," : "") << fields[k].name;
    out << '\n';
}

void writeCsvRecords(std::ostream& out, const std::string& file, const FileAnalysis& analysis,
                     const std::vector<int32_t>& shown) {
    for (int32_t c : shown) {
        const std::vector<Field> fields = recordFields(file, analysis.channels[c], analysis.settings(),
                                                       analysis.channelRate(), analysis.windowsAnalysed());
        for (size_t k = 0; k < fields.size(); ++k) out << (k ? "," : "") << csvValue(fields[k].value);
        out << '\n';
    }
}

void appendJsonRecords(nlohmann::ordered_json& records, const std::string& file, const FileAnalysis& analysis,
                       const std::vector<int32_t>& shown) {
    for (int32_t c : shown) {
        nlohmann::ordered_json record = nlohmann::ordered_json::object();
        for (const Field& field : recordFields(file, analysis.channels[c], analysis.settings(), analysis.channelRate(),
                                                       analysis.windowsAnalysed())) {
            if (const auto* text = std::get_if<std::string>(&field.value)) record[field.name] = *text;
            else if (const auto* whole = std::get_if<int64_t>(&field.value)) record[field.name] = *whole;
            else if (std::isfinite(std::get<double>(field.value))) record[field.name] = std::get<double>(field.value);
            else record[field.name] = nullptr;
        }
        records.push_back(std::move(record));
    }
}

void writeSpectrumHeader(std::ostream& out) { out << "file,channel,bin,frequency_hz,v_rms,db_fs\n"; }

void writeSpectrumRows(std::ostream& out, const std::string& file, const FileAnalysis& analysis,
                       const std::vector<int32_t>& shown, double fullScale) {
    const int32_t n = analysis.settings().windowLength;
    const double binWidth = analysis.channelRate() / n;
    const double reference = fullScale * fullScale;
    const std::string name = csvField(file);
    std::string row;
    for (int32_t c : shown) {
        const ChannelRecord& channel = analysis.channels[c];
        if (!channel.hasBuffers()) continue;
        const std::string prefix = name + "," + std::to_string(c + 1) + ",";
        for (int32_t k = 0; k < n / 2; ++k) {
            const double power = channel.powerSpectrum[k];
            row = prefix;
            row += std::to_string(k);
            row += ',';
            row += fullPrecision(k * binWidth);
            row += ',';
            row += fullPrecision(std::sqrt(power));
            row += ',';
            row += fullPrecision(10.0 * std::log10(power / reference));
            row += '\n';
            out << row;
        }
    }
}
