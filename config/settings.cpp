#include "config/settings.h"

#include <cmath>
#include <cstdio>

#include "config/config_reader.h"
#include "config/default_config.h"
#include "config/text_copy.h"
#include "display/channel_colours.h"
#include "platform/file_io.h"

namespace {

constexpr int kPresetSizeCount = 9;  // 1K .. 256K
constexpr int32_t kPresetFirstSize = 1024;
// Largest power of two an int32 holds; larger configured sizes stop here.
constexpr int32_t kMaxWindowLength = 1 << 30;

constexpr char kFallbackDevice[] = "QX410A";
constexpr char kFallbackUtility[] = "KestoUtility";

template <typename T>
void clampTo(T& value, T low, T high) {
    if (value < low) value = low;
    else if (value > high) value = high;
}

// Smallest power of two not below value (1 for values below 2), raised to
// kMinWindowLength, at most kMaxWindowLength.
int32_t windowLengthFor(int32_t value) {
    int32_t length = 1;
    while (length < value && length < kMaxWindowLength) length <<= 1;
    return length < kMinWindowLength ? kMinWindowLength : length;
}

// A colour key read into a 32-bit colour field, kept when missing or invalid.
void readColour(const ConfigReader& reader, const char* key, uint32_t& colour) {
    int32_t value = static_cast<int32_t>(colour);
    reader.readInt(key, &value, 0);
    colour = static_cast<uint32_t>(value);
}

}  // namespace

void presetConstructorDefaults(Settings& settings) {
    settings.helpPreDelay = 2000;
    settings.helpPostDelay = 5000;
    settings.fileAutoIncrement = 0;
}

void presetDefaults(Settings& settings, const SystemColours& colours) {
    settings.displayTime = 200;
    settings.displayBlocks = 50;
    settings.boardFlags &= ~(kBoardCapable | kUsePellumEx1);
    settings.maxUsedMemory = 0x4000000;
    settings.averageCounter = 1;
    settings.fftScaleDb = 100.0;
    settings.fftScaleV = 10.0;
    copyText(settings.deviceName, kFallbackDevice);
    copyText(settings.utilityName, kFallbackUtility);
    settings.base = 1;
    settings.oscScale = 10.0f;
    for (int i = 0; i < kMaxSizes; ++i) settings.sizeArray[i] = i < kPresetSizeCount ? kPresetFirstSize << i : 0;
    settings.sizeCount = kPresetSizeCount;
    copyText(settings.fileName, "Dat");

    PlotStyle& style = settings.plotStyle;
    style.styleVersion = 768;
    style.marginX = 10;
    style.marginY = 10;
    style.gridLinesY = 5;
    style.bgColor = colours.buttonFace;
    style.oscColor = colours.buttonShadow;
    style.oscGridColor = colours.buttonFace;
    style.textColor = 0;
    style.flags = 0;
    style.frameWidth = 2;
    // Points into this very record: a copied Settings must set it again.
    style.fontNamePtr = style.fontName;
    style.fontSize = 8;
    style.gridLinesX = 8;
    style.window = nullptr;
    for (int k = 0; k < 32; ++k) style.channelColour[k] = presetChannelColour(k);
    copyText(style.fontName, "Courier New Cyr");
}

void writeDefaultConfig(const char* fileName) {
    const std::string_view text = builtInConfigText();
    // Without the built-in text an empty file would only hide the presets.
    if (text.empty()) return;
    const FileHandle file = createNewFile(fileName);
    if (file == kInvalidFile) return;
    writeFile(file, text.data(), text.size());
    closeFile(file);
}

