// The tool's outputs of one analysis agree with each other: the results
// list lines, the CSV and JSON records (full precision), the spectrum CSV
// and the SVG plot (well-formed XML, one path per shown channel in the
// bench's colours).
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/tools/tool_fixture.h"

namespace {

using nlohmann::json;

// Whether `text` is well-formed XML as far as the plot needs: a declaration,
// one root element, tags that nest and close, quoted attributes without '<',
// only the predefined and numeric entities. Counts the elements by name.
bool wellFormedXml(const std::string& text, std::string& why, std::map<std::string, int>& elements) {
    std::vector<std::string> open;
    size_t i = 0;
    int roots = 0;
    auto isNameChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == ':' || c == '.';
    };
    auto entityAt = [&](size_t at) {
        const size_t end = text.find(';', at);
        if (end == std::string::npos || end - at > 10) return false;
        const std::string name = text.substr(at + 1, end - at - 1);
        if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos") return true;
        const bool hex = name.size() > 2 && name.compare(0, 2, "#x") == 0;
        const size_t digits = hex ? 2 : 1;
        if (name.size() <= digits || name[0] != '#') return false;
        for (size_t k = digits; k < name.size(); ++k) {
            const unsigned char c = static_cast<unsigned char>(name[k]);
            if (!(hex ? std::isxdigit(c) : std::isdigit(c))) return false;
        }
        return true;
    };
    // UTF-8 throughout, as the declaration says.
    for (size_t k = 0; k < text.size();) {
        const auto lead = static_cast<unsigned char>(text[k]);
        const size_t length = lead < 0x80             ? 1
                              : (lead & 0xE0) == 0xC0 ? 2
                              : (lead & 0xF0) == 0xE0 ? 3
                              : (lead & 0xF8) == 0xF0 ? 4
                                                      : 0;
        if (length == 0 || k + length > text.size()) return why = "no UTF-8 at " + std::to_string(k), false;
        for (size_t c = 1; c < length; ++c) {
            if ((static_cast<unsigned char>(text[k + c]) & 0xC0) != 0x80) {
                return why = "no UTF-8 at " + std::to_string(k), false;
            }
        }
        k += length;
    }
    if (text.compare(0, 5, "<?xml") != 0) return why = "no XML declaration", false;
    i = text.find("?>");
    if (i == std::string::npos) return why = "unterminated declaration", false;
    i += 2;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '&') {
            if (!entityAt(i)) return why = "bad entity at " + std::to_string(i), false;
            ++i;
        } else if (c != '<') {
            if (open.empty() && !std::isspace(static_cast<unsigned char>(c))) {
                return why = "text outside the root", false;
            }
            ++i;
        } else if (text.compare(i, 4, "<!--") == 0) {
            const size_t end = text.find("-->", i);
            if (end == std::string::npos) return why = "unterminated comment", false;
            i = end + 3;
        } else if (text.compare(i, 2, "</") == 0) {
            size_t end = i + 2;
            while (end < text.size() && isNameChar(text[end])) ++end;
            const std::string name = text.substr(i + 2, end - i - 2);
            if (open.empty() || open.back() != name) return why = "</" + name + "> closes nothing open", false;
            open.pop_back();
            if (end >= text.size() || text[end] != '>') return why = "bad end tag " + name, false;
            i = end + 1;
        } else {
            size_t end = i + 1;
            while (end < text.size() && isNameChar(text[end])) ++end;
            const std::string name = text.substr(i + 1, end - i - 1);
            if (name.empty()) return why = "tag without a name at " + std::to_string(i), false;
            if (open.empty() && roots++ > 0) return why = "a second root", false;
            ++elements[name];
            i = end;
            for (;;) {
                while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
                if (i >= text.size()) return why = "unterminated tag " + name, false;
                if (text.compare(i, 2, "/>") == 0) {
                    i += 2;
                    break;
                }
                if (text[i] == '>') {
                    open.push_back(name);
                    ++i;
                    break;
                }
                size_t key = i;
                while (i < text.size() && isNameChar(text[i])) ++i;
                if (i == key || i + 1 >= text.size() || text[i] != '=' || (text[i + 1] != '"' && text[i + 1] != '\''))
                    return why = "bad attribute in " + name, false;
                const char quote = text[i + 1];
                const size_t close = text.find(quote, i + 2);
                if (close == std::string::npos) return why = "unterminated attribute in " + name, false;
                for (size_t k = i + 2; k < close; ++k) {
                    if (text[k] == '<') return why = "'<' in an attribute of " + name, false;
                    if (text[k] == '&' && !entityAt(k)) return why = "bad entity in an attribute of " + name, false;
                }
                i = close + 1;
            }
        }
    }
    if (!open.empty()) return why = "<" + open.back() + "> is not closed", false;
    if (roots != 1) return why = "no root element", false;
    return true;
}

