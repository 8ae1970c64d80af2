#include "tools/quorvel-analyse/command.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "analysis/fft_window.h"
#include "config/config_reader.h"
#include "config/view_state.h"
#include "platform/file_io.h"
#include "recording/record_format.h"
#include "tools/quorvel-analyse/exports.h"
#include "tools/quorvel-analyse/file_analysis.h"
#include "tools/quorvel-analyse/file_job.h"
#include "tools/quorvel-analyse/file_system.h"
#include "tools/quorvel-analyse/input_files.h"
#include "tools/quorvel-analyse/messages.h"
#include "tools/quorvel-analyse/option_values.h"
#include "tools/quorvel-analyse/output_file.h"
#include "tools/quorvel-analyse/progress_bar.h"
#include "tools/quorvel-analyse/simulated_recording.h"
#include "tools/quorvel-analyse/svg_plot.h"

#ifndef QUORVEL_VERSION
#define QUORVEL_VERSION "unknown"
#endif

namespace {

constexpr const char* kProgram = kProgramName;
constexpr int32_t kMaxAverageCounter = 100;  // AverageCounter's range in Quorvel.cfg
constexpr int32_t kMaxJobs = 256;

struct AnalyseOptions {
    std::vector<std::string> files;
    std::string size = "1.0K";
    std::string window = kFftWindowNames[0];
    std::string view = "db";
    std::string channels;
    int32_t averaging = 1;
    int32_t averageCounter = 1;
    bool csv = false;
    bool json = false;
    std::string output;
    std::string spectrum;
    std::string plot;
    std::string perWindow;
    std::string histogram;
    int32_t bits = 0;
    bool sineFit = false;
    double fullScale = 10.0;
    double start = 0.0;
    double duration = 0.0;
    bool durationGiven = false;
    std::string raw;
    double rawRate = 0.0;
    int32_t rawChannels = 1;
    int32_t jobs = 0;  // 0: one per processor
    bool listWindows = false;
    bool noProgress = false;
};

struct RecordOptions {
    std::string config;
    double seconds = 0.0;
    std::string output;
};

bool endsWithRecordExtension(const std::string& path) {
    const size_t n = std::strlen(kRecordExtension);
    if (path.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::toupper(static_cast<unsigned char>(path[path.size() - n + i])) != kRecordExtension[i]) return false;
    }
    return true;
}

std::string rateText(double hertz) { return fullPrecision(hertz) + " Hz"; }

// ---- output names --------------------------------------------------------------

// What a name that may not exist yet will reach: the file's identity when
// it exists, else its folder's identity and its last part.
struct OutputPlace {
    bool exists = false;
    FileIdentity identity;
    std::string name;  // without its folder, when it does not exist
};

OutputPlace placeOf(const std::string& path) {
    OutputPlace place;
    if (fileIdentity(path, place.identity)) {
        place.exists = true;
        return place;
    }
#if defined(_WIN32)
    const size_t slash = path.find_last_of("/\\:");
#else
    const size_t slash = path.find_last_of('/');
#endif
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    place.name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!fileIdentity(folder, place.identity)) place.identity = FileIdentity{~uint64_t(0), ~uint64_t(0)};
    return place;
}

bool samePlace(const OutputPlace& a, const OutputPlace& b) {
    return a.exists == b.exists && a.identity == b.identity && a.name == b.name;
}

// A named output: the option that names it and the name.
struct NamedOutput {
    const char* option;
    std::string path;
};

