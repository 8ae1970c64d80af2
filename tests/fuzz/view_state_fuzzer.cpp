// Quorvel.sav from any bytes: every position comes back inside its list, for
// values read and values kept alike, and what is saved reads back the same.
#include <cstring>

#include "config/view_state.h"
#include "fuzz_support.h"

namespace {

void checkInRange(const ViewState& state, int32_t sizeCount) {
    FUZZ_CHECK(state.sizeIndex >= 0 && state.sizeIndex <= (sizeCount > 0 ? sizeCount - 1 : 0));
    const int32_t mode = static_cast<int32_t>(state.displayMode);
    FUZZ_CHECK(mode >= 0 && mode < kViewModeCount);
    FUZZ_CHECK(state.fftAvg >= 0 && state.fftAvg < kAvgListLength);
    FUZZ_CHECK(state.fftWnd >= 0 && state.fftWnd < kWindowListLength);
}

bool same(const ViewState& a, const ViewState& b) {
    return a.sizeIndex == b.sizeIndex && a.displayMode == b.displayMode && a.autoScale == b.autoScale &&
           a.fftAvg == b.fftAvg && a.fftWnd == b.fftWnd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFile input("Quorvel.sav");
    static const ScratchFile saved("Saved.sav");
    const char* fileName = input.write(data, size);

    // Values the file does not set stay as they were, and are brought into
    // range all the same: start from values outside every list.
    struct Start {
        ViewState state;
        int32_t sizeCount;
    };
    const Start starts[] = {
        {{INT32_MIN, static_cast<ViewMode>(INT32_MIN), 0, INT32_MIN, INT32_MIN}, 13},
        {{INT32_MAX, static_cast<ViewMode>(INT32_MAX), 1, INT32_MAX, INT32_MAX}, 0},
    };
    for (const Start& start : starts) {
        ViewState state = start.state;
        loadViewState(state, fileName, start.sizeCount);
        if (size == 0) {
            FUZZ_CHECK(same(state, start.state));  // an empty file changes nothing
            continue;
        }
        checkInRange(state, start.sizeCount);

        // Written at shutdown, read at the next start.
        saveViewState(state, saved.name());
        ViewState again = start.state;
        loadViewState(again, saved.name(), start.sizeCount);
        FUZZ_CHECK(same(again, state));
    }
    return 0;
}
