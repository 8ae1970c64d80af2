#include "tools/quorvel-analyse/command.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "analysis/fft_window.h"
#include "config/config_reader.h"
#include "config/view_state.h"
#include "platform/file_io.h"
#include "tools/quorvel-analyse/exports.h"
#include "tools/quorvel-analyse/file_analysis.h"
#include "tools/quorvel-analyse/option_values.h"
#include "tools/quorvel-analyse/progress_bar.h"
#include "tools/quorvel-analyse/recording_file.h"
#include "tools/quorvel-analyse/simulated_recording.h"
#include "tools/quorvel-analyse/svg_plot.h"

#ifndef QUORVEL_VERSION
#define QUORVEL_VERSION "unknown"
#endif

namespace {

constexpr char kProgram[] = "quorvel-analyse";
constexpr int32_t kMaxAverageCounter = 100;   // AverageCounter's range in Quorvel.cfg

struct AnalyseOptions {
    std::vector<std::string> files;
    std::string size = "1.0K";
    std::string window = "0";
    std::string view = "db";
    std::string channels;
    int32_t averaging = 1;
    int32_t averageCounter = 1;
    bool csv = false;
    bool json = false;
    std::string output;
    std::string spectrum;
    std::string plot;
    double fullScale = 10.0;
    bool listWindows = false;
    bool noProgress = false;
};

struct RecordOptions {
    std::string config;
    double seconds = 0.0;
    std::string output;
};

// One line: "quorvel-analyse: <subject>: <text>".
class Messages {
public:
    explicit Messages(std::ostream& err) : err_(err) {}
    void error(const std::string& subject, const std::string& text) { say(subject, text); }
    void warning(const std::string& subject, const std::string& text) { say(subject, "warning: " + text); }
    void note(const std::string& subject, const std::string& text) { say(subject, "note: " + text); }
    // Where the messages go; the progress bar shares it.
    std::ostream& stream() { return err_; }

private:
    void say(const std::string& subject, const std::string& text) {
        err_ << kProgram << ": " << (subject.empty() ? "" : subject + ": ") << text << '\n' << std::flush;
    }
    std::ostream& err_;
};

// An output file, opened before any work so that a file that cannot be
// written is reported at once.
class OutputFile {
public:
    bool open(const std::string& path, std::string& reason) {
        path_ = path;
        errno = 0;
        stream_.open(path, std::ios::binary | std::ios::trunc);
        if (stream_.is_open()) return true;
        reason = describe("cannot be written");
        return false;
    }
    // Flushes and closes; false, with the reason, when any write failed.
    bool close(std::string& reason) {
        errno = 0;
        stream_.flush();
        const bool good = stream_.good();
        stream_.close();
        if (good && !stream_.fail()) return true;
        reason = describe("could not be written completely");
        return false;
    }
    std::ostream& stream() { return stream_; }
    const std::string& path() const { return path_; }

private:
    static std::string describe(const char* what) {
        std::string text = what;
        if (errno != 0) text += std::string(": ") + std::strerror(errno);
        return text;
    }
    std::ofstream stream_;
    std::string path_;
};

bool endsWithRecordExtension(const std::string& path) {
    const size_t n = std::strlen(kRecordExtension);
    if (path.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::toupper(static_cast<unsigned char>(path[path.size() - n + i])) != kRecordExtension[i]) return false;
    }
    return true;
}

