// Quorvel.cfg from any bytes: the reader's look-ups on the text in memory,
// then the file read into the settings record over the presets, whose every
// field must come out within its range.
#include <cmath>
#include <cstring>

#include "config/config_reader.h"
#include "config/settings.h"
#include "fuzz_support.h"

namespace {

// A text field holds its terminator.
template <size_t size>
bool terminated(const char (&text)[size]) {
    return std::memchr(text, 0, size) != nullptr;
}

bool isWindowLength(int32_t value) {
    return value >= kMinWindowLength && value <= (1 << 30) && (value & (value - 1)) == 0;
}

// The key that the input's own first word spells (up to '=' or the line's
// end, at most 300 bytes: longer than the reader compares), so that the
// look-ups find what the input holds and not only the fixed names.
std::string firstWord(const uint8_t* data, size_t size) {
    std::string key;
    for (size_t i = 0; i < size && key.size() < 300; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == '=' || c == '\n') break;
        key += c;
    }
    return key;
}

void lookUp(const ConfigReader& reader, const char* key) {
    const bool empty = reader.empty();
    for (int size : {1, 8}) {
        char text[9];
        std::memset(text, 'x', sizeof text);
        const int found = reader.readString(key, text, size, "default");
        FUZZ_CHECK(found >= -1 && found <= 1);
        if (empty) {
            FUZZ_CHECK(found == -1 && text[0] == 'x');
        } else {
            FUZZ_CHECK(std::memchr(text, 0, static_cast<size_t>(size)) != nullptr);
            FUZZ_CHECK(text[size] == 'x');
        }
    }

    int32_t integer = 7;
    double real = 7.0;
    float single = 7.0f;
    const int intFound = reader.readInt(key, &integer, 0);
    const int realFound = reader.readDouble(key, &real, 0.0);
    const int singleFound = reader.readFloat(key, &single, 0.0f);
    // One token, three conversions: it is a number for all of them or none.
    FUZZ_CHECK(intFound == realFound && realFound == singleFound);
    if (intFound != 1) FUZZ_CHECK(integer == 7 && real == 7.0 && single == 7.0f);
    FUZZ_CHECK(!std::isnan(real));

    // The list stops where countValues stops counting, and at its room.
    int32_t list[kMaxSizes + 1];
    list[kMaxSizes] = 0x5A5A5A5A;
    const int listed = reader.readIntList(key, list, kMaxSizes);
    const int counted = reader.countValues(key);
    if (empty) {
        FUZZ_CHECK(listed == -1 && counted == -1);
    } else {
        FUZZ_CHECK(listed >= 0 && listed <= kMaxSizes);
        FUZZ_CHECK(listed == (counted < kMaxSizes ? counted : kMaxSizes));
        FUZZ_CHECK((listed > 0) == (intFound == 1));
        if (listed > 0) FUZZ_CHECK(list[0] == integer);
    }
    FUZZ_CHECK(list[kMaxSizes] == 0x5A5A5A5A);
}

// Start-up's presets over a record of garbage, as in the program.
Settings presetSettings() {
    Settings settings;
    std::memset(&settings, 0xAB, sizeof settings);
    presetConstructorDefaults(settings);
    presetDefaults(settings, SystemColours{0x00C0C0C0, 0x00808080});
    return settings;
}

void checkSettings(Settings& s) {
    FUZZ_CHECK(s.displayTime >= 20 && s.displayTime <= 10000);
    FUZZ_CHECK(s.displayBlocks >= 1 && s.displayBlocks <= 1024);
    FUZZ_CHECK(s.maxUsedMemory >= 1024 && s.maxUsedMemory <= 0x10000000);
    FUZZ_CHECK(s.averageCounter >= 1 && s.averageCounter <= 100);
    FUZZ_CHECK(s.fftScaleDb >= 20.0 && s.fftScaleDb <= 220.0);
    FUZZ_CHECK(s.helpPreDelay >= 0 && s.helpPreDelay <= 60000);
    FUZZ_CHECK(s.helpPostDelay >= 500 && s.helpPostDelay <= 60000);
    FUZZ_CHECK(terminated(s.deviceName) && s.deviceName[0] != 0);
    FUZZ_CHECK(terminated(s.utilityName) && s.utilityName[0] != 0);
    FUZZ_CHECK(terminated(s.plotStyle.fontName) && terminated(s.fileName));
    FUZZ_CHECK(s.plotStyle.fontNamePtr == s.plotStyle.fontName);
    // The scope's half-span divides the plot: a positive, finite number.
    FUZZ_CHECK(s.oscScale > 0.0f && std::isfinite(s.oscScale));
    FUZZ_CHECK(s.sizeCount >= 1 && s.sizeCount <= kMaxSizes);
    for (int i = 0; i < s.sizeCount; ++i) FUZZ_CHECK(isWindowLength(s.sizeArray[i]));
    // Once the board's full scale is known the volt scale is a usable number.
    for (double fullScale : {1.0, 10.0}) {
        Settings bounded = s;
        boundFftScale(bounded, fullScale);
        FUZZ_CHECK(bounded.fftScaleV >= 0.1 && bounded.fftScaleV <= 2.0 * fullScale);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ConfigReader reader(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(reader.empty() == (size == 0 || size > ConfigReader::kMaxFileBytes));
    const std::string own = firstWord(data, size);
    // loadConfig below asks for every key of the file; here the look-ups
    // themselves, on the input's own key, a list key and blank keys.
    for (const char* key : {own.c_str(), "SizeArray", " ", ""}) lookUp(reader, key);

    static const ScratchFile file("Quorvel.cfg");
    Settings settings = presetSettings();
    loadConfig(settings, file.write(data, size));
    if (size == 0) return 0;  // an empty file keeps the presets untouched
    checkSettings(settings);
    return 0;
}
