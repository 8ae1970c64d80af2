#include "recording/record_format.h"

#include <cstring>

void initSectionHeader(SectionHeader& section, const char* name) {
    std::memset(section.name, ' ', sizeof section.name);
    if (name) std::memcpy(section.name, name, strnlen(name, sizeof section.name));
    section.payloadBytes = 0;
}

RecordHeader makeRecordHeader(uint32_t channelCount, double channelRate) {
    RecordHeader header;
    initSectionHeader(header.file, kFileSectionName);
    initSectionHeader(header.formatSection, kFormatSectionName);
    header.formatSection.payloadBytes = sizeof(RecordFormat);
    header.format.formatCode = kRecordFormatCode;
    header.format.channelCount = channelCount;
    header.format.channelRate = channelRate;
    const uint8_t flags[4] = {1, 0, 0, 1};
    std::memcpy(header.format.flags, flags, sizeof flags);
    initSectionHeader(header.samples, kSamplesSectionName);
    header.samples.payloadBytes = kPayloadToEnd;
    return header;
}

namespace {

bool named(const SectionHeader& section, const char* name) {
    SectionHeader want;
    initSectionHeader(want, name);
    return std::memcmp(section.name, want.name, sizeof want.name) == 0;
}

}  // namespace

bool parseRecordHeader(const void* bytes, size_t length, RecordHeader& header) {
    if (!bytes || length < sizeof header) return false;
    std::memcpy(&header, bytes, sizeof header);
    return named(header.file, kFileSectionName) && named(header.formatSection, kFormatSectionName) &&
           header.formatSection.payloadBytes == sizeof(RecordFormat) && header.format.formatCode == kRecordFormatCode &&
           header.format.channelCount >= 1 && header.format.channelCount <= 32 &&
           named(header.samples, kSamplesSectionName);
}