// Refuses outputs that would destroy an input or each other: an output that
// is one of the inputs (the same file however named), two outputs that are
// the same file, and two outputs on the standard output. False, with the
// message given, when one is found.
bool checkOutputNames(const std::vector<NamedOutput>& outputs, const std::vector<std::string>& inputs,
                      Messages& messages) {
    std::vector<std::pair<FileIdentity, const std::string*>> inputFiles;
    for (const std::string& input : inputs) {
        FileIdentity identity;
        if (fileIdentity(input, identity)) inputFiles.emplace_back(identity, &input);
    }
    std::vector<std::pair<OutputPlace, const NamedOutput*>> seen;
    const NamedOutput* standardOut = nullptr;
    for (const NamedOutput& output : outputs) {
        if (output.path.empty()) continue;
        if (output.path == kStandardOutputName) {
            if (standardOut) {
                messages.error(output.option, std::string("both ") + standardOut->option + " and " + output.option +
                                                  " would go to the standard output; name a file for one of them");
                return false;
            }
            standardOut = &output;
            continue;
        }
        const OutputPlace place = placeOf(output.path);
        for (const auto& [identity, input] : inputFiles) {
            if (place.exists && place.identity == identity) {
                messages.error(output.option, "'" + output.path + "' is the input '" + *input +
                                                  "': an output never replaces an input (nothing was written)");
                return false;
            }
        }
        for (const auto& [other, named] : seen) {
            if (samePlace(place, other)) {
                messages.error(output.option, "'" + output.path + "' is also the file of " + named->option +
                                                  "; give each output a file of its own");
                return false;
            }
        }
        seen.emplace_back(place, &output);
    }
    return true;
}

// A number option's value read as CLI11 reads it, with a message that says
// what is wrong with the text: not a number at all, or outside the range.
CLI::Validator wholeNumberFrom(int64_t low, int64_t high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            char* end = nullptr;
            errno = 0;
            const long long value = std::strtoll(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || errno != 0 || std::isspace(static_cast<unsigned char>(text[0]))) {
                return "'" + text + "' is not a whole number";
            }
            if (value < low || value > high) {
                return text + " is not in the range " + std::to_string(low) + " to " + std::to_string(high);
            }
            return std::string();
        },
        "INT in " + std::to_string(low) + ".." + std::to_string(high));
}

CLI::Validator realNumber() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            char* end = nullptr;
            std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || std::isspace(static_cast<unsigned char>(text[0]))) {
                return "'" + text + "' is not a number";
            }
            return std::string();
        },
        "NUMBER");
}

// ---- record ------------------------------------------------------------------

