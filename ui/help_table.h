#pragma once
// The help texts of a window's controls and the counting of hover ticks that
// decides when a control's balloon opens, without <windows.h>.
#include <cstdint>

// One row of a help table: a control of the window (0: the window itself)
// and its help text in code page 1251. A table ends with a row whose text is
// null.
struct HelpEntry {
    int32_t controlId;
    const char* text;
};

// The main dialog's help table: twelve rows, searched in this order (the
// first row whose control lies under the pointer wins), then the end row.
// The top plot has no help.
const HelpEntry* mainDialogHelp();

// Counts the hover timer's ticks on one control. The balloon opens on the
// eleventh tick after the one that first finds the control (11 periods, 1.1 ×
// the pre delay), at most once per stay.
class HoverTracker {
public:
    enum class Action {
        None,
        HideBalloon,  // the pointer came to another control
        ShowBalloon,  // open this control's balloon
    };

    static constexpr int32_t kShowAtCount = 10;
    static constexpr int32_t kMaxCount = 11;

    // A tick that found the pointer over no help row, or outside the window:
    // the control is forgotten, the count and a shown balloon stay.
    void pointerAway() { currentId_ = 0; }
    // A tick that found the pointer over the row of `controlId`. busy: the
    // control is a combo box whose list is dropped down; it opens no balloon
    // on this tick.
    Action pointerOver(int32_t controlId, bool busy);

    int32_t currentId() const { return currentId_; }
    int32_t count() const { return count_; }

private:
    int32_t currentId_ = 0;  // control under the pointer at the last tick, 0: none
    int32_t count_ = 0;      // consecutive ticks on it, 0..11
};