// The attributes of every start tag `<name ...>` of the text, in order
// (the tool writes every attribute in double quotes).
std::vector<std::map<std::string, std::string>> startTags(const std::string& text, const std::string& name) {
    std::vector<std::map<std::string, std::string>> tags;
    const std::string opening = "<" + name + " ";
    for (size_t at = text.find(opening); at != std::string::npos; at = text.find(opening, at + 1)) {
        std::map<std::string, std::string> attributes;
        size_t i = at + opening.size();
        for (;;) {
            while (i < text.size() && text[i] == ' ') ++i;
            const size_t equals = text.find("=\"", i);
            if (i >= text.size() || text[i] == '>' || text[i] == '/' || equals == std::string::npos) break;
            const size_t close = text.find('"', equals + 2);
            if (close == std::string::npos) break;
            attributes[text.substr(i, equals - i)] = text.substr(equals + 2, close - equals - 2);
            i = close + 1;
        }
        tags.push_back(attributes);
    }
    return tags;
}

// The list's label of each record field, in the order of the lines after
// the channel's header line.
struct LineField {
    const char* label;  // the text before " = "
    const char* field;
};
const LineField kSpectrumLines[] = {
    {"Min  ", "min_v"},     {"Max  ", "max_v"},     {"Freq ", "freq_hz"},  {"Ampl0", "ampl0_v"},
    {"Ampl0", "ampl0_rms"}, {"Total", "total_rms"}, {"SINAD", "sinad_db"}, {"ENB  ", "enb"},
    {"PP   ", "pp"},        {"SFDR ", "sfdr_db"},   {"SNR  ", "snr_db"},   {"THD  ", "thd_db"},
};
const LineField kScopeLines[] = {
    {"Min  ", "min_v"}, {"Max  ", "max_v"}, {"Avg  ", "avg_v"}, {"RMS  ", "rms_v"}, {"Ueff ", "ueff_v"},
};

class Outputs : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        // Three channels of the simulated board, 1.5 s at 40 kHz each.
        const std::string config = boardSettings(
            "SimBoard.cfg", {"Channels = 3", "Rate = 120000", "Ch2Amplitude = 12", "Ch2Noise = 0.01", "Ch2Bits = 12"});
        recording_ = path("three.MRF");
        const ToolRun made = run({"record", "--config", config, "--seconds", "1.5", recording_});
        ASSERT_EQ(made.exitCode, kExitDone) << made.err;
    }

    std::string recording_;
};