std::string plural(uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string rateText(double hertz) { return fullPrecision(hertz) + " Hz"; }

// ---- record ------------------------------------------------------------------

int runRecord(const RecordOptions& options, bool progress, std::ostream& out, Messages& messages) {
    std::string configPath = options.config;
    if (configPath.empty() && fileExists(simboard::kSettingsFileName)) configPath = simboard::kSettingsFileName;
    if (!configPath.empty() && !fileExists(configPath.c_str())) {
        messages.error(configPath, "cannot read the board settings: no such file");
        return kExitFailed;
    }
    const simboard::BoardSettings board =
        configPath.empty() ? simboard::defaultSettings() : simboard::readSettings(ConfigReader(configPath.c_str()));

    if (!std::isfinite(options.seconds) || !(options.seconds > 0.0)) {
        messages.error("--seconds", fullPrecision(options.seconds) + " is not a number of seconds above 0");
        return kExitUsage;
    }
    const double frameRate = simboard::frameRate(board.channels, board.paired, board.rate);
    const uint64_t frames = simulatedFrames(board, options.seconds);
    if (frames == 0) {
        messages.error("--seconds", fullPrecision(options.seconds) + " s give no frame at " + rateText(frameRate) +
                                        " per channel");
        return kExitUsage;
    }
    if (!endsWithRecordExtension(options.output)) {
        messages.note(options.output, std::string("the name does not end in ") + kRecordExtension +
                                          "; the recording is written under the name as given");
    }

    ChannelWorkers workers;
    ProgressBar bar(messages.stream(), progress, options.output, frames, 4.0 * board.channels);
    SimulatedRecording made;
    std::string reason;
    const bool written = writeSimulatedRecording(board, frames, options.output, &workers,
                                                 [&](uint64_t done) { bar.update(done); }, made, reason);
    bar.finish();
    if (!written) {
        messages.error(options.output, reason);
        return kExitFailed;
    }
    out << options.output << ": " << plural(static_cast<uint64_t>(made.channels), "channel", "channels") << " at "
        << rateText(made.channelRate) << ", " << plural(made.frames, "row", "rows") << " ("
        << fullPrecision(static_cast<double>(made.frames) / made.channelRate) << " s)"
        << (configPath.empty() ? ", the board's default settings" : ", settings from " + configPath) << '\n';
    return kExitDone;
}

// ---- analyse -----------------------------------------------------------------

int listWindows(std::ostream& out) {
    for (int32_t id = 0; id < kFftWindowCount; ++id) {
        out << (id < 10 ? " " : "") << id << "  " << kFftWindowNames[id] << '\n';
    }
    return kExitDone;
}

int runAnalyse(const AnalyseOptions& options, bool progress, std::ostream& out, Messages& messages) {
    if (options.listWindows) return listWindows(out);
    if (options.files.empty()) {
        messages.error("", "no recording given (--help shows how to use the tool)");
        return kExitUsage;
    }
    if (!std::isfinite(options.fullScale) || !(options.fullScale > 0.0)) {
        messages.error("--full-scale", fullPrecision(options.fullScale) + " is not a number of volts above 0");
        return kExitUsage;
    }
    AnalysisSettings settings;
    settings.averaging = options.averaging;
    settings.averageCounter = options.averageCounter;
    std::string reason;
    if (!parseSizeText(options.size, settings.windowLength, reason)) {
        messages.error("--size", reason);
        return kExitUsage;
    }
    if (!parseWindowText(options.window, settings.windowId, reason)) {
        messages.error("--window", reason);
        return kExitUsage;
    }
    if (!parseViewText(options.view, settings.view, reason)) {
        messages.error("--view", reason);
        return kExitUsage;
    }
    std::vector<int32_t> chosen;
    if (!options.channels.empty() && !parseChannelList(options.channels, chosen, reason)) {
        messages.error("--channels", reason);
        return kExitUsage;
    }
    settings.spectrumInScope = !options.spectrum.empty();

    // Every output file is opened before the first recording is read.
    OutputFile results, spectrum, plot;
    for (auto [file, path] : {std::pair{&results, &options.output}, std::pair{&spectrum, &options.spectrum},
                              std::pair{&plot, &options.plot}}) {
        if (!path->empty() && !file->open(*path, reason)) {
            messages.error(*path, reason);
            return kExitFailed;
        }
    }
    std::ostream& resultsOut = options.output.empty() ? out : results.stream();
    if (!options.spectrum.empty()) writeSpectrumHeader(spectrum.stream());

    ChannelWorkers workers;
    FileAnalysis analysis(&workers);
    nlohmann::ordered_json records = nlohmann::ordered_json::array();
    std::vector<PlotPanel> panels;
    bool failed = false;
    bool csvHeaderWritten = false;
    const std::string size = sizeText(settings.windowLength);

    for (const std::string& path : options.files) {
        RecordingFile file;
        if (!file.open(path, reason)) {
            messages.error(path, reason);
            failed = true;
            continue;
        }
        const int32_t count = static_cast<int32_t>(file.channelCount());
        if (file.partialRowBytes() != 0) {
            messages.warning(path, "the last " + plural(file.partialRowBytes(), "byte is", "bytes are") +
                                       " part of a row that was cut short and " +
                                       (file.partialRowBytes() == 1 ? "was" : "were") + " ignored");
        }
        std::vector<int32_t> shown;
        for (int32_t c = 0; c < count; ++c) shown.push_back(c);
        if (!chosen.empty()) {
            if (chosen.back() >= count) {
                messages.error(path, "no channel " + std::to_string(chosen.back() + 1) + " (the recording has " +
                                         plural(static_cast<uint64_t>(count), "channel", "channels") + ")");
                failed = true;
                continue;
            }
            shown = chosen;
        }
        if (file.rowCount() < static_cast<uint64_t>(settings.windowLength)) {
            messages.error(path, "the size " + size + " is longer than the recording (" +
                                     plural(file.rowCount(), "row", "rows") + ")");
            failed = true;
            continue;
        }
        const uint64_t rest = file.rowCount() % static_cast<uint64_t>(settings.windowLength);
        if (rest != 0) {
            messages.note(path, "the last " + plural(rest, "row does", "rows do") + " not fill a window of " + size +
                                    " and " + (rest == 1 ? "was" : "were") + " not analysed");
        }
        if (!analysis.prepare(settings, count, file.channelRate())) {
            messages.error(path, "not enough memory for windows of " + size + " on " +
                                     plural(static_cast<uint64_t>(count), "channel", "channels"));
            failed = true;
            continue;
        }
        ProgressBar bar(messages.stream(), progress, path, file.rowCount(), 4.0 * count);
        const bool read = analysis.run(file, [&](uint64_t rows) { bar.update(rows); });
        bar.finish();
        if (!read) {
            messages.error(path, "the file could not be read to its end");
            failed = true;
            continue;
        }

        if (options.json) {
            appendJsonRecords(records, path, analysis, shown);
        } else if (options.csv) {
            if (!csvHeaderWritten) writeCsvHeader(resultsOut, settings.view);
            csvHeaderWritten = true;
            writeCsvRecords(resultsOut, path, analysis, shown);
        } else {
            if (options.files.size() > 1) resultsOut << "==== " << path << '\n';
            for (const std::string& line : resultsLines(analysis, shown)) resultsOut << line << '\n';
        }
        if (!options.spectrum.empty()) writeSpectrumRows(spectrum.stream(), path, analysis, shown, options.fullScale);
        if (!options.plot.empty()) {
            std::string title = path + ": N = " + size + ", ";
            if (isSpectrumView(settings.view)) {
                title += std::string(kFftWindowNames[settings.windowId]) + ", averaging " +
                         std::to_string(settings.averaging) + ", ";
            }
            title += plural(static_cast<uint64_t>(analysis.windowsAnalysed()), "window", "windows") + " at " +
                     rateText(analysis.channelRate());
            panels.push_back(makePlotPanel(analysis, shown, title, options.fullScale));
        }
    }

    if (options.json) {
        // A file name that is no UTF-8 gets U+FFFD rather than stopping the output.
        resultsOut << records.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    }
    if (!options.plot.empty()) plot.stream() << svgDocument(panels);
    resultsOut.flush();
    for (OutputFile* file : {&results, &spectrum, &plot}) {
        if (!file->path().empty() && !file->close(reason)) {
            messages.error(file->path(), reason);
            failed = true;
        }
    }
    return failed ? kExitFailed : kExitDone;
}

}  // namespace

