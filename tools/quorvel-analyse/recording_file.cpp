#include "tools/quorvel-analyse/recording_file.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <sstream>

#include "analysis/signal_metrics.h"
#include "tools/quorvel-analyse/file_position.h"

namespace {

// The parts of the header that every recording has alike, and what it
// means when one differs.
struct FixedPart {
    size_t offset;
    size_t size;
    const char* differs;
};

constexpr FixedPart kFixedParts[] = {
    {offsetof(RecordHeader, file.name), 24, "the first section is not \"MirnelFFS\""},
    {offsetof(RecordHeader, file.payloadBytes), 8, "the \"MirnelFFS\" section's length is not 0"},
    {offsetof(RecordHeader, formatSection.name), 24, "the second section is not \"SAMPLES_FORMAT\""},
    {offsetof(RecordHeader, formatSection.payloadBytes), 8, "the \"SAMPLES_FORMAT\" section's length is not 20"},
    {offsetof(RecordHeader, format.formatCode), 4, "the format code is not 7 (rows of float32 volts)"},
    {offsetof(RecordHeader, samples.name), 24, "the third section is not \"SAMPLES_RECORD\""},
    {offsetof(RecordHeader, samples.payloadBytes), 8, "the \"SAMPLES_RECORD\" section's length is not all ones"},
};

std::string formatNumber(double value) {
    std::ostringstream text;
    text.precision(17);
    text << value;
    return text.str();
}

}  // namespace

std::string checkRecordHeader(const void* bytes, size_t length) {
    const RecordHeader expected = makeRecordHeader(1, 1.0);
    const auto* want = reinterpret_cast<const unsigned char*>(&expected);
    const auto* got = static_cast<const unsigned char*>(bytes);
    for (const FixedPart& part : kFixedParts) {
        if (part.offset >= length) continue;
        const size_t present = std::min(part.size, length - part.offset);
        if (std::memcmp(got + part.offset, want + part.offset, present) != 0) {
            return std::string("not a recording: ") + part.differs;
        }
    }
    if (length < kRecordHeaderBytes) {
        return "truncated header: " + std::to_string(length) + " of " + std::to_string(kRecordHeaderBytes) + " bytes";
    }
    RecordHeader header;
    std::memcpy(&header, bytes, sizeof header);
    const uint32_t count = header.format.channelCount;
    if (count < 1 || count > static_cast<uint32_t>(kChannelRecordCount)) {
        return "channel count " + std::to_string(count) + " (a recording has 1 to " +
               std::to_string(kChannelRecordCount) + ")";
    }
    const double rate = header.format.channelRate;
    if (!std::isfinite(rate) || !(rate > 0.0)) {
        return "channel rate " + formatNumber(rate) + " Hz (it must be finite and above 0)";
    }
    return std::string();
}

RecordingFile::~RecordingFile() {
    if (file_) std::fclose(file_);
}

bool RecordingFile::open(const std::string& path, std::string& reason) {
    if (file_) std::fclose(file_);
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        reason = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    unsigned char bytes[kRecordHeaderBytes];
    const size_t length = std::fread(bytes, 1, sizeof bytes, file_);
    if (std::ferror(file_)) {
        reason = std::string("cannot read: ") + std::strerror(errno);
        return false;
    }
    reason = checkRecordHeader(bytes, length);
    if (!reason.empty()) return false;
    std::memcpy(&header_, bytes, sizeof header_);

    const int64_t size = fileSize(file_, static_cast<int64_t>(kRecordHeaderBytes));
    if (size < static_cast<int64_t>(kRecordHeaderBytes)) {
        reason = "cannot find the file's size";
        return false;
    }
    const uint64_t rowBytes = uint64_t(channelCount()) * sizeof(float);
    const uint64_t data = static_cast<uint64_t>(size) - kRecordHeaderBytes;
    rowCount_ = data / rowBytes;
    partialBytes_ = data % rowBytes;
    return true;
}

bool RecordingFile::readRows(float* values, size_t rows) {
    if (!file_) return false;
    const size_t rowBytes = size_t(channelCount()) * sizeof(float);
    return std::fread(values, rowBytes, rows, file_) == rows;
}

bool RecordingFile::skipRows(uint64_t rows) {
    if (!file_) return false;
    const int64_t here = position(file_);
    const uint64_t rowBytes = uint64_t(channelCount()) * sizeof(float);
    const uint64_t end = kRecordHeaderBytes + rowCount_ * rowBytes;
    if (here < 0 || rows > (end - static_cast<uint64_t>(here)) / rowBytes) return false;
    return seekTo(file_, here + static_cast<int64_t>(rows * rowBytes), SEEK_SET);
}
