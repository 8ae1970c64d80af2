// Checks one data file written by the bench's recording against the
// simulated board's signal, reading it a slice at a time so that a file of
// any size needs the same little memory.
//
// Usage:
//   check_record FILE --channels N --rate HZ [--full-scale V]
//                [--max-leading-zeros ROWS]
//                --tone CHANNEL:AMPLITUDE:HZ[:DC[:NOISE[:BITS]]]...
//
// What is checked:
//   - the size: the 116-byte header and then whole rows of N float32 values;
//   - the header: the three section names and lengths, format code 7, the
//     channel count, the rate of one channel (exactly HZ) and its flag bytes;
//   - every value is finite;
//   - the file may begin with at most ROWS rows of zeros (what the channel
//     windows held before they had filled); after them, for every channel
//     with a --tone: its smallest and largest value lie within the
//     quantization step, six noise sigmas and the sampling of the crest of
//     DC - AMPLITUDE and DC + AMPLITUDE (so the tone is really there and
//     nothing strays beyond it), and no two consecutive values differ by
//     more than the sine's largest step between two samples plus the
//     quantization and noise: a block lost, repeated or written out of
//     place breaks the sine there.
// Prints one summary line; on failure one line per problem after it, and
// exits with 1 (2 for a wrong command line, 3 for a file that cannot be read).
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "recording/record_format.h"

namespace {

constexpr size_t kSliceRows = 65536;
constexpr int kMaxChannels = 32;
constexpr double kPi = 3.14159265358979323846;

struct Tone {
    int channel = -1;
    double amplitude = 0;  // peak volts
    double frequency = 0;  // Hz
    double dc = 0;         // volts
    double noise = 0;      // volts RMS
    int bits = 16;
};

struct ChannelFigures {
    double min = INFINITY;
    double max = -INFINITY;
    double maxStep = 0;
    uint64_t maxStepRow = 0;
};

struct Options {
    const char* file = nullptr;
    int channels = 0;
    double rate = 0;
    double fullScale = 10.0;
    uint64_t maxLeadingZeros = 0;
    std::vector<Tone> tones;
};

[[noreturn]] void usage(const char* why) {
    std::fprintf(stderr,
                 "check_record: %s\n"
                 "usage: check_record FILE --channels N --rate HZ [--full-scale V] "
                 "[--max-leading-zeros ROWS] --tone CHANNEL:AMPLITUDE:HZ[:DC[:NOISE[:BITS]]]...\n",
                 why);
    std::exit(2);
}

double number(const char* text, const char* what) {
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (end == text || *end != 0 || errno != 0 || !std::isfinite(value)) {
        usage((std::string("not a number for ") + what + ": '" + text + "'").c_str());
    }
    return value;
}

Tone parseTone(const char* text) {
    std::vector<std::string> parts;
    std::string part;
    for (const char* p = text;; ++p) {
        if (*p == ':' || *p == 0) {
            parts.push_back(part);
            part.clear();
            if (*p == 0) break;
        } else {
            part += *p;
        }
    }
    if (parts.size() < 3 || parts.size() > 6) usage("--tone wants CHANNEL:AMPLITUDE:HZ[:DC[:NOISE[:BITS]]]");
    Tone tone;
    tone.channel = static_cast<int>(number(parts[0].c_str(), "the tone's channel"));
    tone.amplitude = number(parts[1].c_str(), "the tone's amplitude");
    tone.frequency = number(parts[2].c_str(), "the tone's frequency");
    if (parts.size() > 3) tone.dc = number(parts[3].c_str(), "the tone's DC");
    if (parts.size() > 4) tone.noise = number(parts[4].c_str(), "the tone's noise");
    if (parts.size() > 5) tone.bits = static_cast<int>(number(parts[5].c_str(), "the tone's bits"));
    if (tone.amplitude < 0 || tone.frequency < 0 || tone.noise < 0 || tone.bits < 1 || tone.bits > 16) {
        usage("--tone: amplitude, frequency and noise are not negative, bits 1..16");
    }
    return tone;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) usage((arg + " wants a value").c_str());
            return argv[++i];
        };
        if (arg == "--channels") options.channels = static_cast<int>(number(value(), "--channels"));
        else if (arg == "--rate") options.rate = number(value(), "--rate");
        else if (arg == "--full-scale") options.fullScale = number(value(), "--full-scale");
        else if (arg == "--max-leading-zeros")
            options.maxLeadingZeros = static_cast<uint64_t>(number(value(), "--max-leading-zeros"));
        else if (arg == "--tone") options.tones.push_back(parseTone(value()));
        else if (arg.size() > 1 && arg[0] == '-') usage(("unknown option " + arg).c_str());
        else if (options.file) usage("one file only");
        else options.file = argv[i];
    }
    if (!options.file) usage("no file");
    if (options.channels < 1 || options.channels > kMaxChannels) usage("--channels wants 1..32");
    if (!(options.rate > 0)) usage("--rate wants a rate above 0");
    for (const Tone& tone : options.tones) {
        if (tone.channel < 0 || tone.channel >= options.channels) usage("a tone's channel is not in the file");
    }
    return options;
}