int runRecord(const RecordOptions& options, bool progress, std::ostream& out, Messages& messages) {
    std::string configPath = options.config;
    if (configPath.empty() && fileExists(simboard::kSettingsFileName)) configPath = simboard::kSettingsFileName;
    if (!configPath.empty() && !fileExists(configPath.c_str())) {
        messages.error(configPath, "cannot read the board settings: no such file");
        return kExitFailed;
    }
    if (options.output == kStandardOutputName) {
        messages.error(options.output, "a recording is written to a file; name one");
        return kExitUsage;
    }
    if (!configPath.empty() && !checkOutputNames({{"record", options.output}}, {configPath}, messages)) {
        return kExitUsage;
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
        messages.error("--seconds",
                       fullPrecision(options.seconds) + " s give no frame at " + rateText(frameRate) + " per channel");
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
    const bool written = writeSimulatedRecording(
        board, frames, options.output, &workers, [&](uint64_t done) { bar.update(done); }, made, reason);
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

// The command line's analysis, its texts read into values.
struct AnalysePlan {
    JobSettings job;
    int32_t threads = 1;  // threads in all (-j)
    int32_t jobs = 1;     // files analysed at once: each on a thread of its own
};

// Reads and checks the options; false, with the message given, when one is
// wrong (a usage error).
bool readAnalysePlan(const AnalyseOptions& options, AnalysePlan& plan, Messages& messages) {
    auto refuse = [&](const char* option, const std::string& text) {
        messages.error(option, text);
        return false;
    };
    if (options.files.empty()) return refuse("", "no recording given (--help shows how to use the tool)");
    if (!std::isfinite(options.fullScale) || !(options.fullScale > 0.0)) {
        return refuse("--full-scale", fullPrecision(options.fullScale) + " is not a number of volts above 0");
    }
    if (!std::isfinite(options.start) || options.start < 0.0) {
        return refuse("--start", fullPrecision(options.start) + " is not a number of seconds from 0 on");
    }
    if (options.durationGiven && (!std::isfinite(options.duration) || !(options.duration > 0.0))) {
        return refuse("--duration", fullPrecision(options.duration) + " is not a number of seconds above 0");
    }
    JobSettings& job = plan.job;
    AnalysisSettings& settings = job.analysis;
    settings.averaging = options.averaging;
    settings.averageCounter = options.averageCounter;
    std::string reason;
    if (!parseSizeText(options.size, settings.windowLength, reason)) return refuse("--size", reason);
    if (!parseWindowText(options.window, settings.windowId, reason)) return refuse("--window", reason);
    if (!parseViewText(options.view, settings.view, reason)) return refuse("--view", reason);
    if (!options.channels.empty() && !parseChannelList(options.channels, job.chosen, reason)) {
        return refuse("--channels", reason);
    }
    // The fit starts from the spectrum's tone, so it needs the spectrum pass
    // in the scope view too.
    settings.spectrumInScope = !options.spectrum.empty() || options.sineFit;
    if (!options.histogram.empty() && options.bits == 0) {
        return refuse("--histogram", "the code-density test needs the converter's bits: --bits B (1..24)");
    }
    if (options.histogram.empty() && options.bits != 0) {
        return refuse("--bits", "the bits are those of the code-density test: give --histogram FILE.csv too");
    }
    job.sineFit = options.sineFit;
    job.histogramBits = options.histogram.empty() ? 0 : options.bits;

    job.fullScale = options.fullScale;
    job.startSeconds = options.start;
    job.durationSeconds = options.durationGiven ? options.duration : -1.0;
    job.input.fullScale = options.fullScale;
    if (!options.raw.empty()) {
        if (!parseRawSampleText(options.raw, job.input.raw, reason)) return refuse("--raw", reason);
        if (!std::isfinite(options.rawRate) || !(options.rawRate > 0.0)) {
            return refuse("--rate", "a raw file needs the rate of one channel in Hz above 0 (--rate HZ)");
        }
        job.input.rawRate = options.rawRate;
        job.input.rawChannels = options.rawChannels;
    }
    job.form = options.json ? ResultsForm::Json : options.csv ? ResultsForm::Csv : ResultsForm::List;
    job.severalFiles = options.files.size() > 1;
    job.spectrum = !options.spectrum.empty();
    job.perWindow = !options.perWindow.empty();
    job.plot = !options.plot.empty();

    const int32_t processors = static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    plan.threads = options.jobs > 0 ? options.jobs : processors;
    plan.jobs = std::min<int32_t>(plan.threads, static_cast<int32_t>(options.files.size()));
    return true;
}

// The output files of an analysis, open under their temporary names.
struct AnalyseOutputs {
    OutputFile results, spectrum, perWindow, histogram, plot;
    std::ostream* resultsOut = nullptr;
    nlohmann::ordered_json records = nlohmann::ordered_json::array();
    std::vector<PlotPanel> panels;
    bool csvHeaderWritten = false;
    bool anyAnalysed = false;

    OutputFile* all[5] = {&results, &spectrum, &perWindow, &histogram, &plot};
};

// Opens every output before the first input is read, so that one that
// cannot be written is reported at once. False, with the message given.
bool openOutputs(const AnalyseOptions& options, std::ostream& out, AnalysePlan& plan, AnalyseOutputs& outputs,
                 Messages& messages) {
    std::string reason;
    const std::pair<OutputFile*, const std::string*> named[] = {{&outputs.results, &options.output},
                                                                {&outputs.spectrum, &options.spectrum},
                                                                {&outputs.perWindow, &options.perWindow},
                                                                {&outputs.histogram, &options.histogram},
                                                                {&outputs.plot, &options.plot}};
    for (const auto& [file, path] : named) {
        if (!path->empty() && !file->open(*path, out, reason)) {
            messages.error(*path, reason);
            return false;
        }
    }
    outputs.resultsOut = outputs.results.isOpen() ? &outputs.results.stream() : &out;
    plan.job.spectrumSpill = outputs.spectrum.temporaryPath();
    plan.job.perWindowSpill = outputs.perWindow.temporaryPath();
    plan.job.histogramSpill = outputs.histogram.temporaryPath();
    if (outputs.spectrum.isOpen()) writeSpectrumHeader(outputs.spectrum.stream());
    if (outputs.perWindow.isOpen()) writePerWindowHeader(outputs.perWindow.stream(), plan.job.fields());
    if (outputs.histogram.isOpen()) writeHistogramHeader(outputs.histogram.stream());
    return true;
}

// Writes one file's report into the outputs, in input order.
bool writeReport(FileReport& report, const AnalysePlan& plan, AnalyseOutputs& outputs, Messages& messages) {
    messages.stream() << report.messages.str() << std::flush;
    if (!report.analysed) return !report.failed;
    outputs.anyAnalysed = true;
    std::ostream& results = *outputs.resultsOut;
    if (plan.job.form == ResultsForm::Csv && !outputs.csvHeaderWritten) {
        writeCsvHeader(results, plan.job.fields());
        outputs.csvHeaderWritten = true;
    }
    results << report.results;
    for (auto& record : report.records) outputs.records.push_back(std::move(record));
    bool good = !report.failed;
    std::string reason;
    const std::pair<Spool*, OutputFile*> spooled[] = {{&report.spectrum, &outputs.spectrum},
                                                      {&report.perWindow, &outputs.perWindow},
                                                      {&report.histogram, &outputs.histogram}};
    for (const auto& [spool, file] : spooled) {
        if (file->isOpen() && !spool->copyTo(file->stream(), reason)) {
            messages.error(file->path(), reason);
            good = false;
        }
    }
    if (report.hasPanel) outputs.panels.push_back(std::move(report.panel));
    return good;
}

// Analyses the files, `plan.jobs` at a time, each report written out in
// input order as soon as the files before it are done. False when one failed.
bool analyseFiles(const std::vector<std::string>& files, const AnalysePlan& plan, bool progress,
                  AnalyseOutputs& outputs, Messages& messages) {
    const size_t count = files.size();
    std::vector<std::unique_ptr<FileReport>> reports(count);
    for (size_t i = 0; i < count; ++i) reports[i] = std::make_unique<FileReport>(plan.job, i);
    bool good = true;
    if (plan.jobs <= 1) {
        // One file at a time, its channels shared by the threads.
        ChannelWorkers workers(plan.threads);
        FileAnalysis analysis(&workers);
        for (size_t i = 0; i < count; ++i) {
            analyseFile(files[i], plan.job, analysis, *reports[i], progress ? &messages.stream() : nullptr);
            good = writeReport(*reports[i], plan, outputs, messages) && good;
            reports[i].reset();
        }
        return good;
    }
    // A file per thread: each thread takes the next file not yet taken.
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<bool> done(count, false);
    std::atomic<size_t> next{0};
    auto work = [&] {
        FileAnalysis analysis(nullptr);
        for (size_t i; (i = next++) < count;) {
            analyseFile(files[i], plan.job, analysis, *reports[i], nullptr);
            std::lock_guard<std::mutex> lock(mutex);
            done[i] = true;
            finished.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < plan.jobs; ++t) threads.emplace_back(work);
    for (size_t i = 0; i < count; ++i) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            finished.wait(lock, [&] { return done[i]; });
        }
        good = writeReport(*reports[i], plan, outputs, messages) && good;
        reports[i].reset();
    }
    for (std::thread& thread : threads) thread.join();
    return good;
}

// Completes the outputs: the JSON array and the plot are written, then every
// file is put in place. Outputs that received no file's results are not
// made. False when one could not be written.
bool finishOutputs(const AnalysePlan& plan, AnalyseOutputs& outputs, Messages& messages) {
    if (!outputs.anyAnalysed) {
        for (OutputFile* file : outputs.all) {
            if (file->isOpen() && !file->isStandardOutput()) {
                messages.note(file->path(), "not written: no file was analysed");
            }
            file->discard();
        }
        return true;
    }
    if (plan.job.form == ResultsForm::Json) {
        // A file name that is no UTF-8 gets U+FFFD rather than stopping the output.
        *outputs.resultsOut << outputs.records.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                            << '\n';
    }
    if (outputs.plot.isOpen()) outputs.plot.stream() << svgDocument(outputs.panels);
    bool good = true;
    std::string reason;
    for (OutputFile* file : outputs.all) {
        if (!file->commit(reason)) {
            messages.error(file->path(), reason);
            good = false;
        }
    }
    return good;
}

int runAnalyse(const AnalyseOptions& options, bool progress, std::ostream& out, Messages& messages) {
    if (options.listWindows) return listWindows(out);
    AnalysePlan plan;
    if (!readAnalysePlan(options, plan, messages)) return kExitUsage;
    const std::vector<NamedOutput> named = {{"--output", options.output},
                                            {"--spectrum", options.spectrum},
                                            {"--per-window", options.perWindow},
                                            {"--histogram", options.histogram},
                                            {"--plot", options.plot}};
    std::vector<NamedOutput> withResults = named;
    if (options.output.empty()) withResults[0].path = kStandardOutputName;  // the results' default
    if (!checkOutputNames(withResults, options.files, messages)) return kExitUsage;

    AnalyseOutputs outputs;
    if (!openOutputs(options, out, plan, outputs, messages)) return kExitFailed;
    bool good = analyseFiles(options.files, plan, progress && plan.jobs <= 1, outputs, messages);
    good = finishOutputs(plan, outputs, messages) && good;
    // Results on the standard output that could not all be written.
    out.flush();
    if (!out.good()) {
        messages.error("", "the standard output could not be written completely");
        good = false;
    }
    return good ? kExitDone : kExitFailed;
}

}  // namespace

