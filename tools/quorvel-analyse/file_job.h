#pragma once
// One input file analysed into its share of every output: the messages
// about it, its results (list lines, CSV rows or JSON records), its spectrum
// rows, its windows' rows and its plot panel. Jobs of several files run in
// parallel (each with a FileAnalysis of its own) and their reports are
// written out in input order, so the outputs are those of one thread.
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/quorvel-analyse/exports.h"
#include "tools/quorvel-analyse/file_analysis.h"
#include "tools/quorvel-analyse/input_files.h"
#include "tools/quorvel-analyse/output_file.h"
#include "tools/quorvel-analyse/svg_plot.h"

enum class ResultsForm { List, Csv, Json };

// What every file's analysis is asked for, the same for all of them.
struct JobSettings {
    AnalysisSettings analysis;
    std::vector<int32_t> chosen;    // channels shown, 0-based; empty: all
    double fullScale = 10.0;        // V, the dB to full scale reference
    double startSeconds = 0.0;      // the analysed range of every file
    double durationSeconds = -1.0;  // below 0: to the end of the file
    InputOptions input;
    ResultsForm form = ResultsForm::List;
    bool severalFiles = false;  // list lines get a "==== FILE" line
    bool spectrum = false;      // which outputs are written
    bool perWindow = false;
    bool plot = false;
    bool sineFit = false;       // the tool's converter tests
    int32_t histogramBits = 0;  // 0: no histogram
    // Temporary names of the outputs' files, beside which a job's share is
    // kept when it grows large; empty: in memory only.
    std::string spectrumSpill;
    std::string perWindowSpill;
    std::string histogramSpill;

    // The optional groups of fields of the records.
    RecordFields fields() const;
};

struct FileReport {
    FileReport(const JobSettings& settings, size_t job);

    std::ostringstream messages;  // lines for the standard error
    bool failed = false;          // an error was reported
    bool analysed = false;        // results were made
    std::string results;          // list lines or CSV rows (no header)
    nlohmann::ordered_json records = nlohmann::ordered_json::array();
    Spool spectrum;
    Spool perWindow;
    Spool histogram;
    bool hasPanel = false;
    PlotPanel panel;
};

// Analyses `path` into `report`. `progress`, when not null, receives the
// progress bar.
void analyseFile(const std::string& path, const JobSettings& settings, FileAnalysis& analysis, FileReport& report,
                 std::ostream* progress);