TEST_F(Outputs, CsvAndJsonAgreeWithTheListLines) {
    struct Case {
        const char* view;
        const LineField* fields;
        size_t fieldCount;
    };
    const Case cases[] = {
        {"db", kSpectrumLines, std::size(kSpectrumLines)},
        {"volts", kSpectrumLines, std::size(kSpectrumLines)},
        {"scope", kScopeLines, std::size(kScopeLines)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        const std::vector<std::string> common = {"--size", "8K",     "--window", "12",      "--averaging",
                                                 "3",      "--view", c.view,     recording_};
        std::vector<std::string> arguments = common;
        const ToolRun list = run(arguments);
        arguments.insert(arguments.begin(), "--csv");
        const ToolRun csv = run(arguments);
        arguments[0] = "--json";
        const ToolRun jsonRun = run(arguments);
        ASSERT_EQ(list.exitCode, kExitDone) << list.err;
        ASSERT_EQ(csv.exitCode, kExitDone) << csv.err;
        ASSERT_EQ(jsonRun.exitCode, kExitDone) << jsonRun.err;

        const std::vector<std::string> lines = splitLines(list.out);
        const auto rows = csvRecords(csv.out);
        const json records = json::parse(jsonRun.out);
        ASSERT_EQ(rows.size(), 3u);
        ASSERT_EQ(records.size(), 3u);
        ASSERT_EQ(lines.size(), 3 * (c.fieldCount + 1));
        for (size_t ch = 0; ch < 3; ++ch) {
            SCOPED_TRACE("channel " + std::to_string(ch + 1));
            const json& record = records[ch];
            const std::map<std::string, std::string>& row = rows[ch];
            char header[64];
            std::snprintf(header, sizeof header, "---- Channel \xE2\x84\x96%2d, Gain = %2d --------", int(ch + 1), 1);
            EXPECT_EQ(lines[ch * (c.fieldCount + 1)], header);
            EXPECT_EQ(record["channel"], ch + 1);
            EXPECT_EQ(row.at("channel"), std::to_string(ch + 1));
            EXPECT_EQ(record["file"], recording_);
            EXPECT_EQ(row.at("file"), recording_);
            EXPECT_EQ(record["view"], c.view);
            EXPECT_EQ(row.at("window"), "Blackman-Harris 7term, 7bin");
            EXPECT_EQ(record["windows"], 7);  // 60000 rows, 7 windows of 8192
            for (size_t f = 0; f < c.fieldCount; ++f) {
                const LineField& field = c.fields[f];
                SCOPED_TRACE(field.field);
                const std::string& line = lines[ch * (c.fieldCount + 1) + 1 + f];
                ASSERT_EQ(line.compare(0, 5, field.label), 0) << line;
                const double value = record[field.field].get<double>();
                // Full precision: the CSV text reads back as the JSON number.
                EXPECT_EQ(std::strtod(row.at(field.field).c_str(), nullptr), value);
                // "Label = value unit": the value as the list formats it.
                char shown[32];
                std::snprintf(shown, sizeof shown, "%7.3f", value);
                const std::string text = line.substr(8, line.find(' ', line.find_first_not_of(' ', 8)) - 8);
                EXPECT_EQ(text, shown) << line;
            }
        }
    }
}

TEST_F(Outputs, ChosenChannelsMeasureAsAmongAll) {
    const json all = json::parse(run({"--json", "-n", "4K", "-w", "3", recording_}).out);
    const json chosen = json::parse(run({"--json", "-n", "4K", "-w", "3", "--channels", "3,1", recording_}).out);
    ASSERT_EQ(all.size(), 3u);
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[0], all[0]);
    EXPECT_EQ(chosen[1], all[2]);
    const ToolRun list = run({"-n", "4K", "-w", "3", "--channels", "2", recording_});
    EXPECT_EQ(list.out.find("---- Channel \xE2\x84\x96 2"), 0u) << list.out;
    EXPECT_EQ(list.out.find("Channel \xE2\x84\x96 1"), std::string::npos);
}

TEST_F(Outputs, SpectrumCsvHoldsTheAveragedSpectrum) {
    const std::string spectrum = path("spectrum.csv");
    const ToolRun result = run({"--json", "-n", "2K", "-w", "12", "-a", "4", "-c", "1-2", "--full-scale", "5",
                                "--spectrum", spectrum, recording_});
    ASSERT_EQ(result.exitCode, kExitDone) << result.err;
    const json records = json::parse(result.out);
    const auto rows = csvRecords(readBytes(spectrum));
    ASSERT_EQ(rows.size(), 2u * 1024u);
    for (size_t ch = 0; ch < 2; ++ch) {
        SCOPED_TRACE("channel " + std::to_string(ch + 1));
        double power = 0.0;
        for (size_t k = 0; k < 1024; ++k) {
            const auto& row = rows[ch * 1024 + k];
            ASSERT_EQ(row.at("channel"), std::to_string(ch + 1));
            ASSERT_EQ(row.at("bin"), std::to_string(k));
            ASSERT_EQ(std::strtod(row.at("frequency_hz").c_str(), nullptr), k * 40000.0 / 2048.0);
            const double v = std::strtod(row.at("v_rms").c_str(), nullptr);
            ASSERT_NEAR(std::strtod(row.at("db_fs").c_str(), nullptr), 20.0 * std::log10(v / 5.0), 1e-9);
            power += v * v;
        }
        // The list's Total is the square root of the spectrum's sum.
        EXPECT_NEAR(std::sqrt(power), records[ch]["total_rms"].get<double>(), 1e-12);
        // The fundamental's bin holds the tone: 1025.39 Hz, 9 V peak.
        const double bin = records[ch]["freq_hz"].get<double>() / (40000.0 / 2048.0);
        EXPECT_NEAR(bin, std::round(bin), 1e-3);
    }
}