void loadConfig(Settings& settings, const char* fileName) {
    const ConfigReader reader(fileName);
    if (reader.empty()) return;

    int32_t usePellumEx1 = 0;
    reader.readInt("DisplayTime", &settings.displayTime, 200);
    reader.readInt("DisplayBlocks", &settings.displayBlocks, 100);
    reader.readInt("USEPellumEx1", &usePellumEx1, 0);
    reader.readInt("MaxUsedMemory", &settings.maxUsedMemory, 0x4000000);
    clampTo(settings.displayTime, 20, 10000);
    clampTo(settings.displayBlocks, 1, 1024);
    if (usePellumEx1 != 0) settings.boardFlags |= kUsePellumEx1;
    else settings.boardFlags &= ~kUsePellumEx1;
    clampTo(settings.maxUsedMemory, 1024, 0x10000000);

    reader.readInt("AverageCounter", &settings.averageCounter, 1);
    clampTo(settings.averageCounter, 1, 100);

    reader.readDouble("FFTScaleDB", &settings.fftScaleDb, 140.0);
    if (!(settings.fftScaleDb >= 20.0)) settings.fftScaleDb = 20.0;
    else if (settings.fftScaleDb > 220.0) settings.fftScaleDb = 220.0;

    reader.readDouble("FFTScaleV", &settings.fftScaleV, 10.0);

    reader.readInt("HelpPreDelay", &settings.helpPreDelay, 60000);
    clampTo(settings.helpPreDelay, 0, 60000);
    reader.readInt("HelpPostDelay", &settings.helpPostDelay, 60000);
    clampTo(settings.helpPostDelay, 500, 60000);

    reader.readString("Device", settings.deviceName, sizeof settings.deviceName, nullptr);
    if (settings.deviceName[0] == 0) copyText(settings.deviceName, kFallbackDevice);
    reader.readString("Utility", settings.utilityName, sizeof settings.utilityName, nullptr);
    if (settings.utilityName[0] == 0) copyText(settings.utilityName, kFallbackUtility);

    reader.readInt("Base", &settings.base, 1);

    PlotStyle& style = settings.plotStyle;
    reader.readString("FontName", style.fontName, sizeof style.fontName, nullptr);
    reader.readInt("FontSize", &style.fontSize, 8);
    readColour(reader, "BgColor", style.bgColor);
    readColour(reader, "OscColor", style.oscColor);
    readColour(reader, "OscGridColor", style.oscGridColor);
    readColour(reader, "TextColor", style.textColor);

    // The key is spelled OcsScale; OscScale lines are not read.
    reader.readFloat("OcsScale", &settings.oscScale, 10.0f);
    // Not above 0, not a number, or beyond the float range (read as
    // infinity): the scope needs a finite half-span.
    if (!(settings.oscScale > 0.0f) || !std::isfinite(settings.oscScale)) settings.oscScale = 1.0f;

    if (reader.countValues("SizeArray") > 0) {
        const int count = reader.readIntList("SizeArray", settings.sizeArray, kMaxSizes);
        settings.sizeCount = count;
        for (int i = 0; i < count; ++i) settings.sizeArray[i] = windowLengthFor(settings.sizeArray[i]);
    }

    reader.readString("File", settings.fileName, sizeof settings.fileName, nullptr);
    reader.readInt("FileAutoIncrement", &settings.fileAutoIncrement, 0);
    // Numbers run 1..999; any value outside 0..999 turns numbering on from 1
    // (a negative one would count up to 0 and then replace one file).
    if (settings.fileAutoIncrement < 0 || settings.fileAutoIncrement > 999) settings.fileAutoIncrement = 1;
}

void boundFftScale(Settings& settings, double fullScaleVolts) {
    if (settings.fftScaleV < 0.1) settings.fftScaleV = 0.1;
    else if (settings.fftScaleV > 2.0 * fullScaleVolts) settings.fftScaleV = 2.0 * fullScaleVolts;
}

void formatSizeText(char (&text)[256], int32_t value) {
    if (value >= 1048576) std::snprintf(text, sizeof text, "%2.1fM", value / 1048576.0);
    else if (value < 1024) std::snprintf(text, sizeof text, "%d", value);
    else std::snprintf(text, sizeof text, "%2.1fK", value / 1024.0);
}
