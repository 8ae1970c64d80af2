#include "config/view_state.h"

#include "config/config_reader.h"
#include "platform/file_io.h"

namespace {

void clampTo(int32_t& value, int32_t low, int32_t high) {
    if (value < low) value = low;
    else if (value > high) value = high;
}

}  // namespace

void loadViewState(ViewState& state, const char* fileName, int32_t sizeCount) {
    const ConfigReader reader(fileName);
    if (reader.empty()) return;
    reader.readInt("SizeIndex", &state.sizeIndex, 0);
    int32_t displayMode = static_cast<int32_t>(state.displayMode);
    reader.readInt("DisplayMode", &displayMode, 0);
    reader.readInt("AutoScale", &state.autoScale, 0);
    reader.readInt("FFTAvg", &state.fftAvg, 0);
    reader.readInt("FFTWnd", &state.fftWnd, 0);
    clampTo(displayMode, 0, kViewModeCount - 1);
    state.displayMode = static_cast<ViewMode>(displayMode);
    // A list without a selection is saved as -1; that and any position past
    // its list's end come back as the nearest valid position.
    clampTo(state.sizeIndex, 0, sizeCount > 0 ? sizeCount - 1 : 0);
    clampTo(state.fftAvg, 0, kAvgListLength - 1);
    clampTo(state.fftWnd, 0, kWindowListLength - 1);
}

void saveViewState(const ViewState& state, const char* fileName) {
    const FileHandle file = createOrReplaceFile(fileName);
    if (file == kInvalidFile) return;
    FormattedFileWrite(file, "SizeIndex   = %d\r\n", state.sizeIndex);
    FormattedFileWrite(file, "DisplayMode = %d\r\n", static_cast<int32_t>(state.displayMode));
    FormattedFileWrite(file, "AutoScale   = %d\r\n", state.autoScale);
    FormattedFileWrite(file, "FFTAvg      = %d\r\n", state.fftAvg);
    FormattedFileWrite(file, "FFTWnd      = %d\r\n", state.fftWnd);
    closeFile(file);
}
