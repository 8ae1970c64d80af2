#include "tools/quorvel-analyse/file_job.h"

#include <algorithm>
#include <cmath>

#include "analysis/fft_window.h"
#include "tools/quorvel-analyse/messages.h"
#include "tools/quorvel-analyse/option_values.h"
#include "tools/quorvel-analyse/progress_bar.h"

namespace {

std::string spillName(const std::string& temporary, size_t job) {
    return temporary.empty() ? std::string() : temporary + "." + std::to_string(job);
}

std::string rateText(double hertz) { return fullPrecision(hertz) + " Hz"; }

std::string secondsText(double seconds) { return fullPrecision(seconds) + " s"; }

// The channels shown of a file with `count` channels; false, with the
// message given, when one chosen is not in the file.
bool shownChannels(const std::string& path, const JobSettings& settings, int32_t count, Messages& messages,
                   std::vector<int32_t>& shown) {
    shown.clear();
    if (!settings.chosen.empty()) {
        if (settings.chosen.back() >= count) {
            messages.error(path, "no channel " + std::to_string(settings.chosen.back() + 1) + " (the recording has " +
                                     plural(static_cast<uint64_t>(count), "channel", "channels") + ")");
            return false;
        }
        shown = settings.chosen;
        return true;
    }
    for (int32_t c = 0; c < count; ++c) shown.push_back(c);
    return true;
}

// The rows of --start and --duration within the file; false, with the
// message given, when the range holds no row.
bool analysedRange(const std::string& path, const JobSettings& settings, const SampleSource& file, Messages& messages,
                   RowRange& range) {
    const double rate = file.channelRate();
    const uint64_t rows = file.rowCount();
    range = RowRange{0, rows};
    if (settings.startSeconds > 0.0) {
        const double first = std::round(settings.startSeconds * rate);
        if (!(first < static_cast<double>(rows))) {
            messages.error(path, "--start " + secondsText(settings.startSeconds) + " is at or after the end (" +
                                     secondsText(static_cast<double>(rows) / rate) + ")");
            return false;
        }
        range.firstRow = static_cast<uint64_t>(first);
        range.rows = rows - range.firstRow;
    }
    if (settings.durationSeconds >= 0.0) {
        const double wanted = std::round(settings.durationSeconds * rate);
        if (wanted < static_cast<double>(range.rows)) range.rows = static_cast<uint64_t>(wanted);
    }
    return true;
}

void warnOfNonFiniteSamples(const std::string& path, const FileAnalysis& analysis, const std::vector<int32_t>& shown,
                            Messages& messages) {
    for (int32_t c = 0; c < analysis.channelCount(); ++c) {
        const NonFiniteCount& bad = analysis.nonFinite(c);
        if (bad.samples == 0) continue;
        const bool isShown = std::find(shown.begin(), shown.end(), c) != shown.end();
        messages.warning(path, "channel " + std::to_string(c + 1) + (isShown ? "" : " (not shown)") + ": " +
                                   plural(bad.samples, "sample is", "samples are") +
                                   " not a finite number (NaN or infinite), the first at row " +
                                   std::to_string(bad.firstRow) + " (" +
                                   secondsText(static_cast<double>(bad.firstRow) / analysis.channelRate()) + ")");
    }
    if (analysis.windowsSkipped() > 0) {
        messages.warning(
            path, plural(static_cast<uint64_t>(analysis.windowsSkipped()), "window holds", "windows hold") +
                      " samples that are not finite numbers and " + (analysis.windowsSkipped() == 1 ? "was" : "were") +
                      " left out of the analysis of every channel");
    }
}

// The bench's tone analysis leaves SINAD and ENB at 0 unless it finds a
// fundamental with both above 0.
bool toneFound(const ChannelRecord& channel) { return channel.enb > 0.0; }

// A tone further than this from a bin leaks visibly with the rectangle.
constexpr double kLeakingBinOffset = 0.01;

// " lies within the main lobe of the <window> window (h bins) of DC" (or
// Nyquist) when bin `bin` is that near an edge of the spectrum, else nothing.
std::string nearEdge(double bin, const FileAnalysis& analysis) {
    const int32_t windowId = analysis.settings().windowId;
    const double lobe = mainLobeHalfWidthBins(windowId);
    const double half = analysis.settings().windowLength / 2.0;
    if (bin >= lobe && half - bin >= lobe) return std::string();
    return " lies within the main lobe of the " + std::string(kFftWindowNames[windowId]) + " window (" +
           fullPrecision(lobe) + " bins) of " + (bin < lobe ? "DC" : "Nyquist");
}

void noteMissingTones(const std::string& path, const FileAnalysis& analysis, const std::vector<int32_t>& shown,
                      Messages& messages) {
    if (!isSpectrumView(analysis.settings().view)) return;
    const int32_t bins = analysis.settings().windowLength / 2;
    for (int32_t c : shown) {
        const ChannelRecord& channel = analysis.channels[c];
        if (toneFound(channel)) continue;
        const double* power = channel.powerSpectrum;
        const int32_t strongest = static_cast<int32_t>(std::max_element(power + 1, power + bins) - power);
        const std::string edge = nearEdge(strongest, analysis);
        const std::string subject = "channel " + std::to_string(c + 1) + ": no tone found";
        if (!edge.empty()) {
            messages.warning(path, subject + ": the strongest bin, " +
                                       fullPrecision(strongest * analysis.channelRate() / (2.0 * bins)) + " Hz (bin " +
                                       std::to_string(strongest) + ")," + edge +
                                       ", where the tone is not told apart from the edge; move the tone further in "
                                       "or use a window with a narrower main lobe");
            continue;
        }
        messages.warning(path, subject +
                                   " (no fundamental with a SINAD and an ENB above 0); SINAD and the figures "
                                   "after it are 0, and Freq is only the strongest bin's");
    }
}

// The tone's coherence with the window: its advice in the figures, and
// warnings of a tone that leaks with the rectangle or lies within the
// window's main lobe of DC or Nyquist.
void adviseOnCoherence(const std::string& path, const FileAnalysis& analysis, const std::vector<int32_t>& shown,
                       double fullScale, std::vector<ChannelFigures>& figures, Messages& messages) {
    if (!isSpectrumView(analysis.settings().view)) return;
    const int32_t n = analysis.settings().windowLength;
    const int32_t windowId = analysis.settings().windowId;
    const double rate = analysis.channelRate();
    for (int32_t c : shown) {
        const ChannelRecord& channel = analysis.channels[c];
        ChannelFigures& figure = figures[static_cast<size_t>(c)];
        if (!toneFound(channel)) continue;
        figure.hasTone = true;
        // The bench's tone frequency is its refined peak bin, which with the
        // rectangle is the bin itself; the sine fit of the last window
        // gives the tone's distance from it.
        double tone = channel.freq;
        if (figure.fitted && figure.fit.converged) {
            tone = figure.fit.frequencyHz;
        } else if (analysis.holdsAnalysedWindow()) {
            const SineFit fit = fitSine(channel.samples, n, rate, channel.freq, fullScale);
            if (fit.converged) tone = fit.frequencyHz;
        }
        figure.coherence = adviseCoherence(tone, rate, n);
        const CoherenceAdvice& advice = figure.coherence;
        const std::string name =
            "channel " + std::to_string(c + 1) + ": the tone at " + fullPrecision(std::round(tone * 1e6) / 1e6) + " Hz";
        const std::string edge = nearEdge(tone * n / rate, analysis);
        if (!edge.empty()) {
            messages.warning(path, name + " (bin " + fullPrecision(std::round(tone * n / rate * 1000) / 1000) + ")" +
                                       edge + ": the tone is not told apart from the edge; move it further in");
        }
        if (windowId == 0 && std::fabs(advice.toneBinOffset) > kLeakingBinOffset && advice.coherentCycles > 0) {
            messages.warning(path, name + " lies " + fullPrecision(std::round(advice.toneBinOffset * 1000) / 1000) +
                                       " bin off the nearest bin and leaks with the Rectangle window: set " +
                                       fullPrecision(advice.coherentFrequencyHz) + " Hz (" +
                                       std::to_string(advice.coherentCycles) + " cycles in " + std::to_string(n) +
                                       " samples) for coherent sampling, or use a window "
                                       "such as Blackman-Harris 7term (-w 12)");
        }
    }
}

// The code-density test of the shown channels' histograms: the figures,
// the CSV rows, and an error for a channel whose signal does not suit it.
void analyseHistograms(const std::string& path, const std::vector<int32_t>& shown,
                       const std::vector<std::unique_ptr<CodeHistogram>>& histograms,
                       std::vector<ChannelFigures>& figures, FileReport& report, Messages& messages) {
    for (int32_t c : shown) {
        const CodeHistogram& histogram = *histograms[static_cast<size_t>(c)];
        ChannelFigures& figure = figures[static_cast<size_t>(c)];
        figure.density = analyseCodeDensity(histogram);
        figure.hasDensity = true;
        if (!figure.density.usable) {
            messages.error(path, "channel " + std::to_string(c + 1) + ": no histogram test: " + figure.density.refusal);
            report.failed = true;
            continue;
        }
        writeHistogramRows(report.histogram.stream(), path, c, histogram, figure.density);
    }
}

std::string plotTitle(const std::string& path, const FileAnalysis& analysis) {
    const AnalysisSettings& settings = analysis.settings();
    std::string title = path + ": N = " + sizeText(settings.windowLength) + ", ";
    if (isSpectrumView(settings.view)) {
        title += std::string(kFftWindowNames[settings.windowId]) + ", averaging " + std::to_string(settings.averaging) +
                 ", ";
    }
    return title + plural(static_cast<uint64_t>(analysis.windowsAnalysed()), "window", "windows") + " at " +
           rateText(analysis.channelRate());
}

}  // namespace