// The header, field by field, against the one the recorder writes for this
// channel count and rate.
void checkHeader(const unsigned char* bytes, const Options& options, std::vector<std::string>& problems) {
    const RecordHeader want = makeRecordHeader(static_cast<uint32_t>(options.channels), options.rate);
    RecordHeader got;
    std::memcpy(&got, bytes, sizeof got);
    struct Field {
        const char* what;
        size_t offset;
        size_t size;
    };
    const Field fields[] = {
        {"the first section's name", offsetof(RecordHeader, file.name), sizeof want.file.name},
        {"the first section's length", offsetof(RecordHeader, file.payloadBytes), sizeof(uint64_t)},
        {"the second section's name", offsetof(RecordHeader, formatSection.name), sizeof want.formatSection.name},
        {"the second section's length", offsetof(RecordHeader, formatSection.payloadBytes), sizeof(uint64_t)},
        {"the format code", offsetof(RecordHeader, format.formatCode), sizeof(uint32_t)},
        {"the flag bytes", offsetof(RecordHeader, format.flags), sizeof want.format.flags},
        {"the third section's name", offsetof(RecordHeader, samples.name), sizeof want.samples.name},
        {"the third section's length", offsetof(RecordHeader, samples.payloadBytes), sizeof(uint64_t)},
    };
    const auto* wantBytes = reinterpret_cast<const unsigned char*>(&want);
    char text[160];
    for (const Field& field : fields) {
        if (std::memcmp(bytes + field.offset, wantBytes + field.offset, field.size) != 0) {
            std::snprintf(text, sizeof text, "header: %s (%zu bytes at %zu): not what a recording holds", field.what,
                          field.size, field.offset);
            problems.push_back(text);
        }
    }
    if (got.format.channelCount != want.format.channelCount) {
        std::snprintf(text, sizeof text, "header: channel count: got %u, want %u", got.format.channelCount,
                      want.format.channelCount);
        problems.push_back(text);
    }
    if (got.format.channelRate != want.format.channelRate) {
        std::snprintf(text, sizeof text, "header: channel rate: got %.17g Hz, want %.17g Hz", got.format.channelRate,
                      want.format.channelRate);
        problems.push_back(text);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    const int channels = options.channels;
    const size_t rowBytes = sizeof(float) * static_cast<size_t>(channels);

    FILE* file = std::fopen(options.file, "rb");
    if (!file) {
        std::printf("%s: cannot be opened: %s\n", options.file, std::strerror(errno));
        return 3;
    }
    std::vector<std::string> problems;
    char text[256];

    unsigned char header[kRecordHeaderBytes];
    const size_t headerRead = std::fread(header, 1, kRecordHeaderBytes, file);
    if (headerRead < kRecordHeaderBytes) {
        std::printf("%s: %zu bytes, shorter than the %zu-byte header\n", options.file, headerRead, kRecordHeaderBytes);
        std::fclose(file);
        return 1;
    }
    checkHeader(header, options, problems);

    std::vector<ChannelFigures> figures(static_cast<size_t>(channels));
    std::vector<float> slice(kSliceRows * static_cast<size_t>(channels));
    std::vector<float> previous(static_cast<size_t>(channels));
    uint64_t rows = 0;
    uint64_t leadingZeros = 0;
    uint64_t nonFinite = 0;
    uint64_t firstNonFiniteRow = 0;
    bool signalStarted = false;
    size_t tailBytes = 0;

    for (;;) {
        const size_t bytes = std::fread(slice.data(), 1, slice.size() * sizeof(float), file);
        const size_t sliceRows = bytes / rowBytes;
        for (size_t r = 0; r < sliceRows; ++r, ++rows) {
            const float* row = slice.data() + r * static_cast<size_t>(channels);
            if (!signalStarted) {
                bool zero = true;
                for (int c = 0; c < channels; ++c) zero = zero && row[c] == 0.0f;
                if (zero) {
                    ++leadingZeros;
                    continue;
                }
                signalStarted = true;
                for (int c = 0; c < channels; ++c) previous[c] = row[c];
            }
            for (int c = 0; c < channels; ++c) {
                const float value = row[c];
                if (!std::isfinite(value)) {
                    if (nonFinite++ == 0) firstNonFiniteRow = rows;
                    previous[c] = value;
                    continue;
                }
                ChannelFigures& f = figures[c];
                if (value < f.min) f.min = value;
                if (value > f.max) f.max = value;
                if (std::isfinite(previous[c])) {
                    const double step = std::fabs(double(value) - double(previous[c]));
                    if (step > f.maxStep) {
                        f.maxStep = step;
                        f.maxStepRow = rows;
                    }
                }
                previous[c] = value;
            }
        }
        if (bytes < slice.size() * sizeof(float)) {
            tailBytes = bytes - sliceRows * rowBytes;
            break;
        }
    }
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError) {
        std::printf("%s: read error after %" PRIu64 " rows\n", options.file, rows);
        return 3;
    }

    const uint64_t size = kRecordHeaderBytes + rows * rowBytes + tailBytes;
    if (tailBytes != 0) {
        std::snprintf(text, sizeof text,
                      "size: %" PRIu64 " bytes is not the header and whole rows of %zu bytes (%zu bytes over)", size,
                      rowBytes, tailBytes);
        problems.push_back(text);
    }
    if (nonFinite) {
        std::snprintf(text, sizeof text, "%" PRIu64 " values are not finite, the first in row %" PRIu64, nonFinite,
                      firstNonFiniteRow);
        problems.push_back(text);
    }
    if (leadingZeros > options.maxLeadingZeros) {
        std::snprintf(text, sizeof text, "the file begins with %" PRIu64 " rows of zeros, want at most %" PRIu64,
                      leadingZeros, options.maxLeadingZeros);
        problems.push_back(text);
    }
    if (!signalStarted) problems.push_back("no row holds anything but zeros");

    std::string summary;
    for (const Tone& tone : options.tones) {
        const ChannelFigures& f = figures[tone.channel];
        // One converter step in volts; rounding to the nearest step is off
        // by half of it at most.
        const double step = options.fullScale / 32768.0 * std::ldexp(1.0, 16 - tone.bits);
        // The sample nearest to a crest may miss it by half a sample period.
        const double crestMiss = tone.amplitude * (1.0 - std::cos(kPi * tone.frequency / options.rate));
        const double slack = step + 6.0 * tone.noise + crestMiss;
        const double wantMax = tone.dc + tone.amplitude;
        const double wantMin = tone.dc - tone.amplitude;
        const double stepBound =
            2.0 * tone.amplitude * std::sin(std::fmin(kPi * tone.frequency / options.rate, kPi / 2)) + 2.0 * step +
            12.0 * tone.noise;
        char line[200];
        std::snprintf(line, sizeof line, ", ch%d %.4f..%.4f V (max step %.4f V)", tone.channel, f.min, f.max,
                      f.maxStep);
        summary += line;
        if (!signalStarted) continue;
        if (std::fabs(f.max - wantMax) > slack || std::fabs(f.min - wantMin) > slack) {
            std::snprintf(text, sizeof text, "channel %d: range %.6f..%.6f V, want %.6f..%.6f V within %.6f V",
                          tone.channel, f.min, f.max, wantMin, wantMax, slack);
            problems.push_back(text);
        }
        if (f.maxStep > stepBound) {
            std::snprintf(text, sizeof text,
                          "channel %d: a step of %.6f V between rows %" PRIu64 " and %" PRIu64
                          " breaks the sine (at most %.6f V)",
                          tone.channel, f.maxStep, f.maxStepRow - 1, f.maxStepRow, stepBound);
            problems.push_back(text);
        }
    }

    std::printf("%s: %" PRIu64 " bytes, %" PRIu64 " rows (%.1f s), %" PRIu64 " leading rows of zeros%s: %s\n",
                options.file, size, rows, rows / options.rate, leadingZeros, summary.c_str(),
                problems.empty() ? "OK" : "FAILED");
    for (const std::string& problem : problems) std::printf("  %s\n", problem.c_str());
    return problems.empty() ? 0 : 1;
}