TEST_F(Outputs, PlotIsWellFormedWithOnePathPerChannel) {
    const std::string second = path("second.MRF");
    writeBytes(second, recordingBytes(1, 1000.0, 4096, [](int64_t r, uint32_t) {
                   return float(std::sin(0.05 * double(r)) + (r % 2 ? 1e-3 : -1e-3));
               }));
    // A name in a single-byte code page, no UTF-8.
    const std::string latin = path("caf\xE9.MRF");
    writeBytes(latin, readBytes(second));
    struct Panel {
        std::vector<std::string> strokes;  // the paths' colours, in order
        const char* xTitle;
    };
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::vector<Panel> panels;
        int exitCode;
    };
    const Case cases[] = {
        {"dB spectrum",
         {"-n", "4K", "-w", "1", recording_},
         {{{"#00FF00", "#FF0000", "#0000FF"}, "Frequency, kHz"}},
         kExitDone},
        // The second file has one channel only: a list of 2-3 is an error
        // there, and its panel is left out.
        {"time signal",
         {"-n", "1K", "-v", "scope", "-c", "2-3", recording_, second},
         {{{"#FF0000", "#0000FF"}, "Time, ms"}},
         kExitFailed},
        {"volts, two files",
         {"-n", "4K", "-v", "volts", "-c", "1", recording_, second},
         {{{"#00FF00"}, "Frequency, kHz"}, {{"#00FF00"}, "Frequency, Hz"}},
         kExitDone},
        {"dB0, slow", {"-n", "4K", "-v", "db0", second}, {{{"#00FF00"}, "Frequency, Hz"}}, kExitDone},
        {"time signal, slow", {"-n", "4K", "-v", "scope", second}, {{{"#00FF00"}, "Time, s"}}, kExitDone},
        {"file name not in UTF-8", {"-n", "1K", latin}, {{{"#00FF00"}, "Frequency, Hz"}}, kExitDone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string plot = path("plot.svg");
        std::vector<std::string> arguments = {"--plot", plot};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;

        const std::string svg = readBytes(plot);
        std::string why;
        std::map<std::string, int> elements;
        ASSERT_TRUE(wellFormedXml(svg, why, elements)) << why;
        EXPECT_EQ(elements["svg"], 1);
        EXPECT_EQ(elements["clipPath"], int(c.panels.size()));
        size_t at = 0;
        for (size_t p = 0; p < c.panels.size(); ++p) {
            SCOPED_TRACE("panel " + std::to_string(p + 1));
            const size_t start = svg.find("<g class=\"panel\"", at);
            ASSERT_NE(start, std::string::npos);
            const size_t end = svg.find("<g class=\"panel\"", start + 1);
            const std::string panel = svg.substr(start, end == std::string::npos ? std::string::npos : end - start);
            at = start + 1;
            std::vector<std::string> strokes;
            for (const auto& tag : startTags(panel, "path")) strokes.push_back(tag.at("stroke"));
            EXPECT_EQ(strokes, c.panels[p].strokes);
            EXPECT_NE(panel.find(std::string(">") + c.panels[p].xTitle + "<"), std::string::npos);
        }
    }
}

TEST_F(Outputs, PlotMarksTheFundamentalAndHarmonics) {
    // Channel 1 of the simulated board: harmonics 2 and 3 at -80 and -90 dBc.
    const std::string plot = path("marks.svg");
    ASSERT_EQ(run({"--plot", plot, "-n", "8K", "-w", "12", "-c", "1", recording_}).exitCode, kExitDone);
    const std::string svg = readBytes(plot);
    std::vector<std::pair<double, std::string>> marks;
    for (const auto& tag : startTags(svg, "line")) {
        if (tag.count("class") && tag.at("class") == "marker") {
            marks.emplace_back(std::stod(tag.at("x1")), tag.at("stroke"));
        }
    }
    // The fundamental and nine harmonics, the fundamental in the channel's
    // colour and the harmonics darker; x of order k at k times the
    // fundamental's (none folds below 20 kHz at 1025 Hz).
    ASSERT_EQ(marks.size(), 10u);
    EXPECT_EQ(marks[0].second, "#00FF00");
    const double left = 80.0;
    const double fundamental = marks[0].first - left;
    for (size_t k = 1; k < marks.size(); ++k) {
        SCOPED_TRACE(k + 1);
        EXPECT_EQ(marks[k].second, "#00BF00");
        EXPECT_NEAR(marks[k].first - left, fundamental * double(k + 1), 0.1);
    }
}

#if !defined(_WIN32)
TEST_F(Outputs, PlotParsesWithPythonsXmlModule) {
    if (std::system("python3 -c 'import xml.etree.ElementTree' >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no python3 here";
    }
    const std::string plot = path("python.svg");
    ASSERT_EQ(run({"--plot", plot, "-n", "4K", recording_}).exitCode, kExitDone);
    const std::string script = path("count_paths.py");
    writeBytes(script,
               "import sys, xml.etree.ElementTree as ET\n"
               "root = ET.parse(sys.argv[1]).getroot()\n"
               "paths = root.findall('.//{http://www.w3.org/2000/svg}path')\n"
               "sys.exit(0 if root.tag == '{http://www.w3.org/2000/svg}svg' and len(paths) == 3 else 1)\n");
    EXPECT_EQ(std::system(("python3 '" + script + "' '" + plot + "'").c_str()), 0);
}
#endif

}  // namespace