int runQuorvelAnalyse(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool progress) {
    Messages messages(err);
    AnalyseOptions analyse;
    RecordOptions record;

    CLI::App app{
        "Analyses recordings of the Quorvel test bench as the bench's spectrum and oscilloscope views do, "
        "and records the simulated board. Everything beside the bench's figures (series over the windows, "
        "--per-window, --sine-fit, --histogram, the coherence fields and warnings) is the tool's own.",
        kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " + QUORVEL_VERSION);
    app.add_option("files", analyse.files,
                   "Files to analyse: recordings (.MRF), WAV or FLAC sound files, or raw binary with --raw");
    app.add_option("-n,--size", analyse.size,
                   "Window length N, in the Size list's spellings: 512, 1.0K, 64K, 2.0M (a power of two)")
        ->capture_default_str();
    app.add_option("-w,--window", analyse.window,
                   "FFT window: its list name, a part of one name, or its id 0..13 (--list-windows)")
        ->capture_default_str();
    app.add_option("-a,--averaging", analyse.averaging, "Spectrum averaging count, as the Avg list (1..40)")
        ->check(wholeNumberFrom(1, kAvgListLength))
        ->capture_default_str();
    app.add_option("--average-counter", analyse.averageCounter,
                   "Averaging of the time statistics, as AverageCounter in Quorvel.cfg (1..100)")
        ->check(wholeNumberFrom(1, kMaxAverageCounter))
        ->capture_default_str();
    app.add_option("-c,--channels", analyse.channels,
                   "Channels shown, numbered as the results list: 1,3-5 (default: all)");
    app.add_option("-v,--view", analyse.view, "View: scope, volts, db0 or db, as the View mode list")
        ->capture_default_str();
    CLI::Option* csv = app.add_flag("--csv", analyse.csv, "Results as CSV: one record per channel and file");
    app.add_flag("--json", analyse.json, "Results as JSON: an array of one record per channel and file")->excludes(csv);
    app.add_option("-o,--output", analyse.output,
                   "Write the results to this file instead of the standard output (- : the standard output)");
    app.add_option("--spectrum", analyse.spectrum,
                   "Write the averaged power spectrum of each channel to this CSV file (- : the standard output)");
    app.add_option("--per-window", analyse.perWindow,
                   "Write every analysed window's figures to this CSV file (- : the standard output)");
    app.add_flag("--sine-fit", analyse.sineFit,
                 "Fit a sine to every analysed window (IEEE 1241, four parameters): fit_* fields and list lines");
    app.add_option("--histogram", analyse.histogram,
                   "Code-density test of a slightly overdriven sine: DNL and INL per code to this CSV file "
                   "(- : the standard output); needs --bits");
    app.add_option("--bits", analyse.bits, "The converter's bits for --histogram (1..24)")
        ->check(wholeNumberFrom(1, 24));
    app.add_option("--plot", analyse.plot,
                   "Write the spectrum or the time signal as an SVG image to this file (- : the standard output)");
    app.add_option("--full-scale", analyse.fullScale,
                   "Volts of the dB to full scale reference, of a sound file's 1.0 and of a raw code's full scale")
        ->check(realNumber())
        ->capture_default_str();
    app.add_option("--start", analyse.start, "Analyse from this many seconds into every file")->check(realNumber());
    CLI::Option* duration =
        app.add_option("--duration", analyse.duration, "Analyse this many seconds of every file")->check(realNumber());
    app.add_option("--raw", analyse.raw,
                   "The files are raw little-endian rows of int16, int32 (codes) or float32 (volts)");
    app.add_option("--rate", analyse.rawRate, "Raw files: the rate of one channel in Hz")->check(realNumber());
    app.add_option("--in-channels", analyse.rawChannels, "Raw files: values per row (1..32)")
        ->check(wholeNumberFrom(1, kChannelRecordCount))
        ->capture_default_str();
    app.add_option("-j,--jobs", analyse.jobs,
                   "Threads: several files are analysed at once, one per thread; a single file shares its "
                   "channels among them (default: one per processor)")
        ->check(wholeNumberFrom(1, kMaxJobs));
    app.add_flag("--list-windows", analyse.listWindows, "List the FFT windows with their ids and exit");
    app.add_flag("-q,--no-progress", analyse.noProgress, "No progress bar");

    CLI::App* recordCommand = app.add_subcommand(
        "record", "Record the simulated board's signals natively into a recording of the bench's format");
    recordCommand->add_option("--config", record.config,
                              "Board settings (default: SimBoard.cfg in the current folder, if there is one)");
    recordCommand->add_option("--seconds", record.seconds, "Seconds of signal")->required()->check(realNumber());
    recordCommand->add_option("output", record.output, "The recording to write, e.g. Sim.MRF")->required();
    recordCommand->add_flag("-q,--no-progress", analyse.noProgress, "No progress bar");
    app.footer(
        "Examples:\n"
        "  quorvel-analyse record --config SimBoard.cfg --seconds 10 Sim.MRF\n"
        "  quorvel-analyse --size 64K --window 12 --averaging 10 Sim.MRF\n"
        "  quorvel-analyse --size 64K --json --spectrum spectrum.csv --plot spectrum.svg Sim.MRF\n"
        "\n"
        "Outputs are written under a temporary name beside their file and renamed when complete; an output that\n"
        "names an input is refused.\n"
        "\n"
        "Exit codes:\n"
        "  0  done\n"
        "  1  a file could not be read, analysed or written (the standard output included)\n"
        "  2  the command line is wrong (nothing was written)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        messages.error("", std::string(e.what()) + " (--help shows the options)");
        return kExitUsage;
    }
    analyse.durationGiven = duration->count() > 0;
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
