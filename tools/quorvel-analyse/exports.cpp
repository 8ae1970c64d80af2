#include "tools/quorvel-analyse/exports.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <variant>

#include "analysis/fft_window.h"
#include "analysis/results_list.h"
#include "platform/text_cp1251.h"
#include "tools/quorvel-analyse/option_values.h"

namespace {

constexpr double kSqrtHalf = 0.7071067811865476;  // as the results list
constexpr double kPpOffset = 2.7;                 // PP = ENB - 2.7, as the results list

using FieldValue = std::variant<std::string, int64_t, double, std::vector<int32_t>>;

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

struct Field {
    std::string name;
    FieldValue value;
};

// The bench's fields of a channel's record from min_v on: what the view's
// list lines show.
void appendViewFields(std::vector<Field>& fields, const ChannelRecord& ch, ViewMode view) {
    fields.insert(fields.end(), {{"min_v", ch.min}, {"max_v", ch.max}});
    if (isSpectrumView(view)) {
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
}

constexpr const char* kSeriesNames[kSeriesFigureCount] = {"sinad_db", "enb", "sfdr_db", "snr_db", "thd_db"};

// <name>_mean, _std, _min, _max of a series.
void appendSeriesFields(std::vector<Field>& fields, const std::string& name, const WindowSeries& series) {
    fields.insert(fields.end(), {{name + "_mean", series.mean()},
                                 {name + "_std", series.standardDeviation()},
                                 {name + "_min", series.min()},
                                 {name + "_max", series.max()}});
}

// The fit's fields; a fit that was not made (no tone) gives none.
void appendFitFields(std::vector<Field>& fields, const SineFit& fit, bool made) {
    fields.insert(fields.end(), {{"fit_frequency_hz", made ? fit.frequencyHz : kNoValue},
                                 {"fit_amplitude_v", made ? fit.amplitudeV : kNoValue},
                                 {"fit_phase_rad", made ? fit.phaseRad : kNoValue},
                                 {"fit_offset_v", made ? fit.offsetV : kNoValue},
                                 {"fit_residual_rms_v", made ? fit.residualRmsV : kNoValue},
                                 {"fit_sinad_db", made ? fit.sinadDb : kNoValue},
                                 {"fit_enob", made ? fit.enob : kNoValue}});
}

constexpr const char* kFitSeriesNames[kFitSeriesCount] = {"fit_frequency_hz",   "fit_amplitude_v", "fit_offset_v",
                                                          "fit_residual_rms_v", "fit_sinad_db",    "fit_enob"};

// The record of one channel, fields in the order of the header comment.
std::vector<Field> recordFields(const std::string& file, const ChannelRecord& ch, const AnalysisSettings& s,
                                double channelRate, int64_t windows, const ChannelFigures& figures,
                                const RecordFields& groups) {
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
    };
    appendViewFields(fields, ch, s.view);
    if (isSpectrumView(s.view)) {
        for (int f = 0; f < kSeriesFigureCount; ++f) appendSeriesFields(fields, kSeriesNames[f], figures.series[f]);
        const CoherenceAdvice& advice = figures.coherence;
        const bool tone = figures.hasTone;
        fields.insert(fields.end(), {{"tone_bin_offset", tone ? advice.toneBinOffset : kNoValue},
                                     {"coherent_cycles", tone ? FieldValue(advice.coherentCycles) : kNoValue},
                                     {"coherent_frequency_hz", tone ? advice.coherentFrequencyHz : kNoValue}});
    }
    if (groups.sineFit) {
        appendFitFields(fields, figures.fit, figures.fitted);
        for (int f = 0; f < kFitSeriesCount; ++f) appendSeriesFields(fields, kFitSeriesNames[f], figures.fitSeries[f]);
    }
    if (groups.histogram) {
        const CodeDensity& d = figures.density;
        const bool known = figures.hasDensity && d.usable;
        fields.insert(fields.end(), {{"dnl_min_lsb", known ? d.dnlMinLsb : kNoValue},
                                     {"dnl_max_lsb", known ? d.dnlMaxLsb : kNoValue},
                                     {"inl_min_lsb", known ? d.inlMinLsb : kNoValue},
                                     {"inl_max_lsb", known ? d.inlMaxLsb : kNoValue},
                                     {"missing_codes", known ? FieldValue(d.missingCodes) : kNoValue}});
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
    if (const auto* codes = std::get_if<std::vector<int32_t>>(&value)) {
        std::string text;
        for (int32_t code : *codes) text += (text.empty() ? "" : " ") + std::to_string(code);
        return text;
    }
    return fullPrecision(std::get<double>(value));
}

std::vector<Field> fieldNames(std::vector<Field> fields) {
    for (Field& field : fields) field.value = field.name;
    return fields;
}

void writeCsvLine(std::ostream& out, const std::vector<Field>& fields) {
    std::string line;
    for (size_t k = 0; k < fields.size(); ++k) {
        if (k) line += ',';
        line += csvValue(fields[k].value);
    }
    line += '\n';
    out << line;
}

AnalysisSettings settingsOf(const RecordFields& fields) {
    AnalysisSettings settings;
    settings.view = fields.view;
    return settings;
}

// A per-window row of one channel.
std::vector<Field> windowFields(const std::string& file, const ChannelRecord& ch, const AnalysisSettings& s,
                                double channelRate, const WindowPlace& place, const SineFit* fit) {
    std::vector<Field> fields = {
        {"file", file},
        {"channel", int64_t{ch.channelNumber + 1}},
        {"window", place.index},
        {"first_row", static_cast<int64_t>(place.firstRow)},
        {"start_s", channelRate > 0.0 ? static_cast<double>(place.firstRow) / channelRate : 0.0},
    };
    appendViewFields(fields, ch, s.view);
    if (fit) appendFitFields(fields, *fit, fit->iterations > 0 || fit->converged);
    return fields;
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

void ChannelFigures::addWindow(const ChannelRecord& channel) {
    const double values[kSeriesFigureCount] = {channel.sinad, channel.enb, channel.sfdr, channel.snr, channel.thd};
    for (int f = 0; f < kSeriesFigureCount; ++f) series[f].add(values[f]);
}

void ChannelFigures::addFit(const SineFit& windowFit) {
    fit = windowFit;
    fitted = true;
    const double values[kFitSeriesCount] = {windowFit.frequencyHz,  windowFit.amplitudeV, windowFit.offsetV,
                                            windowFit.residualRmsV, windowFit.sinadDb,    windowFit.enob};
    for (int f = 0; f < kFitSeriesCount; ++f) fitSeries[f].add(values[f]);
}

void writeCsvHeader(std::ostream& out, const RecordFields& fields) {
    writeCsvLine(out,
                 fieldNames(recordFields("", ChannelRecord(), settingsOf(fields), 0.0, 0, ChannelFigures(), fields)));
}

void writeCsvRecords(std::ostream& out, const std::string& file, const FileAnalysis& analysis,
                     const std::vector<int32_t>& shown, const std::vector<ChannelFigures>& figures,
                     const RecordFields& fields) {
    for (int32_t c : shown) {
        writeCsvLine(out, recordFields(file, analysis.channels[c], analysis.settings(), analysis.channelRate(),
                                       analysis.windowsAnalysed(), figures[static_cast<size_t>(c)], fields));
    }
}

void writePerWindowHeader(std::ostream& out, const RecordFields& fields) {
    const SineFit fit;
    writeCsvLine(out, fieldNames(windowFields("", ChannelRecord(), settingsOf(fields), 0.0, WindowPlace{0, 0},
                                              fields.sineFit ? &fit : nullptr)));
}

void writePerWindowRows(std::ostream& out, const std::string& file, const FileAnalysis& analysis,
                        const std::vector<int32_t>& shown, const WindowPlace& place, const std::vector<SineFit>& fits,
                        const RecordFields& fields) {
    for (int32_t c : shown) {
        const SineFit* fit = fields.sineFit ? &fits[static_cast<size_t>(c)] : nullptr;
        writeCsvLine(out,
                     windowFields(file, analysis.channels[c], analysis.settings(), analysis.channelRate(), place, fit));
    }
}

void appendJsonRecords(nlohmann::ordered_json& records, const std::string& file, const FileAnalysis& analysis,
                       const std::vector<int32_t>& shown, const std::vector<ChannelFigures>& figures,
                       const RecordFields& fields) {
    for (int32_t c : shown) {
        nlohmann::ordered_json record = nlohmann::ordered_json::object();
        for (const Field& field : recordFields(file, analysis.channels[c], analysis.settings(), analysis.channelRate(),
                                               analysis.windowsAnalysed(), figures[static_cast<size_t>(c)], fields)) {
            if (const auto* text = std::get_if<std::string>(&field.value)) record[field.name] = *text;
            else if (const auto* whole = std::get_if<int64_t>(&field.value)) record[field.name] = *whole;
            else if (const auto* codes = std::get_if<std::vector<int32_t>>(&field.value)) record[field.name] = *codes;
            else if (std::isfinite(std::get<double>(field.value))) record[field.name] = std::get<double>(field.value);
            else record[field.name] = nullptr;
        }
        records.push_back(std::move(record));
    }
}

std::vector<std::string> sineFitLines(const std::vector<int32_t>& shown, const std::vector<ChannelFigures>& figures) {
    std::vector<std::string> lines;
    char line[128];
    for (int32_t c : shown) {
        const ChannelFigures& f = figures[static_cast<size_t>(c)];
        std::snprintf(line, sizeof line, "---- Sine fit (quorvel-analyse), channel \xE2\x84\x96%2d --------", c + 1);
        lines.push_back(line);
        if (!f.fitted) {
            lines.push_back("no tone to fit");
            continue;
        }
        const SineFit& fit = f.fit;
        const std::pair<const char*, std::string> rows[] = {
            {"Freq  ", fullPrecision(fit.frequencyHz) + " Hz"},
            {"Ampl  ", fullPrecision(fit.amplitudeV) + " V"},
            {"Phase ", fullPrecision(fit.phaseRad) + " rad"},
            {"Offset", fullPrecision(fit.offsetV) + " V"},
            {"Resid ", fullPrecision(fit.residualRmsV) + " V RMS"},
            {"SINAD ", fullPrecision(fit.sinadDb) + " dB"},
            {"ENOB  ", fullPrecision(fit.enob)},
        };
        for (const auto& [label, value] : rows) lines.push_back(std::string(label) + " = " + value);
        if (!fit.converged) lines.push_back("(the fit did not settle)");
    }
    return lines;
}

void writeHistogramHeader(std::ostream& out) { out << "file,channel,code,count,dnl_lsb,inl_lsb\n"; }

void writeHistogramRows(std::ostream& out, const std::string& file, int32_t channel, const CodeHistogram& histogram,
                        const CodeDensity& density) {
    const std::string prefix = csvField(file) + "," + std::to_string(channel + 1) + ",";
    const std::vector<uint64_t>& counts = histogram.counts();
    std::string row;
    for (int32_t i = 0; i < histogram.codeCount(); ++i) {
        row = prefix;
        row += std::to_string(histogram.firstCode() + i);
        row += ',';
        row += std::to_string(counts[static_cast<size_t>(i)]);
        row += ',';
        row += fullPrecision(density.dnlLsb[static_cast<size_t>(i)]);
        row += ',';
        row += fullPrecision(density.inlLsb[static_cast<size_t>(i)]);
        row += '\n';
        out << row;
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
