#pragma once
// What the tests of quorvel-analyse share: a temporary folder, the command
// run in-process as main runs it, recordings written byte by byte (not
// through the tool's code) and a minimal reader of the tool's outputs.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "recording/record_format.h"
#include "tests/support/test_files.h"
#include "tools/quorvel-analyse/command.h"

struct ToolRun {
    int exitCode;
    std::string out;
    std::string err;
};

// Lines of a text without their line breaks.
inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Fields of one CSV line (quoted fields with doubled quotes inside).
inline std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// The records of a CSV text, each a map of column to text; a row whose field
// count differs from the header's fails the test.
inline std::vector<std::map<std::string, std::string>> csvRecords(const std::string& text) {
    const std::vector<std::string> lines = splitLines(text);
    std::vector<std::map<std::string, std::string>> records;
    if (lines.empty()) return records;
    const std::vector<std::string> columns = splitCsv(lines[0]);
    for (size_t k = 1; k < lines.size(); ++k) {
        const std::vector<std::string> fields = splitCsv(lines[k]);
        EXPECT_EQ(fields.size(), columns.size()) << lines[k];
        std::map<std::string, std::string> record;
        for (size_t f = 0; f < fields.size() && f < columns.size(); ++f) record[columns[f]] = fields[f];
        records.push_back(record);
    }
    return records;
}

class ToolTest : public TempDirTest {
protected:
    // The command with these arguments (the program name is added).
    static ToolRun run(const std::vector<std::string>& arguments) {
        std::vector<const char*> argv = {"quorvel-analyse"};
        for (const std::string& a : arguments) argv.push_back(a.c_str());
        std::ostringstream out, err;
        const int code = runQuorvelAnalyse(static_cast<int>(argv.size()), argv.data(), out, err, false);
        return {code, out.str(), err.str()};
    }

    static std::string headerBytes(uint32_t channels, double rate) {
        const RecordHeader header = makeRecordHeader(channels, rate);
        return std::string(reinterpret_cast<const char*>(&header), sizeof header);
    }

public:
    // A recording whose value of channel c in row r is value(r, c).
    static std::string recordingBytesOf(uint32_t channels, double rate, int64_t rows,
                                        const std::function<float(int64_t, uint32_t)>& value) {
        std::string bytes = headerBytes(channels, rate);
        for (int64_t r = 0; r < rows; ++r) {
            for (uint32_t c = 0; c < channels; ++c) {
                const float v = value(r, c);
                bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
            }
        }
        return bytes;
    }

protected:
    static std::string recordingBytes(uint32_t channels, double rate, int64_t rows,
                                      const std::function<float(int64_t, uint32_t)>& value) {
        return recordingBytesOf(channels, rate, rows, value);
    }

    // A SimBoard.cfg with these lines.
    std::string boardSettings(const std::string& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) text += line + "\r\n";
        const std::string file = path(name);
        writeBytes(file, text);
        return file;
    }
};