int runQuorvelAnalyse(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool progress) {
    Messages messages(err);
    AnalyseOptions analyse;
    RecordOptions record;

    CLI::App app{"Analyses recordings of the Quorvel test bench as the bench's spectrum and oscilloscope views do, "
                 "and records the simulated board.",
                 kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " + QUORVEL_VERSION);
    app.add_option("files", analyse.files, "Recordings (.MRF) to analyse");
    app.add_option("-n,--size", analyse.size,
                   "Window length N, in the Size list's spellings: 512, 1.0K, 64K, 2.0M (a power of two)")
        ->capture_default_str();
    app.add_option("-w,--window", analyse.window,
                   "FFT window: its id 0..13 or its list name, or a part of one name (--list-windows)")
        ->capture_default_str();
    app.add_option("-a,--averaging", analyse.averaging, "Spectrum averaging count, as the Avg list (1..40)")
        ->check(CLI::Range(1, kAvgListLength))
        ->capture_default_str();
    app.add_option("--average-counter", analyse.averageCounter,
                   "Averaging of the time statistics, as AverageCounter in Quorvel.cfg (1..100)")
        ->check(CLI::Range(1, kMaxAverageCounter))
        ->capture_default_str();
    app.add_option("-c,--channels", analyse.channels,
                   "Channels shown, numbered as the results list: 1,3-5 (default: all)");
    app.add_option("-v,--view", analyse.view, "View: scope, volts, db0 or db, as the View mode list")
        ->capture_default_str();
    CLI::Option* csv = app.add_flag("--csv", analyse.csv, "Results as CSV: one record per channel and file");
    app.add_flag("--json", analyse.json, "Results as JSON: an array of one record per channel and file")
        ->excludes(csv);
    app.add_option("-o,--output", analyse.output, "Write the results to this file instead of the standard output");
    app.add_option("--spectrum", analyse.spectrum,
                   "Write the averaged power spectrum of each channel to this CSV file");
    app.add_option("--plot", analyse.plot, "Write the spectrum or the time signal as an SVG image to this file");
    app.add_option("--full-scale", analyse.fullScale, "Volts of the dB to full scale reference")
        ->capture_default_str();
    app.add_flag("--list-windows", analyse.listWindows, "List the FFT windows with their ids and exit");
    app.add_flag("-q,--no-progress", analyse.noProgress, "No progress bar");

    CLI::App* recordCommand = app.add_subcommand(
        "record", "Record the simulated board's signals natively into a recording of the bench's format");
    recordCommand->add_option("--config", record.config,
                              "Board settings (default: SimBoard.cfg in the current folder, if there is one)");
    recordCommand->add_option("--seconds", record.seconds, "Seconds of signal")->required();
    recordCommand->add_option("output", record.output, "The recording to write, e.g. Sim.MRF")->required();
    recordCommand->add_flag("-q,--no-progress", analyse.noProgress, "No progress bar");
    app.footer(
        "Examples:\n"
        "  quorvel-analyse record --config SimBoard.cfg --seconds 10 Sim.MRF\n"
        "  quorvel-analyse --size 64K --window 12 --averaging 10 Sim.MRF\n"
        "  quorvel-analyse --size 64K --json --spectrum spectrum.csv --plot spectrum.svg Sim.MRF");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        messages.error("", std::string(e.what()) + " (--help shows the options)");
        return kExitUsage;
    }
    const bool showProgress = progress && !analyse.noProgress;
    if (recordCommand->parsed()) {
        if (!analyse.files.empty()) {
            messages.error("", "record takes no recordings to analyse");
            return kExitUsage;
        }
        return runRecord(record, showProgress, out, messages);
    }
    return runAnalyse(analyse, showProgress, out, messages);
}
