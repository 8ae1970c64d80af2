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
            messages.error(path, "no channel " + std::to_string(settings.chosen.back() + 1) + " (the file has " +
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
        messages.warning(path, plural(static_cast<uint64_t>(analysis.windowsSkipped()), "window holds",
                                      "windows hold") +
                                   " samples that are not finite numbers and " +
                                   (analysis.windowsSkipped() == 1 ? "was" : "were") +
                                   " left out of the analysis of every channel");
    }
}

// The bench's tone analysis leaves SINAD and ENB at 0 unless it finds a
// fundamental with both above 0.
bool toneFound(const ChannelRecord& channel) { return channel.enb > 0.0; }

void noteMissingTones(const std::string& path, const FileAnalysis& analysis, const std::vector<int32_t>& shown,
                      Messages& messages) {
    if (!isSpectrumView(analysis.settings().view)) return;
    for (int32_t c : shown) {
        const ChannelRecord& channel = analysis.channels[c];
        if (toneFound(channel)) continue;
        messages.warning(path, "channel " + std::to_string(c + 1) +
                                   ": no tone found (no fundamental with a SINAD and an ENB above 0); SINAD and "
                                   "the figures after it are 0, and Freq is only the strongest bin's");
    }
}

std::string plotTitle(const std::string& path, const FileAnalysis& analysis) {
    const AnalysisSettings& settings = analysis.settings();
    std::string title = path + ": N = " + sizeText(settings.windowLength) + ", ";
    if (isSpectrumView(settings.view)) {
        title += std::string(kFftWindowNames[settings.windowId]) + ", averaging " +
                 std::to_string(settings.averaging) + ", ";
    }
    return title + plural(static_cast<uint64_t>(analysis.windowsAnalysed()), "window", "windows") + " at " +
           rateText(analysis.channelRate());
}

}  // namespace

FileReport::FileReport(const JobSettings& settings, size_t job)
    : spectrum(spillName(settings.spectrumSpill, job)), perWindow(spillName(settings.perWindowSpill, job)) {}

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
        return fail("the size " + size + " is longer than the " + (wholeFile ? "recording" : "range analysed") +
                    " (" + plural(range.rows, "row", "rows") + ")");
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

    std::vector<ChannelFigures> figures(static_cast<size_t>(count));
    auto windowDone = [&](const WindowPlace& place) {
        for (int32_t c : shown) figures[static_cast<size_t>(c)].addWindow(analysis.channels[c]);
        if (settings.perWindow) writePerWindowRows(report.perWindow.stream(), path, analysis, shown, place);
    };
    ProgressBar bar(progress ? *progress : report.messages, progress != nullptr, path, range.rows, 4.0 * count);
    const bool read = analysis.run(*file, range, [&](uint64_t rows) { bar.update(rows); }, windowDone);
    bar.finish();
    if (!read) return fail("the file could not be read to its end");
    warnOfNonFiniteSamples(path, analysis, shown, messages);
    if (analysis.windowsAnalysed() == 0) {
        return fail("no window without samples that are not finite numbers was left to analyse");
    }
    noteMissingTones(path, analysis, shown, messages);

    switch (settings.form) {
    case ResultsForm::Json:
        appendJsonRecords(report.records, path, analysis, shown, figures);
        break;
    case ResultsForm::Csv: {
        std::ostringstream rows;
        writeCsvRecords(rows, path, analysis, shown, figures);
        report.results = rows.str();
        break;
    }
    case ResultsForm::List:
        if (settings.severalFiles) report.results = "==== " + path + "\n";
        for (const std::string& line : resultsLines(analysis, shown)) report.results += line + "\n";
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