RecordFields JobSettings::fields() const {
    RecordFields fields;
    fields.view = analysis.view;
    fields.sineFit = sineFit;
    fields.histogram = histogramBits > 0;
    return fields;
}

FileReport::FileReport(const JobSettings& settings, size_t job)
    : spectrum(spillName(settings.spectrumSpill, job)),
      perWindow(spillName(settings.perWindowSpill, job)),
      histogram(spillName(settings.histogramSpill, job)) {}

void analyseFile(const std::string& path, const JobSettings& settings, FileAnalysis& analysis, FileReport& report,
                 std::ostream* progress) {
    Messages messages(report.messages);
    auto fail = [&](const std::string& text) {
        messages.error(path, text);
        report.failed = true;
    };
    std::unique_ptr<SampleSource> file;
    std::string reason;
    if (!openSampleSource(path, settings.input, file, reason)) return fail(reason);
    const int32_t count = static_cast<int32_t>(file->channelCount());
    if (file->partialRowBytes() != 0) {
        messages.warning(path, "the last " + plural(file->partialRowBytes(), "byte is", "bytes are") +
                                   " part of a row that was cut short and " +
                                   (file->partialRowBytes() == 1 ? "was" : "were") + " ignored");
    }
    std::vector<int32_t> shown;
    if (!shownChannels(path, settings, count, messages, shown)) {
        report.failed = true;
        return;
    }
    RowRange range;
    if (!analysedRange(path, settings, *file, messages, range)) {
        report.failed = true;
        return;
    }
    const int32_t n = settings.analysis.windowLength;
    const std::string size = sizeText(n);
    const bool wholeFile = range.rows == file->rowCount();
    if (range.rows < static_cast<uint64_t>(n)) {
        return fail("the size " + size + " is longer than the " + (wholeFile ? "recording" : "range analysed") + " (" +
                    plural(range.rows, "row", "rows") + ")");
    }
    const uint64_t rest = range.rows % static_cast<uint64_t>(n);
    if (rest != 0) {
        messages.note(path, "the last " + plural(rest, "row does", "rows do") + " not fill a window of " + size +
                                " and " + (rest == 1 ? "was" : "were") + " not analysed");
    }
    if (!analysis.prepare(settings.analysis, count, file->channelRate())) {
        return fail("not enough memory for windows of " + size + " on " +
                    plural(static_cast<uint64_t>(count), "channel", "channels"));
    }

    const RecordFields fields = settings.fields();
    std::vector<ChannelFigures> figures(static_cast<size_t>(count));
    std::vector<SineFit> fits(static_cast<size_t>(count));
    std::vector<std::unique_ptr<CodeHistogram>> histograms(static_cast<size_t>(count));
    if (settings.histogramBits > 0) {
        for (int32_t c : shown) {
            histograms[static_cast<size_t>(c)] =
                std::make_unique<CodeHistogram>(settings.histogramBits, settings.fullScale);
        }
    }
    auto windowDone = [&](const WindowPlace& place) {
        // Each channel's own figures, fit and histogram, on the workers that
        // share the window's analysis.
        forEachChannel(analysis.windowWorkers(), static_cast<int>(shown.size()), [&](int k) {
            const int32_t c = shown[static_cast<size_t>(k)];
            const ChannelRecord& channel = analysis.channels[c];
            ChannelFigures& figure = figures[static_cast<size_t>(c)];
            figure.addWindow(channel);
            if (settings.sineFit) {
                // Started from the spectrum's tone; a window without one is not fitted.
                SineFit& fit = fits[static_cast<size_t>(c)];
                fit = toneFound(channel)
                          ? fitSine(channel.samples, n, analysis.channelRate(), channel.freq, settings.fullScale)
                          : SineFit();
                if (fit.iterations > 0 || fit.converged) figure.addFit(fit);
            }
            if (histograms[static_cast<size_t>(c)]) histograms[static_cast<size_t>(c)]->add(channel.samples, n);
        });
        if (settings.perWindow) {
            writePerWindowRows(report.perWindow.stream(), path, analysis, shown, place, fits, fields);
        }
    };
    ProgressBar bar(progress ? *progress : report.messages, progress != nullptr, path, range.rows, 4.0 * count);
    const bool read = analysis.run(
        *file, range, [&](uint64_t rows) { bar.update(rows); }, windowDone);
    bar.finish();
    if (!read) return fail("the file could not be read to its end");
    warnOfNonFiniteSamples(path, analysis, shown, messages);
    if (analysis.windowsAnalysed() == 0) {
        return fail("no window without samples that are not finite numbers was left to analyse");
    }
    noteMissingTones(path, analysis, shown, messages);
    adviseOnCoherence(path, analysis, shown, settings.fullScale, figures, messages);
    if (settings.histogramBits > 0) analyseHistograms(path, shown, histograms, figures, report, messages);

    switch (settings.form) {
    case ResultsForm::Json:
        appendJsonRecords(report.records, path, analysis, shown, figures, fields);
        break;
    case ResultsForm::Csv: {
        std::ostringstream rows;
        writeCsvRecords(rows, path, analysis, shown, figures, fields);
        report.results = rows.str();
        break;
    }
    case ResultsForm::List:
        if (settings.severalFiles) report.results = "==== " + path + "\n";
        for (const std::string& line : resultsLines(analysis, shown)) report.results += line + "\n";
        if (settings.sineFit) {
            for (const std::string& line : sineFitLines(shown, figures)) report.results += line + "\n";
        }
        break;
    }
    if (settings.spectrum) {
        writeSpectrumRows(report.spectrum.stream(), path, analysis, shown, settings.fullScale);
    }
    if (settings.plot) {
        report.panel = makePlotPanel(analysis, shown, plotTitle(path, analysis), settings.fullScale);
        report.hasPanel = true;
    }
    report.analysed = true;
}
